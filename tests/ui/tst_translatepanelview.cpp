#include "flipcontainer.h"
#include "historyview.h"
#include "iconbutton.h"
#include "scriptedtranslation.h"
#include "segmentedpicker.h"
#include "submittextview.h"
#include "symbollabel.h"
#include "titledcard.h"
#include "button.h"
#include "translatepanelview.h"
#include "widgetlookup.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>

using namespace Widgets;

// The panel on screen in its own window, over a scripted view model.
struct Panel : ScriptedTranslation {
    TranslatePanelView view{model};

    bool show()
    {
        view.show();
        view.activateWindow();
        return QTest::qWaitForWindowActive(&view);
    }
    template <typename T = QWidget>
    T *at(const char *name) { return part<T>(&view, QString::fromLatin1(name)); }
    SubmitTextView *input() { return at<SubmitTextView>("inputField"); }
    SymbolLabel *result() { return at<SymbolLabel>("resultText"); }
    SymbolLabel *error() { return at<SymbolLabel>("errorLine"); }
    FlipContainer *flip() { return view.findChild<FlipContainer *>(); }
};

class TestTranslatePanelView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QGuiApplication::clipboard()->clear(); }
    void resultAndCopyConfirmation();
    void oneReturnOneRequestAlsoWhileBusy();
    void pickersDriveTheRequest();
    void focusOnOpeningAndThroughTheHistory();
};

// The confirmation of two presses in quick succession goes at the first
// press's end, not a full interval after the second.
void TestTranslatePanelView::resultAndCopyConfirmation()
{
    Panel p;
    QVERIFY(p.show());
    QCOMPARE(p.result()->text(), u"翻译结果将显示在这里"_qs);
    QCOMPARE(p.result()->foreground(), Foreground::Secondary);
    QVERIFY(!p.at("copyButton")->isVisible() && !p.at<TitledCard>("resultCard")->accent());
    p.model->setInputText(u"source"_qs);
    p.model->setOutputText(u"Translated"_qs);
    QCOMPARE(p.result()->text(), u"Translated"_qs);
    QVERIFY(p.at<TitledCard>("resultCard")->accent());

    auto *copy = p.at<IconButton>("copyButton");
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"Translated"_qs);
    QCOMPARE(copy->symbol(), Symbol::Checkmark);
    QCOMPARE(copy->foreground(), Foreground::Green);
    QTest::qWait(1000 - int(clock.elapsed()));
    QTest::mouseClick(copy, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(copy->symbol() == Symbol::DocOnDoc, 2000);
    QVERIFY2(clock.elapsed() >= 1200 && clock.elapsed() < 1700, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(copy->foreground(), Foreground::Secondary);
}

// The field's own Return and the translate button's Return shortcut must not
// both act; the disabled button does nothing, Return still submits. An error
// goes as the next request starts.
void TestTranslatePanelView::oneReturnOneRequestAlsoWhileBusy()
{
    Panel p;
    QVERIFY(p.show());
    p.input()->setFocus();
    QTest::keyClick(p.input(), Qt::Key_Return);
    QVERIFY(p.error()->isVisible());
    QCOMPARE(p.error()->text(), u"请输入要翻译的文字"_qs);
    QTest::keyClicks(p.input(), u"hello"_qs);
    QTest::keyClick(p.input(), Qt::Key_Return);
    QVERIFY(p.error()->isHidden());
    QCOMPARE(p.system->calls().size(), 1);
    QVERIFY(p.at("busyIndicator")->isVisible() && !p.at("translateButton")->isEnabled());
    QTest::mouseClick(p.at("translateButton"), Qt::LeftButton);
    QTest::keyClick(p.input(), Qt::Key_Return);
    QCOMPARE(p.system->calls().size(), 2);
    p.system->succeed(1, u"你好"_qs);
    QTRY_VERIFY(p.at("busyIndicator")->isHidden() && p.at("translateButton")->isEnabled());
    QCOMPARE(p.result()->text(), u"你好"_qs);
}

void TestTranslatePanelView::pickersDriveTheRequest()
{
    Panel p;
    QVERIFY(p.show());
    QTest::keyClicks(p.input(), u"hi"_qs);
    auto *engines = p.at<SegmentedPicker>("enginePicker");
    QTest::mouseClick(engines, Qt::LeftButton, {}, engines->segmentRect(1).center());
    auto *direction = p.at<Button>("directionButton");
    QStringList seen{direction->text()};
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(direction, Qt::LeftButton);
        seen.append(direction->text());
        QTest::keyClick(p.input(), Qt::Key_Return);
    }
    QCOMPARE(seen, QStringList({u"自动识别"_qs, u"中 → 英"_qs, u"英 → 中"_qs, u"自动识别"_qs}));
    QStringList sent;
    for (const ScriptedEngine::Call &call : p.llm->calls())
        sent.append(call.text + u' ' + call.from + u'→' + call.to);
    QCOMPARE(sent, QStringList({u"hi 中文→英文"_qs, u"hi 英文→中文"_qs, u"hi 英文→中文"_qs}));
}

// Each opening takes the clipboard's text and puts the focus in the input;
// so does coming back from the history with Escape. A chosen entry fills the
// panel without a request, and an error stays for the user to read.
void TestTranslatePanelView::focusOnOpeningAndThroughTheHistory()
{
    Panel p;
    p.history.add(u"source"_qs, u"译文"_qs, u"LLM"_qs);
    p.model->setOutputText(u"old output"_qs);
    p.model->translate();
    QGuiApplication::clipboard()->setText(u"clipboard text"_qs);
    QVERIFY(p.show());
    QCOMPARE(p.input()->text(), u"clipboard text"_qs);
    QVERIFY(p.error()->isHidden());
    QTRY_VERIFY(p.input()->hasFocus());
    QTest::mouseClick(p.at("historyButton"), Qt::LeftButton);
    QPointer<HistoryView> history = p.view.historyView();
    QTRY_VERIFY(!p.flip()->isFlipping());
    QTRY_VERIFY(history->hasFocus());
    QTest::keyClick(history, Qt::Key_Escape);
    QTRY_VERIFY(p.input()->hasFocus());
    p.at("directionButton")->setFocus();
    p.view.hide();
    QVERIFY(p.show());
    QTRY_VERIFY(p.view.focusWidget() == p.input());

    p.model->setInputText(QString());
    p.model->translate();
    p.view.showHistory();
    QTRY_VERIFY(!p.flip()->isFlipping());
    Q_EMIT p.view.historyView()->entrySelected(p.history.entries().first());
    QTRY_VERIFY(!p.flip()->isFlipping() && !p.view.isHistoryShown());
    QCOMPARE(p.input()->text(), u"source"_qs);
    QCOMPARE(p.result()->text(), u"译文"_qs);
    QVERIFY(p.error()->isVisible());
    QCOMPARE(p.system->calls().size(), 0);
}

QTEST_MAIN(TestTranslatePanelView)
#include "tst_translatepanelview.moc"

