// The stored history document, as any program or a damaged disk may have left it.
#include "storage/historyentry.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray document(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // What the store loads: the entries that decode, whatever the rest holds.
    bool complete = false;
    const QList<HistoryEntry> readable = HistoryEntry::decodeReadable(document, complete);
    const std::optional<QList<HistoryEntry>> entries = HistoryEntry::decodeList(document);
    // A document that decodes whole is read the same both ways.
    if (entries && (!complete || readable != *entries))
        std::abort();
    // Whatever was read must survive being written back and read again.
    const std::optional<QList<HistoryEntry>> again = HistoryEntry::decodeList(HistoryEntry::encodeList(readable));
    if (!again || *again != readable)
        std::abort();
    return 0;
}
