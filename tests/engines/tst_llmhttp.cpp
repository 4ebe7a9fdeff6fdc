#include "llmhttp.h"
#include "loopbackserver.h"
#include "settledtask.h"
#include "translationerror.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

using namespace std::chrono_literals;
using Behaviour = LoopbackServer::Behaviour;

constexpr auto shortTimeout = 400ms;

using Outcome = Settled<QByteArray>;

Outcome post(QNetworkAccessManager &manager, const QUrl &url, const LLMHTTP::Headers &headers = {},
             const QJsonObject &body = {{QStringLiteral("text"), QStringLiteral("你好")}})
{
    const LLMHTTP http(&manager, shortTimeout);
    return SettledTask::wait(http.post(url, headers, body));
}

QString networkText(const QString &message)
{
    return TranslationError::network(message).errorDescription();
}

// A port nobody listens on: bound once, then released.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

class TestLLMHTTP : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // -- Status and error bodies over loopback
    void statusDecidesOutcome_data();
    void statusDecidesOutcome();
    void requestIsCompactJsonPost_data();
    void requestIsCompactJsonPost();

    // -- Transport faults
    void brokenRepliesFail_data();
    void brokenRepliesFail();
    void slowButSteadyReplySucceeds();
    void unreachableServicesFail_data();
    void unreachableServicesFail();
    void selfSignedCertificateFails();
    void onlyHttpUrlsAreSent_data();
    void onlyHttpUrlsAreSent();
    void redirectToAnotherOriginGetsNoKey();
};

void TestLLMHTTP::statusDecidesOutcome_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("200") << 200 << QByteArray(R"({"ok":true})") << false << QString();
    QTest::newRow("299") << 299 << QByteArray("anything") << false << QString();
    QTest::newRow("204 empty") << 204 << QByteArray() << false << QString();
    QTest::newRow("300") << 300 << QByteArray() << false << networkText(QStringLiteral("HTTP 300"));
    QTest::newRow("401 with message") << 401 << QByteArray(R"({"error":{"message":"invalid x-api-key"}})") << false
                                      << networkText(QStringLiteral("invalid x-api-key"));
    QTest::newRow("400 empty message kept") << 400 << QByteArray(R"({"error":{"message":""}})") << false << networkText(QString());
    QTest::newRow("403 message untrimmed") << 403 << QByteArray(R"({"error":{"message":" 额度不足 \n"}})") << false
                                           << networkText(QStringLiteral(" 额度不足 \n"));
    QTest::newRow("400 message not a string") << 400 << QByteArray(R"({"error":{"message":42}})") << false
                                              << networkText(QStringLiteral("HTTP 400"));
    QTest::newRow("400 array at top") << 400 << QByteArray(R"([{"error":{"message":"x"}}])") << false
                                      << networkText(QStringLiteral("HTTP 400"));
    QTest::newRow("400 truncated") << 400 << QByteArray(R"({"error":{"message":"cut)") << false
                                   << networkText(QStringLiteral("HTTP 400"));
    QTest::newRow("500 error string") << 500 << QByteArray(R"({"error":"boom"})") << false
                                      << networkText(QStringLiteral("HTTP 500"));
    QTest::newRow("404 top-level message") << 404 << QByteArray(R"({"message":"no such model"})") << false
                                           << networkText(QStringLiteral("HTTP 404"));
    QTest::newRow("502 HTML") << 502 << QByteArray("<html>Bad Gateway</html>") << false
                              << networkText(QStringLiteral("HTTP 502"));
    QTest::newRow("503 empty") << 503 << QByteArray() << false << networkText(QStringLiteral("HTTP 503"));
    QTest::newRow("429 chunked message") << 429 << QByteArray(R"({"error":{"message":"rate limited"}})") << true
                                         << networkText(QStringLiteral("rate limited"));
}

void TestLLMHTTP::statusDecidesOutcome()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, chunked);
    QFETCH(QString, expectedError);
    LoopbackServer server;
    server.setReply({status, body, "application/json", Behaviour::Answer, 0, chunked});
    QNetworkAccessManager manager;

    const Outcome outcome = post(manager, server.url(QStringLiteral("/v1/messages")));
    QCOMPARE(outcome.description(), expectedError);
    if (expectedError.isEmpty())
        QCOMPARE(outcome.value, std::optional<QByteArray>(body));
}

