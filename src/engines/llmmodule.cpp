#include "engines/llmmodule.h"

#include "core/translationerror.h"
#include "engines/engineslog.h"
#include "engines/programfile.h"

#include <QFile>

#include <dlfcn.h>

namespace {
constexpr char moduleName[] = "tolvanis-llm.so";
}

LLMModuleEngine::LLMModuleEngine(LLMConnectionSource connection, KeyStore &keys, QString modulePath)
    : m_connection(std::move(connection))
    , m_keys(keys)
    , m_modulePath(modulePath.isEmpty() ? defaultModulePath() : std::move(modulePath))
{ }

LLMModuleEngine::~LLMModuleEngine() = default;

QString LLMModuleEngine::defaultModulePath()
{
    return programFile(moduleName, QStringLiteral(TOLVANIS_LLM_MODULE_FROM_BINDIR));
}

TranslationEngine &LLMModuleEngine::engine()
{
    if (m_engine)
        return *m_engine;
    // Kept loaded for good: the Qt types it registers must outlive every use.
    void *module = dlopen(QFile::encodeName(m_modulePath).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) {
        qCWarning(lcEngines) << "cannot open the language-model module:" << dlerror();
        throw TranslationError::engineUnavailable();
    }
    auto *create = reinterpret_cast<CreateLLMEngineFunction *>(dlsym(module, createLLMEngineSymbol));
    TranslationEngine *engine = create ? create(TOLVANIS_LLM_MODULE_BUILD, &m_connection, &m_keys) : nullptr;
    if (!engine) {
        qCWarning(lcEngines) << "the language-model module" << m_modulePath << "is of another build";
        throw TranslationError::engineUnavailable();
    }
    m_engine.reset(engine);
    return *m_engine;
}

QCoro::Task<QString> LLMModuleEngine::translate(QString text, QString from, QString to)
{
    TranslationEngine &loaded = engine();
    co_return co_await loaded.translate(std::move(text), std::move(from), std::move(to));
}
