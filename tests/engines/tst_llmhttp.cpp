#include "engines/llmhttp.h"
#include "loopbackserver.h"
#include "settledtask.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Behaviour = LoopbackServer::Behaviour;

namespace {

// Any text after it: a message from Qt whose wording is not ours.
const QString networkPrefix = QStringLiteral("网络请求失败：");

Settled<QByteArray> post(const QUrl &url, const LLMHTTP::Headers &headers = {}, QNetworkAccessManager *shared = nullptr)
{
    QNetworkAccessManager manager;
    const LLMHTTP http(shared ? shared : &manager, 400ms, 1500ms);
    return settled(http.post(url, headers, {{QStringLiteral("text"), QStringLiteral("你好")}}));
}

void compareFailure(const Settled<QByteArray> &outcome, const QString &expected)
{
    const QString text = outcome.description();
    QVERIFY2(expected == networkPrefix ? text.startsWith(expected) && text != expected : text == expected,
             qPrintable(text));
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
    void replyDecidesOutcome_data()
    {
        QTest::addColumn<LoopbackServer::Reply>("reply");
        QTest::addColumn<QString>("expected"); // empty: the body comes back as sent
        const QByteArray oversized(LLMHTTP::maximumReplySize + 1, 'x');
        const auto message = [](const char *text) {
            return TranslationError::network(QString::fromUtf8(text)).errorDescription();
        };
        const QString timeout = TranslationError::timeout().errorDescription();
        const QString invalid = TranslationError::invalidResponse().errorDescription();
        QTest::newRow("200") << LoopbackServer::Reply{200, R"({"ok":true})"} << QString();
        QTest::newRow("401 message") << LoopbackServer::Reply{401, R"({"error":{"message":"invalid x-api-key"}})"}
                                     << message("invalid x-api-key");
        QTest::newRow("403 message untrimmed")
            << LoopbackServer::Reply{403, R"({"error":{"message":" 额度不足 \n"}})"} << message(" 额度不足 \n");
        QTest::newRow("502 HTML") << LoopbackServer::Reply{502, "<html>Bad Gateway</html>"} << message("HTTP 502");
        QTest::newRow("429 chunked") << LoopbackServer::Reply{429, R"({"error":{"message":"rate limited"}})",
                                                              Behaviour::Chunked}
                                     << message("rate limited");
        // The timeout is for silence, not for the whole transfer.
        QTest::newRow("slow but steady") << LoopbackServer::Reply{200, R"({"choices":[]})", Behaviour::Drip}
                                         << QString();
        QTest::newRow("stall after 200 headers")
            << LoopbackServer::Reply{200, "{}", Behaviour::StallAfterHeaders} << timeout;
        QTest::newRow("drip past the deadline")
            << LoopbackServer::Reply{200, QByteArray(40, ' '), Behaviour::Drip} << timeout;
        QTest::newRow("endless headers") << LoopbackServer::Reply{200, "y\r\nX: ", Behaviour::EndlessHead} << timeout;
        QTest::newRow("endless header line") << LoopbackServer::Reply{200, "y", Behaviour::EndlessHead} << timeout;
        QTest::newRow("oversized") << LoopbackServer::Reply{200, oversized} << invalid;
        QTest::newRow("oversized, chunked") << LoopbackServer::Reply{200, oversized, Behaviour::Chunked} << invalid;
    }

    void replyDecidesOutcome()
    {
        QFETCH(LoopbackServer::Reply, reply);
        QFETCH(QString, expected);
        LoopbackServer server;
        server.setReply(reply);
        QNetworkAccessManager manager;
        const Settled<QByteArray> outcome = post(server.url(QStringLiteral("/v1/messages")), {}, &manager);
        compareFailure(outcome, expected);
        if (expected.isEmpty())
            QCOMPARE(outcome.value, std::optional<QByteArray>(reply.body));
        // Whatever the last server did, the next request goes through.
        server.setReply({200, "{}"});
        QCOMPARE(post(server.url(QStringLiteral("/v1/messages")), {}, &manager).value, QByteArray("{}"));
    }

    void unusableURLsFail_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString invalidBase = TranslationError::network(QStringLiteral("LLM Base URL 无效")).errorDescription();
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/v1").arg(closedPort()) << networkPrefix;
        QTest::newRow("file") << QStringLiteral("file:///etc/hostname") << invalidBase;
    }

    void unusableURLsFail()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        compareFailure(post(QUrl(url)), expected);
    }

    void redirectToAnotherOriginGetsNoKey()
    {
        LoopbackServer service;
        LoopbackServer elsewhere; // another port: another origin
        elsewhere.setReply({200, "{}"});
        service.setReply({307, {}, Behaviour::Answer, elsewhere.url(QStringLiteral("/v1/messages")).toEncoded()});
        QVERIFY(
            !post(service.url(QStringLiteral("/v1/messages")), {{"x-api-key", "sk-secret"}}).description().isEmpty());
        QTest::qWait(50);
        QVERIFY(elsewhere.requests().isEmpty());
    }

    // The key goes only to a server whose certificate the system trusts.
    void selfSignedCertificateFails()
    {
        QTemporaryDir dir;
        const QString key = dir.filePath(u"key.pem"_qs), certificate = dir.filePath(u"cert.pem"_qs);
        const QString port = QString::number(closedPort());
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(u"openssl"_qs,
                      u"req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                      "-subj /CN=127.0.0.1 -days 1 -keyout %1 -out %2"_qs.arg(key, certificate)
                          .split(u' '));
        QVERIFY(openssl.waitForFinished() && openssl.exitCode() == 0);
        openssl.start(
            u"openssl"_qs,
            u"s_server -www -accept 127.0.0.1:%1 -key %2 -cert %3"_qs.arg(port, key, certificate).split(u' '));
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += openssl.readAll()).contains("ACCEPT"), 10000);
        compareFailure(post(QUrl(u"https://127.0.0.1:%1/v1/messages"_qs.arg(port))), networkPrefix);
        openssl.kill();
        openssl.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestLLMHTTP)
#include "tst_llmhttp.moc"
