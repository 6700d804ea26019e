#include "render/draw_annotation.h"

#include "model/entities/compound.h"
#include "model/entities/image.h"
#include "model/entities/leader.h"
#include "model/entities/viewport.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"

void DrawLeader(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& l = static_cast<TkrDXFLeader&>(e);
    if (l.SplinePath) DrawSplineOf(g, l);
    else DrawPolylineOf(g, l);
    l.Arrow->Expanding = l.Arrow->Block != nullptr;
}

void DrawCompound(TkrDXFImage&, TkrDXFEntity& e) {
    auto& c = static_cast<TkrDXFCompound&>(e);
    c.Expanding = c.ShowParts;
}

void DrawImage(TkrDXFImage&, TkrDXFEntity& e) { static_cast<TkrDXFImageEnt&>(e).LookUpPicture(); }

// A viewport draws nothing itself; it marks its content (the model space
// through its view) to be walked, as an insert marks its block. The walk
// goes through every entity of the section, those of paper space too, and
// is paid for as such: many viewports over many paper-space entities reach
// the drawing's work bound instead of costing their product unbounded.
void DrawViewport(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& v = static_cast<TkrDXFViewport&>(e);
    if (v.ViewportVisible() && g.TakeWork(v.ContentWalk)) v.Expanding = true;
}
