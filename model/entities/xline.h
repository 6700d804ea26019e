// XLINE (a construction line, infinite both ways) and RAY (infinite from its
// point): drawn clipped at the target rectangle of the layout, which is what
// a plot of the layout shows. Neither has a box: they do not count for the
// extents, and a viewport cuts them at its frame as it cuts every line.
#pragma once

#include "model/entity.h"

class TkrDXFXLine : public TkrDXFPenLine {
public:
    TkrDXFXLine() : TkrDXFPenLine(TEntityClass::XLine) {}

    TPoint3F Direction{1, 0, 0};  // groups 11/21/31
    bool Ray = false;             // a RAY: from Point in Direction only

    // No extents; always in view (the sink cuts what it draws at a frame).
    TBox3F GetBox() const override { return EmptyBox; }
    bool InView(TkrDXFConverter&) const override { return true; }
    void ReadProperty(TkrDXFConverter& conv) override;
    // The points are world coordinates: no extrusion is applied. A zero or
    // not finite direction leaves nothing to draw.
    void Loaded(TkrDXFConverter& conv) override;
    bool Drawable() const { return FDrawable; }

private:
    bool FDrawable = false;
};
