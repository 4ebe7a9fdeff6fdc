#pragma once

#include <QString>

// Decides, for the automatic direction, whether a text is primarily Chinese:
// the recogniser's verdict wins when it names Chinese or English; otherwise the
// share of CJK ideographs decides.
class LanguageDetector final
{
public:
    enum class DominantLanguage {
        None,
        SimplifiedChinese,
        TraditionalChinese,
        English,
        Other
    };
    using Recognizer = DominantLanguage (*)(const QString &text);

    LanguageDetector() = delete;

    static bool isPrimarilyChinese(const QString &text);
    // The same decision with another recogniser, so the precedence rules can be
    // checked without depending on what CLD2 says of a given text.
    static bool isPrimarilyChinese(const QString &text, Recognizer recognizer);

    // CLD2's best-effort verdict for a text.
    static DominantLanguage recognize(const QString &text);

private:
    static double chineseCharacterRatio(const QString &text);
};
