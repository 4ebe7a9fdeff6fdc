// The body of a successful reply from the chat-completions API.
#include "engines/openaicompatibleengine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    OpenAICompatibleEngine::replyText(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}
