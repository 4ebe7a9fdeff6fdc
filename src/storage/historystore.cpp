#include "historystore.h"

#include "settingsfile.h"
#include "storagelog.h"

HistoryStore::HistoryStore(QString defaultsKey, SettingsFile &defaults, QObject *parent)
    : QObject(parent)
    , m_defaultsKey(std::move(defaultsKey))
    , m_defaults(defaults)
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
    if (!m_defaults.contains(m_defaultsKey))
        return;
    // A value of another type holds no entries, but it is still the user's.
    const std::optional<QByteArray> stored = m_defaults.data(m_defaultsKey);
    bool complete = false;
    if (stored)
        m_entries = HistoryEntry::decodeReadable(*stored, complete);
    if (!complete)
        m_unreadable = stored.value_or(m_defaults.string(m_defaultsKey).value_or(QString()).toUtf8());
}

void HistoryStore::save()
{
    // Hand edits or a newer version's format must not vanish with the first
    // translation: keep the value as it was before replacing it.
    if (m_unreadable) {
        m_defaults.setData(unreadableKey(m_defaultsKey), *m_unreadable);
        m_unreadable.reset();
        qCWarning(lcStorage).noquote() << "history did not decode completely; the stored value was copied to"
                                       << unreadableKey(m_defaultsKey);
    }
    m_defaults.setData(m_defaultsKey, HistoryEntry::encodeList(m_entries));
}
