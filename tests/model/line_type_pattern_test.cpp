// Dash patterns: building the elements and cutting segments, polylines,
// curves and hatch lines into dashes. Expected positions are worked out by
// hand in the comments (distances along the geometry, in pattern units).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "model/errors.h"
#include "model/line_type_pattern.h"

namespace {

using Points = std::vector<TPoint3F>;

TkrLines Pattern(std::initializer_list<double> ticks) {
    TkrLines p;
    for (double t : ticks) p.AddTick(t);
    return p;
}

TPoint3F P(float x, float y, float z = 0) { return {x, y, z}; }

// X coordinates of points on the x axis.
std::vector<float> Xs(const Points& pts) {
    std::vector<float> xs;
    for (const auto& p : pts) {
        EXPECT_EQ(p.Y, 0.0f);
        EXPECT_EQ(p.Z, 0.0f);
        xs.push_back(p.X);
    }
    return xs;
}

template <class F>
std::string ErrorText(F f) {
    try {
        f();
    } catch (const EListError& e) {
        return e.what();
    }
    return "no error";
}

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float kInff = std::numeric_limits<float>::infinity();

}  // namespace

// ---- Pattern elements ----

TEST(LinesPattern, AddTickMultipliesByScaleAtTheTimeOfAdding) {
    TkrLines p;
    EXPECT_EQ(p.Scale, 1.0);
    p.AddTick(8);
    p.Scale = 2;
    p.AddTick(-2);
    ASSERT_EQ(p.TickCount(), 2);
    EXPECT_EQ(p.Tick(0), 8.0f);
    EXPECT_EQ(p.Tick(1), -4.0f);
    EXPECT_FALSE(p.IsSolid());
    p.ClearTicks();
    EXPECT_TRUE(p.IsSolid());
}

TEST(LinesPattern, IsSolidBelowTwoElements) {
    EXPECT_TRUE(Pattern({}).IsSolid());
    EXPECT_TRUE(Pattern({5}).IsSolid());
    EXPECT_FALSE(Pattern({5, -1}).IsSolid());
}

TEST(LinesPattern, NormalizeEmptiesAPatternOfZeros) {
    TkrLines zeros = Pattern({0, 0, 0});
    zeros.Normalize();
    EXPECT_EQ(zeros.TickCount(), 0);
    EXPECT_TRUE(zeros.IsSolid());  // a continuous line
}

TEST(LinesPattern, NormalizeKeepsAnyNonZeroBits) {
    TkrLines dots = Pattern({0, -2});
    dots.Normalize();
    EXPECT_EQ(dots.TickCount(), 2);
    // -0.0 is not all bits zero: the pattern stays (and cuts solid, its
    // length being 0).
    TkrLines negZero;
    negZero.FTicks = {0.0f, -0.0f};
    negZero.Normalize();
    EXPECT_EQ(negZero.TickCount(), 2);
}

// ---- Preconditions ----

TEST(LinesErrors, TooFewElements) {
    const TkrLines one = Pattern({5});
    Points pts{P(0, 0), P(10, 0)}, out;
    EXPECT_EQ(ErrorText([&] { one.Line(1, pts[0], pts[1], out); }), "TkrLines.Line: FTicks.Count <= 1");
    EXPECT_EQ(ErrorText([&] { one.Line(1, pts[0], pts[1], out, P(0, 0)); }), "TkrLines.Line: FTicks.Count <= 1");
    EXPECT_EQ(ErrorText([&] { one.Poly(1, pts, out, false); }), "TkrLines.Poly: FTicks.Count <= 1");
    EXPECT_EQ(ErrorText([&] { one.Curve(1, pts, out, false); }), "TkrLines.Curve: FTicks.Count <= 1");
    EXPECT_EQ(ErrorText([&] { Pattern({}).Line(1, pts[0], pts[1], out); }), "TkrLines.Line: FTicks.Count <= 1");
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(pts.size(), 2u);  // not closed, not touched
}

TEST(LinesErrors, OutputNotEmpty) {
    const TkrLines p = Pattern({8, -2});
    Points pts{P(0, 0), P(10, 0)};
    const Points before{P(7, 7)};
    Points out = before;
    EXPECT_EQ(ErrorText([&] { p.Line(1, pts[0], pts[1], out); }), "TkrLines.Line: DottedSingPts.Count > 0");
    EXPECT_EQ(ErrorText([&] { p.Line(1, pts[0], pts[1], out, P(0, 0)); }),
              "TkrLines.Line: DottedSingPts.Count > 0");
    EXPECT_EQ(ErrorText([&] { p.Poly(1, pts, out, true); }), "TkrLines.Poly: DottedSingPts.Count > 0");
    EXPECT_EQ(ErrorText([&] { p.Curve(1, pts, out, true); }), "TkrLines.Curve: DottedSingPts.Count > 0");
    EXPECT_EQ(out, before);
    EXPECT_EQ(pts.size(), 2u);  // the check comes before the closing point
}

