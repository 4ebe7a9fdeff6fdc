#include "engines/openaicompatibleengine.h"

#include "core/keystore.h"
#include "core/texttrim.h"
#include "core/translationerror.h"
#include "engines/engineslog.h"
#include "engines/llmprompt.h"
#include "engines/reasoningblock.h"

#include <QJsonArray>
#include <QJsonDocument>

OpenAICompatibleEngine::OpenAICompatibleEngine(LLMConnectionSource connection, KeyStore &keys, LLMHTTP http)
    : m_connection(std::move(connection))
    , m_keys(keys)
    , m_http(std::move(http))
{ }

std::optional<QUrl> OpenAICompatibleEngine::endpointFor(const QString &baseURL)
{
    const QString base = TextTrim::trimmed(baseURL);
    if (base.isEmpty())
        return std::nullopt;
    const QString path = base.endsWith(u'/') ? QStringLiteral("chat/completions") : QStringLiteral("/chat/completions");
    // "localhost:11434/v1" parses as scheme "localhost": only http(s) with a host is a base URL.
    const QUrl url(base + path, QUrl::StrictMode);
    if (!LLMHTTP::isHttpUrl(url))
        return std::nullopt;
    return url;
}

QJsonObject OpenAICompatibleEngine::requestBody(const QString &model, const QString &prompt)
{
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), prompt}};
    return QJsonObject{
        {QStringLiteral("model"), model},
        {QStringLiteral("messages"), QJsonArray{message}},
    };
}

LLMHTTP::Headers OpenAICompatibleEngine::requestHeaders(const QString &key)
{
    return {{"Authorization", "Bearer " + key.toUtf8()}};
}

std::optional<QString> OpenAICompatibleEngine::replyText(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue choices = document.object().value(u"choices");
    if (!document.isObject() || !choices.isArray() || choices.toArray().isEmpty())
        return std::nullopt;
    const QJsonValue message = choices.toArray().first().toObject().value(u"message");
    const QJsonValue content = message.toObject().value(u"content");
    if (!message.isObject() || !content.isString())
        return std::nullopt;
    // A separate "reasoning_content" beside "content" is the model's thinking: never shown.
    return ReasoningBlock::withoutLeadingBlock(content.toString());
}

QCoro::Task<QString> OpenAICompatibleEngine::translate(QString text, QString from, QString to)
{
    const QString input = TextTrim::trimmed(text);
    if (input.isEmpty())
        throw TranslationError::emptyInput();
    const KeyLookup found = co_await m_keys.load(ApiKeyAccount::OpenAICompatible);
    if (!found || !found.value() || found.value()->isEmpty() || !checkAPIKey(*found.value()))
        throw TranslationError::apiKeyMissing();
    const QString key = *found.value();

    const LLMConnection connection = m_connection();
    const QString baseURL = connection.openAIBaseURL;
    const QString model = connection.openAIModel;
    const std::optional<QUrl> endpoint = endpointFor(baseURL);
    if (!endpoint)
        throw TranslationError::network(QStringLiteral("LLM Base URL 无效"));
    if (TextTrim::isBlank(model))
        throw TranslationError::network(QStringLiteral("尚未设置模型名称"));

    const LLMHTTP::Headers headers = requestHeaders(key);
    const QJsonObject body = requestBody(model, LLMPrompt::build(input, from, to));
    const QByteArray reply = co_await m_http.post(*endpoint, headers, body);
    const std::optional<QString> translation = replyText(reply);
    if (!translation) {
        qCWarning(lcEngines) << "OpenAI-compatible reply without the expected text field or with only reasoning,"
                             << reply.size() << "bytes";
        throw TranslationError::invalidResponse();
    }
    co_return TextTrim::trimmed(*translation);
}
