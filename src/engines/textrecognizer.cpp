#include "engines/textrecognizer.h"

#include "engines/engineslog.h"
#include "engines/programfile.h"
#include "engines/recognizedtext.h"

#include <QFileInfo>
#include <QProcess>

namespace {

// Closing its input makes the worker exit; one that does not within this
// time is killed.
constexpr int gracefulExitMs = 2000;
constexpr auto workerName = "tolvanis-recognizer";

// The texts the user sees. Outside the coroutine: GCC 12 rejects
// QStringLiteral in a coroutine body (GCC bug 98056).
QString noTextMessage()
{
    return QStringLiteral("未识别到文字");
}

QString missingDataMessage()
{
    return QStringLiteral("未找到文字识别数据，请安装 tesseract-ocr-chi-sim 和 tesseract-ocr-eng 软件包后重试");
}

QString tooLargeMessage()
{
    return QStringLiteral("所选区域太大，无法识别文字，请选择较小的区域");
}

QString busyMessage()
{
    return QStringLiteral("正在识别上一次选择的区域，请稍候");
}

QString missingWorkerMessage()
{
    return QStringLiteral("找不到文字识别程序 tolvanis-recognizer，请重新安装 tolvanis");
}

QString crashedMessage()
{
    return QStringLiteral("文字识别程序意外退出，未能识别文字");
}

QString timedOutMessage()
{
    return QStringLiteral("文字识别用时过长，已停止");
}

Result<QString> resultOf(const RecognizerProtocol::Reply &reply)
{
    using Status = RecognizerProtocol::Status;
    switch (reply.status) {
    case Status::Text: {
        const QString text = RecognizedText::joinLines(reply.text);
        if (!text.isEmpty())
            return text;
        return Failure{noTextMessage()};
    }
    case Status::NoText:
        return Failure{noTextMessage()};
    case Status::MissingData:
        return Failure{missingDataMessage()};
    case Status::Failed:
        break;
    }
    return Failure{crashedMessage()};
}

// Greyed here, in one pass, so the worker gets a quarter of the bytes; a frame
// larger than any screen is refused before a byte is converted.
std::optional<QByteArray> requestFor(const QImage &image)
{
    if (qint64(image.width()) * image.height() > RecognizerProtocol::maximumPixels)
        return std::nullopt;
    return RecognizerProtocol::encodeRequest(image.convertToFormat(QImage::Format_Grayscale8));
}

} // namespace

TextRecognizer::TextRecognizer(QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(defaultDeadline);
    m_idle.setSingleShot(true);
    m_idle.setInterval(defaultIdleTimeout);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        qCWarning(lcEngines) << "Text recognition took too long; the worker is stopped";
        discardWorker(timedOutMessage(), true);
    });
    connect(&m_idle, &QTimer::timeout, this, [this] { discardWorker(QString(), false); });
}

TextRecognizer::~TextRecognizer()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(gracefulExitMs))
            m_process->kill();
        m_process->waitForFinished(gracefulExitMs);
    }
}

QCoro::Task<Result<QString>> TextRecognizer::recognize(QImage image)
{
    if (image.isNull())
        co_return Failure{noTextMessage()};
    if (m_pending)
        co_return Failure{busyMessage()};
    const std::optional<QByteArray> request = requestFor(image);
    if (!request)
        co_return Failure{tooLargeMessage()};
    // A worker that fails to start may be gone again before start() returns.
    if (!m_process && (!startWorker() || !m_process))
        co_return Failure{missingWorkerMessage()};

    OneShot<Result<QString>> reply;
    m_pending = reply;
    m_idle.stop();
    m_deadline.start();
    m_process->write(*request);
    co_return co_await reply;
}

qint64 TextRecognizer::workerProcessId() const
{
    return m_process ? m_process->processId() : 0;
}

QString TextRecognizer::workerProgram() const
{
    if (!m_program.isEmpty())
        return m_program;
    return programFile(workerName, QStringLiteral(TOLVANIS_RECOGNIZER_FROM_BINDIR));
}

bool TextRecognizer::startWorker()
{
    const QString program = workerProgram();
    if (!QFileInfo(program).isExecutable()) {
        qCWarning(lcEngines) << "No text recognition worker at" << program;
        return false;
    }
    auto *process = new QProcess(this);
    process->setProgram(program);
    // Tesseract's OpenMP threads busy-wait for each other: with two cores and
    // anything else running, one thread read an 800×200 region in a quarter
    // of the wall time and a sixth of the processor time.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    process->setProcessEnvironment(environment);
    // Tesseract's complaints go to our log output, not into the replies.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, &TextRecognizer::readReplies);
    connect(process, &QProcess::finished, this, [this, process] {
        if (process == m_process)
            discardWorker(crashedMessage(), false);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (process == m_process && error == QProcess::FailedToStart)
            discardWorker(missingWorkerMessage(), false);
    });
    m_process = process;
    m_replies = RecognizerProtocol(RecognizerProtocol::maximumReplyLength);
    process->start(QIODevice::ReadWrite);
    qCInfo(lcEngines) << "Text recognition worker started";
    return true;
}

void TextRecognizer::readReplies()
{
    if (!m_process)
        return;
    if (!m_replies.feed(m_process->readAllStandardOutput())) {
        qCWarning(lcEngines) << "The text recognition worker sent a malformed frame";
        discardWorker(crashedMessage(), true);
        return;
    }
    const QProcess *worker = m_process;
    for (const QByteArray &payload : m_replies.takeMessages()) {
        // A reply settled below may have stopped this worker or started another.
        if (m_process != worker)
            return;
        const std::optional<RecognizerProtocol::Reply> reply = RecognizerProtocol::decodeReply(payload);
        if (!reply || !m_pending) {
            qCWarning(lcEngines) << "The text recognition worker sent an unexpected reply";
            discardWorker(crashedMessage(), true);
            return;
        }
        auto pending = std::exchange(m_pending, std::nullopt);
        m_deadline.stop();
        // A worker without its data exits; the next request starts a new one,
        // which finds data installed meanwhile.
        if (reply->status == RecognizerProtocol::Status::MissingData)
            discardWorker(QString(), false);
        else
            m_idle.start();
        pending->resolve(resultOf(*reply));
    }
}

void TextRecognizer::discardWorker(const QString &reason, bool kill)
{
    m_deadline.stop();
    m_idle.stop();
    if (QProcess *process = std::exchange(m_process, nullptr)) {
        process->disconnect(this);
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        if (kill || process->state() == QProcess::NotRunning) {
            process->kill();
            if (process->state() == QProcess::NotRunning)
                process->deleteLater();
        } else {
            process->closeWriteChannel();
            QTimer::singleShot(gracefulExitMs, process, &QProcess::kill);
        }
        qCInfo(lcEngines) << "Text recognition worker stopped";
        Q_EMIT workerStopped();
    }
    if (auto pending = std::exchange(m_pending, std::nullopt))
        pending->resolve(Failure{reason});
}
