#include "core/languagenames.h"
#include "engines/llmengine.h"
#include "engines/llmmodule.h"
#include "loopbackserver.h"
#include "memorykeystore.h"
#include "settledtask.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTest>

using namespace std::chrono_literals;

namespace {

const QString chinese = LanguageName::chinese(), english = LanguageName::english();

QByteArray anthropicReply(const char *text)
{
    return QByteArray(R"({"content":[{"type":"text","text":)") + text + "}]}";
}

QByteArray openAIReply(const char *content)
{
    return QByteArray(R"({"id":"c1","choices":[{"index":0,"message":{"role":"assistant","content":)") + content +
        "}}]}";
}

QString networkText(const char *message)
{
    return TranslationError::network(QString::fromUtf8(message)).errorDescription();
}

// One translation as the user sets it up. In `base`, "@" stands for the
// loopback server; the key "<locked>" for a secret store that cannot answer.
struct Setup {
    LLMProvider provider;
    QString key;
    QString text;
    QString base = QStringLiteral("@/v1");
    QString model = QStringLiteral("gpt-4o-mini");
};

} // namespace

// Both language-model providers, reached through the engine the panel uses.
class TestLLMEngine : public QObject
{
    Q_OBJECT

    Settled<QString> translate(const Setup &setup, const QString &from = english, const QString &to = chinese)
    {
        m_fixture->connection = {setup.provider,
                                 QString(setup.base).replace(u'@', m_fixture->server.url(QString()).toString()),
                                 setup.model};
        const bool locked = setup.key == u"<locked>";
        const auto account = setup.provider == LLMProvider::Anthropic ? ApiKeyAccount::Anthropic
                                                                      : ApiKeyAccount::OpenAICompatible;
        m_fixture->keys.setStored(account, setup.key.isEmpty() || locked ? std::nullopt : std::optional(setup.key));
        m_fixture->keys.failLookupsWith(locked ? u"钥匙环已锁定"_qs : QString());
        return settled(m_fixture->engine.translate(setup.text, from, to));
    }

