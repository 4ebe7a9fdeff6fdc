#include "systemengine.h"
#include "taskoutcome.h"
#include "translatelocallystandin.h"
#include "translationerror.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {
const QString chinese = QStringLiteral("中文");
const QString english = QStringLiteral("英文");
const QString languagePackMissing = QStringLiteral("系统翻译语言包尚未就绪，请前往系统设置下载");
} // namespace

// The whole on-device path, engine to worker, against the stand-in program.
class TestSystemEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Translations
    void translatesThroughTheWorker_data();
    void translatesThroughTheWorker();
    void startsOneWorkerPerDirectionOnDemand();
    void overlappingRequestsEachGetTheirOwnAnswer();

    // Failures
    void failureShowsItsTextAndPassesOnceMended_data();
    void failureShowsItsTextAndPassesOnceMended();

private:
    QString translate(const QString &text, const QString &from, const QString &to);

    std::unique_ptr<TranslateLocallyStandIn> m_standIn;
    std::shared_ptr<SystemEngine> m_engine;
};

void TestSystemEngine::init()
{
    m_standIn = std::make_unique<TranslateLocallyStandIn>();
    m_engine = SystemEngine::create({2s, 5s, 10min});
}

void TestSystemEngine::cleanup()
{
    m_engine.reset();
    m_standIn.reset();
}

QString TestSystemEngine::translate(const QString &text, const QString &from, const QString &to)
{
    return outcomeOf(m_engine->translate(text, from, to)).value.value_or(QStringLiteral("<failed>"));
}

void TestSystemEngine::translatesThroughTheWorker_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one sentence") << "  你好。\n" << chinese << english << "Hello.";
    QTest::newRow("Chinese split into sentences, joined with spaces")
        << "今天天气很好。谢谢！" << chinese << english << "The weather is nice today. Thank you!";
    QTest::newRow("lines kept") << "你好。\n\n谢谢！你好。" << chinese << english << "Hello.\n\nThank you! Hello.";
    QTest::newRow("English to Chinese") << "Good morning." << english << chinese << "早上好。";
    QTest::newRow("no spaces between Chinese sentences")
        << "Hello. Good morning.\nHello.  Hello" << english << chinese << "你好。早上好。\n你好。你好";
    QTest::newRow("translation untrimmed") << "留白" << chinese << english << "  blank margins \n";
}

void TestSystemEngine::translatesThroughTheWorker()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    QCOMPARE(translate(text, from, to), expected);
}

void TestSystemEngine::startsOneWorkerPerDirectionOnDemand()
{
    QVERIFY(m_standIn->starts().isEmpty());
    QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
    QCOMPARE(translate(QStringLiteral("Hello."), english, chinese), QStringLiteral("你好。"));
    QCOMPARE(translate(QStringLiteral("谢谢！"), chinese, english), QStringLiteral("Thank you!"));
    QCOMPARE(m_standIn->starts().size(), 2);
}

// The user presses Return again before the first answer came.
void TestSystemEngine::overlappingRequestsEachGetTheirOwnAnswer()
{
    auto first = captureOutcome(m_engine->translate(QStringLiteral("你好。"), chinese, english));
    auto second = captureOutcome(m_engine->translate(QStringLiteral("谢谢！"), chinese, english));
    auto other = captureOutcome(m_engine->translate(QStringLiteral("Hello."), english, chinese));
    QCOMPARE(QCoro::waitFor(second).value, QStringLiteral("Thank you!"));
    QCOMPARE(QCoro::waitFor(first).value, QStringLiteral("Hello."));
    QCOMPARE(QCoro::waitFor(other).value, QStringLiteral("你好。"));
}

void TestSystemEngine::failureShowsItsTextAndPassesOnceMended_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");
    QTest::newRow("blank input") << "" << " \n\t　" << "请输入要翻译的文字";
    QTest::newRow("no translateLocally on PATH") << "path" << "你好。" << "网络请求失败：系统翻译需要安装 translateLocally";
    QTest::newRow("translateLocally not executable")
        << "plain file" << "你好。" << "网络请求失败：系统翻译需要安装 translateLocally";
    QTest::newRow("worker crashes") << "abort" << "你好。" << languagePackMissing;
    // translateLocally reads its models only at start: the user who follows the
    // message, installs the model and tries again must not meet the old worker.
    QTest::newRow("no model for the direction") << "no model" << "你好。" << languagePackMissing;
}

void TestSystemEngine::failureShowsItsTextAndPassesOnceMended()
{
    QFETCH(QString, fault);
    QFETCH(QString, text);
    QFETCH(QString, description);
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir elsewhere;
    QFile plain(elsewhere.filePath(QStringLiteral("translateLocally")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    if (fault == u"path" || fault == u"plain file")
        qputenv("PATH", fault == u"path" ? QByteArray("/nonexistent") : elsewhere.path().toLocal8Bit());
    else if (fault == u"abort")
        m_standIn->set("STANDIN_ABORT_ON_TRANSLATE", "1");
    else if (fault == u"no model")
        m_standIn->removeModel(QStringLiteral("zh-en-base"));

    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto error = outcomeOf(m_engine->translate(text, chinese, english)).errorAs<TranslationError>();
        QVERIFY(error);
        QCOMPARE(error->errorDescription(), description);
    }
    qputenv("PATH", path);
    m_standIn->clear("STANDIN_ABORT_ON_TRANSLATE");
    m_standIn->installModel(QStringLiteral("zh-en-base"));
    QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
}

QTEST_GUILESS_MAIN(TestSystemEngine)
#include "tst_systemengine.moc"
