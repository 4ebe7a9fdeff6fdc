#include "appdelegate.h"
#include "heaptuning.h"
#include "singleinstance.h"

#include <QApplication>

namespace {

// A Wayland client cannot place its own window, so the panel could not open
// under the tray icon; through XWayland it can.
void preferXWaylandForPlacement()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

} // namespace

int main(int argc, char *argv[])
{
    HeapTuning::keepFreedMemoryForReuse();
    preferXWaylandForPlacement();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvanis"));
    QApplication::setDesktopFileName(QStringLiteral("tolvanis"));

    SingleInstance instance;
    if (instance.notifyRunningInstance())
        return 0;
    instance.listen();

    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, [&delegate] { delegate.showPopover(); });
    delegate.applicationDidFinishLaunching();
    app.exec();
    return 0;
}
