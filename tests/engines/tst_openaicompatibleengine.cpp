#include "appsettings.h"
#include "languagenames.h"
#include "loopbackserver.h"
#include "memorykeystore.h"
#include "openaicompatibleengine.h"
#include "settledtask.h"
#include "temporaryconfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTest>

namespace {

using namespace std::chrono_literals;

const QByteArray goodReply = R"({"id":"c1","choices":[{"index":0,"message":{"role":"assistant","content":" 你好，世界 \n"}}]})";

QString baseErrorText()
{
    return TranslationError::network(QStringLiteral("LLM Base URL 无效")).errorDescription();
}

QString modelErrorText()
{
    return TranslationError::network(QStringLiteral("尚未设置模型名称")).errorDescription();
}

} // namespace

class TestOpenAICompatibleEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // -- Pure parts
    void endpointFollowsBaseURL_data();
    void endpointFollowsBaseURL();
    void replyTextReadsFirstChoiceOnly_data();
    void replyTextReadsFirstChoiceOnly();

    // -- One translation over loopback
    void sendsExactRequestAndTrimsReply();
    void failuresInCheckOrder_data();
    void failuresInCheckOrder();
    void settingsAreReadAtEveryCall();

private:
    QString serverBase() const { return m_server->url(QStringLiteral("/v1")).toString(); }

    std::unique_ptr<TemporaryConfig> m_settings;
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    std::unique_ptr<MemoryKeyStore> m_keys;
    std::unique_ptr<OpenAICompatibleEngine> m_engine;
};

void TestOpenAICompatibleEngine::init()
{
    m_settings = std::make_unique<TemporaryConfig>();
    m_server = std::make_unique<LoopbackServer>();
    m_manager = std::make_unique<QNetworkAccessManager>();
    m_keys = std::make_unique<MemoryKeyStore>();
    m_engine = std::make_unique<OpenAICompatibleEngine>(m_settings->settings(), *m_keys, LLMHTTP(m_manager.get(), 2s));
    m_server->setReply({200, goodReply});
}

void TestOpenAICompatibleEngine::cleanup()
{
    m_engine.reset();
    m_keys.reset();
    m_manager.reset();
    m_server.reset();
    m_settings.reset();
}

void TestOpenAICompatibleEngine::endpointFollowsBaseURL_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected"); // empty: unusable
    const QString openAI = QStringLiteral("https://api.openai.com/v1/chat/completions");
    QTest::newRow("trailing slash") << QStringLiteral("https://api.openai.com/v1/") << openAI;
    QTest::newRow("no /v1 added") << QStringLiteral("http://localhost:11434") << QStringLiteral("http://localhost:11434/chat/completions");
    QTest::newRow("path doubled as given") << QStringLiteral("https://x.example/v1/chat/completions")
                                           << QStringLiteral("https://x.example/v1/chat/completions/chat/completions");
    QTest::newRow("only blanks") << QStringLiteral(" \n\t") << QString();
    QTest::newRow("no scheme") << QStringLiteral("api.openai.com/v1") << QString();
    QTest::newRow("host:port, no scheme") << QStringLiteral("localhost:11434/v1") << QString();
    QTest::newRow("not http") << QStringLiteral("file:///etc") << QString();
    QTest::newRow("broken host") << QStringLiteral("http://[::1/v1") << QString();
    QTest::newRow("inner blank") << QStringLiteral("https://api.open ai.com/v1") << QString();
}

void TestOpenAICompatibleEngine::endpointFollowsBaseURL()
{
    QFETCH(QString, base);
    QFETCH(QString, expected);
    const std::optional<QUrl> endpoint = OpenAICompatibleEngine::endpointFor(base);
    QCOMPARE(endpoint ? endpoint->toString() : QString(), expected);
}

void TestOpenAICompatibleEngine::replyTextReadsFirstChoiceOnly_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<std::optional<QString>>("expected");
    const std::optional<QString> none;
    QTest::newRow("later choices ignored")
        << QByteArray(R"({"choices":[{"message":{"content":"A"}},{"message":{"content":"B"}}]})")
        << std::optional<QString>(QStringLiteral("A"));
    QTest::newRow("choices empty") << QByteArray(R"({"choices":[]})") << none;
    QTest::newRow("content null") << QByteArray(R"({"choices":[{"message":{"content":null}}]})") << none;
    QTest::newRow("content a list") << QByteArray(R"({"choices":[{"message":{"content":[{"text":"A"}]}}]})") << none;
    QTest::newRow("no message") << QByteArray(R"({"choices":[{"text":"A"}]})") << none;
    QTest::newRow("choices an object") << QByteArray(R"({"choices":{"message":{"content":"A"}}})") << none;
    QTest::newRow("not JSON") << QByteArray("data: {}") << none;
}

void TestOpenAICompatibleEngine::replyTextReadsFirstChoiceOnly()
{
    QFETCH(QByteArray, body);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(OpenAICompatibleEngine::replyText(body), expected);
}

