#pragma once

#include <QObject>

class QLocalServer;

// One tolvanis per user session: the first instance listens on a local socket
// in the runtime directory; a later launch asks it to open its panel and exits.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultName();

    // True when another instance answered (and was asked to show its panel).
    bool notifyRunningInstance();
    // Starts listening; false when the name cannot be taken.
    bool listen();

Q_SIGNALS:
    void activationRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};
