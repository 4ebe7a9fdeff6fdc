#include "systemtranslationbridge.h"

#include "translationerror.h"
#include "translationsession.h"

SystemTranslationBridge::SystemTranslationBridge(QObject *parent)
    : QObject(parent)
{
}

SystemTranslationBridge::~SystemTranslationBridge()
{
    if (m_continuation)
        m_continuation->reject(TranslationError::unsupportedLanguagePack());
}

QCoro::Task<QString> SystemTranslationBridge::translate(QString text, QString source, QString target)
{
    OneShot<QString> reply;
    std::optional<OneShot<QString>> superseded = std::exchange(m_continuation, reply);
    m_pendingText = std::move(text);
    m_configuration = TranslationConfiguration{std::move(source), std::move(target)};
    Q_EMIT configurationChanged();
    if (superseded)
        superseded->reject(TranslationError::unsupportedLanguagePack());
    co_return co_await reply;
}

QCoro::Task<> SystemTranslationBridge::handle(std::shared_ptr<TranslationSession> session)
{
    if (!m_continuation)
        co_return;
    // Taken before the session runs, so a request arriving meanwhile is a new one.
    OneShot<QString> reply = *std::exchange(m_continuation, std::nullopt);
    const QString text = m_pendingText;
    try {
        if (!session)
            throw TranslationError::unsupportedLanguagePack();
        reply.resolve(co_await session->translate(text));
    } catch (...) {
        // Whatever went wrong, the user is told to get the language pack.
        reply.reject(TranslationError::unsupportedLanguagePack());
    }
}
