#pragma once

#include <cstddef>

// Buffers of tens of megabytes (a run of 10^7 codes, its transform) are faulted in 4 KiB at a
// time unless the kernel is asked for its large pages: about a third of a long spectrum's time
// went on page faults. POSIX (madvise); elsewhere a no-op.

namespace kx {

// Asks for large pages over the whole 2 MiB pieces of [data, data + bytes), before they are first
// written. Harmless where the kernel has none to give.
void AdviseLargePages(void* data, size_t bytes);

}  // namespace kx
