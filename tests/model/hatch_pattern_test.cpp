// Hatch patterns: the families of pattern lines, their clipping to the
// boundary with the even-odd rule (lines through boundary vertices
// included), the dashes, and the bounds. Segments are worked out by hand in
// the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "hatch_helpers.h"
#include "model/errors.h"
#include "model/hatch_clip.h"

using namespace hatchtest;
using dxftest::Entities;

namespace {
const std::vector<std::array<double, 2>> kSquare = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};

std::vector<TSeg> SegmentsOf(const std::vector<TGroups>& paths, const std::vector<TGroups>& lines) {
    auto l = LoadHatch(HatchDxf(paths, lines));
    EXPECT_NE(l.Hatch, nullptr);
    return l.Hatch ? Pairs(l.Hatch->Segments) : std::vector<TSeg>{};
}

// The message of the error loading text raises ("" without one).
std::string LoadError(const std::string& text) {
    try {
        modeltest::LoadDrawable(text);
    } catch (const EkrError& e) {
        return e.what();
    }
    return "";
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}
}  // namespace

// ---- families and clipping ----

TEST(HatchPattern, HorizontalLinesAcrossTheSquare) {
    // 0 degrees, base (0, 0), offset (0, 1) on the 10 x 10 square: the first
    // line runs at the top (the anchor is the corner (0, 10)), then downwards;
    // y = 10 and y = 0 run along the square's edges and meet its sides at the
    // corners: every line gives the piece from (0, y) to (10, y).
    auto s = SegmentsOf({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 0, 1)});
    std::vector<TSeg> want;
    for (int y = 10; y >= 0; --y) want.push_back({0, float(y), 10, float(y)});
    EXPECT_EQ(s, want);
}

TEST(HatchPattern, ASquareHoleSplitsTheLinesThatCrossIt) {
    // The hole (3, 3)-(7, 7): lines y = 3 .. 7 give two pieces, (0, y)-(3, y)
    // and (7, y)-(10, y); y = 3 and y = 7 run along the hole's edges.
    auto s = SegmentsOf({PolyPath(kSquare), PolyPath({{3, 3}, {7, 3}, {7, 7}, {3, 7}})}, {PatternLine(0, 0, 0, 0, 1)});
    std::vector<TSeg> want;
    for (int y = 10; y >= 0; --y) {
        float f = float(y);
        if (y >= 3 && y <= 7) {
            want.push_back({0, f, 3, f});
            want.push_back({7, f, 10, f});
        } else {
            want.push_back({0, f, 10, f});
        }
    }
    EXPECT_EQ(s, want);
}

TEST(HatchPattern, DiagonalLinesAreClippedAtTheSquaresSides) {
    // 45 degrees with offset (-1, 1): the lines x - y = c for even c from -10
    // to 10. Each meets two sides: from (0, -c) to (10 + c, 10) for c < 0,
    // from (c, 0) to (10, 10 - c) for c > 0; c = 0 is the diagonal through
    // the corners (0, 0) and (10, 10), where the line crosses the boundary
    // (the neighbours lie on both sides): one point each. c = -10 and 10 only
    // touch the corners (0, 10) and (10, 0): both points are kept, a piece of
    // length 0.
    auto s = SegmentsOf({PolyPath(kSquare)}, {PatternLine(45, 0, 0, -1, 1)});
    std::vector<TSeg> want;
    for (int c = -10; c <= 10; c += 2) {
        if (c < 0) want.push_back({0, float(-c), float(10 + c), 10});
        else want.push_back({float(c), 0, 10, float(10 - c)});
    }
    ASSERT_EQ(s.size(), want.size());
    std::sort(s.begin(), s.end());
    std::sort(want.begin(), want.end());
    for (size_t i = 0; i < s.size(); ++i)
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(s[i][size_t(k)], want[i][size_t(k)], 1e-5) << i;
}

TEST(HatchPattern, ASolidFillBuildsNoSegments) {
    auto l = LoadHatch(HatchDxf({PolyPath(kSquare)}, {}));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_TRUE(l.Hatch->Solid);
    EXPECT_TRUE(l.Hatch->Segments.empty());
    EXPECT_EQ(l.Hatch->FamilyKind, fkNone);
}

