#pragma once

#include <QString>

// Language tags as translation models spell them ("zh-Hans", "zh_CN", "cmn",
// "eng", …) reduced to the two codes the on-device engine works with.
namespace LanguageTag {
// "zh" for Simplified or unspecified Chinese, "en" for English, and otherwise
// the lower-case tag itself, so it matches neither. Traditional script and
// regions that use it (Hant, TW, HK, MO) are not "zh": such a model would
// answer in characters the user did not ask for.
QString normalised(const QString &tag);
} // namespace LanguageTag
