// Linear entities: lines, points, solids, 3-D faces, polylines and
// light-weight polylines, from DXF text to finished point lists.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/curves.h"
#include "model/entities/linear.h"
#include "drawn_points.h"

#include "dxf_snippets.h"

namespace {
using dxftest::Entities;

template <class T>
T& First(TkrDXFConverter& conv, int i = 0) {
    TkrDXFEntity* e = conv.EntityAt(i);
    EXPECT_NE(e, nullptr);
    return *static_cast<T*>(e);
}

const std::vector<std::string> kSquare = {"0",  "LWPOLYLINE", "70", "1",  "10", "0",  "20", "0", "10", "10",
                                          "20", "0",          "10", "10", "20", "10", "10", "0", "20", "10"};

struct TVisits {
    std::vector<TPoint3F> Seen;
    int Count = 0;
};
void Record(void* r, TkrDXFEntity& e) {
    auto& v = *static_cast<TVisits*>(r);
    auto& l = static_cast<TkrDXFLine&>(e);
    ++v.Count;
    v.Seen.push_back(l.Point);
    v.Seen.push_back(l.Point2);
    const std::vector<TPoint3F> drawn = DrawnPoints(l);
    v.Seen.insert(v.Seen.end(), drawn.begin(), drawn.end());
}
}  // namespace

// ---- LINE, POINT, SOLID, 3DFACE ----

TEST(Line, ContinuousLineKeepsItsTwoPointsAndBox) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LINE", "10", "1", "20", "2", "30", "3", "11", "4", "21", "-5", "31", "6", "370",
                                "50"}));
    auto& l = First<TkrDXFLine>(conv);
    ASSERT_EQ(DrawnPoints(l).size(), 2u);
    EXPECT_EQ(DrawnPoints(l)[0], (TPoint3F{1, 2, 3}));
    EXPECT_EQ(DrawnPoints(l)[1], (TPoint3F{4, -5, 6}));
    // Box of both ends widened by half the line weight (0.5 mm / 2).
    TBox3F b = l.GetBox();
    EXPECT_FLOAT_EQ(b.Left, 0.75f);
    EXPECT_FLOAT_EQ(b.Right, 4.25f);
    EXPECT_FLOAT_EQ(b.Top, 2.25f);
    EXPECT_FLOAT_EQ(b.Bottom, -5.25f);
    EXPECT_EQ(PointCount(l), 2u);
}

TEST(Line, CoordinatesAreStoredAsFloatsOfTheValueRead) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LINE", "10", "0.1", "20", "1e-3", "11", "123456.789", "21", "-0.3"}));
    auto& l = First<TkrDXFLine>(conv);
    EXPECT_EQ(l.Point.X, 0.1f);
    EXPECT_EQ(l.Point.Y, 0.001f);
    EXPECT_EQ(l.Point2.X, 123456.789f);
    EXPECT_EQ(DrawnPoints(l)[1].Y, -0.3f);
}

TEST(Line, ExtrusionIsNotAppliedToLines) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LINE", "10", "1", "20", "2", "11", "3", "21", "4", "230", "-1"}));
    auto& l = First<TkrDXFLine>(conv);
    EXPECT_EQ(l.Point, (TPoint3F{1, 2, 0}));
    EXPECT_EQ(DrawnPoints(l)[1], (TPoint3F{3, 4, 0}));
}

TEST(Point, HoldsItsPositionTwiceAndHasADegenerateWidenedBox) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "POINT", "10", "7", "20", "8", "370", "30"}));
    auto& p = First<TkrDXFPoint>(conv);
    ASSERT_EQ(DrawnPoints(p).size(), 2u);
    EXPECT_EQ(DrawnPoints(p)[0], (TPoint3F{7, 8, 0}));
    EXPECT_EQ(DrawnPoints(p)[1], (TPoint3F{7, 8, 0}));
    TBox3F b = p.GetBox();
    EXPECT_FLOAT_EQ(b.Left, 6.85f);
    EXPECT_FLOAT_EQ(b.Right, 7.15f);
    std::vector<TPoint3F> corners;
    p.EnumCorners(true, [](void* r, const TPoint3F& q) { static_cast<std::vector<TPoint3F>*>(r)->push_back(q); },
                  &corners);
    EXPECT_EQ(corners.size(), 1u);
}

TEST(Solid, CornersAreMappedByTheExtrusionAfterThePointList) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "SOLID", "10", "1", "20", "2", "11", "3", "21", "4", "12", "5", "22", "6", "13",
                                "7", "23", "8", "230", "-1"}));
    auto& s = First<TkrDXFSolid>(conv);
    // The dashes a solid's line type would cut are counted from the corners
    // as read (a solid keeps no point list: it is drawn from its corners);
    // the corners then go through the arbitrary axis of (0, 0, -1):
    // Ax = (-1, 0, 0), Ay = (0, 1, 0).
    EXPECT_EQ(s.Point, (TPoint3F{-1, 2, 0}));
    EXPECT_EQ(s.Point2, (TPoint3F{-3, 4, 0}));
    EXPECT_EQ(s.Point3, (TPoint3F{-5, 6, 0}));
    EXPECT_EQ(s.Point4, (TPoint3F{-7, 8, 0}));
    TBox3F b = s.GetBox();
    EXPECT_EQ(b.Left, -7);
    EXPECT_EQ(b.Right, -1);
    EXPECT_EQ(b.Top, 8);
}

