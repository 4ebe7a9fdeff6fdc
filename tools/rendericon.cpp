// Renders the brand logo into PNG files for the desktop's icon theme, and the
// mark alone as the symbolic tray icon:
//   rendericon <output directory> <size> [<size> ...]
// writes <dir>/<size>x<size>/apps/com.quendrix.tolvanis.png (the application id,
// as the desktop entry and the AppStream metadata name it) for each size and
// <dir>/scalable/apps/tolvanis-symbolic.svg.
#include "desktop/trayiconimage.h"
#include "ui/tolvanislogo.h"
#include "ui/tolvanismark.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cstdio>

namespace {

// KDE's icon loader repaints a symbolic icon in the bar's text colour only
// where the drawing takes its colour from the ColorScheme-Text class of the
// "current-color-scheme" style sheet; GNOME repaints every fill anyway, and
// hosts that draw the icon as it is (waybar) read the sheet's colour.
bool withColorSchemeClass(const QString &fileName)
{
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray svg = in.readAll();
    in.close();
    const QByteArray color = TrayIconImage::symbolicColor().name().toLatin1();
    const QByteArray fill = "fill=\"" + color + "\"";
    if (!svg.contains(fill) || !svg.contains("<defs>"))
        return false;
    svg.replace(fill, "fill=\"currentColor\" class=\"ColorScheme-Text\"");
    svg.replace("<defs>",
                "<defs>\n<style type=\"text/css\" id=\"current-color-scheme\">.ColorScheme-Text { color:" + color +
                    "; }</style>");
    QSaveFile out(fileName);
    return out.open(QIODevice::WriteOnly) && out.write(svg) == svg.size() && out.commit();
}

} // namespace

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
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/com.quendrix.tolvanis.png")))
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
    svg.setFileName(scalable + QStringLiteral("/%1.svg").arg(QLatin1String(TrayIconImage::symbolicName)));
    svg.setSize(QSize(TrayIconImage::side, TrayIconImage::side));
    svg.setViewBox(QRect(0, 0, TrayIconImage::side, TrayIconImage::side));
    svg.setTitle(TrayIconImage::accessibleName());
    QPainter painter;
    if (!painter.begin(&svg))
        return 1;
    TolvanisMark::paint(painter, QRectF(0, 0, TrayIconImage::side, TrayIconImage::side),
                        TrayIconImage::symbolicColor());
    if (!painter.end())
        return 1;
    return withColorSchemeClass(svg.fileName()) ? 0 : 1;
}
