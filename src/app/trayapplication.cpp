#include "app/trayapplication.h"

#include "app/globalshortcut.h"
#include "app/panelpresenter.h"
#include "app/popoverplacement.h"
#include "app/screentexttranslation.h"
#include "app/settingswindow.h"
#include "desktop/desktopportal.h"
#include "desktop/shortcutbackend.h"
#include "desktop/trayicon.h"
#include "ui/translationviewmodel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMenu>
#include <QTimer>

namespace {

// How long, and how often, a request that came before the tray placed the
// icon waits for it; embedding takes well under this.
constexpr int iconPlacementWaitMs = 1000;
constexpr int trayPollMs = 50;
// Long enough for the panel or menu we close to leave the screen (and a
// compositor's fade) before the screen is captured.
constexpr int captureAfterMs = 150;

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
    // Let go of the keys while the display connection is there.
    m_shortcut.reset();
    m_screenTextShortcut.reset();
    delete m_panelPresenter;
    delete m_settingsWindow;
}

std::shared_ptr<TranslationViewModel> TrayApplication::viewModel()
{
    if (!m_viewModel) {
        m_viewModel = TranslationViewModel::create(m_systemEngine, m_llmEngine, m_historyStore, m_settings);
        connect(m_viewModel.get(), &TranslationViewModel::isTranslatingChanged, this, [this] {
            if (m_waitingSelection && !m_viewModel->isTranslating())
                translateSelection(*std::exchange(m_waitingSelection, std::nullopt));
        });
    }
    return m_viewModel;
}

void TrayApplication::start()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_launched.start();
    m_quit = new QAction(QStringLiteral("退出 tolvanis"), this);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setShortcutContext(Qt::WindowShortcut);
    m_quit->setShortcutVisibleInContextMenu(true);
    connect(m_quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    // Before anything else of ours talks to the portal (the shortcut's
    // question, the tray's colour scheme): later, it refuses the id.
    DesktopPortal::registerApplication();
    m_exportedMenu.reset(buildStatusMenu());
    m_statusItem = new TrayIcon(m_exportedMenu.get(), this);
    connect(m_statusItem, &TrayIcon::activated, this, [this](std::optional<QPoint> at) { togglePopover(at); });
    connect(m_statusItem, &TrayIcon::menuRequested, this, [this](std::optional<QPoint> at) { showStatusMenu(at); });

    // Shown even without a tray: the icon moves into one that appears later.
    m_statusItem->show();

    // After the icon: binding a key waits on the X server or the portal (up
    // to a second for a slow one), and the icon needs neither.
    m_shortcut = std::make_unique<GlobalShortcut>(m_settings, GlobalShortcut::desktopBackend());
    connect(m_shortcut.get(), &GlobalShortcut::activated, this, &TrayApplication::translateSelection);
    m_shortcut->start();
    m_screenTextShortcut = std::make_unique<GlobalShortcut>(
        m_settings, GlobalShortcut::desktopBackend(GlobalShortcut::Purpose::ScreenText),
        GlobalShortcut::Purpose::ScreenText);
    connect(m_screenTextShortcut.get(), &GlobalShortcut::activated, this, &TrayApplication::translateScreenText);
    m_screenTextShortcut->start();

    m_panelPresenter = new PanelPresenter([this] { return viewModel(); }, m_statusItem, m_quit, this);
    connect(m_panelPresenter, &PanelPresenter::settingsRequested, this, &TrayApplication::openSettings);
    m_panelPresenter->start();
}

