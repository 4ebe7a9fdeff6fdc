#include "storage/historystore.h"

#include "storage/settingsfile.h"
#include "storage/storagelog.h"

HistoryStore::HistoryStore(QString key, SettingsFile &file, QObject *parent)
    : QObject(parent)
    , m_key(std::move(key))
    , m_file(file)
{
    load();
}

HistoryStore::~HistoryStore()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    // The writer takes what is pending before it stops: quitting loses nothing.
    if (m_writer.joinable())
        m_writer.join();
}

void HistoryStore::flush()
{
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return !m_pending && !m_writing; });
}

void HistoryStore::add(const QString &sourceText, const QString &translatedText, const QString &engineName)
{
    HistoryEntry entry{QUuid::createUuid(), sourceText, translatedText, engineName, HistoryEntry::now()};
    m_entries.prepend(std::move(entry));
    if (m_entries.size() > maximumEntries)
        m_entries.resize(maximumEntries);
    Q_EMIT entriesChanged();
    save();
}

void HistoryStore::clear()
{
    m_entries.clear();
    Q_EMIT entriesChanged();
    save();
}

void HistoryStore::load()
{
    if (!m_file.contains(m_key))
        return;
    // A value of another type holds no entries, but it is still the user's.
    const std::optional<QByteArray> stored = m_file.data(m_key);
    bool complete = false;
    if (stored)
        m_entries = HistoryEntry::decodeReadable(*stored, complete);
    if (!complete)
        m_unreadable = stored.value_or(m_file.string(m_key).value_or(QString()).toUtf8());
}

void HistoryStore::save()
{
    Write write{HistoryEntry::encodeList(m_entries), std::nullopt};
    // Hand edits or a newer version's format must not vanish with the first
    // translation: keep the value as it was before replacing it.
    if (m_unreadable) {
        write.unreadable = std::move(m_unreadable);
        m_unreadable.reset();
        qCWarning(lcStorage).noquote() << "history did not decode completely; the stored value is copied to"
                                       << unreadableKey(m_key);
    }
    {
        const std::lock_guard lock(m_mutex);
        // A list still waiting is older than this one; only its copy of the
        // unreadable value must still reach the disk.
        if (m_pending && !write.unreadable)
            write.unreadable = std::move(m_pending->unreadable);
        m_pending = std::move(write);
        if (!m_writer.joinable())
            m_writer = std::thread(&HistoryStore::writeLoop, this, m_file.filePath());
    }
    m_wake.notify_one();
}

void HistoryStore::writeLoop(const QString &filePath)
{
    // A handle of its own: QSettings objects are reentrant, not thread-safe,
    // and those on one file share its contents and its lock.
    SettingsFile file(filePath);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_pending || m_stopping; });
        if (!m_pending)
            return;
        const Write write = std::move(*m_pending);
        m_pending.reset();
        m_writing = true;
        lock.unlock();
        // The copy reaches the disk before the value it keeps is replaced.
        if (write.unreadable)
            file.setData(unreadableKey(m_key), *write.unreadable);
        file.setData(m_key, write.list);
        lock.lock();
        m_writing = false;
        m_done.notify_all();
    }
}
