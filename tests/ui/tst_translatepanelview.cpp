// The panel and the parts it is made of: its view model, the input field and
// the history list, each driven as the user drives it.
#include "core/translationerror.h"
#include "scriptedtranslation.h"
#include "storage/appsettings.h"
#include "ui/historylistmodel.h"
#include "ui/historyview.h"
#include "ui/speechreader.h"
#include "ui/submittextview.h"
#include "ui/translatepanelview.h"
#include "widgetlookup.h"
#include "widgets/button.h"
#include "widgets/flipcontainer.h"
#include "widgets/iconbutton.h"
#include "widgets/segmentedpicker.h"
#include "widgets/spinner.h"
#include "widgets/symbollabel.h"
#include "widgets/titledcard.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QListView>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextToSpeech>

using namespace Widgets;

namespace {

void sendInputMethod(QWidget *widget, const QString &preedit, const QString &commit = {})
{
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QApplication::sendEvent(widget, &event);
}

// speech-dispatcher on a socket of its own, reaching no sound card: a generic
// output module with the given voices notes "voice|text" of what it is to
// say, then keeps saying it until it is stopped.
bool startSpeechService(QProcess &service, const QTemporaryDir &dir, const QString &voices)
{
    const auto write = [&dir](const QString &name, const QString &text) {
        QDir().mkpath(QFileInfo(dir.filePath(name)).path());
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    };
    write(u".asoundrc"_qs, u"pcm.!default { type null }\n"_qs);
    write(u"conf/speechd.conf"_qs,
          u"AudioOutputMethod \"alsa\"\nAddModule \"recorder\" \"sd_generic\" "
          u"\"recorder.conf\"\nAddModule \"dummy\" \"sd_dummy\" \"\"\n"_qs);
    // Qt asks for the language "c" when it speaks with a voice listed under the
    // C locale, as espeak-ng's Mandarin voices are; the text stays UTF-8.
    const QString recorder = u"GenericExecuteSynth \"printf '%s|%s\\\\n' '$VOICE' '$DATA' >> %1/spoken; sleep 20\"\n"
                             u"GenericLanguage \"c\" \"c\" \"utf-8\"\n"_qs;
    write(u"conf/modules/recorder.conf"_qs, recorder.arg(dir.path()) + voices);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_qs, dir.path());
    service.setProcessEnvironment(environment);
    service.start(u"speech-dispatcher"_qs,
                  {u"-s"_qs, u"-t"_qs, u"0"_qs, u"-C"_qs, dir.filePath(u"conf"_qs), u"-L"_qs, dir.path(), u"-P"_qs,
                   dir.filePath(u"pid"_qs), u"-c"_qs, u"unix_socket"_qs, u"-S"_qs, dir.filePath(u"socket"_qs)});
    return QTest::qWaitFor([&] { return QFile::exists(dir.filePath(u"socket"_qs)); }, 10000);
}

} // namespace

// The panel on screen in its own window, over a scripted view model.
struct Panel : ScriptedTranslation {
    TranslatePanelView view{model};

    bool show()
    {
        view.show();
        view.activateWindow();
        return QTest::qWaitForWindowActive(&view);
    }
    template<typename T = QWidget>
    T *at(const char *name)
    {
        return part<T>(&view, QString::fromLatin1(name));
    }
    SubmitTextView *input() { return at<SubmitTextView>("inputField"); }
    SymbolLabel *result() { return at<SymbolLabel>("resultText"); }
    bool spinning() { return at("busyIndicator")->findChild<Spinner *>()->isAnimating(); }
    bool turned() { return !view.findChild<FlipContainer *>()->isFlipping(); }
};