TEST(Face3d, ReadsEdgeFlagsAndFourCorners) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "3DFACE", "10", "0", "11", "1", "12", "1", "22", "1", "13", "0", "23", "1", "70",
                                "15"}));
    auto& f = First<TkrDXF3dFace>(conv);
    EXPECT_EQ(f.EdgeFlags, 15);
    EXPECT_EQ(f.Point3, (TPoint3F{1, 1, 0}));
    std::vector<TPoint3F> c;
    f.EnumCorners(false, [](void* r, const TPoint3F& q) { static_cast<std::vector<TPoint3F>*>(r)->push_back(q); },
                  &c);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[3], (TPoint3F{0, 1, 0}));
}

// ---- strict clipping ----

class LineClip : public ::testing::Test {
protected:
    TkrDXFConverter conv;
    TDrawContext dc;
    void SetUp() override {
        dc.Matrix = IdentityMatrix();
        conv.DrawContext = &dc;
        conv.ClipEnabled = true;
        conv.ClipStrict = true;
        conv.ClipBox = {0, 10, -1, 10, 0, 1};  // x 0..10, y 0..10
    }
};

TEST_F(LineClip, ALineCrossingTheRectangleIsCutForTheVisitAndRestored) {
    conv.LoadFromText(Entities({"0", "LINE", "10", "-5", "20", "5", "11", "5", "21", "5"}));
    auto& l = First<TkrDXFLine>(conv);
    dc.Matrix.M[0][0] = 2;  // the cut happens in canvas coordinates: x doubled
    EXPECT_TRUE(l.InView(conv));
    TVisits v;
    l.Iterate(conv, Record, &v);
    ASSERT_EQ(v.Count, 1);
    EXPECT_EQ(v.Seen[0], (TPoint3F{0, 5, 0}));   // start moved onto x = Left
    EXPECT_EQ(v.Seen[1], (TPoint3F{10, 5, 0}));  // end (10, 5) on the right edge
    EXPECT_EQ(v.Seen[2], (TPoint3F{0, 5, 0}));   // the drawn points follow
    // Everything back as it was, the context included.
    EXPECT_EQ(l.Point, (TPoint3F{-5, 5, 0}));
    EXPECT_EQ(DrawnPoints(l)[0], (TPoint3F{-5, 5, 0}));
    EXPECT_FALSE(l.Clipped);
    EXPECT_EQ(dc.Matrix.M[0][0], 2);
}

TEST_F(LineClip, ALineBesideACornerIsNotDrawn) {
    // Its box overlaps the rectangle, the line itself passes the corner.
    conv.LoadFromText(Entities({"0", "LINE", "10", "-5", "20", "8", "11", "5", "21", "20"}));
    auto& l = First<TkrDXFLine>(conv);
    EXPECT_FALSE(l.InView(conv));
    TVisits v;
    l.Iterate(conv, Record, &v);
    EXPECT_EQ(v.Count, 0);
}

TEST_F(LineClip, WithoutStrictClippingAnOverlappingLineIsVisitedUncut) {
    conv.ClipStrict = false;
    conv.LoadFromText(Entities({"0", "LINE", "10", "-5", "20", "5", "11", "5", "21", "5"}));
    auto& l = First<TkrDXFLine>(conv);
    TVisits v;
    l.Iterate(conv, Record, &v);
    ASSERT_EQ(v.Count, 1);
    EXPECT_EQ(v.Seen[0], (TPoint3F{-5, 5, 0}));
}

TEST_F(LineClip, ALineCrossingTopAndBottomIsCutAtBoth) {
    conv.LoadFromText(Entities({"0", "LINE", "10", "4", "20", "-10", "11", "6", "21", "20"}));
    auto& l = First<TkrDXFLine>(conv);
    TVisits v;
    l.Iterate(conv, Record, &v);
    ASSERT_EQ(v.Count, 1);
    // y = -10 + 30 (x - 4) / 2: at y = 0, x = 4 + 2/3; at y = 10, x = 4 + 4/3.
    EXPECT_FLOAT_EQ(v.Seen[0].X, float(4 + 2.0 / 3));
    EXPECT_EQ(v.Seen[0].Y, 0);
    EXPECT_FLOAT_EQ(v.Seen[1].X, float(4 + 4.0 / 3));
    EXPECT_EQ(v.Seen[1].Y, 10);
}

// ---- polylines: closed, bulges, segments ----

TEST(Polyline, ClosedSquareRepeatsTheFirstPointAndHasFourLineSegments) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(kSquare));
    auto& p = First<TkrDXFLWPolyline>(conv);
    ASSERT_EQ(DrawnPoints(p).size(), 5u);
    EXPECT_EQ(DrawnPoints(p)[4], DrawnPoints(p)[0]);
    TPointWork work;
    p.MakePoints(work);
    EXPECT_EQ(&p.GetVertexPoints(work), &work.Points);
    auto& segs = p.SegmentEntities();
    ASSERT_EQ(segs.size(), 4u);
    for (auto& s : segs) EXPECT_EQ(s->Class, TEntityClass::Line);
    // Last segment first: the closing one from (0, 10) back to (0, 0).
    auto& closing = static_cast<TkrDXFLine&>(*segs[0]);
    EXPECT_EQ(closing.Point, (TPoint3F{0, 10, 0}));
    EXPECT_EQ(closing.Point2, (TPoint3F{0, 0, 0}));
    TBox3F b = p.GetBox();
    EXPECT_EQ(b.Left, 0);
    EXPECT_EQ(b.Top, 10);
    EXPECT_EQ(p.Layer->Name, "0");
}

