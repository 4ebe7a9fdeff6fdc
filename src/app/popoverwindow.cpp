#include "app/popoverwindow.h"

#include "app/popoverplacement.h"
#include "widgets/colors.h"
#include "widgets/continuouscorners.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <xcb/xcb.h>

#include <memory>

namespace {

// Translucent pixels show the desktop only while a compositing manager runs:
// on X11 that is whoever owns the _NET_WM_CM_S0 selection (screen 0: Qt
// drives a single X screen); a Wayland compositor always composites.
bool compositorRunning()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return true;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t *connection = x11->connection();
    const QByteArray name = "_NET_WM_CM_S0";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.constData()), nullptr),
        &free);
    if (!atom || atom->atom == XCB_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr), &free);
    return owner && owner->owner != XCB_NONE;
}

} // namespace

PopoverWindow::PopoverWindow(QWidget *content, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("tolvanis"));
    // Set before the native window exists, so that it gets an alpha channel;
    // without a compositor every pixel is painted opaque anyway.
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes the content's height: no blank strip under it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
}

void PopoverWindow::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    // One show and hide that never reach the screen run everything a first
    // show does (polish, layout, show events, native window) ahead of time.
    setAttribute(Qt::WA_DontShowOnScreen);
    show();
    hide();
    setAttribute(Qt::WA_DontShowOnScreen, false);
}

void PopoverWindow::open(QPoint topLeft)
{
    m_composited = compositorRunning();
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

void PopoverWindow::keyPressEvent(QKeyEvent *event)
{
    // Reaches the window only when no child took it: the history list uses
    // Escape first to turn back to the translate face.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Q_EMIT escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The content grew while shown (an error line came): stay wholly on screen,
    // which also keeps a panel above a bottom tray clear of it. Not once the
    // panel has become an ordinary, framed window: that one the user places.
    if (isVisible() && screen() && windowFlags().testFlag(Qt::FramelessWindowHint))
        move(PopoverPlacement::keptInside(pos(), size(), screen()->availableGeometry()));
}

void PopoverWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor background = Widgets::Colors::windowBackground(palette());
    const QColor separator = Widgets::Colors::secondary(palette());
    if (!m_composited) {
        // No shadow sets the panel off from what lies behind it: a stronger line.
        painter.fillRect(rect(), background);
        painter.setPen(Widgets::Colors::withOpacity(separator, 0.6));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Inset by half the pen: the outline then covers exactly the edge pixels.
    const QPainterPath shape = Widgets::ContinuousCorners::roundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5),
                                                                       cornerRadius);
    painter.fillPath(shape, background);
    painter.setPen(QPen(Widgets::Colors::withOpacity(separator, 0.35), 1));
    painter.drawPath(shape);
}
