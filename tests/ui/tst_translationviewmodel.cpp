#include "anthropicengine.h"
#include "appsettings.h"
#include "historystore.h"
#include "autostartentry.h"
#include "loopbackserver.h"
#include "memorykeystore.h"
#include "scriptedengine.h"
#include "temporaryconfig.h"
#include "translationviewmodel.h"
#include "settingsfile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

class TestTranslationViewModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // --- starting a request
    void blankInputOnlySetsTheError_data();
    void blankInputOnlySetsTheError();
    void engineGetsTheUntrimmedTextAndTheDirectionsLanguages_data();
    void engineGetsTheUntrimmedTextAndTheDirectionsLanguages();
    void selectedEngineStartsAtTheDefaultAndPicksTheEngine();

    // --- outcomes
    void successSetsOutputAndRecordsHistory();
    void failureKeepsTheOutputAndWritesNoHistory_data();
    void failureKeepsTheOutputAndWritesNoHistory();
    void onlyTheLatestRequestSetsOutputErrorAndBusy();
    void overlappingRequestsUnderLoad();
    void requestOutlivesItsLastOwner();

    // --- clipboard
    void prefillTakesClipboardText_data();
    void prefillTakesClipboardText();
    void prefillIgnoresSecretsFromPasswordManagers();
    void copyResultPutsTheOutputOnTheClipboard();

private:
    std::unique_ptr<TemporaryConfig> m_config;
    std::unique_ptr<SettingsFile> m_defaults;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<HistoryStore> m_history;
    std::shared_ptr<ScriptedEngine> m_system;
    std::shared_ptr<ScriptedEngine> m_llm;
    std::shared_ptr<TranslationViewModel> m_model;

    void makeModel()
    {
        m_model = TranslationViewModel::create(m_system, m_llm, *m_history, *m_settings);
    }
};

void TestTranslationViewModel::init()
{
    m_config = std::make_unique<TemporaryConfig>();
    m_defaults = m_config->reopen();
    m_settings = std::make_unique<AppSettings>(*m_defaults, AutostartEntry(m_config->autostartPath()));
    m_history = std::make_unique<HistoryStore>(HistoryStore::standardKey(), *m_defaults);
    m_system = std::make_shared<ScriptedEngine>(u"系统离线"_qs);
    m_llm = std::make_shared<ScriptedEngine>(u"LLM"_qs);
    makeModel();
    QGuiApplication::clipboard()->clear();
}

void TestTranslationViewModel::cleanup()
{
    m_system->failPending();
    m_llm->failPending();
    m_model.reset();
    m_history.reset();
    m_settings.reset();
    m_defaults.reset();
    m_config.reset();
}

void TestTranslationViewModel::blankInputOnlySetsTheError_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces and line breaks") << u"  \n\t \r\n"_qs;
}

void TestTranslationViewModel::blankInputOnlySetsTheError()
{
    QFETCH(QString, input);
    m_model->setOutputText(u"earlier result"_qs);
    m_model->setInputText(input);
    QSignalSpy busy(m_model.get(), &TranslationViewModel::isTranslatingChanged);

    m_model->translate();

    QCOMPARE(m_model->errorMessage(), u"请输入要翻译的文字"_qs);
    QCOMPARE(m_model->outputText(), u"earlier result"_qs);
    QVERIFY(!m_model->isTranslating());
    QCOMPARE(busy.count(), 0);
    QVERIFY(m_system->calls().isEmpty());
    QVERIFY(m_history->entries().isEmpty());
}

void TestTranslationViewModel::engineGetsTheUntrimmedTextAndTheDirectionsLanguages_data()
{
    QTest::addColumn<TranslationDirection>("direction");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    QTest::newRow("enToZh keeps blanks") << TranslationDirection::EnToZh << u"  hello \n"_qs << u"英文"_qs << u"中文"_qs;
    QTest::newRow("zhToEn even for English") << TranslationDirection::ZhToEn << u"hello"_qs << u"中文"_qs << u"英文"_qs;
    QTest::newRow("auto, Chinese") << TranslationDirection::Auto << u"\n今天天气很好。"_qs << u"中文"_qs << u"英文"_qs;
    QTest::newRow("auto, English") << TranslationDirection::Auto << u"The weather is nice."_qs << u"英文"_qs << u"中文"_qs;
}

