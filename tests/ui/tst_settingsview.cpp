#include "appsettings.h"
#include "keyrecorder.h"
#include "autostartentry.h"
#include "memorykeystore.h"
#include "roundedtextfield.h"
#include "segmentedpicker.h"
#include "settingsview.h"
#include "switchtoggle.h"
#include "symbollabel.h"
#include "temporaryconfig.h"
#include "button.h"
#include "settingsfile.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace Widgets;

Q_DECLARE_METATYPE(ApiKeyAccount)
Q_DECLARE_METATYPE(LLMProvider)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

template <typename T>
T *part(QWidget *root, const QString &name)
{
    T *found = root->findChild<T *>(name);
    if (!found)
        qFatal("no part %s", qPrintable(name));
    return found;
}

QString prefix(ApiKeyAccount account)
{
    return account == ApiKeyAccount::Anthropic ? QStringLiteral("anthropic") : QStringLiteral("openAI");
}

// Lets the store answer one held call; the answer arrives through the event
// loop, as a real one does.
void answer(MemoryKeyStore &secrets, qsizetype call)
{
    if (call < 0)
        secrets.releaseAll();
    else
        secrets.release(call);
    QCoreApplication::processEvents();
}

LLMProvider providerOf(ApiKeyAccount account)
{
    return account == ApiKeyAccount::Anthropic ? LLMProvider::Anthropic : LLMProvider::OpenAICompatible;
}

} // namespace

// The view over private settings and an in-memory key store, in its own window.
struct Settings {
    TemporaryConfig config;
    SettingsFile defaults{config.defaultsPath()};
    AppSettings settings{defaults, std::make_unique<AutostartEntry>(config.autostartPath())};
    MemoryKeyStore secrets;
    std::unique_ptr<SettingsView> view = std::make_unique<SettingsView>(settings, secrets);

    ~Settings()
    {
        // Answers still held arrive after the view has gone.
        view.reset();
        answer(secrets, -1);
    }

    bool show()
    {
        view->show();
        view->activateWindow();
        return QTest::qWaitForWindowActive(view.get());
    }
    RoundedTextField *keyField(ApiKeyAccount account) { return part<RoundedTextField>(view.get(), prefix(account) + "KeyField"); }
    Button *saveButton(ApiKeyAccount account) { return part<Button>(view.get(), prefix(account) + "SaveButton"); }
    Button *clearButton(ApiKeyAccount account) { return part<Button>(view.get(), prefix(account) + "ClearButton"); }
    SymbolLabel *statusLine() { return part<SymbolLabel>(view.get(), QStringLiteral("statusLine")); }
    QWidget *rows(const char *name) { return part<QWidget>(view.get(), QString::fromLatin1(name)); }
    RoundedTextField *field(const QString &name) { return part<RoundedTextField>(view.get(), name); }

    // Shows the account's rows and types into its key field as the user would.
    void type(ApiKeyAccount account, const QString &text)
    {
        settings.setLLMProvider(providerOf(account));
        keyField(account)->clear();
        QTest::keyClicks(keyField(account), text);
    }
};

class TestSettingsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- keys
    void saveIsEnabledByAnyText();
    void writeOutcomes_data();
    void writeOutcomes();
    void keyWithControlCharactersIsRefused();
    void keyFieldsFillOnEachShow();
    void laterLoadOrTypingWinsOverAnEarlierLoad();

    // --- status line
    void statusRemoval_data();
    void statusRemoval();

    // --- settings
    void providerSwitchSwapsRowsAndKeepsKeys();
    void textFieldsStoreEveryKeystroke();
    void generalCardWritesThrough();
    void shortcutRecorderStoresWhatWasPressed_data();
    void shortcutRecorderStoresWhatWasPressed();
    void returnInAFieldDoesNothingElse_data();
    void returnInAFieldDoesNothingElse();
};

