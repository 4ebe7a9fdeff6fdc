#include "engines/chinesesentences.h"
#include "engines/nativemessagecodec.h"
#include "engines/translatelocallymodels.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <cstdint>

namespace {

QByteArray header(std::uint32_t length)
{
    return QByteArray(reinterpret_cast<const char *>(&length), sizeof length);
}

} // namespace

// What the on-device engine does with the worker's model list, with the text
// it sends and gets back, and with frames of impossible sizes. (Frames split
// or joined by the pipe reach the client in the system engine's tests.)
class TestTranslateLocallyModels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesModelForDirection_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("expected"); // empty: none

        const QByteArray both = R"([{"id":"en-zh-base0","srcTags":{"en":"English"},"trgTag":"zh","type":"base"},
                                    {"id":"zh-en-base0","srcTags":{"zh":"Chinese"},"trgTag":"en","type":"base"}])";
        QTest::newRow("zh to en") << both << "zh en"
                                  << "zh-en-base0";
        QTest::newRow("en to zh") << both << "en zh"
                                  << "en-zh-base0";
        QTest::newRow("variant tags") << QByteArray(R"([{"id":"m","srcTags":{"cmn":"","zh_CN":""},"trgTag":"eng"}])")
                                      << "zh en"
                                      << "m";
        QTest::newRow("zh-Hans and en-US")
            << QByteArray(R"([{"id":"m","srcTags":{"en-US":""},"trgTag":"ZH-Hans"}])") << "en zh"
            << "m";
        QTest::newRow("traditional target")
            << QByteArray(R"([{"id":"m","srcTags":{"en":""},"trgTag":"zh-Hant"}])") << "en zh"
            << "";
        QTest::newRow("Taiwan target") << QByteArray(R"([{"id":"m","srcTags":{"en":""},"trgTag":"zh_TW"}])") << "en zh"
                                       << "";
        QTest::newRow("Hong Kong source")
            << QByteArray(R"([{"id":"m","srcTags":{"zh-HK":""},"trgTag":"en"}])") << "zh en"
            << "";
        QTest::newRow("base beats tiny listed first")
            << QByteArray(R"([{"id":"tiny","srcTags":{"zh":""},"trgTag":"en","type":"tiny"},
                              {"id":"base","srcTags":{"zh":""},"trgTag":"en","type":"base"}])")
            << "zh en"
            << "base";
        QTest::newRow("remote entry skipped")
            << QByteArray(R"([{"id":"far","srcTags":{"zh":""},"trgTag":"en","local":false},
                              {"id":"near","srcTags":{"zh":""},"trgTag":"en","local":true}])")
            << "zh en"
            << "near";
        QTest::newRow("incomplete entries skipped")
            << QByteArray(
                   R"([{"srcTags":{"zh":""},"trgTag":"en"},{"id":"x","trgTag":"en"},{"id":"y","srcTags":{"zh":""}}])")
            << "zh en"
            << "";
    }

    void choosesModelForDirection()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, direction);
        QFETCH(QString, expected);
        const QString source = direction.section(u' ', 0, 0), target = direction.section(u' ', 1);
        const QJsonValue value = QJsonDocument::fromJson("[" + data + "]").array().at(0);
        const auto chosen = TranslateLocallyModels::choose(TranslateLocallyModels::parse(value), source, target);
        QCOMPARE(chosen.value_or(QString()), expected);
    }

    void splitsChineseSentences_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("sentences");
        QTest::newRow("three marks, trailing text")
            << "你好。谢谢！真的吗？再见" << QStringList{"你好。", "谢谢！", "真的吗？", "再见"};
        QTest::newRow("run of marks stays together") << "真的吗？！好吧。" << QStringList{"真的吗？！", "好吧。"};
        QTest::newRow("closing quote stays")
            << "他说：“走吧。”然后走了。" << QStringList{"他说：“走吧。”", "然后走了。"};
        QTest::newRow("closing quote ends the line") << "他说：“走吧。”" << QStringList{"他说：“走吧。”"};
        QTest::newRow("half-width marks") << "好!对吗?" << QStringList{"好!", "对吗?"};
        QTest::newRow("spaces between sentences dropped") << "  你好。　谢谢！ " << QStringList{"你好。", "谢谢！"};
        QTest::newRow("comma does not split") << "你好，世界。" << QStringList{"你好，世界。"};
        QTest::newRow("blank line") << "   " << QStringList{};
    }

    void splitsChineseSentences()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, sentences);
        QCOMPARE(ChineseSentences::split(line), sentences);
    }

    void dropsSpacesBetweenChineseSentences_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("run after ！ and ？") << "好！   走吧？  好。"
                                             << "好！走吧？好。";
        QTest::newRow("after a closing quote") << "他说：“好。” 然后走了。"
                                               << "他说：“好。”然后走了。";
        QTest::newRow("before punctuation and quotes") << "（见上。） 「早。」 “好”"
                                                       << "（见上。）「早。」“好”";
        QTest::newRow("before a Han character beyond the BMP") << "好。 𠀀"
                                                               << "好。𠀀";
        QTest::newRow("line breaks kept") << "你好。 \n早上好。\n 再见。"
                                          << "你好。 \n早上好。\n 再见。";
        QTest::newRow("before Latin kept") << "我用 Linux。 Linux 很好。"
                                           << "我用 Linux。 Linux 很好。";
        QTest::newRow("after half-width marks kept") << "Hello. 你好! 再见"
                                                     << "Hello. 你好! 再见";
    }

    void dropsSpacesBetweenChineseSentences()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ChineseSentences::withoutSpacesBetweenSentences(text), expected);
    }

    // The worker rejects messages under 2 bytes or of 10 MiB and more.
    void refusesWhatTheWorkerRefuses_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("one byte") << qsizetype(1) << false;
        QTest::newRow("two bytes") << qsizetype(2) << true;
        QTest::newRow("just under 10 MiB") << qsizetype(10 * 1024 * 1024 - 1) << true;
        QTest::newRow("10 MiB") << qsizetype(10 * 1024 * 1024) << false;
    }

    void refusesWhatTheWorkerRefuses()
    {
        QFETCH(qsizetype, size);
        QFETCH(bool, accepted);
        QCOMPARE(NativeMessageCodec::encode(QByteArray(size, 'a')).has_value(), accepted);
        if (accepted)
            return;
        // A header announcing such a length cannot come from a sane worker: the
        // frame before it still counts, nothing after it is trusted.
        const QByteArray good = NativeMessageCodec::encode(R"({"id":1})").value();
        NativeMessageCodec codec;
        QVERIFY(!codec.feed(good + header(std::uint32_t(size)) + good));
        QCOMPARE(codec.takeMessages(), QList<QByteArray>{R"({"id":1})"});
        QVERIFY(!codec.feed(good));
        QVERIFY(codec.takeMessages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTranslateLocallyModels)
#include "tst_translatelocallymodels.moc"
