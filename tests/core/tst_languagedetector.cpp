#include "languagedetector.h"

#include <QtTest>

using Dominant = LanguageDetector::DominantLanguage;

namespace {

int recognizerCalls = 0;
Dominant scriptedVerdict = Dominant::None;

Dominant scriptedRecognizer(const QString &)
{
    ++recognizerCalls;
    return scriptedVerdict;
}

QString scalar(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

} // namespace

Q_DECLARE_METATYPE(LanguageDetector::DominantLanguage)

class TestLanguageDetector : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    // --- the ideograph share, when the recogniser leaves the decision open
    void ratioDecides_data();
    void ratioDecides();

    // --- the recogniser's verdict wins for Chinese and English
    void verdictTakesPrecedence_data();
    void verdictTakesPrecedence();
    void blankTextIsNotChineseAndSkipsTheRecogniser_data();
    void blankTextIsNotChineseAndSkipsTheRecogniser();
    void recogniserSeesTheTrimmedText();

    // --- with CLD2
    void realRecogniser_data();
    void realRecogniser();
    void hugeAndOddInputsDoNotCrash();
};

void TestLanguageDetector::init()
{
    recognizerCalls = 0;
    scriptedVerdict = Dominant::None;
}

void TestLanguageDetector::ratioDecides_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("chinese");

    QTest::newRow("1 of 5 is not more than one fifth") << u"中abcd"_qs << false;
    QTest::newRow("1 of 4 is more") << u"中abc"_qs << true;
    // Interior blanks count: 1/6, not 1/2.
    QTest::newRow("interior spaces dilute") << (u"中"_qs + u"    a"_qs) << false;
    // Outer blanks are trimmed first and never dilute.
    QTest::newRow("outer blanks do not dilute") << u"  \n\u3000中abc\t "_qs << true;
    QTest::newRow("Extension A counts") << (scalar(0x3400) + u"abc"_qs) << true;
    QTest::newRow("range ends count") << (scalar(0x9FFF) + scalar(0x4DBF) + u"abcdef"_qs) << true;
    // Outside both ranges: Extension B (one scalar, two UTF-16 units), compatibility
    // ideographs, kana, full-width forms and CJK punctuation.
    QTest::newRow("Extension B only in denominator") << (scalar(0x20000) + scalar(0x20001) + u"中"_qs) << true;
    QTest::newRow("Extension B alone") << (scalar(0x20000) + scalar(0x20001) + u"ab"_qs) << false;
    QTest::newRow("compatibility ideograph") << (scalar(0xF900) + u"abc"_qs) << false;
    QTest::newRow("kana") << u"ひらがなカタカナ"_qs << false;
    QTest::newRow("full-width and punctuation") << u"ＡＢ。，"_qs << false;
    // A surrogate pair is one scalar: 1 ideograph of 4 scalars, not of 5 units.
    QTest::newRow("emoji is one scalar") << (u"中"_qs + scalar(0x1F600) + u"ab"_qs) << true;
}

void TestLanguageDetector::ratioDecides()
{
    QFETCH(QString, text);
    QFETCH(bool, chinese);

    for (const Dominant verdict : {Dominant::None, Dominant::Other}) {
        scriptedVerdict = verdict;
        QCOMPARE(LanguageDetector::isPrimarilyChinese(text, scriptedRecognizer), chinese);
    }
}

void TestLanguageDetector::verdictTakesPrecedence_data()
{
    QTest::addColumn<Dominant>("verdict");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("chinese");

    QTest::newRow("English verdict over all ideographs") << Dominant::English << u"全是汉字"_qs << false;
    QTest::newRow("simplified verdict over Latin") << Dominant::SimplifiedChinese << u"abcdefgh"_qs << true;
    QTest::newRow("traditional verdict over Latin") << Dominant::TraditionalChinese << u"abcdefgh"_qs << true;
    QTest::newRow("other language falls through") << Dominant::Other << u"東京大学です"_qs << true;
}

void TestLanguageDetector::verdictTakesPrecedence()
{
    QFETCH(Dominant, verdict);
    QFETCH(QString, text);
    QFETCH(bool, chinese);

    scriptedVerdict = verdict;
    QCOMPARE(LanguageDetector::isPrimarilyChinese(text, scriptedRecognizer), chinese);
    QCOMPARE(recognizerCalls, 1);
}

void TestLanguageDetector::blankTextIsNotChineseAndSkipsTheRecogniser_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces tabs newlines") << u" \t\r\n \n"_qs;
    QTest::newRow("ideographic space, NEL, separators") << u"\u3000\u0085\u2028\u2029\u00A0\u000B\u000C"_qs;
}

void TestLanguageDetector::blankTextIsNotChineseAndSkipsTheRecogniser()
{
    QFETCH(QString, text);
    scriptedVerdict = Dominant::SimplifiedChinese;
    QVERIFY(!LanguageDetector::isPrimarilyChinese(text, scriptedRecognizer));
    QCOMPARE(recognizerCalls, 0);
}

void TestLanguageDetector::recogniserSeesTheTrimmedText()
{
    static QString seen;
    const auto recorder = [](const QString &text) {
        seen = text;
        return Dominant::None;
    };
    LanguageDetector::isPrimarilyChinese(u"\u3000 你好 世界\n"_qs, recorder);
    QCOMPARE(seen, u"你好 世界"_qs);
}

void TestLanguageDetector::realRecogniser_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("chinese");

    QTest::newRow("simplified sentence") << u"今天天气很好，我们去公园散步吧。"_qs << true;
    QTest::newRow("traditional") << u"你好"_qs << true;
    QTest::newRow("English sentence") << u"The quick brown fox jumps over the lazy dog."_qs << false;
    QTest::newRow("short English") << u"OK"_qs << false;
    // CLD2 calls these Japanese; the ideograph share then decides.
    QTest::newRow("single ideograph") << u"好"_qs << true;
    QTest::newRow("kanji name") << u"東京大学"_qs << true;
    QTest::newRow("mostly kana") << u"これはペンです。とても良い"_qs << false;
    QTest::newRow("digits only") << u"12345"_qs << false;
}

void TestLanguageDetector::realRecogniser()
{
    QFETCH(QString, text);
    QFETCH(bool, chinese);
    QCOMPARE(LanguageDetector::isPrimarilyChinese(text), chinese);
}

void TestLanguageDetector::hugeAndOddInputsDoNotCrash()
{
    // A megabyte of mixed text, a lone surrogate (invalid UTF-16, as decoding
    // invalid UTF-8 cannot produce but a paste can) and embedded NULs.
    QString huge;
    while (huge.size() < 1024 * 1024)
        huge += u"翻译 translation 文本 "_qs;
    LanguageDetector::isPrimarilyChinese(huge);
    QVERIFY(LanguageDetector::isPrimarilyChinese(QString::fromUtf8("\xe4\xb8\xad\xff\xfe\xe6\x96\x87")));
    QString lone = u"中文"_qs;
    lone.append(QChar(0xD800));
    LanguageDetector::isPrimarilyChinese(lone);
    LanguageDetector::isPrimarilyChinese(QString(QChar(0)) + u"ab"_qs);
}

QTEST_GUILESS_MAIN(TestLanguageDetector)
#include "tst_languagedetector.moc"