TEST(HatchPattern, TheFamilyKinds) {
    auto kind = [](double angle, double ox, double oy) {
        auto l = LoadHatch(HatchDxf({PolyPath(kSquare)}, {PatternLine(angle, 0, 0, ox, oy)}));
        return l.Hatch ? l.Hatch->FamilyKind : uint8_t(255);
    };
    EXPECT_EQ(kind(0, 0, 1), fkHorizontal);
    EXPECT_EQ(kind(90, -1, 0), fkVertical);
    EXPECT_EQ(kind(45, -1, 1), fkRising);
    EXPECT_EQ(kind(135, -1, -1), fkFalling);
}

TEST(HatchPattern, AGroup78BeyondThePatternLinesReadUsesThoseRead) {
    TGroups g = HatchGroups({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 0, 5)});
    auto n = std::find(g.begin(), g.end(), "78");
    ASSERT_NE(n, g.end());
    n[1] = "40";
    auto l = LoadHatch(Entities(g));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_EQ(l.Hatch->Segments.size(), 2u * 3);  // y = 10, 5, 0
}

// ---- lines through boundary vertices ----

TEST(HatchVertices, ACrossingAtAnOutsideCornerCountsOnceAndTheNextSegmentStillCounts) {
    // The triangle (0, 0), (10, 5), (0, 10) and the line y = 5: both segments
    // at (10, 5) meet it there; the neighbours lie on both sides, so the
    // repeat is dropped; the left side still gives (0, 5). (The segment after
    // a dropped point was skipped, which lost (0, 5) and the whole piece.)
    auto s = SegmentsOf({PolyPath({{0, 0}, {10, 5}, {0, 10}})}, {PatternLine(0, 0, 5, 0, 10)});
    EXPECT_EQ(s, (std::vector<TSeg>{{0, 5, 10, 5}}));
}

TEST(HatchVertices, ACrossingAtAnInsideCornerCountsOnce) {
    // A notch from the left side with its tip (3, 5) on the line y = 5, away
    // from the line's ends: the boundary crosses the line at the tip (from
    // (0, 10) above to (0, 0) below), so inside is x from 3 to 10. (Kept
    // twice, the tip made the piece (3, 5)-(3, 5) and lost the rest.)
    auto s = SegmentsOf({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {3, 5}})}, {PatternLine(0, 0, 5, 0, 10)});
    EXPECT_EQ(s, (std::vector<TSeg>{{3, 5, 10, 5}}));
    // The same from the right side, tip (5, 5): inside is x from 0 to 5.
    s = SegmentsOf({PolyPath({{0, 0}, {10, 0}, {10, 4}, {5, 5}, {10, 10}, {0, 10}})}, {PatternLine(0, 0, 5, 0, 10)});
    EXPECT_EQ(s, (std::vector<TSeg>{{0, 5, 5, 5}}));
}

TEST(HatchVertices, AnInsideCornerTouchingTheLineKeepsBothPoints) {
    // A notch from the top down to (5, 5): the boundary only touches y = 5
    // there (both neighbours above): both points count, and the line is
    // inside on both sides of the tip.
    auto s = SegmentsOf({PolyPath({{0, 0}, {10, 0}, {10, 10}, {5, 5}, {0, 10}})}, {PatternLine(0, 0, 5, 0, 10)});
    EXPECT_EQ(s, (std::vector<TSeg>{{0, 5, 5, 5}, {5, 5, 10, 5}}));
}

TEST(HatchVertices, TangentsAtOutsideCornersGivePiecesOfLengthZero) {
    // The diamond (5, 0), (10, 5), (5, 10), (0, 5) with the lines y = 10, 5, 0:
    // y = 10 and y = 0 touch the top and bottom corners (the bottom one is the
    // path's first vertex, met by its first and last segment); y = 5 crosses
    // at the left and right corners.
    auto s = SegmentsOf({PolyPath({{5, 0}, {10, 5}, {5, 10}, {0, 5}})}, {PatternLine(0, 0, 0, 0, 5)});
    EXPECT_EQ(s, (std::vector<TSeg>{{5, 10, 5, 10}, {0, 5, 10, 5}, {5, 0, 5, 0}}));
}

