#pragma once

#include "app/singleinstance.h"

#include <QElapsedTimer>
#include <QKeySequence>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class AppSettings;
class HistoryStore;
class KeyStore;
class PopoverWindow;
class SettingsView;
class ShortcutBackend;
class TranslatePanelView;
class TranslationViewModel;
class TranslationEngine;
class TrayIcon;

// The tray application: the tray icon, the panel that opens under it, the
// status menu, the settings window, and the engines and view model behind the
// panel. Everything runs on the GUI thread. The stores outlive it.
class TrayApplication final : public QObject
{
    Q_OBJECT

public:
    TrayApplication(AppSettings &settings, HistoryStore &historyStore, KeyStore &keys,
                    std::shared_ptr<TranslationEngine> systemEngine, std::shared_ptr<TranslationEngine> llmEngine,
                    QObject *parent = nullptr);
    ~TrayApplication() override;
    Q_DISABLE_COPY_MOVE(TrayApplication)

    void start();

    // `hostAnchor`: where a StatusNotifierItem host says its icon was clicked;
    // the panel opens there instead of under the pointer.
    void togglePopover(std::optional<QPoint> hostAnchor = std::nullopt);
    // Opens the panel unless it is open (another launch, or the menu, asked for it).
    void showPopover(std::optional<QPoint> hostAnchor = std::nullopt);
    // Opens the panel with the selected text (else the clipboard's) and
    // translates it at once, with the panel's engine and direction.
    void translateSelection(const QString &activationToken = QString());
    // What a later launch (or this one's command line) asked for.
    void handleRequest(SingleInstance::Request request, const QString &activationToken);
    void showStatusMenu(std::optional<QPoint> hostAnchor = std::nullopt);
    void openSettings();
    static QIcon renderTrayIcon();

    std::shared_ptr<TranslationViewModel> viewModel();
    HistoryStore &historyStore() const { return m_historyStore; }
    TrayIcon *statusItem() const { return m_statusItem; }
    PopoverWindow *popover() const { return m_popover; }
    TranslatePanelView *panel() const { return m_panel; }
    QWidget *settingsWindow() const { return m_settingsWindow; }
    QMenu *statusMenu() const { return m_statusMenu; }
    bool isPopoverShown() const;

private:
    QMenu *buildStatusMenu();
    PopoverWindow *ensurePopover();
    void presentPopover(std::optional<QPoint> hostAnchor, const QString &activationToken = QString());
    void closePopover();
    void disconnectDeactivation();
    void startShortcut();
    void applyShortcut();
    void reportShortcut(bool bound, const QString &text);
    void showWithoutTray();
    QPoint popoverPosition(std::optional<QPoint> hostAnchor) const;
    void addQuitShortcut(QWidget *window);

    TrayIcon *m_statusItem = nullptr;
    // The menu StatusNotifierItem hosts draw themselves; never shown by us.
    std::unique_ptr<QMenu> m_exportedMenu;
    PopoverWindow *m_popover = nullptr;
    TranslatePanelView *m_panel = nullptr;
    QPointer<QWidget> m_settingsWindow;
    QPointer<SettingsView> m_settingsView;
    // None where neither the desktop's portal nor an X11 key grab can bind a key.
    std::unique_ptr<ShortcutBackend> m_shortcut;
    // What the backend was last asked to bind, and what it last confirmed (or,
    // when the binding at start failed, what the user had chosen).
    QKeySequence m_requestedShortcut;
    QKeySequence m_boundShortcut;
    // A failure of the binding made at start keeps the user's choice (another
    // program may let go of the key); a failed change goes back to the old one.
    bool m_shortcutStarted = false;
    // Why the binding made at start failed, until a binding succeeds.
    QString m_shortcutFailure;
    QPointer<QMenu> m_statusMenu;
    // Set while the panel is open under the icon: another window taking the
    // focus closes it, as a click elsewhere closes any pop-up.
    std::optional<QMetaObject::Connection> m_deactivationConnection;
    AppSettings &m_settings;
    HistoryStore &m_historyStore;
    KeyStore &m_keys;
    std::shared_ptr<TranslationEngine> m_systemEngine;
    std::shared_ptr<TranslationEngine> m_llmEngine;
    std::shared_ptr<TranslationViewModel> m_viewModel;
    // When the panel last closed because another window took the focus: a
    // click on the tray icon deactivates the panel just before the click
    // itself arrives, and that click must not open it again.
    QElapsedTimer m_closedByDeactivation;
    QElapsedTimer m_launched;
    bool m_trayless = false;
};
