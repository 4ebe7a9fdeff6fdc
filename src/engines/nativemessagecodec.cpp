#include "engines/nativemessagecodec.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr qsizetype headerSize = sizeof(std::uint32_t);
}

std::optional<QByteArray> NativeMessageCodec::encode(QByteArrayView payload)
{
    if (payload.size() < minimumLength || payload.size() > maximumLength)
        return std::nullopt;
    const auto length = static_cast<std::uint32_t>(payload.size());
    QByteArray frame(headerSize + payload.size(), Qt::Uninitialized);
    std::memcpy(frame.data(), &length, headerSize);
    std::memcpy(frame.data() + headerSize, payload.data(), payload.size());
    return frame;
}

bool NativeMessageCodec::feed(QByteArrayView bytes)
{
    if (m_broken)
        return false;
    m_buffer.append(bytes);
    qsizetype offset = 0;
    while (m_buffer.size() - offset >= headerSize) {
        std::uint32_t length = 0;
        std::memcpy(&length, m_buffer.constData() + offset, headerSize);
        if (length < minimumLength || length > maximumLength) {
            m_broken = true;
            m_buffer.clear();
            return false;
        }
        if (m_buffer.size() - offset - headerSize < qsizetype(length))
            break;
        m_messages.append(m_buffer.mid(offset + headerSize, length));
        offset += headerSize + length;
    }
    m_buffer.remove(0, offset);
    return true;
}

QList<QByteArray> NativeMessageCodec::takeMessages()
{
    return std::exchange(m_messages, {});
}
