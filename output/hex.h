// Handles as the simplified DXF writes them: upper-case hexadecimal, at least
// two digits.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

// Writes the handle v at out (room for 16 characters) and returns the end.
inline char* PutHex(char* out, std::uint64_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const int width = std::max(2, (static_cast<int>(std::bit_width(v)) + 3) / 4);
    for (int i = width - 1; i >= 0; --i) {
        out[i] = kDigits[v & 0xF];
        v >>= 4;
    }
    return out + width;
}

// The same for a 32-bit v, made without a loop: the eight nibbles are spread
// one to a byte of a word, most significant first once the word's bytes are
// swapped, turned into digits all at once, and stored with one 8-byte write
// from which the leading zeros are shifted off. Needs room for 8 characters
// (the store writes 8 whatever the width).
inline char* PutHex32(char* out, std::uint32_t v) {
    if constexpr (std::endian::native != std::endian::little) return PutHex(out, v);
    const int width = std::max(2, (static_cast<int>(std::bit_width(v)) + 3) / 4);
    std::uint64_t x = v;
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
    x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;  // nibble k in byte k
    // '0' + n, and 7 more from 10 on ('A'): n + 6 reaches 16 exactly then.
    x += 0x3030303030303030ull + (((x + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull) * 7;
    const std::uint64_t word = __builtin_bswap64(x) >> (8 * (8 - width));  // most significant first
    std::memcpy(out, &word, 8);
    return out + width;
}
