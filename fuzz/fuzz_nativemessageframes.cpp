// The byte stream a translateLocally worker writes to our end of its pipe, cut
// into reads of arbitrary sizes (the first byte picks them).
#include "engines/nativemessagecodec.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t chunk = std::max<size_t>(1, data[0]);
    NativeMessageCodec decoder;
    qsizetype received = 0;
    for (size_t offset = 1; offset < size; offset += chunk) {
        const size_t length = std::min(chunk, size - offset);
        const bool accepted = decoder.feed(QByteArrayView(data + offset, static_cast<qsizetype>(length)));
        if (accepted == decoder.isBroken())
            std::abort();
        for (const QByteArray &message : decoder.takeMessages()) {
            // A message taken from the stream frames back to the bytes it came from.
            const std::optional<QByteArray> frame = NativeMessageCodec::encode(message);
            if (!frame || frame->size() != message.size() + 4)
                std::abort();
            received += frame->size();
        }
    }
    if (!decoder.isBroken() && received + decoder.bufferedBytes() != qsizetype(size - 1))
        std::abort();
    return 0;
}
