// Single-stroke fonts for drawing texts as lines: the Hershey fonts of
// Debian's hershey-fonts-data (".jhf" files), read at run time from the
// installed package. A loaded font is immutable and is shared by every
// drawing of a conversion run (it is passed to them, never held globally).
//
// The .jhf format: one glyph per line (a glyph may continue on the following
// lines), the glyphs of the characters " " to "~" in this order. A line is
// a 5-character glyph number, a 3-character vertex count n, then n pairs of
// characters: the first pair the glyph's left and right bounds, each further
// pair a point (x, y), every coordinate a character whose distance from "R"
// is the value (y grows downwards); the pair " R" lifts the pen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

// A stroke font that cannot be found or read; the message says which file
// and why.
class EStrokeFontError : public EPlandropError {
public:
    explicit EStrokeFontError(const std::string& message) : EPlandropError(message) {}
};

// A point of a glyph in the font's units (x to the right of the glyph's
// origin, y downwards, as in the file).
struct TGlyphPoint {
    int8_t X = 0, Y = 0;
};

struct TStrokeGlyph {
    int8_t Left = 0, Right = 0;  // the advance runs from Left to Right
    std::vector<TGlyphPoint> Points;
    std::vector<uint16_t> PathEnds;  // each pen-down path ends before its entry
};

// The largest .jhf file read (the Hershey files are 3 to 30 KB).
constexpr uint64_t kMaxStrokeFontBytes = 1 << 20;

class TStrokeFont {
public:
    // Reads the glyphs of " " to "~" from the text of a .jhf file; name names
    // the file in errors. A damaged file (a header that is no number, a line
    // shorter than its vertex count, a coordinate outside the printable
    // characters, fewer than 95 glyphs, no letter H to measure) is refused.
    static TStrokeFont Parse(std::string_view text, const std::string& name);
    // Reads the file at path (at most kMaxStrokeFontBytes).
    static TStrokeFont Load(const std::string& path);

    // The glyph of a character from " " to "~", else none.
    const TStrokeGlyph* Glyph(unsigned char c) const {
        return c >= 32 && c < 32 + kGlyphs ? &FGlyphs[c - 32] : nullptr;
    }
    // The baseline and the cap height (y of the letter H's bottom, and its
    // height), in font units.
    int BaseY() const { return FBaseY; }
    int CapHeight() const { return FCapHeight; }

    static constexpr int kGlyphs = 95;

private:
    std::vector<TStrokeGlyph> FGlyphs;
    int FBaseY = 0;
    int FCapHeight = 1;
};

// The two fonts texts are drawn with: simplex roman for normal text, duplex
// roman for bold.
struct TStrokeFonts {
    TStrokeFont Normal;
    TStrokeFont Bold;
    std::string Folder;  // where they were read
};

// The file names of the two fonts.
inline constexpr const char* kStrokeFontNormal = "rowmans.jhf";
inline constexpr const char* kStrokeFontBold = "rowmand.jhf";

// The folders looked in for the fonts, in order: where the package manager
// says hershey-fonts-data put rowmans.jhf, then /usr/share/hershey-fonts and
// /usr/local/share/hershey-fonts. Nothing of the environment changes it.
std::vector<std::string> StrokeFontSearchList();

// The first of folders that holds rowmans.jhf; none raises the error that
// names the package hershey-fonts-data and the folders looked in.
std::string FindStrokeFontFolder(const std::vector<std::string>& folders);

// Loads both fonts from folder, or (folder empty) from the first folder of
// the search list that holds rowmans.jhf. A missing package raises an error
// that names the package and the folders looked in; a damaged file one that
// names the file.
std::shared_ptr<const TStrokeFonts> LoadStrokeFonts(const std::string& folder = {});
