// A loopback chat-completions server for the end-to-end scripts: prints its
// port, appends every request (request line, headers, body, then a "----"
// line) to a log file, and answers each with one fixed reply.
//   fakechatserver <log file> <reply text>
#include "loopbackserver.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        QTextStream(stderr) << "usage: fakechatserver <log file> <reply text>\n";
        return 2;
    }
    const QString logPath = QString::fromLocal8Bit(argv[1]);
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                              {QStringLiteral("content"), QString::fromUtf8(argv[2])}};
    const QJsonObject reply{{QStringLiteral("choices"), QJsonArray{QJsonObject{{QStringLiteral("message"), message}}}}};
    LoopbackServer server;
    server.setReply({200, QJsonDocument(reply).toJson(QJsonDocument::Compact)});
    QObject::connect(&server, &LoopbackServer::received, [&](const LoopbackServer::Request &request) {
        QByteArray entry = request.method + ' ' + request.path + " HTTP/1.1\r\n";
        for (const auto &[name, value] : request.headers)
            entry += name + ": " + value + "\r\n";
        QFile log(logPath);
        if (log.open(QIODevice::Append))
            log.write(entry + "\r\n" + request.body + "\n----\n");
    });
    QTextStream(stdout) << server.url().port() << Qt::endl;
    return app.exec();
}
