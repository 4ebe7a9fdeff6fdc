#include "anthropicengine.h"
#include "languagenames.h"
#include "loopbackserver.h"
#include "memorykeystore.h"
#include "settledtask.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTest>

namespace {

using namespace std::chrono_literals;

QByteArray replyWithText(const QString &text)
{
    const QJsonObject block{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), text}};
    return QJsonDocument(QJsonObject{{QStringLiteral("content"), QJsonArray{block}}}).toJson(QJsonDocument::Compact);
}

} // namespace

class TestAnthropicEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // -- Reply shapes
    void replyTextReadsFirstBlockOnly_data();
    void replyTextReadsFirstBlockOnly();

    // -- One translation over loopback
    void sendsExactRequestAndTrimsReply();
    void failuresInCheckOrder_data();
    void failuresInCheckOrder();

private:
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    std::unique_ptr<MemoryKeyStore> m_keys;
    std::unique_ptr<AnthropicEngine> m_engine;
};

void TestAnthropicEngine::init()
{
    m_server = std::make_unique<LoopbackServer>();
    m_manager = std::make_unique<QNetworkAccessManager>();
    m_keys = std::make_unique<MemoryKeyStore>();
    m_engine = std::make_unique<AnthropicEngine>(*m_keys, LLMHTTP(m_manager.get(), 2s),
                                                 m_server->url(QStringLiteral("/v1/messages")));
}

void TestAnthropicEngine::cleanup()
{
    m_engine.reset();
    m_keys.reset();
    m_manager.reset();
    m_server.reset();
}

void TestAnthropicEngine::replyTextReadsFirstBlockOnly_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<std::optional<QString>>("expected");
    const std::optional<QString> none;
    QTest::newRow("type not examined") << QByteArray(R"({"content":[{"type":"other","text":"Hi"}]})")
                                       << std::optional<QString>(QStringLiteral("Hi"));
    QTest::newRow("later blocks ignored") << QByteArray(R"({"content":[{"text":"A"},{"text":"B"}]})")
                                          << std::optional<QString>(QStringLiteral("A"));
    QTest::newRow("content empty") << QByteArray(R"({"content":[]})") << none;
    QTest::newRow("other block first")
        << QByteArray(R"({"content":[{"type":"tool_use","id":"t1"},{"type":"text","text":"late"}]})") << none;
    QTest::newRow("text not a string") << QByteArray(R"({"content":[{"type":"text","text":7}]})") << none;
    QTest::newRow("block not an object") << QByteArray(R"({"content":["text"]})") << none;
    QTest::newRow("content an object") << QByteArray(R"({"content":{"text":"x"}})") << none;
    QTest::newRow("not JSON") << QByteArray("Hello") << none;
}

void TestAnthropicEngine::replyTextReadsFirstBlockOnly()
{
    QFETCH(QByteArray, body);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(AnthropicEngine::replyText(body), expected);
}