    struct Fixture {
        LLMConnection connection;
        LoopbackServer server;
        QNetworkAccessManager manager;
        MemoryKeyStore keys;
        LLMEngine engine{[this] { return connection; }, keys, LLMHTTP(&manager, 2s),
                         server.url(QStringLiteral("/v1/messages"))};
    };
    std::unique_ptr<Fixture> m_fixture;

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<Fixture>(); }
    void cleanup() { m_fixture.reset(); }

    void sendsExactRequest_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<LLMHTTP::Headers>("headers"); // a null value: not sent
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("Anthropic, Chinese to English")
            << Setup{LLMProvider::Anthropic, u" sk-ant-1 "_qs, u"\n\n  第一行\n第二行\u3000\n"_qs}
            << anthropicReply(R"("\n  Line one\nLine two \n")") << u"Line one\nLine two"_qs
            << LLMHTTP::Headers{{"x-api-key", " sk-ant-1 "},
                                {"anthropic-version", "2023-06-01"},
                                {"Authorization", {}},
                                {"Content-Type", "application/json"}}
            << QByteArray(
                   R"(POST /v1/messages {"model":"claude-sonnet-4-6","max_tokens":1024,"messages":[{"role":"user",)"
                   R"("content":"将以下中文文本翻译为英文，只输出译文，不要任何解释或额外内容：\n\n第一行\n第二行"}]})");
        QTest::newRow("OpenAI-compatible, English to Chinese")
            << Setup{LLMProvider::OpenAICompatible, u"sk-o"_qs, u"  Hello,\nworld  "_qs, u" @/v1/\n"_qs, u"gpt-x "_qs}
            << openAIReply(R"(" 你好，世界 \n")") << u"你好，世界"_qs
            << LLMHTTP::Headers{{"Authorization", "Bearer sk-o"}, {"x-api-key", {}}}
            << QByteArray(R"(POST /v1/chat/completions {"model":"gpt-x ","messages":[{"role":"user","content":)"
                          R"("将以下英文文本翻译为中文，只输出译文，不要任何解释或额外内容：\n\nHello,\nworld"}]})");
    }

    void sendsExactRequest()
    {
        QFETCH(Setup, setup);
        QFETCH(QByteArray, reply);
        QFETCH(QString, translation);
        QFETCH(LLMHTTP::Headers, headers);
        QFETCH(QByteArray, request);
        m_fixture->server.setReply({200, reply});
        const bool fromChinese = setup.provider == LLMProvider::Anthropic;
        const Settled<QString> outcome = fromChinese ? translate(setup, chinese, english) : translate(setup);
        QCOMPARE(outcome.value.value_or(outcome.description()), translation);
        QCOMPARE(m_fixture->server.requests().size(), 1);
        const LoopbackServer::Request &sent = m_fixture->server.requests().first();
        const qsizetype body = request.indexOf('{');
        QCOMPARE(sent.method + ' ' + sent.path + ' ', request.left(body));
        QCOMPARE(QJsonDocument::fromJson(sent.body).object(), QJsonDocument::fromJson(request.mid(body)).object());
        for (const auto &[name, value] : headers)
            QCOMPARE(sent.header(name), value);
    }

    void failuresAndReplyShapes_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("expected"); // the translation, or the error text
        QTest::addColumn<int>("requests");
        const auto a = [](const QString &key, const QString &text = u"hi"_qs) {
            return Setup{LLMProvider::Anthropic, key, text};
        };
        const auto o = [](const QString &key, const QString &base = u"@/v1"_qs, const QString &model = u"gpt"_qs) {
            return Setup{LLMProvider::OpenAICompatible, key, u"hi"_qs, base, model};
        };
        const QString empty = TranslationError::emptyInput().errorDescription();
        const QString noKey = TranslationError::apiKeyMissing().errorDescription();
        const QString invalid = TranslationError::invalidResponse().errorDescription();
        const QString badBase = networkText("LLM Base URL 无效");
        const QByteArray fine = anthropicReply(R"("ok")"), fineOpenAI = openAIReply(R"("ok")");
        QTest::newRow("A: blank input before the key") << a({}, u" \n\t\u3000"_qs) << fine << empty << 0;
        QTest::newRow("A: no key") << a({}) << fine << noKey << 0;
        QTest::newRow("A: key with a control character") << a(u"sk\x01"_qs) << fine << noKey << 0;
        QTest::newRow("A: store cannot answer") << a(u"<locked>"_qs) << fine << noKey << 0;
        QTest::newRow("A: later blocks ignored")
            << a(u"sk"_qs) << QByteArray(R"({"content":[{"text":"A"},{"text":"B"}]})") << u"A"_qs << 1;
        QTest::newRow("A: other block first")
            << a(u"sk"_qs) << QByteArray(R"({"content":[{"type":"tool_use"},{"text":"B"}]})") << invalid << 1;
        QTest::newRow("A: blank translation") << a(u"sk"_qs) << anthropicReply(R"(" \n ")") << QString() << 1;
        QTest::newRow("O: key before base URL") << o({}, u" "_qs) << fineOpenAI << noKey << 0;
        QTest::newRow("O: key with a line break") << o(u"sk\r\nX-Injected: 1"_qs) << fineOpenAI << noKey << 0;
        QTest::newRow("O: blank base URL") << o(u"sk"_qs, u" \n"_qs) << fineOpenAI << badBase << 0;
        QTest::newRow("O: host:port, no scheme") << o(u"sk"_qs, u"localhost:11434/v1"_qs) << fineOpenAI << badBase << 0;
        QTest::newRow("O: base URL before model") << o(u"sk"_qs, {}, u" "_qs) << fineOpenAI << badBase << 0;
        QTest::newRow("O: blank model") << o(u"sk"_qs, u"@/v1"_qs, u" \t"_qs) << fineOpenAI
                                        << networkText("尚未设置模型名称") << 0;
        QTest::newRow("O: content null") << o(u"sk"_qs) << openAIReply("null") << invalid << 1;
        QTest::newRow("O: later choices ignored")
            << o(u"sk"_qs) << QByteArray(R"({"choices":[{"message":{"content":"A"}},{"message":{"content":"B"}}]})")
            << u"A"_qs << 1;
        for (const bool anthropic : {true, false}) {
            const auto reply = [&](const char *text) { return anthropic ? anthropicReply(text) : openAIReply(text); };
            const Setup s = anthropic ? a(u"sk"_qs) : o(u"sk"_qs);
            const char *p = anthropic ? "A" : "O";
            QTest::addRow("%s: reasoning dropped", p)
                << s << reply(R"("\n<think>\nThe user wants...\n</think>\n\n Good morning.\n")") << u"Good morning."_qs
                << 1;
            QTest::addRow("%s: only reasoning", p) << s << reply(R"("<think>\nhmm\n</think>\n\n")") << invalid << 1;
            QTest::addRow("%s: reasoning never closed", p) << s << reply(R"("<think>\nhmm, so")") << invalid << 1;
            QTest::addRow("%s: tags later are text", p)
                << s << reply(R"("I think <think></think> is a tag")") << u"I think <think></think> is a tag"_qs << 1;
        }
        QTest::newRow("O: reasoning_content never shown")
            << o(u"sk"_qs) << QByteArray(R"({"choices":[{"message":{"reasoning_content":"So...","content":"Hi"}}]})")
            << u"Hi"_qs << 1;
    }

    void failuresAndReplyShapes()
    {
        QFETCH(Setup, setup);
        QFETCH(QByteArray, reply);
        QFETCH(QString, expected);
        QFETCH(int, requests);
        m_fixture->server.setReply({200, reply});
        const Settled<QString> outcome = translate(setup);
        QCOMPARE(outcome.value.value_or(outcome.description()), expected);
        QCOMPARE(m_fixture->server.requests().size(), requests);
        if (expected == TranslationError::emptyInput().errorDescription())
            QVERIFY(m_fixture->keys.lookups().isEmpty());
    }

    // A change of connection (the settings window) takes effect with the next request; the
    // history names every provider's work "LLM".
    void settingsAreReadAtEveryCall()
    {
        m_fixture->server.setReply(
            {200, R"({"content":[{"text":"from anthropic"}],"choices":[{"message":{"content":"from openai"}}]})"});
        QCOMPARE(translate({LLMProvider::Anthropic, u"sk-a"_qs, u"x"_qs}).value, u"from anthropic"_qs);
        QCOMPARE(translate({LLMProvider::OpenAICompatible, u"sk-1"_qs, u"x"_qs, u"@/v1"_qs, u"first"_qs}).value,
                 u"from openai"_qs);
        QCOMPARE(translate({LLMProvider::OpenAICompatible, u"sk-2"_qs, u"x"_qs, u"@/v2"_qs, u"second"_qs}).value,
                 u"from openai"_qs);
        const LoopbackServer::Request &last = m_fixture->server.requests().at(2);
        QCOMPARE(last.path, QByteArray("/v2/chat/completions"));
        QCOMPARE(last.header("Authorization"), QByteArray("Bearer sk-2"));
        QCOMPARE(QJsonDocument::fromJson(last.body).object().value(u"model").toString(), u"second"_qs);
        QCOMPARE(m_fixture->engine.name(), u"LLM"_qs);
    }

    // The program reaches the engines through the module it loads at the first request; a module
    // of another build (an upgrade while the program runs) or none at all fails that request only.
    void theModuleOfThisBuildIsUsed_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("expected");
        const QString unavailable = TranslationError::engineUnavailable().errorDescription();
        QTest::newRow("this build") << QStringLiteral(LLM_MODULE) << u"你好"_qs;
        QTest::newRow("another build") << QStringLiteral(LLM_MODULE_OF_ANOTHER_BUILD) << unavailable;
        QTest::newRow("missing") << QStringLiteral(LLM_MODULE ".missing") << unavailable;
    }
    void theModuleOfThisBuildIsUsed()
    {
        QFETCH(QString, module);
        QFETCH(QString, expected);
        m_fixture->server.setReply({200, openAIReply(R"("你好")")});
        m_fixture->connection = {LLMProvider::OpenAICompatible, m_fixture->server.url(u"/v1"_qs).toString(), u"m"_qs};
        m_fixture->keys.setStored(ApiKeyAccount::OpenAICompatible, u"sk-m"_qs);
        LLMModuleEngine engine([this] { return m_fixture->connection; }, m_fixture->keys, module);
        const Settled<QString> outcome = settled(engine.translate(u"hello"_qs, english, chinese));
        QCOMPARE(outcome.value.value_or(outcome.description()), expected);
    }
};

QTEST_GUILESS_MAIN(TestLLMEngine)
#include "tst_llmengine.moc"
