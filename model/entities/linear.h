// Linear entities: vertices, lines, points, solids, 3-D faces, polylines and
// light-weight polylines. Each finishes itself in Loaded (box, widths, the
// bounds its points reach); the points the drawing side hands to the canvas
// are made when it draws, by the same code: bulges become 16 chords, widths
// filled quadrilaterals, thickness a two-row mesh, object coordinates world
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
// A face record's four indices are kept by the polyline (FaceIndices).
struct TPolyVertex {
    TPoint3F Point{};
    float Bulge = 0;
    float StartWidth = 0;
    float EndWidth = 0;
    bool FaceRecord = false;  // flags exactly 128: a polyface face record
    bool Visible = true;
};

// A polyline's vertices as read, kept compact: most vertices have neither
// widths nor flags, so a vertex holds its point and bulge (16 bytes), and
// the widths and flags of all vertices are kept only once one of them has
// any. Reading a vertex back gives the TPolyVertex that was added.
class TSourceVertices {
public:
    size_t size() const { return FPoints.size(); }
    bool empty() const { return FPoints.empty(); }
    void reserve(size_t n) { FPoints.reserve(n); }
    void push_back(const TPolyVertex& v);
    void assign(const TPolyVertex* first, const TPolyVertex* last);
    TPolyVertex operator[](size_t i) const;
    const TPoint3F& Point(size_t i) const { return FPoints[i].Point; }
    // The last vertex's fields, set one by one as their groups are read.
    void SetLastY(float y) { FPoints.back().Point.Y = y; }
    void SetLastBulge(float b) { FPoints.back().Bulge = b; }
    void SetLastStartWidth(float w);
    void SetLastEndWidth(float w);
    // All vertices, as added, into out.
    void CopyTo(std::vector<TPolyVertex>& out) const;

private:
    struct TPointAndBulge {
        TPoint3F Point;
        float Bulge;
    };
    struct TWidthsAndFlags {
        float StartWidth = 0;
        float EndWidth = 0;
        bool FaceRecord = false;
        bool Visible = true;
    };
    TCompactList<TPointAndBulge> FPoints;
    // One per vertex once any vertex has widths or flags; none before.
    std::unique_ptr<std::vector<TWidthsAndFlags>> FExtras;
    std::vector<TWidthsAndFlags>& Extras();
};

class TkrDXFLine : public TkrDXFPenLine {
public:
    explicit TkrDXFLine(TEntityClass cls = TEntityClass::Line) : TkrDXFPenLine(cls) {}
    // (Clipped first: it takes a byte the pen line leaves over, so that a line
    // is 128 bytes, the most numerous entity of most drawings.)
    bool Clipped = false;
    TPoint3F Point2{};
    // The most dash points this line may cut, fixed when it was finished (the
    // drawing's dash budget as it stood then), so that the dashes made for
    // every drawing are the ones the budget counted.
    uint32_t DashLimit = 0;

    // What is drawn, made into out: [Point, Point2] for a continuous line
    // type, else the dash pairs.
    void MakePoints(std::vector<TPoint3F>& out) const;

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
// its own): the groups of a pen line the polyline does not handle itself, but
// only what is kept of them (handle, layer and space are the polyline's own).
class TPolylinePen {
public:
    TColorValue Color = clFromLayer;
    TPoint3F Extrusion{0, 0, 1};
    const TkrLines* Pattern = nullptr;
    TPoint3F Point{};
    float LineWeight = 0;  // millimetres
    float Thickness = 0;
    float LineTypeScale = 1.0f;  // as read (the polyline keeps its own)
    uint8_t PenStyle = 0;        // 0 (solid) is the only one the reader sets
    bool Visible = true;         // as read (the polyline keeps its own)