void TestLLMHTTP::requestIsCompactJsonPost_data()
{
    QTest::addColumn<LLMHTTP::Headers>("headers");
    QTest::addColumn<QByteArray>("contentType");
    QTest::newRow("no caller content type") << LLMHTTP::Headers{{"x-api-key", " sk-1 "}} << QByteArray("application/json");
    QTest::newRow("caller content type replaces")
        << LLMHTTP::Headers{{"x-api-key", " sk-1 "}, {"Content-Type", "application/json; charset=utf-8"}}
        << QByteArray("application/json; charset=utf-8");
    QTest::newRow("caller name in lower case replaces")
        << LLMHTTP::Headers{{"x-api-key", " sk-1 "}, {"content-type", "text/plain"}} << QByteArray("text/plain");
}

void TestLLMHTTP::requestIsCompactJsonPost()
{
    QFETCH(LLMHTTP::Headers, headers);
    QFETCH(QByteArray, contentType);
    LoopbackServer server;
    server.setReply({200, "{}"});
    QNetworkAccessManager manager;
    const QJsonObject body{{QStringLiteral("model"), QStringLiteral("m")}, {QStringLiteral("max_tokens"), 1024}};

    QVERIFY(post(manager, server.url(QStringLiteral("/v1/chat/completions")), headers, body).value);
    QCOMPARE(server.requests().size(), 1);
    const LoopbackServer::Request &request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/v1/chat/completions"));
    QCOMPARE(request.header("Content-Type"), contentType);
    QCOMPARE(request.headerCount("Content-Type"), 1);
    QCOMPARE(request.header("x-api-key"), QByteArray(" sk-1 "));
    QCOMPARE(request.body, QByteArray(R"({"max_tokens":1024,"model":"m"})"));
}

void TestLLMHTTP::brokenRepliesFail_data()
{
    QTest::addColumn<LoopbackServer::Reply>("reply");
    QTest::addColumn<TranslationError::Kind>("expected");
    const QByteArray json = R"({"content":[{"type":"text","text":"hello there, this is a reply"}]})";
    const QByteArray oversized(LLMHTTP::maximumReplySize + 1, 'x');
    QTest::newRow("stall after 200 headers") << LoopbackServer::Reply{200, json, "application/json", Behaviour::StallAfterHeaders}
                                             << TranslationError::Kind::Timeout;
    QTest::newRow("never answers") << LoopbackServer::Reply{200, json, "application/json", Behaviour::NeverAnswer}
                                   << TranslationError::Kind::Timeout;
    QTest::newRow("reset mid-body") << LoopbackServer::Reply{200, json, "application/json", Behaviour::CloseEarly}
                                    << TranslationError::Kind::Network;
    QTest::newRow("not HTTP") << LoopbackServer::Reply{200, "SSH-2.0-OpenSSH_9.2\r\n", "", Behaviour::Raw}
                              << TranslationError::Kind::Network;
    QTest::newRow("oversized, length declared") << LoopbackServer::Reply{200, oversized}
                                                << TranslationError::Kind::InvalidResponse;
    QTest::newRow("oversized, chunked") << LoopbackServer::Reply{200, oversized, "application/json", Behaviour::Answer, 0, true}
                                        << TranslationError::Kind::InvalidResponse;
    QTest::newRow("oversized error reply") << LoopbackServer::Reply{500, oversized}
                                           << TranslationError::Kind::InvalidResponse;
}

void TestLLMHTTP::brokenRepliesFail()
{
    QFETCH(LoopbackServer::Reply, reply);
    QFETCH(TranslationError::Kind, expected);
    LoopbackServer server;
    server.setReply(reply);
    QNetworkAccessManager manager;

    const Outcome outcome = post(manager, server.url());
    QVERIFY(outcome.error);
    QCOMPARE(outcome.error->kind(), expected);
    if (expected == TranslationError::Kind::Network)
        QVERIFY(!outcome.error->message().isEmpty());
}

