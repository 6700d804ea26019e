// The binary form of DXF: the 22-byte sentinel "AutoCAD Binary DXF" CR LF
// SUB NUL, then groups of a little-endian group code (16 bits; one byte in
// files of release 12 and before, where 255 announces a 16-bit code) and a
// value whose type follows from the code: NUL-terminated strings, 8-, 16-,
// 32- and 64-bit integers, 64-bit reals, and binary chunks of a length byte
// and that many bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

inline bool IsBinaryDxf(std::string_view text) { return text.substr(0, kBinaryDxfSentinel.size()) == kBinaryDxfSentinel; }

// Whether the groups after the sentinel have 16-bit codes (release 13 and
// later) or 8-bit ones. Decided by the first group, which is a 0 group
// (SECTION) or a 999 comment: as 16-bit codes these start 00 00 or E7 03;
// anything else is read with 8-bit codes.
bool BinaryDxfHasWideCodes(std::string_view text);

enum class TBinaryKind : uint8_t { String, Integer, Real, Chunk };

// The type of a group's value by its code.
TBinaryKind BinaryKindOf(int32_t code);

struct TBinaryGroup {
    int32_t Code = 0;
    TBinaryKind Kind = TBinaryKind::String;
    std::string_view Bytes;  // a string without its NUL, or a chunk's bytes
    int64_t Integer = 0;
    double Real = 0;
    size_t End = 0;  // offset just past the group
};

// Why a binary group could not be read, and where it starts.
struct TBinaryDamage {
    size_t Offset = 0;
    std::string Message;
};

// Reads the group at pos (pos <= text.size()). False when the text ends
// inside the group (a code or value cut off, a string without its NUL);
// damage then says why. text may be a part of the file that starts at offset
// base: the offsets damage names count from the start of the file.
bool ReadBinaryGroup(std::string_view text, size_t pos, bool wideCodes, TBinaryGroup& g, TBinaryDamage& damage,
                     size_t base = 0);

// The value as the text form writes it: strings as they are, integers in
// decimal, reals in the shortest form that reads back exactly, chunks as
// upper-case hexadecimal digits.
void BinaryValueText(const TBinaryGroup& g, std::string& out);
