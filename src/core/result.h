#pragma once

#include <QString>

#include <utility>
#include <variant>

// Why a call outside the engines did not do what was asked, in words a user
// may be shown; never contains a secret.
struct Failure {
    QString reason;
};

// What a fallible call returns: a value, or the Failure that stopped it. The
// engines are the exception: they throw TranslationError from coroutines.
template<typename T>
class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    { }
    Result(Failure failure)
        : m_state(std::in_place_index<1>, std::move(failure))
    { }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    const T &value() const { return std::get<0>(m_state); }
    T &value() { return std::get<0>(m_state); }
    // Only when !ok().
    const QString &error() const { return std::get<1>(m_state).reason; }

private:
    std::variant<T, Failure> m_state;
};

template<>
class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure)
        : m_failed(true)
        , m_reason(std::move(failure.reason))
    { }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_reason; }

private:
    bool m_failed = false;
    QString m_reason;
};
