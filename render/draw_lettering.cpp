// Texts drawn as lines: every text run that would reach the sink as a
// TextOut is drawn in the single strokes of a stroke font instead, so that
// the text form (which keeps only segments) carries it and the simplified
// DXF form writes it as LINEs.
//
// Placement. A text's start point is the top-left corner of its box (the
// cell of height a = 1.6 x its height at the measuring size), turned by its
// rotation. The glyphs stand on the line 0.8 a below it, which is the
// baseline a baseline-aligned text is placed on, and their capitals are as
// tall as the text's height; the oblique angle slants them. The measured
// width of the string is kept: the glyphs' advances are stretched or
// squeezed together so that the run ends where the text's box ends (where
// the simplified DXF form's text ends), while the glyphs themselves keep
// their shape, widened by the width factor. A bold face is drawn with the
// bold stroke font; an italic one without an oblique angle of its own
// slants by 15 degrees; an underlined one gets its underline.
#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/entities/text.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"
#include "platform/scoped.h"

namespace {

// Where the baseline lies below the start point, in cell heights.
constexpr double kBaselineDepth = 0.8;
// The slant of an italic face that has no oblique angle of its own.
constexpr double kItalicSlant = 15;
// The underline: this many text heights below the baseline.
constexpr double kUnderlineDepth = 0.15;


}  // namespace

bool DrawTextStrokes(TkrDXFImage& g, const TkrDXFText& t, std::string_view s, size_t insertedSpaces,
                     const TDrawContext& place) {
    const TStrokeFonts& fonts = *g.Lettering;
    const TmvExtFont& face = t.Font;
    TStrokeText& run = g.StrokeText;
    LayOutStrokes(face.Has(fmBold) ? fonts.Bold : fonts.Normal, s, face.Name() == "Symbol", kMaxEntityPoints, run);
    if (run.Truncated) ++g.Converter->Bounds.TextStrokes;

    // The text's frame in drawing units.
    const double h = std::fabs(double(t.Height)), wf = t.WidthFactor;
    const TTextMeasure& measure = *g.Converter->Measure;
    const std::string faceName(face.Name());
    const double a = measure.CellHeight(faceName, TkrDXFText::kMeasureHeight) * h / 100;
    double width = t.Width;
    if (insertedSpaces > 0)
        width += double(insertedSpaces) *
                 measure.TextWidth(" ", faceName, TkrDXFText::kMeasureHeight, t.MeasureCharWidth(t.WidthFactor)) * h /
                 100;
    if (run.Truncated) {
        // Only the characters laid out are drawn, over their share of the width.
        const int cw = t.MeasureCharWidth(t.WidthFactor);
        const double all = measure.TextWidth(s, faceName, TkrDXFText::kMeasureHeight, cw);
        const double part = measure.TextWidth(s.substr(0, run.Chars.size()), faceName, TkrDXFText::kMeasureHeight, cw);
        width = all > 0 ? width * part / all : 0;
    }
    const double shape = h * wf;
    // Advances in drawing units per cap height of advance.
    const double advance = width > 0 && run.Advance > 0 ? width / run.Advance : shape;
    double oblique = t.ObliqueAngle;
    if (oblique == 0 && face.Has(fmItalic)) oblique = kItalicSlant;
    const double slant = std::fabs(oblique) < 85 ? std::tan(oblique * kPi / 180) : 0;
    const double r = double(t.Rotation) * kPi / 180;
    const double ux = std::cos(r), uy = std::sin(r);  // along the baseline
    const double vx = -uy, vy = ux;                    // up
    const double bx = double(t.StartPoint.X) - vx * kBaselineDepth * a;
    const double by = double(t.StartPoint.Y) - vy * kBaselineDepth * a;
    const double bz = t.StartPoint.Z;
    if (!std::isfinite(bx + by + bz + h + wf + advance)) return false;

    // Every point mapped first: a text that would leave the target's 32-bit
    // range is drawn as a text (not in the text form), never squashed at
    // the range's edge.
    const auto& m = place.Matrix.M;
    std::vector<TPoint>& pts = g.StrokePoints;
    pts.clear();
    bool inRange = true;
    auto map = [&](double u, double v) {
        const double x = bx + ux * u + vx * v, y = by + uy * u + vy * v;
        const double tx = std::nearbyint(x * m[0][0] + y * m[1][0] + bz * m[2][0] + m[3][0]);
        const double ty = std::nearbyint(x * m[0][1] + y * m[1][1] + bz * m[2][1] + m[3][1]);
        if (!(std::fabs(tx) < 2147483647.0 && std::fabs(ty) < 2147483647.0)) {
            inRange = false;
            return TPoint{};
        }
        return TPoint{int32_t(tx), int32_t(ty)};
    };
    std::vector<int>& counts = g.PartCounts;
    counts.clear();
    size_t p = 0, path = 0;
    for (const TStrokeText::TPlaced& c : run.Chars) {
        const double centre = c.Centre * advance;
        for (; path < c.PathEnd; ++path) {
            const size_t first = pts.size();
            for (; p < run.PathEnds[path]; ++p) {
                const TStrokeXY q = run.Points[p];
                TPoint t2 = map(centre + q.X * shape + q.Y * h * slant, q.Y * h);
                // Points within one unit of both points before them add
                // nothing to what is drawn (small texts of many points).
                if (pts.size() - first >= 2) {
                    auto near = [&](const TPoint& o) {
                        return std::llabs(int64_t(t2.X) - o.X) <= 1 && std::llabs(int64_t(t2.Y) - o.Y) <= 1;
                    };
                    if (near(pts[pts.size() - 1]) && near(pts[pts.size() - 2])) continue;
                }
                pts.push_back(t2);
            }
            if (pts.size() - first >= 2) counts.push_back(int(pts.size() - first));
            else pts.resize(first);
        }
    }
    if (face.Has(fmUnderline) && width > 0) {
        pts.push_back(map(0, -kUnderlineDepth * h));
        pts.push_back(map(width, -kUnderlineDepth * h));
        counts.push_back(2);
    }
    if (!inRange) return false;
    if (!g.TakeWork(pts.size() * g.WorkPerPoint)) return true;
    TPDFCanvas& sink = *g.Sink;
    TScopedRestore<TPen> restore(sink.Pen);  // put back when the strokes are drawn
    sink.Pen.Width = 0;
    sink.Pen.Style = psSolid;
    sink.Pen.Geometric = false;
    sink.PolyPolyline(pts.data(), counts.data(), int(counts.size()));
    return true;
}
