#include "engines/llmengine.h"

LLMEngine::LLMEngine(LLMConnectionSource connection, KeyStore &keys, LLMHTTP http, QUrl anthropicEndpoint)
    : m_anthropic(keys, http, std::move(anthropicEndpoint))
    , m_openAICompatible(connection, keys, http)
    , m_connection(std::move(connection))
{ }

QCoro::Task<QString> LLMEngine::translate(QString text, QString from, QString to)
{
    TranslationEngine &engine = m_connection().provider == LLMProvider::Anthropic
        ? static_cast<TranslationEngine &>(m_anthropic)
        : static_cast<TranslationEngine &>(m_openAICompatible);
    co_return co_await engine.translate(std::move(text), std::move(from), std::move(to));
}
