#pragma once

#include "app/singleinstance.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class AppSettings;
class GlobalShortcut;
class HistoryStore;
class KeyStore;
class PanelPresenter;
class PopoverWindow;
class ScreenTextTranslation;
class QAction;
class SettingsWindow;
class TranslatePanelView;
class TranslationViewModel;
class TranslationEngine;
class TrayIcon;

// The tray application: wires the tray icon, the status menu, the global
// shortcuts, the panel (whose life PanelPresenter runs), the settings window,
// and the engines and view model behind the panel. Everything runs on the GUI
// thread. The stores outlive it.
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
    // Lets the user select a region of the screen and translates the text in it.
    void translateScreenText();
    // What a later launch (or this one's command line) asked for.
    void handleRequest(SingleInstance::Request request, const QString &activationToken);
    void showStatusMenu(std::optional<QPoint> hostAnchor = std::nullopt);
    void openSettings();

    std::shared_ptr<TranslationViewModel> viewModel();
    TrayIcon *statusItem() const { return m_statusItem; }
    PopoverWindow *popover() const;
    TranslatePanelView *panel() const;
    QWidget *settingsWindow() const;
    QMenu *statusMenu() const { return m_statusMenu; }
    bool isPopoverShown() const;

private:
    QMenu *buildStatusMenu();

    TrayIcon *m_statusItem = nullptr;
    // The menu StatusNotifierItem hosts draw themselves; never shown by us.
    std::unique_ptr<QMenu> m_exportedMenu;
    PanelPresenter *m_panelPresenter = nullptr;
    ScreenTextTranslation *m_screenText = nullptr;
    QPointer<SettingsWindow> m_settingsWindow;
    std::unique_ptr<GlobalShortcut> m_shortcut;
    std::unique_ptr<GlobalShortcut> m_screenTextShortcut;
    // Ctrl+Q, in the status menu and in every window of ours.
    QAction *m_quit = nullptr;
    QPointer<QMenu> m_statusMenu;
    std::optional<QString> m_waitingSelection; // its activation token
    AppSettings &m_settings;
    HistoryStore &m_historyStore;
    KeyStore &m_keys;
    std::shared_ptr<TranslationEngine> m_systemEngine;
    std::shared_ptr<TranslationEngine> m_llmEngine;
    std::shared_ptr<TranslationViewModel> m_viewModel;
    QElapsedTimer m_launched;
};
