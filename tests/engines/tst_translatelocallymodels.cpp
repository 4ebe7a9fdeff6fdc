#include "chinesesentences.h"
#include "languagetag.h"
#include "translatelocallymodels.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

class TestTranslateLocallyModels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Tags
    void normalisesTags_data();
    void normalisesTags();

    // Choosing a model from a ListModels reply
    void choosesModelForDirection_data();
    void choosesModelForDirection();

    // Chinese sentences
    void splitsChineseSentences_data();
    void splitsChineseSentences();
    void dropsSpacesBetweenChineseSentences_data();
    void dropsSpacesBetweenChineseSentences();
};

void TestTranslateLocallyModels::normalisesTags_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("expected");
    const QString zh = QStringLiteral("zh"), en = QStringLiteral("en");
    QTest::newRow("zh-Hans") << "zh-Hans" << zh;
    QTest::newRow("zh_CN underscore") << "zh_CN" << zh;
    QTest::newRow("zho") << "zho" << zh;
    QTest::newRow("cmn") << "cmn" << zh;
    QTest::newRow("ZH upper case") << "ZH" << zh;
    QTest::newRow("eng") << "eng" << en;
    QTest::newRow("en-US") << "en-US" << en;
    QTest::newRow("zh-Hant is not zh") << "zh-Hant" << "zh-hant";
    QTest::newRow("zh-TW is not zh") << "zh-TW" << "zh-tw";
    QTest::newRow("de stays de") << "de" << "de";
    QTest::newRow("empty") << "" << "";
}

void TestTranslateLocallyModels::normalisesTags()
{
    QFETCH(QString, tag);
    QFETCH(QString, expected);
    QCOMPARE(LanguageTag::normalised(tag), expected);
}

void TestTranslateLocallyModels::choosesModelForDirection_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected"); // empty: none

    const QByteArray both = R"([
        {"id":"en-zh-base0","shortName":"en-zh","srcTags":{"en":"English"},"trgTag":"zh","type":"base"},
        {"id":"zh-en-base0","shortName":"zh-en","srcTags":{"zh":"Chinese"},"trgTag":"en","type":"base"}])";
    QTest::newRow("zh to en") << both << "zh" << "en" << "zh-en-base0";
    QTest::newRow("en to zh") << both << "en" << "zh" << "en-zh-base0";
    QTest::newRow("no model for the pair") << both << "en" << "de" << "";
    QTest::newRow("variant tags match")
        << QByteArray(R"([{"id":"m1","srcTags":{"cmn":"Mandarin","zh-Hans":"Chinese"},"trgTag":"eng"}])") << "zh" << "en"
        << "m1";
    QTest::newRow("traditional target only")
        << QByteArray(R"([{"id":"m1","srcTags":{"en":"English"},"trgTag":"zh-Hant"}])") << "en" << "zh" << "";
    QTest::newRow("base beats tiny listed first")
        << QByteArray(R"([{"id":"tiny","srcTags":{"zh":""},"trgTag":"en","type":"tiny"},
                          {"id":"base","srcTags":{"zh":""},"trgTag":"en","type":"base"}])")
        << "zh" << "en" << "base";
    QTest::newRow("remote entry skipped")
        << QByteArray(R"([{"id":"far","srcTags":{"zh":""},"trgTag":"en","local":false},
                          {"id":"near","srcTags":{"zh":""},"trgTag":"en","local":true}])")
        << "zh" << "en" << "near";
    QTest::newRow("incomplete entries skipped")
        << QByteArray(R"([{"srcTags":{"zh":""},"trgTag":"en"},{"id":"x","trgTag":"en"},{"id":"y","srcTags":{"zh":""}}])")
        << "zh" << "en" << "";
    QTest::newRow("list wrapped in an object")
        << QByteArray(R"({"models":[{"id":"w","srcTags":{"zh":""},"trgTag":"en"}]})") << "zh" << "en" << "w";
    QTest::newRow("not a list") << QByteArray(R"("nothing")") << "zh" << "en" << "";
}

void TestTranslateLocallyModels::choosesModelForDirection()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, expected);

    const QJsonValue value = QJsonDocument::fromJson("[" + data + "]").array().at(0);
    const auto chosen = TranslateLocallyModels::choose(TranslateLocallyModels::parse(value), source, target);
    QCOMPARE(chosen.value_or(QString()), expected);
}

void TestTranslateLocallyModels::splitsChineseSentences_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("sentences");
    QTest::newRow("no end mark") << "你好" << QStringList{"你好"};
    QTest::newRow("three marks") << "你好。谢谢！真的吗？" << QStringList{"你好。", "谢谢！", "真的吗？"};
    QTest::newRow("trailing text kept") << "你好。再见" << QStringList{"你好。", "再见"};
    QTest::newRow("run of marks stays together") << "真的吗？！好吧。" << QStringList{"真的吗？！", "好吧。"};
    QTest::newRow("closing quote stays with its sentence")
        << "他说：“走吧。”然后走了。" << QStringList{"他说：“走吧。”", "然后走了。"};
    QTest::newRow("closing bracket") << "（注意！）下一句。" << QStringList{"（注意！）", "下一句。"};
    QTest::newRow("half-width marks") << "好!对吗?" << QStringList{"好!", "对吗?"};
    QTest::newRow("spaces between sentences dropped") << "  你好。　谢谢！ " << QStringList{"你好。", "谢谢！"};
    QTest::newRow("comma does not split") << "你好，世界。" << QStringList{"你好，世界。"};
    QTest::newRow("blank line") << "   " << QStringList{};
}

void TestTranslateLocallyModels::splitsChineseSentences()
{
    QFETCH(QString, line);
    QFETCH(QStringList, sentences);
    QCOMPARE(ChineseSentences::split(line), sentences);
}

void TestTranslateLocallyModels::dropsSpacesBetweenChineseSentences_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("after 。") << "你好。 早上好。" << "你好。早上好。";
    QTest::newRow("run after ！ and ？") << "好！   走吧？  好。" << "好！走吧？好。";
    QTest::newRow("after a closing quote") << "他说：“好。” 然后走了。" << "他说：“好。”然后走了。";
    QTest::newRow("before punctuation and quotes") << "（见上。） 「早。」 “好”" << "（见上。）「早。」“好”";
    QTest::newRow("before a Han character beyond the BMP") << "好。 𠀀" << "好。𠀀";
    QTest::newRow("line breaks kept") << "你好。 \n早上好。\n 再见。" << "你好。 \n早上好。\n 再见。";
    QTest::newRow("before Latin kept") << "我用 Linux。 Linux 很好。" << "我用 Linux。 Linux 很好。";
    QTest::newRow("without a sentence end kept") << "你好 世界，” 是的" << "你好 世界，” 是的";
    QTest::newRow("after half-width marks kept") << "Hello. 你好! 再见" << "Hello. 你好! 再见";
    QTest::newRow("other spaces kept") << "你好。\t早。　早。" << "你好。\t早。　早。";
    QTest::newRow("trailing spaces kept") << "你好。  " << "你好。  ";
}

void TestTranslateLocallyModels::dropsSpacesBetweenChineseSentences()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ChineseSentences::withoutSpacesBetweenSentences(text), expected);
}

QTEST_GUILESS_MAIN(TestTranslateLocallyModels)
#include "tst_translatelocallymodels.moc"
