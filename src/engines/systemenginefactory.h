#pragma once

#include <memory>

class SystemTranslationBridge;
class TranslationEngine;

// How the application assembles the on-device engine. The one availability
// test (translateLocally on PATH) decides everywhere: whether a bridge exists,
// which engine the view model gets, and whether a host sits behind the panel.
namespace SystemEngineFactory {
// A new bridge when on-device translation is available, otherwise null.
std::shared_ptr<SystemTranslationBridge> makeBridge();
// A SystemEngine over the bridge, or, without one, an UnavailableEngine named
// "系统离线" that explains translateLocally is missing.
std::shared_ptr<TranslationEngine> makeEngine(std::shared_ptr<SystemTranslationBridge> bridge);
} // namespace SystemEngineFactory
