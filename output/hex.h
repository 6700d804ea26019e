// Handles as the simplified DXF writes them: upper-case hexadecimal, at least
// two digits.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

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
