#pragma once

#include "storage/historyentry.h"

#include <QObject>

#include <condition_variable>
#include <mutex>
#include <thread>

class SettingsFile;

// The most recent successful translations, newest first, at most maximumEntries
// after each addition, saved as one JSON document under a key of the settings file
// after every change. The GUI thread never waits for the disk: a writer thread
// with its own handle on the file writes the latest list (a newer list replaces
// one still waiting), and destruction finishes what is pending.
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
    ~HistoryStore() override;
    Q_DISABLE_COPY_MOVE(HistoryStore)

    const QList<HistoryEntry> &entries() const { return m_entries; }
    QString key() const { return m_key; }

    void add(const QString &sourceText, const QString &translatedText, const QString &engineName);
    void clear();
    // Returns once every change made so far is on disk.
    void flush();

Q_SIGNALS:
    void entriesChanged();

private:
    struct Write {
        QByteArray list;
        std::optional<QByteArray> unreadable;
    };

    void load();
    void save();
    void writeLoop(const QString &filePath);

    QString m_key;
    SettingsFile &m_file;
    QList<HistoryEntry> m_entries;
    // The stored value as loaded, while it did not decode completely and no save has replaced it.
    std::optional<QByteArray> m_unreadable;

    // Shared with the writer thread, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::optional<Write> m_pending;
    bool m_writing = false;
    bool m_stopping = false;
    // Started with the first save, so start-up and a read-only session pay nothing.
    std::thread m_writer;
};
