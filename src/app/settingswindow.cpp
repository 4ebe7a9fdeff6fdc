#include "app/settingswindow.h"

#include "app/globalshortcut.h"
#include "app/popoverplacement.h"
#include "ui/settingsview.h"

#include <QVBoxLayout>

SettingsWindow::SettingsWindow(AppSettings &settings, KeyStore &keys, QList<const GlobalShortcut *> shortcuts,
                               QWidget *parent)
    // Titled and closable only: no minimise or maximise button.
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_shortcuts(std::move(shortcuts))
    , m_view(new SettingsView(settings, keys, this))
{
    setWindowTitle(QStringLiteral("设置"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // One desktop, one way to bind keys: available to both or to neither.
    if (!m_shortcuts.constFirst()->isAvailable())
        m_view->setShortcutUnavailable();
    // Only this window, where the user changes the keys, shows the outcomes.
    for (const GlobalShortcut *shortcut : std::as_const(m_shortcuts)) {
        connect(shortcut, &GlobalShortcut::reported, this, [this](bool bound, const QString &text) {
            if (isVisible())
                m_view->reportShortcut(bound, text);
        });
    }
    setFixedSize(SettingsView::viewWidth, SettingsView::viewHeight);
    move(PopoverPlacement::centredUnderPointer(size()));
}

void SettingsWindow::open()
{
    show();
    raise();
    activateWindow();
    for (const GlobalShortcut *shortcut : std::as_const(m_shortcuts)) {
        if (const QString failure = shortcut->startFailure(); !failure.isEmpty())
            m_view->reportShortcut(false, failure);
    }
}
