// Compares copies of the settings file taken one after the other while
// tolvanis adds history entries and is killed: each must load, keep every
// history entry of the one before (unless newer entries pushed it out of the
// list) and every other setting but the model name being typed. Prints the
// number of entries in the last one, or the reason and exits 1 when something
// was lost.
//   storedsettingscheck <oldest copy> <newer copy>...
#include "historyentry.h"
#include "historystore.h"
#include "settingsfile.h"

#include <QCoreApplication>
#include <QSettings>

#include <cstdio>

namespace {

const QString modelKey = QStringLiteral("com.quendrix.tolvanis.openAIModel");

std::nullopt_t lost(const char *reason)
{
    std::fprintf(stderr, "storedsettingscheck: %s\n", reason);
    return std::nullopt;
}

std::optional<QList<HistoryEntry>> history(const QString &path)
{
    const std::optional<QByteArray> stored = SettingsFile(path).data(HistoryStore::standardKey());
    return stored ? HistoryEntry::decodeList(*stored) : QList<HistoryEntry>();
}

} // namespace

// The number of history entries in the newer copy, or nothing when it lost some.
std::optional<qsizetype> keeps(const QString &beforePath, const QString &afterPath)
{
    QSettings before(beforePath, QSettings::IniFormat);
    QSettings after(afterPath, QSettings::IniFormat);
    if (after.status() != QSettings::NoError)
        return lost(qPrintable(afterPath + QStringLiteral(" does not load")));
    for (const QString &key : before.allKeys()) {
        if (!after.contains(key))
            return lost(qPrintable(QStringLiteral("%1 is gone").arg(key)));
        if (key != modelKey && key != HistoryStore::standardKey() && after.value(key) != before.value(key))
            return lost(qPrintable(QStringLiteral("%1 changed").arg(key)));
    }

    const std::optional<QList<HistoryEntry>> old = history(beforePath);
    const std::optional<QList<HistoryEntry>> now = history(afterPath);
    if (!old)
        return lost("an earlier copy holds an undecodable history");
    if (!now)
        return lost("the history no longer decodes");
    // Newest first: entries added after the copy come first, then the copy's
    // entries in order, cut only at the list's maximum.
    qsizetype added = 0;
    while (added < now->size() && !old->isEmpty() && now->at(added).id != old->first().id)
        ++added;
    if (old->isEmpty())
        added = now->size();
    const qsizetype kept = now->size() - added;
    if (now->mid(added) != old->first(qMin(kept, old->size())))
        return lost("history entries changed or went missing");
    if (kept < old->size() && now->size() < HistoryStore::maximumEntries)
        return lost("history entries went missing");
    return now->size();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        lost("usage: storedsettingscheck <oldest copy> <newer copy>...");
        return 2;
    }
    std::optional<qsizetype> entries;
    for (int i = 2; i < argc; ++i) {
        entries = keeps(QString::fromLocal8Bit(argv[i - 1]), QString::fromLocal8Bit(argv[i]));
        if (!entries)
            return 1;
    }
    std::printf("%lld\n", static_cast<long long>(*entries));
    return 0;
}
