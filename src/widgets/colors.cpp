#include "widgets/colors.h"

#include <QPalette>

namespace Widgets::Colors {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor primary(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor secondary(const QPalette &palette)
{
    QColor color = palette.color(QPalette::PlaceholderText);
    // Some themes leave the placeholder colour equal to the text colour; a
    // dimmed label must still look dimmed.
    if (color.rgb() == primary(palette).rgb() && color.alphaF() > 0.9)
        color.setAlphaF(0.55);
    return color;
}

QColor tertiary(const QPalette &palette)
{
    return withOpacity(secondary(palette), 0.6);
}

QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

QColor textBackground(const QPalette &palette)
{
    return palette.color(QPalette::Base);
}

QColor windowBackground(const QPalette &palette)
{
    return palette.color(QPalette::Window);
}

QColor red(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 105, 97) : QColor(200, 30, 30);
}

QColor green(const QPalette &palette)
{
    return isDark(palette) ? QColor(50, 215, 75) : QColor(30, 140, 60);
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

QColor foreground(Foreground style, const QPalette &palette)
{
    switch (style) {
    case Foreground::Primary:
        return primary(palette);
    case Foreground::Secondary:
        return secondary(palette);
    case Foreground::Tertiary:
        return tertiary(palette);
    case Foreground::Accent:
        return accent(palette);
    case Foreground::Red:
        return red(palette);
    case Foreground::Green:
        return green(palette);
    case Foreground::White:
        return Qt::white;
    }
    return primary(palette);
}

} // namespace Widgets::Colors
