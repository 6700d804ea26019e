// Reads arbitrary bytes as a stroke font (.jhf) and, when they read, lays a
// line of every Windows-1252 character out in it. An EStrokeFontError is the
// expected outcome of a damaged font; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stroke_font.h"
#include "platform/stroke_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStrokeFont font;
    try {
        font = TStrokeFont::Parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.jhf");
    } catch (const EStrokeFontError&) {
        return 0;
    }
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    TStrokeText text;
    LayOutStrokes(font, all, (size & 1) != 0, 100000, text);
    // Every path ends inside the points, every character after the paths before it.
    uint32_t last = 0;
    for (uint32_t e : text.PathEnds) {
        if (e < last || e > text.Points.size()) __builtin_trap();
        last = e;
    }
    for (const auto& c : text.Chars)
        if (c.PathEnd > text.PathEnds.size()) __builtin_trap();
    return 0;
}
