#include "submittextview.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

namespace {

void sendInputMethod(QWidget *widget, const QString &preedit, const QString &commit = {})
{
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestSubmitTextView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void returnKey_data();
    void returnKey();
    void returnBelongsToTheInputMethodWhileAndRightAfterComposing();
    void editsReportTheWholePlainText();
};

void TestSubmitTextView::returnKey_data()
{
    QTest::addColumn<QKeyCombination>("keys");
    QTest::addColumn<QString>("text"); // null: submitted
    QTest::newRow("Return") << QKeyCombination(Qt::Key_Return) << QString();
    QTest::newRow("keypad Enter") << (Qt::KeypadModifier | Qt::Key_Enter) << QString();
    QTest::newRow("Control-Return") << (Qt::ControlModifier | Qt::Key_Return) << QString();
    QTest::newRow("Shift-Return") << (Qt::ShiftModifier | Qt::Key_Return) << u"ab\n"_qs;
    QTest::newRow("Shift-Control-Return") << (Qt::ShiftModifier | Qt::ControlModifier | Qt::Key_Return) << u"ab\n"_qs;
}

void TestSubmitTextView::returnKey()
{
    QFETCH(QKeyCombination, keys);
    QFETCH(QString, text);
    SubmitTextView field;
    QSignalSpy submitted(&field, &SubmitTextView::submitted);
    QSignalSpy edited(&field, &SubmitTextView::textEdited);
    QTest::keyClicks(&field, u"ab"_qs);
    QTest::keyClick(&field, keys.key(), keys.keyboardModifiers());
    QCOMPARE(submitted.count(), text.isNull() ? 1 : 0);
    QCOMPARE(field.text(), text.isNull() ? u"ab"_qs : text);
    QCOMPARE(edited.last().at(0).toString(), field.text());
}

// fcitx5 and ibus may hand the Return that committed the pre-edit text on to
// the field; it belongs to the input method.
void TestSubmitTextView::returnBelongsToTheInputMethodWhileAndRightAfterComposing()
{
    SubmitTextView field;
    QSignalSpy submitted(&field, &SubmitTextView::submitted);
    sendInputMethod(&field, u"nihao"_qs);
    QTest::keyClick(&field, Qt::Key_Return);
    sendInputMethod(&field, QString(), u"你好"_qs);
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(submitted.count(), 0);
    QCOMPARE(field.text(), u"你好"_qs);
    QTest::qWait(0);
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(submitted.count(), 1);
}

// Pre-edit text is not text yet; pasted styled text arrives plain, in the
// field's own type.
void TestSubmitTextView::editsReportTheWholePlainText()
{
    SubmitTextView field;
    QSignalSpy edited(&field, &SubmitTextView::textEdited);
    QTest::keyClicks(&field, u"cat"_qs);
    QTest::keyClick(&field, Qt::Key_Backspace);
    sendInputMethod(&field, u"fanyi"_qs);
    sendInputMethod(&field, QString(), u"翻译"_qs);
    auto *mime = new QMimeData;
    mime->setHtml(u"<b style=\"font-size:30pt\">粗体</b>"_qs);
    mime->setText(u"粗体"_qs);
    QGuiApplication::clipboard()->setMimeData(mime);
    field.paste();
    QStringList reported;
    for (const QList<QVariant> &signal : edited)
        reported.append(signal.at(0).toString());
    QCOMPARE(reported, QStringList({u"c"_qs, u"ca"_qs, u"cat"_qs, u"ca"_qs, u"ca翻译"_qs, u"ca翻译粗体"_qs}));
    QTextCursor cursor(field.document());
    cursor.movePosition(QTextCursor::End);
    QCOMPARE(QFontInfo(cursor.charFormat().font()).pixelSize(), 13);
}

QTEST_MAIN(TestSubmitTextView)
#include "tst_submittextview.moc"

