// Hatches: the boundary paths of a HATCH become closed point lists and, for a
// pattern hatch, the pattern becomes a flat list of line segments clipped to
// the boundary with the even-odd rule. The pattern lines come from the file
// itself (groups 53, 43 to 46, 49, 79), which already carry the pattern's
// scale and angle; the pattern name is only kept.
#pragma once

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

private:
    THatchEdge* LastEdge();
    void TessellatePath(TkrDXFConverter& conv, std::vector<THatchEdge>& edges, std::vector<TPoint3F>& out,
                        size_t& budget, bool& reduced);
    void BuildPattern(TkrDXFConverter& conv);
    bool StrictlyClipped(TkrDXFConverter& conv) const;
};