TEST(LinesErrors, SolidIsCheckedFirstAndIsAnOrdinaryError) {
    const TkrLines one = Pattern({5});
    Points out{P(1, 1)};
    try {
        one.Line(1, P(0, 0), P(1, 0), out);
        FAIL();
    } catch (const EkrError& e) {
        EXPECT_STREQ(e.what(), "TkrLines.Line: FTicks.Count <= 1");
    }
}

// ---- Line: centred pattern ----

TEST(LinesLine, CentredPatternOver35) {
    // P = 10, n = 3, m = (8 + 5) / 2 = 6.5: dashes 6.5, 8, 8, 6.5.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(35, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 6.5f, 8.5f, 16.5f, 18.5f, 26.5f, 28.5f, 35}));
}

TEST(LinesLine, ShorterThanOnePatternIsOneDash) {
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(9, 0), out);  // n = 0, m = L
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 9}));
}

TEST(LinesLine, ScaleDividesTheLength) {
    // 70 / 2 = 35 pattern units: the dashes of the 35 case, doubled.
    Points out;
    Pattern({8, -2}).Line(2, P(0, 0), P(70, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 13, 17, 33, 37, 53, 57, 70}));
}

TEST(LinesLine, ScaleIsAnArgumentNotPatternState) {
    TkrLines p = Pattern({8, -2});
    p.Scale = 5;  // the multiplier of AddTick; cutting does not read it
    Points out;
    p.Line(1, P(0, 0), P(35, 0), out);
    EXPECT_EQ(out.size(), 8u);
    EXPECT_EQ(p.Scale, 5.0);
}

TEST(LinesLine, MoreThanThousandRepetitionsIsSolid) {
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(20000, 0), out);  // 2000 > 1000
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 20000}));
}

TEST(LinesLine, ExactlyThousandRepetitionsIsCut) {
    // L / P = 1000: n = 1000, m = 4: dashes of 4, 999 x 8, 4 -> 1001 dashes.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(10000, 0), out);
    ASSERT_EQ(out.size(), 2002u);
    EXPECT_EQ(out[1].X, 4.0f);
    EXPECT_EQ(out[2].X, 6.0f);
    EXPECT_EQ(out[2000].X, 9996.0f);
    EXPECT_EQ(out.back().X, 10000.0f);
    out.clear();
    Pattern({8, -2}).Line(1, P(0, 0), P(10000.01f, 0), out);
    EXPECT_EQ(out.size(), 2u);
}

TEST(LinesLine, DotsOver7) {
    // 0, -2: P = 2, n = 3, m = 0.5; dots at 0, 0 + 2 + 0.5, 4.5 and the closing dot at 7.
    Points out;
    Pattern({0, -2}).Line(1, P(0, 0), P(7, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 0, 2.5f, 2.5f, 4.5f, 4.5f, 7, 7}));
}

TEST(LinesLine, DotsWithOneRepetitionAndShorterThanOne) {
    Points out;
    // n = 1: the first dot and the closing dot only.
    Pattern({0, -2}).Line(1, P(0, 0), P(3, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 0, 3, 3}));
    out.clear();
    Pattern({0, -2}).Line(1, P(0, 0), P(1, 0), out);  // n = 0
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 0, 1, 1}));
}

TEST(LinesLine, DashDotPattern) {
    // 5, -1, 0, -1: P = 7, L = 23: n = 3, m = (5 + 2) / 2 = 3.5.
    // 0..3.5 dash, gap to 4.5, dot, gap to 5.5, dash to 10.5, 11.5 dot,
    // 12.5..17.5 dash, 18.5 dot, 19.5..23 closing dash.
    Points out;
    Pattern({5, -1, 0, -1}).Line(1, P(0, 0), P(23, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 3.5f, 4.5f, 4.5f, 5.5f, 10.5f, 11.5f, 11.5f, 12.5f, 17.5f, 18.5f,
                                           18.5f, 19.5f, 23}));
}

TEST(LinesLine, PointsFollowTheSegmentIn3D) {
    // Direction (0.6, 0, 0.8), length 35: points S + d x t for the 35 case.
    Points out;
    const TPoint3F s = P(1, 2, 3);
    Pattern({8, -2}).Line(1, s, P(1 + 21, 2, 3 + 28), out);
    const float ts[] = {0, 6.5f, 8.5f, 16.5f, 18.5f, 26.5f, 28.5f, 35};
    ASSERT_EQ(out.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(out[i].X, 1 + 0.6f * ts[i]);
        EXPECT_FLOAT_EQ(out[i].Y, 2);
        EXPECT_FLOAT_EQ(out[i].Z, 3 + 0.8f * ts[i]);
    }
    EXPECT_EQ(out.back(), P(22, 2, 31));  // the end point exactly
}

