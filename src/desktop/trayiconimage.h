#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

#include <optional>

// The tray image: the mark at the tray's icon size, drawn at twice the
// resolution for high-density bars, black unless the bar asks for another colour. Linux tray hosts
// ignore the mask flag, so the tray code picks a colour the bar can show
// (markColor) or hands hosts that recolour icons a symbolic icon by name.
namespace TrayIconImage {

inline constexpr int side = 18;
inline constexpr qreal scale = 2.0;
// Installed in the hicolor theme; GNOME and KDE hosts draw it in the bar's text colour.
inline constexpr auto symbolicName = "tolvanis-symbolic";

enum class ColorScheme {
    NoPreference,
    Dark,
    Light
};

// What is known about the bar, best source first: the foreground colour the
// tray itself announces, the bar's measured background, the desktop's colour
// scheme.
struct BarHints {
    std::optional<QColor> trayForeground;
    std::optional<QColor> background;
    ColorScheme scheme = ColorScheme::NoPreference;
};

QString accessibleName();
// The symbolic icon's own colour, for hosts that draw it unchanged.
QColor symbolicColor();
QColor markColor(const BarHints &hints);
// WCAG contrast ratio of two opaque colours, 1 to 21.
qreal contrastRatio(const QColor &a, const QColor &b);
QImage renderImage(const QColor &color = Qt::black);

} // namespace TrayIconImage

QIcon renderTrayIcon(const QColor &color = Qt::black);