TEST(Polyline, SegmentEntitiesAreRebuiltNotDoubledWhenLoadedAgain) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(kSquare));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(p.SegmentEntities().size(), 4u);
    p.Loaded(conv);
    EXPECT_EQ(p.SegmentEntities().size(), 4u);
    EXPECT_EQ(DrawnPoints(p).size(), 5u);
}

TEST(Polyline, BulgeOneIsAHalfCircleCounterClockwise) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "42", "1", "10", "10", "20", "0"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    // 2 vertices + 16 inserted; the first inserted lies on the start vertex.
    ASSERT_EQ(DrawnPoints(p).size(), 18u);
    EXPECT_EQ(DrawnPoints(p)[0], (TPoint3F{0, 0, 0}));
    EXPECT_NEAR(DrawnPoints(p)[1].X, 0, 1e-6);
    EXPECT_NEAR(DrawnPoints(p)[1].Y, 0, 1e-6);
    // Going left to right counter-clockwise about (5, 0) passes below: j = 8 is
    // the angle -90 degrees.
    EXPECT_NEAR(DrawnPoints(p)[9].X, 5, 1e-5);
    EXPECT_NEAR(DrawnPoints(p)[9].Y, -5, 1e-5);
    for (size_t i = 2; i < 17; ++i) {
        EXPECT_LT(DrawnPoints(p)[i].Y, 0) << i;
        EXPECT_GT(DrawnPoints(p)[i].X, DrawnPoints(p)[i - 1].X) << i;
        EXPECT_NEAR(std::hypot(DrawnPoints(p)[i].X - 5.0, double(DrawnPoints(p)[i].Y)), 5, 1e-5);
    }
    // The last inserted point is one sixteenth of the arc before the end.
    EXPECT_NEAR(DrawnPoints(p)[16].X, 5 + 5 * std::cos(-kPi / 16), 1e-5);
    EXPECT_EQ(DrawnPoints(p)[17], (TPoint3F{10, 0, 0}));
    // The arc segment runs counter-clockwise from 180 to 0 (= 360) degrees.
    auto& segs = p.SegmentEntities();
    ASSERT_EQ(segs.size(), 1u);
    ASSERT_EQ(segs[0]->Class, TEntityClass::Arc);
    auto& arc = static_cast<TkrDXFArc&>(*segs[0]);
    EXPECT_FLOAT_EQ(arc.StartAngle, 180);
    EXPECT_NEAR(arc.EndAngle, 0, 1e-6);
    EXPECT_FLOAT_EQ(arc.Radius, 5);
    // 16 points over 180 degrees, from (0, 0) below the chord to (10, 0).
    ASSERT_EQ(DrawnPoints(arc).size(), 16u);
    EXPECT_NEAR(DrawnPoints(arc)[0].X, 0, 1e-5);
    EXPECT_NEAR(DrawnPoints(arc)[15].X, 10, 1e-5);
    for (auto& q : DrawnPoints(arc)) EXPECT_LT(q.Y, 1e-5);
}

TEST(Polyline, NegativeBulgeRunsClockwise) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "42", "-1", "10", "10", "20", "0"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    ASSERT_EQ(DrawnPoints(p).size(), 18u);
    EXPECT_NEAR(DrawnPoints(p)[9].Y, 5, 1e-5);
    for (size_t i = 2; i < 17; ++i) EXPECT_GT(DrawnPoints(p)[i].Y, 0) << i;
}

TEST(Polyline, SmallBulgeFollowsTheShortArcAndStepsZ) {
    // Bulge tan(22.5 degrees): a quarter circle from (0,0,0) to (10,10,3).
    // The polyline path (old style) carries Z in every vertex.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "POLYLINE", "66", "1", "70", "8", "0", "VERTEX", "10", "0", "20", "0", "42",
                                "0.41421356237", "0", "VERTEX", "10", "10", "20", "10", "30", "3", "0", "SEQEND"}));
    auto& p = First<TkrDXFPolyline>(conv);
    ASSERT_EQ(DrawnPoints(p).size(), 18u);
    // The positive bulge turns left of the chord (1, 1): centre
    // M + k (d.y, -d.x) = (5, 5) + 1 * (-5, 5) = (0, 10), radius 10.
    double cx = 0, cy = 10;
    for (size_t i = 1; i < 17; ++i)
        EXPECT_NEAR(std::hypot(DrawnPoints(p)[i].X - cx, DrawnPoints(p)[i].Y - cy), 10, 1e-3) << i;
    // Counter-clockwise about the centre: the cross product of successive
    // radius vectors is positive.
    for (size_t i = 2; i < 17; ++i) {
        double ax = DrawnPoints(p)[i - 1].X - cx, ay = DrawnPoints(p)[i - 1].Y - cy;
        double bx = DrawnPoints(p)[i].X - cx, by = DrawnPoints(p)[i].Y - cy;
        EXPECT_GT(ax * by - ay * bx, 0) << i;
    }
    // Z steps by 3/15 per inserted point, from 0 to 3.
    EXPECT_EQ(DrawnPoints(p)[1].Z, 0);
    EXPECT_FLOAT_EQ(DrawnPoints(p)[6].Z, float(5 * 0.2));
    EXPECT_FLOAT_EQ(DrawnPoints(p)[16].Z, 3);
}

