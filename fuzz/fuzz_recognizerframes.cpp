// The byte stream either end of the recogniser's pipe may receive, cut into
// reads of arbitrary sizes (the first byte picks them); every complete message
// is read both as a request and as a reply.
#include "engines/recognizerprotocol.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t chunk = std::max<size_t>(1, data[0]);
    RecognizerProtocol decoder(RecognizerProtocol::maximumReplyLength);
    for (size_t offset = 1; offset < size; offset += chunk) {
        const size_t length = std::min(chunk, size - offset);
        if (decoder.feed(QByteArrayView(data + offset, static_cast<qsizetype>(length))) == decoder.isBroken())
            std::abort();
        for (const QByteArray &message : decoder.takeMessages()) {
            if (message.size() > RecognizerProtocol::maximumReplyLength)
                std::abort();
            // A request that decodes encodes back to the same bytes.
            if (const std::optional<QImage> image = RecognizerProtocol::decodeRequest(message)) {
                const std::optional<QByteArray> frame = RecognizerProtocol::encodeRequest(*image);
                if (!frame || frame->mid(4) != message)
                    std::abort();
            }
            if (const auto reply = RecognizerProtocol::decodeReply(message))
                if (RecognizerProtocol::encodeReply(*reply).size() > message.size() * 3 + 4)
                    std::abort();
        }
    }
    return 0;
}