void TestTranslationViewModel::engineGetsTheUntrimmedTextAndTheDirectionsLanguages()
{
    QFETCH(TranslationDirection, direction);
    QFETCH(QString, input);
    QFETCH(QString, from);
    QFETCH(QString, to);

    m_model->setDirection(direction);
    m_model->setInputText(input);
    m_model->translate();

    QCOMPARE(m_system->calls().size(), 1);
    QCOMPARE(m_system->calls().first().text, input);
    QCOMPARE(m_system->calls().first().from, from);
    QCOMPARE(m_system->calls().first().to, to);

    m_system->succeed(0, u"result"_qs);
    QTRY_VERIFY(!m_model->isTranslating());
    QCOMPARE(m_history->entries().first().sourceText, input);
}

void TestTranslationViewModel::selectedEngineStartsAtTheDefaultAndPicksTheEngine()
{
    QCOMPARE(m_model->selectedEngine(), EngineKind::System);
    m_settings->setDefaultEngine(EngineKind::LLM);
    QCOMPARE(m_model->selectedEngine(), EngineKind::System); // read once, at construction

    makeModel();
    QCOMPARE(m_model->selectedEngine(), EngineKind::LLM);
    m_model->setInputText(u"hi"_qs);
    m_model->translate();
    QCOMPARE(m_llm->calls().size(), 1);
    QVERIFY(m_system->calls().isEmpty());

    m_model->setSelectedEngine(EngineKind::System);
    QCOMPARE(m_settings->defaultEngine(), EngineKind::LLM); // the panel's choice is not a setting
    m_model->translate();
    QCOMPARE(m_system->calls().size(), 1);
}

void TestTranslationViewModel::successSetsOutputAndRecordsHistory()
{
    m_model->setSelectedEngine(EngineKind::LLM);
    m_model->setInputText(u"hello"_qs);
    QSignalSpy busy(m_model.get(), &TranslationViewModel::isTranslatingChanged);
    m_model->translate();
    QVERIFY(m_model->isTranslating());

    m_llm->succeed(0, u" 你好\n"_qs);
    QTRY_VERIFY(!m_model->isTranslating());
    QCOMPARE(busy.count(), 2);
    QCOMPARE(m_model->outputText(), u" 你好\n"_qs); // not trimmed
    QCOMPARE(m_model->errorMessage(), std::nullopt);
    QCOMPARE(m_history->entries().size(), 1);
    QCOMPARE(m_history->entries().first().translatedText, u" 你好\n"_qs);
    QCOMPARE(m_history->entries().first().engineName, u"LLM"_qs);
}

void TestTranslationViewModel::failureKeepsTheOutputAndWritesNoHistory_data()
{
    QTest::addColumn<std::exception_ptr>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("timeout") << std::make_exception_ptr(TranslationError::timeout()) << u"请求超时，请稍后重试"_qs;
    QTest::newRow("network") << std::make_exception_ptr(TranslationError::network(u"HTTP 500"_qs))
                             << u"网络请求失败：HTTP 500"_qs;
    QTest::newRow("other exception shows what()") << std::make_exception_ptr(std::runtime_error("bad_alloc-ish"))
                                                  << u"bad_alloc-ish"_qs;
    QTest::newRow("not an exception class") << std::make_exception_ptr(42) << u"未知错误"_qs;
}

