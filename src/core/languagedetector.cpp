#include "core/languagedetector.h"

#include "core/texttrim.h"

// CLD2's headers use FILE and friends without including <cstdio>.
#include <compact_lang_det.h>
#include <cstdio>

namespace {

constexpr double chineseRatioThreshold = 0.2;

bool isChineseIdeograph(char32_t scalar)
{
    return (scalar >= 0x4E00 && scalar <= 0x9FFF) || (scalar >= 0x3400 && scalar <= 0x4DBF);
}

} // namespace

bool LanguageDetector::isPrimarilyChinese(const QString &text)
{
    return isPrimarilyChinese(text, &LanguageDetector::recognize);
}

bool LanguageDetector::isPrimarilyChinese(const QString &text, Recognizer recognizer)
{
    const QString trimmed = TextTrim::trimmed(text);
    if (trimmed.isEmpty())
        return false;

    switch (recognizer(trimmed)) {
    case DominantLanguage::SimplifiedChinese:
    case DominantLanguage::TraditionalChinese:
        return true;
    case DominantLanguage::English:
        return false;
    case DominantLanguage::None:
    case DominantLanguage::Other:
        break;
    }
    return chineseCharacterRatio(trimmed) > chineseRatioThreshold;
}

LanguageDetector::DominantLanguage LanguageDetector::recognize(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    CLD2::Language language3[3];
    int percent3[3];
    double normalizedScore3[3];
    int textBytes = 0;
    bool isReliable = false;
    int validPrefixBytes = 0;
    const CLD2::Language language = CLD2::ExtDetectLanguageSummaryCheckUTF8(
        utf8.constData(), static_cast<int>(utf8.size()), /*is_plain_text=*/true, /*cld_hints=*/nullptr,
        CLD2::kCLDFlagBestEffort, language3, percent3, normalizedScore3, /*resultchunkvector=*/nullptr, &textBytes,
        &isReliable, &validPrefixBytes);

    switch (language) {
    case CLD2::CHINESE:
        return DominantLanguage::SimplifiedChinese;
    case CLD2::CHINESE_T:
        return DominantLanguage::TraditionalChinese;
    case CLD2::ENGLISH:
        return DominantLanguage::English;
    case CLD2::UNKNOWN_LANGUAGE:
        return DominantLanguage::None;
    default:
        return DominantLanguage::Other;
    }
}

double LanguageDetector::chineseCharacterRatio(const QString &text)
{
    // Count Unicode scalars, not UTF-16 units: a surrogate pair is one scalar
    // (an Extension B ideograph counts once, in the denominator only).
    qsizetype scalars = 0;
    qsizetype ideographs = 0;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text.at(i);
        ++scalars;
        if (c.isHighSurrogate() && i + 1 < length && text.at(i + 1).isLowSurrogate()) {
            ++i; // supplementary plane: never one of the two counted ranges
            continue;
        }
        if (isChineseIdeograph(c.unicode()))
            ++ideographs;
    }
    if (scalars == 0)
        return 0.0;
    return static_cast<double>(ideographs) / static_cast<double>(scalars);
}
