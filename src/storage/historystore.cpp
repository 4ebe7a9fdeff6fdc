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
    // Hand edits or a newer version's format must not vanish with the first
    // translation: keep the value as it was before replacing it.
    if (m_unreadable) {
        m_file.setData(unreadableKey(m_key), *m_unreadable);
        m_unreadable.reset();
        qCWarning(lcStorage).noquote() << "history did not decode completely; the stored value was copied to"
                                       << unreadableKey(m_key);
    }
    m_file.setData(m_key, HistoryEntry::encodeList(m_entries));
}