TEST(HatchVertices, AVertexSharedByAHoleAndTheOutline) {
    // The hole (0, 5), (5, 2), (5, 8) touches the square's left side at
    // (0, 5). On y = 5 the square gives (0, 5) and (10, 5); the hole crosses
    // at its first vertex (0, 5) (once) and at (5, 5): inside is x from 5 to
    // 10, with a piece of length 0 at (0, 5).
    auto s = SegmentsOf({PolyPath(kSquare), PolyPath({{0, 5}, {5, 2}, {5, 8}})}, {PatternLine(0, 0, 0, 0, 5)});
    EXPECT_EQ(s, (std::vector<TSeg>{{0, 10, 10, 10}, {0, 5, 0, 5}, {5, 5, 10, 5}, {0, 0, 10, 0}}));
}

TEST(HatchVertices, RepeatedPointsOfLineEdgesMeetNoLine) {
    // Line edges give every corner twice; the triangle as edges hatches like
    // the triangle as a polyline path.
    TGroups p = {"92", "1", "93", "3", "72", "1", "10", "0", "20", "0", "11", "10", "21", "5",
                 "72", "1", "10", "10", "20", "5", "11", "0", "21", "10",
                 "72", "1", "10", "0", "20", "10", "11", "0", "21", "0", "97", "0"};
    EXPECT_EQ(SegmentsOf({p}, {PatternLine(0, 0, 5, 0, 10)}), (std::vector<TSeg>{{0, 5, 10, 5}}));
}

// ---- parameter errors and mended families ----

TEST(HatchParameters, AnOffsetAlongTheLinesIsAnError) {
    // Offset (1, 0) at 0 degrees: the family would never leave its line.
    std::string m = LoadError(HatchDxf({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 1, 0)}));
    EXPECT_EQ(m.rfind("DXF read error on line ", 0), 0u) << m;
    EXPECT_TRUE(EndsWith(m, "\r\nHatch parameters error")) << m;
    // So are no offset at all and vertical lines with a vertical offset.
    EXPECT_TRUE(EndsWith(LoadError(HatchDxf({PolyPath(kSquare)}, {PatternLine(30, 0, 0, 0, 0)})), "Hatch parameters error"));
    EXPECT_TRUE(EndsWith(LoadError(HatchDxf({PolyPath(kSquare)}, {PatternLine(90, 0, 0, 0, 2)})), "Hatch parameters error"));
}

TEST(HatchParameters, EveryFamilyWithoutProgressIsAnError) {
    // 270 degrees with offset x 0 and 0.05 degrees with offset (1, 0) passed
    // the check of the offset against the angle and never ended.
    EXPECT_TRUE(EndsWith(LoadError(HatchDxf({PolyPath(kSquare)}, {PatternLine(270, 0, 0, 0, 1)})), "Hatch parameters error"));
    EXPECT_TRUE(EndsWith(LoadError(HatchDxf({PolyPath(kSquare)}, {PatternLine(0.05, 0, 0, 1, 0)})), "Hatch parameters error"));
    // Offsets beyond the float range are no numbers to step by.
    EXPECT_TRUE(EndsWith(LoadError(HatchDxf({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 0, 1e39)})), "Hatch parameters error"));
    // A box without height generates nothing, and checks nothing.
    EXPECT_EQ(LoadError(HatchDxf({PolyPath({{0, 0}, {10, 0}})}, {PatternLine(0, 0, 0, 1, 0)})), "");
}

TEST(HatchParameters, AnObliqueFamilyCoversTheBoxFromEitherSide) {
    // The square (1, -11)-(11, -1), 45 degrees, base (0, 0), offset (0.3, -0.3).
    // The anchor is the corner (1, -1); 3 whole offsets from the base reach
    // (0.9, -0.9), whose line y = x - 1.8 misses the box, and the offset points
    // towards the box: the lines y = x - c, c = 1.8 + 0.6 k for k = 1 .. 33,
    // cross it. (The family used to end at the first line, with none.)
    auto s = SegmentsOf({PolyPath({{1, -11}, {11, -11}, {11, -1}, {1, -1}})}, {PatternLine(45, 0, 0, 0.3, -0.3)});
    ASSERT_EQ(s.size(), 33u);
    // c = 2.4: from (1, -1.4) on the left side to (1.4, -1) on the top.
    std::sort(s.begin(), s.end(), [](const TSeg& a, const TSeg& b) { return a[1] - a[0] > b[1] - b[0]; });
    EXPECT_NEAR(s[0][0], 1, 1e-5);
    EXPECT_NEAR(s[0][1], -1.4, 1e-5);
    EXPECT_NEAR(s[0][2], 1.4, 1e-5);
    EXPECT_NEAR(s[0][3], -1, 1e-5);
}

