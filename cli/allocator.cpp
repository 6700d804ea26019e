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
    // Every segment committed whole when it is made, so that it is given
    // huge pages; by default the first segments of each thread (the workers
    // of convert -j among them) are committed piece by piece in small pages.
    mi_option_set(mi_option_eager_commit_delay, 0);
#ifdef DXF_KEEP_FREED_MEMORY
    // The command line keeps what a drawing freed for the next one of the
    // run: given back to the system, it came back in small pages, with a
    // page fault each (10 000 in 20 drawings of 5 MB). The process ends with
    // the run; the window gives its memory back between conversions.
    // (The segment made before this setting keeps its own; for it, giving
    // memory back is put off beyond any run.)
    mi_option_disable(mi_option_allow_decommit);
    mi_option_set(mi_option_decommit_delay, 1000L * 3600 * 24);
    mi_option_set(mi_option_segment_decommit_delay, 1000L * 3600 * 24);
#endif
    // The segment in use was made by the allocations of the start-up, before
    // these settings: it is given huge pages too (what it has touched so far
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
