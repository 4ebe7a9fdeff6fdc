#include "engines/reasoningblock.h"

namespace {

constexpr QStringView openTag = u"<think>";
constexpr QStringView closeTag = u"</think>";

qsizetype firstNonSpace(const QString &text, qsizetype from)
{
    while (from < text.size() && text.at(from).isSpace())
        ++from;
    return from;
}

} // namespace

std::optional<QString> ReasoningBlock::withoutLeadingBlock(const QString &text)
{
    const qsizetype start = firstNonSpace(text, 0);
    if (!QStringView(text).sliced(start).startsWith(openTag))
        return text;
    const qsizetype close = text.indexOf(closeTag, start + openTag.size());
    if (close < 0)
        return std::nullopt;
    const qsizetype answer = firstNonSpace(text, close + closeTag.size());
    if (answer == text.size())
        return std::nullopt;
    return text.sliced(answer);
}
