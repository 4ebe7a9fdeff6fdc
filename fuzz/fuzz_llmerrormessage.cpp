// The body of a failed reply from a language-model service.
#include "engines/llmhttp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LLMHTTP::errorMessage(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}
