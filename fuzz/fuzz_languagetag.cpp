// A language tag as a translation model reports it.
#include "engines/languagetag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LanguageTag::normalised(QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}
