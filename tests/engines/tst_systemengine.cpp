#include "engines/systemengine.h"
#include "engines/translatelocallyclient.h"
#include "engines/translatelocallyerror.h"
#include "settledtask.h"
#include "translatelocallystandin.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using Kind = TranslateLocallyError::Kind;

namespace {

const QString chinese = QStringLiteral("中文"), english = QStringLiteral("英文");

QString failure(Kind kind)
{
    return QStringLiteral("<error %1>").arg(int(kind));
}

// The target text of a worker's reply, or the kind of error it failed with.
QString reply(const Settled<QJsonValue> &outcome)
{
    if (const auto error = outcome.errorAs<TranslateLocallyError>())
        return failure(error->kind());
    return outcome.value.value_or(QJsonValue()).toObject().value(u"target").toObject().value(u"text").toString();
}

} // namespace

// The on-device path against the stand-in program: the engine, and the client
// that runs one worker.
class TestSystemEngine : public QObject
{
    Q_OBJECT

    struct Fixture {
        TranslateLocallyStandIn standIn;
        std::shared_ptr<SystemEngine> engine = SystemEngine::create({2s, 5s, 10min});
        TranslateLocallyClient client;
    };
    std::unique_ptr<Fixture> m_fixture;

    QString translate(const QString &text, const QString &from, const QString &to)
    {
        const Settled<QString> outcome = settled(m_fixture->engine->translate(text, from, to));
        return outcome.value.value_or(outcome.description());
    }
    QCoro::Task<QJsonValue> request(const QString &text, const char *model = "zh-en-base0")
    {
        return m_fixture->client.request(u"Translate"_qs,
                                         {{u"model"_qs, QString::fromLatin1(model)}, {u"text"_qs, text}});
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<Fixture>(); }
    void cleanup() { m_fixture.reset(); }