// Any text enables "保存", blanks included (what is typed is saved exactly,
// see writeOutcomes); "清除" is always there.
void TestSettingsView::saveIsEnabledByAnyText()
{
    Settings s;
    QVERIFY(s.show());
    for (ApiKeyAccount account : allCases<ApiKeyAccount>()) {
        s.type(account, QStringLiteral("x"));
        s.type(account, QString());
        QVERIFY(!s.saveButton(account)->isEnabled());
        QVERIFY(s.clearButton(account)->isEnabled());
        s.type(account, QStringLiteral("   "));
        QVERIFY(s.saveButton(account)->isEnabled());
    }
}

void TestSettingsView::writeOutcomes_data()
{
    QTest::addColumn<ApiKeyAccount>("account");
    QTest::addColumn<bool>("clearing");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("status");
    QTest::addColumn<std::optional<QString>>("storedAfter");
    QTest::addColumn<QString>("fieldAfter");

    const QString old = QStringLiteral("sk-old");
    const QString typed = QStringLiteral(" sk-new ");
    const QString locked = QStringLiteral("密钥环已锁定");
    for (ApiKeyAccount account : allCases<ApiKeyAccount>()) {
        const QByteArray name = rawValue(account).toLatin1();
        QTest::newRow(name + ": saved") << account << false << QString() << QStringLiteral("已保存到 Keychain")
                                        << std::optional<QString>(typed) << typed;
        QTest::newRow(name + ": save refused") << account << false << locked << QStringLiteral("保存失败：") + locked
                                               << std::optional<QString>(old) << typed;
        QTest::newRow(name + ": cleared") << account << true << QString() << QStringLiteral("已清除")
                                          << std::optional<QString>() << QString();
        // The key is still stored, so the field must not pretend otherwise.
        QTest::newRow(name + ": clear refused") << account << true << locked << QStringLiteral("清除失败：") + locked
                                                << std::optional<QString>(old) << typed;
    }
}

// A refused write must never read as done: red, the warning symbol and the
// store's reason instead of the confirmation.
void TestSettingsView::writeOutcomes()
{
    QFETCH(ApiKeyAccount, account);
    QFETCH(bool, clearing);
    QFETCH(QString, failure);
    QFETCH(QString, status);
    QFETCH(std::optional<QString>, storedAfter);
    QFETCH(QString, fieldAfter);

    Settings s;
    s.secrets.setStored(account, QStringLiteral("sk-old"));
    QVERIFY(s.show());
    QTRY_COMPARE(s.view->keyInput(account), QStringLiteral("sk-old"));
    s.type(account, QStringLiteral(" sk-new "));
    s.secrets.failWritesWith(failure);
    QTest::mouseClick(clearing ? s.clearButton(account) : s.saveButton(account), Qt::LeftButton);

    QCOMPARE(s.view->statusMessage(), std::optional<QString>(status));
    QCOMPARE(s.secrets.stored(account), storedAfter);
    QCOMPARE(s.view->keyInput(account), fieldAfter);
    SymbolLabel *line = s.statusLine();
    QVERIFY(line->isVisible());
    QCOMPARE(line->text(), status);
    const bool failed = !failure.isEmpty();
    QCOMPARE(line->symbol(), failed ? Symbol::ExclamationmarkTriangleFill : Symbol::CheckmarkCircleFill);
    QCOMPARE(line->foreground(), failed ? Foreground::Red : Foreground::Green);
    // Under the taller OpenAI-compatible card the line starts below the
    // visible part; it is scrolled into view.
    QWidget *viewport = part<QScrollArea>(s.view.get(), QStringLiteral("settingsScroll"))->viewport();
    QTRY_VERIFY(viewport->rect().contains(QRect(line->mapTo(viewport, QPoint()), line->size())));
    // The other account is untouched.
    const ApiKeyAccount other = account == ApiKeyAccount::Anthropic ? ApiKeyAccount::OpenAICompatible
                                                                         : ApiKeyAccount::Anthropic;
    QCOMPARE(s.secrets.stored(other), std::nullopt);
}

