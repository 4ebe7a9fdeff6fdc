// Screen-text recognition: the time for an 800×200 region of 14 px UI text with
// the worker already loaded (and the first use, start-up included), the share
// of characters read right on paragraphs this program renders itself (Chinese
// and English, light and dark, 12–16 px, at scale 1 and 2), and the worker's
// memory: its PSS while loaded and how long after the idle time it is gone
// (the tray program itself never holds Tesseract, so this is what an idle
// program gets back).
#include "engines/textrecognizer.h"
#include "settledtask.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QTextLayout>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>
#include <vector>

namespace {

const QString chineseParagraph = QStringLiteral(
    "截图翻译可以识别屏幕上的文字，例如聊天中的图片、无法复制的对话框或者扫描的页面。选择一个区域以后，"
    "程序会先识别其中的文字，然后立即翻译成另一种语言，结果显示在翻译面板中，用户还可以继续修改。");
const QString englishParagraph = QStringLiteral(
    "Select a region of the screen and the text in it is recognised and translated at once. This works for "
    "pictures in a chat, dialogs that do not let you copy their text, scanned pages and video frames.");
const QString uiText = QStringLiteral(
    "Settings saved. 设置已保存，下次启动时生效。\nThe connection to the server was lost; retrying in 5 "
    "seconds.\n网络连接已断开，请检查代理设置后重试。\nOpen the translation panel with Ctrl+Alt+Y.");

QGuiApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_recognizer";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

// `text` laid out in lines of at most `width` logical pixels, as a widget
// would show it, in an image of `scale` device pixels per logical pixel.
QImage rendered(const QString &text, int pixelSize, qreal scale, bool dark, int width, int height = 0)
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(pixelSize);
    const int margin = pixelSize;
    QList<QTextLayout *> layouts;
    int y = margin;
    for (const QString &paragraph : text.split(u'\n')) {
        auto *layout = new QTextLayout(paragraph, font);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width - 2 * margin);
            line.setPosition(QPointF(margin, y));
            y += int(line.height() * 1.3);
        }
        layout->endLayout();
        layouts.append(layout);
    }
    const int logicalHeight = height > 0 ? height : y + margin;
    QImage image(QSize(width, logicalHeight) * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(dark ? QColor(0x2b, 0x2b, 0x2b) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setPen(dark ? QColor(0xe8, 0xe8, 0xe8) : QColor(0x20, 0x20, 0x20));
    for (QTextLayout *layout : layouts) {
        layout->draw(&painter, QPointF());
        delete layout;
    }
    return image;
}

// Levenshtein distance over code points.
qsizetype distance(const QList<uint> &a, const QList<uint> &b)
{
    std::vector<qsizetype> row(size_t(b.size() + 1));
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[size_t(j)];
            row[size_t(j)] = std::min(
                {row[size_t(j)] + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[size_t(b.size())];
}

// Characters right as a share of the expected ones, white space collapsed.
double accuracy(const QString &expected, const QString &read)
{
    const QList<uint> want = expected.simplified().toUcs4();
    const QList<uint> got = read.simplified().toUcs4();
    return std::max(0.0, 1.0 - double(distance(want, got)) / double(want.size()));
}

QString recognized(TextRecognizer &recognizer, const QImage &image)
{
    recognizer.setWorkerProgram(QStringLiteral(RECOGNIZER_WORKER));
    const auto outcome = settled(recognizer.recognize(image));
    return outcome.value && outcome.value->ok() ? outcome.value->value() : QString();
}

double pssMegabytes(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// The worker's processor time so far: the figure that a machine busy with
// other work does not inflate.
double cpuMilliseconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The fields after the command name, which may hold spaces, start at "state".
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

void uiRegionLoaded(benchmark::State &state)
{
    application();
    const QImage region = rendered(uiText, 14, 1, false, 800, 200);
    TextRecognizer recognizer;
    QElapsedTimer clock;
    clock.start();
    const QString first = recognized(recognizer, region);
    state.counters["first_use_ms"] = double(clock.elapsed());
    state.counters["accuracy_pct"] = 100 * accuracy(QString(uiText).replace(u'\n', u' '), first);
    const double cpuBefore = cpuMilliseconds(recognizer.workerProcessId());
    qint64 runs = 0;
    for (auto _ : state) {
        const QString text = recognized(recognizer, region);
        benchmark::DoNotOptimize(text);
        ++runs;
    }
    state.counters["worker_cpu_ms"] = (cpuMilliseconds(recognizer.workerProcessId()) - cpuBefore) / double(runs);
    state.counters["worker_pss_mb"] = pssMegabytes(recognizer.workerProcessId());
}

void characterAccuracy(benchmark::State &state)
{
    application();
    TextRecognizer recognizer;
    for (auto _ : state) {
        double sum = 0, worst = 1;
        int count = 0;
        for (const QString *paragraph : {&chineseParagraph, &englishParagraph})
            for (const bool dark : {false, true})
                for (const int pixelSize : {12, 14, 16})
                    for (const qreal scale : {1.0, 2.0}) {
                        const QString read = recognized(recognizer, rendered(*paragraph, pixelSize, scale, dark, 480));
                        const double share = accuracy(*paragraph, read);
                        if (share < 0.97)
                            qWarning("%s px=%d scale=%g dark=%d: %.1f%% \"%s\"",
                                     paragraph == &chineseParagraph ? "zh" : "en", pixelSize, scale, int(dark),
                                     100 * share, qPrintable(read));
                        sum += share;
                        worst = std::min(worst, share);
                        ++count;
                    }
        state.counters["mean_pct"] = 100 * sum / count;
        state.counters["worst_pct"] = 100 * worst;
    }
}

// How long after the idle time the worker, and its memory, are gone.
void idleRelease(benchmark::State &state)
{
    application();
    TextRecognizer recognizer;
    const std::chrono::milliseconds idle{1000};
    recognizer.setIdleTimeout(idle);
    for (auto _ : state) {
        if (recognized(recognizer, rendered(englishParagraph, 14, 1, false, 480)).isEmpty()) {
            state.SkipWithError("nothing recognised");
            return;
        }
        const qint64 pid = recognizer.workerProcessId();
        state.counters["loaded_pss_mb"] = pssMegabytes(pid);
        QElapsedTimer clock;
        clock.start();
        while (::kill(pid_t(pid), 0) == 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        state.counters["gone_after_idle_ms"] = double(clock.elapsed() - idle.count());
        state.counters["pss_after_idle_mb"] = pssMegabytes(pid);
    }
}

} // namespace

BENCHMARK(uiRegionLoaded)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(characterAccuracy)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(idleRelease)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