TEST(Polyline, BulgedClosingSegmentIsExpandedToo) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "70", "1", "10", "0", "20", "0", "42", "1", "10", "10", "20", "0",
                                "42", "1"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    // Two half circles make a full circle: 2 + 32 vertices, closed: + 1.
    ASSERT_EQ(DrawnPoints(p).size(), 35u);
    EXPECT_NEAR(DrawnPoints(p)[26].Y, 5, 1e-5);  // second arc, j = 8, goes over the top
    EXPECT_EQ(DrawnPoints(p)[34], DrawnPoints(p)[0]);
}

TEST(Polyline, BulgePointsAreRoundedOnceFromDouble) {
    // A bulge arc far from the origin: each point is computed in double and
    // rounded to float once; float intermediates would drift.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "100000.1", "20", "2000.7", "42", "0.3", "10", "100003.3",
                                "20", "2001.9"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    ASSERT_EQ(DrawnPoints(p).size(), 18u);
    double vx = 100000.1f, vy = 2000.7f, wx = 100003.3f, wy = 2001.9f, b = 0.3f;
    double mx = (vx + wx) / 2, my = (vy + wy) / 2, dx = vx - mx, dy = vy - my, k = (1 - b * b) / (2 * b);
    double cx = mx + k * dy, cy = my - k * dx;
    double px = mx - b * dy, py = my + b * dx;
    double r = std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy));
    double a1 = std::atan2(vy - cy, vx - cx), a2 = std::atan2(wy - cy, wx - cx);
    if (a1 < 0) a1 += 2 * kPi;
    if (a2 < 0) a2 += 2 * kPi;
    if (a1 > a2) a1 -= 2 * kPi;
    for (int j = 0; j < 16; ++j) {
        double a = a1 - j * (a1 - a2) / 16;
        EXPECT_EQ(DrawnPoints(p)[size_t(j) + 1].X, float(cx + r * std::cos(a))) << j;
        EXPECT_EQ(DrawnPoints(p)[size_t(j) + 1].Y, float(cy + r * std::sin(a))) << j;
    }
}

// ---- widths, thickness, meshes ----

TEST(Polyline, UniformWidthBecomesConstantWidthWithoutOutline) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "40", "2", "41", "2", "10", "10", "20", "0",
                                "40", "2", "41", "2", "10", "10", "20", "5"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(p.ConstantWidth, 2);
    EXPECT_TRUE(p.Outline().empty());
    TBox3F b = p.GetBox();
    EXPECT_EQ(b.Left, -1);
    EXPECT_EQ(b.Right, 11);
    EXPECT_EQ(b.Bottom, -1);
    EXPECT_EQ(b.Top, 6);
}

TEST(Polyline, TaperedSegmentGetsAQuadrilateral) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "40", "2", "41", "4", "10", "10", "20", "0"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(p.ConstantWidth, 0);
    ASSERT_EQ(p.Outline().size(), 4u);
    // Normal of (1, 0) is (0, 1): V + n s/2, V - n s/2, W - n e/2, W + n e/2.
    EXPECT_EQ(p.Outline()[0], (TPoint3F{0, 1, 0}));
    EXPECT_EQ(p.Outline()[1], (TPoint3F{0, -1, 0}));
    EXPECT_EQ(p.Outline()[2], (TPoint3F{10, -2, 0}));
    EXPECT_EQ(p.Outline()[3], (TPoint3F{10, 2, 0}));
}

