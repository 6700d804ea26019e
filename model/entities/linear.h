// Linear entities: vertices, lines, points, solids, 3-D faces, polylines and
// light-weight polylines.
#pragma once

#include "model/entity.h"

class TkrDXFVertex : public TkrDXFCustomVertex {
public:
    TkrDXFVertex() : TkrDXFCustomVertex(TEntityClass::Vertex) {}
};

class TkrDXFLine : public TkrDXFPenLine {
public:
    explicit TkrDXFLine(TEntityClass cls = TEntityClass::Line) : TkrDXFPenLine(cls) {}
};

class TkrDXFPoint : public TkrDXFLine {
public:
    TkrDXFPoint() : TkrDXFLine(TEntityClass::Point) {}
};

class TkrDXFSolid : public TkrDXFLine {
public:
    explicit TkrDXFSolid(TEntityClass cls = TEntityClass::Solid) : TkrDXFLine(cls) {}
};

class TkrDXF3dFace : public TkrDXFSolid {
public:
    TkrDXF3dFace() : TkrDXFSolid(TEntityClass::Face3d) {}
};

class TkrDXFPolyline : public TkrDXFGroup {
public:
    explicit TkrDXFPolyline(TEntityClass cls = TEntityClass::Polyline) : TkrDXFGroup(cls) {}
};

class TkrDXFLWPolyline : public TkrDXFPolyline {
public:
    explicit TkrDXFLWPolyline(TEntityClass cls = TEntityClass::LWPolyline) : TkrDXFPolyline(cls) {}
};
