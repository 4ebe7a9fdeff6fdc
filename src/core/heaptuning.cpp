#include "core/heaptuning.h"

#include <malloc.h>

namespace HeapTuning {

namespace {
// Room for CLD2's buffers for the longest texts users paste.
constexpr int keptHeapBytes = 4 * 1024 * 1024;
} // namespace

void keepFreedMemoryForReuse()
{
#if defined(M_TRIM_THRESHOLD) && defined(M_MMAP_THRESHOLD)
    // Setting either threshold switches off glibc's own adjustment of both, so
    // the mmap threshold is set too: a long text's buffers (several hundred
    // KiB) would otherwise be mapped and unmapped on every call.
    mallopt(M_MMAP_THRESHOLD, keptHeapBytes);
    mallopt(M_TRIM_THRESHOLD, keptHeapBytes);
#endif
}

} // namespace HeapTuning
