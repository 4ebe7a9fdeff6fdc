#include "app/trayapplication.h"

#include "app/applog.h"
#include "app/popoverplacement.h"
#include "app/popoverwindow.h"
#include "app/portalshortcut.h"
#include "app/shortcutbackend.h"
#include "app/trayicon.h"
#include "app/x11shortcut.h"
#include "storage/appsettings.h"
#include "storage/historystore.h"
#include "ui/settingsview.h"
#include "ui/translatepanelview.h"
#include "ui/translationviewmodel.h"
#include "ui/trayiconimage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long after launch a missing system tray is taken as "this desktop has none".
constexpr int trayGraceMs = 3000;
// How long, and how often, a request that came before the tray placed the
// icon waits for it; embedding takes well under this.
constexpr int iconPlacementWaitMs = 1000;
constexpr int trayPollMs = 50;
// A tray click that arrives this soon after the panel lost the focus is the
// click that took the focus away.
constexpr int reopenGuardMs = 300;
// The panel is built this long after launch: past the tray's embedding of the
// icon, which waits for our event loop, and before anyone aims at a new icon.
constexpr int preparePanelAfterMs = 250;

// Only a plain X11 session always knows where the pointer is. XWayland learns
// it only while the pointer is over an X11 window, so after a click on a
// Wayland bar QCursor::pos() still holds where it last left one; a native
// Wayland client is never told.
bool pointerPositionIsCurrent()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The screen under the point, else the primary screen.
QRect availableGeometryAt(QPoint point)
{
    QScreen *screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

// The way this desktop lets a program bind a desktop-wide key, if any.
std::unique_ptr<ShortcutBackend> makeShortcutBackend()
{
    // The desktop portal's GlobalShortcuts, where offered, comes first: it is
    // the only way on Wayland and lets the desktop show the binding.
    if (PortalShortcut::isAvailable())
        return std::make_unique<PortalShortcut>();
    if (X11Shortcut::isAvailable())
        return std::make_unique<X11Shortcut>();
    return nullptr;
}

} // namespace

TrayApplication::TrayApplication(AppSettings &settings, HistoryStore &historyStore, KeyStore &keys,
                                 std::shared_ptr<TranslationEngine> systemEngine,
                                 std::shared_ptr<TranslationEngine> llmEngine, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_historyStore(historyStore)
    , m_keys(keys)
    , m_systemEngine(std::move(systemEngine))
    , m_llmEngine(std::move(llmEngine))
{ }

TrayApplication::~TrayApplication()
{
    m_shortcut.reset(); // lets go of the key while the display connection is there
    delete m_popover;
    delete m_settingsWindow;
}

std::shared_ptr<TranslationViewModel> TrayApplication::viewModel()
{
    if (!m_viewModel)
        m_viewModel = TranslationViewModel::create(m_systemEngine, m_llmEngine, m_historyStore, m_settings);
    return m_viewModel;
}

void TrayApplication::start()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_launched.start();
    // Before the tray reads the colour scheme: a portal backend must register
    // the application id before anything else of ours talks to the portal.
    startShortcut();

    m_exportedMenu.reset(buildStatusMenu());
    m_statusItem = new TrayIcon(m_exportedMenu.get(), this);
    connect(m_statusItem, &TrayIcon::activated, this, [this](std::optional<QPoint> at) { togglePopover(at); });
    connect(m_statusItem, &TrayIcon::menuRequested, this, [this](std::optional<QPoint> at) { showStatusMenu(at); });

    // Shown even without a tray: the icon moves into one that appears later.
    m_statusItem->show();
    // The panel (its widgets, fonts and view model) is built once the icon is
    // up, or at once when asked for earlier, so that the first click only maps it.
    QTimer::singleShot(preparePanelAfterMs, this, [this] { ensurePopover()->prepare(); });
    QTimer::singleShot(trayGraceMs, this, [this] {
        if (!m_statusItem->isInTray())
            showWithoutTray();
    });
}

PopoverWindow *TrayApplication::ensurePopover()
{
    if (m_popover)
        return m_popover;
    m_panel = new TranslatePanelView(viewModel());
    connect(m_panel, &TranslatePanelView::openSettingsRequested, this, [self = QPointer(this)] {
        if (self)
            self->openSettings();
    });
    m_popover = new PopoverWindow(m_panel);
    connect(m_popover, &PopoverWindow::escapePressed, this, [this] {
        // Also while the panel is still turning to the history list, before
        // the list has the focus that would take the key itself.
        if (m_panel->isHistoryShown()) {
            m_panel->hideHistory();
            return;
        }
        if (m_trayless)
            return; // an ordinary window, with no icon to bring it back
        closePopover();
        disconnectDeactivation();
    });
    addQuitShortcut(m_popover);
    return m_popover;
}

QIcon TrayApplication::renderTrayIcon()
{
    return ::renderTrayIcon();
}

