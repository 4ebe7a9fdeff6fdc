#pragma once

#include <QWidget>

class AppSettings;
class GlobalShortcut;
class KeyStore;
class SettingsView;

// The settings window: the settings view in an ordinary titled window,
// centred on the screen under the pointer. Closing it only hides it. It shows
// the global shortcuts' outcomes while open, and on opening why a binding
// made at start failed.
class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    SettingsWindow(AppSettings &settings, KeyStore &keys, QList<const GlobalShortcut *> shortcuts,
                   QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(SettingsWindow)

    // Shows it in front with the focus.
    void open();

private:
    QList<const GlobalShortcut *> m_shortcuts;
    SettingsView *m_view = nullptr;
};
