// Curves: circle, arc and ellipse tessellation, B-spline evaluation, fit-point
// interpolation and re-finishing after a resolution change.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/curves.h"
#include "drawn_points.h"

#include "dxf_snippets.h"

namespace {
using dxftest::Entities;

template <class T>
T& Only(TkrDXFConverter& conv) {
    EXPECT_GE(conv.TableCount(tkEntities), 1);
    return *static_cast<T*>(conv.EntityAt(0));
}

// The angle of a point about (cx, cy) in degrees.
double AngleOf(const TPoint3F& p, double cx = 0, double cy = 0) {
    return std::atan2(p.Y - cy, p.X - cx) * 180 / kPi;
}

std::vector<std::string> Spline(const std::vector<std::string>& knots,
                                 const std::vector<std::pair<double, double>>& controls,
                                 const std::vector<std::string>& extra = {}) {
    std::vector<std::string> b = {"0", "SPLINE", "70", "8", "71", "3", "72", std::to_string(knots.size())};
    for (auto& k : knots) b.insert(b.end(), {"40", k});
    for (auto& [x, y] : controls) b.insert(b.end(), {"10", std::to_string(x), "20", std::to_string(y), "30", "0"});
    b.insert(b.end(), extra.begin(), extra.end());
    return b;
}

const std::vector<std::pair<double, double>> kFour = {{0, 0}, {1, 2}, {3, 2}, {4, 0}};
const std::vector<std::string> kClamped = {"0", "0", "0", "0", "1", "1", "1", "1"};
}  // namespace

// ---- circles ----

TEST(Circle, DefaultResolutionGivesThirtyTwoPointsClosed) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "CIRCLE", "10", "3", "20", "4", "40", "2"}));
    auto& c = Only<TkrDXFCircle>(conv);
    EXPECT_TRUE(c.Closed);
    ASSERT_EQ(c.VertexCount(), 32);
    // The first vertex at angle 0, the last at 2 pi; the point list of a
    // closed polyline repeats its first point once more.
    EXPECT_EQ(DrawnPoints(c)[0], (TPoint3F{5, 4, 0}));
    EXPECT_NEAR(DrawnPoints(c)[31].X, 5, 1e-5);
    EXPECT_NEAR(DrawnPoints(c)[31].Y, 4, 1e-5);
    ASSERT_EQ(DrawnPoints(c).size(), 33u);
    EXPECT_EQ(DrawnPoints(c)[32], DrawnPoints(c)[0]);
    // Counter-clockwise, 360/31 degrees apart.
    EXPECT_NEAR(AngleOf(DrawnPoints(c)[1], 3, 4), 360.0 / 31, 1e-4);
    // The box is that of the 32 points (no point lies exactly at 180 degrees).
    TBox3F b = c.GetBox();
    EXPECT_EQ(b.Right, 5);
    EXPECT_GT(b.Left, 1);
    EXPECT_LT(b.Left, 1.02);
    EXPECT_LT(b.Top, 6);
    EXPECT_EQ(c.Radius, 2);
    EXPECT_EQ(c.Parts, 16);
}

TEST(Circle, PointsAreComputedInDoubleAndRoundedOnce) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "CIRCLE", "10", "1000.1", "20", "-77.7", "40", "0.7"}));
    auto& c = Only<TkrDXFCircle>(conv);
    double cx = 1000.1f, cy = -77.7f, r = 0.7f;
    double step = (360 * (kPi / 180)) / 31, a = 0;
    for (int k = 0; k < 32; ++k, a += step) {
        EXPECT_EQ(DrawnPoints(c)[size_t(k)].X, float(cx + std::cos(a) * r * 1 - std::sin(a) * r * 0)) << k;
        EXPECT_EQ(DrawnPoints(c)[size_t(k)].Y, float(cy + std::cos(a) * r * 0 + std::sin(a) * r * 1)) << k;
    }
}

TEST(Circle, AtTheOriginKeepsItsBox) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "CIRCLE", "40", "1"}));
    EXPECT_FALSE(IsEmptyBox(Only<TkrDXFCircle>(conv).GetBox()));
}

