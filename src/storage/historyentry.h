#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One successful translation. `date` is seconds since 2001-01-01T00:00:00Z, the
// stored form, kept as the double itself so an entry reads back identically.
struct HistoryEntry {
    QUuid id;
    QString sourceText;
    QString translatedText;
    QString engineName;
    double date = 0.0;

    static constexpr double referenceDateUnixSeconds = 978307200.0;

    static double secondsSinceReferenceDate(const QDateTime &dateTime);
    static double now();
    QDateTime dateTime() const;

    // Equal when all five fields are: the strings by canonical equivalence.
    bool operator==(const HistoryEntry &other) const;

    // The stored document: a JSON array, newest first; members in the order id,
    // sourceText, translatedText, engineName, date; no whitespace; "/" written
    // as "\/"; upper-case UUIDs.
    static QByteArray encodeList(const QList<HistoryEntry> &entries);
    // The elements that are complete entries, in order; `complete` tells
    // whether the document was an array of nothing else.
    static QList<HistoryEntry> decodeReadable(const QByteArray &json, bool &complete);
    // All or nothing: no value unless every element is a complete entry.
    static std::optional<QList<HistoryEntry>> decodeList(const QByteArray &json);
};
