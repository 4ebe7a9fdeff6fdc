#pragma once

#include <QTemporaryDir>

#include <memory>

class AppSettings;
class SettingsFile;

// A private XDG config directory for one test: XDG_CONFIG_HOME points into it,
// and is left pointing there, so nothing a test does can reach the user's own
// settings. The settings file
// and the application settings over it open on first use, so a test can put
// files in place before.
class TemporaryConfig final
{
public:
    TemporaryConfig();
    ~TemporaryConfig();
    Q_DISABLE_COPY_MOVE(TemporaryConfig)

    QString path() const { return m_dir.path(); }
    QString settingsFilePath() const { return path() + QStringLiteral("/tolvanis/tolvanis.conf"); }
    QString autostartPath() const { return path() + QStringLiteral("/autostart/com.quendrix.tolvanis.desktop"); }
    // What the autostart entry takes for the running program: one that exists
    // in a folder only root writes, wherever the tests were built (a build
    // tree below /tmp may not be started at login).
    static QString program() { return QStringLiteral("/usr/bin/true"); }
    SettingsFile &settingsFile();
    AppSettings &settings();
    // Closes both, as the program's exit does: the next use reads the files afresh.
    void restart();
    QByteArray fileContents() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsFile> m_file;
    std::unique_ptr<AppSettings> m_settings;
};
