#include "appsettings.h"
#include "scriptedtranslation.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

class TestTranslationViewModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestAndResult_data();
    void requestAndResult();
    void failureShowsItsReasonAndKeepsTheOutput_data();
    void failureShowsItsReasonAndKeepsTheOutput();
    void onlyTheLatestRequestIsShown();
    void prefillTakesClipboardText_data();
    void prefillTakesClipboardText();
};

void TestTranslationViewModel::requestAndResult_data()
{
    QTest::addColumn<TranslationDirection>("direction");
    QTest::addColumn<EngineKind>("engine");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("from");
    using enum TranslationDirection;
    using enum EngineKind;
    QTest::newRow("auto, Chinese") << Auto << System << u"\n今天天气很好。"_qs << u"中文"_qs;
    QTest::newRow("auto, English") << Auto << LLM << u"The weather is nice."_qs << u"英文"_qs;
    QTest::newRow("en→zh keeps blanks") << EnToZh << System << u" hi \n"_qs << u"英文"_qs;
    QTest::newRow("zh→en even for English") << ZhToEn << LLM << u"hi"_qs << u"中文"_qs;
}

// The text goes out as typed, to the default engine; the result comes back
// as the engine gave it.
void TestTranslationViewModel::requestAndResult()
{
    QFETCH(TranslationDirection, direction);
    QFETCH(EngineKind, engine);
    QFETCH(QString, input);
    QFETCH(QString, from);
    ScriptedTranslation t;
    t.temporary.settings().setDefaultEngine(engine);
    t.model = t.makeModel();
    t.model->setDirection(direction);
    t.model->setInputText(input);
    t.model->translate();

    ScriptedEngine &used = engine == EngineKind::LLM ? *t.llm : *t.system;
    const ScriptedEngine::Call call = used.calls().value(0);
    QCOMPARE(QStringList({call.text, call.from, call.to}),
             QStringList({input, from, from == u"中文"_qs ? u"英文"_qs : u"中文"_qs}));
    used.succeed(0, u" 结果\n"_qs);
    QTRY_VERIFY(!t.model->isTranslating());
    QCOMPARE(t.model->outputText(), u" 结果\n"_qs);
    QCOMPARE(t.model->errorMessage(), std::nullopt);
    const HistoryEntry entry = t.history.entries().value(0);
    QCOMPARE(QStringList({entry.sourceText, entry.translatedText, entry.engineName}),
             QStringList({input, u" 结果\n"_qs, used.name()}));
}

void TestTranslationViewModel::failureShowsItsReasonAndKeepsTheOutput_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<std::exception_ptr>("failure"); // null: no request is made
    QTest::addColumn<QString>("message");
    const auto fail = [](auto error) { return std::make_exception_ptr(error); };
    QTest::newRow("blank input") << u"  \n\t \r\n"_qs << std::exception_ptr() << u"请输入要翻译的文字"_qs;
    QTest::newRow("timeout") << u"hi"_qs << fail(TranslationError::timeout()) << u"请求超时，请稍后重试"_qs;
    QTest::newRow("network") << u"hi"_qs << fail(TranslationError::network(u"HTTP 500"_qs)) << u"网络请求失败：HTTP 500"_qs;
    QTest::newRow("other exception") << u"hi"_qs << fail(std::runtime_error("disk full")) << u"disk full"_qs;
    QTest::newRow("not an exception class") << u"hi"_qs << fail(42) << u"未知错误"_qs;
}

void TestTranslationViewModel::failureShowsItsReasonAndKeepsTheOutput()
{
    QFETCH(QString, input);
    QFETCH(std::exception_ptr, failure);
    QFETCH(QString, message);
    ScriptedTranslation t;
    t.model->setOutputText(u"earlier"_qs);
    t.model->setInputText(input);
    t.model->translate();
    if (failure)
        t.system->fail(0, failure);
    QTRY_VERIFY(!t.model->isTranslating());
    QCOMPARE(t.model->errorMessage(), message);
    QCOMPARE(t.model->outputText(), u"earlier"_qs);
    QVERIFY(t.history.entries().isEmpty());
    // The next request takes the error away as it starts.
    t.model->setInputText(u"third"_qs);
    t.model->translate();
    QCOMPARE(t.model->errorMessage(), std::nullopt);
}

// Requests are not refused while one runs; an older one ending later is
// recorded but changes nothing on the panel, even once the panel has gone.
void TestTranslationViewModel::onlyTheLatestRequestIsShown()
{
    ScriptedTranslation t;
    for (const QString &input : {u"one"_qs, u"two"_qs, u"three"_qs}) {
        t.model->setInputText(input);
        t.model->translate();
    }
    t.system->succeed(0, u"一"_qs);
    QTRY_COMPARE(t.history.entries().size(), 1);
    QVERIFY(t.model->isTranslating());
    QCOMPARE(t.model->outputText(), QString());
    t.system->succeed(2, u"三"_qs);
    QTRY_VERIFY(!t.model->isTranslating());
    QSignalSpy shown(t.model.get(), &TranslationViewModel::errorMessageChanged);
    QPointer<TranslationViewModel> watcher(t.model.get());
    t.model.reset(); // the running request keeps it alive
    t.system->fail(1, TranslationError::timeout());
    QTRY_VERIFY(!watcher);
    QCOMPARE(shown.count(), 0);
}

void TestTranslationViewModel::prefillTakesClipboardText_data()
{
    QTest::addColumn<QString>("clipboard"); // null: an image
    QTest::addColumn<QByteArray>("passwordHint");
    QTest::addColumn<QString>("input");
    QTest::newRow("text replaces input") << u"剪贴板"_qs << QByteArray() << u"剪贴板"_qs;
    QTest::newRow("no text keeps input") << QString() << QByteArray() << u"typed"_qs;
    QTest::newRow("a password manager's secret") << u"hunter2"_qs << QByteArray("secret") << u"typed"_qs;
    QTest::newRow("other hints are plain text") << u"visible"_qs << QByteArray("public") << u"visible"_qs;
}

void TestTranslationViewModel::prefillTakesClipboardText()
{
    QFETCH(QString, clipboard);
    QFETCH(QByteArray, passwordHint);
    QFETCH(QString, input);
    auto *mime = new QMimeData;
    mime->setData(clipboard.isNull() ? u"image/png"_qs : u"text/plain"_qs, clipboard.toUtf8());
    if (!passwordHint.isEmpty())
        mime->setData(u"x-kde-passwordManagerHint"_qs, passwordHint);
    QGuiApplication::clipboard()->setMimeData(mime);
    ScriptedTranslation t;
    t.model->setInputText(u"typed"_qs);
    t.model->setOutputText(u"old"_qs);
    t.model->prefillFromClipboard();
    QCOMPARE(t.model->inputText(), input);
    QCOMPARE(t.model->outputText(), QString());
}

QTEST_MAIN(TestTranslationViewModel)
#include "tst_translationviewmodel.moc"