TEST(Circle, ExtrusionMapsTheTessellation) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "CIRCLE", "10", "5", "20", "0", "40", "1", "230", "-1"}));
    auto& c = Only<TkrDXFCircle>(conv);
    // OCS centre (5, 0) lies at world x = -5; the first point at OCS (6, 0).
    EXPECT_EQ(DrawnPoints(c)[0], (TPoint3F{-6, 0, 0}));
}

TEST(Circle, ResolutionChangeRefinishesCirclesAndSplines) {
    std::vector<std::string> body = {"0", "CIRCLE", "40", "1", "0", "ARC", "40", "1", "51", "90"};
    auto s = Spline(kClamped, kFour);
    body.insert(body.end(), s.begin(), s.end());
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(body));
    auto& c = *static_cast<TkrDXFCircle*>(conv.EntityAt(0));
    auto& a = *static_cast<TkrDXFArc*>(conv.EntityAt(1));
    auto& sp = *static_cast<TkrDXFSpline*>(conv.EntityAt(2));
    conv.SetCirclePoints(8);
    EXPECT_EQ(c.VertexCount(), 16);
    EXPECT_EQ(DrawnPoints(c).size(), 17u);
    EXPECT_EQ(DrawnPoints(a).size(), 4u);  // round(0.5 * 8)
    // Ten additions of 0.1 stay just below 1: one more point than parts.
    conv.SetSplineParts(10);
    EXPECT_EQ(DrawnPoints(sp).size(), 13u);
    conv.SetCirclePoints(16);
    EXPECT_EQ(DrawnPoints(c).size(), 33u);
}

TEST(Circle, APlainCircleHasTheBoxOfAllItsPoints) {
    // A plain circle's box is made of the points at its extreme angles
    // only; a dashed one (whose dashes are counted) makes every point. Both
    // boxes are the same to the bit, across centres on and off the axes
    // (signed zeros), tiny, huge and odd radii, and chord tolerances.
    uint64_t seed = 99;
    auto next = [&](int n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return int((seed >> 33) % uint64_t(n));
    };
    const char* const centres[] = {"0", "-0", "1", "-1", "0.5", "1e-7", "-3.25", "1000.1", "-77.7", "1e7", "3e38"};
    // (The huge radius last: with a tolerance it would make a million points.)
    const char* const radii[] = {"1", "0.7", "1e-6", "2.5", "1e6", "123.456", "0.5", "1e-30", "3e38"};
    for (const char* tolerance : {"", "0.5"}) {
        std::vector<std::string> plain, dashed;
        for (int i = 0; i < 300; ++i) {
            const std::vector<std::string> circle = {"0", "CIRCLE", "10", centres[next(11)], "20", centres[next(11)],
                                                     "30", centres[next(3)], "40", radii[next(*tolerance ? 8 : 9)]};
            plain.insert(plain.end(), circle.begin(), circle.end());
            dashed.insert(dashed.end(), circle.begin(), circle.end());
            dashed.insert(dashed.end(), {"6", "DASHED"});
        }
        TkrDXFConverter a, b;
        if (*tolerance) a.ChordTolerance = b.ChordTolerance = std::stod(tolerance);
        a.LoadFromText(Entities(plain));
        b.LoadFromText("0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n0\nLTYPE\n2\nDASHED\n49\n1e30\n49\n-1\n"
                       "0\nENDTAB\n0\nENDSEC\n" +
                       Entities(dashed));
        ASSERT_EQ(a.TableCount(tkEntities), 300);
        ASSERT_EQ(b.TableCount(tkEntities), 300);
        for (int i = 0; i < 300; ++i) {
            auto& ca = *static_cast<TkrDXFCircle*>(a.EntityAt(i));
            auto& cb = *static_cast<TkrDXFCircle*>(b.EntityAt(i));
            ASSERT_TRUE(cb.Dashed());
            const TBox3F ba = ca.GetBox(), bb = cb.GetBox();
            ASSERT_EQ(std::memcmp(&ba, &bb, sizeof ba), 0) << "circle " << i << " tolerance " << tolerance;
            ASSERT_EQ(ca.VertexCount(), cb.VertexCount()) << i;
        }
    }
}

// ---- arcs ----

