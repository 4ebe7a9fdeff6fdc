#include "loopbackserver.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// Slow enough that the whole body takes longer than the tests' timeouts,
// while no single pause reaches them.
constexpr int dripIntervalMs = 50;

QByteArray chunk(const QByteArray &data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

} // namespace

QByteArray LoopbackServer::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LoopbackServer::LoopbackServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    if (!m_server->listen(QHostAddress::LocalHost))
        qFatal("loopback server cannot listen: %s", qPrintable(m_server->errorString()));
    connect(m_server, &QTcpServer::newConnection, this, &LoopbackServer::accept);
}

LoopbackServer::~LoopbackServer() = default;

QUrl LoopbackServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->serverPort()).arg(path));
}

void LoopbackServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackServer::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    // Several requests may follow each other on one kept-alive connection.
    for (qsizetype headerEnd; (headerEnd = buffer.indexOf("\r\n\r\n")) >= 0;) {
        const QList<QByteArray> lines = buffer.left(headerEnd).replace("\r\n", "\n").split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        Request request{requestLine.value(0), requestLine.value(1), {}, {}};
        for (const QByteArray &line : lines.mid(1)) {
            // Values as sent but for the space after the colon, so a test sees
            // blanks the client put into a value.
            const qsizetype colon = line.indexOf(':');
            const QByteArray value = line.mid(colon + 1);
            if (colon > 0)
                request.headers.append({line.left(colon), value.startsWith(' ') ? value.mid(1) : value});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);
        Q_EMIT received(request);
        answer(socket);
    }
}

void LoopbackServer::answer(QTcpSocket *socket)
{
    const Reply &reply = m_reply;
    if (reply.behaviour == Behaviour::EndlessHead) {
        socket->write("HTTP/1.1 200 OK\r\nX: ");
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket, more = reply.body.repeated(16 * 1024)] {
            if (socket->bytesToWrite() < more.size())
                socket->write(more);
        });
        return;
    }
    const QByteArray &body = reply.body;
    // Clients go by the code; the reason phrase is only for people.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\nContent-Type: application/json\r\n";
    if (!reply.location.isEmpty())
        head += "Location: " + reply.location + "\r\n";
    head += reply.behaviour == Behaviour::Chunked ? QByteArray("Transfer-Encoding: chunked\r\n")
                                                  : "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    socket->write(head + "\r\n");

    switch (reply.behaviour) {
    case Behaviour::Answer:
        socket->write(body);
        break;
    case Behaviour::Chunked:
        socket->write(chunk(body) + chunk({}));
        break;
    case Behaviour::Drip:
        for (qsizetype i = 0; i < body.size(); ++i)
            QTimer::singleShot(int(i + 1) * dripIntervalMs, socket,
                               [socket, byte = body.mid(i, 1)] { socket->write(byte); });
        break;
    case Behaviour::StallAfterHeaders:
    case Behaviour::EndlessHead: // answered above
        break;
    }
}