    // Reads a group as a pen line does; handle, layer and space go to owner.
    void ReadProperty(TkrDXFConverter& conv, TkrDXFEntity& owner);
    void SetColor(TColorValue c) { Color = c; }
    void SetLineType(TkrDXFEntity* entry);
    void SetLineWeight(int w);
    void WidenByLineWeight(TBox3F& box) const;
    // The pattern of layer (when none was given), normalized.
    void PreparePattern(const TkrDXFLayer* layer);
};

// The working lists the points of a polyline or curve are made in (see
// TkrDXFPolyline::MakePoints). Owned by whoever makes them (each drawing
// graphic has its own), so that nothing is shared between drawings.
struct TPointWork {
    std::vector<TPolyVertex> Vertices;
    std::vector<TPolyVertex> Bulged;
    // The finished vertex points (face records left out), after dashing
    // possibly with the closing point added and duplicates removed.
    std::vector<TPoint3F> Run;
    // What is drawn: the vertex points (plus the first again when closed) for
    // a continuous line type, else the dash pairs.
    std::vector<TPoint3F> Points;
    TAngleTable Angles;
};

// POLYLINE (2-D and 3-D polylines, polygon and polyface meshes) and, through
// its subclasses, LWPOLYLINE, circles, arcs, ellipses and splines.
//
// The VERTEX children read from the file are copied into SourceVertices when
// they are added; the vertex entities themselves are released when the
// polyline is finished (Entities is then empty), since everything is held in
// the contiguous lists below. The finished points are not kept: MakePoints
// makes them again from the vertices whenever they are drawn.
class TkrDXFPolyline : public TkrDXFGroup {
public:
    explicit TkrDXFPolyline(TEntityClass cls = TEntityClass::Polyline);
    ~TkrDXFPolyline() override;

    // Pen colour, extrusion, line type, elevation point, thickness and line
    // weight: every group the polyline does not handle itself goes here.
    TPolylinePen PenLine;

    // The vertices as read (POLYLINE's VERTEX children, LWPOLYLINE's vertices,
    // a spline's control or fit polygon).
    TSourceVertices SourceVertices;

    // Filled quadrilaterals of segments with start/end widths, four points
    // each (a bulged segment one per chord), in world coordinates.
    const std::vector<TPoint3F>& Outline() const;
    // Four indices per face record of a polyface mesh, in vertex order
    // (the face records of raised copies too).
    const std::vector<int32_t>& FaceIndices() const;
    // The default widths as read (groups 40 and 41).
    float DefaultStartWidth() const { return FExtras ? FExtras->DefaultStartWidth : 0; }
    float DefaultEndWidth() const { return FExtras ? FExtras->DefaultEndWidth : 0; }

    float ConstantWidth = 0;
    int32_t PolyFlags = 0;
    // The mesh counts (codes 71 to 74, or a mesh made from the thickness):
    // kept with what few polylines have (see TExtras), 0 where none is set.
    int32_t MeshM() const { return FExtras ? FExtras->MeshM : 0; }
    int32_t MeshN() const { return FExtras ? FExtras->MeshN : 0; }
    void SetMeshM(int32_t m);
    void SetMeshN(int32_t n);
    bool Closed = false;
    bool NonZero = false;

