#pragma once

#include <QColor>

class QPalette;

namespace Widgets {

// The foreground styles of the views; each resolves against the current palette
// when painted, so a theme change recolours everything at once.
enum class Foreground {
    Primary,
    Secondary,
    Tertiary,
    Accent,
    Red,
    Green,
    White
};

// The semantic colours the views use, taken from the widget's palette so that
// a light or dark desktop theme carries through: accent = highlight,
// secondary = placeholder text, text background = base, window background =
// window. Red and green are fixed per theme brightness, chosen to stay
// readable on both.
namespace Colors {

bool isDark(const QPalette &palette);
QColor primary(const QPalette &palette);
QColor secondary(const QPalette &palette);
QColor tertiary(const QPalette &palette);
QColor accent(const QPalette &palette);
QColor textBackground(const QPalette &palette);
QColor windowBackground(const QPalette &palette);
QColor red(const QPalette &palette);
QColor green(const QPalette &palette);
QColor withOpacity(QColor color, qreal opacity);
QColor foreground(Foreground style, const QPalette &palette);

} // namespace Colors

} // namespace Widgets
