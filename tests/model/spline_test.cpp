// Splines as CAD programs write them: the degree of group 71, rational curves
// (weights 41), curves through fit points, and what happens to data that does
// not fit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/curves.h"
#include "model/entities/spline_math.h"
#include "drawn_points.h"

#include "dxf_snippets.h"

namespace {
using dxftest::Entities;

TkrDXFSpline& First(TkrDXFConverter& conv) { return *static_cast<TkrDXFSpline*>(conv.EntityAt(0)); }

// A SPLINE of the given degree with knots, control points and extra groups.
std::vector<std::string> Spline(int degree, const std::vector<std::string>& knots,
                                 const std::vector<std::pair<double, double>>& controls,
                                 const std::vector<std::string>& extra = {}) {
    std::vector<std::string> b = {"0", "SPLINE", "70", "8", "71", std::to_string(degree)};
    for (auto& k : knots) b.insert(b.end(), {"40", k});
    for (auto& [x, y] : controls) b.insert(b.end(), {"10", std::to_string(x), "20", std::to_string(y), "30", "0"});
    b.insert(b.end(), extra.begin(), extra.end());
    return b;
}

void ExpectNear(const TPoint3F& p, double x, double y, double eps = 1e-5) {
    EXPECT_NEAR(p.X, x, eps);
    EXPECT_NEAR(p.Y, y, eps);
}

const std::vector<std::pair<double, double>> kArch = {{0, 0}, {1, 2}, {3, 2}, {4, 0}};
const std::vector<std::pair<double, double>> kQuarter = {{1, 0}, {1, 1}, {0, 1}};
const std::vector<std::string> kQuadKnots = {"0", "0", "0", "1", "1", "1"};
}  // namespace

TEST(SplineDegree, AQuadraticIsEvaluatedOnItsOwnKnots) {
    // Degree 2, knots 0 0 0 0.5 1 1 1: spans [0, 0.5) and [0.5, 1), steps of
    // 0.02; the start point, 25 + 25 points, the end point.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(Spline(2, {"0", "0", "0", "0.5", "1", "1", "1"}, kArch)));
    auto& s = First(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 52u);
    ExpectNear(DrawnPoints(s)[0], 0, 0);
    ExpectNear(DrawnPoints(s)[1], 0, 0);
    // De Boor at t = 0.24: d2 = 0.76 P1 + 0.24 P2 = (1.48, 2), d1 = 0.52 P0 +
    // 0.48 P1 = (0.48, 0.96), then 0.52 d1 + 0.48 d2 = (0.96, 1.4592).
    ExpectNear(DrawnPoints(s)[13], 0.96, 1.4592);
    // At the inner knot t = 0.5 the curve is the middle of P1 and P2.
    ExpectNear(DrawnPoints(s)[26], 2, 2);
    // t = 0.76 mirrors t = 0.24 (the control points and knots are symmetric).
    ExpectNear(DrawnPoints(s)[39], 3.04, 1.4592);
    EXPECT_EQ(DrawnPoints(s)[51], (TPoint3F{4, 0, 0}));
    EXPECT_FALSE(conv.Bounds.Any());
}

TEST(SplineDegree, AQuinticBezierFollowsItsBernsteinPolynomial) {
    // Six control points, knots 0 x6, 1 x6, two steps a span: the start, t = 0,
    // t = 0.5, the end. C(0.5) = sum C(5, j) / 32 P(j): x = 80 / 32, y = (5*3
    // + 10*-1 + 10*4 + 2) / 32.
    TkrDXFConverter conv;
    conv.SplineParts = 2;
    conv.LoadFromText(Entities(Spline(5, {"0", "0", "0", "0", "0", "0", "1", "1", "1", "1", "1", "1"},
                                      {{0, 0}, {1, 3}, {2, -1}, {3, 4}, {4, 0}, {5, 2}})));
    auto& s = First(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 4u);
    ExpectNear(DrawnPoints(s)[2], 2.5, 47.0 / 32);
    EXPECT_EQ(DrawnPoints(s)[3], (TPoint3F{5, 2, 0}));
}

