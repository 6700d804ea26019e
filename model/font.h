// Extended font objects: the fonts every single-line text owns. Beside the
// attributes of an ordinary canvas font (name, height, pitch, style,
// character set, colour, pixels per inch) they express a condensed width, an
// explicit character width and weight, and rotation (escapement and
// orientation in tenths of a degree). The drawing code sets height, width and
// escapement right before it draws, takes the font's logical-font record
// (Handle) and gives the sink a font made from it.
//
// There is no platform font handle here: what Handle creates is the logical
// font that the recording canvas records, filled anew on each call (equal
// fonts give equal records, and the canvas creates a font object only when
// the selected one changes). Nothing is shared between fonts or threads, so
// no font lock is needed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/geometry.h"
#include "platform/emf_records.h"
#include "platform/gdi_attributes.h"

enum TmvFontStyle : uint8_t {
    fmBold = 0,
    fmItalic = 1,
    fmUnderline = 2,
    fmStrikeOut = 3,
    fmCondensed = 4,
    fmUpward = 5,
    fmDownward = 6,
};

// A set of TmvFontStyle, one bit per member (the style byte of the font).
using TmvFontStyles = uint8_t;
constexpr TmvFontStyles FontStyle(TmvFontStyle s) { return TmvFontStyles(1u << s); }

enum class TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// The system window-text colour, the colour of a fresh font.
constexpr TColorValue clWindowText = TColorValue(0x80000008u);

class TmvFont {
public:
    TmvFont() = default;
    virtual ~TmvFont() = default;
    TmvFont(const TmvFont&) = default;
    TmvFont& operator=(const TmvFont&) = default;

    // The logical-font record of this font (see FillLogFont).
    LOGFONTW Handle() const;
    virtual void FillLogFont(LOGFONTW& lf) const;
    // The sink's font attributes for this font, taken from its logical font.
    TFont CanvasFont() const;

    TmvFontStyles Style() const { return FStyle; }
    // Sets the style. Upward and downward exclude each other: when both are
    // asked for, the one the font has already is dropped (the newly asked
    // direction wins); when the font had neither, both are dropped.
    void SetStyle(TmvFontStyles s);
    bool Has(TmvFontStyle s) const { return (FStyle & FontStyle(s)) != 0; }
    void Include(TmvFontStyle s) { SetStyle(FStyle | FontStyle(s)); }
    void Exclude(TmvFontStyle s) { SetStyle(FStyle & ~FontStyle(s)); }

    // The face name: the name field up to its first zero character.
    std::string_view Name() const;
    // Clears the name field and writes the name into it (at most 31 characters).
    void SetName(std::string_view name);
    // Fonts are the same font when every attribute and the whole name field
    // agree (so extended fonts that differ only in their packed numbers differ).
    friend bool operator==(const TmvFont& a, const TmvFont& b) {
        return a.Height == b.Height && a.Pitch == b.Pitch && a.Charset == b.Charset && a.Color == b.Color &&
               a.PixelsPerInch == b.PixelsPerInch && a.FName == b.FName && a.FStyle == b.FStyle;
    }

    int32_t Height = -11;  // below 0 the character height, above 0 the cell height
    TFontPitch Pitch = TFontPitch::fpDefault;
    uint8_t Charset = 1;   // the default character set
    TColorValue Color = clWindowText;
    int32_t PixelsPerInch = 96;

    // Two thirds of the natural width of a face at a font height, rounded:
    // (|height| x sumW x 2 + (3 x sumH) div 2) div (3 x sumH), 0 when sumH is
    // 0. sumW and sumH are the summed average widths and cell heights of the
    // face's variants; here they come from the built-in advance-width table
    // of the face (one variant).
    static int32_t CondensedWidth(int32_t height, int64_t sumW, int64_t sumH);

protected:
    // The face-name field: 31 characters, unused ones zero.
    std::array<char, 31> FName{};
    TmvFontStyles FStyle = 0;
    void WriteName(std::string_view name, size_t maxLength);
};

// The four numbers live in the last eight bytes of the face-name field, each
// 16 bits little-endian, so that they are part of the font's identity; a face
// name may use at most the first 22 characters.
class TmvExtFont : public TmvFont {
public:
    static constexpr size_t kMaxNameLength = 22;

    void FillLogFont(LOGFONTW& lf) const override;

    // Cuts the name to 22 characters and rewrites the whole field, which
    // resets Width, Weight, Escapement and Orientation to 0 (so they are set
    // after the name).
    void SetName(std::string_view name) { WriteName(name, kMaxNameLength); }

    uint16_t Width() const { return uint16_t(Number(0)); }
    uint16_t Weight() const { return uint16_t(Number(1)); }
    int16_t Escapement() const { return Number(2); }
    int16_t Orientation() const { return Number(3); }
    void SetWidth(uint16_t w);
    void SetWeight(uint16_t w);
    // A magnitude of 3600 or more is first reduced to the remainder of its
    // division by 3600 (keeping its sign). Orientation follows escapement
    // while it equals it, until it is set on its own.
    void SetEscapement(int32_t e);
    void SetOrientation(int32_t o);

private:
    int16_t Number(int i) const;
    void SetNumber(int i, int16_t v);
};