TEST(Polyline, WidthBandsFollowTheBulgeAndCloseTheOutlineAndCountForTheBox) {
    TkrDXFConverter conv;
    // A half circle (bulge 1) from (0, 0) to (10, 0) below the chord (centre
    // (5, 0), radius 5), 2 wide at its start and 4 at its end; then a closed
    // square whose closing segment alone is 2 wide (the others 1).
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "40", "2", "41", "4", "42", "1", "10", "10",
                                "20", "0", "0", "LWPOLYLINE", "70", "1", "10", "0", "20", "0", "40", "1", "41", "1",
                                "10", "10", "20", "0", "40", "1", "41", "1", "10", "10", "20", "10", "40", "1", "41",
                                "1", "10", "0", "20", "10", "40", "2", "41", "2"}));
    auto& arc = First<TkrDXFLWPolyline>(conv);
    // One quadrilateral per chord of the 16, the width growing by 1/8 a chord.
    ASSERT_EQ(arc.Outline().size(), 64u);
    const std::vector<TPoint3F> drawn = DrawnPoints(arc);  // V, the 16 arc points, W
    ASSERT_EQ(drawn.size(), 18u);
    for (size_t j = 0; j < 16; ++j) {
        const TPoint3F* q = &arc.Outline()[4 * j];
        const TPoint3F& a = drawn[j + 1];
        const TPoint3F& b = drawn[j + 2];
        // The corners lie across the chord, half the interpolated widths either side.
        double ws = 2 + 2.0 * double(j) / 16, we = 2 + 2.0 * double(j + 1) / 16;
        EXPECT_NEAR(std::hypot(double(q[0].X) - q[1].X, double(q[0].Y) - q[1].Y), ws, 1e-5) << j;
        EXPECT_NEAR(std::hypot(double(q[2].X) - q[3].X, double(q[2].Y) - q[3].Y), we, 1e-5) << j;
        EXPECT_NEAR((double(q[0].X) + q[1].X) / 2, a.X, 1e-5) << j;
        EXPECT_NEAR((double(q[2].Y) + q[3].Y) / 2, b.Y, 1e-5) << j;
    }
    // The band reaches below the arc by half its width there (about 1.5) and
    // beyond the end by 2: the box holds it.
    TBox3F box = arc.GetBox();
    EXPECT_LT(box.Bottom, -6.45);
    EXPECT_GT(box.Bottom, -6.55);
    EXPECT_GT(box.Right, 11.9);

    auto& square = First<TkrDXFLWPolyline>(conv, 1);
    EXPECT_EQ(square.ConstantWidth, 0);  // the widths differ: bands, no constant width
    ASSERT_EQ(square.Outline().size(), 16u);
    // The closing segment from (0, 10) to (0, 0): normal (1, 0), 2 wide.
    EXPECT_EQ(square.Outline()[12], (TPoint3F{1, 10, 0}));
    EXPECT_EQ(square.Outline()[13], (TPoint3F{-1, 10, 0}));
    EXPECT_EQ(square.Outline()[14], (TPoint3F{-1, 0, 0}));
    EXPECT_EQ(square.Outline()[15], (TPoint3F{1, 0, 0}));
    EXPECT_EQ(square.GetBox().Left, -1);
    EXPECT_EQ(square.GetBox().Right, 10.5f);
}

TEST(Polyline, ConstantWidthBelowAMillionthIsZero) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "43", "0.0000001", "10", "0", "20", "0", "10", "1", "20", "1"}));
    EXPECT_EQ(First<TkrDXFLWPolyline>(conv).ConstantWidth, 0);
}

TEST(Polyline, ThicknessMakesATwoRowMesh) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "39", "5", "10", "0", "20", "0", "10", "1", "20", "0", "10", "1",
                                "20", "1"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(p.MeshM(), 2);
    EXPECT_EQ(p.MeshN(), 3);
    ASSERT_EQ(p.VertexCount(), 6);
    EXPECT_EQ(DrawnPoints(p)[3], (TPoint3F{0, 0, 5}));
    EXPECT_TRUE(p.IsPolygonMesh());
    EXPECT_EQ(p.GetBox().Z2, 5);
    // Loaded again: still one mesh of six, not twelve.
    p.Loaded(conv);
    EXPECT_EQ(p.VertexCount(), 6);
}

TEST(Polyline, PolyfaceMeshGivesPointsAndFaceIndices) {
    std::vector<std::string> body = {"0", "POLYLINE", "66", "1", "70", "64", "71", "4", "72", "1"};
    const char* xy[4][2] = {{"0", "0"}, {"1", "0"}, {"1", "1"}, {"0", "1"}};
    for (auto& v : xy) body.insert(body.end(), {"0", "VERTEX", "10", v[0], "20", v[1], "70", "192"});
    body.insert(body.end(), {"0", "VERTEX", "70", "128", "71", "1", "72", "2", "73", "3", "74", "-4", "0", "SEQEND"});
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(body));
    auto& p = First<TkrDXFPolyline>(conv);
    EXPECT_TRUE(p.IsPolyfaceMesh());
    EXPECT_FALSE(p.IsPolygonMesh());
    ASSERT_EQ(DrawnPoints(p).size(), 4u);
    EXPECT_EQ(DrawnPoints(p)[2], (TPoint3F{1, 1, 0}));
    EXPECT_EQ(p.FaceIndices(), (std::vector<int32_t>{1, 2, 3, -4}));
    EXPECT_TRUE(p.Entities.empty());  // vertex entities released once copied
    EXPECT_EQ(conv.TableCount(tkEntities), 1);
}

TEST(Polyline, MeshSizeProductDoesNotWrapAround) {
    // 65536 x 65536 wraps to 0 in 32 bits, which one closed vertex would match.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "POLYLINE", "66", "1", "70", "1", "71", "65536", "72", "65536", "0", "VERTEX",
                                "10", "1", "0", "SEQEND"}));
    auto& p = First<TkrDXFPolyline>(conv);
    EXPECT_EQ(p.VertexCount(), 1);
    EXPECT_FALSE(p.IsPolygonMesh());
}

TEST(Polyline, MeshSizesFromSeventyThreeAndFourOverride) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "POLYLINE", "71", "3", "71", "9", "72", "4", "73", "5", "74", "6"}));
    auto& p = First<TkrDXFPolyline>(conv);
    EXPECT_EQ(p.MeshM(), 5);
    EXPECT_EQ(p.MeshN(), 6);
}

TEST(Polyline, WithoutCode66ItHasNoVerticesAndNoExtents) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "POLYLINE", "0", "VERTEX", "10", "1", "20", "1", "0", "SEQEND", "0", "LINE"}));
    auto& p = First<TkrDXFPolyline>(conv);
    EXPECT_EQ(p.VertexCount(), 0);
    EXPECT_TRUE(IsEmptyBox(p.GetBox()));
    EXPECT_TRUE(DrawnPoints(p).empty());
}