QMenu *TrayApplication::buildStatusMenu()
{
    auto *menu = new QMenu;
    // First, for hosts that show the menu on a left click (GNOME's AppIndicator extension).
    menu->addAction(QStringLiteral("打开翻译面板"), this, [this] { showPopover(); });
    menu->addAction(QStringLiteral("截图翻译"), this, &TrayApplication::translateScreenText);
    menu->addSeparator();
    QAction *settings = menu->addAction(QStringLiteral("设置…"), this, &TrayApplication::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setShortcutVisibleInContextMenu(true);
    menu->addAction(m_quit);
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
    // One at a time: a host (or anyone on the bus) may ask again and again.
    if (m_statusMenu && m_statusMenu->isVisible())
        return;
    // Built anew for every click and gone once it closes, so no menu stays
    // attached to the icon to swallow the next left click.
    QMenu *menu = buildStatusMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_statusMenu = menu;

    QPoint at = hostAnchor.value_or(QCursor::pos());
    const QRect icon = m_statusItem ? m_statusItem->geometry() : QRect();
    if (icon.isValid())
        at = PopoverPlacement::position(menu->sizeHint(), icon, std::nullopt,
                                        PopoverPlacement::availableGeometryAt(icon.center()));
    menu->popup(at);
}

PopoverWindow *TrayApplication::popover() const
{
    return m_panelPresenter ? m_panelPresenter->popover() : nullptr;
}

TranslatePanelView *TrayApplication::panel() const
{
    return m_panelPresenter ? m_panelPresenter->panel() : nullptr;
}

bool TrayApplication::isPopoverShown() const
{
    return m_panelPresenter && m_panelPresenter->isShown();
}

void TrayApplication::togglePopover(std::optional<QPoint> hostAnchor)
{
    m_panelPresenter->toggle(hostAnchor);
}

void TrayApplication::showPopover(std::optional<QPoint> hostAnchor)
{
    m_panelPresenter->show(hostAnchor);
}

void TrayApplication::translateSelection(const QString &activationToken)
{
    // Shown first: the panel takes the clipboard's text as it comes on screen.
    m_panelPresenter->present(std::nullopt, activationToken);
    const std::shared_ptr<TranslationViewModel> model = viewModel();
    // A selection asked for while a translation runs waits for it, in place
    // of any that waited before: a burst of requests makes two model requests.
    if (model->isTranslating()) {
        m_waitingSelection = activationToken;
        return;
    }
    // Nothing selected and nothing copied: the panel opens as it was, with no request.
    const bool taken = model->prefillFromClipboard(QClipboard::Selection) || model->prefillFromClipboard();
    if (taken)
        model->translate();
}

void TrayApplication::translateScreenText()
{
    if (!m_screenText)
        m_screenText = new ScreenTextTranslation([this] { m_panelPresenter->present(std::nullopt); }, viewModel(),
                                                 this);
    m_panelPresenter->hide();
    QTimer::singleShot(captureAfterMs, m_screenText, &ScreenTextTranslation::start);
}

void TrayApplication::handleRequest(SingleInstance::Request request, const QString &activationToken)
{
    // The launch that starts us asks before an XEmbed tray has placed the
    // icon, and the panel would open away from where the icon is about to be.
    // Until then Qt reports the icon at the screen's origin; StatusNotifierItem
    // hosts never say where it is, so there it only waits the bound.
    const QRect icon = m_statusItem ? m_statusItem->geometry() : QRect();
    const bool placed = m_panelPresenter->isTrayless() || (icon.isValid() && icon.topLeft() != QPoint(0, 0));
    if (!placed && m_launched.elapsed() < iconPlacementWaitMs) {
        QTimer::singleShot(trayPollMs, this,
                           [this, request, activationToken] { handleRequest(request, activationToken); });
        return;
    }
    if (request == SingleInstance::Request::Selection) {
        translateSelection(activationToken);
        return;
    }
    if (request == SingleInstance::Request::Capture) {
        translateScreenText();
        return;
    }
    if (isPopoverShown())
        m_panelPresenter->present(std::nullopt, activationToken); // to the front, with the focus
    else
        showPopover();
}

QWidget *TrayApplication::settingsWindow() const
{
    return m_settingsWindow;
}

void TrayApplication::openSettings()
{
    if (!m_settingsWindow) {
        m_settingsWindow = new SettingsWindow(m_settings, m_keys, {m_shortcut.get(), m_screenTextShortcut.get()});
        m_settingsWindow->addAction(m_quit);
    }
    m_settingsWindow->open();
}
