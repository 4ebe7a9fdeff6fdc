#include "engines/llmhttp.h"

#include "core/translationerror.h"
#include "engines/engineslog.h"

#include <QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace {

QNetworkAccessManager &sharedManager()
{
    static QNetworkAccessManager *manager = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return new QNetworkAccessManager;
    }();
    return *manager;
}

// Errors of the connection itself, below HTTP: whatever status line may have
// arrived before them, the reply is not complete.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

struct ReplyDeleter {
    void operator()(QNetworkReply *reply) const
    {
        // Our size watch refers to the awaiting frame, which is going away.
        QObject::disconnect(reply, nullptr, reply, nullptr);
        reply->deleteLater();
    }
};

} // namespace

LLMHTTP::LLMHTTP(QNetworkAccessManager *manager, std::chrono::milliseconds timeout)
    : m_manager(manager)
    , m_ownManager(manager == nullptr)
    , m_timeout(timeout)
{ }

QNetworkAccessManager &LLMHTTP::manager() const
{
    return m_ownManager ? sharedManager() : *m_manager;
}

bool LLMHTTP::isHttpUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

QNetworkRequest LLMHTTP::buildRequest(const QUrl &url, const Headers &headers, std::chrono::milliseconds timeout)
{
    QNetworkRequest request(url);
    // An inactivity timeout, as the transfer restarts the clock with every byte.
    request.setTransferTimeout(static_cast<int>(timeout.count()));
    // Qt copies every header into a redirected request, so a redirect to
    // another origin would hand it the key.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setRawHeader("Content-Type", "application/json");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    return request;
}

QByteArray LLMHTTP::encodeBody(const QJsonObject &body)
{
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<QString> LLMHTTP::errorMessage(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue error = document.object().value(u"error");
    if (!error.isObject())
        return std::nullopt;
    const QJsonValue message = error.toObject().value(u"message");
    if (!message.isString())
        return std::nullopt;
    return message.toString();
}

std::optional<TranslationError> LLMHTTP::failureOf(QNetworkReply &reply, bool abortedForSize)
{
    // The error comes first: a stalled or reset reply may still carry status 200.
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::OperationCanceledError) {
        // Qt reports an expired transfer timeout as a cancellation; the only
        // other abort is our own, for an oversized reply.
        return abortedForSize ? TranslationError::invalidResponse() : TranslationError::timeout();
    }
    if (error == QNetworkReply::TimeoutError)
        return TranslationError::timeout();
    if (isTransportError(error))
        return TranslationError::network(reply.errorString());

    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return error == QNetworkReply::NoError ? TranslationError::invalidResponse()
                                               : TranslationError::network(reply.errorString());
    const int code = status.toInt();
    if (code >= 200 && code <= 299) {
        if (error != QNetworkReply::NoError)
            return TranslationError::network(reply.errorString());
        return std::nullopt;
    }
    const QByteArray body = reply.readAll();
    return TranslationError::network(errorMessage(body).value_or(QStringLiteral("HTTP %1").arg(code)));
}

QCoro::Task<QByteArray> LLMHTTP::post(QUrl url, Headers headers, QJsonObject body) const
{
    // QtNetwork would also "POST" to file:, data: or ftp: URLs and hand back a
    // local file as the reply. The URL is the user's base URL, so say so.
    if (!isHttpUrl(url))
        throw TranslationError::network(QStringLiteral("LLM Base URL 无效"));

    const QNetworkRequest request = buildRequest(url, headers, m_timeout);
    std::unique_ptr<QNetworkReply, ReplyDeleter> reply(manager().post(request, encodeBody(body)));
    bool abortedForSize = false;
    QNetworkReply *raw = reply.get();
    const auto abortIfTooLarge = [raw, &abortedForSize](qint64 received, qint64 total) {
        if (!abortedForSize && (received > maximumReplySize || total > maximumReplySize)) {
            abortedForSize = true;
            raw->abort();
        }
    };
    QObject::connect(raw, &QNetworkReply::downloadProgress, raw, abortIfTooLarge);
    QObject::connect(raw, &QNetworkReply::readyRead, raw,
                     [raw, abortIfTooLarge] { abortIfTooLarge(raw->bytesAvailable(), -1); });

    co_await raw;
    if (const std::optional<TranslationError> failure = failureOf(*raw, abortedForSize)) {
        // The status and Qt's error only: the body may echo the user's text.
        qCInfo(lcEngines) << "model service request failed: HTTP"
                          << raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() << raw->error();
        throw *failure;
    }
    co_return raw->readAll();
}
