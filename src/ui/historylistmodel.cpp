#include "ui/historylistmodel.h"

#include "storage/historystore.h"

#include <QLocale>

HistoryListModel::HistoryListModel(HistoryStore &store, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_entries(store.entries())
{
    // A snapshot, replaced inside a reset, so views never see the list change
    // under rows they have already asked about.
    connect(&m_store, &HistoryStore::entriesChanged, this, [this] {
        beginResetModel();
        m_entries = m_store.entries();
        endResetModel();
    });
}

int HistoryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant HistoryListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryEntry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case SourceTextRole:
        return entry.sourceText;
    case TranslatedTextRole:
        return entry.translatedText;
    case EngineNameRole:
        return entry.engineName;
    case DateTextRole:
        return formatDate(entry);
    case DetailRole:
        return entry.engineName + QStringLiteral(" · ") + formatDate(entry);
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return entry.sourceText + QStringLiteral("\n→ ") + entry.translatedText;
    case IdRole:
        return entry.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(SourceTextRole, "sourceText");
    names.insert(TranslatedTextRole, "translatedText");
    names.insert(EngineNameRole, "engineName");
    names.insert(DateTextRole, "dateText");
    names.insert(DetailRole, "detail");
    names.insert(IdRole, "id");
    return names;
}

HistoryEntry HistoryListModel::entry(int row) const
{
    return m_entries.value(row);
}

QString HistoryListModel::formatDate(const HistoryEntry &entry)
{
    const QLocale locale;
    const QDateTime local = entry.dateTime().toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
        locale.toString(local.time(), QLocale::ShortFormat);
}
