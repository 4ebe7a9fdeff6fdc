#include "appsettings.h"
#include "flipcontainer.h"
#include "historystore.h"
#include "historyview.h"
#include "iconbutton.h"
#include "autostartentry.h"
#include "scriptedengine.h"
#include "segmentedpicker.h"
#include "submittextview.h"
#include "symbollabel.h"
#include "temporaryconfig.h"
#include "titledcard.h"
#include "button.h"
#include "translatepanelview.h"
#include "translationerror.h"
#include "translationviewmodel.h"
#include "settingsfile.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace Widgets;

namespace {

template <typename T>
T *part(QWidget *root, const char *name)
{
    T *found = root->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no part %s", name);
    return found;
}

} // namespace

// A view model over two scripted engines and a private history, and the panel
// on screen in its own window.
struct Panel {
    TemporaryConfig config;
    SettingsFile defaults{config.defaultsPath()};
    HistoryStore history{HistoryStore::standardKey(), defaults};
    AppSettings settings{defaults, std::make_unique<AutostartEntry>(config.autostartPath())};
    std::shared_ptr<ScriptedEngine> system = std::make_shared<ScriptedEngine>(QStringLiteral("系统离线"));
    std::shared_ptr<ScriptedEngine> llm = std::make_shared<ScriptedEngine>(QStringLiteral("LLM"));
    std::shared_ptr<TranslationViewModel> model = TranslationViewModel::create(system, llm, history, settings);
    TranslatePanelView view{model};

    ~Panel()
    {
        system->failPending();
        llm->failPending();
    }
    bool show()
    {
        view.show();
        view.activateWindow();
        return QTest::qWaitForWindowActive(&view);
    }
    SubmitTextView *input() { return part<SubmitTextView>(&view, "inputField"); }
    TitledCard *resultCard() { return part<TitledCard>(&view, "resultCard"); }
    SymbolLabel *resultText() { return part<SymbolLabel>(&view, "resultText"); }
    IconButton *copyButton() { return part<IconButton>(&view, "copyButton"); }
    SymbolLabel *errorLine() { return part<SymbolLabel>(&view, "errorLine"); }
    Button *translateButton() { return part<Button>(&view, "translateButton"); }
    QWidget *busy() { return part<QWidget>(&view, "busyIndicator"); }
};

class TestTranslatePanelView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    // --- showing the view model
    void resultCard_data();
    void resultCard();
    void errorLineFollowsTheError();
    void busyDisablesTheButtonButReturnStillSubmits();
    void controlsAreBoundToTheModel();

    // --- actions
    void copyFlashesForItsOwnInterval();
    void settingsButtonAsksForTheSettings();
    void onShowPrefillsAndFocusesTheInput();

    // --- history
    void flipsToTheHistoryAndBack();
    void choosingAnEntryFillsThePanelAndKeepsTheError();
    void reopeningTheHistoryMidTurnKeepsTheNewList();
};

void TestTranslatePanelView::init()
{
    QGuiApplication::clipboard()->clear();
}

void TestTranslatePanelView::resultCard_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("accent");
    QTest::newRow("no output: placeholder") << QString() << QStringLiteral("翻译结果将显示在这里") << false;
    QTest::newRow("output") << QStringLiteral("Hello") << QStringLiteral("Hello") << true;
}

void TestTranslatePanelView::resultCard()
{
    QFETCH(QString, output);
    QFETCH(QString, shown);
    QFETCH(bool, accent);
    Panel p;
    QVERIFY(p.show());
    p.model->setOutputText(output);
    QCOMPARE(p.resultText()->text(), shown);
    QCOMPARE(p.resultCard()->accent(), accent);
    QCOMPARE(p.copyButton()->isVisible(), accent);
    // The placeholder is dimmed: its colour is the palette's secondary one.
    const QLabel *label = p.resultText()->findChild<QLabel *>();
    const QColor expected = Colors::foreground(accent ? Foreground::Primary : Foreground::Secondary, p.view.palette());
    QCOMPARE(label->palette().color(QPalette::WindowText), expected);
}

void TestTranslatePanelView::errorLineFollowsTheError()
{
    Panel p;
    QVERIFY(p.show());
    QVERIFY(p.errorLine()->isHidden());
    p.model->translate(); // blank input
    QVERIFY(p.errorLine()->isVisible());
    QCOMPARE(p.errorLine()->text(), QStringLiteral("请输入要翻译的文字"));

    p.model->setInputText(QStringLiteral("hello"));
    p.model->translate();
    // Cleared when the next request starts, not when it ends.
    QVERIFY(p.errorLine()->isHidden());
    p.system->fail(0, TranslationError::timeout());
    QTRY_VERIFY(p.errorLine()->isVisible());
    QCOMPARE(p.errorLine()->text(), TranslationError::timeout().errorDescription());
}

