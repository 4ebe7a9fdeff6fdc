#include "app/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <algorithm>
#include <optional>

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
} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    // XDG_RUNTIME_DIR is per user and per login; fall back to a per-user name in /tmp.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/tolvanis.socket");
    return QStringLiteral("tolvanis-%1").arg(getuid());
}

bool SingleInstance::notifyRunningInstance(Request request, const QString &activationToken)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
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
    if (!m_server->listen(m_name)) {
        // Nobody answered notifyRunningInstance(), so a socket file left by a
        // crashed instance is stale: remove it and try once more.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return Failure{m_server->errorString()};
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequests(socket); });
        }
    });
    return {};
}

void SingleInstance::readRequests(QLocalSocket *socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(maxLineBytes).trimmed();
        const qsizetype space = line.indexOf(' ');
        const std::optional<Request> request = parseCommand(space < 0 ? line : line.first(space));
        const QByteArray token = space < 0 ? QByteArray() : line.mid(space + 1);
        if (request && isToken(token))
            Q_EMIT requested(*request, QString::fromLatin1(token));
    }
    // A line end was never sent within the limit: not a request of ours.
    if (socket->bytesAvailable() >= maxLineBytes)
        socket->abort();
}
