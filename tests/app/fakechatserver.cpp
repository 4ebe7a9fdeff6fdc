// A loopback chat-completions server for the end-to-end test: prints its port,
// appends every request (request line, headers, body) to a log file, and
// answers each with one fixed reply.
//   fakechatserver <log file> <reply text>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: fakechatserver <log file> <reply text>\n");
        return 2;
    }
    const QString logPath = QString::fromLocal8Bit(argv[1]);
    const QString reply = QString::fromUtf8(argv[2]);

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    std::printf("%d\n", server.serverPort());
    std::fflush(stdout);

    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [=] {
                buffer->append(socket->readAll());
                const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
                if (headerEnd < 0)
                    return;
                qsizetype length = 0;
                for (const QByteArray &line : buffer->left(headerEnd).split('\n')) {
                    if (line.toLower().startsWith("content-length:"))
                        length = line.mid(15).trimmed().toLongLong();
                }
                if (buffer->size() < headerEnd + 4 + length)
                    return;

                QFile log(logPath);
                if (log.open(QIODevice::Append)) {
                    log.write(buffer->left(headerEnd + 4 + length));
                    log.write("\n----\n");
                }
                const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                                          {QStringLiteral("content"), reply}};
                const QJsonObject choice{{QStringLiteral("index"), 0}, {QStringLiteral("message"), message}};
                const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("choices"), QJsonArray{choice}}})
                                            .toJson(QJsonDocument::Compact);
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                              "Content-Length: "
                              + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
                buffer->clear();
            });
        }
    });
    return app.exec();
}
