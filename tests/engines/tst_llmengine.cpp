#include "appsettings.h"
#include "languagenames.h"
#include "llmengine.h"
#include "loopbackserver.h"
#include "memorykeystore.h"
#include "settledtask.h"
#include "temporaryconfig.h"

#include <QNetworkAccessManager>
#include <QTest>

namespace {

using namespace std::chrono_literals;

// Both reply shapes at once, so each provider finds its own answer.
const QByteArray eitherReply = R"({"content":[{"text":"from anthropic"}],"choices":[{"message":{"content":"from openai"}}]})";

} // namespace

class TestLLMEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void providerIsReadAtEveryCall();
    void openAIProviderNeverReadsAnthropicKey();
};

void TestLLMEngine::providerIsReadAtEveryCall()
{
    TemporaryConfig settings;
    LoopbackServer server;
    server.setReply({200, eitherReply});
    QNetworkAccessManager manager;
    MemoryKeyStore keys;
    keys.setStored(ApiKeyAccount::Anthropic, QStringLiteral("sk-a"));
    keys.setStored(ApiKeyAccount::OpenAICompatible, QStringLiteral("sk-o"));
    settings.settings().setOpenAIBaseURL(server.url(QStringLiteral("/v1")).toString());
    LLMEngine engine(settings.settings(), keys, LLMHTTP(&manager, 2s), server.url(QStringLiteral("/v1/messages")));

    settings.settings().setLLMProvider(LLMProvider::Anthropic);
    const auto first = SettledTask::wait(engine.translate(QStringLiteral("x"), LanguageName::english(), LanguageName::chinese()));
    settings.settings().setLLMProvider(LLMProvider::OpenAICompatible);
    const auto second = SettledTask::wait(engine.translate(QStringLiteral("x"), LanguageName::english(), LanguageName::chinese()));

    QCOMPARE(first.value, std::optional<QString>(QStringLiteral("from anthropic")));
    QCOMPARE(second.value, std::optional<QString>(QStringLiteral("from openai")));
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().at(0).path, QByteArray("/v1/messages"));
    QCOMPARE(server.requests().at(1).path, QByteArray("/v1/chat/completions"));
    QCOMPARE(engine.name(), QStringLiteral("LLM"));
}

void TestLLMEngine::openAIProviderNeverReadsAnthropicKey()
{
    TemporaryConfig settings;
    MemoryKeyStore keys;
    keys.setStored(ApiKeyAccount::Anthropic, QStringLiteral("sk-a"));
    keys.setStored(ApiKeyAccount::OpenAICompatible, QStringLiteral("sk-o"));
    settings.settings().setLLMProvider(LLMProvider::OpenAICompatible);
    settings.settings().setOpenAIBaseURL(QStringLiteral("   "));
    LLMEngine engine(settings.settings(), keys);

    const auto result = SettledTask::wait(engine.translate(QStringLiteral("x"), LanguageName::english(), LanguageName::chinese()));
    QCOMPARE(result.description(), TranslationError::network(QStringLiteral("LLM Base URL 无效")).errorDescription());
    QCOMPARE(keys.lookups(), QList<ApiKeyAccount>{ApiKeyAccount::OpenAICompatible});
}

QTEST_GUILESS_MAIN(TestLLMEngine)
#include "tst_llmengine.moc"