TEST(LinesLine, ZeroLengthIsADot) {
    Points out;
    Pattern({8, -2}).Line(1, P(4, 5, 6), P(4, 5, 6), out);
    EXPECT_EQ(out, (Points{P(4, 5, 6), P(4, 5, 6)}));
}

// ---- Poly ----

TEST(LinesPoly, ClosedSquareEachSideOnItsOwn) {
    // Each side L = 10: n = 1, m = 4: dashes 0..4 and 6..10 on every side.
    Points square{P(0, 0), P(10, 0), P(10, 10), P(0, 10)}, out;
    Pattern({8, -2}).Poly(1, square, out, true);
    ASSERT_EQ(square.size(), 5u);
    EXPECT_EQ(square.back(), P(0, 0));
    EXPECT_EQ(out, (Points{P(0, 0), P(4, 0), P(6, 0), P(10, 0),      //
                           P(10, 0), P(10, 4), P(10, 6), P(10, 10),  //
                           P(10, 10), P(6, 10), P(4, 10), P(0, 10),  //
                           P(0, 10), P(0, 6), P(0, 4), P(0, 0)}));
}

TEST(LinesPoly, RepeatedPointsAddNothingExceptAtTheStart) {
    const TkrLines p = Pattern({8, -2});
    Points pts{P(0, 0), P(0, 0), P(10, 0), P(10, 0), P(20, 0)}, out;
    p.Poly(1, pts, out, false);
    // Segment 0 has length 0: a dot; 1 and 3 are cut; 2 is skipped.
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 0, 0, 4, 6, 10, 10, 14, 16, 20}));
    EXPECT_EQ(pts.size(), 5u);
}

TEST(LinesPoly, ScaleAndLongSegments) {
    Points pts{P(0, 0), P(20, 0), P(20020, 0)}, out;
    Pattern({8, -2}).Poly(2, pts, out, false);
    // 20 / 2 = 10 -> 0, 4, 6, 10 in units, doubled; 20000 / 2 / 10 = 1000 -> cut, 2002 points.
    ASSERT_EQ(out.size(), 4u + 2002u);
    EXPECT_EQ(out[1].X, 8.0f);
    EXPECT_EQ(out[2].X, 12.0f);
    EXPECT_EQ(out[4].X, 20.0f);
    EXPECT_EQ(out[5].X, 28.0f);
    EXPECT_EQ(out.back().X, 20020.0f);
}

TEST(LinesPoly, EmptyAndSinglePoint) {
    const TkrLines p = Pattern({8, -2});
    Points none, out;
    p.Poly(1, none, out, true);
    EXPECT_TRUE(out.empty());
    Points one{P(3, 3)};
    p.Poly(1, one, out, false);
    EXPECT_TRUE(out.empty());
    p.Poly(1, one, out, true);  // closed: (3,3)-(3,3), a dot
    EXPECT_EQ(out, (Points{P(3, 3), P(3, 3)}));
}

// ---- Curve ----

TEST(LinesCurve, ClosedSquareDashesContinueAroundCorners) {
    // Total 40: n = 4, m = 4. Dashes along the run: 0..4, 6..14, 16..24,
    // 26..34, 36..40; the corners at 10, 20, 30 lie inside dashes and split
    // each into two pairs meeting at the corner.
    Points square{P(0, 0), P(10, 0), P(10, 10), P(0, 10)}, out;
    Pattern({8, -2}).Curve(1, square, out, true);
    EXPECT_EQ(square.size(), 5u);
    EXPECT_EQ(out, (Points{P(0, 0), P(4, 0), P(6, 0), P(10, 0),        //
                           P(10, 0), P(10, 4), P(10, 6), P(10, 10),    //
                           P(10, 10), P(6, 10), P(4, 10), P(0, 10),    //
                           P(0, 10), P(0, 6), P(0, 4), P(0, 0)}));
}

TEST(LinesCurve, CornerInAGapEmitsNothing) {
    // L-shape (0,0)-(5,0)-(5,10): total 15, pattern 4, -2: n = 2, m = (4 + 3) / 2 = 3.5.
    // Dashes 0..3.5, 5.5..9.5, 11.5..15; the corner at 5 lies in the gap 3.5..5.5.
    Points pts{P(0, 0), P(5, 0), P(5, 10)}, out;
    Pattern({4, -2}).Curve(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(3.5f, 0), P(5, 0.5f), P(5, 4.5f), P(5, 6.5f), P(5, 10)}));
}

