// Points, boxes, matrices, the arbitrary axis and the colour index.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "model/colors.h"
#include "model/geometry.h"
#include "model/near_sincos.h"

namespace {
void ExpectPoint(const TPoint3F& p, double x, double y, double z, double eps = 1e-6) {
    EXPECT_NEAR(p.X, x, eps);
    EXPECT_NEAR(p.Y, y, eps);
    EXPECT_NEAR(p.Z, z, eps);
}
}  // namespace

TEST(Boxes, FirstPointMakesADegenerateButNonEmptyBox) {
    TBox3F b = EmptyBox;
    EXPECT_TRUE(IsEmptyBox(b));
    ExpandBox(b, {3, 4, 5});
    EXPECT_FALSE(IsEmptyBox(b));
    EXPECT_EQ(b, (TBox3F{3, 4, 5, 3, 4, 5}));
}

TEST(Boxes, UnionWithAnEmptyBoxChangesNothing) {
    TBox3F b{0, 2, 0, 1, 0, 0};
    UnionBox(b, EmptyBox);
    EXPECT_EQ(b, (TBox3F{0, 2, 0, 1, 0, 0}));
    UnionBox(b, TBox3F{-1, 5, -2, 0, 1, 3});
    EXPECT_EQ(b, (TBox3F{-1, 5, -2, 1, 0, 3}));
}

TEST(Boxes, NaNMakesABoxEmpty) {
    TBox3F b{0, 1, 0, NAN, 0, 0};
    EXPECT_TRUE(IsEmptyBox(b));
}

TEST(Boxes, RotateBoxTakesTheBoundsOfTheRotatedCorners) {
    TBox3F b{0, 1, 0, 2, 0, 0};
    RotateBox(b, 90);
    EXPECT_NEAR(b.Left, -1, 1e-6);
    EXPECT_NEAR(b.Right, 0, 1e-6);
    EXPECT_NEAR(b.Bottom, 0, 1e-6);
    EXPECT_NEAR(b.Top, 2, 1e-6);
}

TEST(Boxes, ClassifyTouchingEdgeIsNeverDisjoint) {
    TBox3F clip{0, 10, 0, 10, 0, 0};
    TMatrix4x3F id = IdentityMatrix();
    EXPECT_EQ(ClassifyBox({10, 5, 0, 12, 2, 0}, clip, id), 0);   // touches the right edge
    EXPECT_EQ(ClassifyBox({2, 5, 0, 4, 2, 0}, clip, id), 1);     // inside
    EXPECT_EQ(ClassifyBox({11, 5, 0, 12, 2, 0}, clip, id), -1);  // outside
    EXPECT_EQ(ClassifyBox({0, 10, 0, 10, 0, 0}, clip, id), 1);   // equal to the clip box
    EXPECT_EQ(ClassifyBox(EmptyBox, clip, id), -1);
}

TEST(Boxes, SegmentInBoxWithAndWithoutZ) {
    TBox3F clip{0, 10, 0, 10, 0, 1};
    TMatrix4x3F id = IdentityMatrix();
    EXPECT_EQ(SegmentInBox({0, 0, 0}, {10, 10, 5}, clip, id, false), 1);
    EXPECT_EQ(SegmentInBox({0, 0, 0}, {10, 10, 5}, clip, id, true), -1);
    EXPECT_EQ(SegmentInBox({0, 0, 0}, {11, 10, 0}, clip, id, false), -1);
    EXPECT_EQ(SegmentInBox({0, 0, 0}, {1, 1, 0}, EmptyBox, id, false), -1);
}

TEST(Matrices, MultiplyAppliesTheFirstThenTheSecond) {
    TMatrix4x3F a = ScaleTranslateMatrix({2, 2, 1}, {1, 0, 0});
    TMatrix4x3F b = ScaleTranslateMatrix({1, 1, 1}, {0, 5, 0});
    TPoint3F p = TransformPoint({1, 1, 0}, MultiplyMatrix(a, b));
    ExpectPoint(p, 3, 7, 0);
    EXPECT_FALSE(MatrixHasRotation(a));
    EXPECT_TRUE(MatrixHasRotation(ExtrusionMatrix({0, 0, 1}, 30)));
}

