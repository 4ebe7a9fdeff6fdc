#include "ui/historyview.h"

#include "storage/historystore.h"
#include "ui/historylistmodel.h"
#include "ui/historyrowdelegate.h"
#include "widgets/button.h"
#include "widgets/colors.h"
#include "widgets/fonts.h"
#include "widgets/iconbutton.h"
#include "widgets/symbollabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStackedWidget>
#include <QtMath>

using namespace Widgets;

namespace {

// A hairline across the full width.
class Divider final : public QWidget
{
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Colors::withOpacity(Colors::secondary(palette()), 0.3));
    }
};

// The tray symbol that stands in for an empty history.
class TraySymbol final : public QWidget
{
public:
    explicit TraySymbol(QWidget *parent)
        : QWidget(parent)
    {
        const int side = qCeil(Symbols::boxSide(28));
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        Symbols::paint(painter, Symbol::Tray, QRectF(rect()).center(), 28, Colors::tertiary(palette()));
    }
};

QWidget *makeEmptyState(QWidget *parent)
{
    auto *state = new QWidget(parent);
    auto *layout = new QVBoxLayout(state);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(new TraySymbol(state), 0, Qt::AlignHCenter);
    auto *text = new SymbolLabel(std::nullopt, QStringLiteral("暂无历史记录"), state);
    text->setObjectName(QStringLiteral("emptyHistoryText"));
    text->setTextFont(Fonts::system(13));
    text->setForeground(Foreground::Secondary);
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return state;
}

} // namespace

HistoryView::HistoryView(HistoryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_model(new HistoryListModel(store, this))
    , m_clearButton(new Button(Button::Kind::Destructive, QStringLiteral("清空"), this))
    , m_content(new QStackedWidget(this))
    , m_emptyState(makeEmptyState(m_content))
    , m_list(new QListView(m_content))
{
    auto *back = new IconButton(Symbol::ChevronLeft, QStringLiteral("返回"), this);
    back->setObjectName(QStringLiteral("backButton"));
    back->setSymbolWeight(SymbolWeight::Semibold);
    connect(back, &QAbstractButton::clicked, this, &HistoryView::closeRequested);
    setFocusPolicy(Qt::StrongFocus);

    auto *title = new SymbolLabel(Symbol::ClockArrowCirclepath, QStringLiteral("历史记录"), this);
    title->setTextFont(Fonts::headline());
    title->setSymbolWeight(SymbolWeight::Semibold);
    title->setMaximumLines(1);

    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    m_clearButton->setLabelFont(Fonts::system(11));
    connect(m_clearButton, &QAbstractButton::clicked, this, [this] { m_store.clear(); });

    auto *header = new QHBoxLayout;
    header->setContentsMargins(10, 8, 12, 8);
    header->setSpacing(8);
    header->addWidget(back);
    header->addWidget(title, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(m_clearButton);

    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new HistoryRowDelegate(m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setUniformItemSizes(true);
    m_list->setMouseTracking(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->setSpacing(0);
    m_list->setFocusPolicy(Qt::TabFocus);
    m_list->setAccessibleName(QStringLiteral("历史记录"));
    // Clicked for the pointer, activated for Return on the current row.
    for (auto signal : {&QListView::clicked, &QListView::activated})
        connect(m_list, signal, this,
                [this](const QModelIndex &index) { Q_EMIT entrySelected(m_model->entry(index.row())); });

    m_content->addWidget(m_emptyState);
    m_content->addWidget(m_list);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(new Divider(this));
    layout->addWidget(m_content, 1);

    connect(m_model, &QAbstractItemModel::modelReset, this, &HistoryView::updateState);
    updateState();
}

void HistoryView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Q_EMIT closeRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HistoryView::isShowingEmptyState() const
{
    return m_content->currentWidget() == m_emptyState;
}

void HistoryView::updateState()
{
    const bool empty = m_model->rowCount() == 0;
    m_clearButton->setEnabled(!empty);
    m_content->setCurrentWidget(empty ? m_emptyState : m_list);
}
