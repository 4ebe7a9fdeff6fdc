#include "engines/recognizedtext.h"
#include "engines/textrecognizer.h"
#include "settledtask.h"

#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString noText = QStringLiteral("未识别到文字");

QImage textImage(const QString &text, bool dark = false)
{
    QImage image(420, 60, QImage::Format_RGB32);
    image.fill(dark ? Qt::black : Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(16);
    painter.setFont(font);
    painter.setPen(dark ? Qt::white : Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

Result<QString> recognized(TextRecognizer &recognizer, const QImage &image)
{
    recognizer.setWorkerProgram(QStringLiteral(RECOGNIZER_WORKER));
    return *settled(recognizer.recognize(image)).value;
}

} // namespace

// Text read off screen regions by the worker process, the way its lines are
// joined, and what the user sees when the data, the image or the worker fail.
class TestTextRecognizer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void joinsLinesByScript_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("joined");
        QTest::newRow("Chinese lines directly") << "截图翻译可以\n识别文字"
                                                << "截图翻译可以识别文字";
        QTest::newRow("Latin lines with a space") << "Select a\nregion "
                                                  << "Select a region";
        QTest::newRow("spaced-out Chinese") << "设 置 已 保 存 ， 下 次 生 效 。"
                                            << "设置已保存，下次生效。";
        QTest::newRow("Latin word in Chinese") << "使 用  Linux 系 统"
                                               << "使用 Linux 系统";
        QTest::newRow("Chinese line then Latin") << "请打开\nSettings\n窗口"
                                                 << "请打开Settings窗口";
        QTest::newRow("quotes beside Chinese") << "他 说 “ 你 好 ”"
                                               << "他说“你好”";
        QTest::newRow("quotes in English") << "He said “hi” to me"
                                           << "He said “hi” to me";
        QTest::newRow("hyphen at line end") << "well-\nknown"
                                            << "well-known";
        QTest::newRow("blank line is a paragraph") << "One line\n \nTwo\nlines"
                                                   << "One line\n\nTwo lines";
        QTest::newRow("blank runs and ends") << "\n\n第一段\n\n\n\n第二段\n\n"
                                             << "第一段\n\n第二段";
    }
    void joinsLinesByScript()
    {
        QFETCH(QString, raw);
        QFETCH(QString, joined);
        QCOMPARE(RecognizedText::joinLines(raw), joined);
    }

    void readsImages_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason"); // empty when text is expected
        QTest::newRow("English") << textImage(QStringLiteral("Recognised and translated"))
                                 << "Recognised and translated"
                                 << "";
        QTest::newRow("Chinese, dark") << textImage(QStringLiteral("设置已保存，下次启动时生效"), true)
                                       << "设置已保存，下次启动时生效"
                                       << "";
        QTest::newRow("blank") << textImage(QString()) << "" << noText;
        QTest::newRow("one pixel") << QImage(1, 1, QImage::Format_RGB32) << "" << noText;
        QTest::newRow("null") << QImage() << "" << noText;
        QTest::newRow("larger than any screen") << QImage(8000, 6000, QImage::Format_Grayscale8) << ""
                                                << "所选区域太大，无法识别文字，请选择较小的区域";
    }
    void readsImages()
    {
        QFETCH(QImage, image);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        TextRecognizer recognizer;
        const Result<QString> result = recognized(recognizer, image);
        QCOMPARE(result.ok() ? result.value() : result.error(), reason.isEmpty() ? text : reason);
    }

    void missingDataNamesThePackages_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::newRow("nothing") << "";
        QTest::newRow("English only") << "eng";
        QTest::newRow("Chinese only") << "chi_sim";
    }
    void missingDataNamesThePackages()
    {
        QFETCH(QString, installed);
        QTemporaryDir data;
        const QString file = QStringLiteral("/%1.traineddata").arg(installed);
        QVERIFY(installed.isEmpty() ||
                QFile::copy(QStringLiteral("/usr/share/tesseract-ocr/5/tessdata") + file, data.path() + file));
        qputenv("TESSDATA_PREFIX", data.path().toUtf8());
        TextRecognizer recognizer;
        const Result<QString> result = recognized(recognizer, textImage(QStringLiteral("text")));
        qunsetenv("TESSDATA_PREFIX");
        QVERIFY(!result.ok());
        QVERIFY(result.error().contains(u"tesseract-ocr-chi-sim") && result.error().contains(u"tesseract-ocr-eng"));
        // Installing the data helps without a restart.
        QCOMPARE(recognized(recognizer, textImage(QStringLiteral("text"))).value(), "text");
    }

    void slowWorkerIsKilledAndIdleOneExits()
    {
        TextRecognizer recognizer;
        QSignalSpy stopped(&recognizer, &TextRecognizer::workerStopped);
        recognizer.setDeadline(std::chrono::milliseconds(1));
        QCOMPARE(recognized(recognizer, textImage(QStringLiteral("text"))).error(), "文字识别用时过长，已停止");
        QCOMPARE(stopped.size(), 1);
        recognizer.setDeadline(TextRecognizer::defaultDeadline);
        recognizer.setIdleTimeout(std::chrono::milliseconds(0));
        QCOMPARE(recognized(recognizer, textImage(QStringLiteral("text"))).value(), "text");
        const qint64 pid = recognizer.workerProcessId();
        QVERIFY(stopped.wait());
        QVERIFY(!recognizer.isRunning());
        QTRY_VERIFY(::kill(pid_t(pid), 0) != 0);
    }
};

QTEST_MAIN(TestTextRecognizer)
#include "tst_textrecognizer.moc"