TEST(Matrices, CacheScaleAndAngleDetectsMirrorAndRotation) {
    TDrawContext d;
    d.Matrix = ExtrusionMatrix({0, 0, 1}, 90);
    CacheScaleAndAngle(d);
    EXPECT_NEAR(d.ScaleX, 1, 1e-6);
    EXPECT_NEAR(d.Rotation, 90, 1e-4);
    TDrawContext m;
    m.Matrix = ScaleTranslateMatrix({-2, 3, 1}, {});
    CacheScaleAndAngle(m);
    EXPECT_NEAR(m.ScaleX, -2, 1e-6);
    EXPECT_NEAR(m.ScaleY, 3, 1e-6);
}

TEST(ArbitraryAxis, DefaultAndReversedExtrusion) {
    TPoint3F ax, ay, az;
    ArbitraryAxis({0, 0, 1}, ax, ay, az);
    ExpectPoint(ax, 1, 0, 0);
    ExpectPoint(ay, 0, 1, 0);
    ArbitraryAxis({0, 0, -1}, ax, ay, az);
    ExpectPoint(ax, -1, 0, 0);
    ExpectPoint(ay, 0, 1, 0);
    ExpectPoint(OCSToWCS({2, 3, 4}, {0, 0, -1}), -2, 3, -4);
}

TEST(ArbitraryAxis, ThresholdIsExactlyOneSixtyFourth) {
    TPoint3F ax, ay, az;
    // Below 1/64 the world Y axis is used: Ax = Wy x N has no Y part.
    ArbitraryAxis({0.0156f, 0, 1}, ax, ay, az);
    EXPECT_NEAR(ax.Y, 0, 1e-7);
    EXPECT_GT(ax.X, 0.99);
    // At 1/64 the world Z axis is used: Ax = Wz x N = (0, 0.015625, 0) normalised = (0, 1, 0).
    ArbitraryAxis({0.015625f, 0, 1}, ax, ay, az);
    ExpectPoint(ax, 0, 1, 0);
}

TEST(ArbitraryAxis, ZeroExtrusionReadsAsTheDefault) {
    TPoint3F p = OCSToWCS({1, 2, 3}, {0, 0, 0});
    ExpectPoint(p, 1, 2, 3);
    EXPECT_FALSE(std::isnan(p.X));
}

TEST(RotateAroundAxis, TinyAngleReturnsTheVector) {
    TPoint3F v{1, 2, 3};
    EXPECT_EQ(RotateAroundAxis(v, {0, 0, 1}, 5e-7), v);
    ExpectPoint(RotateAroundAxis({1, 0, 0}, {0, 0, 2}, kPi / 2), 0, 1, 0);
}

TEST(Helpers, FloorIntIsTheFloor) {
    EXPECT_EQ(FloorInt(2.5), 2);
    EXPECT_EQ(FloorInt(-2.5), -3);
    EXPECT_EQ(FloorInt(3.0), 3);
    EXPECT_EQ(FloorInt(-0.1), -1);
}

TEST(ColorIndex, FixedEntriesAndSentinels) {
    EXPECT_EQ(ColorFromIndex(0), clFromBlock);
    EXPECT_EQ(ColorFromIndex(1), 0x0000FF);
    EXPECT_EQ(ColorFromIndex(7), clForeground);
    EXPECT_EQ(ColorFromIndex(8), 0x808080);
    EXPECT_EQ(ColorFromIndex(250), clFromBlock);
    EXPECT_EQ(ColorFromIndex(256), clFromLayer);
    EXPECT_EQ(ColorFromIndex(257), 0x0000FF);  // only the low 8 bits count
    EXPECT_EQ(ColorFromIndex(-7), -7);
}

