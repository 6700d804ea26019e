// Drawing of single-line texts, attribute definitions and attributes (the
// runs of multi-line texts are single-line texts too). A text reaches the
// sink as one TextOut with a font sized and turned for the target (or, when
// texts are drawn as lines, as its strokes); a text too small to draw
// becomes its box.
#include <algorithm>
#include <cmath>
#include <string>

#include "model/converter.h"
#include "model/entities/text.h"
#include "model/parsing.h"
#include "platform/codepage.h"
#include "platform/plane.h"
#include "platform/scoped.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"

namespace {

// A font size in target units: |round(v)|, held to a size a canvas can take.
int32_t FontSize(double v) {
    v = std::fabs(std::nearbyint(v));
    return v > 1e9 ? 1000000000 : int32_t(v);
}

// Draws a multi-line text (a converted single-line text) in a given context.
// The graphic's context is the one drawing maps with, so it takes the given
// context for the time of the walk.
void DrawConvertedIn(TkrDXFImage& g, TkrDXFMText& m, const TDrawContext& ctx) {
    TScopedRestore<TDrawContext> restore(g.DrawContext, ctx);
    m.PaperSpace = g.Converter->CurrentSpace;
    m.Iterate(*g.Converter, EntityCallback, &g);
}

// The insert's attribute of the definition's tag (compared exactly), if any.
const TkrDXFAttrib* AttributeOf(const TkrDXFInsert* ins, const std::string& tag) {
    if (!ins) return nullptr;
    for (const auto& a : ins->Attribs)
        if (a->Tag == tag) return a.get();
    return nullptr;
}

}  // namespace

int32_t TextFontHeight(double h, double sy) {
    const double v = std::fabs(h) * 1.6 * sy;
    if (!(std::fabs(v) <= 2147483647.0)) return 0;
    return std::max(FontSize(v), int32_t(1));
}

void DrawText(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& t = static_cast<TkrDXFText&>(e);
    if (t.WidthFactor == 0) return;
    TPDFCanvas& sink = *g.Sink;
    // What is drawn, and the context its geometry lies in. The string is the
    // model's own until it has to change (the widening of spaces below).
    const TkrDXFText* src = &t;
    const std::string* shown = &t.Text;
    TDrawContext* place = &g.DrawContext;
    if (t.Class == TEntityClass::Attdef) {
        // An attribute definition is drawn as its insert's attribute of the
        // same tag, else as its tag (a constant definition as its value, an
        // invisible one not at all). The attribute lies in the coordinates of
        // the insert's container, so it is drawn in that context: placed,
        // sized and turned there (not scaled and turned by the insert again).
        const auto& def = static_cast<const TkrDXFAttdef&>(t);
        TkrDXFInsert* ins = g.DrawContext.Insert;
        if (const TkrDXFAttrib* a = AttributeOf(ins, def.Tag); a && ins->SavedContext) {
            if (a->Converted) {
                DrawConvertedIn(g, *a->Converted, *ins->SavedContext);
                return;
            }
            src = a;
            shown = &a->Text;
            place = ins->SavedContext;
        } else if (def.Invisible()) {
            return;
        } else if (def.Converted) {
            DrawConvertedIn(g, *def.Converted, g.DrawContext);
            return;
        } else {
            shown = &def.ShownString();
        }
    }
    const float f = src->WidthFactor;
    if (f == 0 || !std::isfinite(f)) return;
    if (TrimBlanks(*shown).empty()) return;
    // A text costs about as much as a few segments, and more with its length.
    g.WorkDone += g.WorkPerPoint * (kDrawWorkPerText + DrawnTextLength(*shown) / 16);

    CacheScaleAndAngle(*place);
    if (place->ScaleX == 0) return;
    const double h = std::fabs(double(src->Height)), sy = place->ScaleY;
    // A text whose height maps outside the 32-bit range of the target (the
    // text's box may still: an attribute drawn in its insert's container) is
    // left out, not drawn at a height the target cannot hold.
    const int32_t height = TextFontHeight(h, sy);
    if (height == 0) {
        ++g.Converter->Bounds.OutOfRange;
        return;
    }
    // The text form keeps segments only: a text drawn as a string (not in
    // strokes) leaves nothing there, and the sink's font is read only by the
    // DXF form. Only a text too small to draw (drawn as its box) goes on.
    if (height >= 2 && sink.TextMode && !g.Lettering) return;

    // The font is sized and turned on a copy, so that drawing leaves the model
    // as it is.
    std::string s = *shown;
    TmvExtFont font = src->Font;
    font.PixelsPerInch = 72;
    font.Charset = s.find_first_of("\x88\xB1\xB0") != std::string::npos ? 1 : g.CharSet;
    font.Height = height;
    if (!src->TrueType) font.SetWidth(uint16_t(std::min(FontSize(h * 0.64 * f * sy), int32_t(65535))));
    // Escapement in tenths of a degree against the context's rotation.
    double turn = std::fmod(double(src->Rotation) - place->Rotation, 360.0);
    font.SetEscapement(std::isfinite(turn) ? int32_t(std::lround(turn * 10)) : 0);
    // The sink draws the face Arial in its own colour.
    const TColor colour = sink.Font.Color;
    sink.Font = font.CanvasFont();
    sink.Font.Name = "Arial";
    sink.Font.Color = colour;

    // Widening of spaces: at the first run of k >= 2 spaces, 2 x (k - 2) more.
    size_t inserted = 0;
    if (size_t p = s.find("  "); p != std::string::npos) {
        size_t k = s.find_first_not_of(' ', p);
        k = (k == std::string::npos ? s.size() : k) - p;
        inserted = 2 * (k - 2);
        s.insert(p, inserted, ' ');
    }
    const TPoint3F start = TransformPoint(src->StartPoint, place->Matrix);
    if (sink.Font.Height >= 2) {
        if (g.Lettering && DrawTextStrokes(g, *src, s, inserted, *place)) return;
        sink.TextOut(RoundInt(start.X), RoundInt(start.Y), s);
        return;
    }
    const TBox3F& box = src->Box;
    if (IsEmptyBox(box)) return;
    TPoint p1 = TkrDXFImage::MapWith(place->Matrix, {box.Left, box.Top, box.Z1});
    TPoint p2 = TkrDXFImage::MapWith(place->Matrix, {box.Right, box.Bottom, box.Z2});
    if (font.Escapement() == 0) {
        sink.Rectangle(p1.X == INT32_MAX ? p1.X : p1.X + 1, p1.Y, p2.X == INT32_MIN ? p2.X : p2.X - 1, p2.Y);
        return;
    }
    // A turned text too small to draw is one segment from its start point to
    // the far corner of its box (the corner whose x and y each lie farther
    // from the start, p2 on a tie): like the rectangle of an upright one, it
    // shows where the text stands and how far it reaches.
    TPoint S{RoundInt(start.X), RoundInt(start.Y)};
    TPoint F{std::llabs(int64_t(p1.X) - S.X) > std::llabs(int64_t(p2.X) - S.X) ? p1.X : p2.X,
             std::llabs(int64_t(p1.Y) - S.Y) > std::llabs(int64_t(p2.Y) - S.Y) ? p1.Y : p2.Y};
    sink.MoveTo(S.X, S.Y);
    sink.LineTo(F.X, F.Y);
}
