#include "historystore.h"

#include "userdefaults.h"

HistoryStore::HistoryStore(QString defaultsKey, UserDefaults &defaults, QObject *parent)
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
    // A missing value, a value of another type and an undecodable document all
    // leave the list empty; the stored bytes stay until the next save.
    const std::optional<QByteArray> stored = m_defaults.data(m_defaultsKey);
    if (!stored)
        return;
    if (std::optional<QList<HistoryEntry>> decoded = HistoryEntry::decodeList(*stored))
        m_entries = std::move(*decoded);
}

void HistoryStore::save()
{
    m_defaults.setData(m_defaultsKey, HistoryEntry::encodeList(m_entries));
}