// Each showing replaces the fields with what is stored then, whatever they held.
// Such a key would break the request header it goes into.
void TestSettingsView::keyWithControlCharactersIsRefused()
{
    Settings s;
    QVERIFY(s.show());
    s.type(ApiKeyAccount::Anthropic, QStringLiteral("x"));
    s.keyField(ApiKeyAccount::Anthropic)->setText(QStringLiteral("sk-new\r\nX-Other: 1"));
    QTest::mouseClick(s.saveButton(ApiKeyAccount::Anthropic), Qt::LeftButton);
    QCOMPARE(s.view->statusMessage(), std::optional<QString>(QStringLiteral("保存失败：API Key 含有换行符或控制字符")));
    QCOMPARE(s.statusLine()->foreground(), Foreground::Red);
    QCOMPARE(s.secrets.stored(ApiKeyAccount::Anthropic), std::nullopt);
}

void TestSettingsView::keyFieldsFillOnEachShow()
{
    Settings s;
    QVERIFY(s.show());
    QCOMPARE(s.secrets.calls().size(), 2);
    s.type(ApiKeyAccount::Anthropic, QStringLiteral("typed, never saved"));
    s.type(ApiKeyAccount::OpenAICompatible, QStringLiteral("typed too"));
    s.view->hide();
    s.settings.setLLMProvider(LLMProvider::Anthropic);
    s.secrets.setStored(ApiKeyAccount::Anthropic, QStringLiteral("sk-ant"));
    QVERIFY(s.show());
    QTRY_COMPARE(s.view->keyInput(ApiKeyAccount::Anthropic), QStringLiteral("sk-ant"));
    QCOMPARE(s.view->keyInput(ApiKeyAccount::OpenAICompatible), QString());
    QCOMPARE(s.keyField(ApiKeyAccount::Anthropic)->echoMode(), QLineEdit::Password);
    QVERIFY(s.saveButton(ApiKeyAccount::Anthropic)->isEnabled());
    QVERIFY(!s.saveButton(ApiKeyAccount::OpenAICompatible)->isEnabled());

    // A store that cannot answer is no sign that the key is gone.
    s.view->hide();
    s.secrets.failLookupsWith(QStringLiteral("无法连接密钥服务"));
    QVERIFY(s.show());
    QCOMPARE(s.view->keyInput(ApiKeyAccount::Anthropic), QStringLiteral("sk-ant"));
    QCOMPARE(s.view->statusMessage(), std::optional<QString>(QStringLiteral("读取失败：无法连接密钥服务")));
    QCOMPARE(s.statusLine()->foreground(), Foreground::Red);
}

// Answers come back in any order: a load asked before a later showing, or
// before the user typed or cleared, must not overwrite what came after it.
void TestSettingsView::laterLoadOrTypingWinsOverAnEarlierLoad()
{
    const ApiKeyAccount anthropic = ApiKeyAccount::Anthropic;
    const ApiKeyAccount openAI = ApiKeyAccount::OpenAICompatible;
    Settings s;
    s.secrets.setStored(anthropic, QStringLiteral("sk-old"));
    s.secrets.setStored(openAI, QStringLiteral("oa-old"));
    s.secrets.holdAnswers(true);
    QVERIFY(s.show()); // calls 0 and 1
    s.view->hide();
    s.secrets.setStored(anthropic, QStringLiteral("sk-new"));
    QVERIFY(s.show()); // calls 2 and 3
    QCOMPARE(s.secrets.calls().size(), 4);

    answer(s.secrets, 2);
    QCOMPARE(s.view->keyInput(anthropic), QStringLiteral("sk-new"));
    answer(s.secrets, 0);
    QCOMPARE(s.view->keyInput(anthropic), QStringLiteral("sk-new"));

    // Typing before the answer arrives: the user's text stays.
    s.type(openAI, QStringLiteral("mine"));
    answer(s.secrets, 3);
    answer(s.secrets, 1);
    QCOMPARE(s.view->keyInput(openAI), QStringLiteral("mine"));

    // Clearing while a load is under way: the removed key does not come back.
    s.view->hide();
    QVERIFY(s.show()); // calls 4 and 5
    QTest::mouseClick(s.clearButton(openAI), Qt::LeftButton);
    QCOMPARE(s.secrets.calls().at(6).operation, MemoryKeyStore::Operation::Remove);
    answer(s.secrets, 6);
    QCOMPARE(s.view->keyInput(openAI), QString());
    answer(s.secrets, 5);
    QCOMPARE(s.view->keyInput(openAI), QString());
    QCOMPARE(s.view->statusMessage(), std::optional<QString>(QStringLiteral("已清除")));

    // Still unanswered when the view goes (see ~Settings): load 4 and a save.
    s.type(openAI, QStringLiteral("sk-1"));
    QTest::mouseClick(s.saveButton(openAI), Qt::LeftButton);
    QCOMPARE(s.secrets.calls().size(), 8);
}

