#pragma once

#include "core/translationengine.h"
#include "engines/llmhttp.h"

class KeyStore;

// Translates through the Anthropic Messages API with a fixed Claude model.
// The key is read from the secret store at every call.
class AnthropicEngine final : public TranslationEngine
{
public:
    static QUrl defaultEndpoint() { return QUrl(QStringLiteral("https://api.anthropic.com/v1/messages")); }

    explicit AnthropicEngine(KeyStore &keys, LLMHTTP http = LLMHTTP(), QUrl endpoint = defaultEndpoint());

    QString name() const override { return QStringLiteral("LLM (Anthropic)"); }
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    static QJsonObject requestBody(const QString &prompt);
    static LLMHTTP::Headers requestHeaders(const QString &key);
    // The first content block's text without a leading think block, untrimmed;
    // nothing when the reply has another shape or holds only thinking.
    static std::optional<QString> replyText(const QByteArray &body);

private:
    KeyStore &m_keys;
    LLMHTTP m_http;
    QUrl m_endpoint;
};
