#include "app/singleinstance.h"

#include "app/applog.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr int connectTimeoutMs = 500;
// Far above any command and token; a peer that sends more without a line end
// is not one of us and is dropped.
constexpr qsizetype maxLineBytes = 4096;
// Launches that come while accept() waits for a descriptor stay queued and
// hand their request over once it takes them.
constexpr int queuedConnections = 64;

QByteArray command(SingleInstance::Request request)
{
    switch (request) {
    case SingleInstance::Request::Open:
        break;
    case SingleInstance::Request::Selection:
        return QByteArrayLiteral("selection");
    case SingleInstance::Request::Capture:
        return QByteArrayLiteral("capture");
    }
    return QByteArrayLiteral("open");
}

// "open" and "show" (what earlier versions send) open the panel.
std::optional<SingleInstance::Request> parseCommand(const QByteArray &word)
{
    if (word == "open" || word == "show")
        return SingleInstance::Request::Open;
    if (word == "selection")
        return SingleInstance::Request::Selection;
    if (word == "capture")
        return SingleInstance::Request::Capture;
    return std::nullopt;
}

// Tokens are printable ASCII without spaces; anything else is not a token.
bool isToken(const QByteArray &token)
{
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

// A bare name lives in the temporary folder, where Qt's local server put it
// for earlier versions, so that an instance of one of those still hears us.
QString socketPath(const QString &name)
{
    return name.startsWith(u'/') ? name : QDir::tempPath() + u'/' + name;
}

std::optional<sockaddr_un> socketAddress(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address{};
    if (bytes.isEmpty() || bytes.size() >= qsizetype(sizeof address.sun_path))
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return address;
}

const sockaddr *asSockaddr(const sockaddr_un &address)
{
    return reinterpret_cast<const sockaddr *>(&address);
}

// Closes the descriptor it holds when it goes.
class Descriptor
{
public:
    explicit Descriptor(int descriptor)
        : m_descriptor(descriptor)
    { }
    ~Descriptor()
    {
        if (m_descriptor >= 0)
            close(m_descriptor);
    }
    Q_DISABLE_COPY_MOVE(Descriptor)

    int get() const { return m_descriptor; }

private:
    int m_descriptor;
};

// Whoever is at the other end of a name another user could have taken first
// must be us: a listener of theirs would receive every request and keep
// tolvanis from starting, a client of theirs could drive ours.
bool peerIsThisUser(int descriptor)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.uid == getuid();
}

