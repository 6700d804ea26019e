#include "platform/codepage.h"

#include <array>
#include <utility>

namespace {

// Unicode of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
// 0 marks the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D). What they become depends on where the text goes: UTF-16 text
// (fonts, the window, the recording) carries the C1 control of the same
// value, as the Windows conversion does, and that control converts back to
// its byte, so such a byte survives the way there and back; UTF-8 text for
// messages and reports shows "?" (a control would be invisible there).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

char UnicodeToCp1252(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    if (u < 0xA0 && kHigh[u - 0x80] == 0) return static_cast<char>(u);  // an undefined byte's control
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == u) return static_cast<char>(0x80 + i);
    return '?';
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

namespace {
// Decodes UTF-8: every well-formed sequence goes to character(u), every
// other byte (ASCII, and bytes that do not start or continue a well-formed
// sequence) to byte(c).
template <class Byte, class Character>
void DecodeUtf8(std::string_view s, Byte byte, Character character) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            byte(static_cast<char>(c));
            ++i;
            continue;
        }
        // The length and the smallest code point of a sequence by its lead
        // byte; overlong forms, surrogates and values past U+10FFFF are not
        // well-formed.
        std::size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        char32_t u = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        bool ok = len != 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            u = (u << 6) | (t & 0x3F);
        }
        if (ok) {
            const char32_t least = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
            ok = u >= least && u <= 0x10FFFF && !(u >= 0xD800 && u <= 0xDFFF);
        }
        if (!ok) {
            byte(static_cast<char>(c));
            ++i;
            continue;
        }
        character(u);
        i += len;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// At a mark byte at s[i]: the marked character (and its length 5), the mark
// byte itself (doubled, length 2; a mark without its digits, length 1).
std::pair<char32_t, std::size_t> MarkedAt(std::string_view s, std::size_t i) {
    if (i + 1 < s.size() && s[i + 1] == kDrawnTextMark) return {0x7F, 2};
    if (i + 4 < s.size()) {
        char32_t u = 0;
        for (std::size_t k = 1; k <= 4; ++k) {
            const int d = HexDigit(s[i + k]);
            if (d < 0) return {0x7F, 1};
            u = u * 16 + char32_t(d);
        }
        return {u, 5};
    }
    return {0x7F, 1};
}
}  // namespace

std::string Utf8ToCp1252(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    DecodeUtf8(s, [&](char c) { out.push_back(c); }, [&](char32_t u) { out.push_back(UnicodeToCp1252(u)); });
    return out;
}

void AppendDrawnByte(std::string& out, char c) {
    out.push_back(c);
    if (c == kDrawnTextMark) out.push_back(c);
}

void AppendDrawnChar(std::string& out, char32_t u) {
    const char b = UnicodeToCp1252(u);
    if (b != '?' || u == '?') return AppendDrawnByte(out, b);
    if (u < 0xA0 || u > 0xFFFF || (u >= 0xD800 && u <= 0xDFFF)) {
        out.push_back('?');
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.push_back(kDrawnTextMark);
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(u >> shift) & 0xF]);
}

bool HasDrawnTextMark(std::string_view text) { return text.find(kDrawnTextMark) != std::string_view::npos; }

std::string Cp1252ToDrawnText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendDrawnByte(out, c);
    return out;
}

std::string Utf8ToDrawnText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    DecodeUtf8(s, [&](char c) { AppendDrawnByte(out, c); }, [&](char32_t u) { AppendDrawnChar(out, u); });
    return out;
}

std::string DrawnTextPlain(std::string_view s) {
    if (!HasDrawnTextMark(s)) return std::string(s);
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != kDrawnTextMark) {
            out.push_back(s[i++]);
            continue;
        }
        auto [u, len] = MarkedAt(s, i);
        out.push_back(len == 5 ? '?' : kDrawnTextMark);
        i += len;
    }
    return out;
}

std::size_t DrawnTextLength(std::string_view s) {
    if (!HasDrawnTextMark(s)) return s.size();
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++n) i += s[i] == kDrawnTextMark ? MarkedAt(s, i).second : 1;
    return n;
}

std::u16string DrawnTextToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != kDrawnTextMark) {
            out.push_back(Cp1252ToUnicode(static_cast<unsigned char>(s[i++])));
            continue;
        }
        auto [u, len] = MarkedAt(s, i);
        out.push_back(char16_t(u));
        i += len;
    }
    return out;
}

char16_t Cp1252ToUnicode(unsigned char c) {
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80]) return kHigh[c - 0x80];
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
        out.push_back(UnicodeToCp1252(u));
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (unsigned char c : s) {
        char32_t u = c;
        if (c >= 0x80 && c < 0xA0) u = kHigh[c - 0x80] ? kHigh[c - 0x80] : u'?';
        if (u < 0x80) {
            r += char(u);
        } else if (u < 0x800) {
            r += char(0xC0 | (u >> 6));
            r += char(0x80 | (u & 0x3F));
        } else {
            r += char(0xE0 | (u >> 12));
            r += char(0x80 | ((u >> 6) & 0x3F));
            r += char(0x80 | (u & 0x3F));
        }
    }
    return r;
}
