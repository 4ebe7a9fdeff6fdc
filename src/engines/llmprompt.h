#pragma once

#include <QString>

// The instruction both model services get: translate from one language name
// into the other, answer with the translation only, then a blank line and the text.
namespace LLMPrompt {
inline QString build(const QString &text, const QString &from, const QString &to)
{
    return QStringLiteral("将以下") + from + QStringLiteral("文本翻译为") + to +
        QStringLiteral("，只输出译文，不要任何解释或额外内容：\n\n") + text;
}
} // namespace LLMPrompt
