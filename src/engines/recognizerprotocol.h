#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QString>

#include <optional>

// What TextRecognizer and its worker process say to each other on the
// worker's standard input and output. Every message is a 32-bit little-endian
// length and that many bytes. A request is the image's width and height (32-bit
// little-endian each) and its grey pixels row by row; a reply is one status byte
// and UTF-8 text. Either side may be hostile or broken, so a reader refuses
// any length beyond what it expects rather than buffering it.
class RecognizerProtocol final
{
public:
    // An 8K screen is 33 million pixels; bigger is not a screen region.
    static constexpr qint64 maximumPixels = 40'000'000;
    static constexpr qsizetype maximumRequestLength = 8 + maximumPixels;
    static constexpr qsizetype maximumReplyLength = 4 * 1024 * 1024;

    enum class Status : quint8 {
        Text = 0,
        NoText = 1,
        MissingData = 2,
        Failed = 3
    };
    struct Reply {
        Status status = Status::Failed;
        QString text;
    };

    // A request frame for a Format_Grayscale8 image of 1..maximumPixels pixels.
    static std::optional<QByteArray> encodeRequest(const QImage &grey);
    static std::optional<QImage> decodeRequest(QByteArrayView payload);
    static QByteArray encodeReply(const Reply &reply);
    static std::optional<Reply> decodeReply(QByteArrayView payload);

    explicit RecognizerProtocol(qsizetype maximumLength)
        : m_maximumLength(maximumLength)
    { }

    // Appends bytes as they arrive, in any chunks. Returns false once a length
    // is beyond the limit: the stream cannot be trusted after that.
    bool feed(QByteArrayView bytes);
    // Complete payloads received so far, oldest first; removes them.
    QList<QByteArray> takeMessages();
    bool isBroken() const { return m_broken; }
    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    qsizetype m_maximumLength;
    QByteArray m_buffer;
    QList<QByteArray> m_messages;
    bool m_broken = false;
};