TEST(LinesCurve, CircleOf32Chords) {
    // Radius 10: chord 1.96034, total 62.73097 with pattern 3, -1 (P = 4):
    // n = 15, m = (3 + 2.73097) / 2 = 2.86548. Dashes: 0..m, 14 of length 3,
    // total-m..total -> 16 dashes of total length 2m + 42 = 47.73097.
    // 18 of the 31 inner vertices fall inside a dash (worked out from the
    // vertex positions i x chord), each adding a pair: 34 pairs.
    Points circle;
    for (int i = 0; i < 32; ++i)
        circle.push_back(P(float(10 * std::cos(2 * kPi * i / 32)), float(10 * std::sin(2 * kPi * i / 32))));
    const Points chords = [&] { Points c = circle; c.push_back(circle[0]); return c; }();
    Points out;
    Pattern({3, -1}).Curve(1, circle, out, true);
    EXPECT_EQ(circle.size(), 33u);
    ASSERT_EQ(out.size(), 68u);
    EXPECT_EQ(out.front(), chords[0]);
    EXPECT_EQ(out.back(), chords[0]);
    double dashLength = 0;
    int atVertex = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        const TPoint3F a = out[i], b = out[i + 1];
        dashLength += std::hypot(double(b.X) - a.X, double(b.Y) - a.Y);
        // Both ends on one chord: the dash never cuts a corner.
        bool onOneChord = false;
        for (size_t c = 0; c + 1 < chords.size() && !onOneChord; ++c) {
            auto dist = [&](const TPoint3F& q) {
                const double ux = chords[c + 1].X - chords[c].X, uy = chords[c + 1].Y - chords[c].Y;
                const double l = std::hypot(ux, uy);
                const double s = ((q.X - chords[c].X) * ux + (q.Y - chords[c].Y) * uy) / l;
                const double h = std::fabs((q.X - chords[c].X) * uy - (q.Y - chords[c].Y) * ux) / l;
                return (s > -1e-4 && s < l + 1e-4) ? h : 1.0;
            };
            onOneChord = dist(a) < 1e-4 && dist(b) < 1e-4;
        }
        EXPECT_TRUE(onOneChord) << "pair " << i / 2;
        if (i > 0 && out[i] == out[i - 1]) ++atVertex;  // a dash continued at a vertex
    }
    EXPECT_EQ(atVertex, 18);
    EXPECT_NEAR(dashLength, 47.73097, 1e-4);
    EXPECT_NEAR(std::hypot(out[1].X - out[0].X, out[1].Y - out[0].Y), 1.96034, 1e-4);  // m crosses vertex 1
}

TEST(LinesCurve, RepeatedPointsLeaveTheCallersList) {
    Points pts{P(0, 0), P(0, 0), P(5, 0), P(5, 0), P(5, 0), P(5, 10), P(0, 0)}, out;
    Pattern({4, -2}).Curve(1, pts, out, true);  // closed: the copy of (0,0) is removed again
    EXPECT_EQ(pts, (Points{P(0, 0), P(5, 0), P(5, 10), P(0, 0)}));
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out.size() % 2, 0u);
}

TEST(LinesCurve, OnePointLeftIsADot) {
    const TkrLines p = Pattern({4, -2});
    Points same{P(2, 3), P(2, 3), P(2, 3)}, out;
    p.Curve(1, same, out, false);
    EXPECT_EQ(out, (Points{P(2, 3), P(2, 3)}));
    EXPECT_EQ(same.size(), 1u);
    Points none;
    out.clear();
    p.Curve(1, none, out, true);
    EXPECT_TRUE(out.empty());
}

TEST(LinesCurve, ASegmentNeedingMoreThan1000RepetitionsMakesAllSolid) {
    Points pts{P(0, 0), P(10, 0), P(10, 20000), P(0, 20000)}, out;
    Pattern({8, -2}).Curve(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(10, 0), P(10, 0), P(10, 20000), P(10, 20000), P(0, 20000)}));
}

TEST(LinesCurve, ManyShortSegmentsMayTogetherExceed1000Repetitions) {
    // 3000 segments of 5 units: 1500 repetitions in all, none per segment:
    // cut, 1501 dashes (n = 1500, m = 4).
    Points pts;
    for (int i = 0; i <= 3000; ++i) pts.push_back(P(float(5 * i), 0));
    Points out;
    Pattern({8, -2}).Curve(1, pts, out, false);
    EXPECT_EQ(out.size() % 2, 0u);
    EXPECT_EQ(out[1].X, 4.0f);
    EXPECT_EQ(out.back().X, 15000.0f);
    // Every dash of 8 crosses one or two vertices at multiples of 5.
    EXPECT_GT(out.size(), 2u * 1501u);
}

