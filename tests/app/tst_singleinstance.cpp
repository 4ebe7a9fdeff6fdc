#include "app/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace std::chrono_literals;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_socket = m_dir.path() + u"/tolvanis.socket"_qs; }
    void cleanup() { QFile::remove(m_socket); }
    void requestsReachTheRunningInstance_data();
    void requestsReachTheRunningInstance();
    void staleSocketFromACrashIsTakenOver();
    void idleConnectionsAreCappedAndClosedAndTheServerListensAgain();
    void anotherUsersSocketIsHandedNothing();

private:
    QTemporaryDir m_dir;
    QString m_socket;
};

void TestSingleInstance::requestsReachTheRunningInstance_data()
{
    QTest::addColumn<QByteArray>("sent"); // raw on the socket; empty: a second launch asks for a selection
    QTest::addColumn<QStringList>("expected"); // "open|token" per request

    QTest::newRow("second launch with a token") << QByteArray() << QStringList{u"selection|launcher-token_1"_qs};
    QTest::newRow("open") << QByteArray("open\n") << QStringList{u"open|"_qs};
    QTest::newRow("an earlier version's show") << QByteArray("show\n") << QStringList{u"open|"_qs};
    QTest::newRow("selection with a token") << QByteArray("selection t-1\n") << QStringList{u"selection|t-1"_qs};
    QTest::newRow("two in one write") << QByteArray("open\nselection\n") << QStringList{u"open|"_qs, u"selection|"_qs};
    QTest::newRow("a burst in one write") << QByteArray("selection\n").repeated(200) + "selection b\n"
                                          << QStringList{u"selection|b"_qs};
    QTest::newRow("capture") << QByteArray("capture\n") << QStringList{u"capture|"_qs};
    QTest::newRow("unknown command") << QByteArray("translate everything\n") << QStringList{};
    QTest::newRow("control bytes in the token") << QByteArray("open a\x01z\n") << QStringList{};
    QTest::newRow("binary garbage, then a request")
        << QByteArray("\xff\xfe\x00\x01\nopen\n", 10) << QStringList{u"open|"_qs};
    QTest::newRow("no line end") << QByteArray("selection") << QStringList{};
    QTest::newRow("endless line") << QByteArray(100000, 'x') << QStringList{};
}

void TestSingleInstance::requestsReachTheRunningInstance()
{
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, expected);
    SingleInstance instance(m_socket);
    QVERIFY(!instance.notifyRunningInstance());
    QVERIFY(instance.listen());
    QStringList heard;
    connect(&instance, &SingleInstance::requested, this,
            [&heard](SingleInstance::Request request, const QString &token) {
                const char *name = QMetaEnum::fromType<SingleInstance::Request>().valueToKey(int(request));
                heard << QString::fromLatin1(name).toLower() + u'|' + token;
            });

    QLocalSocket peer;
    if (sent.isEmpty()) {
        SingleInstance second(m_socket);
        QVERIFY(second.notifyRunningInstance(SingleInstance::Request::Selection, u"launcher-token_1"_qs));
    } else {
        peer.connectToServer(m_socket);
        QVERIFY(peer.waitForConnected());
        peer.write(sent);
        QVERIFY(peer.waitForBytesWritten());
    }
    // A later well-formed request on a fresh connection still arrives.
    QVERIFY(SingleInstance(m_socket).notifyRunningInstance());
    expected << u"open|"_qs;
    QTRY_COMPARE(heard.size(), expected.size());
    heard.sort();
    expected.sort();
    QCOMPARE(heard, expected);
}

void TestSingleInstance::staleSocketFromACrashIsTakenOver()
{
    QFile stale(m_socket); // a socket file whose listener is gone, as a crash leaves it
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance(m_socket);
    QVERIFY(!instance.notifyRunningInstance());
    QVERIFY(instance.listen());
    QVERIFY(SingleInstance(m_socket).notifyRunningInstance());
}

void TestSingleInstance::idleConnectionsAreCappedAndClosedAndTheServerListensAgain()
{
    SingleInstance instance(m_socket, 300ms);
    QVERIFY(instance.listen());
    QLocalSocket idle[SingleInstance::maximumConnections + 4];
    for (QLocalSocket &socket : idle)
        socket.connectToServer(m_socket);
    const auto open = [&idle] {
        return std::count_if(std::begin(idle), std::end(idle), [](auto &s) { return s.state() != s.UnconnectedState; });
    };
    QTRY_COMPARE(open(), SingleInstance::maximumConnections);
    instance.findChild<QLocalServer *>()->close(); // as Qt does when accept() fails at the descriptor limit
    QTRY_COMPARE(open(), 0);
    QTRY_VERIFY(SingleInstance(m_socket).notifyRunningInstance());
}

// Run as root, the suite plays another user as nobody, whose listener must hear nothing.
void TestSingleInstance::anotherUsersSocketIsHandedNothing()
{
    if (getuid() != 0)
        QSKIP("needs root to act as another user");
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::Permissions(0x7777)));
    QProcess other;
    other.start(u"setpriv"_qs,
                {u"--reuid=nobody"_qs, u"--regid=nogroup"_qs, u"--clear-groups"_qs, u"/usr/bin/python3"_qs, u"-c"_qs,
                 u"import socket,sys,os; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); "
                 "os.chmod(sys.argv[1],0o777); s.listen(); print(1,flush=1); print(s.accept()[0].recv(9))"_qs,
                 m_socket});
    QTRY_VERIFY(other.canReadLine());
    QVERIFY(!SingleInstance(m_socket).notifyRunningInstance());
    other.kill();
    QVERIFY(other.waitForFinished() && !other.readAll().contains("open"));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