TEST(Polyline, AllVerticesAtTheOriginHaveNoExtents) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "10", "0", "20", "0"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_TRUE(IsEmptyBox(p.GetBox()));
    EXPECT_EQ(DrawnPoints(p).size(), 2u);
}

TEST(Polyline, ExtrusionMapsVerticesToWorld) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "38", "2", "230", "-1", "10", "1", "20", "2", "10", "3", "20",
                                "4"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    // OCS (1, 2, 2) with Ax = (-1, 0, 0), Ay = (0, 1, 0), Az = (0, 0, -1).
    EXPECT_EQ(DrawnPoints(p)[0], (TPoint3F{-1, 2, -2}));
    EXPECT_EQ(DrawnPoints(p)[1], (TPoint3F{-3, 4, -2}));
}

// ---- pen, colour, visibility ----

TEST(Polyline, InvisiblePolylineIsNotVisible) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "60", "1", "10", "0", "20", "0", "10", "1", "20", "1"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_FALSE(p.Visible);
    EXPECT_FALSE(p.PenLine.Visible);
    EXPECT_FALSE(p.IsVisible());
}

TEST(Polyline, ColourLayerHandleAndSpaceComeFromThePen) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "5", "1F", "8", "WALLS", "62", "1", "67", "1", "48", "2.5", "10",
                                "0", "20", "0", "10", "1", "20", "1"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(p.EntityColor(), 0x0000FF);
    EXPECT_EQ(ResolveColor(p, nullptr), 0x0000FF);
    EXPECT_EQ(p.Handle, 0x1Fu);
    EXPECT_TRUE(p.PaperSpace);
    ASSERT_NE(p.Layer, nullptr);
    EXPECT_EQ(p.Layer->Name, "WALLS");
    EXPECT_EQ(p.LineTypeScale, 2.5f);
    EXPECT_EQ(p.PenLine.LineTypeScale, 2.5f);
    p.SetColor(0x00FF00);
    EXPECT_EQ(p.PenLine.Color, 0x00FF00);
}

TEST(Polyline, LightweightWidthsBeforeTheFirstVertexOnlySetDefaults) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "40", "3", "41", "4", "42", "1", "10", "0", "20", "0", "10", "1",
                                "20", "0"}));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(p.DefaultStartWidth(), 3);
    EXPECT_EQ(p.DefaultEndWidth(), 4);
    EXPECT_EQ(p.SourceVertices[0].StartWidth, 0);
    EXPECT_EQ(p.SourceVertices[0].Bulge, 0);
    EXPECT_EQ(DrawnPoints(p).size(), 2u);
}

TEST(Polyline, PolylineWithVerticesGoesByTheNameItWasWrittenWith) {
    std::string text = Entities({"0", "POLYLINE", "66", "1", "0", "VERTEX", "10", "1", "0", "VERTEX", "10", "2", "0",
                                 "SEQEND", "0", "LINE"});
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    auto& p = First<TkrDXFPolyline>(conv);
    EXPECT_EQ(text.substr(p.SourceStart, 10), "0\nPOLYLINE");
    EXPECT_EQ(p.GetName(&conv), "POLYLINE");
}

// ---- hostile input ----

TEST(Hostile, HugeBulgesStayFiniteInCount) {
    for (const char* b : {"1e30", "-1e30", "1e-30"}) {
        TkrDXFConverter conv;
        conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "0", "20", "0", "42", b, "10", "10", "20", "0"}));
        auto& p = First<TkrDXFLWPolyline>(conv);
        EXPECT_EQ(DrawnPoints(p).size(), 18u) << b;
        (void)p.SegmentEntities();
    }
}

TEST(Hostile, InfiniteCoordinatesDoNotCrash) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "10", "1e400", "20", "0", "42", "1", "10", "-1e400", "20", "1e400",
                                "40", "1e400", "0", "LINE", "10", "1e400", "11", "-1e400", "0", "CIRCLE", "40",
                                "1e400"}));
    EXPECT_EQ(PointCount(*conv.EntityAt(0)), 18u);
    EXPECT_EQ(PointCount(*conv.EntityAt(1)), 2u);
    EXPECT_EQ(PointCount(*conv.EntityAt(2)), 33u);
}

TEST(Hostile, TooManyBulgedVerticesKeepStraightChords) {
    // 70000 bulged vertices would take 1.19 million points: the chords stay.
    std::vector<std::string> body = {"0", "LWPOLYLINE"};
    for (int i = 0; i < 70000; ++i) body.insert(body.end(), {"10", std::to_string(i), "20", "0", "42", "1"});
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(body));
    auto& p = First<TkrDXFLWPolyline>(conv);
    EXPECT_EQ(DrawnPoints(p).size(), 70000u);
    EXPECT_LE(DrawnPoints(p).size(), kMaxEntityPoints);
    EXPECT_EQ(conv.Bounds.EntityPoints, 1u);
    EXPECT_EQ(conv.Bounds.Messages(), std::vector<std::string>{"1 curve(s) or polyline(s) would need more than "
                                                               "1000000 points: drawn with fewer points or straight chords"});
}