TEST(LinesCurve, ShorterThanTheFirstDashIsOneDashAroundTheRun) {
    // Total 6 < element 0 (8): m = (8 + 6) / 2 = 7 reaches past the end.
    Points pts{P(0, 0), P(3, 0), P(3, 3)}, out;
    Pattern({8, -2}).Curve(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(3, 0), P(3, 0), P(3, 3)}));
}

TEST(LinesCurve, ShorterThanOnePatternKeepsTheCentredFirstDash) {
    // Total 9, n = 0: m = (8 + 9) / 2 = 8.5 also here (a single Line would be
    // one dash). The first dash 0..8.5 is drawn; the closing step would leave
    // the lone point 9, which is dropped so the list stays pairwise.
    Points pts{P(0, 0), P(9, 0)}, out;
    Pattern({8, -2}).Curve(1, pts, out, false);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 8.5f}));
}

TEST(LinesCurve, DotsCloseWithADotAtTheLastPoint) {
    // Pattern 0, -2 along (0,0)-(4,0)-(4,3): total 7, n = 3, m = 0.5:
    // dots at 0, 2.5, 4.5 (= 0.5 up the second segment) and the last point.
    Points pts{P(0, 0), P(4, 0), P(4, 3)}, out;
    Pattern({0, -2}).Curve(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(0, 0), P(2.5f, 0), P(2.5f, 0), P(4, 0.5f), P(4, 0.5f), P(4, 3), P(4, 3)}));
}

TEST(LinesCurve, ScaleDividesTheLength) {
    Points square{P(0, 0), P(20, 0), P(20, 20), P(0, 20)}, out;
    Pattern({8, -2}).Curve(2, square, out, true);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(out[1], P(8, 0));
    EXPECT_EQ(out[2], P(12, 0));
    EXPECT_EQ(out[5], P(20, 8));
}

// ---- Line with a phase point (hatch lines) ----

TEST(LinesPhase, HorizontalPhaseBeforeTheStart) {
    // K 3 before A: dash -3..5, gap to 7, dash 7..15, ... 27..35 = B.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(35, 0), out, P(-3, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 5, 7, 15, 17, 25, 27, 35}));
}

TEST(LinesPhase, HorizontalPhaseFarRightIsMovedBack) {
    // K at 103: c = 103, k = 10, K.X -= 110 -> -7: dash -7..1, 3..11, ..., 33..41.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(35, 0), out, P(103, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 1, 3, 11, 13, 21, 23, 31, 33, 35}));
}

TEST(LinesPhase, HorizontalPhaseFarLeftIsMovedForward) {
    // K at -47: c = 47, k = 4, K.X += 40 -> -7: the same dashes as above.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(35, 0), out, P(-47, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 1, 3, 11, 13, 21, 23, 31, 33, 35}));
}

TEST(LinesPhase, PhaseExactlyOnePatternBefore) {
    // K at 20: k = 2, K.X -= 30 -> -10: D = P, A starts element 0.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(35, 0), out, P(20, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 8, 10, 18, 20, 28, 30, 35}));
    out.clear();
    // K on A: D = 0, the same.
    Pattern({8, -2}).Line(1, P(0, 0), P(35, 0), out, P(0, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 8, 10, 18, 20, 28, 30, 35}));
}

TEST(LinesPhase, StartAndEndInGaps) {
    // K 9 before A: A lies in the gap 8..10 of the first pattern, the first
    // dash starts at 1. B at 26 lies in the gap 25..27: no closing point.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(26, 0), out, P(-9, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{1, 9, 11, 19, 21, 26}));
    out.clear();
    Pattern({8, -2}).Line(1, P(0, 0), P(26, 0), out, P(-3, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 5, 7, 15, 17, 25}));
}

TEST(LinesPhase, CutRunsFromTheEndNearerThePhasePoint) {
    Points out;
    Pattern({8, -2}).Line(1, P(35, 0), P(0, 0), out, P(-3, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 5, 7, 15, 17, 25, 27, 35}));
}

TEST(LinesPhase, Vertical) {
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(0, 35), out, P(0, -3));
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[1], P(0, 5));
    EXPECT_EQ(out[7], P(0, 35));
    // K above the top: b = 50, k = 5, moved down 6 patterns to -10 (D = P).
    out.clear();
    Pattern({8, -2}).Line(1, P(0, 0), P(0, 35), out, P(0, 50));
    std::vector<float> ys;
    for (auto& p : out) ys.push_back(p.Y);
    EXPECT_EQ(ys, (std::vector<float>{0, 8, 10, 18, 20, 28, 30, 35}));
}

