#pragma once

#include "translationbackend.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class TranslateLocallyClient;

// On-device translation through translateLocally workers: one worker per
// direction, so each keeps its own model loaded. Chinese input is split into
// sentences here because the worker does not split it; lines are kept.
// Workers stop when idle, after a failed try (a worker knows only the models
// installed when it started), and all of them when the application quits.
class TranslateLocallyBackend final : public QObject,
                                      public TranslationBackend,
                                      public std::enable_shared_from_this<TranslateLocallyBackend>
{
    Q_OBJECT

public:
    struct Timeouts {
        std::chrono::milliseconds firstReply;
        std::chrono::milliseconds reply;
        std::chrono::milliseconds idle;
    };
    static Timeouts defaultTimeouts();

    static std::shared_ptr<TranslateLocallyBackend> create(Timeouts timeouts = defaultTimeouts());
    ~TranslateLocallyBackend() override;
    Q_DISABLE_COPY_MOVE(TranslateLocallyBackend)

    std::shared_ptr<TranslationSession> makeSession(const TranslationConfiguration &configuration) override;

    // Throws TranslateLocallyError.
    QCoro::Task<QString> translate(TranslationConfiguration configuration, QString text);
    // Stops every worker; later requests start them again.
    void shutdown();

private:
    explicit TranslateLocallyBackend(Timeouts timeouts);

    struct Direction {
        TranslateLocallyClient *client = nullptr;
        QString modelId;
        quint64 listedForWorker = 0; // which worker (by start count) the model was chosen with
    };

    Direction &direction(const TranslationConfiguration &configuration);
    QCoro::Task<QString> modelFor(TranslationConfiguration configuration);
    QCoro::Task<QString> translateLine(TranslateLocallyClient *client, QString modelId, QString line,
                                       TranslationConfiguration configuration);

    Timeouts m_timeouts;
    QHash<QString, Direction> m_directions;
};
