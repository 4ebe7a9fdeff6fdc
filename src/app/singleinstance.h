#pragma once

#include "core/result.h"

#include <QObject>

class QLocalServer;

// One tolvanis per user session: the first instance listens on a local socket
// in the runtime directory; a later launch hands it its request and exits.
// A request is one line: the command, then optionally a space and the XDG
// activation token the launcher gave the later process.
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

    explicit SingleInstance(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultName();

    // True when another instance answered and was handed the request.
    bool notifyRunningInstance(Request request = Request::Open, const QString &activationToken = QString());
    // Starts listening; fails when the name cannot be taken.
    Result<void> listen();

Q_SIGNALS:
    void requested(SingleInstance::Request request, const QString &activationToken);

private:
    void readRequests(class QLocalSocket *socket);

    QString m_name;
    QLocalServer *m_server = nullptr;
};
