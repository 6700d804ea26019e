// The points made ahead of the drawing: every entity taken gets exactly the
// points MakePoints gives, through the ring's wrap and after the making has
// fallen behind; an entity too large for the ring, and slots of an earlier
// drawing, are left to the drawing. The steps are driven here on the test's
// own thread, so that each order of making and taking is met for certain.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/entities/linear.h"
#include "render/dxf_image.h"
#include "render/points_ahead.h"

namespace {

std::string Polyline(int n, double x0, double bulge) {
    std::string s = "0\nLWPOLYLINE\n90\n" + std::to_string(n) + "\n70\n0\n";
    for (int i = 0; i < n; ++i) {
        s += "10\n" + std::to_string(x0 + i * 0.01) + "\n20\n" + std::to_string((i % 7) * 0.3) + "\n";
        if (bulge != 0 && i % 3 == 0) s += "42\n" + std::to_string(bulge) + "\n";
    }
    return s;
}

// Circles, arcs, bulged and dashed polylines and lines; every 40th a
// polyline of 3000 points (ten of them fill the ring), and one of 9000
// (more than a quarter of it).
std::string Drawing() {
    std::string s =
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n0\nLTYPE\n2\nDASHED\n70\n0\n73\n2\n40\n0.3\n49\n0.2\n49\n-0.1\n"
        "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 600; ++i) {
        const std::string x = std::to_string(i % 30), y = std::to_string(i / 30);
        const std::string dashed = i % 4 == 1 ? "6\nDASHED\n" : "";
        switch (i % 5) {
            case 0: s += "0\nCIRCLE\n" + dashed + "10\n" + x + "\n20\n" + y + "\n40\n0." + std::to_string(1 + i % 9) + "\n"; break;
            case 1: s += "0\nARC\n" + dashed + "10\n" + x + "\n20\n" + y + "\n40\n0.4\n50\n" + std::to_string(i % 360) + "\n51\n300\n"; break;
            case 2: s += Polyline(3 + i % 7, i % 30, 0.5); break;
            case 3: s += "0\nLINE\n" + dashed + "10\n" + x + "\n20\n" + y + "\n11\n" + x + ".5\n21\n" + y + ".5\n"; break;
            default: s += Polyline(i % 40 == 4 ? 3000 : 4, i % 30, 0); break;
        }
        if (i == 301) s += Polyline(9000, 0, 0);
    }
    return s + "0\nENDSEC\n0\nEOF\n";
}

bool Same(std::span<const TPoint3F> a, const std::vector<TPoint3F>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TPoint3F)) == 0);
}

struct TTaken {
    int Hits = 0, Misses = 0, Wrong = 0, LargeMisses = 0;
};

// Takes the points of every polyline among top's children in order (from
// entity first on), and gives the other side steps until it has no more
// after each one when stepping.
TTaken TakeAll(TPointsAhead& ahead, const TkrDXFGroup& top, bool stepping, size_t first = 0) {
    TTaken t;
    TPointWork work;
    for (size_t i = first; i < top.Entities.size(); ++i) {
        const TkrDXFEntity& e = *top.Entities[i];
        if (!e.Is(TEntityClass::Polyline)) continue;
        const auto& p = static_cast<const TkrDXFPolyline&>(e);
        std::span<const TPoint3F> points;
        const bool got = ahead.Take(p, points);
        p.MakePoints(work);
        if (!got) {
            ++t.Misses;
            if (work.Points.size() > TPointsAhead::kRingPoints / 4) ++t.LargeMisses;
        } else {
            ++t.Hits;
            if (!Same(points, work.Points)) ++t.Wrong;
        }
        while (stepping && ahead.Step()) {
        }
    }
    return t;
}

}  // namespace

TEST(PointsAhead, EveryEntityTakenHasTheDrawnPointsAndWhatDoesNotFitIsLeftToTheDrawing) {
    TkrDXFImage g;
    g.LoadFromText(Drawing());
    const TkrDXFGroup& top = *g.Converter->GetTable(tkEntities);
    TPointsAhead ahead;

    // The other side ahead all the time: the ring wraps many times.
    ahead.Begin(top, false);
    while (ahead.Step()) {
    }
    TTaken t = TakeAll(ahead, top, true);
    EXPECT_EQ(t.Wrong, 0);
    EXPECT_EQ(t.LargeMisses, 1);
    // A few may miss where the ring was full until the drawing passed more.
    EXPECT_GT(t.Hits, 470);
    EXPECT_EQ(t.Hits + t.Misses, 481);
    ahead.End();

    // The drawing first goes on alone, then the other side catches up: it
    // goes on from past the drawing, with the same points.
    ahead.Begin(top, false);
    std::span<const TPoint3F> points;
    size_t at = 0;
    for (int taken = 0; taken < 100; ++at) {
        if (!top.Entities[at]->Is(TEntityClass::Polyline)) continue;
        EXPECT_FALSE(ahead.Take(static_cast<const TkrDXFPolyline&>(*top.Entities[at]), points));
        ++taken;
    }
    while (ahead.Step()) {
    }
    t = TakeAll(ahead, top, true, at);
    EXPECT_EQ(t.Wrong, 0);
    EXPECT_GT(t.Hits, 350);
    ahead.End();

    // Slots of the drawing before (whose ring is gone) are never taken: a
    // new drawing starts with nothing made.
    ahead.Begin(top, false);
    while (ahead.Step()) {
    }
    ahead.End();
    ahead.Begin(top, false);
    t = TakeAll(ahead, top, false);
    EXPECT_EQ(t.Hits, 0);
    ahead.End();
    EXPECT_FALSE(ahead.Take(static_cast<const TkrDXFPolyline&>(*top.Entities[0]), points));
}
