#include "model/parsing.h"

#include <algorithm>
#include <charconv>
#include <cmath>

std::string UpperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return r;
}

std::string LowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    // Blanks are spaces and control characters, as the DXF writers use them.
    size_t b = 0, e = s.size();
    while (b < e && (unsigned char)s[b] <= ' ') ++b;
    while (e > b && (unsigned char)s[e - 1] <= ' ') --e;
    return s.substr(b, e - b);
}

std::string ReplaceTextCI(std::string s, std::string_view what, std::string_view with) {
    if (what.empty()) return s;
    std::string lw = LowerAscii(what);
    // A replacement that contains the searched text would never end.
    if (LowerAscii(with).find(lw) != std::string::npos) return s;
    for (;;) {
        size_t p = LowerAscii(s).find(lw);
        if (p == std::string::npos) return s;
        s.replace(p, what.size(), with);
    }
}

std::string DiameterSubstitute(const std::string& s) { return s == "n" ? std::string("\\U+2205") : s; }

uint32_t HexHandle(std::string_view s) {
    s = TrimBlanks(s);
    if (s.empty() || s.size() > 8) return 0;
    uint32_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || p != s.data() + s.size()) return 0;
    return v;
}

bool ParseInt32(std::string_view s, int32_t& out) {
    // Fast path: one to nine plain digits after leading blanks, as nearly
    // every group code (written right-aligned, "  8") and integer value is.
    // It gives what the general path below gives for such text.
    size_t lead = 0;
    while (lead < s.size() && (s[lead] == ' ' || s[lead] == '\t')) ++lead;
    if (lead < s.size() && s.size() - lead <= 9) {
        int32_t v = 0;
        size_t i = lead;
        for (; i < s.size(); ++i) {
            unsigned d = unsigned(s[i]) - '0';
            if (d > 9) break;
            v = v * 10 + int32_t(d);
        }
        if (i == s.size()) {
            out = v;
            return true;
        }
    }
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') base = 16, ++i;
    else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) base = 16, i += 2;
    if (i >= s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        int d;
        char c = s[i];
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * base + d;
        if (v > int64_t(INT32_MAX) + 1 && !(base == 16 && v <= int64_t(UINT32_MAX))) return false;
    }
    if (neg) v = -v;
    if (base == 16 && !neg && v > INT32_MAX && v <= int64_t(UINT32_MAX)) v = int32_t(uint32_t(v));
    if (v > INT32_MAX || v < INT32_MIN) return false;
    out = int32_t(v);
    return true;
}

namespace {
// The plain "[-]digits[.digits]" form nearly every value of a drawing has
// (also with "," as the separator), read in one pass: when the digits
// without the separator form an integer m <= 2^53 and there are f <= 22
// decimals, both m and 10^f are exact doubles and the one division m / 10^f
// is correctly rounded, the very value from_chars gives. False (out
// untouched) for anything else, which the general path then reads.
bool ParsePlainDouble(std::string_view s, double& out) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = s.data();
    const char* e = p + s.size();
    bool neg = p < e && *p == '-';
    if (neg) ++p;
    const char* d = p;
    uint64_t m = 0;
    while (p < e && unsigned(*p - '0') <= 9) m = m * 10 + unsigned(*p++ - '0');
    size_t intDigits = size_t(p - d), fracDigits = 0;
    if (intDigits == 0) return false;
    if (p < e && (*p == '.' || *p == ',')) {
        const char* f = ++p;
        while (p < e && unsigned(*p - '0') <= 9) m = m * 10 + unsigned(*p++ - '0');
        fracDigits = size_t(p - f);
        if (fracDigits == 0) return false;
    }
    // At most 19 digits, so that m did not wrap around.
    if (p != e || intDigits + fracDigits > 19 || m > (uint64_t(1) << 53) || fracDigits > 22) return false;
    double v = double(m) / kPow10[fracDigits];
    out = neg ? -v : v;
    return true;
}
}  // namespace

bool ParseDouble(std::string_view s, double& out) {
    if (ParsePlainDouble(s, out)) return true;
    s = TrimBlanks(s);
    if (s.empty()) return false;
    // Only plain decimal numbers: an optional sign, digits with "." or ","
    // as the decimal separator, an optional exponent. No "inf", "nan" or
    // hexadecimal floats.
    bool neg = false;
    size_t i = 0;
    if (s[0] == '+' || s[0] == '-') neg = s[i++] == '-';
    bool digits = false, comma = false;
    for (size_t k = i; k < s.size(); ++k) {
        char c = s[k];
        if (c >= '0' && c <= '9') digits = true;
        else if (c == ',') comma = true;
        else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return false;
    }
    if (!digits || i == s.size() || s[i] == '+' || s[i] == '-') return false;
    const char* b = s.data() + i;
    const char* e = s.data() + s.size();
    std::string copy;
    if (comma) {  // the comma is the decimal separator of this value
        copy.assign(b, e);
        for (char& c : copy)
            if (c == ',') c = '.';
        b = copy.data();
        e = b + copy.size();
    }
    double v = 0;
    auto [p, ec] = std::from_chars(b, e, v, std::chars_format::general);
    if (p != e) return false;
    if (ec == std::errc::result_out_of_range) {
        // Too large becomes infinite, too small becomes zero.
        const char* ex = std::find_if(b, e, [](char c) { return c == 'e' || c == 'E'; });
        bool negExp = ex != e && ex + 1 < e && ex[1] == '-';
        v = negExp ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        return false;
    }
    out = neg ? -v : v;
    return true;
}

double TextToFloatDef(std::string_view s, double def) {
    double v;
    return ParseDouble(s, v) ? v : def;
}

std::string EscapeControlBytes(std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        const unsigned char c = (unsigned char)ch;
        switch (c) {
            case '\b': out += "\\b"; continue;
            case '\f': out += "\\f"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}