void TestTranslatePanelView::busyDisablesTheButtonButReturnStillSubmits()
{
    Panel p;
    QVERIFY(p.show());
    QVERIFY(p.busy()->isHidden());
    p.model->setInputText(QStringLiteral("hello"));
    // One Return, one request: the field's own Return and the translate
    // button's Return shortcut must not both act on it.
    p.input()->setFocus();
    QTest::keyClick(p.input(), Qt::Key_Return);
    QCOMPARE(p.system->calls().size(), 1);
    QVERIFY(p.busy()->isVisible());
    QVERIFY(!p.translateButton()->isEnabled());

    // The disabled button does nothing; Return in the field still submits.
    QTest::mouseClick(p.translateButton(), Qt::LeftButton);
    QCOMPARE(p.system->calls().size(), 1);
    QTest::keyClick(p.input(), Qt::Key_Return);
    QCOMPARE(p.system->calls().size(), 2);

    // The older request ending first leaves the panel waiting for the newer one.
    p.system->succeed(0, QStringLiteral("旧"));
    QTRY_COMPARE(p.model->historyStore().entries().size(), 1);
    QVERIFY(p.busy()->isVisible());
    QVERIFY(!p.translateButton()->isEnabled());
    p.system->succeed(1, QStringLiteral("你好"));
    QTRY_VERIFY(p.busy()->isHidden());
    QVERIFY(p.translateButton()->isEnabled());
    QCOMPARE(p.resultText()->text(), QStringLiteral("你好"));
}

void TestTranslatePanelView::controlsAreBoundToTheModel()
{
    Panel p;
    QVERIFY(p.show());
    p.input()->setFocus();
    QTest::keyClicks(p.input(), QStringLiteral("hi"));
    QCOMPARE(p.model->inputText(), QStringLiteral("hi"));
    p.model->setInputText(QStringLiteral("from the model"));
    QCOMPARE(p.input()->text(), QStringLiteral("from the model"));

    auto *picker = part<SegmentedPicker>(&p.view, "enginePicker");
    QCOMPARE(picker->currentIndex(), 0);
    QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(1).center());
    QCOMPARE(p.model->selectedEngine(), EngineKind::LLM);
    p.model->setSelectedEngine(EngineKind::System);
    QCOMPARE(picker->currentIndex(), 0);

    auto *button = part<Button>(&p.view, "directionButton");
    QStringList seen{button->text()};
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(button, Qt::LeftButton);
        seen.append(button->text());
    }
    QCOMPARE(seen, (QStringList{QStringLiteral("自动识别"), QStringLiteral("中 → 英"), QStringLiteral("英 → 中"),
                                QStringLiteral("自动识别")}));
    QCOMPARE(p.model->direction(), TranslationDirection::Auto);
}

// Each press schedules its own 1.2 s reset: two presses a second apart show
// the check mark until 1.2 s after the first (a shared, restarted timer would
// keep it until 2.2 s). The margin allows for a busy machine.
void TestTranslatePanelView::copyFlashesForItsOwnInterval()
{
    Panel p;
    QVERIFY(p.show());
    p.model->setOutputText(QStringLiteral("Translated"));
    IconButton *copy = p.copyButton();

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Translated"));
    QVERIFY(p.view.isCopyConfirmationShown());
    QCOMPARE(copy->symbol(), Symbol::Checkmark);
    QCOMPARE(copy->foreground(), Foreground::Green);

    QTest::qWait(1000 - int(clock.elapsed()));
    QVERIFY(p.view.isCopyConfirmationShown());
    QTest::mouseClick(copy, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!p.view.isCopyConfirmationShown(), 2000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= TranslatePanelView::copyConfirmationMs && elapsed < TranslatePanelView::copyConfirmationMs + 500,
             qPrintable(QString::number(elapsed)));
    QCOMPARE(copy->symbol(), Symbol::DocOnDoc);
    QCOMPARE(copy->foreground(), Foreground::Secondary);
    // The second press's own reset finds nothing left to do.
    QTest::qWait(300);
    QVERIFY(!p.view.isCopyConfirmationShown());
}

