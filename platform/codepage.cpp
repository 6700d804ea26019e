#include "platform/codepage.h"

#include <array>

namespace {

// Unicode of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char FromUnicode(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == u) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

char16_t Cp1252ToUnicode(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kHigh[c - 0x80];
    return c;
}

std::u16string Cp1252ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;  // one character outside the basic plane
            out.push_back('?');
            continue;
        }
        out.push_back(FromUnicode(u));
    }
    return out;
}
