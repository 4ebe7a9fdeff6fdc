#include "app/singleinstance.h"

#include "app/applog.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int connectTimeoutMs = 500;
// Far above any command and token; a peer that sends more without a line end
// is not one of us and is dropped.
constexpr qsizetype maxLineBytes = 4096;

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

// Whoever listens on a name another user could have taken first must be us:
// it would otherwise receive every request and keep tolvanis from starting.
bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
        credentials.uid == getuid();
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

// How often the server is checked for having stopped listening.
constexpr std::chrono::seconds watchInterval{60};
} // namespace

SingleInstance::SingleInstance(QString name, std::chrono::milliseconds idleTimeout, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_idleTimeout(idleTimeout)
{ }

SingleInstance::~SingleInstance() = default;

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
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    if (!peerIsThisUser(socket)) {
        qCWarning(lcApp) << "the single-instance socket" << m_name << "belongs to another user; not handing over";
        return false;
    }
    QByteArray line = command(request);
    const QByteArray token = activationToken.toLatin1();
    if (!token.isEmpty() && isToken(token) && token.size() < maxLineBytes / 2)
        line += ' ' + token;
    socket.write(line + '\n');
    socket.waitForBytesWritten(connectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

Result<void> SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(maximumConnections);
    if (!takeName())
        return Failure{m_server->errorString()};
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &SingleInstance::listenAgainIfStopped);
    watch->start(watchInterval);
    return {};
}

// Qt closes the server for good when accept() fails (at the descriptor limit),
// which would let the next launch start a second instance. A closing
// connection frees a descriptor, so that is when to try; a slow watch catches
// the rest.
void SingleInstance::listenAgainIfStopped()
{
    if (!m_server->isListening() && takeName())
        qCInfo(lcApp) << "the single-instance server had stopped and listens again";
}

bool SingleInstance::takeName()
{
    if (m_server->listen(m_name))
        return true;
    // Nobody of ours answered notifyRunningInstance(), so a socket file left
    // by a crashed instance is stale: remove it and try once more.
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_connections >= maximumConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] {
            --m_connections;
            listenAgainIfStopped();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequests(socket); });
        // A launch sends its line at once; a peer that holds the line open only
        // uses up descriptors.
        QTimer::singleShot(m_idleTimeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void SingleInstance::readRequests(QLocalSocket *socket)
{
    // Each kind once per read, with the latest token: a burst of selection
    // requests would otherwise become as many model requests.
    QList<std::pair<Request, QString>> requests;
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(maxLineBytes).trimmed();
        const qsizetype space = line.indexOf(' ');
        const std::optional<Request> request = parseCommand(space < 0 ? line : line.first(space));
        const QByteArray token = space < 0 ? QByteArray() : line.mid(space + 1);
        if (!request || !isToken(token))
            continue;
        requests.removeIf([&request](const auto &earlier) { return earlier.first == *request; });
        requests.append({*request, QString::fromLatin1(token)});
    }
    for (const auto &[request, token] : std::as_const(requests))
        Q_EMIT requested(request, token);
    // A line end was never sent within the limit: not a request of ours.
    if (socket->bytesAvailable() >= maxLineBytes)
        socket->abort();
}
