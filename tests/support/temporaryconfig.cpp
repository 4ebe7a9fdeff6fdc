#include "temporaryconfig.h"

#include "appsettings.h"
#include "settingsfile.h"

#include <QFile>

TemporaryConfig::TemporaryConfig()
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TemporaryConfig::~TemporaryConfig() = default;

SettingsFile &TemporaryConfig::defaults()
{
    if (!m_defaults)
        m_defaults = std::make_unique<SettingsFile>(defaultsPath());
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

QByteArray TemporaryConfig::fileContents() const
{
    QFile file(defaultsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
