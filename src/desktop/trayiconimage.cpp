#include "desktop/trayiconimage.h"

#include "ui/tolvanismark.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace TrayIconImage {

namespace {

qreal relativeLuminance(const QColor &color)
{
    auto linear = [](qreal c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

} // namespace

QString accessibleName()
{
    return QStringLiteral("tolvanis");
}

QColor symbolicColor()
{
    return QColor(Qt::white);
}

qreal contrastRatio(const QColor &a, const QColor &b)
{
    const qreal la = relativeLuminance(a);
    const qreal lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor markColor(const BarHints &hints)
{
    const QColor black(Qt::black);
    const QColor white(0xf2, 0xf2, 0xf2);
    if (hints.trayForeground)
        return *hints.trayForeground;
    if (hints.background)
        return contrastRatio(black, *hints.background) >= contrastRatio(white, *hints.background) ? black : white;
    switch (hints.scheme) {
    case ColorScheme::Dark:
        return white;
    case ColorScheme::Light:
        return black;
    case ColorScheme::NoPreference:
        break;
    }
    // Nothing known about the bar: this grey keeps more than 4.5:1 against
    // both black and white, so it shows on a light and on a dark bar.
    return QColor(0x76, 0x76, 0x76);
}

QImage renderImage(const QColor &color)
{
    const int pixels = qRound(side * scale);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    TolvanisMark::paint(painter, QRectF(0, 0, side, side), color);
    painter.end();
    image.setText(QStringLiteral("Description"), accessibleName());
    return image;
}

} // namespace TrayIconImage

QIcon renderTrayIcon(const QColor &color)
{
    QIcon icon(QPixmap::fromImage(TrayIconImage::renderImage(color)));
    // Only macOS honours the mask flag; it is kept for platforms that do.
    icon.setIsMask(true);
    return icon;
}
