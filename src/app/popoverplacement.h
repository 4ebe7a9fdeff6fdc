#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

// Where the panel goes: centred under the tray icon (or above it when the tray
// sits at the bottom of the screen), else at the point where the tray host
// says it was activated, else at the pointer when its position is known to be
// current, else the top-right corner; always wholly inside the screen's
// available area.
namespace PopoverPlacement {

constexpr int gap = 4;

// The top-left nearest to `topLeft` that keeps the popover inside `available`
// (its top-left corner when the popover is larger).
QPoint keptInside(QPoint topLeft, QSize popover, QRect available);

QPoint position(QSize popover, std::optional<QRect> trayIcon, std::optional<QPoint> currentPointer, QRect available,
                std::optional<QPoint> hostPoint = std::nullopt);

// The same on the screens there are: under `trayIcon` when it is known, else
// at `hostPoint`, else at the pointer where its position is current.
QPoint onScreen(QSize popover, std::optional<QRect> trayIcon, std::optional<QPoint> hostPoint);
// The available area of the screen under `point`, else of the primary screen.
QRect availableGeometryAt(QPoint point);
// The top-left that centres a window of `size` on the screen under the pointer.
QPoint centredUnderPointer(QSize size);

} // namespace PopoverPlacement
