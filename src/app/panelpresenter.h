#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>
#include <optional>

class PopoverWindow;
class QAction;
class QTimer;
class TranslatePanelView;
class TranslationViewModel;
class TrayIcon;

// The panel's life: built once the pointer is on the tray icon (or when first
// asked for), opened under the icon, closed by Escape or by another window
// taking the focus, and an ordinary window on a desktop with no tray.
class PanelPresenter final : public QObject
{
    Q_OBJECT

public:
    // `viewModel` makes the view model on first use; `quit` works in the panel too.
    PanelPresenter(std::function<std::shared_ptr<TranslationViewModel>()> viewModel, TrayIcon *statusItem,
                   QAction *quit, QObject *parent = nullptr);
    ~PanelPresenter() override;
    Q_DISABLE_COPY_MOVE(PanelPresenter)

    // Builds the panel when the icon is hovered, and makes it a window if no tray appears.
    void start();
    PopoverWindow *ensureBuilt();
    // `hostAnchor`: where a StatusNotifierItem host says its icon was clicked.
    void toggle(std::optional<QPoint> hostAnchor = std::nullopt);
    // Opens the panel with the clipboard's text unless it is open.
    void show(std::optional<QPoint> hostAnchor = std::nullopt);
    // Opens the panel as it is, or brings it to the front with the focus.
    void present(std::optional<QPoint> hostAnchor, const QString &activationToken = QString());
    void hide();

    bool isShown() const;
    bool isTrayless() const { return m_trayless; }
    PopoverWindow *popover() const { return m_popover; }
    TranslatePanelView *panel() const { return m_panel; }

Q_SIGNALS:
    void settingsRequested();

private:
    void showWithoutTray();

    std::function<std::shared_ptr<TranslationViewModel>()> m_viewModel;
    TrayIcon *m_statusItem = nullptr;
    QAction *m_quit = nullptr;
    PopoverWindow *m_popover = nullptr;
    TranslatePanelView *m_panel = nullptr;
    // Runs for a moment after the panel closed because another window took the
    // focus: a click on the tray icon deactivates the panel just before the
    // click itself arrives, and that click must not open it again. A named
    // timer, so that tests can tell whether the moment has passed.
    QTimer *m_reopenGuard = nullptr;
    bool m_trayless = false;
};