TEST(SplineDegree, ADegreeOfOneIsTheControlPolygonStepped) {
    TkrDXFConverter conv;
    conv.SplineParts = 2;
    conv.LoadFromText(Entities(Spline(1, {"0", "0", "1", "2", "2"}, {{0, 0}, {2, 2}, {4, 0}})));
    auto& s = First(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 6u);
    ExpectNear(DrawnPoints(s)[2], 1, 1);
    ExpectNear(DrawnPoints(s)[3], 2, 2);
    ExpectNear(DrawnPoints(s)[4], 3, 1);
}

TEST(SplineWeights, ARationalQuarterCircleLiesOnTheCircle) {
    // The quarter circle as CAD programs write it: degree 2, weights 1,
    // sqrt(1/2), 1.
    TkrDXFConverter conv;
    conv.LoadFromText(
        Entities(Spline(2, kQuadKnots, kQuarter, {"41", "1", "41", "0.7071067811865476", "41", "1"})));
    auto& s = First(conv);
    ASSERT_EQ(DrawnPoints(s).size(), 27u);
    for (const TPoint3F& p : DrawnPoints(s)) EXPECT_NEAR(std::hypot(double(p.X), double(p.Y)), 1, 1e-6);
    // The middle of the parameter range is the middle of the arc, at 45 degrees.
    ExpectNear(DrawnPoints(s)[13], std::cos(kPi / 4 * (1 + 0.04)), std::sin(kPi / 4 * (1 + 0.04)), 0.05);
    EXPECT_EQ(DrawnPoints(s)[26], (TPoint3F{0, 1, 0}));
    // Without the weights the same points make a parabola: (0.75, 0.75) in the
    // middle, well inside the circle.
    TkrDXFConverter plain;
    plain.SplineParts = 2;
    plain.LoadFromText(Entities(Spline(2, kQuadKnots, kQuarter)));
    ExpectNear(DrawnPoints(First(plain))[2], 0.75, 0.75);
}

TEST(SplineWeights, EqualWeightsGiveTheCurveWithoutThem) {
    TkrDXFConverter a, b;
    a.LoadFromText(Entities(Spline(3, {"0", "0", "0", "0", "1", "1", "1", "1"}, kArch)));
    b.LoadFromText(Entities(Spline(3, {"0", "0", "0", "0", "1", "1", "1", "1"}, kArch,
                                   {"41", "2", "41", "2", "41", "2", "41", "2"})));
    EXPECT_EQ(DrawnPoints(First(a)), DrawnPoints(First(b)));
    EXPECT_FALSE(b.Bounds.Any());
}

TEST(SplineWeights, WeightsOfZeroNegativeOrNotANumberAreLeftOutWithAWarning) {
    TkrDXFConverter plain;
    plain.LoadFromText(Entities(Spline(2, kQuadKnots, kQuarter)));
    for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        // (A binary file can hold a NaN; the text form cannot.)
        TkrDXFConverter conv;
        conv.LoadFromText(Entities(Spline(2, kQuadKnots, kQuarter, {"41", "1", "41", "1", "41", "1"})));
        auto& s = First(conv);
        s.Weights[1] = bad;
        s.Loaded(conv);
        EXPECT_EQ(DrawnPoints(s), DrawnPoints(First(plain))) << bad;
        EXPECT_EQ(conv.Bounds.SplineWeights, 1u) << bad;
    }
}