    // Makes what is drawn into work (Points; Run holds the vertex points)
    // with the settings the polyline was finished with; the bounds met were
    // counted when it was finished, and are not counted again. Nothing before
    // the polyline is finished.
    void MakePoints(TPointWork& work) const;
    // The vertex points among what MakePoints made: Points for a continuous
    // line type (the first again at the end when closed), else Run.
    const std::vector<TPoint3F>& GetVertexPoints(const TPointWork& work) const {
        return Dashed() ? work.Run : work.Points;
    }
    bool Dashed() const;
    // One TkrDXFLine or TkrDXFArc per segment (before bulge points were
    // inserted). Built on first use, since nothing needs them while a drawing
    // is converted; emptied whenever Loaded runs again.
    const std::vector<std::unique_ptr<TkrDXFEntity>>& SegmentEntities();
    // Number of finished vertices (bulge points inserted, thickness copies
    // appended). Their points, face records left out, are MakePoints' Run in
    // order (world coordinates).
    int VertexCount() const { return int(FVertexCount); }
    // Vertex count minus the closing flag equals M x N with M, N > 1 (computed
    // in 64 bits, so that no M x N wraps around).
    bool IsPolygonMesh() const;
    bool IsPolyfaceMesh() const { return PolyFlags == 64 && MeshM() > 1 && MeshN() > 0; }

    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;
    void EnumCorners(bool allCorners, void (*pointProc)(void* receiver, const TPoint3F& p),
                     void* receiver) const override;
    void SetColor(TColorValue c) override { PenLine.SetColor(c); }
    void SetLineType(TkrDXFEntity* entry) override { PenLine.SetLineType(entry); }
    void SetLineWeight(int w) override { PenLine.SetLineWeight(w); }
    TColorValue EntityColor() const override { return PenLine.Color; }

protected:
    // The vertex list before finishing: the source vertices for polylines;
    // the curve classes compute it (angles: a cache of the angles walked).
    // bounds counts the bounds met; null when they were counted already.
    virtual void BaseVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& out, TAngleTable& angles,
                              TBoundHits* bounds) const;
    // Whether dashing runs as one continuous run (curves) or per segment.
    virtual bool DashAsCurve() const { return false; }
    // The finishing step shared by every polyline and curve: widths, bulges,
    // thickness, layer, extrusion and box, on the working vertex list verts;
    // then the finished run goes to FinishedRun unless makePoints is false (a
    // spline evaluates its own).
    void Finish(TkrDXFConverter& conv, std::vector<TPolyVertex>& verts, bool makePoints = true);
    // The finished vertex points at finishing: counts the dash points they
    // cut against the drawing's budget (and fixes DashLimit). closeRun: a
    // continuous closed run gets its first point again.
    virtual void FinishedRun(TkrDXFConverter& conv, std::vector<TPoint3F>&& run, bool closeRun = true);
    // The finished vertex points into work.Run, as Finish made them; the
    // result is closeRun.
    virtual bool MakeRun(TPointWork& work) const;
    // Turns the base vertices into the finished ones: bulge points, the
    // raised copies of a thickness, extrusion. bounds is set at finishing
    // (it counts the bounds met, and the thickness is decided); null when
    // drawing, which repeats what the finishing decided. True when the
    // raised copies were appended. band (at finishing) receives the filled
    // quadrilaterals of the segments with widths, in world coordinates.
    bool ShapeVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& verts,
                       std::vector<TPolyVertex>& bulged, TBoundHits* bounds,
                       std::vector<TPoint3F>* band = nullptr) const;
    // Keeps a default width as read: the start width (group 40) or the end
    // width (41).
    void SetDefaultWidth(bool start, float w);
    // The finished vertex count, where Finish was given fewer vertices than
    // the polyline has (only the ones that make its box).
    void SetVertexCount(size_t n) { FVertexCount = uint32_t(n); }
    // The polyline holds any of the rarer data (see TExtras).
    bool HasExtras() const { return FExtras != nullptr; }
    // The drawn points from a finished run (see TPointWork::Points).
    void PointsFromRun(std::vector<TPoint3F>& run, bool closeRun, std::vector<TPoint3F>& out, size_t limit) const;

private:
    // What few polylines have (width bands, face records, default widths,
    // mesh counts, segment entities), made when first needed: most polylines
    // and every circle and arc of a drawing go without, and stay in the
    // allocator's classes of 192 and 224 bytes (see curves.cpp).
    struct TExtras {
        std::vector<TPoint3F> Outline;
        std::vector<int32_t> FaceIndices;
        float DefaultStartWidth = 0;
        float DefaultEndWidth = 0;
        // Face records read (their indices start FaceIndices).
        uint32_t SourceFaces = 0;
        int32_t MeshM = 0, MeshN = 0;
        // Made on the first SegmentEntities call only.
        std::vector<std::unique_ptr<TkrDXFEntity>> SegmentEntities;
    };
    TExtras& Extras();

    bool FSegmentsBuilt = false;
    bool FClipStrictAtLoad = false;
    bool FMeshFromThickness = false;
    // The most dash points the polyline may cut (see TkrDXFLine::DashLimit).
    uint32_t FDashLimit = 0;
    // Fits: every vertex takes at least 10 characters of a text whose
    // offsets are 32 bits, and bulges and thickness stay within kMaxEntityPoints.
    uint32_t FVertexCount = 0;
    std::unique_ptr<TExtras> FExtras;
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

// Total number of points an entity draws from its point list (MakePoints of
// lines and polylines, curves included); 0 for entities without point lists.
size_t PointCount(const TkrDXFEntity& e);
