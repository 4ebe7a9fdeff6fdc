#pragma once

// Process-wide allocator settings, applied once at start-up.
namespace HeapTuning {

// CLD2 allocates its scoring buffers afresh on every detection and frees them
// again; with glibc's default 128 KiB trim threshold each free hands the top
// of the heap back to the kernel (brk), and the next detection faults every
// page in again: ~90 µs per call even for a 12-byte text, against < 1 µs once
// the memory is kept. Keeping a few MiB of freed heap removes that cost.
void keepFreedMemoryForReuse();

} // namespace HeapTuning
