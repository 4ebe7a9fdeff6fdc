#include "app/singleinstance.h"

#include <QAbstractEventDispatcher>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
// Each request the instance hears, as "open|token".
void record(SingleInstance &instance, QStringList &heard)
{
    QObject::connect(&instance, &SingleInstance::requested, &instance,
                     [&heard](SingleInstance::Request request, const QString &token) {
                         const char *name = QMetaEnum::fromType<SingleInstance::Request>().valueToKey(int(request));
                         heard << QString::fromLatin1(name).toLower() + u'|' + token;
                     });
}

// A launch at the descriptor limit: its socket was made before, and connecting takes no new one.
bool connectAndSend(int socket, const QString &path, const QByteArray &line)
{
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    return connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        send(socket, line.constData(), size_t(line.size()), 0) == line.size();
}

// Leaves no descriptor to be made while the ones there still work: a lowered
// limit, and every descriptor below it taken. The limit stays well above the
// descriptors in use, as poll() refuses more entries than it allows.
bool takeEveryDescriptor(rlimit limit, QList<int> &taken)
{
    taken = {dup(STDERR_FILENO)};
    limit.rlim_cur = rlim_t(taken.first() + 64);
    if (taken.first() < 0 || setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    for (int descriptor; (descriptor = dup(STDERR_FILENO)) >= 0;)
        taken << descriptor;
    return errno == EMFILE;
}
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_socket = m_dir.path() + u"/tolvanis.socket"_qs; }
    void cleanup() { QFile::remove(m_socket); }
    void requestsReachTheRunningInstance_data();
    void requestsReachTheRunningInstance();
    void staleSocketFromACrashIsTakenOverButALiveOneIsNot();
    void idleConnectionsAreCappedAndClosedAndTheDescriptorLimitIsWaitedOut();
    void anotherUserIsNeitherHandedNorHeard_data();
    void anotherUserIsNeitherHandedNorHeard();

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
    record(instance, heard);

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

void TestSingleInstance::staleSocketFromACrashIsTakenOverButALiveOneIsNot()
{
    QFile stale(m_socket); // a socket file whose listener is gone, as a crash leaves it
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance(m_socket);
    QVERIFY(!instance.notifyRunningInstance());
    QVERIFY(instance.listen());
    struct stat status { };
    QVERIFY(stat(QFile::encodeName(m_socket).constData(), &status) == 0 && (status.st_mode & 0777) == 0600);
    QVERIFY(!SingleInstance(m_socket).listen());
    QVERIFY(SingleInstance(m_socket).notifyRunningInstance());
}

// At the descriptor limit accept() fails while the launch waits in the queue:
// the server must neither spin on it nor stop taking launches for good.
void TestSingleInstance::idleConnectionsAreCappedAndClosedAndTheDescriptorLimitIsWaitedOut()
{
    SingleInstance instance(m_socket, 300ms);
    QVERIFY(instance.listen());
    QStringList heard;
    record(instance, heard);
    int late[2]; // launches made while descriptors are to be had, to connect at the limit
    for (int &socket : late)
        socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    rlimit limit{};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &limit) == 0);
    QList<int> taken;
    const auto giveBack = [&limit, &taken] {
        for (const int descriptor : std::exchange(taken, {}))
            close(descriptor);
        return setrlimit(RLIMIT_NOFILE, &limit) == 0;
    };
    const auto atEnd = qScopeGuard([&] {
        giveBack();
        for (const int socket : late)
            close(socket);
    });

    QLocalSocket idle[SingleInstance::maximumConnections + 4];
    for (QLocalSocket &socket : idle)
        socket.connectToServer(m_socket);
    const auto open = [&idle] {
        return std::count_if(std::begin(idle), std::end(idle), [](auto &s) { return s.state() != s.UnconnectedState; });
    };
    QTRY_COMPARE(open(), SingleInstance::maximumConnections);
#if defined(__SANITIZE_ADDRESS__)
    // UndefinedBehaviorSanitizer checks a vtable by writing it to a pipe, which
    // a process with no descriptor to spare cannot make, and reports it invalid.
    QSKIP("the sanitizers need descriptors of their own");
#endif
    // With connections of its own open, one of them closing frees a descriptor.
    QVERIFY(takeEveryDescriptor(limit, taken));
    QVERIFY(connectAndSend(late[0], m_socket, "selection a\n"));
    QTRY_COMPARE(heard, QStringList{u"selection|a"_qs});
    QVERIFY(giveBack());
    QTRY_COMPARE(open(), 0);
    char byte;
    QTRY_COMPARE(recv(late[0], &byte, 1, MSG_DONTWAIT), ssize_t(0)); // closed when idle, so none is open

    // With none, it tries again later, and sleeps meanwhile.
    QVERIFY(takeEveryDescriptor(limit, taken));
    QVERIFY(connectAndSend(late[1], m_socket, "capture\n"));
    int wakeUps = 0; // a few for timers; thousands when accept() spins
    QEventLoop window;
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &window,
            [&wakeUps] { ++wakeUps; });
    QTimer::singleShot(500ms, &window, &QEventLoop::quit);
    window.exec();
    QCOMPARE_LT(wakeUps, 50);
    QVERIFY(giveBack());
    QTRY_COMPARE(heard, (QStringList{u"selection|a"_qs, u"capture|"_qs}));
}

void TestSingleInstance::anotherUserIsNeitherHandedNorHeard_data()
{
    QTest::addColumn<bool>("theirListener");
    QTest::addColumn<QByteArray>("theySee"); // what their side prints

    QTest::newRow("their listener is handed nothing") << true << QByteArray("1\nb''\n");
    // Their client can reach ours only where a socket's mode does not hold.
    QTest::newRow("our listener heeds nothing of theirs") << false << QByteArray("1\n");
}

// Run as root, the suite plays another user as nobody.
void TestSingleInstance::anotherUserIsNeitherHandedNorHeard()
{
    if (getuid() != 0)
        QSKIP("needs root to act as another user");
    QFETCH(bool, theirListener);
    QFETCH(QByteArray, theySee);
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::Permissions(0x7777)));
    SingleInstance instance(m_socket, 300ms);
    QStringList heard;
    record(instance, heard);
    if (!theirListener)
        QVERIFY(instance.listen() && QFile::setPermissions(m_socket, QFile::Permissions(0x6666)));
    QProcess other;
    other.start(u"setpriv"_qs,
                {u"--reuid=nobody"_qs, u"--regid=nogroup"_qs, u"--clear-groups"_qs, u"/usr/bin/python3"_qs, u"-c"_qs,
                 theirListener
                     ? u"import socket,sys,os; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); "
                       "os.chmod(sys.argv[1],0o777); s.listen(); print(1,flush=1); print(s.accept()[0].recv(9))"_qs
                     : u"import socket,sys; s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); "
                       "print(1,flush=1); s.sendall(b'capture\\n'); s.recv(9)"_qs,
                 m_socket});
    if (theirListener) {
        QTRY_VERIFY(other.canReadLine());
        QVERIFY(!SingleInstance(m_socket).notifyRunningInstance());
    }
    QTRY_COMPARE(other.state(), QProcess::NotRunning);
    QCOMPARE(other.readAllStandardOutput(), theySee);
    QVERIFY(heard.isEmpty());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
