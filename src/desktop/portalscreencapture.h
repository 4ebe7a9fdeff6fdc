#pragma once

#include "desktop/screencapture.h"

#include <QDateTime>
#include <QList>
#include <QVariantMap>

class QScreen;

namespace Widgets {
class ScreenRegionPicker;
}

// The screen through the desktop portal's Screenshot interface. Where the
// desktop has its own region picker (GNOME, KDE, xdg-desktop-portal-wlr with
// slurp) the user picks there; where the portal returns whole outputs, our
// own selection is shown over the returned picture. The portal's file is
// deleted once read.
class PortalScreenCapture final : public ScreenCapture
{
    Q_OBJECT

public:
    explicit PortalScreenCapture(QObject *parent = nullptr);

    void start() override;

    // The picture cut into the parts under each screen, when it shows the
    // whole desktop (`desktop`: the screens' logical geometries); empty when it
    // is a region someone already chose.
    static QList<QImage> screenParts(const QImage &picture, const QList<QRect> &desktop);

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    void ask(bool interactive);
    void stopListening();
    void finish(const QString &uri);

    Widgets::ScreenRegionPicker *m_picker;
    QString m_request;
    QDateTime m_asked;
    bool m_interactive = false;
};
