// The one-point pen entity base shared by lines, solids, hatches and the pen
// of every polyline.
#include <cmath>

#include "model/converter.h"
#include "model/entity.h"

void TkrDXFPenLine::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenEntity::ReadProperty(conv);
    switch (conv.Code) {
        case 6: Pattern = conv.LineTypePattern(conv.Value); break;
        case 10: Point.X = float(conv.ValueAsFloat()); break;
        case 20: Point.Y = float(conv.ValueAsFloat()); break;
        case 30: Point.Z = float(conv.ValueAsFloat()); break;
        case 39: Thickness = float(conv.ValueAsFloat()); break;
        case 210: Extrusion.X = float(conv.ValueAsFloat()); break;
        case 220: Extrusion.Y = float(conv.ValueAsFloat()); break;
        case 230: Extrusion.Z = float(conv.ValueAsFloat()); break;
        case 370: LineWeight = float(conv.ValueAsInt()) / 100.0f; break;
        default: break;
    }
}

void TkrDXFPenLine::Loaded(TkrDXFConverter&) {
    if (!IsDefaultExtrusion(Extrusion)) Point = OCSToWCS(Point, Extrusion);
}

void TkrDXFPenLine::SetLineType(TkrDXFEntity* entry) {
    if (!entry) Pattern = DefaultPattern();
    else if (entry->Is(TEntityClass::LineType)) Pattern = &static_cast<TkrDXFLineType*>(entry)->Pattern;
}

void TkrDXFPenLine::SetLineWeight(int w) {
    if (LineWeight == 0) LineWeight = float(w) / 100.0f;
}

void TkrDXFPenLine::WidenByLineWeight(TBox3F& box) const {
    if (!(LineWeight > 0)) return;
    double h = double(LineWeight) / 2;
    box.Left = float(box.Left - h);
    box.Bottom = float(box.Bottom - h);
    box.Top = float(box.Top + h);
    box.Right = float(box.Right + h);
}

void TkrDXFPenLine::PreparePattern() {
    if (!Pattern && Layer) Pattern = Layer->Pattern;
    if (!Pattern) Pattern = DefaultPattern();
    // A pattern of zeros only draws as a continuous line. The pattern is shared
    // by every entity of its line type and is not changed here: the entity
    // takes the continuous pattern instead, which draws the same.
    if (!Pattern->IsSolid()) {
        bool allZero = true;
        for (float t : Pattern->FTicks)
            if (!(t == 0 && !std::signbit(t))) {
                allZero = false;
                break;
            }
        if (allZero) Pattern = DefaultPattern();
    }
}
