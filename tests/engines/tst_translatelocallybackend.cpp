#include "systemengine.h"
#include "systemtranslationbridge.h"
#include "systemtranslationhost.h"
#include "taskoutcome.h"
#include "translatelocallybackend.h"
#include "translatelocallystandin.h"
#include "translationerror.h"

#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {
const QString chinese = QStringLiteral("中文");
const QString english = QStringLiteral("英文");
} // namespace

// The whole on-device path, engine to worker, against the stand-in program.
class TestTranslateLocallyBackend : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void translatesThroughTheWorker_data();
    void translatesThroughTheWorker();
    void startsOneWorkerPerDirectionOnDemand();
    void crashReachesTheUserAsMissingLanguagePack();
    void modelInstalledAfterNoModelAnswerIsUsedNext();

private:
    QString translate(const QString &text, const QString &from, const QString &to);
    std::optional<TranslationError::Kind> failureOf(const QString &text, const QString &from, const QString &to);

    std::unique_ptr<TranslateLocallyStandIn> m_standIn;
    std::shared_ptr<TranslateLocallyBackend> m_backend;
    std::shared_ptr<SystemTranslationBridge> m_bridge;
    std::unique_ptr<SystemTranslationHost> m_host;
    std::unique_ptr<SystemEngine> m_engine;
};

void TestTranslateLocallyBackend::init()
{
    m_standIn = std::make_unique<TranslateLocallyStandIn>();
    m_backend = TranslateLocallyBackend::create({2s, 5s, 10min});
    m_bridge = std::make_shared<SystemTranslationBridge>();
    m_host = std::make_unique<SystemTranslationHost>(m_bridge, m_backend);
    m_engine = std::make_unique<SystemEngine>(m_bridge);
}

void TestTranslateLocallyBackend::cleanup()
{
    m_engine.reset();
    m_host.reset();
    m_bridge.reset();
    m_backend.reset();
    m_standIn.reset();
}

QString TestTranslateLocallyBackend::translate(const QString &text, const QString &from, const QString &to)
{
    return outcomeOf(m_engine->translate(text, from, to)).value.value_or(QStringLiteral("<failed>"));
}

std::optional<TranslationError::Kind> TestTranslateLocallyBackend::failureOf(const QString &text, const QString &from,
                                                                             const QString &to)
{
    const auto error = outcomeOf(m_engine->translate(text, from, to)).errorAs<TranslationError>();
    return error ? std::optional(error->kind()) : std::nullopt;
}

void TestTranslateLocallyBackend::translatesThroughTheWorker_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one sentence") << "你好。" << chinese << english << "Hello.";
    QTest::newRow("Chinese split into sentences, joined with spaces")
        << "今天天气很好。谢谢！" << chinese << english << "The weather is nice today. Thank you!";
    QTest::newRow("lines kept") << "你好。\n\n谢谢！你好。" << chinese << english << "Hello.\n\nThank you! Hello.";
    QTest::newRow("English to Chinese") << "Good morning." << english << chinese << "早上好。";
    QTest::newRow("no spaces between Chinese sentences")
        << "Hello. Good morning.\nHello.  Hello" << english << chinese << "你好。早上好。\n你好。你好";
    QTest::newRow("translation untrimmed") << "留白" << chinese << english << "  blank margins \n";
}

void TestTranslateLocallyBackend::translatesThroughTheWorker()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    QCOMPARE(translate(text, from, to), expected);
}

void TestTranslateLocallyBackend::startsOneWorkerPerDirectionOnDemand()
{
    QVERIFY(m_standIn->starts().isEmpty());
    QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
    QCOMPARE(translate(QStringLiteral("Hello."), english, chinese), QStringLiteral("你好。"));
    QCOMPARE(translate(QStringLiteral("谢谢！"), chinese, english), QStringLiteral("Thank you!"));
    QCOMPARE(m_standIn->starts().size(), 2);
}

void TestTranslateLocallyBackend::crashReachesTheUserAsMissingLanguagePack()
{
    m_standIn->set("STANDIN_ABORT_ON_TRANSLATE", "1");
    QCOMPARE(failureOf(QStringLiteral("你好。"), chinese, english), TranslationError::Kind::UnsupportedLanguagePack);
    m_standIn->clear("STANDIN_ABORT_ON_TRANSLATE");
    QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
}

// translateLocally reads its models only at start: the user who follows the
// message, installs the model and tries again must not meet the old worker.
void TestTranslateLocallyBackend::modelInstalledAfterNoModelAnswerIsUsedNext()
{
    m_standIn->removeModel(QStringLiteral("zh-en-base"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto error = outcomeOf(m_engine->translate(QStringLiteral("你好。"), chinese, english))
                               .errorAs<TranslationError>();
        QVERIFY(error);
        QCOMPARE(error->errorDescription(), QStringLiteral("系统翻译语言包尚未就绪，请前往系统设置下载"));
    }
    m_standIn->installModel(QStringLiteral("zh-en-base"));
    QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
}

QTEST_GUILESS_MAIN(TestTranslateLocallyBackend)
#include "tst_translatelocallybackend.moc"
