#include "singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondLaunchHandsOverItsRequest();
    void socketLinesBecomeRequests_data();
    void socketLinesBecomeRequests();
    void staleSocketFromACrashIsTakenOver();
};

void TestSingleInstance::secondLaunchHandsOverItsRequest()
{
    QTemporaryDir dir;
    const QString name = dir.path() + u"/tolvanis.socket"_qs;

    SingleInstance first(name);
    QVERIFY(!first.notifyRunningInstance());
    QVERIFY(first.listen());
    QSignalSpy asked(&first, &SingleInstance::requested);

    SingleInstance second(name);
    QVERIFY(second.notifyRunningInstance(SingleInstance::Request::Selection, u"launcher-token_1"_qs));
    QTRY_COMPARE(asked.count(), 1);
    QCOMPARE(asked.at(0).at(0).value<SingleInstance::Request>(), SingleInstance::Request::Selection);
    QCOMPARE(asked.at(0).at(1).toString(), u"launcher-token_1"_qs);
}

void TestSingleInstance::socketLinesBecomeRequests_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("expected"); // "open|token" per request

    QTest::newRow("open") << QByteArray("open\n") << QStringList{u"open|"_qs};
    QTest::newRow("an earlier version's show") << QByteArray("show\n") << QStringList{u"open|"_qs};
    QTest::newRow("selection with a token") << QByteArray("selection t-1\n") << QStringList{u"selection|t-1"_qs};
    QTest::newRow("two in one write") << QByteArray("open\nselection\n")
                                      << QStringList{u"open|"_qs, u"selection|"_qs};
    QTest::newRow("unknown command") << QByteArray("translate everything\n") << QStringList{};
    QTest::newRow("control bytes in the token") << QByteArray("open a\x01z\n") << QStringList{};
    QTest::newRow("binary garbage, then a request") << QByteArray("\xff\xfe\x00\x01\nopen\n", 10)
                                                    << QStringList{u"open|"_qs};
    QTest::newRow("no line end") << QByteArray("selection") << QStringList{};
    QTest::newRow("endless line") << QByteArray(100000, 'x') << QStringList{};
}

void TestSingleInstance::socketLinesBecomeRequests()
{
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString name = dir.path() + u"/tolvanis.socket"_qs;
    SingleInstance instance(name);
    QVERIFY(instance.listen());
    QStringList heard;
    connect(&instance, &SingleInstance::requested, this,
            [&heard](SingleInstance::Request request, const QString &token) {
                heard << (request == SingleInstance::Request::Open ? u"open|"_qs : u"selection|"_qs) + token;
            });

    QLocalSocket peer;
    peer.connectToServer(name);
    QVERIFY(peer.waitForConnected());
    peer.write(sent);
    QVERIFY(peer.waitForBytesWritten());
    // A later well-formed request on a fresh connection still arrives.
    QVERIFY(SingleInstance(name).notifyRunningInstance());
    expected << u"open|"_qs;
    QTRY_COMPARE(heard.size(), expected.size());
    heard.sort();
    expected.sort();
    QCOMPARE(heard, expected);
}

void TestSingleInstance::staleSocketFromACrashIsTakenOver()
{
    QTemporaryDir dir;
    const QString name = dir.path() + u"/tolvanis.socket"_qs;
    {
        // A socket file whose listener is gone, as a crash leaves it.
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance instance(name);
    QVERIFY(!instance.notifyRunningInstance());
    QVERIFY(instance.listen());
    QVERIFY(SingleInstance(name).notifyRunningInstance());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
