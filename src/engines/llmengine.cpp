#include "engines/llmengine.h"

#include "storage/appsettings.h"

LLMEngine::LLMEngine(AppSettings &settings, KeyStore &keys, LLMHTTP http, QUrl anthropicEndpoint)
    : m_anthropic(keys, http, std::move(anthropicEndpoint))
    , m_openAICompatible(settings, keys, http)
    , m_settings(settings)
{ }

QCoro::Task<QString> LLMEngine::translate(QString text, QString from, QString to)
{
    TranslationEngine &engine = m_settings.llmProvider() == LLMProvider::Anthropic
        ? static_cast<TranslationEngine &>(m_anthropic)
        : static_cast<TranslationEngine &>(m_openAICompatible);
    co_return co_await engine.translate(std::move(text), std::move(from), std::move(to));
}