void TestSettingsView::statusRemoval_data()
{
    QTest::addColumn<bool>("secondIsClear");
    QTest::addColumn<int>("removedAtMs");

    // "已清除" replaces "已保存到 Keychain" and stays its own 2 s.
    QTest::newRow("save at 0 s, clear at 1 s") << true << 3000;
    // The same text again: the first message's removal takes it away.
    QTest::newRow("save at 0 s, save at 1 s") << false << 2000;
}

void TestSettingsView::statusRemoval()
{
    QFETCH(bool, secondIsClear);
    QFETCH(int, removedAtMs);

    Settings s;
    QVERIFY(s.show());
    s.type(ApiKeyAccount::Anthropic, QStringLiteral("sk-1"));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(s.saveButton(ApiKeyAccount::Anthropic), Qt::LeftButton);
    QCOMPARE(s.view->statusMessage(), std::optional<QString>(QStringLiteral("已保存到 Keychain")));

    QTest::qWait(1000 - int(clock.elapsed()));
    QTest::mouseClick(secondIsClear ? s.clearButton(ApiKeyAccount::Anthropic) : s.saveButton(ApiKeyAccount::Anthropic),
                      Qt::LeftButton);
    const QString second = secondIsClear ? QStringLiteral("已清除") : QStringLiteral("已保存到 Keychain");
    QCOMPARE(s.view->statusMessage(), std::optional<QString>(second));

    // Shortly before its removal the line still shows; shortly after it is gone.
    QTest::qWait(removedAtMs - 250 - int(clock.elapsed()));
    QCOMPARE(s.view->statusMessage(), std::optional<QString>(second));
    QTRY_VERIFY_WITH_TIMEOUT(!s.view->statusMessage(), 1000);
    const qint64 removedAt = clock.elapsed();
    QVERIFY2(removedAt >= removedAtMs && removedAt < removedAtMs + 400, qPrintable(QString::number(removedAt)));
    // It fades out, then leaves the layout.
    QVERIFY(s.statusLine()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!s.statusLine()->isVisible(), 1000);
}

void TestSettingsView::providerSwitchSwapsRowsAndKeepsKeys()
{
    Settings s;
    s.settings.setOpenAIBaseURL(QStringLiteral("http://localhost:11434/v1"));
    s.settings.setOpenAIModel(QStringLiteral("qwen2.5"));
    QVERIFY(s.show());
    s.type(ApiKeyAccount::Anthropic, QStringLiteral("sk-ant"));
    QVERIFY(s.rows("anthropicRows")->isVisible());
    QVERIFY(!s.rows("openAIRows")->isVisible());

    auto *picker = part<SegmentedPicker>(s.view.get(), QStringLiteral("providerPicker"));
    QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(1).center());
    QCOMPARE(s.settings.llmProvider(), LLMProvider::OpenAICompatible);
    QVERIFY(!s.rows("anthropicRows")->isVisible());
    QVERIFY(s.rows("openAIRows")->isVisible());
    QCOMPARE(s.field(QStringLiteral("baseURLField"))->text(), QStringLiteral("http://localhost:11434/v1"));
    QCOMPARE(s.field(QStringLiteral("modelField"))->text(), QStringLiteral("qwen2.5"));

    QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(0).center());
    QCOMPARE(s.settings.llmProvider(), LLMProvider::Anthropic);
    QVERIFY(s.rows("anthropicRows")->isVisible());
    QCOMPARE(s.view->keyInput(ApiKeyAccount::Anthropic), QStringLiteral("sk-ant"));
    QCOMPARE(s.secrets.calls().size(), 2); // the two loads on showing; nothing saved
}