TEST(Arc, ZeroToZeroIsAFullOpenTurn) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ARC", "40", "1", "50", "0", "51", "0"}));
    auto& a = Only<TkrDXFArc>(conv);
    EXPECT_FALSE(a.Closed);
    EXPECT_EQ(DrawnPoints(a).size(), 32u);
}

TEST(Arc, ThreeFiftyToTenSweepsTwentyDegreesInThreePoints) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ARC", "40", "1", "50", "350", "51", "10"}));
    auto& a = Only<TkrDXFArc>(conv);
    TArcParams p = a.GetArcParams();
    EXPECT_EQ(p.StartAngle, -10);
    EXPECT_EQ(p.EndAngle, 10);
    ASSERT_EQ(DrawnPoints(a).size(), 3u);
    EXPECT_NEAR(AngleOf(DrawnPoints(a)[0]), -10, 1e-4);
    EXPECT_NEAR(AngleOf(DrawnPoints(a)[1]), 0, 1e-4);
    EXPECT_NEAR(AngleOf(DrawnPoints(a)[2]), 10, 1e-4);
}

TEST(Arc, PointCountFollowsTheSweep) {
    struct {
        const char *s, *e;
        size_t n;
    } cases[] = {{"0", "90", 8}, {"0", "1", 3}, {"90", "0", 24}, {"10", "10", 32}, {"-720", "-630", 8},
                 // 45 degrees: 0.25 * 16 = 4; 33.75 degrees: 3 exactly; 39.375: 3.5 -> 4 (halves to even)
                 {"0", "45", 4}, {"0", "33.75", 3}, {"0", "39.375", 4}, {"0", "50.625", 4}};
    for (auto& c : cases) {
        TkrDXFConverter conv;
        conv.LoadFromText(Entities({"0", "ARC", "40", "1", "50", c.s, "51", c.e}));
        EXPECT_EQ(DrawnPoints(Only<TkrDXFArc>(conv)).size(), c.n) << c.s << " " << c.e;
    }
}

TEST(Arc, RunsCounterClockwiseFromStartToEnd) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ARC", "40", "1", "50", "90", "51", "0"}));
    auto& a = Only<TkrDXFArc>(conv);
    // From 90 through 180 and 270 to 360: the middle lies at 225 degrees.
    EXPECT_NEAR(AngleOf(DrawnPoints(a)[0]), 90, 1e-4);
    double mid = AngleOf(DrawnPoints(a)[DrawnPoints(a).size() / 2]);
    EXPECT_LT(mid, -90);
    const std::vector<TPoint3F> pts = DrawnPoints(a);
    for (size_t i = 1; i < pts.size(); ++i) {
        const TPoint3F &p = pts[i - 1], &q = pts[i];
        EXPECT_GT(double(p.X) * q.Y - double(p.Y) * q.X, 0) << i;
    }
}

TEST(Arc, EndPointsFollowTheStoredAnglesAndExtrusion) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ARC", "10", "1", "20", "1", "40", "2", "50", "90", "51", "180", "230", "-1"}));
    auto& a = Only<TkrDXFArc>(conv);
    // OCS start (1, 3), end (-1, 1); x mirrored in world.
    EXPECT_NEAR(a.StartPoint.X, -1, 1e-6);
    EXPECT_NEAR(a.StartPoint.Y, 3, 1e-6);
    EXPECT_NEAR(a.EndPoint.X, 1, 1e-6);
    EXPECT_NEAR(a.EndPoint.Y, 1, 1e-6);
}

// ---- ellipses ----

TEST(Ellipse, NegativeExtrusionMirrorsTheParameters) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ELLIPSE", "10", "0", "20", "0", "11", "2", "21", "0", "40", "0.5", "41", "0",
                                "42", "1.5707963267949", "230", "-1"}));
    auto& e = Only<TkrDXFEllipse>(conv);
    // Parameters -pi/2 to 0 about +z: from (0, -1) to (2, 0), 8 points.
    EXPECT_EQ(e.PenLine.Extrusion, (TPoint3F{0, 0, 1}));
    EXPECT_FLOAT_EQ(e.StartAngle, -90);
    ASSERT_EQ(DrawnPoints(e).size(), 8u);
    EXPECT_NEAR(DrawnPoints(e)[0].X, 0, 1e-6);
    EXPECT_NEAR(DrawnPoints(e)[0].Y, -1, 1e-6);
    EXPECT_NEAR(DrawnPoints(e)[7].X, 2, 1e-6);
    EXPECT_NEAR(DrawnPoints(e)[7].Y, 0, 1e-6);
    // Loaded again: the parameters are not mirrored twice.
    e.Loaded(conv);
    EXPECT_NEAR(DrawnPoints(e)[0].Y, -1, 1e-6);
}

