// Pen, brush and font attributes of the drawing sink and the recording
// canvas. Plain values: a copy takes every attribute.
#pragma once

#include <cstdint>
#include <string>

// Colours are 0x00BBGGRR; values with flags (0x02000000 for palette-relative
// colours) are kept exactly as assigned.
using TColor = std::uint32_t;

enum TPenStyle : std::uint8_t {
    psSolid = 0,
    psDash = 1,
    psDot = 2,
    psDashDot = 3,
    psDashDotDot = 4,
    psClear = 5,
    psInsideFrame = 6,
};

struct TPen {
    TColor Color = 0x000000;       // black
    int Width = 1;                 // 0 is the thinnest (cosmetic) pen
    TPenStyle Style = psSolid;
    // A geometric pen (solid, flat end caps, bevel joins) is recorded as an
    // extended pen; an ordinary pen as a cosmetic one.
    bool Geometric = false;
    friend bool operator==(const TPen&, const TPen&) = default;
};

enum TBrushStyle : std::uint8_t {
    bsSolid = 0,
    bsClear = 1,
};

struct TBrush {
    TColor Color = 0xFFFFFF;       // white
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrush&, const TBrush&) = default;
};

struct TFont {
    std::string Name = "MS Sans Serif";
    int Height = -11;              // logical font height: negative = character height
    int Width = 0;                 // average character width, 0 = natural
    TColor Color = 0x000000;
    std::uint8_t CharSet = 1;      // DEFAULT_CHARSET
    int Escapement = 0;            // tenths of a degree, counter-clockwise
    int PixelsPerInch = 96;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    friend bool operator==(const TFont&, const TFont&) = default;
};