void TestTranslatePanelView::settingsButtonAsksForTheSettings()
{
    Panel p;
    QVERIFY(p.show());
    QSignalSpy requested(&p.view, &TranslatePanelView::openSettingsRequested);
    auto *settings = part<IconButton>(&p.view, "settingsButton");
    // The whole 22 × 22 square takes the click, not only the symbol.
    QTest::mouseClick(settings, Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(requested.count(), 1);
}

void TestTranslatePanelView::onShowPrefillsAndFocusesTheInput()
{
    Panel p;
    p.model->setOutputText(QStringLiteral("old output"));
    p.model->translate(); // blank input: an error
    QGuiApplication::clipboard()->setText(QStringLiteral("clipboard text"));
    QVERIFY(p.show());
    QCOMPARE(p.input()->text(), QStringLiteral("clipboard text"));
    QCOMPARE(p.resultText()->text(), QStringLiteral("翻译结果将显示在这里"));
    QVERIFY(p.errorLine()->isHidden());
    QTRY_VERIFY(p.input()->hasFocus());
}

void TestTranslatePanelView::flipsToTheHistoryAndBack()
{
    Panel p;
    p.history.add(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("LLM"));
    QVERIFY(p.show());
    auto *flip = p.view.findChild<FlipContainer *>();
    QTest::mouseClick(part<IconButton>(&p.view, "historyButton"), Qt::LeftButton);
    QVERIFY(p.view.isHistoryShown());
    QPointer<HistoryView> history = p.view.historyView();
    QVERIFY(history);
    QVERIFY(flip->isFlipping());
    QTRY_VERIFY(!flip->isFlipping());
    QCOMPARE(flip->currentFace(), history.data());
    QVERIFY(history->isVisible());
    QVERIFY(p.input()->isHidden() || !p.input()->isVisible());

    QTRY_VERIFY(history->hasFocus());
    QTest::keyClick(history, Qt::Key_Escape);
    QVERIFY(!p.view.isHistoryShown());
    QTRY_VERIFY(!flip->isFlipping());
    QVERIFY(p.input()->isVisible());
    QTRY_VERIFY(p.input()->hasFocus());
    // The list is discarded once it is hidden.
    QTRY_VERIFY(history.isNull());
    QCOMPARE(p.llm->calls().size() + p.system->calls().size(), 0);
}

void TestTranslatePanelView::choosingAnEntryFillsThePanelAndKeepsTheError()
{
    Panel p;
    p.history.add(QStringLiteral("source"), QStringLiteral("译文"), QStringLiteral("LLM"));
    QVERIFY(p.show());
    p.model->setDirection(TranslationDirection::EnToZh);
    p.model->translate(); // blank: error
    p.view.showHistory();
    QTRY_VERIFY(!p.view.findChild<FlipContainer *>()->isFlipping());
    Q_EMIT p.view.historyView()->entrySelected(p.history.entries().first());
    QVERIFY(!p.view.isHistoryShown());
    QCOMPARE(p.model->direction(), TranslationDirection::EnToZh);
    QTRY_VERIFY(!p.view.findChild<FlipContainer *>()->isFlipping());
    QCOMPARE(p.input()->text(), QStringLiteral("source"));
    QCOMPARE(p.resultText()->text(), QStringLiteral("译文"));
    QVERIFY(p.errorLine()->isVisible());
    QCOMPARE(p.system->calls().size(), 0);
}

// Back and at once to the history again: the turn back is cut short, and the
// list it would discard at its end must not be the new one.
void TestTranslatePanelView::reopeningTheHistoryMidTurnKeepsTheNewList()
{
    Panel p;
    QVERIFY(p.show());
    auto *flip = p.view.findChild<FlipContainer *>();
    p.view.showHistory();
    QTRY_VERIFY(!flip->isFlipping());
    QPointer<HistoryView> first = p.view.historyView();
    p.view.hideHistory();
    QVERIFY(flip->isFlipping());
    p.view.showHistory();
    QPointer<HistoryView> second = p.view.historyView();
    QVERIFY(second && second != first);
    QTRY_VERIFY(!flip->isFlipping());
    QTRY_VERIFY(first.isNull());
    QCOMPARE(flip->currentFace(), second.data());
    QVERIFY(second->isVisible());
    QVERIFY(p.view.isHistoryShown());
}

QTEST_MAIN(TestTranslatePanelView)
#include "tst_translatepanelview.moc"
