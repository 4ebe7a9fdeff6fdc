#include "engines/llmhttp.h"

#include "core/translationerror.h"
#include "engines/engineslog.h"

#include <QCoroNetworkReply>
#include <QDir>
#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

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

// Qt reads an HTTP/1 status line and headers on its network thread in a loop
// that ends only when no byte is waiting on the socket: a server that sends
// header lines as fast as they are read keeps that thread, and so every later
// request of the manager, and abort() never gets its turn. Shutting our end of
// the connection down makes Qt's next read fail, which ends the loop and the
// connection. The model service's port is enough to tell our connections to
// it: the process makes no other TCP connections, so at worst another request
// to the same service fails along.
void shutDownConnectionsTo(const QUrl &url)
{
    const int port = url.port(url.scheme().toLower() == u"https" ? 443 : 80);
    const QHostAddress literal(url.host());
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    const QStringList entries = descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        const int fd = entry.toInt();
        int type = 0;
        socklen_t typeSize = sizeof type;
        sockaddr_storage peer{};
        socklen_t peerSize = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_STREAM ||
            getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerSize) != 0)
            continue;
        const QHostAddress address(reinterpret_cast<const sockaddr *>(&peer));
        const in_port_t peerPort = peer.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(peer).sin6_port
            : peer.ss_family == AF_INET                       ? reinterpret_cast<sockaddr_in &>(peer).sin_port
                                                              : 0;
        if (ntohs(peerPort) == port && (literal.isNull() || literal.isEqual(address)))
            shutdown(fd, SHUT_RDWR);
    }
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

LLMHTTP::LLMHTTP(QNetworkAccessManager *manager, std::chrono::milliseconds timeout, std::chrono::milliseconds deadline)
    : m_manager(manager)
    , m_ownManager(manager == nullptr)
    , m_timeout(timeout)
    , m_deadline(deadline)
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
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, raw, &QNetworkReply::abort);
    deadline.start(m_deadline);

    co_await raw;
    const QNetworkReply::NetworkError error = raw->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        shutDownConnectionsTo(url);
    if (const std::optional<TranslationError> failure = failureOf(*raw, abortedForSize)) {
        // The status and Qt's error only: the body may echo the user's text.
        qCInfo(lcEngines) << "model service request failed: HTTP"
                          << raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() << raw->error();
        throw *failure;
    }
    co_return raw->readAll();
}
