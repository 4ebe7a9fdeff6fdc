#pragma once

#include "core/result.h"

#include <QObject>

#include <chrono>

class QLocalServer;
class QLocalSocket;

// One tolvanis per user session: the first instance listens on a local socket
// in the runtime directory; a later launch hands it its request and exits.
// A request is one line: the command, then optionally a space and the XDG
// activation token the launcher gave the later process. Requests go only to a
// listener of the same user; connections that say nothing are closed after
// `idleTimeout`, at most maximumConnections are open at once, and a server
// that stopped listening (Qt closes it when accept() fails) listens again.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Request {
        Open,
        Selection,
        // Text read off a region of the screen the user selects.
        Capture
    };
    Q_ENUM(Request)

    static constexpr int maximumConnections = 8;
    static constexpr std::chrono::milliseconds defaultIdleTimeout{2000};

    explicit SingleInstance(QString name = defaultName(), std::chrono::milliseconds idleTimeout = defaultIdleTimeout,
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultName();

    // True when another instance answered and was handed the request.
    bool notifyRunningInstance(Request request = Request::Open, const QString &activationToken = QString());
    // Starts listening; fails when the name cannot be taken.
    Result<void> listen();

Q_SIGNALS:
    void requested(SingleInstance::Request request, const QString &activationToken);

private:
    void acceptConnections();
    void readRequests(QLocalSocket *socket);
    bool takeName();
    void listenAgainIfStopped();

    QString m_name;
    std::chrono::milliseconds m_idleTimeout;
    QLocalServer *m_server = nullptr;
    int m_connections = 0;
};
