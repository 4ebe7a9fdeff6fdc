#include "systemengine.h"

#include "languagenames.h"
#include "systemtranslationbridge.h"
#include "texttrim.h"
#include "translationerror.h"

#include <QStandardPaths>

SystemEngine::SystemEngine(std::shared_ptr<SystemTranslationBridge> bridge)
    : m_bridge(std::move(bridge))
{
}

QString SystemEngine::name() const
{
    return QStringLiteral("系统离线");
}

QCoro::Task<QString> SystemEngine::translate(QString text, QString from, QString to)
{
    const QString trimmed = TextTrim::trimmed(text);
    if (trimmed.isEmpty())
        throw TranslationError::emptyInput();
    co_return co_await m_bridge->translate(trimmed, languageIdentifier(from), languageIdentifier(to));
}

bool SystemEngine::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("translateLocally")).isEmpty();
}

QString SystemEngine::languageIdentifier(const QString &languageName)
{
    return languageName == LanguageName::chinese() ? QStringLiteral("zh") : QStringLiteral("en");
}
