#include "taskoutcome.h"
#include "translatelocallyclient.h"
#include "translatelocallyerror.h"
#include "translatelocallystandin.h"

#include <QDir>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using Kind = TranslateLocallyError::Kind;

namespace {

QCoro::Task<QJsonValue> translate(TranslateLocallyClient &client, const QString &text,
                                  const QString &model = QStringLiteral("zh-en-base0"))
{
    return client.request(QStringLiteral("Translate"), {{QStringLiteral("model"), model},
                                                        {QStringLiteral("text"), text},
                                                        {QStringLiteral("html"), false}});
}

QString targetText(const TaskOutcome<QJsonValue> &outcome)
{
    return outcome.value.value_or(QJsonValue()).toObject().value(u"target").toObject().value(u"text").toString();
}

std::optional<Kind> failureKind(const TaskOutcome<QJsonValue> &outcome)
{
    const auto error = outcome.errorAs<TranslateLocallyError>();
    return error ? std::optional(error->kind()) : std::nullopt;
}

} // namespace

class TestTranslateLocallyClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Talking to a healthy worker
    void startsOnlyWithTheFirstRequest();
    void matchesRepliesOutOfOrderAndByteWise();
    void workerRefusalReachesOnlyItsRequest();

    // Faults: each fails what is pending, and the next request starts afresh
    void faultFailsPendingAndRestarts_data();
    void faultFailsPendingAndRestarts();
    void slowButTimelyReplySucceeds();
    void missingProgramFailsWithoutStarting();

    // Stopping
    void idleWorkerExitsAndNextRequestRestarts();
    void shutdownFailsPendingRequests();

private:
    std::unique_ptr<TranslateLocallyStandIn> m_standIn;
    std::unique_ptr<TranslateLocallyClient> m_client;
};

void TestTranslateLocallyClient::init()
{
    m_standIn = std::make_unique<TranslateLocallyStandIn>();
    m_client = std::make_unique<TranslateLocallyClient>();
    m_client->setFirstReplyTimeout(3s);
}

void TestTranslateLocallyClient::cleanup()
{
    m_client.reset();
    m_standIn.reset();
}

void TestTranslateLocallyClient::startsOnlyWithTheFirstRequest()
{
    QVERIFY(m_standIn->starts().isEmpty());
    QVERIFY(!m_client->isRunning());

    const auto models = outcomeOf(m_client->request(QStringLiteral("ListModels"),
                                                    {{QStringLiteral("includeRemote"), false}}));
    QCOMPARE(models.value.value_or(QJsonValue()).toArray().size(), 2);
    QCOMPARE(targetText(outcomeOf(translate(*m_client, QStringLiteral("你好。")))), QStringLiteral("Hello."));

    const QList<QStringList> starts = m_standIn->starts();
    QCOMPARE(starts.size(), 1);
    const QString workDirectory = starts.at(0).at(0);
    QVERIFY(QDir(workDirectory) != QDir::current());
    QCOMPARE(starts.at(0).at(1), QStringLiteral("0")); // empty: no stray models get loaded
    QCOMPARE(starts.at(0).at(2), QStringLiteral("-p"));
}

// Replies come back in another order, and each frame arrives a byte at a time.
void TestTranslateLocallyClient::matchesRepliesOutOfOrderAndByteWise()
{
    m_standIn->set("STANDIN_REORDER", "3");
    m_standIn->set("STANDIN_BYTEWISE", "1");
    std::vector<QCoro::Task<TaskOutcome<QJsonValue>>> tasks;
    const QStringList texts{QStringLiteral("你好。"), QStringLiteral("谢谢！"), QStringLiteral("今天天气很好。")};
    for (const QString &text : texts)
        tasks.push_back(captureOutcome(translate(*m_client, text)));
    QStringList results;
    for (auto &task : tasks)
        results.append(targetText(QCoro::waitFor(task)));
    QCOMPARE(results, (QStringList{"Hello.", "Thank you!", "The weather is nice today."}));
}

void TestTranslateLocallyClient::workerRefusalReachesOnlyItsRequest()
{
    auto refused = captureOutcome(translate(*m_client, QStringLiteral("你好"), QStringLiteral("xx-yy")));
    auto served = captureOutcome(translate(*m_client, QStringLiteral("你好")));
    const auto refusal = QCoro::waitFor(refused).errorAs<TranslateLocallyError>();
    QVERIFY(refusal);
    QCOMPARE(refusal->kind(), Kind::Refused);
    QCOMPARE(QString::fromStdString(refusal->what()), QStringLiteral("Failed to load the necessary translation models."));
    QCOMPARE(targetText(QCoro::waitFor(served)), QStringLiteral("Hello"));
    QVERIFY(m_client->isRunning());
}

