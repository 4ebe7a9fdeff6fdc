#include "app/screencapture.h"

#include "app/portalscreencapture.h"
#include "app/x11screencapture.h"

std::unique_ptr<ScreenCapture> ScreenCapture::create(QObject *parent)
{
    const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland)
        return std::make_unique<PortalScreenCapture>(parent);
    return std::make_unique<X11ScreenCapture>(parent);
}
