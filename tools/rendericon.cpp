// Renders the brand logo into PNG files for the desktop's icon theme, and the
// mark alone as the symbolic tray icon:
//   rendericon <output directory> <size> [<size> ...]
// writes <dir>/<size>x<size>/apps/tolvanis.png for each size and
// <dir>/scalable/apps/tolvanis-symbolic.svg.
#include "statusbaricon.h"
#include "tolvanislogo.h"
#include "tolvanismark.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: rendericon <output directory> <size>...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0)
            return 2;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            // Icon themes expect a little air around the artwork.
            const qreal inset = size / 16.0;
            TolvanisLogo::paint(painter, QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/tolvanis.png")))
            return 1;
    }

    // GNOME and KDE hosts repaint a symbolic icon in the bar's text colour;
    // hosts that draw it as it is (waybar) get white, which shows on their
    // dark default bars and on the blue patch waybar's default style puts
    // behind its tray.
    const QString scalable = root + QStringLiteral("/scalable/apps");
    if (!QDir().mkpath(scalable))
        return 1;
    QSvgGenerator svg;
    svg.setFileName(scalable + QStringLiteral("/%1.svg").arg(QLatin1String(StatusBarIcon::symbolicName)));
    svg.setSize(QSize(StatusBarIcon::side, StatusBarIcon::side));
    svg.setViewBox(QRect(0, 0, StatusBarIcon::side, StatusBarIcon::side));
    svg.setTitle(StatusBarIcon::accessibleName());
    QPainter painter;
    if (!painter.begin(&svg))
        return 1;
    TolvanisMark::paint(painter, QRectF(0, 0, StatusBarIcon::side, StatusBarIcon::side),
                        StatusBarIcon::symbolicColor());
    return painter.end() ? 0 : 1;
}
