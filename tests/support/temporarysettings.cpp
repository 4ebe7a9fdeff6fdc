#include "temporarysettings.h"

#include "autostartentry.h"
#include "settingsfile.h"

TemporarySettings::TemporarySettings()
    : m_defaults(m_config.reopen())
    , m_settings(std::make_unique<AppSettings>(*m_defaults, std::make_unique<AutostartEntry>(m_config.autostartPath())))
{
}

TemporarySettings::~TemporarySettings() = default;
