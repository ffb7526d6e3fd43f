#include "core/large_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kx {

void AdviseLargePages(void* data, size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr uintptr_t Large = uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t from = (begin + Large - 1) & ~(Large - 1);
    const uintptr_t to = (begin + bytes) & ~(Large - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace kx
