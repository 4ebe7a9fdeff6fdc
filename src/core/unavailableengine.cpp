#include "unavailableengine.h"

#include "translationerror.h"

UnavailableEngine::UnavailableEngine(QString name, QString reason)
    : m_name(std::move(name))
    , m_reason(std::move(reason))
{
}

QCoro::Task<QString> UnavailableEngine::translate(QString, QString, QString)
{
    throw TranslationError::network(m_reason);
    co_return QString();
}

QString UnavailableEngine::missingTranslateLocallyReason()
{
    return QStringLiteral("系统翻译需要安装 translateLocally");
}
