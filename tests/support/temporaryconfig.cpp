#include "temporaryconfig.h"

#include "storage/appsettings.h"
#include "storage/settingsfile.h"

#include <QFile>

TemporaryConfig::TemporaryConfig()
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TemporaryConfig::~TemporaryConfig() = default;

SettingsFile &TemporaryConfig::settingsFile()
{
    if (!m_file)
        m_file = std::make_unique<SettingsFile>(settingsFilePath());
    return *m_file;
}

AppSettings &TemporaryConfig::settings()
{
    if (!m_settings)
        m_settings = std::make_unique<AppSettings>(settingsFile(), AutostartEntry(autostartPath(), program()));
    return *m_settings;
}

void TemporaryConfig::restart()
{
    m_settings.reset();
    m_file.reset();
}

QByteArray TemporaryConfig::fileContents() const
{
    QFile file(settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
