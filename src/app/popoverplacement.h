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

} // namespace PopoverPlacement
