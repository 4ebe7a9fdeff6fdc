#include "trayapplication.h"
#include "appsettings.h"
#include "historystore.h"
#include "llmengine.h"
#include "memorykeystore.h"
#include "popoverwindow.h"
#include "settingsview.h"
#include "submittextview.h"
#include "systemengine.h"
#include "temporaryconfig.h"
#include "translatepanelview.h"
#include "translationviewmodel.h"
#include "trayicon.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QtTest>

class TestAppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // --- the panel
    void clickOpensThePanelPrefilledAndClickClosesIt();
    void anotherWindowTakingTheFocusClosesThePanelAndItsClickDoesNotReopen();
    void clipboardWithoutTextKeepsTheInput();

    // --- menus and windows
    void statusMenuIsBuiltAnewWithItsShortcuts();
    void settingsWindowOpensOnceAndIsOnlyHiddenOnClose();
    void withoutATrayThePanelBecomesAnOrdinaryWindow();
    void editingShortcutsWorkInThePanelAndTheSettings_data();
    void editingShortcutsWorkInThePanelAndTheSettings();

private:
    std::unique_ptr<TemporaryConfig> m_config;
    MemoryKeyStore m_keys;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<TrayApplication> m_delegate;
};

void TestAppDelegate::initTestCase()
{
    // Settings kept from test to test, as in one run of the program.
    m_config = std::make_unique<TemporaryConfig>();
}

void TestAppDelegate::init()
{
    AppSettings &settings = m_config->settings();
    m_history = std::make_unique<HistoryStore>(HistoryStore::standardKey(), m_config->defaults());
    m_delegate = std::make_unique<TrayApplication>(settings, *m_history, m_keys, SystemEngine::create(),
                                                   std::make_shared<LLMEngine>(settings, m_keys));
    m_delegate->start();
    QGuiApplication::clipboard()->clear();
}

void TestAppDelegate::cleanup()
{
    m_delegate.reset();
    m_history.reset();
}

void TestAppDelegate::clickOpensThePanelPrefilledAndClickClosesIt()
{
    auto model = m_delegate->viewModel();
    QCOMPARE(m_delegate->viewModel(), model); // created once, shared
    model->setOutputText(u"old result"_qs);
    QGuiApplication::clipboard()->setText(u"剪贴板里的文字"_qs);

    m_delegate->togglePopover();
    QVERIFY(m_delegate->isPopoverShown());
    QVERIFY(m_delegate->hasEventMonitor());
    QCOMPARE(model->inputText(), u"剪贴板里的文字"_qs);
    QCOMPARE(model->outputText(), QString());
    // As tall as its content: no blank strip under the translate button.
    QCOMPARE(m_delegate->popover()->size(), QSize(340, m_delegate->panel()->sizeHint().height()));
    QVERIFY(m_delegate->popover()->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(m_delegate->popover()->windowFlags().testFlag(Qt::Tool)); // no taskbar entry
    QTRY_VERIFY(m_delegate->panel()->inputField()->hasFocus());

    m_delegate->togglePopover();
    QVERIFY(!m_delegate->isPopoverShown());
    QVERIFY(!m_delegate->hasEventMonitor());
}

void TestAppDelegate::anotherWindowTakingTheFocusClosesThePanelAndItsClickDoesNotReopen()
{
    m_delegate->togglePopover();
    QTRY_VERIFY(m_delegate->popover()->isActiveWindow());

    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(!m_delegate->isPopoverShown());
    QVERIFY(!m_delegate->hasEventMonitor());

    // The click on the icon arrives right after the deactivation it caused.
    m_delegate->togglePopover();
    QVERIFY(!m_delegate->isPopoverShown());
    // A later click opens it as usual.
    QTest::qWait(350);
    m_delegate->togglePopover();
    QVERIFY(m_delegate->isPopoverShown());
}

void TestAppDelegate::clipboardWithoutTextKeepsTheInput()
{
    auto model = m_delegate->viewModel();
    model->setInputText(u"typed before"_qs);
    model->setOutputText(u"x"_qs);
    m_delegate->togglePopover();
    QCOMPARE(model->inputText(), u"typed before"_qs);
    QCOMPARE(model->outputText(), QString());
}

void TestAppDelegate::statusMenuIsBuiltAnewWithItsShortcuts()
{
    m_delegate->showStatusMenu();
    QPointer<QMenu> first = m_delegate->statusMenu();
    QVERIFY(first);
    const QList<QAction *> actions = first->actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions.at(0)->text(), u"打开翻译面板"_qs);
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), u"设置…"_qs);
    QCOMPARE(actions.at(2)->shortcut(), QKeySequence(u"Ctrl+,"_qs));
    QVERIFY(actions.at(2)->isShortcutVisibleInContextMenu());
    QCOMPARE(actions.at(3)->text(), u"退出 tolvanis"_qs);
    QCOMPARE(actions.at(3)->shortcut(), QKeySequence(u"Ctrl+Q"_qs));
    actions.at(0)->trigger();
    QVERIFY(m_delegate->isPopoverShown());

    first->close();
    QTRY_VERIFY(!first); // detached and gone once closed
    m_delegate->showStatusMenu();
    QVERIFY(m_delegate->statusMenu());
    m_delegate->statusMenu()->close();
}

