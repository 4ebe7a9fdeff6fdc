#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class TranslationError;

// The one place the language-model engines talk HTTP: a JSON body POSTed to a
// model service, success decided by the status code, every failure turned
// into a TranslationError whose text the user can read.
//
// Cheap to copy. Without an explicit manager it uses one process-wide
// QNetworkAccessManager created on first use on the GUI thread, with the
// system proxy settings.
class LLMHTTP final
{
public:
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // The timeout is for silence; the deadline ends any request, however
    // steadily a server drips or however long its headers run.
    static constexpr std::chrono::milliseconds defaultTimeout{15000};
    static constexpr std::chrono::milliseconds defaultDeadline{90000};
    // Larger replies are aborted so a misbehaving server cannot exhaust memory.
    static constexpr qint64 maximumReplySize = 8 * 1024 * 1024;

    explicit LLMHTTP(QNetworkAccessManager *manager = nullptr, std::chrono::milliseconds timeout = defaultTimeout,
                     std::chrono::milliseconds deadline = defaultDeadline);

    // The body of a 2xx reply, unparsed. Throws TranslationError.
    QCoro::Task<QByteArray> post(QUrl url, Headers headers, QJsonObject body) const;

    // An http or https URL with a host: the only kind post() sends to.
    static bool isHttpUrl(const QUrl &url);
    // "application/json" first, then the caller's headers, each replacing any
    // header of the same name; the body compact JSON. Redirects are followed
    // only within the same origin, as the headers carry the API key.
    static QNetworkRequest buildRequest(const QUrl &url, const Headers &headers, std::chrono::milliseconds timeout);
    static QByteArray encodeBody(const QJsonObject &body);
    // The service's own message: the string at error.message, else nothing.
    static std::optional<QString> errorMessage(const QByteArray &body);
    // How a finished reply reads; `abortedForSize` marks our own abort.
    static std::optional<TranslationError> failureOf(QNetworkReply &reply, bool abortedForSize);

private:
    QNetworkAccessManager &manager() const;

    QPointer<QNetworkAccessManager> m_manager;
    bool m_ownManager;
    std::chrono::milliseconds m_timeout;
    std::chrono::milliseconds m_deadline;
};