void TestTranslateLocallyClient::faultFailsPendingAndRestarts_data()
{
    QTest::addColumn<QByteArray>("switchName");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<Kind>("expected");
    QTest::addColumn<int>("firstReplyMs"); // short only where the wait is the fault
    QTest::newRow("crash on translate") << QByteArray("STANDIN_ABORT_ON_TRANSLATE") << QByteArray("1") << Kind::Exited
                                        << 5000;
    QTest::newRow("exit at start") << QByteArray("STANDIN_EXIT_AT_START") << QByteArray("3") << Kind::Exited << 5000;
    QTest::newRow("never answers") << QByteArray("STANDIN_SILENT") << QByteArray("1") << Kind::Timeout << 400;
    QTest::newRow("answers too late") << QByteArray("STANDIN_DELAY_MS") << QByteArray("1500") << Kind::Timeout << 400;
}

void TestTranslateLocallyClient::faultFailsPendingAndRestarts()
{
    QFETCH(QByteArray, switchName);
    QFETCH(QByteArray, value);
    QFETCH(Kind, expected);
    QFETCH(int, firstReplyMs);
    m_client->setFirstReplyTimeout(std::chrono::milliseconds(firstReplyMs));
    m_standIn->set(switchName.constData(), value);
    QSignalSpy stopped(m_client.get(), &TranslateLocallyClient::workerStopped);

    auto first = captureOutcome(translate(*m_client, QStringLiteral("你好。")));
    auto second = captureOutcome(translate(*m_client, QStringLiteral("谢谢！")));
    QCOMPARE(failureKind(QCoro::waitFor(first)), expected);
    QCOMPARE(failureKind(QCoro::waitFor(second)), expected);
    QCOMPARE(stopped.size(), 1);
    QVERIFY(!m_client->isRunning());

    m_standIn->clear(switchName.constData());
    QCOMPARE(targetText(outcomeOf(translate(*m_client, QStringLiteral("你好。")))), QStringLiteral("Hello."));
    QCOMPARE(m_standIn->starts().size(), 2);
    QCOMPARE(m_client->workersStarted(), quint64(2));
}

void TestTranslateLocallyClient::slowButTimelyReplySucceeds()
{
    m_client->setFirstReplyTimeout(2s);
    m_standIn->set("STANDIN_DELAY_MS", "300");
    QCOMPARE(targetText(outcomeOf(translate(*m_client, QStringLiteral("你好。")))), QStringLiteral("Hello."));
}

void TestTranslateLocallyClient::missingProgramFailsWithoutStarting()
{
    qputenv("PATH", QByteArray());
    QCOMPARE(failureKind(outcomeOf(translate(*m_client, QStringLiteral("你好。")))), Kind::NotInstalled);
    QVERIFY(!m_client->isRunning());
}

void TestTranslateLocallyClient::idleWorkerExitsAndNextRequestRestarts()
{
    m_client->setIdleTimeout(100ms);
    QSignalSpy stopped(m_client.get(), &TranslateLocallyClient::workerStopped);
    QCOMPARE(targetText(outcomeOf(translate(*m_client, QStringLiteral("你好。")))), QStringLiteral("Hello."));
    QVERIFY(stopped.wait(3000));
    QVERIFY(!m_client->isRunning());

    QCOMPARE(targetText(outcomeOf(translate(*m_client, QStringLiteral("谢谢！")))), QStringLiteral("Thank you!"));
    QCOMPARE(m_standIn->starts().size(), 2);
}

void TestTranslateLocallyClient::shutdownFailsPendingRequests()
{
    m_standIn->set("STANDIN_SILENT", "1");
    auto pending = captureOutcome(translate(*m_client, QStringLiteral("你好。")));
    m_client->shutdown();
    QCOMPARE(failureKind(QCoro::waitFor(pending)), Kind::Stopped);
    QVERIFY(!m_client->isRunning());
}

QTEST_GUILESS_MAIN(TestTranslateLocallyClient)
#include "tst_translatelocallyclient.moc"