void TestAnthropicEngine::sendsExactRequestAndTrimsReply()
{
    m_keys->setStored(ApiKeyAccount::Anthropic, QStringLiteral(" sk-ant-1 "));
    m_server->setReply({200, replyWithText(QStringLiteral("\n  Line one\nLine two \n"))});

    const Settled<QString> result = SettledTask::wait(m_engine->translate(
        QStringLiteral("\n\n  第一行\n第二行\u3000\n"), LanguageName::chinese(), LanguageName::english()));
    QCOMPARE(result.description(), QString());
    QCOMPARE(result.value, std::optional<QString>(QStringLiteral("Line one\nLine two")));

    QCOMPARE(m_server->requests().size(), 1);
    const LoopbackServer::Request &request = m_server->requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/v1/messages"));
    QCOMPARE(request.header("x-api-key"), QByteArray(" sk-ant-1 "));
    QCOMPARE(request.header("anthropic-version"), QByteArray("2023-06-01"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
    const QJsonObject message{
        {QStringLiteral("role"), QStringLiteral("user")},
        {QStringLiteral("content"), QStringLiteral("将以下中文文本翻译为英文，只输出译文，不要任何解释或额外内容：\n\n第一行\n第二行")},
    };
    const QJsonObject expected{
        {QStringLiteral("model"), QStringLiteral("claude-sonnet-4-6")},
        {QStringLiteral("max_tokens"), 1024},
        {QStringLiteral("messages"), QJsonArray{message}},
    };
    QCOMPARE(QJsonDocument::fromJson(request.body).object(), expected);
    QVERIFY(request.body.contains(R"("max_tokens":1024)"));
}

void TestAnthropicEngine::failuresInCheckOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<QString>>("key");
    QTest::addColumn<QString>("storeFailure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<std::optional<TranslationError>>("expected");
    QTest::addColumn<int>("lookups");
    QTest::addColumn<int>("requests");
    const std::optional<QString> key(QStringLiteral("sk-ant"));
    const QString fine;
    const QByteArray good = replyWithText(QStringLiteral("ok"));
    using E = std::optional<TranslationError>;

    QTest::newRow("blank input, no key") << QStringLiteral(" \n\t\u3000") << std::optional<QString>() << fine << 200 << good
                                         << E(TranslationError::emptyInput()) << 0 << 0;
    QTest::newRow("no key") << QStringLiteral("hi") << std::optional<QString>() << fine << 200 << good
                            << E(TranslationError::apiKeyMissing()) << 1 << 0;
    QTest::newRow("empty key") << QStringLiteral("hi") << std::optional<QString>(QString()) << fine << 200 << good
                               << E(TranslationError::apiKeyMissing()) << 1 << 0;
    QTest::newRow("key with a control character") << QStringLiteral("hi") << std::optional<QString>(u"sk-ant\x01"_qs)
                                                  << fine << 200 << good << E(TranslationError::apiKeyMissing()) << 1 << 0;
    QTest::newRow("store cannot answer") << QStringLiteral("hi") << key << QStringLiteral("钥匙环已锁定") << 200 << good
                                         << E(TranslationError::apiKeyMissing()) << 1 << 0;
    QTest::newRow("service error passes through")
        << QStringLiteral("hi") << key << fine << 401 << QByteArray(R"({"error":{"message":"invalid x-api-key"}})")
        << E(TranslationError::network(QStringLiteral("invalid x-api-key"))) << 1 << 1;
    QTest::newRow("non-JSON 200") << QStringLiteral("hi") << key << fine << 200 << QByteArray("<html>ok</html>")
                                  << E(TranslationError::invalidResponse()) << 1 << 1;
    QTest::newRow("empty 204") << QStringLiteral("hi") << key << fine << 204 << QByteArray()
                               << E(TranslationError::invalidResponse()) << 1 << 1;
    QTest::newRow("blank translation is no error") << QStringLiteral("hi") << key << fine << 200
                                                   << replyWithText(QStringLiteral(" \n ")) << E() << 1 << 1;
}

void TestAnthropicEngine::failuresInCheckOrder()
{
    QFETCH(QString, text);
    QFETCH(std::optional<QString>, key);
    QFETCH(QString, storeFailure);
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(std::optional<TranslationError>, expected);
    QFETCH(int, lookups);
    QFETCH(int, requests);
    if (key)
        m_keys->setStored(ApiKeyAccount::Anthropic, *key);
    m_keys->failLookupsWith(storeFailure);
    m_server->setReply({status, reply});

    const Settled<QString> result =
        SettledTask::wait(m_engine->translate(text, LanguageName::english(), LanguageName::chinese()));
    QCOMPARE(result.description(), expected ? expected->errorDescription() : QString());
    if (!expected)
        QCOMPARE(result.value, std::optional<QString>(QString()));
    QCOMPARE(m_keys->lookups().size(), lookups);
    QCOMPARE(m_server->requests().size(), requests);
}

QTEST_GUILESS_MAIN(TestAnthropicEngine)
#include "tst_anthropicengine.moc"
