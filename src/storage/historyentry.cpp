#include "storage/historyentry.h"

#include <QRegularExpression>

#include <chrono>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

std::string utf8(const QString &text)
{
    return text.toStdString();
}

std::optional<QString> stringMember(const Json &object, const char *name)
{
    const auto it = object.find(name);
    if (it == object.end() || !it->is_string())
        return std::nullopt;
    return QString::fromStdString(it->get_ref<const std::string &>());
}

// The canonical hyphenated form, in either case; QUuid::fromString alone would
// also take braces and would map an invalid string to the (valid) nil UUID.
std::optional<QUuid> uuidMember(const Json &object)
{
    static const QRegularExpression canonical(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    const std::optional<QString> text = stringMember(object, "id");
    if (!text || !canonical.match(*text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(*text);
}

std::optional<HistoryEntry> decodeEntry(const Json &object)
{
    if (!object.is_object())
        return std::nullopt;
    const auto date = object.find("date");
    if (date == object.end() || !date->is_number())
        return std::nullopt;
    HistoryEntry entry;
    const auto id = uuidMember(object);
    const auto source = stringMember(object, "sourceText");
    const auto translated = stringMember(object, "translatedText");
    const auto engine = stringMember(object, "engineName");
    if (!id || !source || !translated || !engine)
        return std::nullopt;
    entry.id = *id;
    entry.sourceText = *source;
    entry.translatedText = *translated;
    entry.engineName = *engine;
    entry.date = date->get<double>();
    return entry;
}

} // namespace

double HistoryEntry::secondsSinceReferenceDate(const QDateTime &dateTime)
{
    return static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - referenceDateUnixSeconds;
}

double HistoryEntry::now()
{
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<double>(micros) / 1e6 - referenceDateUnixSeconds;
}

QDateTime HistoryEntry::dateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(qRound64((date + referenceDateUnixSeconds) * 1000.0), Qt::UTC);
}

bool HistoryEntry::operator==(const HistoryEntry &other) const
{
    const auto same = [](const QString &a, const QString &b) {
        return a == b || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
    };
    return id == other.id && same(sourceText, other.sourceText) && same(translatedText, other.translatedText) &&
        same(engineName, other.engineName) && date == other.date;
}

QByteArray HistoryEntry::encodeList(const QList<HistoryEntry> &entries)
{
    Json array = Json::array();
    for (const HistoryEntry &entry : entries) {
        Json object = Json::object();
        object["id"] = utf8(entry.id.toString(QUuid::WithoutBraces).toUpper());
        object["sourceText"] = utf8(entry.sourceText);
        object["translatedText"] = utf8(entry.translatedText);
        object["engineName"] = utf8(entry.engineName);
        object["date"] = entry.date;
        array.push_back(std::move(object));
    }
    // A solidus can only occur inside a string in compact output, so escaping
    // every one of them afterwards escapes exactly the ones in strings.
    QByteArray json = QByteArray::fromStdString(array.dump(-1, ' ', false, Json::error_handler_t::replace));
    json.replace('/', "\\/");
    return json;
}

QList<HistoryEntry> HistoryEntry::decodeReadable(const QByteArray &json, bool &complete)
{
    const Json document = Json::parse(json.constData(), json.constData() + json.size(), nullptr,
                                      /*allow_exceptions=*/false);
    complete = document.is_array();
    QList<HistoryEntry> entries;
    if (!complete)
        return entries;
    entries.reserve(static_cast<qsizetype>(document.size()));
    for (const Json &element : document) {
        if (std::optional<HistoryEntry> entry = decodeEntry(element))
            entries.append(std::move(*entry));
        else
            complete = false;
    }
    return entries;
}

std::optional<QList<HistoryEntry>> HistoryEntry::decodeList(const QByteArray &json)
{
    bool complete = false;
    QList<HistoryEntry> entries = decodeReadable(json, complete);
    if (!complete)
        return std::nullopt;
    return entries;
}
