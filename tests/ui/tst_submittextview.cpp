#include "inputfocusrequest.h"
#include "submittextview.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

// A window with another focusable widget beside the field, as in the panel.
struct Window {
    QWidget window;
    QLineEdit *other = new QLineEdit(&window);
    SubmitTextView *field = new SubmitTextView(&window);

    Window()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(other);
        layout->addWidget(field);
    }

    bool showActive()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

namespace {

void sendInputMethod(QWidget *widget, const QString &preedit, const QString &commit = {})
{
    QInputMethodEvent event(preedit, {});
    if (!commit.isEmpty())
        event.setCommitString(commit);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestSubmitTextView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- the Return rule
    void returnKey_data();
    void returnKey();
    void returnBelongsToTheInputMethodWhileAndRightAfterComposing();

    // --- the bound text
    void everyEditReportsTheWholeText();
    void pastedStyledTextArrivesPlain();
    void updateReplacesOnlyOtherText();

    // --- focus
    void focusRequestReachesOnlyLiveShownFields();
    void newFieldInAShownWindowTakesTheFocus();
};

void TestSubmitTextView::returnKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("submits");
    QTest::addColumn<QString>("text");
    const QString typed = QStringLiteral("ab");
    QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << 1 << typed;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 1 << typed;
    QTest::newRow("Control-Return: only Shift counts") << int(Qt::Key_Return)
                                                        << Qt::KeyboardModifiers(Qt::ControlModifier) << 1 << typed;
    QTest::newRow("Shift-Return: line break") << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 0
                                              << QStringLiteral("ab\n");
    QTest::newRow("Shift-Control-Return") << int(Qt::Key_Return)
                                          << Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier) << 0
                                          << QStringLiteral("ab\n");
}

void TestSubmitTextView::returnKey()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, submits);
    QFETCH(QString, text);
    SubmitTextView field;
    QSignalSpy submitted(&field, &SubmitTextView::submitted);
    QSignalSpy edited(&field, &SubmitTextView::textEdited);
    QTest::keyClicks(&field, QStringLiteral("ab"));
    QTest::keyClick(&field, Qt::Key(key), modifiers);
    QCOMPARE(submitted.count(), submits);
    QCOMPARE(field.text(), text);
    QCOMPARE(edited.last().at(0).toString(), text);
}

// fcitx5 and ibus may hand the Return that committed the pre-edit text on to
// the field; it belongs to the input method.
void TestSubmitTextView::returnBelongsToTheInputMethodWhileAndRightAfterComposing()
{
    SubmitTextView field;
    QSignalSpy submitted(&field, &SubmitTextView::submitted);
    sendInputMethod(&field, QStringLiteral("nihao"));
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(submitted.count(), 0);
    QCOMPARE(field.text(), QString());

    sendInputMethod(&field, QString(), QStringLiteral("你好"));
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(submitted.count(), 0);
    QCOMPARE(field.text(), QStringLiteral("你好"));
    // The next Return, after the event loop has run, is the user's.
    QTest::qWait(0);
    QCoreApplication::processEvents();
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(submitted.count(), 1);
    QCOMPARE(field.text(), QStringLiteral("你好"));
}

void TestSubmitTextView::everyEditReportsTheWholeText()
{
    SubmitTextView field;
    QSignalSpy edited(&field, &SubmitTextView::textEdited);
    QTest::keyClicks(&field, QStringLiteral("cat"));
    QCOMPARE(edited.count(), 3);
    QCOMPARE(edited.at(1).at(0).toString(), QStringLiteral("ca"));
    QTest::keyClick(&field, Qt::Key_Backspace);
    QCOMPARE(edited.last().at(0).toString(), QStringLiteral("ca"));
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
    QCOMPARE(edited.last().at(0).toString(), QString());

    // A pre-edit string is not text yet; the committed one is, and is shown.
    const qsizetype before = edited.count();
    sendInputMethod(&field, QStringLiteral("fanyi"));
    QCOMPARE(edited.count(), before);
    sendInputMethod(&field, QString(), QStringLiteral("翻译"));
    QCOMPARE(edited.last().at(0).toString(), QStringLiteral("翻译"));
    // The glyphs exist in the field's font (a missing glyph would be index 0).
    const QFontMetrics metrics(field.font());
    QVERIFY(metrics.inFontUcs4(QChar(u'翻').unicode()));
    QVERIFY(metrics.inFontUcs4(QChar(u'译').unicode()));
}

void TestSubmitTextView::pastedStyledTextArrivesPlain()
{
    SubmitTextView field;
    QSignalSpy edited(&field, &SubmitTextView::textEdited);
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b style=\"font-size:30pt\">粗体</b> text"));
    mime->setText(QStringLiteral("粗体 text"));
    QGuiApplication::clipboard()->setMimeData(mime);
    field.paste();
    QCOMPARE(field.text(), QStringLiteral("粗体 text"));
    QCOMPARE(edited.last().at(0).toString(), QStringLiteral("粗体 text"));
    QTextCursor cursor(field.document());
    cursor.movePosition(QTextCursor::NextCharacter);
    QVERIFY(cursor.charFormat().fontWeight() <= QFont::Normal);
    QCOMPARE(QFontInfo(cursor.charFormat().font()).pixelSize(), 13);
}

void TestSubmitTextView::updateReplacesOnlyOtherText()
{
    SubmitTextView field;
    field.updateText(QStringLiteral("first"));
    field.updateText(QStringLiteral("hello world"));
    QCOMPARE(field.text(), QStringLiteral("hello world"));
    QTextCursor cursor = field.textCursor();
    cursor.setPosition(2);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    field.setTextCursor(cursor);
    QSignalSpy edited(&field, &SubmitTextView::textEdited);
    // The same text again, as the bound model echoes it: the selection stays.
    field.updateText(QStringLiteral("hello world"));
    QCOMPARE(field.textCursor().selectedText(), QStringLiteral("llo w"));
    QCOMPARE(edited.count(), 0);
    field.updateText(QStringLiteral("second\nline"));
    QCOMPARE(field.text(), QStringLiteral("second\nline"));
    QVERIFY(!field.textCursor().hasSelection());
}

void TestSubmitTextView::focusRequestReachesOnlyLiveShownFields()
{
    Window w;
    auto *orphan = new SubmitTextView;
    InputFocusRequest::post();
    QVERIFY(!orphan->hasFocus());
    delete orphan;
    // A request after a field is gone reaches only the living ones.
    QVERIFY(w.showActive());
    w.other->setFocus();
    QTRY_VERIFY(w.other->hasFocus());
    InputFocusRequest::post();
    QVERIFY(w.field->hasFocus());

    w.other->setFocus();
    InputFocusRequest::postQueued();
    QVERIFY(w.other->hasFocus());
    QTRY_VERIFY(w.field->hasFocus());
}

void TestSubmitTextView::newFieldInAShownWindowTakesTheFocus()
{
    Window w;
    QVERIFY(w.showActive());
    w.other->setFocus();
    auto *fresh = new SubmitTextView(&w.window);
    w.window.layout()->addWidget(fresh);
    fresh->show();
    QTRY_VERIFY(fresh->hasFocus());
}

QTEST_MAIN(TestSubmitTextView)
#include "tst_submittextview.moc"
