#include "desktop/screencapture.h"

#include "desktop/portalscreencapture.h"
#include "desktop/x11screencapture.h"

std::unique_ptr<ScreenCapture> ScreenCapture::create(QObject *parent)
{
    const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland)
        return std::make_unique<PortalScreenCapture>(parent);
    return std::make_unique<X11ScreenCapture>(parent);
}