TEST(Hostile, LwpolylineVertexCountIsNotPreallocated) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LWPOLYLINE", "90", "2000000000", "10", "0", "20", "0", "10", "1", "20", "1"}));
    EXPECT_EQ(DrawnPoints(First<TkrDXFLWPolyline>(conv)).size(), 2u);
}

TEST(PointCountOf, CountsFinishedPointsOfLinesAndPolylines) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LINE", "11", "1", "0", "CIRCLE", "40", "1", "0", "INSERT", "2", "X"}));
    EXPECT_EQ(PointCount(*conv.EntityAt(0)), 2u);
    EXPECT_EQ(PointCount(*conv.EntityAt(1)), 33u);
    EXPECT_EQ(PointCount(*conv.EntityAt(2)), 0u);
}

// ---- dashing ----

namespace {
// A drawing with one line type DASHED of the given elements, an optional
// $LTSCALE, and the entities.
std::string Dashed(const std::vector<std::string>& ticks, const std::vector<std::string>& body,
                   const std::string& ltscale = "") {
    std::string s;
    if (!ltscale.empty()) s += "0\nSECTION\n2\nHEADER\n9\n$LTSCALE\n40\n" + ltscale + "\n0\nENDSEC\n";
    s += "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n0\nLTYPE\n2\nDASHED\n";
    for (auto& t : ticks) s += "49\n" + t + "\n";
    s += "0\nENDTAB\n0\nENDSEC\n";
    return s + Entities(body);
}

std::vector<float> Xs(const std::vector<TPoint3F>& pts) {
    std::vector<float> r;
    for (auto& p : pts) r.push_back(p.X);
    return r;
}
}  // namespace

TEST(Dashing, LineGetsTheCentredPattern) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"8", "-2"}, {"0", "LINE", "6", "dashed", "11", "35"}));
    auto& l = First<TkrDXFLine>(conv);
    // Dashes 6.5, 8, 8, 6.5.
    EXPECT_EQ(Xs(DrawnPoints(l)), (std::vector<float>{0, 6.5f, 8.5f, 16.5f, 18.5f, 26.5f, 28.5f, 35}));
}

TEST(Dashing, GlobalAndEntityScalesDivideTheLength) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"8", "-2"}, {"0", "LINE", "6", "DASHED", "48", "2", "11", "140"}, "2"));
    EXPECT_EQ(Xs(DrawnPoints(First<TkrDXFLine>(conv))), (std::vector<float>{0, 26, 34, 66, 74, 106, 114, 140}));
}

TEST(Dashing, LayerLineTypeAppliesWhenTheEntityHasNone) {
    std::string text = Dashed({"8", "-2"}, {"0", "LINE", "8", "L", "11", "35"});
    text.replace(text.find("0\nENDTAB\n0\nENDSEC\n"), 0, "0\nENDTAB\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nL\n6\nDASHED\n");
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    EXPECT_EQ(DrawnPoints(First<TkrDXFLine>(conv)).size(), 8u);
}

TEST(Dashing, PatternOfZerosIsContinuous) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"0", "0"}, {"0", "LINE", "6", "DASHED", "11", "35"}));
    EXPECT_EQ(DrawnPoints(First<TkrDXFLine>(conv)).size(), 2u);
}

TEST(Dashing, ClosedPolylineIsCutPerSegment) {
    std::vector<std::string> body = kSquare;
    body.insert(body.begin() + 2, {"6", "DASHED"});
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"8", "-2"}, body));
    auto& p = First<TkrDXFLWPolyline>(conv);
    // Each side of 10 on its own: one repetition, dashes (8 + 0)/2... = 4 pairs
    // per side at most; the vertex list gains its closing point.
    EXPECT_EQ(VertexPointsOf(p).size(), 5u);
    TPointWork work;
    p.MakePoints(work);
    EXPECT_EQ(&p.GetVertexPoints(work), &work.Run);
    EXPECT_EQ(DrawnPoints(p).size() % 2, 0u);
    EXPECT_GT(DrawnPoints(p).size(), 8u);
    EXPECT_EQ(DrawnPoints(p).front(), (TPoint3F{0, 0, 0}));
}

TEST(Dashing, CircleIsCutAsOneRun) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"1", "-1"}, {"0", "CIRCLE", "6", "DASHED", "40", "10"}));
    auto& c = First<TkrDXFCircle>(conv);
    EXPECT_EQ(DrawnPoints(c).size() % 2, 0u);
    // About 62.8 / 2 dashes, plus the splits at vertices.
    EXPECT_GT(DrawnPoints(c).size(), 60u);
    for (auto& q : DrawnPoints(c)) EXPECT_NEAR(std::hypot(double(q.X), double(q.Y)), 10, 0.1);
}

TEST(Dashing, SplineOutputIsCut) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"0.5", "-0.5"}, {"0", "SPLINE", "6", "DASHED", "40", "0", "40", "0", "40", "0", "40",
                                               "0", "40", "1", "40", "1", "40", "1", "40", "1", "10", "0", "20", "0",
                                               "10", "1", "20", "2", "10", "3", "20", "2", "10", "4", "20", "0"}));
    auto& s = First<TkrDXFSpline>(conv);
    // The evaluated curve (27 points), not the control polygon; the cut drops
    // the repeated first point from it.
    EXPECT_EQ(VertexPointsOf(s).size(), 26u);
    EXPECT_GT(DrawnPoints(s).size(), 6u);
    EXPECT_EQ(DrawnPoints(s).size() % 2, 0u);
}