TEST(LinesPhase, RisingLine) {
    // A (0,0), B (30,40): L = 50, direction (0.6, 0.8). K at t = 53 on the
    // line: b = 53, k = 5, moved down 6 patterns to t = -7: dash -7..1,
    // gap, 3..11, ..., 43..51 -> cut at B.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 0), P(30, 40), out, P(31.8f, 42.4f));
    const float ts[] = {0, 1, 3, 11, 13, 21, 23, 31, 33, 41, 43, 50};
    ASSERT_EQ(out.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_NEAR(out[i].X, 0.6 * ts[i], 1e-4) << i;
        EXPECT_NEAR(out[i].Y, 0.8 * ts[i], 1e-4) << i;
    }
    // K 3 before A: not moved.
    out.clear();
    Pattern({8, -2}).Line(1, P(0, 0), P(30, 40), out, P(-1.8f, -2.4f));
    ASSERT_EQ(out.size(), 12u);
    EXPECT_NEAR(out[1].X, 3.0, 1e-4);  // t = 5
    EXPECT_NEAR(out[2].Y, 5.6, 1e-4);  // t = 7
    EXPECT_EQ(out.back(), P(30, 40));
}

TEST(LinesPhase, FallingLine) {
    // A (0,40), B (30,0): falling, B is the lower end. K 4 beyond A at
    // (-2.4, 43.2): b = 54, k = 5, moved down 6 patterns along (0.6, -0.8)
    // to 6 beyond B. B is nearer: the cut runs from B towards A with D = 6:
    // dash -6..2, 4..12, ..., 44..50.
    Points out;
    Pattern({8, -2}).Line(1, P(0, 40), P(30, 0), out, P(-2.4f, 43.2f));
    const float ts[] = {0, 2, 4, 12, 14, 22, 24, 32, 34, 42, 44, 50};
    ASSERT_EQ(out.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_NEAR(out[i].X, 30 - 0.6 * ts[i], 1e-4) << i;
        EXPECT_NEAR(out[i].Y, 0.8 * ts[i], 1e-4) << i;
    }
    EXPECT_EQ(out.front(), P(30, 0));
    EXPECT_EQ(out.back(), P(0, 40));
}

TEST(LinesPhase, ScaleIsOnePatternLengthInDrawingUnits) {
    // Scale 2: one pattern spans 20 drawing units, L = 35 units. K at 103:
    // k = floor(103 / 2 / 10) = 5, K.X -= 6 x 20 -> -17, D = 8.5 units.
    // Running sums 8 < 8.5, 10 >= 8.5: A lies in the gap, the first dash
    // starts at t = 1.5 (x = 3); then 9.5, 11.5, ... 31.5 and B at 35.
    Points out;
    Pattern({8, -2}).Line(2, P(0, 0), P(70, 0), out, P(103, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{3, 19, 23, 39, 43, 59, 63, 70}));
}

TEST(LinesPhase, SolidCasesAndZ) {
    const TkrLines p = Pattern({8, -2});
    Points out;
    p.Line(1, P(0, 0, 5), P(20000, 0, 5), out, P(0, 0));  // 2000 repetitions
    EXPECT_EQ(out, (Points{P(0, 0), P(20000, 0)}));
    out.clear();
    p.Line(1, P(1, 1, 5), P(1, 1, 9), out, P(0, 0));  // L = 0 in X and Y
    EXPECT_EQ(out, (Points{P(1, 1), P(1, 1)}));
    out.clear();
    p.Line(1, P(1, 1), P(1.00005f, 1), out, P(0, 0));  // L < 0.0001
    EXPECT_EQ(out, (Points{P(1, 1), P(1.00005f, 1)}));
    out.clear();
    p.Line(1, P(0, 0, 7), P(35, 0, 7), out, P(-3, 0, 7));  // Z is 0 in the output
    EXPECT_EQ(out.size(), 8u);
    for (auto& q : out) EXPECT_EQ(q.Z, 0.0f);
}

// ---- Hostile input: no hang, no unbounded output, always pairs ----

TEST(LinesHostile, PatternOfZeroLengthCutsSolid) {
    TkrLines zeros;
    zeros.FTicks = {0.0f, -0.0f};  // survives Normalize, length 0
    Points out;
    zeros.Line(1, P(0, 0), P(35, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 35}));
    out.clear();
    zeros.Line(1, P(0, 0), P(35, 0), out, P(1, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 35}));
    out.clear();
    Points pts{P(0, 0), P(5, 0), P(5, 5)};
    zeros.Curve(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(5, 0), P(5, 0), P(5, 5)}));
    out.clear();
    zeros.Poly(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(5, 0), P(5, 0), P(5, 5)}));
}