TEST(SplineData, DegreesOutOfRangeAndKnotsThatDoNotFitDrawTheControlPolygon) {
    struct Case {
        int Degree;
        std::vector<std::string> Knots;
    };
    for (const Case& c : std::vector<Case>{
             {11, std::vector<std::string>(16, "1")},         // degree above 10
             {-2, kQuadKnots},                                // negative degree
             {2, {"0", "0", "0", "1", "1"}},                   // one knot short
             {2, {"0", "0", "1", "0.5", "1", "1", "1"}},       // decreasing
             {2, {"0", "0", "0", "1e400", "1", "1", "1"}},     // not finite
             {5, {"0", "0", "0", "0", "0", "0", "1", "1", "1"}},  // fewer control points than degree + 1
         }) {
        TkrDXFConverter conv;
        conv.LoadFromText(Entities(Spline(c.Degree, c.Knots, kArch)));
        auto& s = First(conv);
        ASSERT_EQ(DrawnPoints(s).size(), 4u) << c.Degree;
        EXPECT_EQ(DrawnPoints(s)[1], (TPoint3F{1, 2, 0})) << c.Degree;
        EXPECT_EQ(conv.Bounds.SplineData, 1u) << c.Degree;
    }
    TBoundHits h;
    h.SplineData = 2;
    h.SplineWeights = 1;
    EXPECT_EQ(h.Messages(), (std::vector<std::string>{
                                "2 spline(s) drawn as their control polygon: a degree above 10, or knots that do not "
                                "fit the degree and the control points",
                                "1 spline(s) drawn without their weights: not one positive number per control point"}));
}

// ---- splines given by fit points ----

