#include "engines/anthropicengine.h"

#include "core/keystore.h"
#include "core/texttrim.h"
#include "core/translationerror.h"
#include "engines/engineslog.h"
#include "engines/llmprompt.h"
#include "engines/reasoningblock.h"

#include <QJsonArray>
#include <QJsonDocument>

AnthropicEngine::AnthropicEngine(KeyStore &keys, LLMHTTP http, QUrl endpoint)
    : m_keys(keys)
    , m_http(std::move(http))
    , m_endpoint(std::move(endpoint))
{ }

QJsonObject AnthropicEngine::requestBody(const QString &prompt)
{
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), prompt}};
    return QJsonObject{
        {QStringLiteral("model"), QStringLiteral("claude-sonnet-4-6")},
        {QStringLiteral("max_tokens"), 1024},
        {QStringLiteral("messages"), QJsonArray{message}},
    };
}

LLMHTTP::Headers AnthropicEngine::requestHeaders(const QString &key)
{
    return {{"x-api-key", key.toUtf8()}, {"anthropic-version", "2023-06-01"}};
}

std::optional<QString> AnthropicEngine::replyText(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue content = document.object().value(u"content");
    if (!document.isObject() || !content.isArray() || content.toArray().isEmpty())
        return std::nullopt;
    const QJsonValue first = content.toArray().first();
    const QJsonValue text = first.toObject().value(u"text");
    if (!first.isObject() || !text.isString())
        return std::nullopt;
    return ReasoningBlock::withoutLeadingBlock(text.toString());
}

QCoro::Task<QString> AnthropicEngine::translate(QString text, QString from, QString to)
{
    const QString input = TextTrim::trimmed(text);
    if (input.isEmpty())
        throw TranslationError::emptyInput();
    const KeyLookup found = co_await m_keys.load(ApiKeyAccount::Anthropic);
    if (!found || !found.value() || found.value()->isEmpty() || !checkAPIKey(*found.value()))
        throw TranslationError::apiKeyMissing();
    const QString key = *found.value();

    const LLMHTTP::Headers headers = requestHeaders(key);
    const QJsonObject body = requestBody(LLMPrompt::build(input, from, to));
    const QByteArray reply = co_await m_http.post(m_endpoint, headers, body);
    const std::optional<QString> translation = replyText(reply);
    if (!translation) {
        qCWarning(lcEngines) << "Anthropic reply without the expected text field or with only reasoning,"
                             << reply.size() << "bytes";
        throw TranslationError::invalidResponse();
    }
    co_return TextTrim::trimmed(*translation);
}