void TestLLMHTTP::slowButSteadyReplySucceeds()
{
    // The timeout is for silence, not for the whole transfer.
    const QByteArray body = R"({"choices":[]})";
    LoopbackServer server;
    server.setReply({200, body, "application/json", Behaviour::Drip, 50});
    QNetworkAccessManager manager;

    const Outcome outcome = post(manager, server.url());
    QCOMPARE(outcome.description(), QString());
    QCOMPARE(outcome.value, std::optional<QByteArray>(body));
}

void TestLLMHTTP::unreachableServicesFail_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::newRow("refused") << QUrl(QStringLiteral("http://127.0.0.1:%1/v1").arg(closedPort()));
    QTest::newRow("unknown host") << QUrl(QStringLiteral("https://no-such-host.invalid/v1/messages"));
}

void TestLLMHTTP::unreachableServicesFail()
{
    QFETCH(QUrl, url);
    QNetworkAccessManager manager;
    const Outcome outcome = post(manager, url);
    QVERIFY(outcome.error);
    QCOMPARE(outcome.error->kind(), TranslationError::Kind::Network);
    QVERIFY(!outcome.error->message().isEmpty());
}

void TestLLMHTTP::selfSignedCertificateFails()
{
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    const QString certificate = dir.filePath(QStringLiteral("cert.pem"));
    QProcess generate;
    generate.setProcessChannelMode(QProcess::MergedChannels);
    generate.start(QStringLiteral("openssl"),
                   QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 "
                                  "-days 1 -keyout %1 -out %2").arg(key, certificate).split(u' '));
    QVERIFY(generate.waitForFinished());
    QCOMPARE(generate.exitCode(), 0);
    const quint16 port = closedPort();
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral("openssl"), QStringLiteral("s_server -www -accept 127.0.0.1:%1 -key %2 -cert %3")
                                                .arg(QString::number(port), key, certificate).split(u' '));
    QVERIFY(server.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += server.readAll()).contains("ACCEPT") || server.state() != QProcess::Running,
                             10000);
    QCOMPARE(server.state(), QProcess::Running);

    QNetworkAccessManager manager;
    const Outcome outcome = post(manager, QUrl(QStringLiteral("https://127.0.0.1:%1/v1/messages").arg(port)));
    server.kill();
    server.waitForFinished();
    QVERIFY(outcome.error);
    QCOMPARE(outcome.error->kind(), TranslationError::Kind::Network);
    QVERIFY(!outcome.error->message().isEmpty());
}

void TestLLMHTTP::redirectToAnotherOriginGetsNoKey()
{
    LoopbackServer service;
    LoopbackServer elsewhere; // another port: another origin
    elsewhere.setReply({200, "{}"});
    LoopbackServer::Reply moved{307, {}};
    moved.headers = {{"Location", elsewhere.url(QStringLiteral("/v1/messages")).toEncoded()}};
    service.setReply(moved);
    QNetworkAccessManager manager;

    const Outcome outcome = post(manager, service.url(QStringLiteral("/v1/messages")), {{"x-api-key", "sk-secret"}});
    QVERIFY(!outcome.value);
    QVERIFY(!outcome.description().isEmpty());
    QTest::qWait(50);
    QVERIFY(elsewhere.requests().isEmpty());
}

void TestLLMHTTP::onlyHttpUrlsAreSent_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("file") << QStringLiteral("file:///etc/hostname");
    QTest::newRow("data") << QStringLiteral("data:application/json,%7B%7D");
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1/reply.json");
    QTest::newRow("no host") << QStringLiteral("http:/v1/messages");
}

void TestLLMHTTP::onlyHttpUrlsAreSent()
{
    QFETCH(QString, url);
    QNetworkAccessManager manager;
    const Outcome outcome = post(manager, QUrl(url));
    QVERIFY(outcome.error);
    QCOMPARE(outcome.error->kind(), TranslationError::Kind::InvalidResponse);
}

QTEST_GUILESS_MAIN(TestLLMHTTP)
#include "tst_llmhttp.moc"
