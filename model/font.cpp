#include "model/font.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "platform/font_metrics.h"

namespace {
constexpr size_t kNumbersAt = 23;  // the four numbers fill bytes 23..30

void FillBase(const TmvFont& f, LOGFONTW& lf, bool condensed) {
    lf = LOGFONTW{};
    lf.lfHeight = f.Height;
    if (condensed) {
        // The face's natural width from its advance-width table: the average
        // character width against the cell height, both in design units.
        const TFontWidthTable& t = TFontTableMeasure::TableForFace(f.Name());
        lf.lfWidth = TmvFont::CondensedWidth(f.Height, t.AvgCharWidth, t.WinAscent + t.WinDescent);
    }
    lf.lfEscapement = f.Has(fmUpward) ? 900 : f.Has(fmDownward) ? 2700 : 0;
    lf.lfOrientation = lf.lfEscapement;
    lf.lfWeight = f.Has(fmBold) ? 700 : 400;
    lf.lfItalic = f.Has(fmItalic);
    lf.lfUnderline = f.Has(fmUnderline);
    lf.lfStrikeOut = f.Has(fmStrikeOut);
    lf.lfCharSet = f.Charset;
    lf.lfOutPrecision = lf.lfClipPrecision = lf.lfQuality = 0;
    lf.lfPitchAndFamily = f.Pitch == TFontPitch::fpVariable ? 2 : f.Pitch == TFontPitch::fpFixed ? 1 : 0;
    std::u16string face = Cp1252ToUtf16(f.Name());
    std::copy_n(face.begin(), std::min<size_t>(face.size(), 31), lf.lfFaceName);
}
}  // namespace

// ---- TmvFont ----

int32_t TmvFont::CondensedWidth(int32_t height, int64_t sumW, int64_t sumH) {
    if (sumH == 0) return 0;
    int64_t h = height < 0 ? -int64_t(height) : int64_t(height);
    return int32_t((h * sumW * 2 + (3 * sumH) / 2) / (3 * sumH));
}

void TmvFont::SetStyle(TmvFontStyles s) {
    const TmvFontStyles up = FontStyle(fmUpward), down = FontStyle(fmDownward);
    if ((s & up) && (s & down)) {
        if (FStyle & up) s &= TmvFontStyles(~up);
        else if (FStyle & down) s &= TmvFontStyles(~down);
        else s &= TmvFontStyles(~(up | down));
    }
    FStyle = s;
}

std::string_view TmvFont::Name() const {
    const char* p = FName.data();
    return std::string_view(p, size_t(std::find(FName.begin(), FName.end(), '\0') - FName.begin()));
}

void TmvFont::SetName(std::string_view name) { WriteName(name, FName.size()); }

void TmvFont::WriteName(std::string_view name, size_t maxLength) {
    FName.fill('\0');
    std::memcpy(FName.data(), name.data(), std::min(name.size(), maxLength));
}

void TmvFont::FillLogFont(LOGFONTW& lf) const { FillBase(*this, lf, Has(fmCondensed)); }

LOGFONTW TmvFont::Handle() const {
    LOGFONTW lf;
    FillLogFont(lf);
    return lf;
}

TFont TmvFont::CanvasFont() const {
    LOGFONTW lf = Handle();
    TFont f;
    std::u16string_view face(lf.lfFaceName, std::find(lf.lfFaceName, lf.lfFaceName + 32, u'\0') - lf.lfFaceName);
    f.Name = Utf16ToCp1252(face);
    f.Height = lf.lfHeight;
    f.Width = lf.lfWidth;
    f.Color = TColor(Color);
    f.CharSet = lf.lfCharSet;
    f.Escapement = lf.lfEscapement;
    f.PixelsPerInch = PixelsPerInch;
    // The sink's font knows a weight only as bold or not.
    f.Bold = lf.lfWeight >= 700;
    f.Italic = lf.lfItalic != 0;
    f.Underline = lf.lfUnderline != 0;
    f.StrikeOut = lf.lfStrikeOut != 0;
    return f;
}

// ---- TmvExtFont ----

int16_t TmvExtFont::Number(int i) const {
    const size_t at = kNumbersAt + 2 * size_t(i);
    return int16_t(uint16_t(uint8_t(FName[at])) | uint16_t(uint8_t(FName[at + 1]) << 8));
}

void TmvExtFont::SetNumber(int i, int16_t v) {
    const size_t at = kNumbersAt + 2 * size_t(i);
    FName[at] = char(uint16_t(v) & 0xFF);
    FName[at + 1] = char(uint16_t(v) >> 8);
}

void TmvExtFont::SetWidth(uint16_t w) {
    if (w != Width()) SetNumber(0, int16_t(w));
}

void TmvExtFont::SetWeight(uint16_t w) {
    if (w != Weight()) SetNumber(1, int16_t(w));
}

namespace {
int16_t ReduceAngle(int32_t a) { return int16_t(a >= 3600 || a <= -3600 ? a % 3600 : a); }
}  // namespace

void TmvExtFont::SetEscapement(int32_t e) {
    int16_t v = ReduceAngle(e);
    if (v == Escapement()) return;
    if (Orientation() == Escapement()) SetNumber(3, v);
    SetNumber(2, v);
}

void TmvExtFont::SetOrientation(int32_t o) {
    int16_t v = ReduceAngle(o);
    if (v != Orientation()) SetNumber(3, v);
}

void TmvExtFont::FillLogFont(LOGFONTW& lf) const {
    FillBase(*this, lf, Width() == 0 && Has(fmCondensed));
    if (Width() != 0) lf.lfWidth = Width();
    if (Weight() != 0) lf.lfWeight = Weight();
    if (Escapement() != 0) lf.lfEscapement = Escapement();
    if (Orientation() != 0) lf.lfOrientation = Orientation();
    if (lf.lfEscapement < 0) lf.lfEscapement += 3600;
    if (lf.lfOrientation < 0) lf.lfOrientation += 3600;
}
