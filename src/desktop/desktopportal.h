#pragma once

#include <QDBusMessage>
#include <QString>
#include <QVariantList>

// The desktop portal as every part of ours talks to it: one bus name and
// object, the application id registered before anything else, and requests
// whose outcome arrives later as a Response signal on a handle of their own.
namespace DesktopPortal {

constexpr auto service = "org.freedesktop.portal.Desktop";
constexpr auto path = "/org/freedesktop/portal/desktop";
constexpr auto requestInterface = "org.freedesktop.portal.Request";
constexpr auto applicationId = "com.quendrix.tolvanis";

// A call of `method` of `interface` on the portal's object.
QDBusMessage call(const char *interface, const QString &method, const QVariantList &arguments = {});
// Tells the portal who we are. It accepts the id only before any other call of
// this process, so this comes first; it runs once per portal (one that
// restarted has forgotten us) and blocks for at most a second.
void registerApplication();
// The handle that the portal gives the request with `token`, so that its
// Response can be subscribed to before the call that may answer at once.
QString requestPath(const QString &token);

} // namespace DesktopPortal
