#pragma once

#include <QString>

#include <array>
#include <optional>
#include <span>

// Raw value and label of one enumeration case. Each enumeration specialises
// EnumTable<E> with a constexpr array `rows` in declaration order; the free
// functions below give every enumeration the same raw-value conversions.
template<typename E>
struct EnumRow {
    E value;
    const char *raw;
    const char *label;
};

template<typename E>
struct EnumTable;

template<typename E>
constexpr auto allCases()
{
    std::array<E, EnumTable<E>::rows.size()> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = EnumTable<E>::rows[i].value;
    return cases;
}

template<typename E>
constexpr const EnumRow<E> &enumRow(E value)
{
    for (const auto &row : EnumTable<E>::rows) {
        if (row.value == value)
            return row;
    }
    return EnumTable<E>::rows[0];
}

template<typename E>
QString rawValue(E value)
{
    return QString::fromLatin1(enumRow(value).raw);
}

template<typename E>
QString displayName(E value)
{
    return QString::fromUtf8(enumRow(value).label);
}

// Exact, case-sensitive match against the raw values; anything else is no value.
template<typename E>
std::optional<E> fromRawValue(QStringView raw)
{
    for (const auto &row : EnumTable<E>::rows) {
        if (raw == QLatin1StringView(row.raw))
            return row.value;
    }
    return std::nullopt;
}
