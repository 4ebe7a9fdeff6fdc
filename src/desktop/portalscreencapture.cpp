#include "desktop/portalscreencapture.h"

#include "desktop/desktoplog.h"
#include "desktop/desktopportal.h"
#include "widgets/screenregionpicker.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QRandomGenerator>
#include <QScreen>
#include <QUrl>

#include <unistd.h>

namespace {

constexpr auto screenshotInterface = "org.freedesktop.portal.Screenshot";
// A file the portal wrote for us is at most this much older than our request.
constexpr int fileAgeToleranceMs = 2000;
// How far a whole-desktop picture's proportions may stray from the screens'.
constexpr double aspectTolerance = 0.01;

// Only the file the portal just wrote for this request, and ours: a
// confused or hostile answer must not make us delete anything else.
void removeCapturedFile(const QString &path, const QDateTime &asked)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink() || info.ownerId() != ::getuid() ||
        info.lastModified() < asked.addMSecs(-fileAgeToleranceMs)) {
        qCWarning(lcDesktop) << "the portal's picture was left in place: not a fresh file of ours";
        return;
    }
    if (!QFile::remove(path))
        qCWarning(lcDesktop) << "the portal's picture could not be deleted";
}

} // namespace

PortalScreenCapture::PortalScreenCapture(QObject *parent)
    : ScreenCapture(parent)
    , m_picker(new Widgets::ScreenRegionPicker(this))
{
    connect(m_picker, &Widgets::ScreenRegionPicker::selected, this, &ScreenCapture::captured);
    connect(m_picker, &Widgets::ScreenRegionPicker::cancelled, this, [this] { Q_EMIT failed(QString()); });
}

void PortalScreenCapture::start()
{
    if (!m_request.isEmpty() || m_picker->isPicking())
        return;
    ask(true);
}

void PortalScreenCapture::ask(bool interactive)
{
    const QString token = QStringLiteral("tolvanis%1").arg(QRandomGenerator::global()->generate());
    m_request = DesktopPortal::requestPath(token);
    m_asked = QDateTime::currentDateTime();
    m_interactive = interactive;
    // Subscribed before the call: the portal may answer before the call returns.
    QDBusConnection::sessionBus().connect(QString::fromLatin1(DesktopPortal::service), m_request,
                                          QString::fromLatin1(DesktopPortal::requestInterface),
                                          QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), interactive},
                              {QStringLiteral("modal"), true}};
    const QDBusMessage call = DesktopPortal::call(screenshotInterface, QStringLiteral("Screenshot"),
                                                  {QString(), options});
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (!reply.isError())
            return;
        qCWarning(lcDesktop) << "the portal did not take a screenshot:" << reply.error().message();
        stopListening();
        Q_EMIT failed(QStringLiteral("这个桌面不提供截图功能"));
    });
}

void PortalScreenCapture::stopListening()
{
    QDBusConnection::sessionBus().disconnect(QString::fromLatin1(DesktopPortal::service), m_request,
                                             QString::fromLatin1(DesktopPortal::requestInterface),
                                             QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_request.clear();
}

void PortalScreenCapture::onResponse(uint response, const QVariantMap &results)
{
    stopListening();
    // 1: the user cancelled the desktop's dialog.
    if (response == 1) {
        Q_EMIT failed(QString());
        return;
    }
    // 2: it failed. xdg-desktop-portal-wlr fails so when slurp, its region
    // picker, is missing; a picture of the whole screen serves as well.
    if (response != 0 && m_interactive) {
        qCInfo(lcDesktop) << "the portal's own picker failed; asking for the whole screen";
        ask(false);
        return;
    }
    if (response != 0) {
        qCWarning(lcDesktop) << "the portal refused the screenshot:" << response;
        Q_EMIT failed(QStringLiteral("桌面拒绝了截图请求"));
        return;
    }
    finish(results.value(QStringLiteral("uri")).toString());
}

void PortalScreenCapture::finish(const QString &uri)
{
    const QUrl url(uri);
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    QImage picture;
    if (!path.isEmpty()) {
        QImageReader reader(path);
        picture = reader.read();
        removeCapturedFile(path, m_asked);
    }
    if (picture.isNull()) {
        qCWarning(lcDesktop) << "the portal's picture could not be read";
        Q_EMIT failed(QStringLiteral("无法读取截图"));
        return;
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<QRect> desktop;
    for (QScreen *screen : screens)
        desktop.append(screen->geometry());
    const QList<QImage> parts = screenParts(picture, desktop);
    if (parts.isEmpty()) {
        Q_EMIT captured(picture); // the desktop's own picker chose the region
        return;
    }
    QList<Widgets::ScreenRegionPicker::Frozen> frozen;
    for (qsizetype i = 0; i < parts.size(); ++i)
        frozen.append({screens.at(i), parts.at(i)});
    m_picker->pick(frozen);
}

QList<QImage> PortalScreenCapture::screenParts(const QImage &picture, const QList<QRect> &desktop)
{
    QRect whole;
    for (const QRect &screen : desktop)
        whole |= screen;
    if (whole.isEmpty() || picture.isNull() || picture.width() < whole.width())
        return {};
    const double scale = double(picture.width()) / whole.width();
    if (std::abs(picture.height() / scale - whole.height()) > whole.height() * aspectTolerance)
        return {};
    QList<QImage> parts;
    for (const QRect &screen : desktop) {
        const QRect at = screen.translated(-whole.topLeft());
        parts.append(picture.copy(QRect(qRound(at.x() * scale), qRound(at.y() * scale), qRound(at.width() * scale),
                                        qRound(at.height() * scale))));
    }
    return parts;
}