TEST(Ellipse, RatioOneIsACircleStartingOnTheMajorAxis) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ELLIPSE", "10", "1", "20", "1", "11", "0", "21", "3", "40", "1", "50", "45",
                                "51", "90"}));
    auto& e = Only<TkrDXFEllipse>(conv);
    EXPECT_EQ(e.Radius, 3);
    ASSERT_EQ(DrawnPoints(e).size(), 32u);  // 50/51 ignored: a full turn
    EXPECT_NEAR(DrawnPoints(e)[0].X, 1, 1e-6);
    EXPECT_NEAR(DrawnPoints(e)[0].Y, 4, 1e-6);
    for (auto& p : DrawnPoints(e)) EXPECT_NEAR(std::hypot(p.X - 1.0, p.Y - 1.0), 3, 1e-5);
}

TEST(Ellipse, MinorAxisIsRatioTimesMajor) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ELLIPSE", "11", "4", "40", "0.25", "41", "1.5707963267949", "42",
                                "1.5707963267949"}));
    auto& e = Only<TkrDXFEllipse>(conv);
    TArcParams p = e.GetArcParams();
    EXPECT_EQ(p.RadiusY, 1);
    EXPECT_EQ(p.Cos, 1);
    // Equal parameters: a full turn starting at the minor axis end (0, 1).
    EXPECT_NEAR(DrawnPoints(e)[0].X, 0, 1e-6);
    EXPECT_NEAR(DrawnPoints(e)[0].Y, 1, 1e-6);
}

// ---- splines ----

TEST(SplineCurve, ClampedCubicGivesFirstPointSpanAndLastPoint) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline(kClamped, kFour)));
    auto& s = Only<TkrDXFSpline>(conv);
    EXPECT_EQ(s.ControlCount(), 4);
    ASSERT_EQ(DrawnPoints(s).size(), 27u);
    EXPECT_EQ(DrawnPoints(s)[0], (TPoint3F{0, 0, 0}));
    EXPECT_EQ(DrawnPoints(s)[1], (TPoint3F{0, 0, 0}));  // t = 0 repeats the first control point
    EXPECT_EQ(DrawnPoints(s)[26], (TPoint3F{4, 0, 0}));
    // Point 1 + k lies at t = 0.04 k on the Bezier curve of the four points.
    for (int k = 0; k < 25; ++k) {
        double t = 0.04 * k, u = 1 - t;
        double x = 3 * u * u * t * 1 + 3 * u * t * t * 3 + t * t * t * 4;
        double y = 3 * u * u * t * 2 + 3 * u * t * t * 2;
        EXPECT_NEAR(DrawnPoints(s)[size_t(k) + 1].X, x, 1e-5) << k;
        EXPECT_NEAR(DrawnPoints(s)[size_t(k) + 1].Y, y, 1e-5) << k;
    }
}

TEST(SplineCurve, WeightsThatDoNotFitAndTolerancesChangeNothing) {
    // Two weights for four control points: left out, with a warning.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline(kClamped, kFour, {"41", "5", "41", "0.1", "42", "1e-10", "43", "1e-10"})));
    auto& s = Only<TkrDXFSpline>(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 27u);
    EXPECT_NEAR(DrawnPoints(s)[13].Y, 3 * 0.52 * 0.52 * 0.48 * 2 + 3 * 0.52 * 0.48 * 0.48 * 2, 1e-5);
    EXPECT_EQ(conv.Bounds.SplineWeights, 1u);
}

TEST(SplineCurve, ShortKnotListsArePaddedWithTheLastKnot) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline({"0", "0", "0", "0", "1"}, kFour)));
    auto& s = Only<TkrDXFSpline>(conv);
    EXPECT_EQ(DrawnPoints(s).size(), 27u);
    EXPECT_EQ(s.Knots.size(), 5u);
}

