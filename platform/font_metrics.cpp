#include "platform/font_metrics.h"

#include <cmath>
#include <cstdlib>

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A logical height of 0 asks for the default font size; the default taken
// here is a cell height of 16 units (12 points at 96 pixels per inch).
constexpr int kDefaultCellHeight = 16;

}  // namespace

const TFontWidthTable& TFontTableMeasure::TableForFace(std::string_view faceName) {
    using namespace dxf_platform_fonts;
    for (auto serif : {"Times New Roman", "Times", "Liberation Serif"})
        if (SameIgnoringCase(faceName, serif)) return LiberationSerif;
    for (auto mono : {"Courier New", "Courier", "Liberation Mono"})
        if (SameIgnoringCase(faceName, mono)) return LiberationMono;
    return LiberationSans;
}

double TFontTableMeasure::EmHeight(const TFontWidthTable& table, int height) {
    if (height < 0) return -static_cast<double>(height);
    double cell = height == 0 ? kDefaultCellHeight : height;
    return cell * table.UnitsPerEm / (table.WinAscent + table.WinDescent);
}

namespace {
// Units per design unit: from the em height, or, for a given average
// character width, stretched so that the average character is |width| wide.
double XScale(const TFontWidthTable& table, int height, int width) {
    if (width != 0) return std::abs(static_cast<double>(width)) / table.AvgCharWidth;
    return TFontTableMeasure::EmHeight(table, height) / table.UnitsPerEm;
}

// A glyph advance rounded to whole units, as a device context does (advances
// are never negative: halves round up).
long long Advance(const TFontWidthTable& table, char c, double xscale) {
    return static_cast<long long>(std::floor(table.Advance[static_cast<unsigned char>(c)] * xscale + 0.5));
}
}  // namespace

int TFontTableMeasure::TextWidth(std::string_view text, std::string_view faceName, int height,
                                 int width) const {
    const TFontWidthTable& table = TableForFace(faceName);
    const double xscale = XScale(table, height, width);
    long long sum = 0;
    for (char c : text) sum += Advance(table, c, xscale);
    return static_cast<int>(sum > 0x7FFFFFFF ? 0x7FFFFFFF : sum);
}

int TFontTableMeasure::CellHeight(std::string_view faceName, int height) const {
    if (height > 0) return height;
    const TFontWidthTable& table = TableForFace(faceName);
    if (height == 0) return kDefaultCellHeight;
    return static_cast<int>(std::llround(-static_cast<double>(height) * (table.WinAscent + table.WinDescent) /
                                         table.UnitsPerEm));
}
