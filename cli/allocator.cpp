// The allocator of the shipped programs (the command line and the window):
// mimalloc, linked in place of the C library's malloc, with its memory in
// 2 MiB pages where the system offers them (transparent huge pages).
//
// A conversion builds its whole model on the heap, a few hundred bytes per
// entity, so a 50 MB drawing touches some 300 MB of fresh memory. In 4 KiB
// pages that is about 75 000 page faults, which on these virtual machines cost
// more than a third of a text-form conversion; in 2 MiB pages a few hundred.
// The setting is the allocator's own and is made once, before main, when no
// other thread exists; it changes where memory comes from, never what a
// conversion does. The unit tests, the benchmarks of single units and the
// sanitizer and fuzz builds keep the C library's malloc. This file is compiled
// into each program itself (never into a library), so its setting always runs.
#include <sys/mman.h>

#include <cstdint>

#include <mimalloc.h>

namespace {
// mimalloc's segments: 32 MiB, aligned to their size.
constexpr std::uintptr_t kSegmentSize = std::uintptr_t(1) << 25;

[[maybe_unused]] const bool kLargePages = [] {
    mi_option_enable(mi_option_large_os_pages);
    // The segment in use was made by the allocations of the start-up, before
    // the setting: it is given huge pages too (what it has touched so far
    // stays in small ones). Advice only: where the system refuses, nothing
    // changes.
    if (void* p = mi_malloc(16)) {
        const std::uintptr_t segment = reinterpret_cast<std::uintptr_t>(p) & ~(kSegmentSize - 1);
        ::madvise(reinterpret_cast<void*>(segment), kSegmentSize, MADV_HUGEPAGE);
        mi_free(p);
    }
    return true;
}();
}  // namespace
