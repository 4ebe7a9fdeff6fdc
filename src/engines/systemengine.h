#pragma once

#include "core/translationengine.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class TranslateLocallyClient;

// The on-device engine "系统离线": translateLocally workers on this machine, one
// per direction so that each keeps its own model loaded. A worker starts with
// the first request for its direction, never earlier, and stops when idle,
// after a failed try (it knows only the models installed when it started) and
// when the application quits. Chinese input is split into sentences here
// because the worker does not split it; lines are kept. Requests may overlap,
// as when the user asks again before an answer came: each gets its own
// translation. GUI thread only.
class SystemEngine final : public QObject, public TranslationEngine, public std::enable_shared_from_this<SystemEngine>
{
    Q_OBJECT

public:
    struct Timeouts {
        std::chrono::milliseconds firstReply;
        std::chrono::milliseconds reply;
        std::chrono::milliseconds idle;
    };
    static Timeouts defaultTimeouts();

    // Starts nothing: start-up must not wait for a process.
    static std::shared_ptr<SystemEngine> create(Timeouts timeouts = defaultTimeouts());
    ~SystemEngine() override;
    Q_DISABLE_COPY_MOVE(SystemEngine)

    QString name() const override;
    // Throws emptyInput for blank text, a network error saying translateLocally
    // is missing when it is not on PATH, and unsupportedLanguagePack for any
    // other failure. The translation is returned untrimmed.
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;
    // Stops every worker; later requests start them again.
    void shutdown();

private:
    explicit SystemEngine(Timeouts timeouts);

    struct Direction {
        TranslateLocallyClient *client = nullptr;
        QString modelId;
        quint64 listedForWorker = 0; // which worker (by start count) the model was chosen with
    };

    Direction &direction(const QString &source, const QString &target);
    QCoro::Task<QString> modelFor(QString source, QString target);
    // Throws TranslateLocallyError.
    QCoro::Task<QString> translateWithWorker(QString text, QString source, QString target);

    Timeouts m_timeouts;
    QHash<QString, Direction> m_directions;
};