TEST(SplineCurve, WithoutKnotsTheControlPolygonIsDrawn) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline({}, kFour)));
    auto& s = Only<TkrDXFSpline>(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 4u);
    EXPECT_EQ(DrawnPoints(s)[1], (TPoint3F{1, 2, 0}));
}

TEST(SplineCurve, OnlyFitPointsDrawTheCurveThroughThem) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "SPLINE", "11", "0", "21", "0", "11", "5", "21", "5", "11", "9", "21", "1"}));
    auto& s = Only<TkrDXFSpline>(conv);
    EXPECT_EQ(s.FitCount(), 3);
    // Two spans of 25 points, the start and the end point.
    ASSERT_EQ(DrawnPoints(s).size(), 52u);
    EXPECT_EQ(DrawnPoints(s)[0], (TPoint3F{0, 0, 0}));
    EXPECT_NEAR(DrawnPoints(s)[26].X, 5, 1e-5);  // the span of the middle fit point begins on it
    EXPECT_NEAR(DrawnPoints(s)[26].Y, 5, 1e-5);
    EXPECT_EQ(DrawnPoints(s)[51], (TPoint3F{9, 1, 0}));
}

TEST(SplineCurve, ThreeControlPointsGiveOnlyTheEnds) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline({"0", "0", "0", "1", "1", "1"}, {{0, 0}, {1, 1}, {2, 0}})));
    auto& s = Only<TkrDXFSpline>(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 2u);
    EXPECT_EQ(DrawnPoints(s)[1], (TPoint3F{2, 0, 0}));
}

TEST(SplineCurve, KnotsWithoutControlPointsGiveAnEmptyList) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline(kClamped, {})));
    EXPECT_TRUE(DrawnPoints(Only<TkrDXFSpline>(conv)).empty());
}

TEST(SplineCurve, TwoSpansAndTheHundredthStepException) {
    // Five control points: spans [0,0.5) and [0.5,1) with 25 points each...
    std::vector<std::string> knots = {"0", "0", "0", "0", "0.5", "1", "1", "1", "1"};
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline(knots, {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}})));
    EXPECT_EQ(DrawnPoints(Only<TkrDXFSpline>(conv)).size(), 52u);
    // ...unless control points 3 and 4 coincide in X and Y: 100 steps a span.
    TkrDXFConverter conv2;
    conv2.LoadFromText(Entities(Spline(knots, {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {3, 1}})));
    size_t n = DrawnPoints(Only<TkrDXFSpline>(conv2)).size();
    EXPECT_GE(n, 202u);
    EXPECT_LE(n, 204u);
}

TEST(SplineCurve, EvaluatedPointsAreWorldCoordinates) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline(kClamped, kFour, {"230", "-1"})));
    auto& s = Only<TkrDXFSpline>(conv);
    EXPECT_EQ(s.PenLine.Extrusion, (TPoint3F{0, 0, 1}));
    EXPECT_EQ(DrawnPoints(s)[26], (TPoint3F{4, 0, 0}));
}

