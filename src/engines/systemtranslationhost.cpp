#include "systemtranslationhost.h"

#include "systemtranslationbridge.h"
#include "translatelocallybackend.h"
#include "translationsession.h"

SystemTranslationHost::SystemTranslationHost(std::shared_ptr<SystemTranslationBridge> bridge, QObject *parent)
    : SystemTranslationHost(std::move(bridge), TranslateLocallyBackend::create(), parent)
{
}

SystemTranslationHost::SystemTranslationHost(std::shared_ptr<SystemTranslationBridge> bridge,
                                             std::shared_ptr<TranslationBackend> backend, QObject *parent)
    : QObject(parent)
    , m_bridge(std::move(bridge))
    , m_backend(std::move(backend))
{
    // Direct: the session is handed over while the request is being published,
    // so a request is waiting only until then.
    connect(m_bridge.get(), &SystemTranslationBridge::configurationChanged, this, &SystemTranslationHost::runSession);
}

SystemTranslationHost::~SystemTranslationHost() = default;

void SystemTranslationHost::appear()
{
    runSession();
}

void SystemTranslationHost::runSession()
{
    const auto &configuration = m_bridge->configuration();
    if (!configuration)
        return;
    // Not awaited: handle() delivers every outcome to the waiting caller itself.
    m_bridge->handle(m_backend->makeSession(*configuration));
}