void TestOpenAICompatibleEngine::sendsExactRequestAndTrimsReply()
{
    m_keys->setStored(ApiKeyAccount::OpenAICompatible, QStringLiteral("sk-o"));
    m_settings->settings().setOpenAIBaseURL(QStringLiteral(" ") + serverBase() + QStringLiteral("/\n"));
    m_settings->settings().setOpenAIModel(QStringLiteral("gpt-x "));

    const Settled<QString> result = SettledTask::wait(
        m_engine->translate(QStringLiteral("  Hello,\nworld  "), LanguageName::english(), LanguageName::chinese()));
    QCOMPARE(result.description(), QString());
    QCOMPARE(result.value, std::optional<QString>(QStringLiteral("你好，世界")));

    QCOMPARE(m_server->requests().size(), 1);
    const LoopbackServer::Request &request = m_server->requests().first();
    QCOMPARE(request.path, QByteArray("/v1/chat/completions"));
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer sk-o"));
    const QJsonObject message{
        {QStringLiteral("role"), QStringLiteral("user")},
        {QStringLiteral("content"), QStringLiteral("将以下英文文本翻译为中文，只输出译文，不要任何解释或额外内容：\n\nHello,\nworld")},
    };
    const QJsonObject expected{
        {QStringLiteral("model"), QStringLiteral("gpt-x ")},
        {QStringLiteral("messages"), QJsonArray{message}},
    };
    QCOMPARE(QJsonDocument::fromJson(request.body).object(), expected);
}

void TestOpenAICompatibleEngine::failuresInCheckOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("base"); // "@" stands for the loopback server's /v1
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("requests");
    const QString key = QStringLiteral("sk-o");
    const QString model = QStringLiteral("gpt-4o-mini");
    const QString missingKey = TranslationError::apiKeyMissing().errorDescription();
    QTest::newRow("blank input first") << QStringLiteral("\n ") << QString() << QString() << QString() << goodReply
                                       << TranslationError::emptyInput().errorDescription() << 0;
    QTest::newRow("key before base URL") << QStringLiteral("hi") << QString() << QStringLiteral(" ") << model
                                         << goodReply << missingKey << 0;
    QTest::newRow("blank base URL") << QStringLiteral("hi") << key << QStringLiteral(" \n") << model << goodReply
                                    << baseErrorText() << 0;
    QTest::newRow("relative base URL") << QStringLiteral("hi") << key << QStringLiteral("localhost/v1") << model
                                       << goodReply << baseErrorText() << 0;
    QTest::newRow("base URL before model") << QStringLiteral("hi") << key << QStringLiteral("") << QStringLiteral(" ")
                                           << goodReply << baseErrorText() << 0;
    QTest::newRow("blank model") << QStringLiteral("hi") << key << QStringLiteral("@") << QStringLiteral(" \t")
                                 << goodReply << modelErrorText() << 0;
    QTest::newRow("host:port, no scheme") << QStringLiteral("hi") << key << QStringLiteral("localhost:11434/v1")
                                          << model << goodReply << baseErrorText() << 0;
    QTest::newRow("key with a line break") << QStringLiteral("hi") << QStringLiteral("sk-o\r\nX-Injected: 1")
                                           << QStringLiteral("@") << model << goodReply << missingKey << 0;
    QTest::newRow("content null") << QStringLiteral("hi") << key << QStringLiteral("@") << model
                                  << QByteArray(R"({"choices":[{"message":{"content":null}}]})")
                                  << TranslationError::invalidResponse().errorDescription() << 1;
}

void TestOpenAICompatibleEngine::failuresInCheckOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, base);
    QFETCH(QString, model);
    QFETCH(QByteArray, reply);
    QFETCH(QString, expected);
    QFETCH(int, requests);
    if (!key.isEmpty())
        m_keys->setStored(ApiKeyAccount::OpenAICompatible, key);
    m_settings->settings().setOpenAIBaseURL(base == u"@" ? serverBase() : base);
    m_settings->settings().setOpenAIModel(model);
    m_server->setReply({200, reply});

    const Settled<QString> result =
        SettledTask::wait(m_engine->translate(text, LanguageName::chinese(), LanguageName::english()));
    QCOMPARE(result.description(), expected);
    QCOMPARE(m_server->requests().size(), requests);
}

void TestOpenAICompatibleEngine::settingsAreReadAtEveryCall()
{
    m_keys->setStored(ApiKeyAccount::OpenAICompatible, QStringLiteral("sk-1"));
    m_settings->settings().setOpenAIBaseURL(serverBase());
    m_settings->settings().setOpenAIModel(QStringLiteral("first-model"));
    QVERIFY(SettledTask::wait(m_engine->translate(QStringLiteral("a"), LanguageName::english(), LanguageName::chinese())).value);

    m_keys->setStored(ApiKeyAccount::OpenAICompatible, QStringLiteral("sk-2"));
    m_settings->settings().setOpenAIModel(QStringLiteral("second-model"));
    QVERIFY(SettledTask::wait(m_engine->translate(QStringLiteral("b"), LanguageName::english(), LanguageName::chinese())).value);

    QCOMPARE(m_server->requests().size(), 2);
    const LoopbackServer::Request &second = m_server->requests().at(1);
    QCOMPARE(QJsonDocument::fromJson(second.body).object().value(u"model").toString(), QStringLiteral("second-model"));
    QCOMPARE(second.header("Authorization"), QByteArray("Bearer sk-2"));
}

QTEST_GUILESS_MAIN(TestOpenAICompatibleEngine)
#include "tst_openaicompatibleengine.moc"
