#include "app/panelpresenter.h"

#include "app/applog.h"
#include "app/popoverplacement.h"
#include "app/popoverwindow.h"
#include "desktop/trayicon.h"
#include "ui/translatepanelview.h"
#include "ui/translationviewmodel.h"

#include <QAction>
#include <QGuiApplication>
#include <QTimer>

namespace {

// How long after launch a missing system tray is taken as "this desktop has none".
constexpr int trayGraceMs = 3000;
// A tray click that arrives this soon after the panel lost the focus is the
// click that took the focus away.
constexpr int reopenGuardMs = 300;

} // namespace

PanelPresenter::PanelPresenter(std::function<std::shared_ptr<TranslationViewModel>()> viewModel, TrayIcon *statusItem,
                               QAction *quit, QObject *parent)
    : QObject(parent)
    , m_viewModel(std::move(viewModel))
    , m_statusItem(statusItem)
    , m_quit(quit)
    , m_reopenGuard(new QTimer(this))
{
    m_reopenGuard->setObjectName(QStringLiteral("reopenGuard"));
    m_reopenGuard->setSingleShot(true);
    m_reopenGuard->setTimerType(Qt::PreciseTimer);
    m_reopenGuard->setInterval(reopenGuardMs);
}

PanelPresenter::~PanelPresenter()
{
    delete m_popover;
}

void PanelPresenter::start()
{
    // The panel (its widgets, fonts and view model: some 20 ms and 8 MB) is
    // built when the pointer comes onto the icon, so that the click after
    // only maps it; a program nobody uses never pays for it. Where the host
    // does not tell (StatusNotifierItem), or the shortcut comes first, it is
    // built when first asked for.
    connect(m_statusItem, &TrayIcon::hovered, this, [this] { ensureBuilt()->prepare(); });
    QTimer::singleShot(trayGraceMs, this, [this] {
        if (!m_statusItem->isInTray())
            showWithoutTray();
    });
}

PopoverWindow *PanelPresenter::ensureBuilt()
{
    if (m_popover)
        return m_popover;
    m_panel = new TranslatePanelView(m_viewModel());
    connect(m_panel, &TranslatePanelView::openSettingsRequested, this, &PanelPresenter::settingsRequested);
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
        m_popover->hide();
    });
    m_popover->addAction(m_quit);
    // Another window taking the focus closes the panel, as a click elsewhere
    // closes any pop-up; an ordinary window stays open.
    connect(m_popover, &PopoverWindow::deactivated, this, [this] {
        if (m_trayless)
            return;
        m_popover->hide();
        m_reopenGuard->start();
    });
    return m_popover;
}

bool PanelPresenter::isShown() const
{
    return m_popover && m_popover->isVisible();
}

void PanelPresenter::hide()
{
    if (isShown())
        m_popover->hide();
}

void PanelPresenter::toggle(std::optional<QPoint> hostAnchor)
{
    if (isShown()) {
        m_popover->hide();
        return;
    }
    if (m_reopenGuard->isActive()) {
        m_reopenGuard->stop();
        return;
    }
    show(hostAnchor);
}

void PanelPresenter::show(std::optional<QPoint> hostAnchor)
{
    if (isShown())
        return;
    ensureBuilt();
    m_viewModel()->prefillFromClipboard();
    present(hostAnchor);
}

void PanelPresenter::present(std::optional<QPoint> hostAnchor, const QString &activationToken)
{
    ensureBuilt();
    // A native Wayland window may take the focus only with a token from the
    // desktop; Qt reads it when it next activates a window.
    if (!activationToken.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (isShown()) {
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
        std::optional<QRect> icon;
        if (m_statusItem && m_statusItem->geometry().isValid())
            icon = m_statusItem->geometry();
        m_popover->open(PopoverPlacement::onScreen(m_popover->size(), icon, hostAnchor));
    }
}

void PanelPresenter::showWithoutTray()
{
    // No tray on this desktop (stock GNOME without an extension): the panel
    // becomes an ordinary window so the program stays usable.
    qCInfo(lcApp) << "no system tray appeared; the panel opens as a window";
    m_trayless = true;
    ensureBuilt();
    m_popover->setWindowFlags(Qt::Window);
    m_popover->setWindowTitle(QStringLiteral("tolvanis"));
    m_popover->prepare();
    m_popover->move(PopoverPlacement::centredUnderPointer(m_popover->size()));
    show();
}