    void translatesThroughTheWorker_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fromChinese");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sentences joined, lines kept")
            << "  你好。\n\n谢谢！你好。" << true << "Hello.\n\nThank you! Hello.";
        QTest::newRow("no spaces between Chinese sentences")
            << "Hello. Good morning.\nHello" << false << "你好。早上好。\n你好";
        QTest::newRow("translation untrimmed") << "留白" << true << "  blank margins \n";
        QTest::newRow("blank input") << " \n\t　" << true << "请输入要翻译的文字";
    }

    void translatesThroughTheWorker()
    {
        QFETCH(QString, text);
        QFETCH(bool, fromChinese);
        QFETCH(QString, expected);
        QCOMPARE(fromChinese ? translate(text, chinese, english) : translate(text, english, chinese), expected);
    }

    // The user asks again before the first answer came, then in the other direction.
    void overlappingRequestsStartOneWorkerPerDirection()
    {
        auto first = settle(m_fixture->engine->translate(QStringLiteral("你好。"), chinese, english));
        auto second = settle(m_fixture->engine->translate(QStringLiteral("谢谢！"), chinese, english));
        auto other = settle(m_fixture->engine->translate(QStringLiteral("Hello."), english, chinese));
        QCOMPARE(QCoro::waitFor(second).value, QStringLiteral("Thank you!"));
        QCOMPARE(QCoro::waitFor(first).value, QStringLiteral("Hello."));
        QCOMPARE(QCoro::waitFor(other).value, QStringLiteral("你好。"));
        QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
        const QStringList starts = m_fixture->standIn.starts();
        QCOMPARE(starts.size(), 2);
        // The worker also loads models from its working directory: an empty private one.
        for (const QString &start : starts)
            QVERIFY(start.endsWith(u"|0") && !start.startsWith(QDir::currentPath() + u'|'));
    }

    void failureShowsItsTextAndPassesOnceMended_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("description");
        const QString missingProgram = QStringLiteral("网络请求失败：系统翻译需要安装 translateLocally");
        const QString languagePack = QStringLiteral("系统翻译语言包尚未就绪，请前往系统设置下载");
        QTest::newRow("no translateLocally on PATH") << "path" << missingProgram;
        QTest::newRow("worker crashes") << "abort" << languagePack;
        // translateLocally reads its models only at start: the user who follows the
        // message, installs the model and tries again must not meet the old worker.
        QTest::newRow("no model for the direction") << "no model" << languagePack;
        QTest::newRow("refusal quoting the text") << "refuse" << languagePack;
    }

    void failureShowsItsTextAndPassesOnceMended()
    {
        QFETCH(QString, fault);
        QFETCH(QString, description);
        const QByteArray path = qgetenv("PATH");
        if (fault == u"path")
            qputenv("PATH", "/nonexistent");
        qputenv("STANDIN_ABORT_ON_TRANSLATE", fault == u"abort" ? "1" : "");
        qputenv("STANDIN_REFUSE", fault == u"refuse" ? "1" : "");
        TranslateLocallyStandIn::setModels(
            {fault == u"no model" ? QStringLiteral("en-zh-base") : QStringLiteral("zh-en-base")});
        for (int attempt = 0; attempt < 2; ++attempt) {
            // The kind alone: the worker's text may quote the user's.
            if (fault == u"refuse")
                QTest::ignoreMessage(QtInfoMsg, "on-device translation failed: refused");
            QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), description);
        }

        qputenv("PATH", path);
        qputenv("STANDIN_ABORT_ON_TRANSLATE", "");
        qputenv("STANDIN_REFUSE", "");
        TranslateLocallyStandIn::setModels({QStringLiteral("zh-en-base")});
        QCOMPARE(translate(QStringLiteral("你好。"), chinese, english), QStringLiteral("Hello."));
    }

    // Replies come back in another order, and each frame arrives a byte at a time;
    // a refusal reaches only its own request.
    void matchesRepliesToRequests()
    {
        qputenv("STANDIN_REORDER", "3");
        qputenv("STANDIN_BYTEWISE", "1");
        auto first = settle(request(QStringLiteral("你好。")));
        auto refused = settle(request(QStringLiteral("你好。"), "xx-yy0"));
        auto third = settle(request(QStringLiteral("今天天气很好。")));
        QCOMPARE(reply(QCoro::waitFor(first)), QStringLiteral("Hello."));
        QCOMPARE(reply(QCoro::waitFor(refused)), failure(Kind::Refused));
        QCOMPARE(reply(QCoro::waitFor(third)), QStringLiteral("The weather is nice today."));
        QVERIFY(m_fixture->client.isRunning());
    }

    void faultFailsPendingAndRestarts_data()
    {
        QTest::addColumn<QByteArray>("switchName"); // set to 1500, which also means "yes"
        QTest::addColumn<Kind>("expected");
        QTest::newRow("crash on translate") << QByteArray("STANDIN_ABORT_ON_TRANSLATE") << Kind::Exited;
        QTest::newRow("never answers") << QByteArray("STANDIN_SILENT") << Kind::Timeout;
        QTest::newRow("application quits") << QByteArray("STANDIN_SILENT") << Kind::Stopped;
    }

    void faultFailsPendingAndRestarts()
    {
        QFETCH(QByteArray, switchName);
        QFETCH(Kind, expected);
        m_fixture->client.setFirstReplyTimeout(expected == Kind::Timeout ? 400ms : 5s);
        qputenv(switchName.constData(), "1500");
        QSignalSpy stopped(&m_fixture->client, &TranslateLocallyClient::workerStopped);
        auto first = settle(request(QStringLiteral("你好。")));
        auto second = settle(request(QStringLiteral("谢谢！")));
        if (expected == Kind::Stopped)
            m_fixture->client.shutdown();
        QCOMPARE(reply(QCoro::waitFor(first)), failure(expected));
        QCOMPARE(reply(QCoro::waitFor(second)), failure(expected));
        QCOMPARE(stopped.size(), 1);
        QVERIFY(!m_fixture->client.isRunning());

        qunsetenv(switchName.constData());
        QCOMPARE(reply(settled(request(QStringLiteral("你好。")))), QStringLiteral("Hello."));
        QCOMPARE(m_fixture->standIn.starts().size(), 2);
    }

    // A new worker's first answer includes its start-up and may take longer than later ones.
    void slowFirstReplyIsInTime()
    {
        m_fixture->client.setReplyTimeout(100ms);
        qputenv("STANDIN_DELAY_MS", "300");
        QCOMPARE(reply(settled(request(QStringLiteral("你好。")))), QStringLiteral("Hello."));
        QCOMPARE(reply(settled(request(QStringLiteral("你好。")))), failure(Kind::Timeout));
    }

    void idleWorkerStopsAndNextRequestRestarts()
    {
        m_fixture->client.setIdleTimeout(100ms);
        qputenv("STANDIN_DELAY_MS", "300");
        QSignalSpy stopped(&m_fixture->client, &TranslateLocallyClient::workerStopped);
        QCOMPARE(reply(settled(request(QStringLiteral("你好。")))), QStringLiteral("Hello."));
        QVERIFY(m_fixture->client.isRunning());
        QVERIFY(stopped.wait(3000));
        QCOMPARE(reply(settled(request(QStringLiteral("谢谢！")))), QStringLiteral("Thank you!"));
        QCOMPARE(m_fixture->standIn.starts().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSystemEngine)
#include "tst_systemengine.moc"
