#include "temporaryconfig.h"

#include "appsettings.h"
#include "settingsfile.h"

#include <QFile>

TemporaryConfig::TemporaryConfig()
    : m_previous(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TemporaryConfig::~TemporaryConfig()
{
    restart();
    if (m_previous.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_previous);
}

SettingsFile &TemporaryConfig::defaults()
{
    if (!m_defaults)
        m_defaults = reopen();
    return *m_defaults;
}

AppSettings &TemporaryConfig::settings()
{
    if (!m_settings)
        m_settings = std::make_unique<AppSettings>(defaults(), AutostartEntry(autostartPath()));
    return *m_settings;
}

void TemporaryConfig::restart()
{
    m_settings.reset();
    m_defaults.reset();
}

std::unique_ptr<SettingsFile> TemporaryConfig::reopen() const
{
    return std::make_unique<SettingsFile>(defaultsPath());
}

QByteArray TemporaryConfig::fileContents() const
{
    QFile file(defaultsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
