#include "engines/translatelocallyclient.h"

#include "engines/engineslog.h"
#include "engines/translatelocallyerror.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// Closing its input makes the worker finish what it has and exit; one that
// does not within this time is killed.
constexpr int gracefulExitMs = 2000;

// Outside the coroutine: GCC 12 rejects QStringLiteral in a coroutine body (GCC bug 98056).
std::optional<QByteArray> encodeRequest(qint64 id, const QString &command, const QJsonObject &data)
{
    const QJsonObject message{
        {QStringLiteral("id"), id}, {QStringLiteral("command"), command}, {QStringLiteral("data"), data}};
    return NativeMessageCodec::encode(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

} // namespace

TranslateLocallyClient::TranslateLocallyClient(QObject *parent)
    : QObject(parent)
{
    m_replyTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(defaultIdleTimeout);
    connect(&m_replyTimer, &QTimer::timeout, this, &TranslateLocallyClient::replyTimedOut);
    connect(&m_idleTimer, &QTimer::timeout, this, &TranslateLocallyClient::stopIdleWorker);
}

TranslateLocallyClient::~TranslateLocallyClient()
{
    shutdown();
}

void TranslateLocallyClient::setIdleTimeout(std::chrono::milliseconds timeout)
{
    m_idleTimer.setInterval(timeout);
}

QCoro::Task<QJsonValue> TranslateLocallyClient::request(QString command, QJsonObject data)
{
    if (!m_process)
        startWorker();
    const qint64 id = ++m_nextId;
    const std::optional<QByteArray> frame = encodeRequest(id, command, data);
    if (!frame)
        throw TranslateLocallyError(TranslateLocallyError::Kind::TooLarge);

    OneShot<QJsonValue> reply;
    m_pending.insert(id, reply);
    m_idleTimer.stop();
    if (!m_replyTimer.isActive())
        armReplyTimer();
    m_process->write(*frame);
    co_return co_await reply;
}

void TranslateLocallyClient::startWorker()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("translateLocally"));
    if (program.isEmpty())
        throw TranslateLocallyError(TranslateLocallyError::Kind::NotInstalled);
    if (!m_workDirectory || !m_workDirectory->isValid()) {
        m_workDirectory = std::make_unique<QTemporaryDir>();
        if (!m_workDirectory->isValid())
            throw TranslateLocallyError(TranslateLocallyError::Kind::FailedToStart, m_workDirectory->errorString());
    }

    auto *process = new QProcess(this);
    process->setProgram(program);
    // Without -p the program opens its window, and dies where there is no display.
    process->setArguments({QStringLiteral("-p")});
    process->setWorkingDirectory(m_workDirectory->path());
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::readyReadStandardOutput, this, &TranslateLocallyClient::readReplies);
    connect(process, &QProcess::finished, this, &TranslateLocallyClient::workerFinished);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && process == m_process)
            discardWorker(TranslateLocallyError(TranslateLocallyError::Kind::FailedToStart, process->errorString()),
                          false);
    });
    m_process = process;
    m_codec = NativeMessageCodec();
    m_answered = false;
    ++m_workersStarted;
    process->start(QIODevice::ReadWrite);
    if (!m_process)
        throw TranslateLocallyError(TranslateLocallyError::Kind::FailedToStart);
}

void TranslateLocallyClient::armReplyTimer()
{
    m_replyTimer.start(m_answered ? m_replyTimeout : m_firstReplyTimeout);
}