TEST(ColorIndex, ComputedHuesCarryTheIndexFlag) {
    EXPECT_EQ(ColorFromIndex(10), 0x020000FF);
    EXPECT_EQ(ColorFromIndex(11), 0x02000000 | 255 | (102 << 8) | (102 << 16));
    EXPECT_EQ(ColorFromIndex(50), 0x0200FFFF);
    EXPECT_EQ(ColorFromIndex(90), 0x0200FF00);
    EXPECT_EQ(ColorFromIndex(130), 0x02FFFF00);
    EXPECT_EQ(ColorFromIndex(170), 0x02FF0000);
    EXPECT_EQ(ColorFromIndex(210), 0x02FF00FF);
    // 12: hue 0, s = 2, k = 4: red 255*4/5 = 204.
    EXPECT_EQ(ColorFromIndex(12), 0x02000000 | 204);
    // 19: pastel, k = 1: red 255/5 = 51, green and blue (0+102)/5 = 20.4 -> 20.
    EXPECT_EQ(ColorFromIndex(19), 0x02000000 | 51 | (20 << 8) | (20 << 16));
}

// Curve points from the cheap sines and cosines are those of std::cos and
// std::sin to the last bit, also where the library's point lies right at the
// boundary between two floats.
TEST(CurvePoints, CheapSinesGiveTheLibrarysPointsToTheBit) {
    double worst = 0;
    for (int i = -405000; i <= 405000; ++i) {
        const double a = i * 3.1e-5 + 1e-9 * (i % 7);
        double c, s;
        ASSERT_TRUE(NearSinCos(a, c, s)) << a;
        worst = std::max({worst, std::fabs(c - std::cos(a)), std::fabs(s - std::sin(a))});
    }
    EXPECT_LT(worst, kNearSinCosSlack / 20);
    double c = 7, s = 7;
    EXPECT_FALSE(NearSinCos(4 * kPi, c, s));
    EXPECT_FALSE(NearSinCos(-4 * kPi, c, s));
    EXPECT_FALSE(NearSinCos(std::nan(""), c, s));
    EXPECT_EQ(c, 7);

    // Turned ellipses (either radius negative, some turns exactly zero) and
    // circles, centred so that the library's x and y lie within a few
    // doubles of the middle between two floats.
    std::mt19937_64 rng(29);
    std::uniform_real_distribution<double> unit(-1, 1);
    auto halfway = [&](double near) {
        const float f = float(near);
        return (double(f) + double(std::nextafter(f, 2 * f + 1))) / 2;
    };
    int differ = 0, cases = 0;
    for (int i = 0; i < 200000; ++i) {
        const double a = unit(rng) * 2 * kPi;
        double rx = std::ldexp(unit(rng), int(rng() % 24)), ry = i % 3 == 0 ? rx : std::ldexp(unit(rng), 10);
        const double r = i % 4 == 0 ? 0 : unit(rng) * kPi, cr = r == 0 ? 1 : std::cos(r), sr = r == 0 ? 0 : std::sin(r);
        const double u = std::cos(a) * rx, v = std::sin(a) * ry;
        const double cx = halfway(1000 * unit(rng) + u * cr) - u * cr + v * sr;
        const double cy = halfway(1000 * unit(rng) + u * sr) - u * sr - v * cr;
        auto at = [&](double cs, double sn) {
            const double u = cs * rx, v = sn * ry;
            return std::pair{cx + u * cr - v * sr, cy + u * sr + v * cr};
        };
        const auto want = at(std::cos(a), std::sin(a));
        float x, y;
        SinCosPoint(a, TurnedEllipseSigns(rx, ry, cr, sr), at, x, y);
        ++cases;
        if (std::bit_cast<std::uint32_t>(x) != std::bit_cast<std::uint32_t>(float(want.first)) ||
            std::bit_cast<std::uint32_t>(y) != std::bit_cast<std::uint32_t>(float(want.second)))
            ++differ;
    }
    EXPECT_EQ(differ, 0) << "of " << cases;
}
