// Any text the user types or pastes, for the automatic direction.
#include "core/languagedetector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    LanguageDetector::isPrimarilyChinese(text);
    return 0;
}
