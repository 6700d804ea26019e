// MLINE (a multiline: parallel lines along a path, walls in a plan) and the
// MLINESTYLE object it takes its elements' colours and line types, its caps
// and its fill from.
//
// The multiline's own data holds the geometry: per vertex its location
// (11), the direction of the segment that starts there (12) and the miter
// direction (13), and per element the parameters (74 counts, 41 values)
// whose first is the distance along the miter from the vertex to the
// element. An element without parameters is placed at the style's offset,
// shifted by the justification (70: 0 top, 1 zero, 2 bottom) and scaled by
// group 40. Every element is drawn as a polyline through its points (its
// breaks, the further parameters, are not drawn); the style adds the caps
// at the ends (lines, outer and inner arcs; groups 71 4 and 8 suppress
// them), the miter lines at the vertices and the fill between the outer
// elements.
//
// The style is an object of the OBJECTS section, read after the entities:
// a multiline is finished with the defaults when it is read (so that the
// boxes of blocks of paper layouts see it) and again with its style once
// the file is read. Its box is that of everything it draws.
#pragma once

#include <string>
#include <vector>

#include "model/entities/compound.h"
#include "model/objects.h"

class TkrDXFMLineStyle : public TkrDXFIndexedObject {
public:
    TkrDXFMLineStyle() : TkrDXFIndexedObject(TEntityClass::MLineStyle) {}

    struct TElement {
        double Offset = 0;                // group 49
        TColorValue Color = clFromBlock;  // group 62 after 49
        std::string LineType = "BYLAYER";  // group 6
    };
    // Flags (group 70): 1 fill, 2 miters, 16/256 square caps at the start/end,
    // 32/512 inner arcs, 64/1024 outer arcs.
    enum : int32_t { msFill = 1, msMiters = 2, msStartSquare = 16, msStartInner = 32, msStartRound = 64,
                     msEndSquare = 256, msEndInner = 512, msEndRound = 1024 };

    std::string Name;                     // group 2
    int32_t Flags = 0;                    // group 70
    TColorValue FillColor = clFromLayer;  // group 62 before the elements
    double StartAngle = 90, EndAngle = 90;  // groups 51, 52 (degrees)
    std::vector<TElement> Elements;

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};

class TkrDXFMLine : public TkrDXFCompound {
public:
    TkrDXFMLine() : TkrDXFCompound(TEntityClass::MLine) {}

    enum : int32_t { mlClosed = 2, mlNoStartCaps = 4, mlNoEndCaps = 8 };

    std::string StyleName;    // group 2
    uint32_t StyleHandle = 0;  // group 340
    double Scale = 1;          // group 40
    int32_t Justification = 0;  // group 70
    int32_t Flags = 0;          // group 71
    int32_t ElementCount = 0;   // group 73
    // Per vertex: location, segment direction and miter direction; the first
    // parameter of each of its elements (NaN: none) from ParamStart[v] on.
    std::vector<TPoint3F> Locations, Directions, Miters;
    std::vector<float> Params;
    std::vector<uint32_t> ParamStart;

    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    void ObjectsLoaded(TkrDXFConverter& conv) override;

private:
    // Makes the parts with style (none: the defaults); warns of the bounds
    // met only when final.
    void Build(TkrDXFConverter& conv, const TkrDXFMLineStyle* style, bool final);
    int32_t FParamsLeft = 0;
    int32_t FParamIndex = 0;
};
