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

#include <QSettings>

#include <cstdio>

namespace {

// The reason something was lost, or none.
QString lost(const QString &beforePath, const QString &afterPath, qsizetype &entries)
{
    QSettings before(beforePath, QSettings::IniFormat), after(afterPath, QSettings::IniFormat);
    if (after.status() != QSettings::NoError)
        return afterPath + QStringLiteral(" does not load");
    const QString history = HistoryStore::standardKey();
    for (const QString &key : before.allKeys()) {
        if (!after.contains(key) || (key != history && key != QStringLiteral("com.quendrix.tolvanis.openAIModel")
                                     && after.value(key) != before.value(key)))
            return key + QStringLiteral(" is gone or changed");
    }
    const auto old = HistoryEntry::decodeList(SettingsFile(beforePath).data(history).value_or("[]"));
    const auto now = HistoryEntry::decodeList(SettingsFile(afterPath).data(history).value_or("[]"));
    if (!old || !now)
        return QStringLiteral("a history no longer decodes");
    // Newest first: entries added after the copy come first, then the copy's
    // entries in order, cut only at the list's maximum.
    qsizetype added = old->isEmpty() ? now->size() : 0;
    while (added < now->size() && now->at(added).id != old->first().id)
        ++added;
    const qsizetype kept = now->size() - added;
    if (now->mid(added) != old->first(qMin(kept, old->size()))
        || (kept < old->size() && now->size() < HistoryStore::maximumEntries))
        return QStringLiteral("history entries changed or went missing");
    entries = now->size();
    return {};
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
        const QString reason = lost(QString::fromLocal8Bit(argv[i - 1]), QString::fromLocal8Bit(argv[i]), entries);
        if (!reason.isEmpty()) {
            std::fprintf(stderr, "storedsettingscheck: %s\n", qPrintable(reason));
            return 1;
        }
    }
    std::printf("%lld\n", static_cast<long long>(entries));
    return 0;
}