TEST(Hostile, TinyOrDenormalPatternsDrawSolid) {
    for (const char* t : {"1e-45", "1e-300", "0.0001"}) {
        TkrDXFConverter conv;
        conv.LoadFromText(Dashed({t, std::string("-") + t}, {"0", "LINE", "6", "DASHED", "11", "35"}));
        EXPECT_EQ(Xs(DrawnPoints(First<TkrDXFLine>(conv))), (std::vector<float>{0, 35})) << t;
    }
}

TEST(Hostile, DashedInfiniteLineDrawsSolid) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"8", "-2"}, {"0", "LINE", "6", "DASHED", "11", "1e400"}));
    EXPECT_EQ(DrawnPoints(First<TkrDXFLine>(conv)).size(), 2u);
}

TEST(Hostile, DashesBeyondThePointBoundDrawSolidPairs) {
    // 3000 segments of 999 units with a pattern of 1: each segment alone is
    // cut (999 repetitions), together they would give about 6 million points.
    std::vector<std::string> body = {"0", "LWPOLYLINE", "6", "DASHED"};
    for (int i = 0; i <= 3000; ++i) body.insert(body.end(), {"10", std::to_string(i * 999), "20", "0"});
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"0.5", "-0.5"}, body));
    auto& p = First<TkrDXFLWPolyline>(conv);
    ASSERT_EQ(DrawnPoints(p).size(), 6000u);
    EXPECT_EQ(DrawnPoints(p)[1], DrawnPoints(p)[2]);
    EXPECT_EQ(DrawnPoints(p)[5999], (TPoint3F{2997000, 0, 0}));
    EXPECT_EQ(conv.Bounds.DashPoints, 1u);
    EXPECT_EQ(conv.Bounds.EntityPoints, 0u);
}

TEST(Hostile, ALineOfAPatternWithThousandsOfElementsDrawsSolid) {
    // 999 repetitions of 2000 elements: about 2 million points for one line.
    std::vector<std::string> ticks;
    for (int i = 0; i < 1000; ++i) ticks.insert(ticks.end(), {"0.25", "-0.25"});
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed(ticks, {"0", "LINE", "6", "DASHED", "11", "249750"}));
    EXPECT_EQ(Xs(DrawnPoints(First<TkrDXFLine>(conv))), (std::vector<float>{0, 249750}));
    EXPECT_EQ(conv.Bounds.DashPoints, 1u);
    EXPECT_EQ(conv.Bounds.Messages(),
              std::vector<std::string>{"1 dashed line(s) drawn solid: their dashes would pass 1000000 points for one "
                                       "line or the dash points of the whole drawing (4000000 + 16 per byte of the "
                                       "file)"});
}

TEST(Hostile, DashPointsOfTheWholeDrawingAreBounded) {
    // Each line cuts about 498,000 points (496 repetitions of 1000 elements),
    // under the bound of one entity; 40 of them would make 20 million points
    // from a dozen kilobytes. The drawing's dash points stop at its bound and
    // the remaining lines are drawn solid.
    std::vector<std::string> ticks;
    for (int i = 0; i < 500; ++i) ticks.insert(ticks.end(), {"0.25", "-0.25"});
    std::vector<std::string> body;
    for (int i = 0; i < 40; ++i) body.insert(body.end(), {"0", "LINE", "6", "DASHED", "11", "124000"});
    std::string text = Dashed(ticks, body);
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    const uint64_t budget = kDashPointsBase + kDashPointsPerByte * text.size();
    uint64_t total = 0;
    size_t cut = 0;
    for (int i = 0; i < 40; ++i) {
        auto& l = static_cast<TkrDXFLine&>(*conv.EntityAt(i));
        total += DrawnPoints(l).size();
        if (DrawnPoints(l).size() > 2) ++cut;
        else EXPECT_EQ(Xs(DrawnPoints(l)), (std::vector<float>{0, 124000})) << i;
    }
    EXPECT_LE(total, budget);
    EXPECT_EQ(cut, size_t(budget / 498004));  // every line cuts the same count until the bound
    EXPECT_EQ(conv.Bounds.DashPoints, 40 - cut);
    EXPECT_EQ(conv.DashPointsLeft, budget - total);
    // A new load starts with the whole bound again.
    conv.LoadFromText(text);
    EXPECT_EQ(conv.Bounds.DashPoints, 40 - cut);
}

TEST(Hostile, OrdinaryGeometryReachesNoBound) {
    std::vector<std::string> body = {"0", "LWPOLYLINE", "6", "DASHED", "39", "2"};
    for (int i = 0; i < 1000; ++i) body.insert(body.end(), {"10", std::to_string(i), "20", "0", "42", "0.5"});
    body.insert(body.end(), {"0", "CIRCLE", "40", "1e6", "6", "DASHED", "0", "LINE", "11", "900", "6", "DASHED"});
    TkrDXFConverter conv;
    conv.LoadFromText(Dashed({"0.5", "-0.5"}, body));
    EXPECT_FALSE(conv.Bounds.Any());
    EXPECT_TRUE(conv.Bounds.Messages().empty());
}