void TestTranslationViewModel::failureKeepsTheOutputAndWritesNoHistory()
{
    QFETCH(std::exception_ptr, failure);
    QFETCH(QString, message);
    m_model->setInputText(u"first"_qs);
    m_model->translate();
    m_system->succeed(0, u"第一"_qs);
    QTRY_VERIFY(!m_model->isTranslating());

    m_model->setInputText(u"second"_qs);
    m_model->translate();
    m_system->fail(1, failure);
    QTRY_VERIFY(!m_model->isTranslating());
    QCOMPARE(m_model->errorMessage(), message);
    QCOMPARE(m_model->outputText(), u"第一"_qs);
    QCOMPARE(m_history->entries().size(), 1);
}

void TestTranslationViewModel::onlyTheLatestRequestSetsOutputErrorAndBusy()
{
    for (const char *input : {"one", "two", "three"}) {
        m_model->setInputText(QString::fromLatin1(input));
        m_model->translate(); // not refused while busy
    }
    QCOMPARE(m_system->calls().size(), 3);
    QSignalSpy busy(m_model.get(), &TranslationViewModel::isTranslatingChanged);

    m_system->succeed(0, u"一"_qs);
    QTRY_COMPARE(m_history->entries().size(), 1);
    QVERIFY(m_model->isTranslating());
    QCOMPARE(m_model->outputText(), QString());

    m_system->succeed(2, u"三"_qs);
    QTRY_VERIFY(!m_model->isTranslating());
    QCOMPARE(m_model->outputText(), u"三"_qs);

    m_system->fail(1, TranslationError::timeout());
    QTest::qWait(10);
    QCOMPARE(m_model->outputText(), u"三"_qs);
    QCOMPARE(m_model->errorMessage(), std::nullopt);
    QCOMPARE(busy.count(), 1);
    QCOMPARE(m_history->entries().size(), 2);
    QCOMPARE(m_history->entries().at(0).sourceText, u"three"_qs);
}

// Real HTTP requests that the server answers in random order: each answer
// names the text it translates, so a stale one would show under the wrong input.
void TestTranslationViewModel::overlappingRequestsUnderLoad()
{
    constexpr int requests = 100;
    LoopbackServer server;
    LoopbackServer::Reply reply;
    reply.randomDelayMs = 30;
    reply.bodyFor = [](const LoopbackServer::Request &request) {
        static const QRegularExpression number(QStringLiteral("text (\\d+)"));
        const QString n = number.match(QString::fromUtf8(request.body)).captured(1);
        return QStringLiteral(R"({"content":[{"type":"text","text":"译文 %1"}]})").arg(n).toUtf8();
    };
    server.setReply(reply);
    MemoryKeyStore keys;
    keys.setStored(ApiKeyAccount::Anthropic, u"sk-load"_qs);
    m_model = TranslationViewModel::create(
        m_system, std::make_shared<AnthropicEngine>(keys, LLMHTTP(), server.url(u"/v1/messages"_qs)), *m_history,
        *m_settings);
    m_model->setSelectedEngine(EngineKind::LLM);
    m_model->setDirection(TranslationDirection::EnToZh);
    QStringList shownWhenIdle; // the output each time busy goes off
    connect(m_model.get(), &TranslationViewModel::isTranslatingChanged, this, [this, &shownWhenIdle] {
        if (!m_model->isTranslating())
            shownWhenIdle.append(m_model->outputText());
    });
    QSignalSpy recorded(m_history.get(), &HistoryStore::entriesChanged);

    for (int i = 1; i <= requests; ++i) {
        m_model->setInputText(u"text %1"_qs.arg(i));
        m_model->translate();
        QCoreApplication::processEvents(); // lets earlier requests finish among later ones
    }
    QTRY_COMPARE_WITH_TIMEOUT(recorded.count(), requests, 30000);

    QCOMPARE(shownWhenIdle, QStringList{u"译文 %1"_qs.arg(requests)});
    QVERIFY(!m_model->isTranslating());
    QCOMPARE(m_model->outputText(), u"译文 %1"_qs.arg(requests));
    QCOMPARE(m_model->errorMessage(), std::nullopt);
    // The history keeps the newest 50 of the 100 additions: each one once, with its own result.
    QSet<QString> sources;
    for (const HistoryEntry &entry : m_history->entries()) {
        QCOMPARE(entry.translatedText, u"译文 "_qs + entry.sourceText.mid(5));
        sources.insert(entry.sourceText);
    }
    QCOMPARE(sources.size(), HistoryStore::maximumEntries);
}

