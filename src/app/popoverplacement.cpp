#include "app/popoverplacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace PopoverPlacement {

namespace {

// Only a plain X11 session always knows where the pointer is. XWayland learns
// it only while the pointer is over an X11 window, so after a click on a
// Wayland bar QCursor::pos() still holds where it last left one; a native
// Wayland client is never told.
bool pointerPositionIsCurrent()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QPoint anchoredTo(QSize popover, QRect anchor, QRect available)
{
    // QRect::center() rounds towards the top-left (611 for a 24-wide icon at 600).
    const int x = anchor.x() + anchor.width() / 2 - popover.width() / 2;
    // A tray in the lower half of the screen is a bottom panel: open upwards.
    const bool trayAtBottom = anchor.y() + anchor.height() / 2 > available.y() + available.height() / 2;
    const int y = trayAtBottom ? anchor.top() - gap - popover.height() : anchor.bottom() + 1 + gap;
    return {x, y};
}

} // namespace

QPoint keptInside(QPoint topLeft, QSize popover, QRect available)
{
    const int maxX = std::max(available.left(), available.right() + 1 - popover.width());
    const int maxY = std::max(available.top(), available.bottom() + 1 - popover.height());
    return {std::clamp(topLeft.x(), available.left(), maxX), std::clamp(topLeft.y(), available.top(), maxY)};
}

QPoint position(QSize popover, std::optional<QRect> trayIcon, std::optional<QPoint> currentPointer, QRect available,
                std::optional<QPoint> hostPoint)
{
    const std::optional<QPoint> pointer = hostPoint ? hostPoint : currentPointer;
    QPoint topLeft;
    if (trayIcon && trayIcon->isValid())
        topLeft = anchoredTo(popover, *trayIcon, available);
    else if (pointer)
        topLeft = anchoredTo(popover, QRect(*pointer, QSize(1, 1)), available);
    else
        topLeft = {available.right() + 1 - popover.width() - gap, available.top() + gap};
    return keptInside(topLeft, popover, available);
}

QPoint onScreen(QSize popover, std::optional<QRect> trayIcon, std::optional<QPoint> hostPoint)
{
    std::optional<QPoint> pointer;
    if (pointerPositionIsCurrent())
        pointer = QCursor::pos();
    const std::optional<QPoint> reference = trayIcon ? trayIcon->center() : hostPoint ? hostPoint : pointer;
    return position(popover, trayIcon, pointer, availableGeometryAt(reference.value_or(QPoint())), hostPoint);
}

QRect availableGeometryAt(QPoint point)
{
    QScreen *screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

QPoint centredUnderPointer(QSize size)
{
    return availableGeometryAt(QCursor::pos()).center() - QPoint(size.width() / 2, size.height() / 2);
}

} // namespace PopoverPlacement
