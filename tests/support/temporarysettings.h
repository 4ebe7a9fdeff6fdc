#pragma once

#include "appsettings.h"
#include "temporaryconfig.h"

// Application settings over a private config directory, for engine tests.
class TemporarySettings final
{
public:
    TemporarySettings();
    ~TemporarySettings();
    Q_DISABLE_COPY_MOVE(TemporarySettings)

    AppSettings &settings() { return *m_settings; }

private:
    TemporaryConfig m_config;
    std::unique_ptr<SettingsFile> m_defaults;
    std::unique_ptr<AppSettings> m_settings;
};