QMenu *TrayApplication::buildStatusMenu()
{
    auto *menu = new QMenu;
    // First, for hosts that show the menu on a left click (GNOME's AppIndicator extension).
    menu->addAction(QStringLiteral("打开翻译面板"), this, [this] { showPopover(); });
    menu->addSeparator();
    QAction *settings = menu->addAction(QStringLiteral("设置…"), this, &TrayApplication::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setShortcutVisibleInContextMenu(true);
    QAction *quit = menu->addAction(QStringLiteral("退出 tolvanis"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutVisibleInContextMenu(true);
    return menu;
}

void TrayApplication::showStatusMenu(std::optional<QPoint> hostAnchor)
{
    // A menu without a parent window becomes an ordinary tiled window on a
    // Wayland compositor; there the host's own menu (or the panel) is the way.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        togglePopover(hostAnchor);
        return;
    }
    // Built anew for every click and gone once it closes, so no menu stays
    // attached to the icon to swallow the next left click.
    QMenu *menu = buildStatusMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_statusMenu = menu;

    QPoint at = hostAnchor.value_or(QCursor::pos());
    const QRect icon = m_statusItem ? m_statusItem->geometry() : QRect();
    if (icon.isValid())
        at = PopoverPlacement::position(menu->sizeHint(), icon, std::nullopt, availableGeometryAt(icon.center()));
    menu->popup(at);
}

bool TrayApplication::isPopoverShown() const
{
    return m_popover && m_popover->isVisible();
}

void TrayApplication::togglePopover(std::optional<QPoint> hostAnchor)
{
    if (isPopoverShown()) {
        closePopover();
        disconnectDeactivation();
        return;
    }
    if (m_closedByDeactivation.isValid() && m_closedByDeactivation.elapsed() < reopenGuardMs) {
        m_closedByDeactivation.invalidate();
        return;
    }
    showPopover(hostAnchor);
}

void TrayApplication::showPopover(std::optional<QPoint> hostAnchor)
{
    if (isPopoverShown())
        return;
    ensurePopover();
    viewModel()->prefillFromClipboard();
    presentPopover(hostAnchor);
}

void TrayApplication::translateSelection(const QString &activationToken)
{
    ensurePopover();
    // Shown first: the panel takes the clipboard's text as it comes on screen.
    presentPopover(std::nullopt, activationToken);
    const std::shared_ptr<TranslationViewModel> model = viewModel();
    // Nothing selected and nothing copied: the panel opens as it was, with no request.
    const bool taken = model->prefillFromClipboard(QClipboard::Selection) || model->prefillFromClipboard();
    if (taken)
        model->translate();
}

void TrayApplication::handleRequest(SingleInstance::Request request, const QString &activationToken)
{
    // The launch that starts us asks before an XEmbed tray has placed the
    // icon, and the panel would open away from where the icon is about to be.
    // Until then Qt reports the icon at the screen's origin; StatusNotifierItem
    // hosts never say where it is, so there it only waits the bound.
    const QRect icon = m_statusItem ? m_statusItem->geometry() : QRect();
    const bool placed = m_trayless || (icon.isValid() && icon.topLeft() != QPoint(0, 0));
    if (!placed && m_launched.elapsed() < iconPlacementWaitMs) {
        QTimer::singleShot(trayPollMs, this,
                           [this, request, activationToken] { handleRequest(request, activationToken); });
        return;
    }
    if (request == SingleInstance::Request::Selection) {
        translateSelection(activationToken);
        return;
    }
    if (isPopoverShown())
        presentPopover(std::nullopt, activationToken); // to the front, with the focus
    else
        showPopover();
}

void TrayApplication::presentPopover(std::optional<QPoint> hostAnchor, const QString &activationToken)
{
    // A native Wayland window may take the focus only with a token from the
    // desktop; Qt reads it when it next activates a window.
    if (!activationToken.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (isPopoverShown()) {
        m_popover->raise();
        m_popover->activateWindow();
        return;
    }
    if (m_trayless) {
        m_popover->show();
        m_popover->raise();
        m_popover->activateWindow();
    } else {
        m_popover->prepare();
        m_popover->open(popoverPosition(hostAnchor));
    }

    disconnectDeactivation();
    if (m_trayless)
        return; // an ordinary window stays open when it loses the focus
    m_deactivationConnection = connect(m_popover, &PopoverWindow::deactivated, this, [self = QPointer(this)] {
        if (!self)
            return;
        if (self->m_popover && self->isPopoverShown()) {
            self->closePopover();
            self->m_closedByDeactivation.start();
        }
        self->disconnectDeactivation();
    });
}

void TrayApplication::closePopover()
{
    if (m_popover)
        m_popover->hide();
}

void TrayApplication::disconnectDeactivation()
{
    if (m_deactivationConnection)
        disconnect(*m_deactivationConnection);
    m_deactivationConnection.reset();
}

QPoint TrayApplication::popoverPosition(std::optional<QPoint> hostAnchor) const
{
    std::optional<QRect> icon;
    if (m_statusItem && m_statusItem->geometry().isValid())
        icon = m_statusItem->geometry();
    std::optional<QPoint> pointer;
    if (pointerPositionIsCurrent())
        pointer = QCursor::pos();
    const std::optional<QPoint> reference = icon ? icon->center() : hostAnchor ? hostAnchor : pointer;
    const QRect available = availableGeometryAt(reference.value_or(QPoint()));
    return PopoverPlacement::position(m_popover->size(), icon, pointer, available, hostAnchor);
}

void TrayApplication::openSettings()
{
    if (!m_settingsWindow) {
        // Titled and closable only: no minimise or maximise button.
        auto *window = new QWidget(
            nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window->setWindowTitle(QStringLiteral("设置"));
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        m_settingsView = new SettingsView(m_settings, m_keys, window);
        if (!m_shortcut)
            m_settingsView->setShortcutUnavailable();
        layout->addWidget(m_settingsView);
        window->setFixedSize(SettingsView::viewWidth, SettingsView::viewHeight);
        addQuitShortcut(window);
        const QRect screen = availableGeometryAt(QCursor::pos());
        window->move(screen.center() - QPoint(window->width() / 2, window->height() / 2));
        m_settingsWindow = window;
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
    if (!m_shortcutFailure.isEmpty())
        m_settingsView->reportShortcut(false, m_shortcutFailure);
}

void TrayApplication::showWithoutTray()
{
    // No tray on this desktop (stock GNOME without an extension): the panel
    // becomes an ordinary window so the program stays usable.
    qCInfo(lcApp) << "no system tray appeared; the panel opens as a window";
    m_trayless = true;
    disconnectDeactivation();
    ensurePopover();
    m_popover->setWindowFlags(Qt::Window);
    m_popover->setWindowTitle(QStringLiteral("tolvanis"));
    m_popover->prepare();
    const QRect screen = availableGeometryAt(QCursor::pos());
    m_popover->move(screen.center() - QPoint(m_popover->width() / 2, m_popover->height() / 2));
    showPopover();
}

void TrayApplication::addQuitShortcut(QWidget *window)
{
    // Ctrl+Q quits while any window of ours is active; the text fields bring
    // their own Ctrl+C/V/X/A/Z and Ctrl+Shift+Z.
    auto *quit = new QAction(window);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    window->addAction(quit);
}

void TrayApplication::startShortcut()
{
    m_shortcut = makeShortcutBackend();
    if (!m_shortcut)
        return;
    // Queued: an outcome may change the setting, which must not happen while
    // the setting is still being assigned.
    connect(m_shortcut.get(), &ShortcutBackend::activated, this, &TrayApplication::translateSelection,
            Qt::QueuedConnection);
    connect(
        m_shortcut.get(), &ShortcutBackend::bound, this,
        [this](const QString &description) {
            m_boundShortcut = m_requestedShortcut;
            m_shortcutStarted = true;
            m_shortcutFailure.clear();
            const QString shown = description.isEmpty() ? m_boundShortcut.toString(QKeySequence::NativeText)
                                                        : description;
            reportShortcut(true,
                           shown.isEmpty() ? QStringLiteral("全局快捷键已关闭")
                                           : QStringLiteral("全局快捷键：%1").arg(shown));
        },
        Qt::QueuedConnection);
    connect(
        m_shortcut.get(), &ShortcutBackend::failed, this,
        [this](const QString &reason) {
            reportShortcut(false, reason);
            if (!m_shortcutStarted) {
                // Still the user's choice, to go back to after a failed change.
                m_boundShortcut = m_requestedShortcut;
                m_shortcutFailure = reason; // said again when the settings window opens
            } else {
                m_requestedShortcut = m_boundShortcut;
                m_settings.setGlobalShortcut(m_boundShortcut.toString(QKeySequence::PortableText));
            }
            m_shortcutStarted = true;
        },
        Qt::QueuedConnection);
    connect(&m_settings, &AppSettings::globalShortcutChanged, this, &TrayApplication::applyShortcut);
    applyShortcut();
}

void TrayApplication::applyShortcut()
{
    const QKeySequence keys = QKeySequence::fromString(m_settings.globalShortcut(), QKeySequence::PortableText);
    if (keys == m_requestedShortcut && m_shortcutStarted)
        return;
    m_requestedShortcut = keys;
    m_shortcut->bind(keys);
}

void TrayApplication::reportShortcut(bool bound, const QString &text)
{
    if (!bound)
        qCWarning(lcApp) << "global shortcut not bound:" << text;
    // Only the settings window, where the user changes the key, shows it.
    if (m_settingsView && m_settingsView->isVisible())
        m_settingsView->reportShortcut(bound, text);
}