TEST(LinesHostile, DenormalElements) {
    TkrLines tiny;
    tiny.FTicks = {1e-45f, -1e-45f};
    Points out;
    tiny.Line(1, P(0, 0), P(35, 0), out);  // far beyond 1000 repetitions
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    // A segment of a few dozen patterns of denormal size is cut, bounded.
    tiny.Line(1, P(0, 0), P(4e-44f, 0), out);
    EXPECT_EQ(out.size() % 2, 0u);
    EXPECT_LE(out.size(), 2u * (1000 + 2) * 2 + 8);
}

TEST(LinesHostile, NaNAndInfiniteElements) {
    Points out;
    TkrLines nan;
    nan.FTicks = {8, kNaNf};
    nan.Line(1, P(0, 0), P(35, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 35}));
    TkrLines inf;
    inf.FTicks = {kInff, -2};
    out.clear();
    inf.Line(1, P(0, 0), P(35, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 35}));
    out.clear();
    Points pts{P(0, 0), P(5, 0), P(5, 5)};
    inf.Curve(1, pts, out, false);
    EXPECT_EQ(out.size(), 4u);
    out.clear();
    nan.Line(1, P(0, 0), P(35, 0), out, P(-3, 0));
    EXPECT_EQ(out.size(), 2u);
}

TEST(LinesHostile, NaNAndInfiniteCoordinates) {
    const TkrLines p = Pattern({8, -2});
    Points out;
    p.Line(1, P(0, 0), P(kNaNf, 0), out);
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    p.Line(1, P(-kInff, 0), P(kInff, 0), out);
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    Points pts{P(0, 0), P(kNaNf, 1), P(5, 5)};
    p.Curve(1, pts, out, true);
    EXPECT_EQ(out.size(), 6u);  // solid: three segments
    out.clear();
    p.Poly(1, pts, out, false);
    EXPECT_EQ(out.size() % 2, 0u);
    out.clear();
    p.Line(1, P(0, 0), P(35, 0), out, P(kNaNf, 0));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 35}));
    out.clear();
    p.Line(1, P(0, 0), P(35, 0), out, P(kInff, 5));
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 35}));
}

TEST(LinesHostile, UnusableScaleCutsSolid) {
    const TkrLines p = Pattern({8, -2});
    for (double s : {0.0, -1.0, double(kNaNf), double(kInff)}) {
        Points out;
        p.Line(s, P(0, 0), P(35, 0), out);
        EXPECT_EQ(out.size(), 2u) << s;
        out.clear();
        Points pts{P(0, 0), P(5, 0), P(5, 5)};
        p.Curve(s, pts, out, false);
        EXPECT_EQ(out.size(), 4u) << s;
        out.clear();
        p.Line(s, P(0, 0), P(35, 0), out, P(-3, 0));
        EXPECT_EQ(out.size(), 2u) << s;
    }
}

TEST(LinesHostile, HugeCoordinates) {
    const TkrLines p = Pattern({8, -2});
    Points out;
    p.Line(1, P(-3e38f, 0), P(3e38f, 0), out);
    EXPECT_EQ(out, (Points{P(-3e38f, 0), P(3e38f, 0)}));
    // A pattern of matching size cuts: L = 6e38 in double, P = 2e38, n = 3.
    TkrLines big;
    big.FTicks = {1e38f, -1e38f};
    out.clear();
    big.Line(1, P(-3e38f, 0), P(3e38f, 0), out);
    ASSERT_EQ(out.size() % 2, 0u);
    ASSERT_GE(out.size(), 4u);
    for (size_t i = 1; i < out.size(); ++i) EXPECT_LE(out[i - 1].X, out[i].X);
    EXPECT_EQ(out.back().X, 3e38f);
}

TEST(LinesHostile, PatternStartingWithAGapEnds) {
    // -2, 8 over 30: taken literally, m = (-2 + 0) / 2 = -1 and the last
    // step would walk backwards for ever. With |element 0| it ends at B.
    // m = (2 + 0) / 2 = 1: boundaries at 0, 1, 9, 11, 19, 21, 29, 30 (the
    // pairs fall on the gaps: output pairs assume a pattern starts with a dash).
    Points out;
    Pattern({-2, 8}).Line(1, P(0, 0), P(30, 0), out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 1, 9, 11, 19, 21, 29, 30}));
    out.clear();
    Points pts{P(0, 0), P(15, 0), P(15, 15)};
    Pattern({-2, 8}).Curve(1, pts, out, false);
    EXPECT_EQ(out.size() % 2, 0u);
    EXPECT_EQ(out.back(), P(15, 15));
}