// A socket file nobody listens on is what a crashed instance leaves; one that
// still has a listener is a live instance's, and taking it over would cut that
// one off from every later launch.
bool nobodyListensOn(const sockaddr_un &address)
{
    const Descriptor probe(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    return probe.get() >= 0 && connect(probe.get(), asSockaddr(address), sizeof address) != 0 &&
        (errno == ECONNREFUSED || errno == ENOENT);
}

Failure systemFailure(const QString &what, int error)
{
    return Failure{what + QStringLiteral(": ") + qt_error_string(error)};
}

// A folder only this user can enter: created 0700, or found so and owned by
// the user (not a link another user planted). Empty when neither holds.
QString privateFolder(const QString &path)
{
    mkdir(QFile::encodeName(path).constData(), S_IRWXU);
    struct stat status { };
    if (lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != getuid() || (status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return {};
    return path;
}
} // namespace

// One accepted connection: its descriptor, the notifier that watches it, and
// what it sent that has no line end yet.
class SingleInstance::Connection final : public QObject
{
public:
    Connection(int descriptor, QObject *parent)
        : QObject(parent)
        , m_descriptor(descriptor)
        , m_notifier(descriptor, QSocketNotifier::Read)
    { }
    ~Connection() override { close(); }
    Q_DISABLE_COPY_MOVE(Connection)

    int descriptor() const { return m_descriptor; }
    bool isOpen() const { return m_descriptor >= 0; }
    QSocketNotifier *notifier() { return &m_notifier; }
    // Frees the descriptor at once, though the object lives on until deleted.
    void close()
    {
        if (m_descriptor < 0)
            return;
        m_notifier.setEnabled(false);
        ::close(m_descriptor);
        m_descriptor = -1;
    }

    QByteArray pending;

private:
    int m_descriptor;
    QSocketNotifier m_notifier;
};

SingleInstance::SingleInstance(QString name, std::chrono::milliseconds idleTimeout, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_idleTimeout(idleTimeout)
{ }

SingleInstance::~SingleInstance()
{
    if (m_listener < 0)
        return;
    delete m_incoming;
    close(m_listener);
    // The name is free for the next instance at once, with no stale file to probe.
    unlink(QFile::encodeName(socketPath(m_name)).constData());
}

QString SingleInstance::defaultName()
{
    // XDG_RUNTIME_DIR is per user and per login; without it, a private folder
    // in the temporary directory, as any name there could be taken first by
    // another user. Should even that be taken, the peer check still holds.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/tolvanis.socket");
    const QString folder = privateFolder(QDir::tempPath() + QStringLiteral("/tolvanis-%1").arg(getuid()));
    return folder.isEmpty() ? QStringLiteral("tolvanis-%1").arg(getuid()) : folder + QStringLiteral("/socket");
}

bool SingleInstance::notifyRunningInstance(Request request, const QString &activationToken)
{
    const std::optional<sockaddr_un> address = socketAddress(socketPath(m_name));
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!address || socket.get() < 0)
        return false;
    // Blocking, but a hung instance must not hang every later launch: connect()
    // waits only while the listener's queue is full, and the write only while
    // it reads nothing; both give up after this.
    const timeval limit{0, connectTimeoutMs * 1000};
    setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    int connected = 0;
    do {
        connected = ::connect(socket.get(), asSockaddr(*address), sizeof *address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0)
        return false;
    if (!peerIsThisUser(socket.get())) {
        qCWarning(lcApp) << "the single-instance socket" << m_name << "belongs to another user; not handing over";
        return false;
    }
    QByteArray line = command(request);
    const QByteArray token = activationToken.toLatin1();
    if (!token.isEmpty() && isToken(token) && token.size() < maxLineBytes / 2)
        line += ' ' + token;
    line += '\n';
    for (qsizetype sent = 0; sent < line.size();) {
        const ssize_t size = send(socket.get(), line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
        if (size < 0 && errno == EINTR)
            continue;
        // Still handed over as far as this launch goes: an instance that took
        // the connection is running, and a second one would only add a tray.
        if (size <= 0) {
            const int error = errno;
            qCWarning(lcApp) << "the running instance took no request:" << qt_error_string(error);
            break;
        }
        sent += size;
    }
    return true;
}

Result<void> SingleInstance::listen()
{
    m_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0)
        return systemFailure(QStringLiteral("cannot make a local socket"), errno);
    if (Result<void> taken = takeName(); !taken) {
        close(m_listener);
        m_listener = -1;
        return taken;
    }
    const QByteArray path = QFile::encodeName(socketPath(m_name));
    // The runtime folder is private anyway; a name given elsewhere is not.
    if (chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(m_listener, queuedConnections) != 0) {
        const int error = errno;
        unlink(path.constData());
        close(m_listener);
        m_listener = -1;
        return systemFailure(QStringLiteral("cannot listen on ") + socketPath(m_name), error);
    }
    m_incoming = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
    connect(m_incoming, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_retry->setInterval(m_idleTimeout);
    connect(m_retry, &QTimer::timeout, this, &SingleInstance::acceptAgain);
    return {};
}

Result<void> SingleInstance::takeName()
{
    const QString path = socketPath(m_name);
    const std::optional<sockaddr_un> address = socketAddress(path);
    if (!address)
        return Failure{QStringLiteral("the socket path is too long: ") + path};
    if (bind(m_listener, asSockaddr(*address), sizeof *address) == 0)
        return {};
    if (errno != EADDRINUSE)
        return systemFailure(QStringLiteral("cannot take ") + path, errno);
    // Nobody of ours answered notifyRunningInstance(), so a socket file nobody
    // listens on is stale: remove it and try once more.
    if (!nobodyListensOn(*address))
        return Failure{QStringLiteral("another process listens on ") + path};
    unlink(QFile::encodeName(path).constData());
    if (bind(m_listener, asSockaddr(*address), sizeof *address) != 0)
        return systemFailure(QStringLiteral("cannot take ") + path, errno);
    return {};
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int descriptor = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0 && (errno == EINTR || errno == ECONNABORTED))
            continue;
        if (descriptor < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            waitForADescriptor(errno);
            return;
        }
        if (m_atDescriptorLimit) {
            m_atDescriptorLimit = false;
            qCInfo(lcApp) << "the single-instance socket accepts connections again";
        }
        if (descriptor < 0)
            return;
        // A launch sends its line at once; a peer that holds the line open only
        // uses up descriptors. Another user gets here only where the socket's
        // mode does not hold.
        if (m_connections >= maximumConnections || !peerIsThisUser(descriptor)) {
            close(descriptor);
            continue;
        }
        ++m_connections;
        auto *connection = new Connection(descriptor, this);
        connect(connection->notifier(), &QSocketNotifier::activated, this,
                [this, connection] { readRequests(connection); });
        QTimer::singleShot(m_idleTimeout, connection, [this, connection] { drop(connection); });
    }
}

// The connection stays queued, so the notifier would report it again at once,
// a busy loop for as long as no descriptor comes free. One of our connections
// closing frees one, and each closes within idleTimeout; with none open, try
// again after as long.
void SingleInstance::waitForADescriptor(int error)
{
    if (!m_atDescriptorLimit)
        qCWarning(lcApp) << "the single-instance socket waits for a free descriptor; accept() failed:"
                         << qt_error_string(error);
    m_atDescriptorLimit = true;
    m_incoming->setEnabled(false);
    if (m_connections == 0)
        m_retry->start();
}

void SingleInstance::acceptAgain()
{
    m_retry->stop();
    m_incoming->setEnabled(true);
    acceptConnections();
}

void SingleInstance::drop(Connection *connection)
{
    if (!connection->isOpen())
        return;
    connection->close();
    connection->deleteLater();
    --m_connections;
    if (m_atDescriptorLimit)
        acceptAgain();
}

void SingleInstance::readRequests(Connection *connection)
{
    // One read at a time: the notifier fires again while more waits, and a
    // peer that never stops writing cannot hold the event loop.
    char chunk[maxLineBytes];
    const ssize_t size = read(connection->descriptor(), chunk, sizeof chunk);
    if (size < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    QByteArray &pending = connection->pending;
    if (size > 0)
        pending.append(chunk, size);
    // Each kind once per read, with the latest token: a burst of selection
    // requests would otherwise become as many model requests.
    QList<std::pair<Request, QString>> requests;
    qsizetype start = 0;
    for (qsizetype end; (end = pending.indexOf('\n', start)) >= 0 && end - start < maxLineBytes; start = end + 1) {
        const QByteArray line = pending.sliced(start, end - start).trimmed();
        const qsizetype space = line.indexOf(' ');
        const std::optional<Request> request = parseCommand(space < 0 ? line : line.first(space));
        const QByteArray token = space < 0 ? QByteArray() : line.mid(space + 1);
        if (!request || !isToken(token))
            continue;
        requests.removeIf([&request](const auto &earlier) { return earlier.first == *request; });
        requests.append({*request, QString::fromLatin1(token)});
    }
    pending.remove(0, start);
    // The peer is gone, or a line end was never sent within the limit: not a
    // request of ours.
    if (size <= 0 || pending.size() >= maxLineBytes)
        drop(connection);
    for (const auto &[request, token] : std::as_const(requests))
        Q_EMIT requested(request, token);
}
