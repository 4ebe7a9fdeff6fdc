#include "core/languagedetector.h"

#include <QTest>

using Dominant = LanguageDetector::DominantLanguage;

namespace {

Dominant scriptedVerdict = Dominant::None;

Dominant scriptedRecognizer(const QString &)
{
    return scriptedVerdict;
}

QString scalar(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detectsPrimarilyChinese_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<Dominant>>("verdict"); // nothing: CLD2's own
        QTest::addColumn<bool>("chinese");
        const std::optional<Dominant> open = Dominant::Other, none = Dominant::None, cld2;
        // Where the recogniser leaves it open, more than a fifth of CJK ideographs decides.
        QTest::newRow("1 of 5 is not more than a fifth") << u"中abcd"_qs << open << false;
        QTest::newRow("1 of 4 is more") << u"中abc"_qs << none << true;
        QTest::newRow("interior spaces dilute") << u"中    a"_qs << open << false;
        QTest::newRow("outer blanks do not dilute") << u"  \n\u3000中abc\t "_qs << open << true;
        QTest::newRow("Extension A counts") << (scalar(0x3400) + u"abc"_qs) << open << true;
        QTest::newRow("range ends count") << (scalar(0x9FFF) + scalar(0x4DBF) + u"abcdef"_qs) << open << true;
        QTest::newRow("Extension B is one scalar, not counted")
            << (scalar(0x20000) + scalar(0x20001) + u"中"_qs) << open << true;
        QTest::newRow("Extension B alone") << (scalar(0x20000) + scalar(0x20001) + u"ab"_qs) << open << false;
        QTest::newRow("compatibility ideograph") << (scalar(0xF900) + u"abc"_qs) << open << false;
        QTest::newRow("kana, full-width, punctuation") << u"ひらカタＡＢ。，"_qs << open << false;
        // Where it names Chinese or English, the recogniser wins.
        QTest::newRow("English verdict over ideographs") << u"全是汉字"_qs << std::optional(Dominant::English) << false;
        QTest::newRow("simplified verdict over Latin")
            << u"abcdefgh"_qs << std::optional(Dominant::SimplifiedChinese) << true;
        QTest::newRow("blank is never Chinese")
            << u"\u3000\u0085\u2028\u00A0\t\r\n"_qs << std::optional(Dominant::SimplifiedChinese) << false;
        QTest::newRow("CLD2: mixed, mostly English")
            << u"Please translate 你好 for me, thanks a lot."_qs << cld2 << false;
        QTest::newRow("CLD2: mixed, mostly Chinese") << u"我今天用 Linux 写代码，感觉非常好。"_qs << cld2 << true;
        // CLD2 calls these Japanese; the ideograph share then decides.
        QTest::newRow("CLD2: single ideograph") << u"好"_qs << cld2 << true;
        QTest::newRow("CLD2: mostly kana") << u"これはペンです。とても良い"_qs << cld2 << false;
        // A paste may bring bytes that are not UTF-8 (huge and odd inputs are fuzzed).
        QTest::newRow("CLD2: not UTF-8") << QString::fromUtf8("\xe4\xb8\xad\xff\xfe\xe6\x96\x87") << cld2 << true;
    }

    void detectsPrimarilyChinese()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<Dominant>, verdict);
        QFETCH(bool, chinese);
        scriptedVerdict = verdict.value_or(Dominant::None);
        QCOMPARE(verdict ? LanguageDetector::isPrimarilyChinese(text, scriptedRecognizer)
                         : LanguageDetector::isPrimarilyChinese(text),
                 chinese);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
