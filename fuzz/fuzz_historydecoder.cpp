// The stored history document, as any program or a damaged disk may have left it.
#include "historyentry.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray document(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<QList<HistoryEntry>> entries = HistoryEntry::decodeList(document);
    if (!entries)
        return 0;
    // Whatever decodes must survive being written back and read again.
    const std::optional<QList<HistoryEntry>> again = HistoryEntry::decodeList(HistoryEntry::encodeList(*entries));
    if (!again || *again != *entries)
        std::abort();
    return 0;
}
