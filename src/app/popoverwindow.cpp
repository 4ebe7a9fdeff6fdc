#include "popoverwindow.h"

#include <QApplication>
#include <QVBoxLayout>

PopoverWindow::PopoverWindow(QWidget *content, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("tolvanis"));
    setFixedSize(contentSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void PopoverWindow::open(QPoint topLeft)
{
    move(topLeft);
    show();
    raise();
    activateWindow();
}

void PopoverWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || isActiveWindow() || !isVisible())
        return;
    // The panel's own pop-up lists (combo boxes, menus, tooltips) take the
    // activation only in appearance; they must not close it.
    if (QApplication::activePopupWidget())
        return;
    Q_EMIT deactivated();
}
