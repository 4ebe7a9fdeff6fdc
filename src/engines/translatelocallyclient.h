#pragma once

#include "engines/nativemessagecodec.h"
#include "engines/oneshot.h"

#include <QCoroTask>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>

class QProcess;
class QTemporaryDir;
class TranslateLocallyError;

// One `translateLocally -p` worker and the requests in flight to it. The process
// starts with the first request (never earlier), in a private empty directory
// because the worker also loads models from its working directory. Replies are
// matched to requests by id, whatever their order. The worker is killed when it
// stays silent too long with requests pending, stopped by closing its input once
// it has been idle for a while or when its owner ends it, and started again by
// the next request after it crashed or stopped; requests pending at a crash
// fail, later ones do not. GUI thread only.
class TranslateLocallyClient final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultFirstReplyTimeout{5000};
    static constexpr std::chrono::milliseconds defaultReplyTimeout{60000};
    static constexpr std::chrono::milliseconds defaultIdleTimeout{10 * 60 * 1000};

    explicit TranslateLocallyClient(QObject *parent = nullptr);
    ~TranslateLocallyClient() override;
    Q_DISABLE_COPY_MOVE(TranslateLocallyClient)

    // The first reply of a new worker includes its start-up; later replies may
    // include loading a model and translating a long sentence.
    void setFirstReplyTimeout(std::chrono::milliseconds timeout) { m_firstReplyTimeout = timeout; }
    void setReplyTimeout(std::chrono::milliseconds timeout) { m_replyTimeout = timeout; }
    void setIdleTimeout(std::chrono::milliseconds timeout);

    // Sends {"id", "command", "data"} and returns the reply's "data". Throws
    // TranslateLocallyError.
    QCoro::Task<QJsonValue> request(QString command, QJsonObject data);

    bool isRunning() const { return m_process != nullptr; }
    // How many worker processes this client has started; a new one must be
    // asked for its models again.
    quint64 workersStarted() const { return m_workersStarted; }

    // Ends the worker without waiting: closes its input and kills it if it does
    // not exit soon. Pending requests fail with Stopped; the next request starts
    // a new worker, which reads the installed models afresh.
    void stop();

    // Closes the worker's input, waits briefly for it to exit and kills it if it
    // does not; pending requests fail with Stopped. For quitting.
    void shutdown();

Q_SIGNALS:
    // The worker is gone, whichever way it went.
    void workerStopped();

private:
    void startWorker();
    void readReplies();
    void workerFinished();
    void replyTimedOut();
    void stopIdleWorker();
    // Detaches the current worker, fails every pending request with `error`, and
    // kills the process unless it is meant to exit by itself.
    void discardWorker(const TranslateLocallyError &error, bool kill);
    void armReplyTimer();

    QProcess *m_process = nullptr;
    std::unique_ptr<QTemporaryDir> m_workDirectory;
    NativeMessageCodec m_codec;
    QHash<qint64, OneShot<QJsonValue>> m_pending;
    qint64 m_nextId = 0;
    quint64 m_workersStarted = 0;
    bool m_answered = false;
    QTimer m_replyTimer;
    QTimer m_idleTimer;
    std::chrono::milliseconds m_firstReplyTimeout = defaultFirstReplyTimeout;
    std::chrono::milliseconds m_replyTimeout = defaultReplyTimeout;
};
