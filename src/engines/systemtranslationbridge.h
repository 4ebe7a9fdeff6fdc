#pragma once

#include "oneshot.h"
#include "translationconfiguration.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class TranslationSession;

// Holds the one pending on-device request until the host hands a session for
// it to handle(). A request publishes its languages as the configuration; the
// host runs one session per published request. GUI thread only.
//
// A second request while one is still waiting replaces it: the older caller
// fails at once with unsupportedLanguagePack (it is never left waiting, and it
// never receives the newer text's translation).
class SystemTranslationBridge final : public QObject
{
    Q_OBJECT

public:
    explicit SystemTranslationBridge(QObject *parent = nullptr);
    ~SystemTranslationBridge() override;
    Q_DISABLE_COPY_MOVE(SystemTranslationBridge)

    // Absent until the first request; then the languages of the latest one.
    const std::optional<TranslationConfiguration> &configuration() const { return m_configuration; }

    // Publishes the request and waits until a session has handled it. Throws
    // TranslationError::unsupportedLanguagePack() on any failure.
    QCoro::Task<QString> translate(QString text, QString source, QString target);
    // Serves the waiting request, if any, with the session; never throws.
    QCoro::Task<> handle(std::shared_ptr<TranslationSession> session);

Q_SIGNALS:
    // Emitted for every request, also when the languages did not change.
    void configurationChanged();

private:
    std::optional<TranslationConfiguration> m_configuration;
    QString m_pendingText;
    std::optional<OneShot<QString>> m_continuation;
};