class TestTranslatePanelView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QGuiApplication::clipboard()->clear(); }
    // The confirmation of two presses in quick succession goes at the first
    // press's end, not a full interval after the second.
    void resultAndCopyConfirmation()
    {
        Panel p;
        QVERIFY(p.show());
        QCOMPARE(p.result()->text(), u"翻译结果将显示在这里"_qs);
        QVERIFY(!p.at("copyButton")->isVisible() && !p.at<TitledCard>("resultCard")->accent());
        p.model->setOutputText(u"Translated"_qs);
        QCOMPARE(p.result()->text(), u"Translated"_qs);
        QVERIFY(p.at<TitledCard>("resultCard")->accent());

        auto *copy = p.at<IconButton>("copyButton");
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(copy, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Translated"_qs);
        QCOMPARE(copy->symbol(), Symbol::Checkmark);
        QTest::mouseClick(copy, Qt::LeftButton);
        const QList<QTimer *> resets = pendingTimers(p.view, "copyConfirmationReset");
        QCOMPARE(resets.size(), 2);
        // Reset as the first press's time is up, the second's still to come.
        std::optional<std::pair<Symbol, qsizetype>> atFirst;
        qint64 firstAt = 0;
        connect(resets.first(), &QTimer::timeout, &p.view, [&] {
            atFirst = {copy->symbol(), pendingTimers(p.view, "copyConfirmationReset").size()};
            firstAt = clock.elapsed();
        });
        QTRY_VERIFY_WITH_TIMEOUT(atFirst, 10000);
        QCOMPARE(*atFirst, std::pair(Symbol::DocOnDoc, qsizetype(1)));
        QVERIFY2(firstAt >= 1200, qPrintable(QString::number(firstAt)));
    }

    // The field's own Return and the translate button's Return shortcut must not
    // both act; the disabled button does nothing, Return still submits.
    void oneReturnOneRequestAlsoWhileBusy()
    {
        Panel p;
        QVERIFY(p.show());
        QTest::keyClicks(p.input(), u"hello"_qs);
        QTest::keyClick(p.input(), Qt::Key_Return);
        QCOMPARE(p.system->calls().size(), 1);
        QVERIFY(p.spinning() && !p.at("translateButton")->isEnabled());
        QTest::mouseClick(p.at("translateButton"), Qt::LeftButton);
        QTest::keyClick(p.input(), Qt::Key_Return);
        QCOMPARE(p.system->calls().size(), 2);
        p.system->succeed(1, u"你好"_qs);
        QTRY_VERIFY(!p.spinning() && p.at("translateButton")->isEnabled());
        QCOMPARE(p.result()->text(), u"你好"_qs);
    }

    void pickersDriveTheRequest()
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
    // so does coming back from the history with Escape.
    void focusOnOpeningAndBackFromTheHistory()
    {
        Panel p;
        p.model->translate();
        QGuiApplication::clipboard()->setText(u"clipboard text"_qs);
        QVERIFY(p.show());
        QCOMPARE(p.input()->text(), u"clipboard text"_qs);
        QVERIFY(p.at("errorLine")->isHidden());
        QTRY_VERIFY(p.input()->hasFocus());
        QTest::mouseClick(p.at("historyButton"), Qt::LeftButton);
        QTRY_VERIFY(p.turned() && p.view.historyView()->hasFocus());
        QTest::keyClick(p.view.historyView(), Qt::Key_Escape);
        QTRY_VERIFY(p.input()->hasFocus());
        p.at("directionButton")->setFocus();
        p.view.hide();
        QVERIFY(p.show());
        QTRY_VERIFY(p.view.focusWidget() == p.input());
    }

    // A click anywhere on a history row fills the panel with that entry
    // without a request, and an error stays for the user to read.
    void historyRowFillsThePanelWithoutARequest()
    {
        Panel p;
        p.history.add(u"older"_qs, u"更早"_qs, u"LLM"_qs);
        p.history.add(u"source"_qs, u"译文"_qs, u"LLM"_qs);
        QVERIFY(p.show());
        p.model->setInputText(QString());
        p.model->translate();
        p.view.showHistory();
        QTRY_VERIFY(p.turned());
        QListView *list = p.view.historyView()->listView();
        const QRect row = list->visualRect(list->model()->index(1, 0));
        // Near the row's end, away from the texts.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(row.right() - 12, row.center().y()));
        QTRY_VERIFY(p.turned() && !p.view.isHistoryShown());
        QCOMPARE(p.input()->text(), u"older"_qs);
        QCOMPARE(p.result()->text(), u"更早"_qs);
        QVERIFY(p.at("errorLine")->isVisible());
        QCOMPARE(p.system->calls().size(), 0);
    }

    void historyNewestFirstFiftyAtMostUntilCleared()
    {
        Panel p;
        QVERIFY(p.show());
        p.view.showHistory();
        HistoryView *history = p.view.historyView();
        for (int i = 0; i < 55; ++i)
            p.history.add(u"s%1"_qs.arg(i), u"t%1"_qs.arg(i), u"LLM"_qs);
        QCOMPARE(history->model()->rowCount(), 50);
        QCOMPARE(history->model()->index(0).data(HistoryListModel::SourceTextRole), u"s54"_qs);
        QCOMPARE(history->model()->index(49).data(HistoryListModel::TranslatedTextRole), u"t5"_qs);
        auto *clear = part<Button>(history, u"clearButton"_qs);
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(p.history.entries().isEmpty());
        QVERIFY(history->isShowingEmptyState() && !clear->isEnabled());
    }

    void requestAndResult_data()
    {
        QTest::addColumn<EngineKind>("engine");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("result"); // null: " 结果\n"
        QTest::newRow("Chinese, kept blanks")
            << EngineKind::System << u"\n今天天气很好。 "_qs << u"中文"_qs << QString();
        QTest::newRow("English") << EngineKind::LLM << u"The weather is nice."_qs << u"英文"_qs << QString();
        // Cut before it reaches the panel or the history, and the user is told.
        QTest::newRow("overlong reply") << EngineKind::LLM << u"Hi"_qs << u"英文"_qs << QString(5000000, u'字');
    }

    // The text goes out as typed, to the default engine, into the other language
    // than the one detected; the result comes back as the engine gave it.
    void requestAndResult()
    {
        QFETCH(EngineKind, engine);
        QFETCH(QString, input);
        QFETCH(QString, from);
        QFETCH(QString, result);
        ScriptedTranslation t;
        t.temporary.settings().setDefaultEngine(engine);
        t.model = t.makeModel();
        t.model->setInputText(input);
        t.model->translate();

        ScriptedEngine &used = engine == EngineKind::LLM ? *t.llm : *t.system;
        const ScriptedEngine::Call call = used.calls().value(0);
        QCOMPARE(QStringList({call.text, call.from, call.to}),
                 QStringList({input, from, from == u"中文"_qs ? u"英文"_qs : u"中文"_qs}));
        used.succeed(0, result.isNull() ? u" 结果\n"_qs : result);
        QTRY_VERIFY(!t.model->isTranslating());
        const QString shown = result.isNull() ? u" 结果\n"_qs : result.left(TranslationViewModel::maximumResultLength);
        QCOMPARE(t.model->outputText(), shown);
        QCOMPARE(t.model->errorMessage().has_value(), !result.isNull());
        const HistoryEntry entry = t.history.entries().value(0);
        QCOMPARE(QStringList({entry.sourceText, entry.translatedText, entry.engineName}),
                 QStringList({input, shown, used.name()}));
    }

    void failureShowsItsReasonAndKeepsTheOutput_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<std::exception_ptr>("failure"); // null: no request is made
        QTest::addColumn<QString>("message");
        const auto fail = [](auto error) { return std::make_exception_ptr(error); };
        QTest::newRow("blank input") << u"  \n\t \r\n"_qs << std::exception_ptr() << u"请输入要翻译的文字"_qs;
        QTest::newRow("network") << u"hi"_qs << fail(TranslationError::network(u"HTTP 500"_qs))
                                 << u"网络请求失败：HTTP 500"_qs;
        QTest::newRow("other exception") << u"hi"_qs << fail(std::runtime_error("disk full")) << u"未知错误"_qs;
        QTest::newRow("not an exception") << u"hi"_qs << fail(42) << u"未知错误"_qs;
    }

    void failureShowsItsReasonAndKeepsTheOutput()
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
    // recorded but changes nothing on the panel.
    void onlyTheLatestRequestIsShown()
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
        t.system->fail(1, TranslationError::timeout());
        QCOMPARE(t.model->errorMessage(), std::nullopt);
        QCOMPARE(t.model->outputText(), u"三"_qs);
    }

    void prefillTakesClipboardText_data()
    {
        QTest::addColumn<QString>("clipboard"); // null: an image
        QTest::addColumn<QByteArray>("passwordHint");
        QTest::addColumn<QString>("input");
        QTest::newRow("text replaces input") << u"剪贴板"_qs << QByteArray() << u"剪贴板"_qs;
        QTest::newRow("no text keeps input") << QString() << QByteArray() << u"typed"_qs;
        QTest::newRow("a password manager's secret") << u"hunter2"_qs << QByteArray("secret") << u"typed"_qs;
    }

    void prefillTakesClipboardText()
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

    void returnKey_data()
    {
        QTest::addColumn<QKeyCombination>("keys");
        QTest::addColumn<QString>("text"); // null: submitted
        QTest::newRow("Return") << QKeyCombination(Qt::Key_Return) << QString();
        QTest::newRow("keypad Enter") << (Qt::KeypadModifier | Qt::Key_Enter) << QString();
        QTest::newRow("Control-Return") << (Qt::ControlModifier | Qt::Key_Return) << QString();
        QTest::newRow("Shift-Return") << (Qt::ShiftModifier | Qt::Key_Return) << u"ab\n"_qs;
        QTest::newRow("Shift-Control-Return")
            << (Qt::ShiftModifier | Qt::ControlModifier | Qt::Key_Return) << u"ab\n"_qs;
    }

    void returnKey()
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
    void returnBelongsToTheInputMethodWhileAndRightAfterComposing()
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

    void readAloud_data()
    {
        QTest::addColumn<QString>("voices"); // null: no speech service
        QTest::addColumn<bool>("result"); // the result's button, or else the input's
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("outcome"); // "voice|text" as spoken, or the disabled button's tooltip
        const auto voice = [](const QString &language, const QString &name) {
            return u"AddVoice \"%1\" \"MALE1\" \"%2\"\n"_qs.arg(language, name);
        };
        const QString mandarin = u"Chinese (Mandarin, latin as English)"_qs, english = u"english"_qs;
        const QString both = voice(u"cmn"_qs, mandarin) + voice(u"en"_qs, english);
        QTest::newRow("Chinese input, espeak-ng's Mandarin")
            << both << false << u"今天天气很好。"_qs << mandarin + u"|今天天气很好。"_qs;
        QTest::newRow("English result") << both << true << u"Good morning."_qs << u"english|Good morning."_qs;
        QTest::newRow("no Chinese voice")
            << voice(u"en"_qs, english) << false << u"你好"_qs << u"没有可用的中文语音，无法朗读"_qs;
        QTest::newRow("no speech service")
            << QString() << true << u"Hello"_qs << u"朗读不可用：无法连接语音服务 speech-dispatcher"_qs;
    }

    // The speech engine starts on the first press; the input's text is started
    // by its key and stopped by closing the panel, the result's by its button.
    void readAloud()
    {
        QFETCH(QString, voices);
        QFETCH(bool, result);
        QFETCH(QString, text);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        QProcess service;
        qputenv("SPEECHD_ADDRESS", "unix_socket:" + QFile::encodeName(dir.filePath(u"socket"_qs)));
        qputenv("SPEECHD_CMD", "/bin/false"); // never the host's own speech-dispatcher
        const auto stopService = qScopeGuard([&service] {
            service.terminate();
            service.waitForFinished();
        });
        if (!voices.isNull())
            QVERIFY(startSpeechService(service, dir, voices));
        Panel p;
        QVERIFY(p.show());
        result ? p.model->setOutputText(text) : p.model->setInputText(text);
        auto *button = p.at<IconButton>(result ? "readResultButton" : "readInputButton");
        QVERIFY(button->isEnabled() && !p.view.speechReader()->findChild<QTextToSpeech *>());
        result ? QTest::mouseClick(button, Qt::LeftButton) : QTest::keyClick(p.input(), Qt::Key_R, Qt::ControlModifier);
        if (!outcome.contains(u'|')) {
            QTRY_COMPARE(button->toolTip(), outcome);
            QVERIFY(!button->isEnabled());
            return;
        }
        const auto spoken = [&dir] {
            QFile file(dir.filePath(u"spoken"_qs));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_COMPARE(spoken(), outcome + u'\n');
        auto *engine = p.view.speechReader()->findChild<QTextToSpeech *>();
        QTRY_COMPARE(engine->state(), QTextToSpeech::Speaking);
        QCOMPARE(button->symbol(), Symbol::StopFill);
        result ? QTest::mouseClick(button, Qt::LeftButton) : p.view.hide();
        QTRY_COMPARE(engine->state(), QTextToSpeech::Ready);
        QCOMPARE(button->symbol(), Symbol::SpeakerWave2);
    }

    // Pasted styled text arrives plain, in the field's own type.
    void pasteArrivesPlain()
    {
        SubmitTextView field;
        QSignalSpy edited(&field, &SubmitTextView::textEdited);
        auto *mime = new QMimeData;
        mime->setHtml(u"<b style=\"font-size:30pt\">粗体</b>"_qs);
        mime->setText(u"粗体"_qs);
        QGuiApplication::clipboard()->setMimeData(mime);
        field.paste();
        QCOMPARE(edited.last().at(0).toString(), u"粗体"_qs);
        QTextCursor cursor(field.document());
        cursor.movePosition(QTextCursor::End);
        QCOMPARE(QFontInfo(cursor.charFormat().font()).pixelSize(), 13);
    }
};

QTEST_MAIN(TestTranslatePanelView)
#include "tst_translatepanelview.moc"
