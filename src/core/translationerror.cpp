#include "core/translationerror.h"

TranslationError::TranslationError(Kind kind, const QString &message)
    : m_kind(kind)
    , m_message(kind == Kind::Network ? message : QString())
{
    m_what = errorDescription().toUtf8();
}

QString TranslationError::errorDescription() const
{
    switch (m_kind) {
    case Kind::Network:
        return QStringLiteral("网络请求失败：") + m_message;
    case Kind::EmptyInput:
        return QStringLiteral("请输入要翻译的文字");
    case Kind::ApiKeyMissing:
        return QStringLiteral("尚未配置 API Key，请前往设置填写");
    case Kind::Timeout:
        return QStringLiteral("请求超时，请稍后重试");
    case Kind::InvalidResponse:
        return QStringLiteral("翻译服务返回了无法识别的结果");
    case Kind::UnsupportedLanguagePack:
        return QStringLiteral("系统翻译语言包尚未就绪，请前往系统设置下载");
    case Kind::EngineUnavailable:
        return QStringLiteral("无法载入 LLM 引擎组件，请重新启动或重新安装 tolvanis");
    }
    Q_UNREACHABLE();
    return {};
}
