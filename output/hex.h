// Handles as the simplified DXF writes them: upper-case hexadecimal, at least
// two digits.
#pragma once

#include <charconv>
#include <cstdint>

// Writes the handle v at out (room for 17 characters) and returns the end.
inline char* PutHex(char* out, std::uint64_t v) {
    char buf[20];
    auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
    if (r.ptr - buf < 2) *out++ = '0';
    for (char* p = buf; p < r.ptr; ++p) *out++ = (*p >= 'a' && *p <= 'f') ? char(*p - 32) : *p;
    return out;
}
