#pragma once

#include "core/translationengine.h"
#include "engines/llmhttp.h"

#include "core/llmconnection.h"

class KeyStore;

// Translates through any service that speaks the OpenAI chat-completions
// protocol. Base URL, model and key are read at every call.
class OpenAICompatibleEngine final : public TranslationEngine
{
public:
    OpenAICompatibleEngine(LLMConnectionSource connection, KeyStore &keys, LLMHTTP http = LLMHTTP());

    QString name() const override { return QStringLiteral("LLM (OpenAI 兼容)"); }
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    // The chat-completions URL under a base URL, or nothing when the base is
    // blank or the result is not an absolute URL.
    static std::optional<QUrl> endpointFor(const QString &baseURL);
    static QJsonObject requestBody(const QString &model, const QString &prompt);
    static LLMHTTP::Headers requestHeaders(const QString &key);
    // The first choice's message content without a leading think block,
    // untrimmed; nothing for any other shape or a reply of only thinking.
    static std::optional<QString> replyText(const QByteArray &body);

private:
    LLMConnectionSource m_connection;
    KeyStore &m_keys;
    LLMHTTP m_http;
};
