#pragma once

#include "engines/anthropicengine.h"
#include "engines/openaicompatibleengine.h"

// The language-model engine the view model sees: at every call it forwards to
// the provider its connection names, so a switch takes effect at once.
class LLMEngine final : public TranslationEngine
{
public:
    LLMEngine(LLMConnectionSource connection, KeyStore &keys, LLMHTTP http = LLMHTTP(),
              QUrl anthropicEndpoint = AnthropicEngine::defaultEndpoint());
    Q_DISABLE_COPY_MOVE(LLMEngine)

    // "LLM" whichever provider did the work; history records this name.
    QString name() const override { return QStringLiteral("LLM"); }
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

private:
    AnthropicEngine m_anthropic;
    OpenAICompatibleEngine m_openAICompatible;
    LLMConnectionSource m_connection;
};