void TestAppDelegate::settingsWindowOpensOnceAndIsOnlyHiddenOnClose()
{
    QVERIFY(!m_delegate->settingsWindow());
    m_delegate->openSettings();
    QPointer<QWidget> window = m_delegate->settingsWindow();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), u"设置"_qs);
    QCOMPARE(window->size(), QSize(SettingsView::viewWidth, SettingsView::viewHeight));
    QCOMPARE(window->minimumSize(), window->maximumSize()); // not resizable

    m_delegate->openSettings();
    QCOMPARE(m_delegate->settingsWindow(), window.data());
    window->close();
    QVERIFY(window);
    QVERIFY(!window->isVisible());
    m_delegate->openSettings();
    QCOMPARE(m_delegate->settingsWindow(), window.data());
    QVERIFY(window->isVisible());
}

void TestAppDelegate::withoutATrayThePanelBecomesAnOrdinaryWindow()
{
    QVERIFY(!m_delegate->statusItem()->isInTray()); // offscreen, and no watcher on the test bus
    QTRY_VERIFY_WITH_TIMEOUT(m_delegate->isPopoverShown(), 6000);
    QWidget *panel = m_delegate->popover();
    QVERIFY(!panel->windowFlags().testFlag(Qt::Tool));
    QVERIFY(!panel->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(panel->windowTitle(), u"tolvanis"_qs);
    // An ordinary window stays open when another one takes the focus.
    QWidget other;
    other.show();
    other.activateWindow();
    QTest::qWait(100);
    QVERIFY(m_delegate->isPopoverShown());
}

void TestAppDelegate::editingShortcutsWorkInThePanelAndTheSettings_data()
{
    QTest::addColumn<bool>("inSettings");
    QTest::newRow("panel input") << false;
    QTest::newRow("settings model field") << true;
}

void TestAppDelegate::editingShortcutsWorkInThePanelAndTheSettings()
{
    // The program has no menu bar; the text widgets must bring the usual keys.
    QFETCH(bool, inSettings);
    QWidget *field = nullptr;
    std::function<QString()> text;
    if (inSettings) {
        m_config->settings().setLLMProvider(LLMProvider::OpenAICompatible); // shows the model field
        m_delegate->openSettings();
        auto *edit = m_delegate->settingsWindow()->findChild<QLineEdit *>(u"modelField"_qs);
        QVERIFY(edit);
        edit->setText(u"gpt-4o"_qs);
        field = edit;
        text = [edit] { return edit->text(); };
    } else {
        m_delegate->togglePopover();
        auto *edit = m_delegate->panel()->inputField();
        edit->setPlainText(u"gpt-4o"_qs);
        field = edit;
        text = [edit] { return edit->toPlainText(); };
    }
    field->window()->activateWindow();
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());

    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"gpt-4o"_qs);
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(text(), QString());
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(text(), u"gpt-4ogpt-4o"_qs);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text(), u"gpt-4o"_qs);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(text(), u"gpt-4ogpt-4o"_qs);
}

QTEST_MAIN(TestAppDelegate)
#include "tst_trayapplication.moc"
