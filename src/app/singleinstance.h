#pragma once

#include "core/result.h"

#include <QObject>

#include <chrono>

class QSocketNotifier;
class QTimer;

// One tolvanis per user session: the first instance listens on a local socket
// in the runtime directory; a later launch hands it its request and exits.
// A request is one line: the command, then optionally a space and the XDG
// activation token the launcher gave the later process. Requests go only to a
// listener of the same user and are heard only from one; connections that say
// nothing are closed after `idleTimeout`, at most maximumConnections are open
// at once, and at the descriptor limit the listener waits for a descriptor to
// come free rather than spin on accept().
// Plain sockets, not Qt Network's local server: that library and what it
// loads (krb5, libproxy) cost more of the start-up than everything this does.
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
    Q_DISABLE_COPY_MOVE(SingleInstance)

    static QString defaultName();

    // True when another instance answered and was handed the request.
    bool notifyRunningInstance(Request request = Request::Open, const QString &activationToken = QString());
    // Starts listening; fails when the name cannot be taken.
    Result<void> listen();

Q_SIGNALS:
    void requested(SingleInstance::Request request, const QString &activationToken);

private:
    class Connection;

    Result<void> takeName();
    void acceptConnections();
    void readRequests(Connection *connection);
    void drop(Connection *connection);
    void waitForADescriptor(int error);
    void acceptAgain();

    QString m_name;
    std::chrono::milliseconds m_idleTimeout;
    int m_listener = -1;
    QSocketNotifier *m_incoming = nullptr;
    // Runs only while accept() waits for a descriptor and no connection of
    // ours is open to free one.
    QTimer *m_retry = nullptr;
    int m_connections = 0;
    bool m_atDescriptorLimit = false;
};
