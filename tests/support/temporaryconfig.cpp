#include "temporaryconfig.h"

#include <QFile>

TemporaryConfig::TemporaryConfig()
    : m_previous(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TemporaryConfig::~TemporaryConfig()
{
    if (m_previous.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_previous);
}

QString TemporaryConfig::defaultsPath() const
{
    return m_dir.path() + QStringLiteral("/tolvanis/tolvanis.conf");
}

QString TemporaryConfig::autostartPath() const
{
    return m_dir.path() + QStringLiteral("/autostart/tolvanis.desktop");
}

std::unique_ptr<SettingsFile> TemporaryConfig::reopen() const
{
    return std::make_unique<SettingsFile>(defaultsPath());
}

QByteArray TemporaryConfig::fileContents() const
{
    QFile file(defaultsPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