TEST(HatchParameters, HorizontalLinesFarFromTheirBasePoint) {
    // Offset (0, 0.5) with the base at the origin and the square 500000 away
    // along x: the anchor lies on the base's vertical line at the top of the
    // square, so the family starts at y = 10. (The corner itself was the
    // anchor: a million whole offsets up from the base, the family started
    // far above the square and ran into the bound of lines.)
    auto l = LoadHatch(HatchDxf({PolyPath({{500000, 0}, {500010, 0}, {500010, 10}, {500000, 10}})},
                                {PatternLine(0, 0, 0, 0, 0.5)}));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_EQ(l.Conv->Bounds.HatchPatterns, 0u);
    auto s = Pairs(l.Hatch->Segments);
    ASSERT_EQ(s.size(), 21u);
    EXPECT_EQ(s.front(), (TSeg{500000, 10, 500010, 10}));
    EXPECT_EQ(s.back(), (TSeg{500000, 0, 500010, 0}));
}

// ---- dashes ----

TEST(HatchDashes, DashesStartAtThePhasePoint) {
    // 90 degrees, offset (-1, 0), dashes 6, -2 on the square: vertical lines
    // x = 0 .. 10 with the phase point (x, 8) (the base moved up by one pattern
    // length towards the corner). On x = 5 the pattern starts at y = 8 - 16 =
    // -8, a whole pattern before the line's start: dashes 0-6 and 8-10.
    auto l = LoadHatch(HatchDxf({PolyPath(kSquare)}, {PatternLine(90, 0, 0, -1, 0, {6, -2})}));
    ASSERT_NE(l.Hatch, nullptr);
    auto s = Pairs(l.Hatch->Segments);
    ASSERT_EQ(s.size(), 22u);
    EXPECT_EQ(s[10], (TSeg{5, 0, 5, 6}));
    EXPECT_EQ(s[11], (TSeg{5, 8, 5, 10}));
}

TEST(HatchDashes, AtOneHundredEightyDegreesAndMoreTheDashesRunInReverse) {
    // 270 degrees, offset (1, 0): the same phase points, with the dashes
    // taken as -2, 6: on x = 5 one dash from 2 to 8. (The first line lies at
    // x = 8 cos 270 degrees = 1.5e-15, so the eleventh lies a hair beyond the
    // square, at 10 + 1.5e-15: ten lines.)
    auto l = LoadHatch(HatchDxf({PolyPath(kSquare)}, {PatternLine(270, 0, 0, 1, 0, {6, -2})}));
    ASSERT_NE(l.Hatch, nullptr);
    auto s = Pairs(l.Hatch->Segments);
    ASSERT_EQ(s.size(), 10u);
    EXPECT_EQ(s[5], (TSeg{5, 2, 5, 8}));
    // At 200 degrees (rising lines) likewise: the hatch equals the one at 20
    // degrees with the dashes written in reverse, cut the same way.
    auto a = LoadHatch(HatchDxf({PolyPath(kSquare)}, {PatternLine(200, 0, 0, 0.5, -1, {3, -1, 0.5, -1})}));
    ASSERT_NE(a.Hatch, nullptr);
    THatchPatternLine pl;
    pl.Angle = 200, pl.OffsetX = 0.5, pl.OffsetY = -1;
    pl.HasDashes = true;
    pl.Dashes = std::make_unique<TkrLines>();
    pl.Dashes->FTicks = {3, -1, 0.5, -1};
    std::vector<THatchFamilyLine> fam;
    GenerateFamily(pl, a.Hatch->Box, kMaxHatchLines, fam);
    TkrLines reversed;
    reversed.FTicks = {-1, 0.5, -1, 3};
    std::vector<TPoint2F> want;
    for (const THatchFamilyLine& f : fam) {
        const float line[4] = {f.X1, f.Y1, f.X2, f.Y2};
        std::vector<TPoint3F> boundary = {{5, 0, 0}, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {0, 0, 0}};
        std::vector<TPoint3F> hits = ParseLinesHatch(boundary, line);
        for (size_t k = 0; k + 1 < hits.size(); k += 2) {
            std::vector<TPoint3F> cut;
            reversed.Line(1.0, hits[k], hits[k + 1], cut, f.Phase);
            for (const TPoint3F& q : cut) want.push_back({q.X, q.Y});
        }
    }
    ASSERT_GT(want.size(), 20u);
    EXPECT_EQ(a.Hatch->Segments, want);
}

