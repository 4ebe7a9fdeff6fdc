#include "loopbackserver.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

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

int LoopbackServer::Request::headerCount(const QByteArray &name) const
{
    int count = 0;
    for (const auto &header : headers)
        count += header.first.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    return count;
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
    for (;;) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        Request request;
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            // Values are kept as sent, but for the one space after the colon,
            // so a test can see blanks the client put into a value.
            QByteArray line = lines[i];
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            QByteArray value = line.mid(colon + 1);
            if (value.startsWith(' '))
                value.remove(0, 1);
            request.headers.append({line.left(colon), value});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);
        if (m_reply.randomDelayMs > 0) {
            const int delay = QRandomGenerator::global()->bounded(m_reply.randomDelayMs + 1);
            QTimer::singleShot(delay, socket, [this, socket, request] { answer(socket, request); });
        } else {
            answer(socket, request);
        }
    }
}

void LoopbackServer::answer(QTcpSocket *socket, const Request &request)
{
    Reply reply = m_reply;
    if (reply.bodyFor)
        reply.body = reply.bodyFor(request);
    if (reply.behaviour == Behaviour::NeverAnswer)
        return;
    if (reply.behaviour == Behaviour::Raw) {
        socket->write(reply.body);
        socket->disconnectFromHost();
        return;
    }

    // Clients go by the code; the reason phrase is only for people.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
    if (!reply.contentType.isEmpty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    for (const auto &[name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    head += reply.chunked ? QByteArray("Transfer-Encoding: chunked\r\n")
                          : "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "\r\n";
    socket->write(head);

    switch (reply.behaviour) {
    case Behaviour::Answer:
        socket->write(reply.chunked ? chunk(reply.body) + chunk({}) : reply.body);
        break;
    case Behaviour::StallAfterHeaders:
        break;
    case Behaviour::CloseEarly:
        socket->write(reply.body.left(reply.body.size() / 2));
        socket->flush();
        socket->abort();
        break;
    case Behaviour::Drip: {
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        QPointer<QTcpSocket> guarded(socket);
        connect(timer, &QTimer::timeout, socket, [timer, sent, guarded, body = reply.body] {
            if (*sent >= body.size()) {
                timer->stop();
                return;
            }
            guarded->write(body.mid((*sent)++, 1));
        });
        timer->start(reply.dripIntervalMs);
        break;
    }
    case Behaviour::NeverAnswer:
    case Behaviour::Raw:
        break;
    }
}
