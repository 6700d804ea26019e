// Hatches: the boundary paths of a HATCH become closed point lists and, for a
// pattern hatch, the pattern becomes a flat list of line segments clipped to
// the boundary with the even-odd rule. The pattern lines come from the file
// itself (groups 53, 43 to 46, 49, 79), which already carry the pattern's
// scale and angle; the pattern name is only kept.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/entities/curves.h"
#include "model/errors.h"

// A pattern line whose family of parallel lines cannot be generated
// ("Hatch parameters error").
class EkrDXFHatchError : public EkrError {
public:
    EkrDXFHatchError() : EkrError("Hatch parameters error") {}
};

// One boundary point or edge as read.
struct THatchEdge {
    enum : uint8_t { etPoint = 0, etBulgePoint = 1, etArc = 2, etEllipse = 3, etSpline = 4 };
    float X = 0, Y = 0;            // the point, the centre of an arc or ellipse, the start of a line edge
    float MajorX = 0, MajorY = 0;  // ellipse edges: end of the major axis relative to the centre
    uint8_t Type = etPoint;
    bool CounterClockwise = false;
    bool Outermost = false;
    float Bulge = 0;
    float Radius = 0;  // the radius of an arc, the minor to major ratio of an ellipse
    float StartAngle = 0, EndAngle = 0;  // degrees
    // Spline edges: made when the first group of the edge arrives.
    std::unique_ptr<TkrDXFSpline> Spline;
};

struct THatchPatternLine {
    float Angle = 0;  // degrees
    float BaseX = 0, BaseY = 0;
    float OffsetX = 0, OffsetY = 0;
    int32_t DashCount = 0;           // group 79 as read
    std::unique_ptr<TkrLines> Dashes;  // the lengths of group 49, or none
    bool HasDashes = false;
};

// One line of a pattern line's family: from (X1, Y1) to (X2, Y2) across the
// boundary's box, with the point its dashes are anchored at.
struct THatchFamilyLine {
    float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    TPoint3F Phase{};
};

// Family kinds (FamilyKind).
enum : uint8_t { fkNone = 0, fkHorizontal = 2, fkVertical = 3, fkRising = 4, fkFalling = 5 };

// What finishing a hatch makes of its boundary and pattern lines alone,
// before the converter's counters and dash budget come in: the paths and
// their box, and the inside pieces of every family line (each with the
// line's phase point).
struct THatchPatternPiece {
    TPoint3F A, B, Phase;
};
struct THatchShape {
    std::vector<std::vector<TPoint3F>> Paths;
    TBox3F Box = EmptyBox;
    bool Reduced = false;  // a path kept fewer points than its edges have
    uint8_t FamilyKind = fkNone;
    bool Over = false;  // the pattern passed the bound of lines or of clip tests
    std::vector<std::vector<THatchPatternPiece>> Pieces;  // per pattern line
    size_t Bytes() const;
};

class TkrDXFHatch : public TkrDXFPenLine {
public:
    TkrDXFHatch();
    ~TkrDXFHatch() override;

    int32_t PathCount = 0;  // group 91
    int32_t PathFlags = 0;  // group 92 of the latest path
    // Of every boundary point in object coordinates (z = 0); Left <= Right,
    // Top >= Bottom. GetBox gives it in world coordinates.
    TBox3F Box = EmptyBox;
    bool PathStarted = false;  // a group 72 started a path since the latest group 92
    TPoint3F Elevation{};      // groups 10/20/30 before group 91
    std::vector<THatchPatternLine> PatternLines;
    std::string PatternName;
    uint8_t FamilyKind = fkNone;  // of the last pattern line that generated its family
    // 0 polyline vertices without bulge, 1 line edge or vertices with bulge,
    // 2 arc edge, 3 ellipse edge, 4 spline edge, 5 ignore coordinates.
    uint8_t ReadState = 0;
    bool OutermostFlag = false;  // bit value 16 of the latest group 92
    bool Solid = false;          // bit value 1 of group 70
    bool BoundaryStarted = false;  // a group 91 was read
    // Object coordinates to world coordinates (identity for the default extrusion).
    TMatrix4x3F ObjectMatrix = IdentityMatrix();
    // The pattern: point pairs, each pair one segment, in the hatch's plane
    // (z = 0: the most numerous points of a pattern drawing, kept flat).
    std::vector<TPoint2F> Segments;
    int32_t RemainingCount = -1;  // group 93, counted down by line edges and vertices
    // The boundary as read, one list of edges per path, and as finished: one
    // point list per path, each closed implicitly.
    std::vector<std::vector<THatchEdge>> Edges;
    std::vector<std::vector<TPoint3F>> Paths;
    int32_t PatternLineCount = 0;  // group 78

    TBox3F GetBox() const override;
    // With strict clipping, a pattern hatch that overlaps the clip rectangle
    // only in part is in view; Iterate then cuts its paths and segments to the
    // rectangle (in canvas coordinates) for the time of the visit.
    bool InView(TkrDXFConverter& conv) const override;
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;
    void Loaded(TkrDXFConverter& conv) override;
    void ReadProperty(TkrDXFConverter& conv) override;

    // A pattern hatch without spline edges: its shape can be made on another
    // thread than the one that finishes it (a spline edge is finished with
    // the hatch, into the converter).
    bool ShapeAhead() const;
    // Makes the shape ahead of Loaded, which then takes it, unless Loaded
    // (or another MakeShapeAhead) came first; the bytes it holds, or 0. Reads
    // only the hatch as read and the converter's settings, so it may run
    // while another thread finishes other entities or this one's pen (never
    // while the hatch is read). ShapeAhead must hold.
    size_t MakeShapeAhead(const TkrDXFConverter& conv);
    // True once Loaded has begun (a shape made ahead is then taken or gone).
    bool ShapeTaken() const { return FShapeState.load(std::memory_order_acquire) == kShapeTaken; }
    // True while another thread makes the shape ahead (Loaded would wait).
    bool ShapeMaking() const { return FShapeState.load(std::memory_order_acquire) == kShapeMaking; }

private:
    THatchEdge* LastEdge();
    // Spline edges are finished into splines (null: the hatch has none).
    void TessellatePath(const TkrDXFConverter& conv, TkrDXFConverter* splines, std::vector<THatchEdge>& edges,
                        std::vector<TPoint3F>& out, size_t& budget, bool& reduced);
    // The paths, their box and (for a pattern) its pieces into shape.
    void MakeShape(const TkrDXFConverter& conv, TkrDXFConverter* splines, THatchShape& shape);
    void ClipPattern(THatchShape& shape) const;
    // The pattern's segments from the pieces: the dashes count against the
    // converter's budget.
    void CutPattern(TkrDXFConverter& conv, const THatchShape& shape);
    bool StrictlyClipped(TkrDXFConverter& conv) const;
    // The shape made ahead: none yet, being made, made (in FShape), or
    // Loaded has begun.
    enum : uint8_t { kShapeNone, kShapeMaking, kShapeMade, kShapeTaken };
    std::atomic<uint8_t> FShapeState{kShapeNone};
    std::unique_ptr<THatchShape> FShape;
};
