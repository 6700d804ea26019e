// A chord tolerance: circles, arcs, ellipses, bulges and splines get the
// points that keep every chord within it of the true curve, and never fewer
// than the fixed counts give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/curves.h"
#include "model/entities/hatch.h"
#include "drawn_points.h"

#include "dxf_snippets.h"
#include "hatch_helpers.h"

namespace {
using dxftest::Entities;

double SegmentDistance(const TPoint3F& p, const TPoint3F& a, const TPoint3F& b) {
    double abx = double(b.X) - a.X, aby = double(b.Y) - a.Y, apx = double(p.X) - a.X, apy = double(p.Y) - a.Y;
    double l2 = abx * abx + aby * aby;
    double u = l2 > 0 ? std::clamp((apx * abx + apy * aby) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(apx - u * abx, apy - u * aby);
}

// How far the true curve (densely sampled) strays from the polyline.
double Stray(const std::vector<TPoint3F>& polyline, const std::vector<TPoint3F>& dense) {
    double worst = 0;
    for (const TPoint3F& p : dense) {
        double best = HUGE_VAL;
        for (size_t i = 0; i + 1 < polyline.size(); ++i)
            best = std::min(best, SegmentDistance(p, polyline[i], polyline[i + 1]));
        worst = std::max(worst, best);
    }
    return worst;
}

struct TCase {
    const char* Name;
    std::vector<std::string> Body;
};

// Curves about 1000 units large.
const std::vector<TCase> kCurves = {
    {"circle", {"0", "CIRCLE", "10", "0", "20", "0", "40", "1000"}},
    {"arc", {"0", "ARC", "10", "0", "20", "0", "40", "800", "50", "10", "51", "250"}},
    {"ellipse", {"0", "ELLIPSE", "10", "0", "20", "0", "11", "1200", "21", "300", "40", "0.3", "41", "0", "42", "5"}},
    {"bulges", {"0", "LWPOLYLINE", "90", "3", "10", "0", "20", "0", "42", "1", "10", "2000", "20", "0", "42", "-0.4",
                "10", "2000", "20", "1500"}},
    {"cubic", {"0", "SPLINE", "71", "3", "40", "0", "40", "0", "40", "0", "40", "0", "40", "1", "40", "1", "40", "1",
               "40", "1", "10", "0", "20", "0", "10", "300", "20", "2000", "10", "900", "20", "-1500", "10", "1200",
               "20", "0"}},
    {"rational", {"0", "SPLINE", "71", "2", "40", "0", "40", "0", "40", "0", "40", "1", "40", "1", "40", "1",
                  "10", "1000", "20", "0", "10", "1000", "20", "1000", "10", "0", "20", "1000",
                  "41", "1", "41", "0.7071067811865476", "41", "1"}},
    {"fit", {"0", "SPLINE", "71", "3", "11", "0", "21", "0", "11", "400", "21", "700", "11", "900", "21", "-200",
             "11", "1500", "21", "300"}},
};

std::vector<TPoint3F> PointsOf(const std::vector<std::string>& body, double tolerance, int circle = 16,
                               int spline = 25) {
    TkrDXFConverter conv;
    conv.ChordTolerance = tolerance;
    conv.CirclePoints = circle;
    conv.SplineParts = spline;
    conv.LoadFromText(Entities(body));
    auto* e = conv.EntityAt(0);
    EXPECT_FALSE(conv.Bounds.Any());
    return DrawnPoints(*static_cast<TkrDXFPolyline*>(e));
}
}  // namespace

TEST(ChordTolerance, EveryKindOfCurveStaysWithinIt) {
    for (const TCase& c : kCurves) {
        // The true curve: the fixed counts, very fine (bulges: a tolerance far
        // below the one checked).
        std::vector<TPoint3F> dense = PointsOf(c.Body, std::string(c.Name) == "bulges" ? 1e-4 : 0, 4000, 4000);
        std::vector<TPoint3F> fixed = PointsOf(c.Body, 0), fine = PointsOf(c.Body, 0.25);
        EXPECT_GT(Stray(fixed, dense), 0.25) << c.Name;  // the fixed counts stray further
        EXPECT_LE(Stray(fine, dense), 0.25) << c.Name;
        EXPECT_GT(fine.size(), fixed.size()) << c.Name;
        EXPECT_LT(fine.size(), 20 * fixed.size()) << c.Name;  // and not wildly more than needed
    }
}

TEST(ChordTolerance, SmallCurvesKeepTheFixedCounts) {
    // A circle of radius 1 is within 10 units with 3 points; it keeps 32.
    EXPECT_EQ(PointsOf({"0", "CIRCLE", "40", "1"}, 10).size(), PointsOf({"0", "CIRCLE", "40", "1"}, 0).size());
    EXPECT_EQ(PointsOf(kCurves[4].Body, 1e6).size(), PointsOf(kCurves[4].Body, 0).size());
}

TEST(ChordTolerance, ATinyToleranceOnAHugeCircleIsBounded) {
    TkrDXFConverter conv;
    conv.ChordTolerance = 1e-12;
    conv.LoadFromText(Entities({"0", "CIRCLE", "40", "1e30"}));
    EXPECT_LE(PointCount(*conv.EntityAt(0)), kMaxEntityPoints + 1);
    EXPECT_EQ(conv.Bounds.EntityPoints, 1u);
}

TEST(ChordTolerance, HatchBoundaryArcsEllipsesAndBulgesStayWithinIt) {
    // The outlines a hatch draws are curves like any other. Path 1: a full
    // circle edge of radius 1000 about (0, 0); path 2: an ellipse edge
    // (major axis 1200, ratio 0.5) about (5000, 0); path 3: a polyline of
    // two vertices 2000 apart with bulge 1 (half circles of radius 1000).
    using hatchtest::TGroups;
    const std::vector<TGroups> paths = {
        {"92", "1", "93", "1", "72", "2", "10", "0", "20", "0", "40", "1000", "50", "0", "51", "360", "73", "1", "97",
         "0"},
        {"92", "1", "93", "1", "72", "3", "10", "5000", "20", "0", "11", "1200", "21", "0", "40", "0.5", "50", "0", "51",
         "360", "73", "1", "97", "0"},
        hatchtest::BulgePath({{0, 3000, 1}, {2000, 3000, 1}}),
    };
    auto load = [&](double tolerance) {
        auto conv = std::make_unique<TkrDXFConverter>();
        conv->ChordTolerance = tolerance;
        conv->LoadFromText(hatchtest::HatchDxf(paths, {}));
        EXPECT_FALSE(conv->Bounds.Any());
        return conv;
    };
    // How far the true outline strays from each chord: the chord's middle
    // against the curve; a circle's sagitta is r - |middle - centre|, an
    // ellipse's is measured on the normalised ellipse (an upper bound).
    auto worst = [](const std::vector<TPoint3F>& p, double cx, double cy, double a, double b) {
        double w = 0;
        for (size_t i = 0; i + 1 < p.size(); ++i) {
            double mx = (double(p[i].X) + p[i + 1].X) / 2 - cx, my = (double(p[i].Y) + p[i + 1].Y) / 2 - cy;
            w = std::max(w, a * (1 - std::hypot(mx / a, my / b)));
        }
        return w;
    };
    auto fixed = load(0), fine = load(0.5);
    auto& hf = static_cast<TkrDXFHatch&>(*fixed->EntityAt(0));
    auto& h = static_cast<TkrDXFHatch&>(*fine->EntityAt(0));
    ASSERT_EQ(h.Paths.size(), 3u);
    // Without a tolerance the fixed counts: 32 points the circle, 16 chords a bulge.
    EXPECT_EQ(hf.Paths[0].size(), 32u);
    EXPECT_EQ(hf.Paths[2].size(), 2u + 2 * 15);
    EXPECT_GT(worst(hf.Paths[0], 0, 0, 1000, 1000), 0.5);
    // With it, every chord within 0.5 (a sagitta of 0.5 on r = 1000 needs
    // chords of 2 acos(0.9995) = 0.0632 rad: about 100 for the full turn).
    EXPECT_LE(worst(h.Paths[0], 0, 0, 1000, 1000), 0.5);
    EXPECT_LE(worst(h.Paths[1], 5000, 0, 1200, 600), 0.5);
    std::vector<TPoint3F> upper(h.Paths[2].begin(), h.Paths[2].begin() + long(h.Paths[2].size() / 2 + 1));
    EXPECT_LE(worst(upper, 1000, 3000, 1000, 1000), 0.5);
    EXPECT_GT(h.Paths[0].size(), 95u);
    EXPECT_LT(h.Paths[0].size(), 200u);
    EXPECT_GT(h.Paths[2].size(), 95u);
}

TEST(ChordTolerance, ATinyToleranceOnHugeHatchArcsAndBulgesIsBounded) {
    // Would need about 1e21 points each: the arc keeps its chord, the bulge
    // stays straight, with one warning for the hatch.
    const std::vector<hatchtest::TGroups> paths = {
        {"92", "1", "93", "1", "72", "2", "10", "0", "20", "0", "40", "1e30", "50", "0", "51", "180", "73", "1", "97",
         "0"},
        hatchtest::BulgePath({{0, 0, 1}, {1e30, 0, 1}}),
    };
    TkrDXFConverter conv;
    conv.ChordTolerance = 1e-12;
    conv.LoadFromText(hatchtest::HatchDxf(paths, {}));
    auto& h = static_cast<TkrDXFHatch&>(*conv.EntityAt(0));
    ASSERT_EQ(h.Paths.size(), 2u);
    EXPECT_LE(h.Paths[0].size(), 3u);  // the chord (closed again: it runs obliquely)
    EXPECT_LE(h.Paths[1].size(), 3u);
    EXPECT_EQ(conv.Bounds.EntityPoints, 1u);
}
