// WIPEOUT (a mask: an area that hides what lies below it on screen) and the
// WIPEOUTVARIABLES object that holds the drawing's frame setting. A vector
// output cannot cover anything, so a wipeout is drawn as the outline of its
// clip boundary when the drawing shows wipeout frames (group 70 of
// WIPEOUTVARIABLES not 0, as CAD programs show it; a drawing without the
// object shows them, the programs' own default) and as nothing when frames
// are off. Its box counts for the extents either way.
//
// The boundary (groups 14/24) is in pixel coordinates of the wipeout's
// image: (-0.5, -0.5) is the image's top-left corner, x runs along the u
// vector (11/21/31) and y against the v vector (12/22/32), both vectors one
// pixel long, from the insertion point (10/20/30, the bottom-left corner);
// the image is 13/23 pixels large. Two points are a rectangle's corners.
#pragma once

#include <vector>

#include "model/entities/compound.h"
#include "model/objects.h"

class TkrDXFWipeoutVariables : public TkrDXFIndexedObject {
public:
    TkrDXFWipeoutVariables() : TkrDXFIndexedObject(TEntityClass::WipeoutVars) {}
    int32_t Frame = 0;  // group 70
    void ReadProperty(TkrDXFConverter& conv) override;
    // The first of the drawing sets its frame setting.
    void Loaded(TkrDXFConverter& conv) override;
};

class TkrDXFWipeout : public TkrDXFCompound {
public:
    TkrDXFWipeout() : TkrDXFCompound(TEntityClass::Wipeout) {}

    TPoint3F Insertion{};        // groups 10/20/30
    TPoint3F U{1, 0, 0};         // groups 11/21/31
    TPoint3F V{0, 1, 0};         // groups 12/22/32
    double Width = 1, Height = 1;  // groups 13/23
    std::vector<TPoint3F> Boundary;  // groups 14/24, pixel coordinates

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    void ObjectsLoaded(TkrDXFConverter& conv) override;
};
