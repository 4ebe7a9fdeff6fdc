#pragma once

#include <QString>

// Trimming used wherever the product calls a text "trimmed": white space and
// line breaks are removed from both ends only. The set is every character of
// Unicode general category Z (space, line and paragraph separators, the
// ideographic space U+3000 included), the controls U+0009..U+000D and U+0085 —
// exactly what QChar::isSpace() accepts, so QString::trimmed() does the work.
namespace TextTrim {
inline QString trimmed(const QString &text)
{
    return text.trimmed();
}
bool isBlank(QStringView text);
} // namespace TextTrim