TEST(HatchDashes, ASingleElementIsADashOrAGapWithoutEnd) {
    // One element cannot be cut into a pattern (it raised "TkrLines.Line:
    // FTicks.Count <= 1" and ended the drawing): 5 draws every piece solid,
    // -5 draws nothing.
    auto solid = SegmentsOf({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 0, 1)});
    EXPECT_EQ(SegmentsOf({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 0, 1, {5})}), solid);
    EXPECT_TRUE(SegmentsOf({PolyPath(kSquare)}, {PatternLine(0, 0, 0, 0, 1, {-5})}).empty());
}

// ---- the clipping routine and the sweep ----

TEST(HatchClip, ParseLinesHatchTakesHeadersAndLinesOfFourNumbers) {
    // Header: 4 points + 1; the points; the first again.
    std::vector<TPoint3F> boundary = {{5, 0, 0}, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {0, 0, 0}};
    const float two[8] = {0, 5, 10, 5, 2, 0, 2, 10};
    EXPECT_EQ(ParseLinesHatch(boundary, two),
              (std::vector<TPoint3F>{{0, 5, 0}, {10, 5, 0}, {2, 0, 0}, {2, 10, 0}}));
    const float three[3] = {0, 5, 10};
    try {
        ParseLinesHatch(boundary, three);
        ADD_FAILURE() << "no error";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "ParseLinesHatch: (ALines.Count mod 4) <> 0");
    }
}

TEST(HatchClip, TheSweepFindsWhatTestingEverySegmentFinds) {
    // Star-shaped boundaries on a grid of whole numbers (so that many lines
    // pass exactly through vertices or along edges), with holes, against
    // families at several angles: the sweep gives the points of the plain
    // test of every segment against every line, line by line.
    uint64_t seed = 12345;
    auto next = [&](int n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return int((seed >> 33) % uint64_t(n));
    };
    for (int round = 0; round < 40; ++round) {
        std::vector<std::vector<TPoint3F>> paths;
        for (int p = 0; p < 1 + round % 3; ++p) {
            std::vector<TPoint3F> path;
            int n = 3 + next(40), cx = next(20) - 10, cy = next(20) - 10;
            for (int i = 0; i < n; ++i) {
                double a = 2 * kPi * i / n, r = 2 + next(12);
                path.push_back(Point2F(std::round(cx + r * std::cos(a)), std::round(cy + r * std::sin(a))));
            }
            paths.push_back(path);
        }
        TBox3F box = EmptyBox;
        std::vector<TPoint3F> flat;
        for (auto& p : paths) {
            flat.push_back({float(p.size() + 1), 0, 0});
            flat.insert(flat.end(), p.begin(), p.end());
            flat.push_back(p[0]);
            for (auto& q : p) ExpandBox(box, q);
        }
        const double families[][3] = {{0, 0, 1}, {90, -1, 0}, {45, -1, 1}, {135, -1, -1}, {30, -0.5, 0.866}};
        for (auto& f : families) {
            THatchPatternLine pl;
            pl.Angle = float(f[0]), pl.OffsetX = float(f[1]), pl.OffsetY = float(f[2]);
            std::vector<THatchFamilyLine> lines;
            THatchFamily fam = GenerateFamily(pl, box, kMaxHatchLines, lines);
            ASSERT_FALSE(lines.empty());
            THatchClipBoundary b = MakeClipBoundary(paths);
            size_t tests = kMaxHatchSegmentTests;
            std::vector<TPoint3F> hits;
            std::vector<uint32_t> ends;
            ASSERT_TRUE(ClipFamily(b, lines, fam.NormalX, fam.NormalY, tests, kMaxEntityPoints, hits, ends));
            for (size_t i = 0, from = 0; i < lines.size(); from = ends[i++]) {
                const float l4[4] = {lines[i].X1, lines[i].Y1, lines[i].X2, lines[i].Y2};
                std::vector<TPoint3F> plain = ParseLinesHatch(flat, l4);
                std::vector<TPoint3F> swept(hits.begin() + long(from), hits.begin() + long(ends[i]));
                ASSERT_EQ(swept, plain) << "round " << round << ", angle " << f[0] << ", line " << i;
            }
        }
    }
}

