#include "app/popoverplacement.h"

#include <algorithm>

namespace PopoverPlacement {

namespace {

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

} // namespace PopoverPlacement
