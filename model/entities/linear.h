// Linear entities: vertices, lines, points, solids, 3-D faces, polylines and
// light-weight polylines. Each finishes itself in Loaded into the point lists
// the drawing side hands to the canvas: bulges become 16 chords, widths filled
// quadrilaterals, thickness a two-row mesh, object coordinates world
// coordinates, and a dashed line type its dash pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/entity.h"
#include "model/limits.h"


class TkrDXFVertex : public TkrDXFCustomVertex {
public:
    TkrDXFVertex() : TkrDXFCustomVertex(TEntityClass::Vertex) {}
    float Bulge = 0;
    float EndWidth = 0;
    int32_t Flags = 0;
    float StartWidth = 0;
    int32_t FaceIndex[4] = {};
    void ReadProperty(TkrDXFConverter& conv) override;
};

// One vertex of a polyline's vertex list, held by value so that the list is
// contiguous (vertices made by the program cost no allocation of their own).
struct TPolyVertex {
    TPoint3F Point{};
    float Bulge = 0;
    float StartWidth = 0;
    float EndWidth = 0;
    int32_t Flags = 0;  // exactly 128: a polyface face record
    int32_t FaceIndex[4] = {};
    bool Visible = true;
};

class TkrDXFLine : public TkrDXFPenLine {
public:
    explicit TkrDXFLine(TEntityClass cls = TEntityClass::Line) : TkrDXFPenLine(cls) {}
    // What is drawn: [Point, Point2] for a continuous line type, else the
    // dash pairs.
    std::vector<TPoint3F> Points;
    TPoint3F Point2{};
    bool Clipped = false;

    TBox3F GetBox() const override;
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;
    // With strict clipping, a line that overlaps the clip rectangle only in
    // part is in view when it crosses the rectangle; Iterate then cuts it to
    // the rectangle (in canvas coordinates) for the time of the visit.
    bool InView(TkrDXFConverter& conv) const override;
    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;
    void EnumCorners(bool allCorners, void (*pointProc)(void* receiver, const TPoint3F& p),
                     void* receiver) const override;
};

class TkrDXFPoint : public TkrDXFLine {
public:
    TkrDXFPoint() : TkrDXFLine(TEntityClass::Point) {}
    void Loaded(TkrDXFConverter& conv) override;
    void EnumCorners(bool allCorners, void (*pointProc)(void* receiver, const TPoint3F& p),
                     void* receiver) const override;
};

class TkrDXFSolid : public TkrDXFLine {
public:
    explicit TkrDXFSolid(TEntityClass cls = TEntityClass::Solid) : TkrDXFLine(cls) {}
    TPoint3F Point3{};
    TPoint3F Point4{};
    TBox3F GetBox() const override;
    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;
    void EnumCorners(bool allCorners, void (*pointProc)(void* receiver, const TPoint3F& p),
                     void* receiver) const override;
};

class TkrDXF3dFace : public TkrDXFSolid {
public:
    TkrDXF3dFace() : TkrDXFSolid(TEntityClass::Face3d) {}
    int32_t EdgeFlags = 0;  // invisible edges: 1, 2, 4, 8
    void ReadProperty(TkrDXFConverter& conv) override;
};

// The pen of a polyline, held inside the polyline object (no allocation of
// its own) and used through -> and * like the pointer it once was.
class TPolylinePen {
public:
    TkrDXFPenLine* operator->() { return &FPen; }
    const TkrDXFPenLine* operator->() const { return &FPen; }
    TkrDXFPenLine& operator*() { return FPen; }
    const TkrDXFPenLine& operator*() const { return FPen; }
    TkrDXFPenLine* get() { return &FPen; }
    const TkrDXFPenLine* get() const { return &FPen; }

private:
    TkrDXFPenLine FPen;
};

// POLYLINE (2-D and 3-D polylines, polygon and polyface meshes) and, through
// its subclasses, LWPOLYLINE, circles, arcs, ellipses and splines.
//
// The VERTEX children read from the file are copied into SourceVertices when
// they are added; the vertex entities themselves are released when the
// polyline is finished (Entities is then empty), since everything is held in
// the contiguous lists below.
class TkrDXFPolyline : public TkrDXFGroup {
public:
    explicit TkrDXFPolyline(TEntityClass cls = TEntityClass::Polyline);
    ~TkrDXFPolyline() override;

    // Filled quadrilaterals of segments with start/end widths, four points each.
    std::vector<TPoint3F> Outline;
    // What is drawn: the vertex points (plus the first again when closed) for
    // a continuous line type, else the dash pairs.
    std::vector<TPoint3F> Points;
    // Pen colour, extrusion, line type, elevation point, thickness and line
    // weight: every group the polyline does not handle itself goes here.
    TPolylinePen PenLine;
    // Four indices per face record of a polyface mesh.
    std::vector<int32_t> FaceIndices;
    // The vertex points used as input of the dashing; empty when the line
    // type is continuous (then Points is that list, see GetVertexPoints).
    std::vector<TPoint3F> VertexPoints;