// ---- bounds ----

TEST(HatchBounds, TooManyFamilyLinesLeaveThePatternOutWithAWarning) {
    // Offset 0.0001 across 100 units: a million lines.
    auto l = LoadHatch(HatchDxf({PolyPath({{0, 0}, {100, 0}, {100, 100}, {0, 100}})},
                                {PatternLine(0, 0, 0, 0, 0.0001)}));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_TRUE(l.Hatch->Segments.empty());
    EXPECT_EQ(l.Hatch->Paths[0].size(), 4u);  // the boundary stays
    EXPECT_EQ(l.Conv->Bounds.HatchPatterns, 1u);
    ASSERT_EQ(l.Conv->Bounds.Messages().size(), 1u);
    EXPECT_EQ(l.Conv->Bounds.Messages()[0].rfind("1 hatch pattern(s) left out (boundaries kept): more than 100000 family lines", 0), 0u);
}

TEST(HatchBounds, MicroscopicScalesAndHugeBoxesAreBounded) {
    // A pattern scaled down to 1e-30, and offsets of 1 over a box of 1e38:
    // both would need more lines than there are; the drawing loads with the
    // boundaries only.
    auto a = LoadHatch(HatchDxf({PolyPath(kSquare)}, {PatternLine(45, 0, 0, -1e-30, 1e-30)}));
    ASSERT_NE(a.Hatch, nullptr);
    EXPECT_TRUE(a.Hatch->Segments.empty());
    EXPECT_EQ(a.Conv->Bounds.HatchPatterns, 1u);
    for (double angle : {0.0, 90.0, 30.0}) {
        auto b = LoadHatch(HatchDxf({PolyPath({{-1e38, -1e38}, {1e38, -1e38}, {1e38, 1e38}, {-1e38, 1e38}})},
                                    {PatternLine(angle, 0, 0, angle == 90 ? -1 : 0.5, 1)}));
        ASSERT_NE(b.Hatch, nullptr);
        EXPECT_TRUE(b.Hatch->Segments.empty()) << angle;
        EXPECT_EQ(b.Conv->Bounds.HatchPatterns, 1u) << angle;
    }
    // A boundary point beyond the float range: no box to hatch.
    auto c = LoadHatch(HatchDxf({PolyPath({{0, 0}, {1e39, 0}, {0, 10}})}, {PatternLine(0, 0, 0, 0, 1)}));
    ASSERT_NE(c.Hatch, nullptr);
    EXPECT_TRUE(c.Hatch->Segments.empty());
}

TEST(HatchBounds, APatternOfTooManyPointsIsLeftOut) {
    // A comb of 2000 teeth between y = 0 and y = 100 and horizontal lines 0.1
    // apart: each of the 1000 lines meets 4000 segments, 4 million points.
    std::vector<std::array<double, 2>> comb;
    for (int i = 0; i < 2000; ++i) {
        comb.push_back({double(i), 0});
        comb.push_back({i + 0.5, 100});
    }
    auto l = LoadHatch(HatchDxf({PolyPath(comb)}, {PatternLine(0, 0, 0.05, 0, 0.1)}));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_TRUE(l.Hatch->Segments.empty());
    EXPECT_EQ(l.Conv->Bounds.HatchPatterns, 1u);
}

TEST(HatchBounds, TooManyDashPointsDrawTheDashesSolid) {
    // Dashes 0.0625, -0.0625 on 100-unit pieces, 801 lines 0.125 apart: 800
    // patterns per piece, 1.28 million dash points in all, past the point
    // bound of one entity: every piece is drawn solid instead, with a warning.
    auto l = LoadHatch(HatchDxf({PolyPath({{0, 0}, {100, 0}, {100, 100}, {0, 100}})},
                                {PatternLine(0, 0, 0, 0, 0.125, {0.0625, -0.0625})}));
    ASSERT_NE(l.Hatch, nullptr);
    EXPECT_EQ(l.Conv->Bounds.DashPoints, 1u);
    EXPECT_EQ(l.Conv->Bounds.HatchPatterns, 0u);
    auto s = Pairs(l.Hatch->Segments);
    ASSERT_EQ(s.size(), 801u);
    EXPECT_EQ(s[0], (TSeg{0, 100, 100, 100}));
}
