#include "systemenginefactory.h"

#include "systemengine.h"
#include "systemtranslationbridge.h"
#include "unavailableengine.h"

std::shared_ptr<SystemTranslationBridge> SystemEngineFactory::makeBridge()
{
    if (!SystemEngine::isAvailable())
        return nullptr;
    return std::make_shared<SystemTranslationBridge>();
}

std::shared_ptr<TranslationEngine> SystemEngineFactory::makeEngine(std::shared_ptr<SystemTranslationBridge> bridge)
{
    if (!bridge) {
        return std::make_shared<UnavailableEngine>(QStringLiteral("系统离线"),
                                                   UnavailableEngine::missingTranslateLocallyReason());
    }
    return std::make_shared<SystemEngine>(std::move(bridge));
}