    // The vertices as read (POLYLINE's VERTEX children, LWPOLYLINE's vertices,
    // a spline's control or fit polygon).
    std::vector<TPolyVertex> SourceVertices;

    float DefaultEndWidth = 0;
    float DefaultStartWidth = 0;
    float ConstantWidth = 0;
    int32_t PolyFlags = 0;
    int32_t MeshM = 0, MeshN = 0;
    bool Closed = false;
    bool NonZero = false;

    const std::vector<TPoint3F>& GetVertexPoints() const { return FDashed ? VertexPoints : Points; }
    // One TkrDXFLine or TkrDXFArc per segment (before bulge points were
    // inserted). Built on first use, since nothing needs them while a drawing
    // is converted; emptied whenever Loaded runs again.
    const std::vector<std::unique_ptr<TkrDXFEntity>>& SegmentEntities();
    // Number of finished vertices (bulge points inserted, thickness copies
    // appended). Their points, face records left out, are GetVertexPoints()
    // in order (world coordinates); the working list itself is not kept.
    int VertexCount() const { return int(FVertexCount); }
    // Vertex count minus the closing flag equals M x N with M, N > 1 (computed
    // in 64 bits, so that no M x N wraps around).
    bool IsPolygonMesh() const;
    bool IsPolyfaceMesh() const { return PolyFlags == 64 && MeshM > 1 && MeshN > 0; }

    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;
    void EnumCorners(bool allCorners, void (*pointProc)(void* receiver, const TPoint3F& p),
                     void* receiver) const override;
    void SetColor(TColorValue c) override { PenLine->SetColor(c); }
    void SetLineType(TkrDXFEntity* entry) override { PenLine->SetLineType(entry); }
    void SetLineWeight(int w) override { PenLine->SetLineWeight(w); }
    TColorValue EntityColor() const override { return PenLine->Color; }

protected:
    // The vertex list before finishing: the source vertices for polylines;
    // the curve classes compute it.
    virtual void BaseVertices(TkrDXFConverter& conv, std::vector<TPolyVertex>& out);
    // Whether dashing runs as one continuous run (curves) or per segment.
    virtual bool DashAsCurve() const { return false; }
    // The finishing step shared by every polyline and curve: widths, bulges,
    // thickness, layer, extrusion, box and point lists, on the working
    // vertex list verts. makePoints false leaves Points empty (a spline
    // replaces them anyway).
    void Finish(TkrDXFConverter& conv, std::vector<TPolyVertex>& verts, bool makePoints = true);
    // Fills Points (and VertexPoints when dashed) from the given run; a
    // continuous closed run gets its first point again when closeRun is set.
    void MakePointLists(TkrDXFConverter& conv, std::vector<TPoint3F>&& run, bool closeRun = true);

private:
    bool FDashed = false;
    bool FSegmentsBuilt = false;
    bool FClipStrictAtLoad = false;
    bool FMeshFromThickness = false;
    uint32_t FLastVertexEnd = kNoPos;
    size_t FVertexCount = 0;
    // Made on the first SegmentEntities call only.
    std::unique_ptr<std::vector<std::unique_ptr<TkrDXFEntity>>> FSegmentEntities;
};

class TkrDXFLWPolyline : public TkrDXFPolyline {
public:
    explicit TkrDXFLWPolyline(TEntityClass cls = TEntityClass::LWPolyline) : TkrDXFPolyline(cls) {}
    float Elevation = 0;
    void ReadProperty(TkrDXFConverter& conv) override;
};

// The global line type scale times an entity's own; a scale that is not a
// positive finite number counts as 1 (lengths are divided by it).
double EffectiveLineTypeScale(TkrDXFConverter& conv, double entityScale);

// Cuts one segment into the dash pairs of a pattern (not continuous), or
// gives the two end points as one solid pair when the pattern cannot cut it
// within maxPoints points or the geometry is not finite. True when the point
// bound made it solid.
bool DashLine(const TkrLines& pattern, double scale, const TPoint3F& s, const TPoint3F& e,
              std::vector<TPoint3F>& out, size_t maxPoints = kMaxEntityPoints);
// Cuts a run of points (one pattern along the whole run when asCurve, else per
// segment). run may be changed (closing point, removed duplicates). Falls back
// to solid segment pairs as DashLine does, and is true when DashLine would be.
bool DashRun(const TkrLines& pattern, double scale, std::vector<TPoint3F>& run, bool closed, bool asCurve,
             std::vector<TPoint3F>& out, size_t maxPoints = kMaxEntityPoints);

// Total number of points in the finished point lists of an entity (Points of
// lines and polylines, curves included); 0 for entities without point lists.
size_t PointCount(const TkrDXFEntity& e);
