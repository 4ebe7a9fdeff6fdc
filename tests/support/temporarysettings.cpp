#include "temporarysettings.h"

#include "loginitem.h"
#include "userdefaults.h"

TemporarySettings::TemporarySettings()
    : m_defaults(m_config.reopen())
    , m_settings(std::make_unique<AppSettings>(*m_defaults, std::make_unique<LoginItem>(m_config.autostartPath())))
{
}

TemporarySettings::~TemporarySettings() = default;
