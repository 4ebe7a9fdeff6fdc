#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>

#include <utility>

class QTcpServer;
class QTcpSocket;

// A real HTTP/1.1 server on 127.0.0.1 for tests, benchmarks and the end-to-end
// scripts: it records every request (method, path, headers, exact body) and
// answers each with the reply set by the test, well-formed or broken.
class LoopbackServer final : public QObject
{
    Q_OBJECT

public:
    enum class Behaviour {
        Answer, // status line, headers, the whole body
        Chunked, // the same without Content-Length, so the size is not known ahead
        Drip, // the body one byte at a time, steadily but slowly
        StallAfterHeaders, // headers announcing the body, then silence
        EndlessHead, // the status line, "X: ", then the body again and again as fast as it is read
    };

    struct Request {
        QByteArray method;
        QByteArray path;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;

        // The value of the first header of that name (case-insensitive), or a null array.
        QByteArray header(const QByteArray &name) const;
    };

    struct Reply {
        int status = 200;
        QByteArray body = {};
        Behaviour behaviour = Behaviour::Answer;
        QByteArray location = {}; // sent as Location when set
    };

    explicit LoopbackServer(QObject *parent = nullptr);
    ~LoopbackServer() override;
    Q_DISABLE_COPY_MOVE(LoopbackServer)

    QUrl url(const QString &path = QStringLiteral("/")) const;
    void setReply(const Reply &reply) { m_reply = reply; }
    const QList<Request> &requests() const { return m_requests; }

Q_SIGNALS:
    void received(const LoopbackServer::Request &request);

private:
    void accept();
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket);

    QTcpServer *m_server;
    Reply m_reply;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
