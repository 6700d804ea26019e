// Text measurement: the advance width of an 8-bit (Windows-1252) string for
// a font given by face name, logical height and character width. The one
// implementation measures with advance-width tables built into the program,
// so the result is the same on every machine.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct TFontWidthTable {
    const char* Family;
    int UnitsPerEm;
    int WinAscent;      // ascent + descent = the cell height of a positive logical height
    int WinDescent;
    int AvgCharWidth;   // average character width in design units
    std::array<std::uint16_t, 256> Advance;  // per Windows-1252 byte, design units
};

namespace dxf_platform_fonts {
extern const TFontWidthTable LiberationSans;   // metric-compatible with Arial
extern const TFontWidthTable LiberationSerif;  // ... with Times New Roman
extern const TFontWidthTable LiberationMono;   // ... with Courier New
}  // namespace dxf_platform_fonts

class TTextMeasure {
public:
    virtual ~TTextMeasure() = default;
    // Width in logical units of the text as one line, like a text-extent
    // query on a device context with the font selected. height follows the
    // logical-font rule: below 0 the character (em) height, above 0 the cell
    // height, 0 the default height. width 0 is the natural width, otherwise
    // the average character width the glyphs are stretched to.
    // The width of a concatenation is the sum of the widths of its parts
    // (no kerning), which the multi-line text layout relies on to wrap long
    // paragraphs in time linear in their length.
    virtual int TextWidth(std::string_view text, std::string_view faceName, int height,
                          int width) const = 0;
    // The height of a line of text (the cell height: ascent plus descent) in
    // logical units for a logical font height.
    virtual int CellHeight(std::string_view faceName, int height) const = 0;
};

class TFontTableMeasure final : public TTextMeasure {
public:
    int TextWidth(std::string_view text, std::string_view faceName, int height,
                  int width) const override;
    int CellHeight(std::string_view faceName, int height) const override;
    // The table used for a face: "Times New Roman" and faces named like it
    // take the serif table, "Courier New" and "Courier" the mono table, every
    // other face (Arial, unknown ones) the sans table. Compared ignoring ASCII case.
    static const TFontWidthTable& TableForFace(std::string_view faceName);
    // The em height in logical units for a logical font height.
    static double EmHeight(const TFontWidthTable& table, int height);
};
