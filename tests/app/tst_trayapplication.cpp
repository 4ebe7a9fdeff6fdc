#include "app/popoverwindow.h"
#include "app/trayapplication.h"
#include "desktop/trayicon.h"
#include "engines/llmengine.h"
#include "engines/systemengine.h"
#include "memorykeystore.h"
#include "storage/appsettings.h"
#include "storage/historystore.h"
#include "temporaryconfig.h"
#include "ui/submittextview.h"
#include "ui/translatepanelview.h"
#include "ui/translationviewmodel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QtTest>

class TestTrayApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void clickOpensThePanelAndClickClosesIt();
    void anotherWindowTakingTheFocusClosesThePanelAndItsClickDoesNotReopen_data();
    void anotherWindowTakingTheFocusClosesThePanelAndItsClickDoesNotReopen();
    void statusMenuIsBuiltAnewWithItsShortcuts();
    void screenTextWorksBeforeThePanelWasEverOpened();
    void settingsWindowOpensOnceAndIsOnlyHiddenOnClose();
    void withoutATrayThePanelBecomesAnOrdinaryWindow();

private:
    TemporaryConfig m_config; // kept from test to test, as in one run of the program
    MemoryKeyStore m_keys;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<TrayApplication> m_tray;
};

void TestTrayApplication::init()
{
    AppSettings &settings = m_config.settings();
    m_history = std::make_unique<HistoryStore>(HistoryStore::standardKey(), m_config.settingsFile());
    m_tray = std::make_unique<TrayApplication>(
        settings, *m_history, m_keys, SystemEngine::create(),
        std::make_shared<LLMEngine>([&settings] { return settings.llmConnection(); }, m_keys));
    m_tray->start();
    QGuiApplication::clipboard()->clear();
}

void TestTrayApplication::cleanup()
{
    m_tray.reset();
    m_history.reset();
}

// With nothing copied the input keeps its text (the panel's own test has the clipboard's).
void TestTrayApplication::clickOpensThePanelAndClickClosesIt()
{
    auto model = m_tray->viewModel();
    model->setInputText(u"typed before"_qs);
    model->setOutputText(u"old result"_qs);

    m_tray->togglePopover();
    QVERIFY(m_tray->isPopoverShown());
    QCOMPARE(model->inputText(), u"typed before"_qs);
    QCOMPARE(model->outputText(), QString());
    // As tall as its content: no blank strip under the translate button.
    QCOMPARE(m_tray->popover()->size(), QSize(340, m_tray->panel()->sizeHint().height()));
    // A pop-up: no frame, no taskbar entry.
    QVERIFY(m_tray->popover()->windowFlags().testFlags(Qt::FramelessWindowHint | Qt::Tool));
    QTRY_VERIFY(m_tray->panel()->inputField()->hasFocus());

    m_tray->togglePopover();
    QVERIFY(!m_tray->isPopoverShown());
}

void TestTrayApplication::anotherWindowTakingTheFocusClosesThePanelAndItsClickDoesNotReopen_data()
{
    QTest::addColumn<bool>("guardOver"); // the click comes after the guard's time, or at once
    QTest::addColumn<bool>("opens");
    QTest::newRow("the click that took the focus") << false << false;
    QTest::newRow("a later click") << true << true;
}

void TestTrayApplication::anotherWindowTakingTheFocusClosesThePanelAndItsClickDoesNotReopen()
{
    QFETCH(bool, guardOver);
    QFETCH(bool, opens);
    auto *guard = m_tray->findChild<QTimer *>(u"reopenGuard"_qs);
    QCOMPARE(guard->interval(), 300);
    m_tray->togglePopover();
    QTRY_VERIFY(m_tray->popover()->isActiveWindow());
    QObject scope;
    bool guarded = false; // as the panel closes, after the program's own handling
    connect(m_tray->popover(), &PopoverWindow::deactivated, &scope, [&] { guarded = guard->isActive(); });
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(!m_tray->isPopoverShown());
    QVERIFY(guarded);

    // The guard's time is driven, not waited for: a slow machine cannot make the click late.
    guardOver ? guard->stop() : guard->start();
    m_tray->togglePopover();
    QCOMPARE(m_tray->isPopoverShown(), opens);
}

void TestTrayApplication::statusMenuIsBuiltAnewWithItsShortcuts()
{
    m_tray->showStatusMenu();
    QPointer<QMenu> first = m_tray->statusMenu();
    QVERIFY(first);
    QStringList items;
    for (const QAction *action : first->actions())
        items << (action->isSeparator() ? u"-"_qs : action->text() + u' ' + action->shortcut().toString());
    QCOMPARE(
        items,
        QStringList({u"打开翻译面板 "_qs, u"截图翻译 "_qs, u"-"_qs, u"设置… Ctrl+,"_qs, u"退出 tolvanis Ctrl+Q"_qs}));
    QVERIFY(first->actions().at(3)->isShortcutVisibleInContextMenu());
    first->actions().at(0)->trigger();
    QVERIFY(m_tray->isPopoverShown());
    QVERIFY(!m_tray->settingsWindow());

    first->close();
    QTRY_VERIFY(!first); // gone once closed: no menu stays on the icon to swallow the next click
    m_tray->showStatusMenu();
    QMenu *second = m_tray->statusMenu();
    m_tray->showStatusMenu(); // asked again while open: still the one menu
    QVERIFY(second && second->isVisible() && m_tray->statusMenu() == second);
    m_tray->statusMenu()->close();
}

// The panel is built on first use: the screen text's way in must not wait for it.
void TestTrayApplication::screenTextWorksBeforeThePanelWasEverOpened()
{
    QVERIFY(!m_tray->popover());
    m_tray->translateScreenText();
    const auto overlay = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto found = std::find_if(windows.begin(), windows.end(), [](QWidget *window) {
            return window->isVisible() && window->windowTitle() == u"截图翻译"_qs;
        });
        return found == windows.end() ? nullptr : *found;
    };
    // The selection overlay, or the panel saying why the screen could not be read.
    QTRY_VERIFY_WITH_TIMEOUT(overlay() || !m_tray->viewModel()->errorMessageText().isEmpty(), 2000);
    if (QWidget *shown = overlay())
        QTest::keyClick(shown, Qt::Key_Escape);
}

void TestTrayApplication::settingsWindowOpensOnceAndIsOnlyHiddenOnClose()
{
    m_tray->showStatusMenu();
    m_tray->statusMenu()->actions().at(3)->trigger();
    QPointer<QWidget> window = m_tray->settingsWindow();
    QVERIFY(window && window->isVisible());

    m_tray->openSettings();
    QCOMPARE(m_tray->settingsWindow(), window.data());
    window->close();
    QVERIFY(window && !window->isVisible());
    m_tray->openSettings();
    QCOMPARE(m_tray->settingsWindow(), window.data());
    QVERIFY(window->isVisible());
}

void TestTrayApplication::withoutATrayThePanelBecomesAnOrdinaryWindow()
{
    QVERIFY(!m_tray->statusItem()->isInTray()); // offscreen, and no watcher on the test bus
    QTRY_VERIFY_WITH_TIMEOUT(m_tray->isPopoverShown(), 6000);
    QWidget *panel = m_tray->popover();
    QVERIFY(panel->windowType() == Qt::Window && !panel->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(panel->windowTitle(), u"tolvanis"_qs);
    // An ordinary window stays open when another one takes the focus.
    QWidget other;
    other.show();
    other.activateWindow();
    QTest::qWait(100);
    QVERIFY(m_tray->isPopoverShown());
}

QTEST_MAIN(TestTrayApplication)
#include "tst_trayapplication.moc"
