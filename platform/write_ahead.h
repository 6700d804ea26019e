// Claiming the cache lines a buffer is about to be written at.
//
// A buffer handed from one thread to another and back (the pieces of a pipe,
// used again once emptied) comes back holding lines that sit in the other
// processor's cache, last read there. Writing such a line first takes it
// from that cache, and when the writes go straight along a buffer each one
// waits for its own line: recording the drawing of a 50 MB drawing spent
// three times as long in its appends with the reading on a second processor
// as with one thread alone. Asked for a few lines ahead, the lines arrive
// while the writing goes on. Only a hint: no value in memory changes, and an
// address is never read or written by it.
#pragma once

#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif

namespace write_ahead {

// How far ahead of the write position the lines are asked for: some eight
// lines, about the time the line from the other processor takes to arrive.
constexpr std::size_t kBytesAhead = 512;

namespace detail {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// PREFETCHW (claim a line for writing) is not on every x86-64 processor:
// CPUID 0x80000001, ECX bit 8.
inline bool HasPrefetchW() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) && (c & (1u << 8)) != 0;
}
#endif
}  // namespace detail

// Asks for the line of p for writing. p lies within an object (the hint
// names the byte, but never reads or writes it).
inline void Claim(const void* p) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Asked once per process; a constant from then on.
    static const bool kPrefetchW = detail::HasPrefetchW();
    if (kPrefetchW) asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
#else
    __builtin_prefetch(p, 1, 3);
#endif
}

// Claims the line kBytesAhead past at, the write position of a buffer that
// ends at end; nothing once that lies at or beyond end.
inline void ClaimAhead(const char* at, const char* end) {
    if (static_cast<std::size_t>(end - at) > kBytesAhead) Claim(at + kBytesAhead);
}

}  // namespace write_ahead
