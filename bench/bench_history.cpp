#include "storage/historystore.h"
#include "storage/settingsfile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QList<HistoryEntry> fiftyEntries()
{
    QList<HistoryEntry> entries;
    for (int i = 0; i < HistoryStore::maximumEntries; ++i) {
        entries.append(
            {QUuid::createUuid(), QStringLiteral("The quick brown fox jumps over the lazy dog, entry %1 / path").arg(i),
             QStringLiteral("敏捷的棕色狐狸跳过了懒狗，第 %1 条").arg(i), QStringLiteral("LLM"), HistoryEntry::now()});
    }
    return entries;
}

// What one history change costs: encode all 50 entries and write the store
// through to disk (atomic replace of the INI file).
void BM_HistoryEncodeAndSave(benchmark::State &state)
{
    QTemporaryDir dir;
    SettingsFile file(dir.path() + QStringLiteral("/tolvanis.conf"));
    const QList<HistoryEntry> entries = fiftyEntries();
    for (auto _ : state)
        file.setData(HistoryStore::standardKey(), HistoryEntry::encodeList(entries));
}

// Start-up cost: open the store and decode 50 entries.
void BM_HistoryLoad(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/tolvanis.conf");
    SettingsFile(path).setData(HistoryStore::standardKey(), HistoryEntry::encodeList(fiftyEntries()));
    for (auto _ : state) {
        SettingsFile file(path);
        HistoryStore store(HistoryStore::standardKey(), file);
        benchmark::DoNotOptimize(store.entries().size());
    }
}

// What a translation costs the GUI thread for its history entry: the list is
// encoded there, the disk is written on the store's writer thread.
void BM_HistoryAdd(benchmark::State &state)
{
    QTemporaryDir dir;
    SettingsFile file(dir.path() + QStringLiteral("/tolvanis.conf"));
    file.setData(HistoryStore::standardKey(), HistoryEntry::encodeList(fiftyEntries()));
    HistoryStore store(HistoryStore::standardKey(), file);
    for (auto _ : state)
        store.add(QStringLiteral("The quick brown fox"), QStringLiteral("敏捷的棕色狐狸"), QStringLiteral("LLM"));
}

void BM_HistoryEncodeOnly(benchmark::State &state)
{
    const QList<HistoryEntry> entries = fiftyEntries();
    for (auto _ : state)
        benchmark::DoNotOptimize(HistoryEntry::encodeList(entries));
}

} // namespace

// Targets: a history change costs the GUI thread <= 0.5 ms; encode + save of
// 50 entries <= 1 ms; load of 50 <= 1 ms.
BENCHMARK(BM_HistoryAdd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistoryEncodeAndSave)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistoryLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistoryEncodeOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
