#include "memorykeystore.h"
#include "storage/appsettings.h"
#include "temporaryconfig.h"
#include "ui/settingsview.h"
#include "widgetlookup.h"
#include "widgets/button.h"
#include "widgets/keyrecorder.h"
#include "widgets/roundedtextfield.h"
#include "widgets/segmentedpicker.h"
#include "widgets/switchtoggle.h"
#include "widgets/symbollabel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace Widgets;

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ApiKeyAccount)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

constexpr ApiKeyAccount anthropic = ApiKeyAccount::Anthropic;
constexpr ApiKeyAccount openAI = ApiKeyAccount::OpenAICompatible;
// Why the store refuses a write, where it does.
const QString locked = u"密钥环已锁定"_qs;

} // namespace

// The view over private settings and an in-memory key store, in its own window.
struct Settings {
    TemporaryConfig temporary;
    AppSettings &settings = temporary.settings();
    MemoryKeyStore secrets;
    std::unique_ptr<SettingsView> view = std::make_unique<SettingsView>(settings, secrets);

    ~Settings()
    {
        // Answers still held arrive after the view has gone.
        view.reset();
        secrets.releaseAll();
        QCoreApplication::processEvents();
    }
    bool show(ApiKeyAccount account = anthropic)
    {
        settings.setLLMProvider(account == anthropic ? LLMProvider::Anthropic : LLMProvider::OpenAICompatible);
        view->show();
        view->activateWindow();
        return QTest::qWaitForWindowActive(view.get());
    }
    template<typename T = QWidget>
    T *at(const QString &name)
    {
        return part<T>(view.get(), name);
    }
    template<typename T = Button>
    T *at(ApiKeyAccount account, const char *name)
    {
        return at<T>((account == anthropic ? u"anthropic"_qs : u"openAI"_qs) + QLatin1String(name));
    }
    RoundedTextField *key(ApiKeyAccount account) { return at<RoundedTextField>(account, "KeyField"); }
    void answer(qsizetype call)
    {
        secrets.release(call);
        QCoreApplication::processEvents();
    }
};

class TestSettingsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyWrites_data()
    {
        QTest::addColumn<ApiKeyAccount>("account");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("status");
        QTest::addColumn<std::optional<QString>>("stored");

        const QString typed = u" sk-new "_qs; // saved exactly as typed
        const std::optional<QString> old = u"sk-old"_qs;
        for (ApiKeyAccount a : {anthropic, openAI}) {
            const QByteArray name = rawValue(a).toLatin1();
            QTest::newRow(name + " saved")
                << a << typed << "SaveButton"_ba << u"已保存到 Keychain"_qs << std::optional(typed);
            QTest::newRow(name + " save refused") << a << typed << "SaveButton"_ba << u"保存失败："_qs + locked << old;
            // Such a key would break the request header it goes into.
            QTest::newRow(name + " control characters")
                << a << u"sk\r\nX: 1"_qs << "SaveButton"_ba << u"保存失败：API Key 含有换行符或控制字符"_qs << old;
            QTest::newRow(name + " cleared")
                << a << typed << "ClearButton"_ba << u"已清除"_qs << std::optional<QString>();
            QTest::newRow(name + " clear refused")
                << a << typed << "ClearButton"_ba << u"清除失败："_qs + locked << old;
        }
    }

    // A refused write never reads as done, and the field keeps a key that is
    // still stored.
    void keyWrites()
    {
        QFETCH(ApiKeyAccount, account);
        QFETCH(QString, typed);
        QFETCH(QByteArray, button);
        QFETCH(QString, status);
        QFETCH(std::optional<QString>, stored);
        Settings s;
        s.secrets.setStored(account, u"sk-old"_qs);
        QVERIFY(s.show(account));
        QTRY_COMPARE(s.key(account)->text(), u"sk-old"_qs);
        s.key(account)->setText(typed);
        s.secrets.failWritesWith(status.endsWith(locked) ? locked : QString());
        QTest::mouseClick(s.at(account, button.constData()), Qt::LeftButton);

        QCOMPARE(s.secrets.stored(account), stored);
        QCOMPARE(s.key(account)->text(), status == u"已清除"_qs ? QString() : typed);
        QCOMPARE(s.at(account, "SaveButton")->isEnabled(), !s.key(account)->text().isEmpty());
        QCOMPARE(s.view->statusMessage(), std::optional(status));
        const bool refused = status.contains(u"失败"_qs);
        QCOMPARE(s.at<SymbolLabel>(u"statusLine"_qs)->foreground(), refused ? Foreground::Red : Foreground::Green);
    }

    // The fields fill when shown, masked. Answers come back in any order: a
    // load asked before a later showing, or before the user typed,
    // must not overwrite what came after it.
    void keyFieldsFillOnEachShowingWithTheLatest()
    {
        Settings s;
        s.secrets.setStored(anthropic, u"sk-old"_qs);
        QVERIFY(s.show());
        QTRY_COMPARE(s.key(anthropic)->text(), u"sk-old"_qs);
        QCOMPARE(s.key(anthropic)->echoMode(), QLineEdit::Password);
        QVERIFY(!s.at(openAI, "SaveButton")->isEnabled() && s.at(openAI, "ClearButton")->isEnabled());
        s.view->hide();
        s.secrets.setStored(openAI, u"oa-old"_qs);
        s.secrets.holdAnswers(true);
        QVERIFY(s.show(openAI)); // loads 2 and 3
        s.view->hide();
        s.secrets.setStored(anthropic, u"sk-new"_qs);
        QVERIFY(s.show(openAI)); // loads 4 and 5
        s.answer(4);
        s.answer(2);
        QCOMPARE(s.key(anthropic)->text(), u"sk-new"_qs);
        QTest::keyClicks(s.key(openAI), u"mine"_qs);
        s.answer(5);
        QCOMPARE(s.key(openAI)->text(), u"mine"_qs);
    }

    void keyThatCannotBeReadIsReported()
    {
        Settings s;
        s.secrets.failLookupsWith(locked);
        QVERIFY(s.show());
        QTRY_COMPARE(s.view->statusMessage(), std::optional(u"读取失败："_qs + locked));
    }

    void statusRemoval_data()
    {
        QTest::addColumn<QByteArray>("second"); // pressed while "保存"'s message shows
        QTest::addColumn<std::optional<QString>>("afterFirst"); // shown once the first message's time is up
        QTest::newRow("another text stays its own time") << "ClearButton"_ba << std::optional(u"已清除"_qs);
        QTest::newRow("the same text goes with the first") << "SaveButton"_ba << std::optional<QString>();
    }

    void statusRemoval()
    {
        QFETCH(QByteArray, second);
        Settings s;
        QVERIFY(s.show());
        QTest::keyClicks(s.key(anthropic), u"sk-1"_qs);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(s.at(anthropic, "SaveButton"), Qt::LeftButton);
        QTest::mouseClick(s.at(anthropic, second.constData()), Qt::LeftButton);
        const QList<QTimer *> removals = pendingTimers(*s.view, "statusRemoval");
        QCOMPARE(removals.size(), 2);
        std::optional<std::optional<QString>> afterFirst;
        qint64 firstAt = 0;
        connect(removals.first(), &QTimer::timeout, s.view.get(), [&] {
            afterFirst = s.view->statusMessage();
            firstAt = clock.elapsed();
        });
        QTRY_VERIFY_WITH_TIMEOUT(afterFirst, 10000);
        QTEST(*afterFirst, "afterFirst");
        QVERIFY2(firstAt >= 2000, qPrintable(QString::number(firstAt)));
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->statusMessage(), 10000);
    }

    void globalShortcutNeedsCtrlAltOrSuper_data()
    {
        QTest::addColumn<QKeyCombination>("pressed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("a plain letter") << QKeyCombination(Qt::Key_K) << u"Ctrl+Alt+Y"_qs;
        QTest::newRow("Shift and a letter") << (Qt::SHIFT | Qt::Key_K) << u"Ctrl+Alt+Y"_qs;
        QTest::newRow("Super and a letter") << (Qt::META | Qt::Key_K) << u"Meta+K"_qs;
        QTest::newRow("Ctrl+Shift and a letter") << (Qt::CTRL | Qt::SHIFT | Qt::Key_K) << u"Ctrl+Shift+K"_qs;
    }

    // A combination without Ctrl, Alt or Super would take that key from every program.
    void globalShortcutNeedsCtrlAltOrSuper()
    {
        QFETCH(QKeyCombination, pressed);
        Settings s;
        QVERIFY(s.show());
        auto *recorder = s.at<QAbstractButton>(u"shortcutRecorder"_qs);
        QTest::mouseClick(recorder, Qt::LeftButton);
        QTest::keyClick(recorder, pressed.key(), pressed.keyboardModifiers());
        QTEST(s.settings.globalShortcut(), "stored");
    }

    void settingsWriteThrough()
    {
        Settings s;
        s.settings.setOpenAIModel(u"g"_qs);
        QVERIFY(s.show());
        auto *provider = s.at<SegmentedPicker>(u"providerPicker"_qs);
        QTest::mouseClick(provider, Qt::LeftButton, {}, provider->segmentRect(1).center());
        QCOMPARE(s.settings.llmProvider(), LLMProvider::OpenAICompatible);
        // A keystroke is stored at once; an emptied field stores "", not its placeholder.
        auto *model = s.at<RoundedTextField>(u"modelField"_qs);
        QTest::keyClick(model, Qt::Key_Backspace);
        QCOMPARE(s.settings.openAIModel(), QString());
        // Plain http carries the key in clear to any other machine, and the window says so.
        for (const auto &[url, flagged] : {std::pair{u"http://192.168.1.20:11434/v1"_qs, true},
                                           {u"http://[::1]:8080/v1"_qs, false},
                                           {u"http://[::ffff:192.168.1.20]/v1"_qs, true},
                                           {u"http://[::ffff:127.0.0.1]:8080/v1"_qs, false},
                                           {u"http://10.0.0.1/v1"_qs, true},
                                           {u"http://127.8.0.1:8080/v1"_qs, false},
                                           {u"https://10.0.0.1/v1"_qs, false}}) {
            s.settings.setOpenAIBaseURL(url);
            QCOMPARE(s.at<SymbolLabel>(u"plainHTTPWarning"_qs)->isVisible(), flagged);
        }

        // The screen-text key is recorded and stored; the selection's key is refused with the reason.
        auto *screenText = s.at<KeyRecorder>(u"screenTextRecorder"_qs);
        for (const Qt::Key key : {Qt::Key_P, Qt::Key_Y}) {
            QTest::mouseClick(screenText, Qt::LeftButton);
            QTest::keyClick(screenText, key, Qt::ControlModifier | Qt::AltModifier);
        }
        QCOMPARE(s.settings.screenTextShortcut(), u"Ctrl+Alt+P"_qs);
        QCOMPARE(s.view->statusMessage().value_or(QString()), u"Ctrl+Alt+Y 已用于另一个快捷键"_qs);

        // A refused change: the switch goes back, and the status line says why.
        auto *login = s.at<SwitchToggle>(u"launchAtLoginSwitch"_qs);
        QFile blocker(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/autostart"_qs);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QTest::mouseClick(login, Qt::LeftButton);
        QVERIFY(!login->isChecked());
        QVERIFY(s.view->statusMessage().value_or(QString()).startsWith(u"登录项更新失败："_qs));
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
