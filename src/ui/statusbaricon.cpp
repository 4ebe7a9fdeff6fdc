#include "statusbaricon.h"

#include "tolvanismark.h"

#include <QPainter>
#include <QPixmap>

namespace StatusBarIcon {

QString accessibleName()
{
    return QStringLiteral("tolvanis");
}

QImage renderImage()
{
    const int pixels = qRound(side * scale);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    TolvanisMark::paint(painter, QRectF(0, 0, side, side), Qt::black);
    painter.end();
    image.setText(QStringLiteral("Description"), accessibleName());
    return image;
}

} // namespace StatusBarIcon

QIcon renderStatusBarIcon()
{
    QIcon icon(QPixmap::fromImage(StatusBarIcon::renderImage()));
    // A mask icon tells the platform (KDE's and macOS's trays among them) that
    // only the alpha channel matters and it may tint the image to suit a light
    // or dark panel.
    icon.setIsMask(true);
    return icon;
}
