// Decimal 32-bit integers for the text output's hot loop: up to eight digits
// are made at once in one 64-bit word (each 4-, 2- and 1-digit split done for
// all lanes by one multiplication) and stored with one 8-byte write. The text
// is the same as decimal::PutInt gives; the caller leaves at least 11 bytes of
// room after p (the store may write past the end it returns).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "output/decimal.h"

namespace decimal {

// The eight decimal digits of u < 100000000, as values 0..9 one per byte, the
// first one in the lowest byte (so the word stored on a little-endian
// machine reads left to right once '0' is added to each byte).
inline std::uint64_t EightDigits(std::uint32_t u) {
    // Lanes of 32 bits: the upper four digits low, the lower four high.
    std::uint64_t four = std::uint64_t(u / 10000) | (std::uint64_t(u % 10000) << 32);
    // x / 100 == (x * 10486) >> 20 for every x < 10000 (one lane never
    // reaches the next: 9999 * 10486 < 2^27).
    const std::uint64_t hundreds = ((four * 10486) >> 20) & 0x0000007F0000007Full;
    // Lanes of 16 bits: each pair of digits, the higher pair low.
    const std::uint64_t two = hundreds | ((four - 100 * hundreds) << 16);
    // x / 10 == (x * 103) >> 10 for every x < 100.
    const std::uint64_t tens = ((two * 103) >> 10) & 0x000F000F000F000Full;
    // Lanes of 8 bits: each digit, the higher one low.
    return tens | ((two - 10 * tens) << 8);
}

// Writes v at p and returns the end, as PutInt does; needs 11 bytes of room.
inline char* PutInt32Wide(char* p, std::int32_t v) {
    std::uint32_t u = std::uint32_t(v);
    if (v < 0) {
        *p++ = '-';
        u = 0 - u;
    }
    if constexpr (std::endian::native == std::endian::little) {
        if (u < 100000000) {
            const std::uint64_t digits = EightDigits(u);
            // The leading zeros are the zero bytes below the first digit
            // that is not; the last digit always stays (u == 0 is "0").
            const unsigned zeros = unsigned(std::countr_zero(digits | (1ull << 56))) / 8;
            const std::uint64_t word = (digits + 0x3030303030303030ull) >> (8 * zeros);
            std::memcpy(p, &word, 8);
            return p + (8 - zeros);
        }
    }
    return PutUnsigned(p, u);
}

}  // namespace decimal