void TranslateLocallyClient::readReplies()
{
    QProcess *const process = m_process;
    if (!process || sender() != process)
        return;
    if (!m_codec.feed(process->readAllStandardOutput())) {
        discardWorker(TranslateLocallyError(TranslateLocallyError::Kind::Protocol, QStringLiteral("bad frame length")),
                      true);
        return;
    }
    const QList<QByteArray> messages = m_codec.takeMessages();
    for (const QByteArray &message : messages) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(message, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            discardWorker(TranslateLocallyError(TranslateLocallyError::Kind::Protocol, parseError.errorString()), true);
            return;
        }
        const QJsonObject reply = document.object();
        // Only ids we handed out: a double outside qint64 has no defined conversion.
        const double id = reply.value(u"id").toDouble(-1);
        const auto found = id >= 1 && id <= double(m_nextId) ? m_pending.find(qint64(id)) : m_pending.end();
        if (found == m_pending.end())
            continue; // a notification, or the answer to a request that already failed
        OneShot<QJsonValue> waiter = found.value();
        m_pending.erase(found);
        m_answered = true;
        if (m_pending.isEmpty()) {
            m_replyTimer.stop();
            m_idleTimer.start();
        } else {
            armReplyTimer();
        }
        // The waiter runs inside resolve() and may send, stop or restart.
        if (reply.value(u"success").toBool())
            waiter.resolve(reply.value(u"data"));
        else
            waiter.reject(
                TranslateLocallyError(TranslateLocallyError::Kind::Refused, reply.value(u"error").toString()));
        if (m_process != process)
            return;
    }
}

void TranslateLocallyClient::workerFinished()
{
    if (!m_process || sender() != m_process)
        return;
    const QString detail = m_process->exitStatus() == QProcess::CrashExit
        ? QStringLiteral("crashed")
        : QStringLiteral("exited with status %1").arg(m_process->exitCode());
    if (!m_pending.isEmpty())
        qCWarning(lcEngines) << "translateLocally worker" << detail << "with" << m_pending.size() << "requests pending";
    discardWorker(TranslateLocallyError(TranslateLocallyError::Kind::Exited, detail), false);
}

void TranslateLocallyClient::replyTimedOut()
{
    qCWarning(lcEngines) << "translateLocally worker did not answer in time; killing it";
    discardWorker(TranslateLocallyError(TranslateLocallyError::Kind::Timeout), true);
}

void TranslateLocallyClient::stopIdleWorker()
{
    if (m_pending.isEmpty())
        stop();
}

void TranslateLocallyClient::stop()
{
    discardWorker(TranslateLocallyError(TranslateLocallyError::Kind::Stopped), false);
}

void TranslateLocallyClient::discardWorker(const TranslateLocallyError &error, bool kill)
{
    if (error.kind() == TranslateLocallyError::Kind::Protocol ||
        error.kind() == TranslateLocallyError::Kind::FailedToStart)
        qCWarning(lcEngines) << "translateLocally worker discarded:" << error.what();
    m_replyTimer.stop();
    m_idleTimer.stop();
    QProcess *const process = std::exchange(m_process, nullptr);
    if (process) {
        disconnect(process, nullptr, this, nullptr);
        if (process->state() == QProcess::NotRunning) {
            process->deleteLater();
        } else {
            connect(process, &QProcess::finished, process, &QObject::deleteLater);
            if (kill) {
                process->kill();
            } else {
                process->closeWriteChannel();
                QTimer::singleShot(gracefulExitMs, process, &QProcess::kill);
            }
        }
    }
    const QHash<qint64, OneShot<QJsonValue>> pending = std::exchange(m_pending, {});
    for (OneShot<QJsonValue> waiter : pending)
        waiter.reject(error);
    if (process)
        Q_EMIT workerStopped();
}

void TranslateLocallyClient::shutdown()
{
    m_replyTimer.stop();
    m_idleTimer.stop();
    if (QProcess *const process = std::exchange(m_process, nullptr)) {
        disconnect(process, nullptr, this, nullptr);
        process->closeWriteChannel();
        if (!process->waitForFinished(gracefulExitMs)) {
            process->kill();
            process->waitForFinished(gracefulExitMs);
        }
        delete process;
        Q_EMIT workerStopped();
    }
    const QHash<qint64, OneShot<QJsonValue>> pending = std::exchange(m_pending, {});
    for (OneShot<QJsonValue> waiter : pending)
        waiter.reject(TranslateLocallyError(TranslateLocallyError::Kind::Stopped));
}
