#pragma once

#include "storage/historyentry.h"

#include <QAbstractListModel>

class HistoryStore;

// The history store's entries as a flat list, newest first, one row per entry.
// Follows the store: any change of its entries resets the model.
class HistoryListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        SourceTextRole = Qt::UserRole + 1,
        TranslatedTextRole,
        EngineNameRole,
        DateTextRole,
        DetailRole, // engine name · date
        IdRole,
    };

    explicit HistoryListModel(HistoryStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    HistoryEntry entry(int row) const;
    // Short date and short time in the user's locale.
    static QString formatDate(const HistoryEntry &entry);

private:
    HistoryStore &m_store;
    QList<HistoryEntry> m_entries;
};
