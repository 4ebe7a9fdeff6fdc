#pragma once

#include "storage/historyentry.h"

#include <QWidget>

class HistoryListModel;
class HistoryStore;
class QListView;
class QStackedWidget;

namespace Widgets {
class Button;
} // namespace Widgets

// The list of past translations, newest first: a header with a back button,
// the title and a clear button, then either the entries or an empty state.
// It holds no state of its own: it shows the store and reports choices.
class HistoryView final : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(HistoryStore &store, QWidget *parent = nullptr);

    HistoryListModel *model() const { return m_model; }
    QListView *listView() const { return m_list; }
    bool isShowingEmptyState() const;

Q_SIGNALS:
    // The back button or Escape.
    void closeRequested();
    void entrySelected(const HistoryEntry &entry);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateState();

    HistoryStore &m_store;
    HistoryListModel *m_model;
    Widgets::Button *m_clearButton;
    QStackedWidget *m_content;
    QWidget *m_emptyState;
    QListView *m_list;
};