void TestSettingsView::textFieldsStoreEveryKeystroke()
{
    Settings s;
    s.settings.setOpenAIModel(QStringLiteral("gpt-4o"));
    s.settings.setLLMProvider(LLMProvider::OpenAICompatible);
    QVERIFY(s.show());
    // The placeholder is only a placeholder: an emptied field stores "".
    RoundedTextField *model = s.field(QStringLiteral("modelField"));
    model->setFocus();
    model->end(false);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(model, Qt::Key_Backspace);
    QCOMPARE(s.settings.openAIModel(), QString());

    RoundedTextField *base = s.field(QStringLiteral("baseURLField"));
    base->setFocus();
    base->end(false);
    QTest::keyClick(base, Qt::Key_Backspace);
    QCOMPARE(s.settings.openAIBaseURL(), QStringLiteral("https://api.openai.com/v"));
    QTest::keyClick(base, '2');
    QCOMPARE(s.settings.openAIBaseURL(), QStringLiteral("https://api.openai.com/v2"));

    // Written through: the next run of the program reads the same.
    const std::unique_ptr<SettingsFile> reopened = s.config.reopen();
    AppSettings next(*reopened, std::make_unique<AutostartEntry>(s.config.autostartPath()));
    QCOMPARE(next.openAIModel(), QString());
    QCOMPARE(next.openAIBaseURL(), QStringLiteral("https://api.openai.com/v2"));
}

void TestSettingsView::generalCardWritesThrough()
{
    Settings s;
    QVERIFY(s.show());
    auto *engine = part<QComboBox>(s.view.get(), QStringLiteral("defaultEnginePicker"));
    QCOMPARE(engine->currentText(), QStringLiteral("系统离线"));
    engine->setFocus();
    QTest::keyClick(engine, Qt::Key_Down);
    QCOMPARE(engine->currentText(), QStringLiteral("LLM"));
    QCOMPARE(s.settings.defaultEngine(), EngineKind::LLM);
    s.settings.setDefaultEngine(EngineKind::System);
    QCOMPARE(engine->currentText(), QStringLiteral("系统离线"));

    auto *login = part<SwitchToggle>(s.view.get(), QStringLiteral("launchAtLoginSwitch"));
    QVERIFY(!login->isChecked());
    QTest::mouseClick(login, Qt::LeftButton);
    QVERIFY(s.settings.launchAtLogin());
    QVERIFY(QFile::exists(s.config.autostartPath()));
    QTest::mouseClick(login, Qt::LeftButton);
    QVERIFY(!s.settings.launchAtLogin());
    QVERIFY(!QFile::exists(s.config.autostartPath()));
    s.settings.setLaunchAtLogin(true);
    QVERIFY(login->isChecked());

    // A refused change: the switch goes back to what is, and the status line says why.
    s.settings.setLaunchAtLogin(false);
    const QString autostart = QFileInfo(s.config.autostartPath()).absolutePath();
    QVERIFY(QDir(autostart).removeRecursively());
    QFile blocker(autostart);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QTest::mouseClick(login, Qt::LeftButton);
    QVERIFY(!login->isChecked());
    QVERIFY(s.view->statusMessage().value_or(QString()).startsWith(QStringLiteral("登录项更新失败：")));
    QCOMPARE(s.statusLine()->symbol(), Symbol::ExclamationmarkTriangleFill);
    QCOMPARE(s.statusLine()->foreground(), Foreground::Red);
}

