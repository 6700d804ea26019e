#include "render/draw_annotation.h"

#include "model/entities/annotation.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"

void DrawLeader(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& l = static_cast<TkrDXFLeader&>(e);
    if (l.SplinePath) DrawSplineOf(g, l);
    else DrawPolylineOf(g, l);
    l.Arrow->Expanding = l.Arrow->Block != nullptr;
}

void DrawImage(TkrDXFImage&, TkrDXFEntity& e) { static_cast<TkrDXFImageEnt&>(e).LookUpPicture(); }

void DrawViewport(TkrDXFImage&, TkrDXFEntity&) {}
