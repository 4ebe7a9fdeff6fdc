#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// Framing of the native-messaging protocol that `translateLocally -p` speaks on
// its standard input and output: each message is a 32-bit unsigned length in
// the machine's byte order followed by that many bytes of UTF-8 JSON. The
// worker refuses messages outside the limits below, so we neither send nor
// accept them.
class NativeMessageCodec final
{
public:
    static constexpr qsizetype minimumLength = 2;
    static constexpr qsizetype maximumLength = 10 * 1024 * 1024 - 1;

    // The framed message, or nothing when the payload is outside the limits.
    static std::optional<QByteArray> encode(QByteArrayView payload);

    // Appends bytes as they arrive; any chunking is accepted. Returns false once
    // a header announces an impossible length: the stream cannot be resynchronised
    // and the decoder stays broken.
    bool feed(QByteArrayView bytes);
    // Complete payloads received so far, oldest first; removes them.
    QList<QByteArray> takeMessages();
    bool isBroken() const { return m_broken; }
    // Bytes of an incomplete message still waiting for the rest.
    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    QList<QByteArray> m_messages;
    bool m_broken = false;
};
