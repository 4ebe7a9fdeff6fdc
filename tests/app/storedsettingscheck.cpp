// Compares copies of the settings file taken one after the other while
// tolvanis adds history entries and is killed: each must keep every setting of
// the copy before but the model name being typed, and every history entry
// unless newer entries pushed it out of the list. Prints the number of entries
// in the last one, or exits 1 when something was lost.
//   storedsettingscheck <oldest copy> <newer copy>...
#include "storage/historyentry.h"
#include "storage/historystore.h"
#include "storage/settingsfile.h"

#include <QSettings>

#include <cstdio>

namespace {

std::optional<QList<HistoryEntry>> history(const QString &path)
{
    return HistoryEntry::decodeList(SettingsFile(path).data(HistoryStore::standardKey()).value_or("[]"));
}

bool lostSomething(const QString &beforePath, const QString &afterPath, qsizetype &entries)
{
    QSettings before(beforePath, QSettings::IniFormat), after(afterPath, QSettings::IniFormat);
    for (const QString &key : before.allKeys()) {
        if (!after.contains(key) ||
            (key != HistoryStore::standardKey() && !key.endsWith(QStringLiteral(".openAIModel")) &&
             after.value(key) != before.value(key)))
            return true;
    }
    const auto old = history(beforePath), now = history(afterPath);
    if (after.status() != QSettings::NoError || !old || !now)
        return true;
    // Newest first: entries added after the copy come first, then the copy's
    // entries in order, cut only at the list's maximum.
    qsizetype added = old->isEmpty() ? now->size() : 0;
    while (added < now->size() && now->at(added).id != old->first().id)
        ++added;
    const qsizetype kept = now->size() - added;
    entries = now->size();
    return now->mid(added) != old->first(qMin(kept, old->size())) ||
        (kept < old->size() && now->size() < HistoryStore::maximumEntries);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: storedsettingscheck <oldest copy> <newer copy>...\n", stderr);
        return 2;
    }
    qsizetype entries = 0;
    for (int i = 2; i < argc; ++i) {
        if (lostSomething(QString::fromLocal8Bit(argv[i - 1]), QString::fromLocal8Bit(argv[i]), entries)) {
            std::fprintf(stderr, "storedsettingscheck: %s lost what %s held\n", argv[i], argv[i - 1]);
            return 1;
        }
    }
    std::printf("%lld\n", static_cast<long long>(entries));
    return 0;
}
