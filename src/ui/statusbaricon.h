#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The status-bar (tray) image: the mark in black, 18 × 18 pixels drawn at
// scale 2 (36 × 36), flagged as a mask so that a desktop that recolours
// monochrome tray icons for a light or dark panel may do so.
namespace StatusBarIcon {

inline constexpr int side = 18;
inline constexpr qreal scale = 2.0;

QString accessibleName();
QImage renderImage();

} // namespace StatusBarIcon

QIcon renderStatusBarIcon();