TEST(SplineCurve, FitPointModeInterpolatesThroughTheFitPoints) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "SPLINE", "11", "0", "21", "0", "11", "1", "21", "1", "11", "2", "21", "0"}));
    auto& s = Only<TkrDXFSpline>(conv);
    s.FitPointMode = true;
    s.Loaded(conv);
    // Two spans of 26 points; consecutive spans share a repeated point.
    ASSERT_EQ(DrawnPoints(s).size(), 52u);
    EXPECT_EQ(DrawnPoints(s)[0], (TPoint3F{0, 0, 0}));
    EXPECT_EQ(DrawnPoints(s)[25], (TPoint3F{1, 1, 0}));
    EXPECT_EQ(DrawnPoints(s)[26], (TPoint3F{1, 1, 0}));
    EXPECT_EQ(DrawnPoints(s)[51], (TPoint3F{2, 0, 0}));
    // Natural ends: M0 = M2 = 0, M1 = 1.5 * (-1 - 1) = -3 for y; at v = 0.5 of
    // span 0: y = (-3 * 0.125) / 6 + 0.5 * (3 / 6 + 1) = 0.6875.
    EXPECT_NEAR(DrawnPoints(s)[12].Y, 0.48 + (-3 * 0.48 * 0.48 * 0.48) / 6 + 0.48 * (3.0 / 6), 1e-6);
    std::vector<TPoint3F> out;
    EXPECT_FALSE(InterpolateFitPoints({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, {}, {}, 2, out));
    ASSERT_EQ(out.size(), 6u);
    EXPECT_FLOAT_EQ(out[1].Y, 0.6875f);
    // A resolution past the point bound is lowered, and says so.
    EXPECT_TRUE(InterpolateFitPoints({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, {}, {}, 2000000000, out));
    EXPECT_EQ(out.size(), 2 * (kMaxEntityPoints / 2));
}

TEST(SplineCurve, TangentsBendTheEnds) {
    std::vector<TPoint3F> fit = {{0, 0, 0}, {1, 0, 0}}, natural, bent;
    InterpolateFitPoints(fit, {}, {}, 4, natural);
    InterpolateFitPoints(fit, {0, 5, 0}, {0, -5, 0}, 4, bent);  // normalised to (0, 1) and (0, -1)
    ASSERT_EQ(bent.size(), 5u);
    EXPECT_EQ(natural[2].Y, 0);
    // Leaving upwards and arriving downwards: the middle is lifted.
    EXPECT_GT(bent[2].Y, 0.1f);
    EXPECT_EQ(bent[0], (TPoint3F{0, 0, 0}));
    EXPECT_EQ(bent[4], (TPoint3F{1, 0, 0}));
}

// ---- hostile input ----

TEST(Hostile, AnnouncedKnotCountIsNotPreallocated) {
    auto body = Spline(kClamped, kFour);
    body[7] = "10000000";  // 72: number of knots
    body.insert(body.end(), {"73", "2000000000", "74", "2000000000"});
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(body));
    EXPECT_EQ(DrawnPoints(Only<TkrDXFSpline>(conv)).size(), 27u);
}

TEST(Hostile, HugeOrNegativeResolutionsAreBounded) {
    auto start = std::chrono::steady_clock::now();
    TkrDXFConverter conv;
    conv.SplineParts = 2000000000;
    conv.CirclePoints = 2000000000;
    conv.LoadFromText(Entities([] {
        auto b = Spline(kClamped, kFour);
        b.insert(b.end(), {"0", "CIRCLE", "40", "1"});
        return b;
    }()));
    EXPECT_LE(PointCount(*conv.EntityAt(0)), kMaxEntityPoints);
    EXPECT_LE(static_cast<TkrDXFCircle*>(conv.EntityAt(1))->VertexCount(), int(kMaxEntityPoints));
    EXPECT_EQ(conv.Bounds.EntityPoints, 2u);  // the spline and the circle
    conv.Bounds.Clear();
    conv.SetSplineParts(-5);
    conv.SetCirclePoints(-5);
    EXPECT_EQ(PointCount(*conv.EntityAt(0)), 3u);  // one point per span at parts 1
    EXPECT_EQ(PointCount(*conv.EntityAt(1)), 4u);  // at least 3, closed
    EXPECT_FALSE(conv.Bounds.Any());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(Hostile, HugeAnglesAndRadiiAreBounded) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "ARC", "40", "1", "50", "1e30", "51", "-3e38", "0", "ELLIPSE", "11", "1e400",
                                "41", "1e300", "42", "-1e300", "0", "ARC", "40", "1", "50", "1e400"}));
    for (int i = 0; i < 3; ++i) EXPECT_LE(PointCount(*conv.EntityAt(i)), kMaxEntityPoints) << i;
    EXPECT_GE(PointCount(*conv.EntityAt(2)), 3u);
}

TEST(Hostile, KnotsWithInfiniteAndNonIncreasingValuesEnd) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline({"0", "0", "0", "-1e400", "1e400", "1e400", "5", "1", "0"},
                                      {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}})));
    EXPECT_LE(DrawnPoints(Only<TkrDXFSpline>(conv)).size(), 2u + 2 * 27u);
}
