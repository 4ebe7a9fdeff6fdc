#pragma once

#include "core/result.h"
#include "engines/oneshot.h"
#include "engines/recognizerprotocol.h"

#include <QCoroTask>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

class QProcess;

// Recognises Chinese and English text in a captured screen region, off the GUI thread.
//
// The work is done by a tolvanis-recognizer process, started by the first
// request and told to exit once it has been idle for a while, so that an idle
// program holds none of Tesseract's memory. A worker that is not done by the
// deadline is killed (an image can make Tesseract hang); one request runs at a
// time. GUI thread only.
class TextRecognizer final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultDeadline{30000};
    static constexpr std::chrono::milliseconds defaultIdleTimeout{60000};

    explicit TextRecognizer(QObject *parent = nullptr);
    ~TextRecognizer() override;
    Q_DISABLE_COPY_MOVE(TextRecognizer)

    // The recognised text, lines joined by script; a failure's reason is the Chinese text shown to the user
    // ("未识别到文字", or the missing-data message naming tesseract-ocr-chi-sim and tesseract-ocr-eng).
    QCoro::Task<Result<QString>> recognize(QImage image);

    // The time one recognition may take, a new worker's start-up included.
    void setDeadline(std::chrono::milliseconds deadline) { m_deadline.setInterval(deadline); }
    void setIdleTimeout(std::chrono::milliseconds timeout) { m_idle.setInterval(timeout); }
    // The worker to run instead of the one next to the program or installed.
    void setWorkerProgram(const QString &path) { m_program = path; }

    bool isRunning() const { return m_process != nullptr; }
    // For measuring the worker's memory; 0 when none runs.
    qint64 workerProcessId() const;

Q_SIGNALS:
    // The worker is gone, whichever way it went.
    void workerStopped();

private:
    QString workerProgram() const;
    bool startWorker();
    void readReplies();
    // Detaches the worker, answers a pending request with `reason`, and kills
    // the process unless it is meant to exit by itself.
    void discardWorker(const QString &reason, bool kill);

    QProcess *m_process = nullptr;
    RecognizerProtocol m_replies{RecognizerProtocol::maximumReplyLength};
    std::optional<OneShot<Result<QString>>> m_pending;
    QTimer m_deadline;
    QTimer m_idle;
    QString m_program;
};
