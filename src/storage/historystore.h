#pragma once

#include "storage/historyentry.h"

#include <QObject>

class SettingsFile;

// The most recent successful translations, newest first, at most maximumEntries
// after each addition, saved as one JSON document under a key of the settings file
// after every change.
// Entries that do not decode are left out; the stored value they were part of
// is copied once to `<key>.unreadable` before the first save replaces it.
class HistoryStore final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<HistoryEntry> entries READ entries NOTIFY entriesChanged)

public:
    static constexpr qsizetype maximumEntries = 50;
    static QString standardKey() { return QStringLiteral("com.quendrix.tolvanis.history"); }
    static QString unreadableKey(const QString &key) { return key + QStringLiteral(".unreadable"); }

    HistoryStore(QString key, SettingsFile &file, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryStore)

    const QList<HistoryEntry> &entries() const { return m_entries; }
    QString key() const { return m_key; }

    void add(const QString &sourceText, const QString &translatedText, const QString &engineName);
    void clear();

Q_SIGNALS:
    void entriesChanged();

private:
    void load();
    void save();

    QString m_key;
    SettingsFile &m_file;
    QList<HistoryEntry> m_entries;
    // The stored value as loaded, while it did not decode completely and no save has replaced it.
    std::optional<QByteArray> m_unreadable;
};
