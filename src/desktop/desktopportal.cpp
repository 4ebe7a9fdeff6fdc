#include "desktop/desktopportal.h"

#include "desktop/desktoplog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

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
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!registeredWith.isEmpty() &&
        registeredWith == bus.interface()->serviceOwner(QString::fromLatin1(service)).value())
        return;
    const QDBusMessage reply = bus.call(call("org.freedesktop.host.portal.Registry", QStringLiteral("Register"),
                                             {QString::fromLatin1(applicationId), QVariantMap()}),
                                        QDBus::Block, registerTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCInfo(lcDesktop) << "the portal did not register the application id:" << reply.errorMessage();
    // The portal's own unique name answered (the bus's, when there is no
    // portal): no round trip to ask for it, at start-up least of all.
    registeredWith = reply.service();
}

QString requestPath(const QString &token)
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

} // namespace DesktopPortal
