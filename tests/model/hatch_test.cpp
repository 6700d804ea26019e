// Hatches: reading the boundary paths and pattern lines, and turning the
// paths into closed point lists. Expected points are worked out by hand in
// the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "hatch_helpers.h"
#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/curves.h"
#include "drawn_points.h"

using namespace hatchtest;
using dxftest::Entities;

namespace {
void ExpectPoint(const TPoint3F& p, double x, double y, double tol = 1e-4) {
    EXPECT_NEAR(p.X, x, tol);
    EXPECT_NEAR(p.Y, y, tol);
}
}  // namespace

// ---- reading ----

TEST(HatchReading, PolylinePathsWithAndWithoutBulges) {
    auto l = LoadHatch(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}}), BulgePath({{20, 0, 0.5}, {30, 0, 0}, {30, 5, 0}})},
                                {}));
    ASSERT_NE(l.Hatch, nullptr);
    const TkrDXFHatch& h = *l.Hatch;
    EXPECT_TRUE(h.Solid);
    EXPECT_EQ(h.PatternName, "SOLID");
    EXPECT_EQ(h.PathCount, 2);
    ASSERT_EQ(h.Edges.size(), 2u);
    ASSERT_EQ(h.Edges[0].size(), 3u);
    EXPECT_EQ(h.Edges[0][2].Type, THatchEdge::etPoint);
    EXPECT_EQ(h.Edges[0][2].X, 10);
    EXPECT_EQ(h.Edges[0][2].Y, 10);
    ASSERT_EQ(h.Edges[1].size(), 3u);
    EXPECT_EQ(h.Edges[1][0].Type, THatchEdge::etBulgePoint);
    EXPECT_EQ(h.Edges[1][0].Bulge, 0.5f);
    // The bulged vertex gets 15 points after it.
    EXPECT_EQ(h.Paths[0].size(), 3u);
    EXPECT_EQ(h.Paths[1].size(), 3u + 15);
    // The seed point after the boundary (state 5) is no edge; the elevation
    // point before group 91 is (0, 0, 0).
    EXPECT_EQ(h.Elevation, (TPoint3F{0, 0, 0}));
}