void TestSettingsView::shortcutRecorderStoresWhatWasPressed_data()
{
    QTest::addColumn<QList<QKeyCombination>>("pressed"); // after Return on the recorder
    QTest::addColumn<QString>("stored");

    const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    QTest::newRow("Ctrl+Alt and a letter") << QList{QKeyCombination(ctrlAlt, Qt::Key_K)} << u"Ctrl+Alt+K"_qs;
    QTest::newRow("Super+Shift and a function key")
        << QList{QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_F5)} << u"Meta+Shift+F5"_qs;
    QTest::newRow("modifiers held first") << QList{QKeyCombination(ctrlAlt, Qt::Key_Control),
                                                   QKeyCombination(ctrlAlt, Qt::Key_J)} << u"Ctrl+Alt+J"_qs;
    QTest::newRow("Ctrl+Q, the window's quit key") << QList{QKeyCombination(Qt::ControlModifier, Qt::Key_Q)}
                                                   << u"Ctrl+Q"_qs;
    QTest::newRow("a bare key is not taken") << QList{QKeyCombination(Qt::Key_K), QKeyCombination(Qt::Key_Escape)}
                                             << u"Ctrl+Alt+Y"_qs;
    QTest::newRow("Shift alone is not enough")
        << QList{QKeyCombination(Qt::ShiftModifier, Qt::Key_K), QKeyCombination(Qt::Key_Escape)} << u"Ctrl+Alt+Y"_qs;
    QTest::newRow("Backspace turns it off") << QList{QKeyCombination(Qt::Key_Backspace)} << QString();
}

void TestSettingsView::shortcutRecorderStoresWhatWasPressed()
{
    QFETCH(QList<QKeyCombination>, pressed);
    QFETCH(QString, stored);

    Settings s;
    QVERIFY(s.show());
    QAction quit(s.view.get());
    quit.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    s.view->addAction(&quit);
    QSignalSpy quitting(&quit, &QAction::triggered);
    auto *recorder = part<KeyRecorder>(s.view.get(), QStringLiteral("shortcutRecorder"));
    recorder->setFocus();
    QTest::keyClick(recorder, Qt::Key_Return);
    QTRY_VERIFY(recorder->isRecording());
    for (const QKeyCombination keys : pressed)
        QTest::keyClick(recorder, keys.key(), keys.keyboardModifiers());
    QVERIFY(!recorder->isRecording());
    QCOMPARE(s.settings.globalShortcut(), stored);
    QCOMPARE(recorder->text(), stored.isEmpty() ? u"已关闭"_qs : stored);
    QCOMPARE(quitting.count(), 0);
}

void TestSettingsView::returnInAFieldDoesNothingElse_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<LLMProvider>("provider");

    QTest::newRow("Anthropic key") << QStringLiteral("anthropicKeyField") << LLMProvider::Anthropic;
    QTest::newRow("OpenAI key") << QStringLiteral("openAIKeyField") << LLMProvider::OpenAICompatible;
    QTest::newRow("base URL") << QStringLiteral("baseURLField") << LLMProvider::OpenAICompatible;
    QTest::newRow("model") << QStringLiteral("modelField") << LLMProvider::OpenAICompatible;
}

// Even inside a dialog, whose Return presses its default button and closes.
void TestSettingsView::returnInAFieldDoesNothingElse()
{
    QFETCH(QString, field);
    QFETCH(LLMProvider, provider);

    Settings s;
    s.settings.setLLMProvider(provider);
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    SettingsView *view = s.view.release();
    layout->addWidget(view);
    auto *button = new QPushButton(QStringLiteral("OK"), &dialog);
    button->setDefault(true);
    layout->addWidget(button);
    bool pressed = false;
    connect(button, &QPushButton::clicked, this, [&pressed] { pressed = true; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    auto *edit = part<RoundedTextField>(&dialog, field);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    QVERIFY(dialog.isVisible());
    QVERIFY(!pressed);
    QCOMPARE(s.secrets.calls().size(), 2); // only the loads on showing
    QVERIFY(!view->statusMessage());
    QVERIFY(edit->text().endsWith(QStringLiteral("abc")));
}

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
