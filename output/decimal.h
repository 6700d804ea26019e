// Decimal integers written straight into a character buffer, two digits at a
// time: the same text std::to_chars gives, without its general machinery.
#pragma once

#include <cstdint>
#include <cstring>

namespace decimal {

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline constexpr std::uint64_t kPowersOf10[20] = {1ull,
                                                  10ull,
                                                  100ull,
                                                  1000ull,
                                                  10000ull,
                                                  100000ull,
                                                  1000000ull,
                                                  10000000ull,
                                                  100000000ull,
                                                  1000000000ull,
                                                  10000000000ull,
                                                  100000000000ull,
                                                  1000000000000ull,
                                                  10000000000000ull,
                                                  100000000000000ull,
                                                  1000000000000000ull,
                                                  10000000000000000ull,
                                                  100000000000000000ull,
                                                  1000000000000000000ull,
                                                  10000000000000000000ull};

// Writes u at p (at most 20 characters) and returns the end. The digits go
// straight to their places from the last one on (the count is found first),
// so no copy of a variable length is made.
inline char* PutUnsigned(char* p, std::uint64_t u) {
    unsigned n = 1;
    while (n < 20 && u >= kPowersOf10[n]) ++n;
    char* const e = p + n;
    char* b = e;
    while (u >= 100) {
        const unsigned r = unsigned(u % 100);
        u /= 100;
        b -= 2;
        b[0] = kDigitPairs[2 * r];
        b[1] = kDigitPairs[2 * r + 1];
    }
    if (u >= 10) {
        b -= 2;
        b[0] = kDigitPairs[2 * u];
        b[1] = kDigitPairs[2 * u + 1];
    } else {
        *--b = char('0' + u);
    }
    return e;
}

// Writes v at p (at most 20 characters) and returns the end.
inline char* PutInt(char* p, std::int64_t v) {
    std::uint64_t u = std::uint64_t(v);
    if (v < 0) {
        *p++ = '-';
        u = 0 - u;
    }
    return PutUnsigned(p, u);
}

}  // namespace decimal