TEST(SplineFit, TheCubicThroughFitPointsEstimatesItsEndsAsCadProgramsDo) {
    // Fit points (0,0), (1,1), (2,0): parameters 0, 0.5, 1, knots 0 0 0 0 0.5
    // 1 1 1 1. The five-point estimate at the start: q(1) = (1,1), q(2) = (1,-1),
    // reflected q(0) = (1,3), q(-1) = (1,5); |q(-1) x q(0)| = |q(1) x q(2)| = 2,
    // so the tangent is (q(0) + q(1)) / 2 = (1, 2). Scaled to the polygon's
    // length 2 sqrt 2 and by the first knot step 0.5 / 3: P1 = (1, 2) *
    // 2 sqrt 2 / sqrt 5 / 6 = (0.2108185, 0.4216370); P3 mirrors it. At t = 0.5
    // the basis is 1/4, 1/2, 1/4: P2 = (2 (1, 1) - P1 / 2 - P3 / 2) = (1, 2 - 0.4216370).
    TBSpline c;
    ASSERT_TRUE(CubicThroughFitPoints({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, {}, {}, c));
    EXPECT_EQ(c.Knots, (std::vector<double>{0, 0, 0, 0, 0.5, 1, 1, 1, 1}));
    ASSERT_EQ(c.ControlPoints.size(), 5u);
    const double a = 2 * std::sqrt(2.0) / std::sqrt(5.0) / 6;
    EXPECT_NEAR(c.ControlPoints[1].X, a, 1e-12);
    EXPECT_NEAR(c.ControlPoints[1].Y, 2 * a, 1e-12);
    EXPECT_NEAR(c.ControlPoints[2].X, 1, 1e-12);
    EXPECT_NEAR(c.ControlPoints[2].Y, 2 - 2 * a, 1e-12);
    EXPECT_NEAR(c.ControlPoints[3].X, 2 - a, 1e-12);
    EXPECT_NEAR(c.ControlPoints[3].Y, 2 * a, 1e-12);
    // Given tangents (0, 5) and (0, -1) only give directions: P1 = (0, 2 sqrt 2 / 6).
    ASSERT_TRUE(CubicThroughFitPoints({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, {0, 5, 0}, {0, -1, 0}, c));
    EXPECT_NEAR(c.ControlPoints[1].X, 0, 1e-12);
    EXPECT_NEAR(c.ControlPoints[1].Y, 2 * std::sqrt(2.0) / 6, 1e-12);
    EXPECT_NEAR(c.ControlPoints[3].Y, 2 * std::sqrt(2.0) / 6, 1e-12);
    // Repeated points count once; a single distinct point gives no curve.
    ASSERT_TRUE(CubicThroughFitPoints({{0, 0, 0}, {0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {2, 0, 0}}, {}, {}, c));
    EXPECT_EQ(c.ControlPoints.size(), 5u);
    EXPECT_FALSE(CubicThroughFitPoints({{3, 3, 0}, {3, 3, 0}}, {}, {}, c));
}

TEST(SplineFit, AFitPointSplinePassesThroughEveryFitPointWithItsTangents) {
    const std::vector<std::pair<double, double>> fit = {{0, 0}, {10, 8}, {20, -3}, {30, 12}, {45, 0}, {50, 20}};
    std::vector<std::string> body = {"0", "SPLINE", "70", "8", "71", "3", "12", "1", "22", "1", "13", "0", "23", "-1"};
    for (auto& [x, y] : fit) body.insert(body.end(), {"11", std::to_string(x), "21", std::to_string(y)});
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(body));
    auto& s = First(conv);
    // Five spans of 25 points, the start and the end.
    ASSERT_EQ(DrawnPoints(s).size(), 127u);
    EXPECT_EQ(DrawnPoints(s)[0], (TPoint3F{0, 0, 0}));
    EXPECT_EQ(DrawnPoints(s)[126], (TPoint3F{50, 20, 0}));
    for (auto& [x, y] : fit) {
        double best = 1e9;
        for (const TPoint3F& p : DrawnPoints(s)) best = std::min(best, std::hypot(p.X - x, p.Y - y));
        EXPECT_LT(best, 1e-4) << x;
    }
    // Leaving at 45 degrees, arriving straight down (the first and last
    // chords, a 25th of a span long, lean a little towards the curve).
    EXPECT_NEAR((DrawnPoints(s)[2].Y - DrawnPoints(s)[1].Y) / (DrawnPoints(s)[2].X - DrawnPoints(s)[1].X), 1, 0.05);
    EXPECT_NEAR((DrawnPoints(s)[126].X - DrawnPoints(s)[125].X) / (DrawnPoints(s)[126].Y - DrawnPoints(s)[125].Y), 0, 0.05);
    EXPECT_GT(DrawnPoints(s)[125].Y, DrawnPoints(s)[126].Y);
    // Arriving downwards, the curve rises above the last fit point first:
    // the box holds that part too.
    float high = 0;
    for (const TPoint3F& p : DrawnPoints(s)) high = std::max(high, p.Y);
    EXPECT_GT(high, 21.0f);
    EXPECT_GE(s.GetBox().Top, high);
}

TEST(SplineFit, AMillionFitPointsDrawTheFitPolygonWithAWarning) {
    std::string text = "0\nSECTION\n2\nENTITIES\n0\nSPLINE\n";
    const int n = 1000000;
    text.reserve(size_t(n) * 24);
    for (int i = 0; i < n; ++i) text += "11\n" + std::to_string(i) + "\n21\n" + std::to_string(i % 7) + "\n";
    text += "0\nENDSEC\n0\nEOF\n";
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    auto& s = First(conv);
    EXPECT_EQ(DrawnPoints(s).size(), size_t(n));
    EXPECT_EQ(DrawnPoints(s)[5], (TPoint3F{5, 5, 0}));
    EXPECT_EQ(conv.Bounds.EntityPoints, 1u);
}

TEST(SplineFit, ManyFitPointsGetFewerPointsASpanWithinTheBound) {
    // 300000 fit points: 299999 spans of 25 points would pass the bound; 3 a
    // span fit.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "SPLINE", "11", "0", "21", "0", "11", "1", "21", "1"}));
    auto& s = First(conv);
    s.FitPoints.clear();
    for (int i = 0; i < 300000; ++i) s.FitPoints.push_back({float(i), float(i % 3), 0});
    s.Loaded(conv);
    EXPECT_EQ(DrawnPoints(s).size(), 299999u * 3 + 2);
    EXPECT_EQ(conv.Bounds.EntityPoints, 1u);
}

TEST(SplineDegree, ALeaderKeepsItsCodes71And41ToItself) {
    // A LEADER reads its vertices as a spline does, but 71 is its arrowhead
    // flag and 41 a text width: no degree, no weight, no warning.
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LEADER", "71", "1", "40", "2.5", "41", "7", "10", "0", "20", "0", "10", "5",
                                "20", "5"}));
    auto& l = First(conv);
    EXPECT_EQ(l.Degree, 0);
    EXPECT_TRUE(l.Weights.empty());
    EXPECT_FALSE(conv.Bounds.Any());
}
