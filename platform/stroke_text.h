// A line of Windows-1252 text laid out in the strokes of a stroke font.
// Characters the font has are drawn with its glyphs; accented letters,
// ligatures, quotes, signs and the like are composed from its glyphs and a
// few marks drawn here (accents, diaeresis, ring, cedilla, caron, slashes,
// bars); a character nothing covers (an unassigned code, a control
// character) is a small box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/stroke_font.h"

// A point of a laid-out line, in cap heights: y upward from the baseline,
// x from the centre of its character's advance.
struct TStrokeXY {
    float X = 0, Y = 0;
};

struct TStrokeText {
    std::vector<TStrokeXY> Points;
    std::vector<uint32_t> PathEnds;  // each pen-down path ends before its entry
    struct TPlaced {
        uint32_t PathEnd = 0;  // the character's paths end before this path
        double Centre = 0;     // the centre of its advance, in cap heights from the line's start
    };
    std::vector<TPlaced> Chars;
    double Advance = 0;      // the advance of the whole line, in cap heights
    bool Truncated = false;  // maxPoints stopped the layout before the end
    void Clear() {
        Points.clear();
        PathEnds.clear();
        Chars.clear();
        Advance = 0;
        Truncated = false;
    }
};

// Lays text out into out (cleared first). symbolFace: the text is in the
// Symbol face, whose byte 0xC6 is the diameter sign. At most maxPoints
// points: a character that would pass it ends the layout (Truncated).
void LayOutStrokes(const TStrokeFont& font, std::string_view text, bool symbolFace, size_t maxPoints,
                   TStrokeText& out);
