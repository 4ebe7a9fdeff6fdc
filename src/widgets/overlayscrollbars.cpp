#include "widgets/overlayscrollbars.h"

#include <QScrollArea>

namespace Widgets::OverlayScrollBars {

QString styleSheet()
{
    return QStringLiteral(R"(
QScrollBar:vertical { background: transparent; width: 7px; margin: 3px 1px 3px 0; }
QScrollBar::handle:vertical { background: rgba(128, 128, 128, 0.45); border-radius: 3px; min-height: 24px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
)");
}

QScrollArea *transparentScrollArea(QWidget *page, QWidget *parent)
{
    auto *scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(page);
    // setWidget() turns the page's background on.
    page->setAutoFillBackground(false);
    return scroll;
}

} // namespace Widgets::OverlayScrollBars
