#include "core/heaptuning.h"
#include "core/languagedetector.h"

#include <benchmark/benchmark.h>

namespace {

// Mixed Chinese and English prose of roughly the given UTF-8 size.
QString mixedText(qsizetype bytes)
{
    const QString chunk = QStringLiteral("今天我们讨论 machine translation 的质量问题，"
                                         "including latency and accuracy。翻译系统需要快速而准确。\n");
    QString text;
    while (text.toUtf8().size() < bytes)
        text += chunk;
    return text;
}

void BM_IsPrimarilyChinese(benchmark::State &state)
{
    const QString text = mixedText(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LanguageDetector::isPrimarilyChinese(text));
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

QString repeated(const QString &chunk, qsizetype bytes)
{
    QString text;
    while (text.toUtf8().size() < bytes)
        text += chunk;
    return text;
}

// One-script texts for comparison: CLD2 scores Han text far faster than Latin.
void BM_IsPrimarilyChinese_English(benchmark::State &state)
{
    const QString text = repeated(QStringLiteral("The quick brown fox jumps over the lazy dog. "), state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LanguageDetector::isPrimarilyChinese(text));
}

void BM_IsPrimarilyChinese_Chinese(benchmark::State &state)
{
    const QString text = repeated(QStringLiteral("今天天气很好，我们去公园散步吧。"), state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LanguageDetector::isPrimarilyChinese(text));
}

} // namespace

// Targets: <= 0.1 ms per 1 KB, <= 5 ms per 100 KB.
BENCHMARK(BM_IsPrimarilyChinese)->Arg(1024)->Arg(100 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IsPrimarilyChinese_English)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IsPrimarilyChinese_Chinese)->Arg(1024)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    // As the program itself does at start-up.
    HeapTuning::keepFreedMemoryForReuse();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
