#include "app/applog.h"
#include "app/singleinstance.h"
#include "app/trayapplication.h"
#include "core/heaptuning.h"
#include "desktop/desktopportal.h"
#include "engines/llmmodule.h"
#include "engines/systemengine.h"
#include "storage/appsettings.h"
#include "storage/historystore.h"
#include "storage/secretservicekeystore.h"
#include "storage/settingsfile.h"
#include "widgets/accessibility.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int usageError = 2;

const char usage[] = "用法：tolvanis [--open | --selection | --capture | --help | --version]\n"
                     "  --open       打开翻译面板（填入剪贴板的文字）\n"
                     "  --selection  打开翻译面板，填入选中的文字（没有时用剪贴板）并立即翻译\n"
                     "  --capture    选择屏幕上的区域，识别其中的文字并立即翻译\n"
                     "  --help       显示此帮助\n"
                     "  --version    显示版本\n"
                     "已在运行时，请求交给运行中的 tolvanis。\n";

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

// What the launcher gave this process to raise a window with; the running
// instance, which does the raising, needs it.
QString launcherActivationToken()
{
    const QString wayland = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : wayland;
}

int terminationPipe[2] = {-1, -1};

// A logout ends the session's programs with SIGTERM: quit through the event
// loop, so that the stores finish their writes (the history's last entry is
// written on a thread of its own) instead of dying mid-way.
void quitOnTermination(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminationPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(terminationPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char signal = 0;
        if (::read(terminationPipe[1], &signal, 1) == 1)
            app.quit();
    });
    struct sigaction action { };
    action.sa_handler = [](int) {
        const char signal = 1;
        // Only async-signal-safe calls here; the event loop does the rest.
        [[maybe_unused]] const ssize_t written = ::write(terminationPipe[0], &signal, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before the application exists, so that --help and a mistyped option
    // answer in a terminal without a display.
    std::optional<SingleInstance::Request> request;
    if (argc > 2) {
        std::fprintf(stderr, "tolvanis: 只能给一个选项\n%s", usage);
        return usageError;
    }
    if (argc == 2) {
        const char *option = argv[1];
        if (!std::strcmp(option, "--help") || !std::strcmp(option, "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (!std::strcmp(option, "--version")) {
            std::printf("tolvanis %s\n", TOLVANIS_VERSION);
            return 0;
        }
        if (!std::strcmp(option, "--open"))
            request = SingleInstance::Request::Open;
        else if (!std::strcmp(option, "--selection"))
            request = SingleInstance::Request::Selection;
        else if (!std::strcmp(option, "--capture"))
            request = SingleInstance::Request::Capture;
        else {
            std::fprintf(stderr, "tolvanis: 未知的选项 “%s”\n%s", option, usage);
            return usageError;
        }
    }

    HeapTuning::keepFreedMemoryForReuse();
    preferXWaylandForPlacement();
    QApplication app(argc, argv);
    // After the application (Qt asks the factory installed last first, so ours
    // comes before Qt's own) and before anything asks for the application's.
    Widgets::Accessibility::install();
    QApplication::setApplicationName(QStringLiteral("tolvanis"));
    // The id the menu entry is installed under, and the portal is told.
    QApplication::setDesktopFileName(QString::fromLatin1(DesktopPortal::applicationId));

    SingleInstance instance;
    if (instance.notifyRunningInstance(request.value_or(SingleInstance::Request::Open), launcherActivationToken()))
        return 0;

    // Declared before the tray application, which uses them until it is gone.
    SettingsFile file(SettingsFile::standardFilePath());
    AppSettings settings(file, AutostartEntry());
    HistoryStore history(HistoryStore::standardKey(), file);
    // Only once the settings are in: an instance that hangs while loading
    // them must not take every later launch's request with it.
    if (const Result<void> listening = instance.listen(); !listening)
        qCWarning(lcApp) << "later launches cannot reach this one:" << listening.error();
    SecretServiceKeyStore keys;
    TrayApplication tray(settings, history, keys, SystemEngine::create(),
                         std::make_shared<LLMModuleEngine>([&settings] { return settings.llmConnection(); }, keys));
    QObject::connect(&instance, &SingleInstance::requested, &tray, &TrayApplication::handleRequest);
    quitOnTermination(app);
    tray.start();
    if (request) {
        // Once the event loop runs, as a request from another launch would arrive.
        QTimer::singleShot(0, &tray, [&tray, request] { tray.handleRequest(*request, QString()); });
    }
    app.exec();
    return 0;
}
