#pragma once

#include "settingsfile.h"

#include <QTemporaryDir>

#include <memory>

// A private XDG config directory for one test: XDG_CONFIG_HOME points into it,
// so nothing a test does can reach the user's own settings.
class TemporaryConfig final
{
public:
    TemporaryConfig();
    ~TemporaryConfig();
    Q_DISABLE_COPY_MOVE(TemporaryConfig)

    QString path() const { return m_dir.path(); }
    QString defaultsPath() const;
    QString autostartPath() const;
    // A fresh store over the same file, as the next run of the program sees it.
    std::unique_ptr<SettingsFile> reopen() const;
    QByteArray fileContents() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
