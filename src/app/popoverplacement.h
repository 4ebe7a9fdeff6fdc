#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

// Where the panel goes: centred under the tray icon (or above it when the tray
// sits at the bottom of the screen), else near the pointer, else the top-right
// corner; always inside the screen's available area.
namespace PopoverPlacement {

constexpr int gap = 4;

QPoint position(QSize popover, std::optional<QRect> trayIcon, std::optional<QPoint> pointer, QRect available);

} // namespace PopoverPlacement
