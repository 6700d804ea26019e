#include "model/binary_dxf.h"

#include "model/errors.h"

#include <charconv>
#include <cstring>

namespace {

bool In(int32_t c, int32_t lo, int32_t hi) { return c >= lo && c <= hi; }

// Bytes a fixed-size value of the code takes (0: a string or chunk).
size_t FixedSize(int32_t code, TBinaryKind kind) {
    if (kind == TBinaryKind::Real) return 8;
    if (kind != TBinaryKind::Integer) return 0;
    if (In(code, 290, 299)) return 1;
    if (In(code, 160, 169)) return 8;
    if (In(code, 90, 99) || In(code, 420, 459) || code == 1071) return 4;
    return 2;
}

uint64_t LittleEndian(const unsigned char* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = v << 8 | p[i];
    return v;
}

std::string Offset(size_t v) { return std::to_string(v); }

}  // namespace

bool BinaryDxfHasWideCodes(std::string_view text) {
    const size_t s = kBinaryDxfSentinel.size();
    if (text.size() < s + 2) return true;
    const auto a = (unsigned char)text[s], b = (unsigned char)text[s + 1];
    return (a == 0 && b == 0) || (a == 0xE7 && b == 0x03);
}

TBinaryKind BinaryKindOf(int32_t c) {
    if (In(c, 10, 59) || In(c, 110, 149) || In(c, 210, 239) || In(c, 460, 469) || In(c, 1010, 1059))
        return TBinaryKind::Real;
    if (In(c, 60, 79) || In(c, 90, 99) || In(c, 160, 179) || In(c, 270, 299) || In(c, 370, 389) ||
        In(c, 400, 409) || In(c, 420, 429) || In(c, 440, 459) || In(c, 1060, 1071))
        return TBinaryKind::Integer;
    if (In(c, 310, 319) || c == 1004) return TBinaryKind::Chunk;
    return TBinaryKind::String;
}

bool ReadBinaryGroup(std::string_view text, size_t pos, bool wideCodes, TBinaryGroup& g, TBinaryDamage& damage,
                     size_t base) {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const size_t end = text.size();
    const size_t start = pos;
    auto cut = [&](const std::string& what) {
        damage.Offset = base + start;
        damage.Message = what;
        return false;
    };
    // The code: 16 bits, or one byte with 255 announcing 16 bits.
    size_t codeBytes = wideCodes ? 2 : 1;
    if (end - pos < codeBytes) return cut("the group code is cut off by the end of the file");
    int32_t code = wideCodes ? int32_t(int16_t(uint16_t(LittleEndian(t + pos, 2)))) : int32_t(t[pos]);
    pos += codeBytes;
    if (!wideCodes && code == 255) {
        if (end - pos < 2) return cut("the group code is cut off by the end of the file");
        code = int32_t(int16_t(uint16_t(LittleEndian(t + pos, 2))));
        pos += 2;
    }
    g.Code = code;
    g.Kind = BinaryKindOf(code);
    g.Bytes = {};
    g.Integer = 0;
    g.Real = 0;
    // (Only a damaged group spends the time to say where.)
    auto at = [&] { return " of group code " + std::to_string(code) + " at byte " + Offset(base + pos); };
    if (size_t n = FixedSize(code, g.Kind)) {
        if (end - pos < n)
            return cut("the value" + at() + " needs " + std::to_string(n) + " bytes, the file ends after " +
                       std::to_string(end - pos));
        uint64_t raw = LittleEndian(t + pos, n);
        if (g.Kind == TBinaryKind::Real) {
            std::memcpy(&g.Real, &raw, 8);
        } else if (n == 1) {
            g.Integer = int64_t(raw);  // an unsigned byte (a flag)
        } else if (n == 2) {
            g.Integer = int16_t(uint16_t(raw));
        } else if (n == 4) {
            g.Integer = int32_t(uint32_t(raw));
        } else {
            g.Integer = int64_t(raw);
        }
        g.End = pos + n;
        return true;
    }
    if (g.Kind == TBinaryKind::Chunk) {
        if (end - pos < 1) return cut("the length" + at() + " is cut off by the end of the file");
        size_t n = t[pos];
        if (end - pos - 1 < n)
            return cut("the chunk" + at() + " announces " + std::to_string(n) + " bytes, the file ends after " +
                       std::to_string(end - pos - 1));
        g.Bytes = text.substr(pos + 1, n);
        g.End = pos + 1 + n;
        return true;
    }
    const void* nul = std::memchr(t + pos, 0, end - pos);
    if (!nul) return cut("the string" + at() + " has no terminating NUL before the end of the file");
    size_t len = size_t(static_cast<const unsigned char*>(nul) - (t + pos));
    g.Bytes = text.substr(pos, len);
    g.End = pos + len + 1;
    return true;
}

void BinaryValueText(const TBinaryGroup& g, std::string& out) {
    out.clear();
    char buf[40];
    switch (g.Kind) {
        case TBinaryKind::String: out.assign(g.Bytes); break;
        case TBinaryKind::Integer: {
            auto r = std::to_chars(buf, buf + sizeof buf, g.Integer);
            out.assign(buf, r.ptr);
            break;
        }
        case TBinaryKind::Real: {
            auto r = std::to_chars(buf, buf + sizeof buf, g.Real);
            out.assign(buf, r.ptr);
            break;
        }
        case TBinaryKind::Chunk: {
            static const char* hex = "0123456789ABCDEF";
            for (unsigned char c : g.Bytes) {
                out += hex[c >> 4];
                out += hex[c & 15];
            }
            break;
        }
    }
}
