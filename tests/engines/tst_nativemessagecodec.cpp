#include "nativemessagecodec.h"

#include <QSysInfo>
#include <QTest>

#include <cstdint>
#include <cstring>

class TestNativeMessageCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Streams, however the pipe cuts them
    void decodesWhateverTheChunking_data();
    void decodesWhateverTheChunking();
    void headerIsTheLengthInNativeByteOrder();

    // Size limits
    void encodeRefusesOutOfRangePayloads_data();
    void encodeRefusesOutOfRangePayloads();
    void impossibleLengthBreaksTheStream_data();
    void impossibleLengthBreaksTheStream();
};

void TestNativeMessageCodec::decodesWhateverTheChunking_data()
{
    QTest::addColumn<QList<QByteArray>>("payloads");
    QTest::addColumn<int>("chunk");

    const QByteArray compact = R"({"id":1,"success":true})";
    const QByteArray pretty = "{\n    \"id\": 2,\n    \"data\": {\n        \"target\": {\n            \"text\": \"Hello.\"\n"
                              "        }\n    },\n    \"success\": true\n}\n";
    const QByteArray chinese = QStringLiteral(R"({"text":"今天天气很好。“引号”！"})").toUtf8();
    const QByteArray shortest = "{}";
    const QList<QByteArray> all{compact, pretty, chinese, shortest};

    QTest::newRow("several frames in one read") << all << 100000;
    QTest::newRow("byte by byte, headers split") << all << 1;
    QTest::newRow("reads of 3 split headers and UTF-8") << all << 3;
}

void TestNativeMessageCodec::decodesWhateverTheChunking()
{
    QFETCH(QList<QByteArray>, payloads);
    QFETCH(int, chunk);

    QByteArray stream;
    for (const QByteArray &payload : payloads)
        stream += NativeMessageCodec::encode(payload).value();

    NativeMessageCodec codec;
    QList<QByteArray> received;
    for (qsizetype offset = 0; offset < stream.size(); offset += chunk) {
        QVERIFY(codec.feed(stream.mid(offset, chunk)));
        received += codec.takeMessages();
    }
    QCOMPARE(received, payloads);
    QCOMPARE(codec.bufferedBytes(), 0);
}

void TestNativeMessageCodec::headerIsTheLengthInNativeByteOrder()
{
    const QByteArray payload(0x0102, 'x');
    const QByteArray frame = NativeMessageCodec::encode(payload).value();
    const QByteArray expected = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? QByteArray("\x02\x01\x00\x00", 4)
                                                                                : QByteArray("\x00\x00\x01\x02", 4);
    QCOMPARE(frame.left(4), expected);
    QCOMPARE(frame.size(), 4 + payload.size());
}

void TestNativeMessageCodec::encodeRefusesOutOfRangePayloads_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << qsizetype(0) << false;
    QTest::newRow("one byte") << qsizetype(1) << false;
    QTest::newRow("two bytes") << qsizetype(2) << true;
    QTest::newRow("just under 10 MiB") << NativeMessageCodec::maximumLength << true;
    QTest::newRow("10 MiB") << qsizetype(10 * 1024 * 1024) << false;
}

void TestNativeMessageCodec::encodeRefusesOutOfRangePayloads()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, accepted);
    QCOMPARE(NativeMessageCodec::encode(QByteArray(size, 'a')).has_value(), accepted);
}

void TestNativeMessageCodec::impossibleLengthBreaksTheStream_data()
{
    QTest::addColumn<quint32>("length");
    QTest::newRow("zero") << quint32(0);
    QTest::newRow("one") << quint32(1);
    QTest::newRow("10 MiB") << quint32(10 * 1024 * 1024);
    QTest::newRow("garbage") << quint32(0xffffffff);
}

void TestNativeMessageCodec::impossibleLengthBreaksTheStream()
{
    QFETCH(quint32, length);
    const QByteArray good = NativeMessageCodec::encode(R"({"id":1})").value();
    QByteArray bad(4, Qt::Uninitialized);
    std::memcpy(bad.data(), &length, 4);

    NativeMessageCodec codec;
    QVERIFY(!codec.feed(good + bad + good));
    QVERIFY(codec.isBroken());
    // The frame before the fault still counts; nothing after it is trusted.
    QCOMPARE(codec.takeMessages(), QList<QByteArray>{R"({"id":1})"});
    QVERIFY(!codec.feed(good));
    QVERIFY(codec.takeMessages().isEmpty());
}

QTEST_GUILESS_MAIN(TestNativeMessageCodec)
#include "tst_nativemessagecodec.moc"