TEST(HatchReading, TheRemainingCountEndsAPolylinePath) {
    // 93 announces 2 vertices: the third vertex is not read (its y neither).
    TGroups p = {"92", "2", "72", "0", "73", "1", "93", "2", "10", "0", "20", "0", "10", "5", "20", "0",
                 "10", "5", "20", "5", "97", "0"};
    auto l = LoadHatch(HatchDxf({p}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    ASSERT_EQ(l.Hatch->Edges[0].size(), 2u);
    EXPECT_EQ(l.Hatch->Edges[0][1].X, 5);
    EXPECT_EQ(l.Hatch->Edges[0][1].Y, 0);
}

TEST(HatchReading, EdgePathsOfLinesArcsAndEllipses) {
    TGroups p = {"92", "1", "93", "4",
                 // line (0, 0) - (10, 0): two points
                 "72", "1", "10", "0", "20", "0", "11", "10", "21", "0",
                 // arc about (10, 5), radius 5, -90 to 90 counter-clockwise
                 "72", "2", "10", "10", "20", "5", "40", "5", "50", "-90", "51", "90", "73", "1",
                 // line (10, 10) - (0, 10)
                 "72", "1", "10", "10", "20", "10", "11", "0", "21", "10",
                 // half ellipse about (0, 5): major axis (0, 5), ratio 0.4, 0 to 180
                 "72", "3", "10", "0", "20", "5", "11", "0", "21", "5", "40", "0.4", "50", "0", "51", "180", "73",
                 "1", "97", "0"};
    auto l = LoadHatch(HatchDxf({p}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& e = l.Hatch->Edges[0];
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[1].Type, THatchEdge::etBulgePoint);
    EXPECT_EQ(e[1].X, 10);
    EXPECT_EQ(e[2].Type, THatchEdge::etArc);
    EXPECT_EQ(e[2].Radius, 5);
    EXPECT_EQ(e[2].StartAngle, -90);
    EXPECT_TRUE(e[2].CounterClockwise);
    EXPECT_EQ(e[5].Type, THatchEdge::etEllipse);
    EXPECT_EQ(e[5].MajorY, 5);
    EXPECT_EQ(e[5].Radius, 0.4f);
    // 2 + arc (180 degrees: 16 points) + 2 + ellipse (180: 16 points).
    const auto& pts = l.Hatch->Paths[0];
    ASSERT_EQ(pts.size(), 2u + 16 + 2 + 16);
    ExpectPoint(pts[2], 10, 0);    // the arc starts at -90 degrees
    ExpectPoint(pts[17], 10, 10);  // and ends at 90
    // The ellipse starts on its major axis, (0, 10), and runs through
    // (-2, 5) (minor radius 0.4 x 5) to (0, 0).
    ExpectPoint(pts[20], 0, 10);
    ExpectPoint(pts[35], 0, 0);
    EXPECT_LT(pts[27].X, -1.9);
}

TEST(HatchReading, PatternLinesWithTheirDashes) {
    auto l = LoadHatch(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}})},
                                {PatternLine(45, 1, 2, -3, 4, {5, -6}), PatternLine(135, 0, 0, -1, -1)}));
    ASSERT_NE(l.Hatch, nullptr);
    const TkrDXFHatch& h = *l.Hatch;
    EXPECT_FALSE(h.Solid);
    EXPECT_EQ(h.PatternLineCount, 2);
    ASSERT_EQ(h.PatternLines.size(), 2u);
    const THatchPatternLine& a = h.PatternLines[0];
    EXPECT_EQ(a.Angle, 45);
    EXPECT_EQ(a.BaseX, 1);
    EXPECT_EQ(a.BaseY, 2);
    EXPECT_EQ(a.OffsetX, -3);
    EXPECT_EQ(a.OffsetY, 4);
    EXPECT_TRUE(a.HasDashes);
    ASSERT_TRUE(a.Dashes);
    EXPECT_EQ(a.Dashes->FTicks, (std::vector<float>{5, -6}));
    EXPECT_FALSE(h.PatternLines[1].HasDashes);
    EXPECT_FALSE(h.PatternLines[1].Dashes);
}

TEST(HatchReading, ElevationAndExtrusionGiveTheObjectMatrix) {
    // Elevation 5 with the extrusion (0, 0, -1): object x becomes world -x,
    // y stays, z 0 lies at world z -5 (the object z axis points down).
    TGroups g = HatchGroups({PolyPath({{0, 0}, {10, 0}, {10, 4}, {0, 4}})}, {}, {"210", "0", "220", "0", "230", "-1"});
    auto z = std::find(g.begin(), g.end(), "30");  // the elevation's z, before group 91
    ASSERT_NE(z, g.end());
    z[1] = "5";
    auto l = LoadHatch(Entities(g));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_EQ(l.Hatch->Elevation, (TPoint3F{0, 0, 5}));
    TPoint3F p = TransformPoint({10, 4, 0}, l.Hatch->ObjectMatrix);
    EXPECT_EQ(p, (TPoint3F{-10, 4, -5}));
    // The box stays in object coordinates; GetBox gives world coordinates.
    EXPECT_EQ(l.Hatch->Box.Left, 0);
    EXPECT_EQ(l.Hatch->Box.Right, 10);
    TBox3F w = l.Hatch->GetBox();
    EXPECT_EQ(w.Left, -10);
    EXPECT_EQ(w.Right, 0);
    EXPECT_EQ(w.Top, 4);
    EXPECT_EQ(w.Bottom, 0);
}

TEST(HatchReading, ManyEdgesAnnouncedByAFewGroupsReserveNothing) {
    // 91 and 93 announce a million paths and vertices; three are there.
    TGroups p = {"92", "2", "72", "0", "73", "1", "93", "1000000", "10", "0", "20", "0", "10", "1", "20", "0",
                 "10", "1", "20", "1"};
    TGroups g = {"0", "HATCH", "70", "1", "91", "1000000"};
    g.insert(g.end(), p.begin(), p.end());
    auto l = LoadHatch(Entities(g));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_EQ(l.Hatch->PathCount, 1000000);
    ASSERT_EQ(l.Hatch->Paths.size(), 1u);
    EXPECT_EQ(l.Hatch->Paths[0].size(), 3u);
    EXPECT_LT(l.Hatch->Edges.capacity(), 100u);
    EXPECT_LT(l.Hatch->Edges[0].capacity(), 100u);
}

