#include "engines/recognizerprotocol.h"

#include <QtEndian>

#include <cstring>

namespace {

void appendLength(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 lengthAt(QByteArrayView bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.data() + offset);
}

QByteArray framed(QByteArrayView payload)
{
    QByteArray out;
    out.reserve(4 + payload.size());
    appendLength(out, quint32(payload.size()));
    out.append(payload);
    return out;
}

} // namespace

std::optional<QByteArray> RecognizerProtocol::encodeRequest(const QImage &grey)
{
    if (grey.format() != QImage::Format_Grayscale8 || grey.isNull())
        return std::nullopt;
    const qint64 pixels = qint64(grey.width()) * grey.height();
    if (pixels > maximumPixels)
        return std::nullopt;
    QByteArray out;
    out.reserve(12 + pixels);
    appendLength(out, quint32(8 + pixels));
    appendLength(out, quint32(grey.width()));
    appendLength(out, quint32(grey.height()));
    for (int y = 0; y < grey.height(); ++y)
        out.append(reinterpret_cast<const char *>(grey.constScanLine(y)), grey.width());
    return out;
}

std::optional<QImage> RecognizerProtocol::decodeRequest(QByteArrayView payload)
{
    if (payload.size() < 8)
        return std::nullopt;
    const quint32 width = lengthAt(payload, 0);
    const quint32 height = lengthAt(payload, 4);
    // Both sides nonzero and the product checked in 64 bits, so neither a zero
    // nor an overflow gets past.
    if (width == 0 || height == 0 || width > quint32(maximumPixels) || height > quint32(maximumPixels))
        return std::nullopt;
    const qint64 pixels = qint64(width) * height;
    if (pixels > maximumPixels || payload.size() != 8 + pixels)
        return std::nullopt;
    QImage image(int(width), int(height), QImage::Format_Grayscale8);
    if (image.isNull())
        return std::nullopt;
    const char *rows = payload.data() + 8;
    for (quint32 y = 0; y < height; ++y)
        std::memcpy(image.scanLine(int(y)), rows + qint64(y) * width, width);
    return image;
}

QByteArray RecognizerProtocol::encodeReply(const Reply &reply)
{
    QByteArray payload(1, char(reply.status));
    payload.append(reply.text.toUtf8().left(maximumReplyLength - 1));
    return framed(payload);
}

std::optional<RecognizerProtocol::Reply> RecognizerProtocol::decodeReply(QByteArrayView payload)
{
    if (payload.isEmpty() || quint8(payload[0]) > quint8(Status::Failed))
        return std::nullopt;
    return Reply{Status(quint8(payload[0])), QString::fromUtf8(payload.sliced(1))};
}

bool RecognizerProtocol::feed(QByteArrayView bytes)
{
    if (m_broken)
        return false;
    m_buffer.append(bytes);
    while (m_buffer.size() >= 4) {
        const quint32 length = lengthAt(m_buffer, 0);
        if (length > quint64(m_maximumLength)) {
            m_broken = true;
            m_buffer.clear();
            return false;
        }
        if (m_buffer.size() - 4 < qsizetype(length))
            break;
        m_messages.append(m_buffer.mid(4, length));
        m_buffer.remove(0, 4 + length);
    }
    return true;
}

QList<QByteArray> RecognizerProtocol::takeMessages()
{
    return std::exchange(m_messages, {});
}