void TestTranslationViewModel::requestOutlivesItsLastOwner()
{
    m_model->setInputText(u"orphan"_qs);
    m_model->translate();
    QPointer<TranslationViewModel> watcher(m_model.get());
    m_model.reset();
    QVERIFY(watcher); // the running request keeps it alive

    m_system->succeed(0, u"孤儿"_qs);
    QTRY_VERIFY(!watcher);
    QCOMPARE(m_history->entries().size(), 1);
}

void TestTranslationViewModel::prefillTakesClipboardText_data()
{
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("input");

    QTest::newRow("text replaces input") << true << u"剪贴板"_qs << u"剪贴板"_qs;
    QTest::newRow("blanks count as text") << true << u"  \n"_qs << u"  \n"_qs;
    QTest::newRow("empty keeps input") << true << QString() << u"typed"_qs;
    QTest::newRow("no text keeps input") << false << QString() << u"typed"_qs;
}

void TestTranslationViewModel::prefillTakesClipboardText()
{
    QFETCH(bool, hasText);
    QFETCH(QString, clipboard);
    QFETCH(QString, input);

    if (hasText) {
        QGuiApplication::clipboard()->setText(clipboard);
    } else {
        auto *mime = new QMimeData;
        mime->setData(u"image/png"_qs, QByteArray("\x89PNG"));
        QGuiApplication::clipboard()->setMimeData(mime);
    }
    m_model->setInputText(u"typed"_qs);
    m_model->setOutputText(u"old"_qs);
    m_model->translate(); // busy: the prefill must leave the flag alone
    m_model->setDirection(TranslationDirection::EnToZh);
    m_model->prefillFromClipboard();

    QCOMPARE(m_model->inputText(), input);
    QCOMPARE(m_model->outputText(), QString());
    QCOMPARE(m_model->errorMessage(), std::nullopt);
    QCOMPARE(m_model->direction(), TranslationDirection::EnToZh);
    QVERIFY(m_model->isTranslating()); // untouched
}

void TestTranslationViewModel::prefillIgnoresSecretsFromPasswordManagers()
{
    auto *mime = new QMimeData;
    mime->setText(u"hunter2"_qs);
    mime->setData(u"x-kde-passwordManagerHint"_qs, "secret");
    QGuiApplication::clipboard()->setMimeData(mime);

    m_model->setInputText(u"typed"_qs);
    m_model->setOutputText(u"old"_qs);
    m_model->prefillFromClipboard();
    QCOMPARE(m_model->inputText(), u"typed"_qs);
    QCOMPARE(m_model->outputText(), QString());

    // Any other hint value is ordinary text.
    mime = new QMimeData;
    mime->setText(u"visible"_qs);
    mime->setData(u"x-kde-passwordManagerHint"_qs, "public");
    QGuiApplication::clipboard()->setMimeData(mime);
    m_model->prefillFromClipboard();
    QCOMPARE(m_model->inputText(), u"visible"_qs);
}

void TestTranslationViewModel::copyResultPutsTheOutputOnTheClipboard()
{
    QGuiApplication::clipboard()->setText(u"keep me"_qs);
    m_model->copyResult();
    QCOMPARE(QGuiApplication::clipboard()->text(), u"keep me"_qs);

    m_model->setOutputText(u"结果\n"_qs);
    m_model->copyResult();
    QCOMPARE(QGuiApplication::clipboard()->text(), u"结果\n"_qs);
}

QTEST_MAIN(TestTranslationViewModel)
#include "tst_translationviewmodel.moc"