// ---- boundary points ----

TEST(HatchBoundary, ArcsOfNinetyAndTenDegrees) {
    auto arc = [](const char* end) {
        return TGroups{"92", "1", "93", "1", "72", "2", "10", "0", "20", "0", "40", "10", "50", "0", "51", end,
                       "73", "1", "97", "0"};
    };
    // 90 degrees: round(0.5 x 16) = 8 points from (10, 0) to (0, 10).
    auto l = LoadHatch(HatchDxf({arc("90")}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& p = l.Hatch->Paths[0];
    ASSERT_EQ(p.size(), 8u);
    ExpectPoint(p[0], 10, 0);
    ExpectPoint(p[1], 10 * std::cos(kPi / 14), 10 * std::sin(kPi / 14));  // 90 / 7 degrees
    ExpectPoint(p[7], 0, 10);
    // 10 degrees: round(0.89) = 1, at least 4 points.
    auto m = LoadHatch(HatchDxf({arc("10")}, {}));
    ASSERT_NE(m.Hatch, nullptr);
    EXPECT_EQ(m.Hatch->Paths[0].size(), 4u);
}

TEST(HatchBoundary, AClockwiseArcRunsFromItsMirroredStart) {
    // Clockwise with 0 and 90 stored: the arc runs from 0 down to -90.
    TGroups p = {"92", "1", "93", "1", "72", "2", "10", "0", "20", "0", "40", "10", "50", "0", "51", "90",
                 "73", "0", "97", "0"};
    auto l = LoadHatch(HatchDxf({p}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& pts = l.Hatch->Paths[0];
    ASSERT_EQ(pts.size(), 8u);
    ExpectPoint(pts[0], 10, 0);
    ExpectPoint(pts[7], 0, -10);
}

TEST(HatchBoundary, ABulgeOfOneInsertsFifteenPointsOfAHalfCircle) {
    // (0, 0) with bulge 1 to (10, 0): a half circle about (5, 0), radius 5,
    // counter-clockwise, so below the chord; the points run from (0, 0)
    // towards (10, 0), the middle one (k = 8) at (5, -5).
    auto l = LoadHatch(HatchDxf({BulgePath({{0, 0, 1}, {10, 0, 0}, {5, 8, 0}})}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& p = l.Hatch->Paths[0];
    ASSERT_EQ(p.size(), 18u);
    ExpectPoint(p[0], 0, 0);
    for (int k = 1; k <= 15; ++k) {
        double a = -kPi + k * kPi / 16;  // from the first vertex (angle pi) on
        ExpectPoint(p[size_t(k)], 5 + 5 * std::cos(a), 5 * std::sin(a));
    }
    ExpectPoint(p[8], 5, -5);
    ExpectPoint(p[16], 10, 0);
}

TEST(HatchBoundary, ABulgeOnTheLastVertexRunsToWhereTheFirstEdgeStarts) {
    // An arc edge first (about (0, 0), radius 10, from (10, 0) to (0, 10)),
    // then a line edge (0, 10) - (0, 0) whose end carries bulge 1. The path
    // closes from (0, 0) to the start of the arc, (10, 0): the bulge makes a
    // half circle about (5, 0) through (5, -5). (Bulging towards the arc
    // record's own point, its centre (0, 0), gave 15 points at (0, 0).)
    TGroups p = {"92", "1", "93", "2", "72", "2", "10", "0", "20", "0", "40", "10", "50", "0", "51", "90", "73", "1",
                 "72", "1", "10", "0", "20", "10", "11", "0", "21", "0", "42", "1", "97", "0"};
    auto l = LoadHatch(HatchDxf({p}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& pts = l.Hatch->Paths[0];
    ASSERT_EQ(pts.size(), 8u + 2 + 15);
    ExpectPoint(pts[9], 0, 0);
    ExpectPoint(pts[10 + 7], 5, -5);  // k = 8, the middle of the half circle
    ExpectPoint(pts[24], 10 - 5 * (1 - std::cos(kPi / 16)), -5 * std::sin(kPi / 16));
}

namespace {
// A spline edge with four control points and knots 0,0,0,0,1,1,1,1.
TGroups SplineEdge(const std::vector<std::array<double, 2>>& ctrl) {
    TGroups g = {"72", "4", "94", "3", "73", "0", "74", "0", "95", "8", "96", "4"};
    for (const char* k : {"0", "0", "0", "0", "1", "1", "1", "1"}) g.insert(g.end(), {"40", k});
    for (auto& c : ctrl) g.insert(g.end(), {"10", Num(c[0]), "20", Num(c[1])});
    return g;
}

// The points the SPLINE entity with the same control points and knots
// finishes into.
std::vector<TPoint3F> SplineEntityPoints(const std::vector<std::array<double, 2>>& ctrl) {
    TGroups g = {"0", "SPLINE", "70", "8", "71", "3", "72", "8", "73", "4"};
    for (const char* k : {"0", "0", "0", "0", "1", "1", "1", "1"}) g.insert(g.end(), {"40", k});
    for (auto& c : ctrl) g.insert(g.end(), {"10", Num(c[0]), "20", Num(c[1]), "30", "0"});
    auto conv = modeltest::LoadDrawable(Entities(g));
    auto* s = static_cast<TkrDXFSpline*>(conv->EntityAt(0));
    return VertexPointsOf(*s);
}
}  // namespace

TEST(HatchBoundary, SplineEdgesAreTheSplinesOwnPoints) {
    const std::vector<std::array<double, 2>> ctrl = {{0, 0}, {3, 6}, {7, 6}, {10, 0}};
    TGroups p = {"92", "1", "93", "2"};
    TGroups s = SplineEdge(ctrl);
    p.insert(p.end(), s.begin(), s.end());
    p.insert(p.end(), {"72", "1", "10", "10", "20", "0", "11", "0", "21", "0", "97", "0"});
    auto l = LoadHatch(HatchDxf({p}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    std::vector<TPoint3F> curve = SplineEntityPoints(ctrl);
    ASSERT_GT(curve.size(), 4u);
    const auto& pts = l.Hatch->Paths[0];
    ASSERT_EQ(pts.size(), curve.size() + 2);
    for (size_t i = 0; i < curve.size(); ++i) EXPECT_EQ(pts[i], (TPoint3F{curve[i].X, curve[i].Y, 0})) << i;
    ExpectPoint(pts[curve.size()], 10, 0);
}

TEST(HatchBoundary, ASplineIsReversedOnlyWhenTheNextEdgeStartsNearerItsFirstPoint) {
    // A spline from (0, 0) to (0, 10), bowing right, then a line edge from
    // (0, 10) back to (0, 0). The next edge starts at the spline's last point:
    // the spline keeps its order, although both its ends have x = 0 (which
    // reversed it when x and y were compared separately).
    const std::vector<std::array<double, 2>> up = {{0, 0}, {6, 3}, {6, 7}, {0, 10}};
    auto path = [](const std::vector<std::array<double, 2>>& ctrl) {
        TGroups p = {"92", "1", "93", "2"};
        TGroups s = SplineEdge(ctrl);
        p.insert(p.end(), s.begin(), s.end());
        p.insert(p.end(), {"72", "1", "10", "0", "20", "10", "11", "0", "21", "0", "97", "0"});
        return p;
    };
    auto l = LoadHatch(HatchDxf({path(up)}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& a = l.Hatch->Paths[0];
    ExpectPoint(a.front(), 0, 0);
    ExpectPoint(a[a.size() - 3], 0, 10);  // the spline's end, then the line's two points
    // Written the other way round (from (0, 10) to (0, 0)) it is reversed.
    auto m = LoadHatch(HatchDxf({path({{0, 10}, {6, 7}, {6, 3}, {0, 0}})}, {}));
    ASSERT_NE(m.Hatch, nullptr);
    const auto& b = m.Hatch->Paths[0];
    ExpectPoint(b.front(), 0, 0);
    ExpectPoint(b[b.size() - 3], 0, 10);
}

TEST(HatchBoundary, ARationalQuadraticSplineEdgeIsItsArc) {
    // A quarter circle of radius 1 as CAD programs write it: degree 2 (94),
    // rational (73), weights 1, sqrt(1/2), 1 (42), closed by two line edges.
    TGroups p = {"92", "1", "93", "3", "72", "4", "94", "2", "73", "1", "74", "0", "95", "6", "96", "3"};
    for (const char* k : {"0", "0", "0", "1", "1", "1"}) p.insert(p.end(), {"40", k});
    for (auto [x, y, w] : {std::array<double, 3>{1, 0, 1}, {1, 1, std::sqrt(0.5)}, {0, 1, 1}})
        p.insert(p.end(), {"10", Num(x), "20", Num(y), "42", Num(w)});
    p.insert(p.end(), {"97", "0", "72", "1", "10", "0", "20", "1", "11", "0", "21", "0", "72", "1", "10", "0",
                       "20", "0", "11", "1", "21", "0"});
    auto l = LoadHatch(HatchDxf({p}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    const auto& pts = l.Hatch->Paths[0];
    ASSERT_GT(pts.size(), 27u);
    // The first 27 points are the arc's (start, 25 steps, end), on the
    // circle within 1e-6; without the weights the middle one would be the
    // parabola's (0.75, 0.75), 0.06 inside.
    for (size_t i = 0; i < 27; ++i) EXPECT_NEAR(std::hypot(double(pts[i].X), double(pts[i].Y)), 1, 1e-6) << i;
    ExpectPoint(pts[0], 1, 0);
    ExpectPoint(pts[26], 0, 1);
}

TEST(HatchBoundary, ASplineEdgeWithAbsurdKnotsStaysBounded) {
    TGroups p = {"92", "1", "93", "1", "72", "4", "94", "3", "95", "8", "96", "4"};
    for (const char* k : {"0", "0", "0", "0", "1e30", "1e30", "1e30", "1e30"}) p.insert(p.end(), {"40", k});
    for (int i = 0; i < 4; ++i) p.insert(p.end(), {"10", Num(i), "20", Num(i % 2)});
    p.insert(p.end(), {"97", "0"});
    auto l = LoadHatch(HatchDxf({p}, {PatternLine(0, 0, 0, 0, 0.25)}));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_LE(l.Hatch->Paths[0].size(), kMaxEntityPoints);
}

TEST(HatchBoundary, TwoPointPathsAreClosedWhenTheyRunObliquely) {
    // A single line edge gives two points; running obliquely it gets its
    // first point again, running horizontally it does not.
    auto line = [](const char* y) {
        return TGroups{"92", "1", "93", "1", "72", "1", "10", "0", "20", "0", "11", "10", "21", y, "97", "0"};
    };
    auto l = LoadHatch(HatchDxf({line("5"), line("0")}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    ASSERT_EQ(l.Hatch->Paths[0].size(), 3u);
    EXPECT_EQ(l.Hatch->Paths[0][2], (TPoint3F{0, 0, 0}));
    EXPECT_EQ(l.Hatch->Paths[1].size(), 2u);
    // The box holds every path point.
    EXPECT_EQ(l.Hatch->Box, (TBox3F{0, 5, 0, 10, 0, 0}));
}

// ---- visiting for drawing ----

namespace {
struct TSeen {
    std::vector<std::vector<TPoint3F>> Paths;
    std::vector<TPoint2F> Segments;
    TDrawContext Context;
    int Visits = 0;
};

void Record(void* receiver, TkrDXFEntity& e) {
    auto& seen = *static_cast<TSeen*>(receiver);
    auto& h = static_cast<TkrDXFHatch&>(e);
    seen.Paths = h.Paths;
    seen.Segments = h.Segments;
    seen.Context = *h.Converter->DrawContext;
    ++seen.Visits;
}

TMatrix4x3F Scale2() { return ScaleTranslateMatrix({2, 2, 1}, {}); }
}  // namespace

TEST(HatchVisit, StrictClippingCutsPathsAndSegmentsForTheVisitOnly) {
    // The square hatched with y = 10 .. 0, drawn at scale 2 against the clip
    // rectangle (0, 0)-(10, 20) of the canvas (the square's left half): for
    // the visit the path is the half (0, 0), (10, 0), (10, 20), (0, 20) and
    // every segment runs from (0, 2y) to (10, 2y), in canvas units under an
    // identity matrix; afterwards all is as before.
    auto l = LoadHatch(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}})}, {PatternLine(0, 0, 0, 0, 1)}));
    ASSERT_NE(l.Hatch, nullptr);
    TkrDXFConverter& conv = *l.Conv;
    TDrawContext dc;
    dc.Matrix = Scale2();
    dc.ScaleX = dc.ScaleY = 2;
    conv.DrawContext = &dc;
    conv.ClipEnabled = true;
    conv.ClipStrict = true;
    conv.ClipBox = {0, 20, -1, 10, 0, 1};
    const auto paths = l.Hatch->Paths;
    const auto segments = l.Hatch->Segments;
    EXPECT_TRUE(l.Hatch->InView(conv));
    TSeen seen;
    l.Hatch->Iterate(conv, Record, &seen);
    ASSERT_EQ(seen.Visits, 1);
    EXPECT_EQ(seen.Paths, (std::vector<std::vector<TPoint3F>>{{{0, 0, 0}, {10, 0, 0}, {10, 20, 0}, {0, 20, 0}}}));
    ASSERT_EQ(seen.Segments.size(), 22u);
    for (int y = 10; y >= 0; --y) {
        EXPECT_EQ(seen.Segments[size_t(2 * (10 - y))], (TPoint2F{0, float(2 * y)}));
        EXPECT_EQ(seen.Segments[size_t(2 * (10 - y) + 1)], (TPoint2F{10, float(2 * y)}));
    }
    EXPECT_EQ(seen.Context.Matrix.M[0][0], 1);
    EXPECT_EQ(seen.Context.ScaleX, 0);
    EXPECT_EQ(l.Hatch->Paths, paths);
    EXPECT_EQ(l.Hatch->Segments, segments);
    EXPECT_EQ(dc.Matrix.M[0][0], 2);
    EXPECT_EQ(dc.ScaleX, 2);
    // Wholly outside: not visited; a solid fill (no segments) that overlaps
    // only in part is not visited either under strict clipping.
    conv.ClipBox = {30, 40, -1, 40, 30, 1};
    seen.Visits = 0;
    l.Hatch->Iterate(conv, Record, &seen);
    EXPECT_EQ(seen.Visits, 0);
    auto s = LoadHatch(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}})}, {}));
    s.Conv->DrawContext = &dc;
    s.Conv->ClipEnabled = s.Conv->ClipStrict = true;
    s.Conv->ClipBox = {0, 20, -1, 10, 0, 1};
    s.Hatch->Iterate(*s.Conv, Record, &seen);
    EXPECT_EQ(seen.Visits, 0);
}

TEST(HatchVisit, AnExtrudedHatchIsVisitedUnderItsObjectMatrix) {
    // Extrusion (0, 0, -1): for the visit the context maps through the object
    // matrix first (x mirrored) and then the context's own; its insert stays,
    // so colours and layers resolve through the insert being expanded.
    auto l = LoadHatch(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}})}, {}, {"210", "0", "220", "0", "230", "-1"}));
    ASSERT_NE(l.Hatch, nullptr);
    TDrawContext dc;
    dc.Matrix = Scale2();
    dc.ScaleX = dc.ScaleY = 2;
    TkrDXFInsert insert;
    dc.Insert = &insert;
    l.Conv->DrawContext = &dc;
    TSeen seen;
    l.Hatch->Iterate(*l.Conv, Record, &seen);
    ASSERT_EQ(seen.Visits, 1);
    EXPECT_EQ(TransformPoint({10, 10, 0}, seen.Context.Matrix), (TPoint3F{-20, 20, 0}));
    EXPECT_EQ(seen.Context.Insert, &insert);
    EXPECT_EQ(seen.Context.ScaleX, 0);
    EXPECT_EQ(TransformPoint({10, 10, 0}, dc.Matrix), (TPoint3F{20, 20, 0}));
    EXPECT_EQ(dc.ScaleX, 2);
}