TEST(LinesHostile, OddElementCountStaysPairwise) {
    for (double len : {1.0, 9.0, 10.0, 23.0, 100.0, 997.0}) {
        Points out;
        Pattern({5, -2, 3}).Line(1, P(0, 0), P(float(len), 0), out);
        EXPECT_EQ(out.size() % 2, 0u) << len;
        out.clear();
        Points pts{P(0, 0), P(float(len), 0), P(float(len), float(len))};
        Pattern({5, -2, 3}).Curve(1, pts, out, true);
        EXPECT_EQ(out.size() % 2, 0u) << len;
        out.clear();
        Pattern({5, -2, 3}).Line(1, P(0, 0), P(float(len), 0), out, P(-1, 0));
        EXPECT_EQ(out.size() % 2, 0u) << len;
    }
}

TEST(LinesHostile, AbsurdElementCountFallsBackToSolid) {
    // 5000 elements, 1000 repetitions: 5 million points for one segment
    // would pass the ceiling of one cut: the segment is drawn solid.
    TkrLines many;
    for (int i = 0; i < 2500; ++i) {
        many.FTicks.push_back(1);
        many.FTicks.push_back(-1);
    }
    Points out;
    many.Line(1, P(0, 0), P(5e6f, 0), out);
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    many.Line(1, P(0, 0), P(5e4f, 0), out);  // 10 repetitions: cut
    EXPECT_EQ(out.size(), 50002u);  // dashes: 0.5, 10 x 2500 - 1 of 1, 0.5
    // A curve run of 1000 repetitions of it: solid polyline.
    out.clear();
    Points pts{P(0, 0), P(2.5e6f, 0), P(2.5e6f, 2.5e6f)};
    many.Curve(1, pts, out, false);
    EXPECT_EQ(out, (Points{P(0, 0), P(2.5e6f, 0), P(2.5e6f, 0), P(2.5e6f, 2.5e6f)}));
}

TEST(LinesHostile, LargeOffsetsEndExactlyAtTheEnd) {
    // 1000 repetitions far from the origin: rounding never leaves a sliver.
    const TkrLines p = Pattern({0.7, -0.3});
    Points out;
    p.Line(1, P(1e6f, 1e6f), P(1e6f + 600, 1e6f + 800), out);
    ASSERT_EQ(out.size() % 2, 0u);
    EXPECT_EQ(out.size(), 2002u);
    EXPECT_EQ(out.back(), P(1e6f + 600, 1e6f + 800));
    Points circle;
    for (int i = 0; i < 32; ++i)
        circle.push_back(P(float(5e6 + 150 * std::cos(2 * kPi * i / 32)), float(5e6 + 150 * std::sin(2 * kPi * i / 32))));
    out.clear();
    p.Curve(1, circle, out, true);
    EXPECT_EQ(out.size() % 2, 0u);
    EXPECT_EQ(out.back(), circle[0]);
}

TEST(LinesHostile, RandomPatternsStayBoundedAndPairwise) {
    // A fixed pseudo-random sweep over patterns and segments of wildly
    // different sizes: every call ends, emits pairs and stays in budget.
    uint64_t seed = 12345;
    auto next = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(seed >> 11) / double(1ULL << 53);
    };
    for (int round = 0; round < 3000; ++round) {
        TkrLines p;
        const int k = 2 + int(next() * 6);
        for (int i = 0; i < k; ++i) {
            double v = std::pow(10.0, next() * 8 - 4) * (next() < 0.1 ? 0 : 1);
            p.FTicks.push_back(float(i % 2 ? -v : v));
        }
        const float len = float(std::pow(10.0, next() * 10 - 4));
        const double scale = std::pow(10.0, next() * 4 - 2);
        Points out;
        p.Line(scale, P(0, 0), P(len, len / 3), out);
        EXPECT_EQ(out.size() % 2, 0u) << round;
        EXPECT_LE(out.size(), 2u * 1002u * size_t(k) + 8);
        out.clear();
        Points pts{P(0, 0), P(len, 0), P(len, len), P(0, len)};
        p.Curve(scale, pts, out, true);
        EXPECT_EQ(out.size() % 2, 0u);
        EXPECT_LE(out.size(), 2u * (4000u + 2u) * size_t(k) + 16);
        out.clear();
        p.Line(scale, P(0, 0), P(len, len / 3), out, P(float(-len * next()), float(-len * next() / 3)));
        EXPECT_EQ(out.size() % 2, 0u);
        EXPECT_LE(out.size(), 2u * 1002u * size_t(k) + 8);
    }
}
