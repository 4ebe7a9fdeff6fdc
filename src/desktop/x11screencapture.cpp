#include "desktop/x11screencapture.h"

#include "desktop/desktoplog.h"
#include "widgets/screenregionpicker.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

X11ScreenCapture::X11ScreenCapture(QObject *parent)
    : ScreenCapture(parent)
    , m_picker(new Widgets::ScreenRegionPicker(this))
{
    connect(m_picker, &Widgets::ScreenRegionPicker::selected, this, &ScreenCapture::captured);
    connect(m_picker, &Widgets::ScreenRegionPicker::cancelled, this, [this] { Q_EMIT failed(QString()); });
}

void X11ScreenCapture::start()
{
    if (m_picker->isPicking())
        return;
    QList<Widgets::ScreenRegionPicker::Frozen> frozen;
    for (QScreen *screen : QGuiApplication::screens()) {
        // The root window's part under this screen, at its device pixels.
        const QImage picture = screen->grabWindow(0).toImage();
        if (picture.isNull()) {
            qCWarning(lcDesktop) << "the screen" << screen->name() << "could not be grabbed";
            continue;
        }
        frozen.append({screen, picture});
    }
    if (frozen.isEmpty()) {
        Q_EMIT failed(QStringLiteral("无法截取屏幕"));
        return;
    }
    m_picker->pick(frozen);
}
