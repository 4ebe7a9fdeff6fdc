#include "app/settingswindow.h"

#include "app/globalshortcut.h"
#include "ui/settingsview.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(AppSettings &settings, KeyStore &keys, const GlobalShortcut &shortcut, QWidget *parent)
    // Titled and closable only: no minimise or maximise button.
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_shortcut(shortcut)
    , m_view(new SettingsView(settings, keys, this))
{
    setWindowTitle(QStringLiteral("设置"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    if (!shortcut.isAvailable())
        m_view->setShortcutUnavailable();
    // Only this window, where the user changes the key, shows the outcome.
    connect(&shortcut, &GlobalShortcut::reported, this, [this](bool bound, const QString &text) {
        if (isVisible())
            m_view->reportShortcut(bound, text);
    });
    setFixedSize(SettingsView::viewWidth, SettingsView::viewHeight);
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    move(available.center() - QPoint(width() / 2, height() / 2));
}

void SettingsWindow::open()
{
    show();
    raise();
    activateWindow();
    if (const QString failure = m_shortcut.startFailure(); !failure.isEmpty())
        m_view->reportShortcut(false, failure);
}
