#include "desktop/desktopportal.h"

#include "desktop/desktoplog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>

#include <utility>

namespace DesktopPortal {

namespace {

// A start-up call must not hold the program up when the portal hangs.
constexpr int registerTimeoutMs = 1000;

} // namespace

QDBusMessage call(const char *interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                          QString::fromLatin1(interface), method);
    message.setArguments(arguments);
    return message;
}

// Portals before the host Registry do not know the method, and one that has
// already seen a call of ours refuses it: neither is a reason to stop.
void registerApplication()
{
    static QString registeredWith;
    // A registration sent while the bus was still to start the portal.
    static QDBusPendingCall *sentAhead = nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const auto owner = [&bus] { return bus.interface()->serviceOwner(QString::fromLatin1(service)).value(); };
    const auto settle = [&owner](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            qCInfo(lcDesktop) << "the portal did not register the application id:" << reply.errorMessage();
        registeredWith = owner();
    };
    if (sentAhead) {
        sentAhead->waitForFinished();
        // None was started (none is installed): the one running now has not heard from us.
        if (sentAhead->error().type() != QDBusError::ServiceUnknown)
            settle(sentAhead->reply());
        delete std::exchange(sentAhead, nullptr);
    }
    const QString current = owner();
    if (!registeredWith.isEmpty() && registeredWith == current)
        return;
    const QDBusMessage registration = call("org.freedesktop.host.portal.Registry", QStringLiteral("Register"),
                                           {QString::fromLatin1(applicationId), QVariantMap()});
    if (current.isEmpty()) {
        // Starting the portal takes long enough to hold up the tray icon: the
        // bus hands it our later calls after this one, so this one is not
        // waited for here but by the next caller.
        sentAhead = new QDBusPendingCall(bus.asyncCall(registration, registerTimeoutMs));
        return;
    }
    settle(bus.call(registration, QDBus::Block, registerTimeoutMs));
}

QString requestPath(const QString &token)
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

} // namespace DesktopPortal
