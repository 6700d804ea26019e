// The drawing graphic and entity drawing: extents, mapping, and what each
// entity kind writes to the sink, checked end to end in text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output/dxf_writer.h"
#include "output/text_file.h"
#include "render/dxf_image.h"

namespace fs = std::filesystem;

#include "dxf_snippets.h"
#include "render/render_helpers.h"

using dxftest::Dxf;
using dxftest::Entities;

namespace {
using rendertest::DrawText;

// A frame of four lines from (-500, -200) to (500, 200) on layer 0.
std::vector<std::string> Frame() {
    return {"0", "LINE", "8", "0", "10", "-500", "20", "-200", "11", "500", "21", "-200",
            "0", "LINE", "8", "0", "10", "500",  "20", "-200", "11", "500", "21", "200",
            "0", "LINE", "8", "0", "10", "500",  "20", "200",  "11", "-500", "21", "200",
            "0", "LINE", "8", "0", "10", "-500", "20", "200",  "11", "-500", "21", "-200"};
}
}  // namespace

TEST(Extents, MarginOfAnEighthAndTheNaturalSize) {
    TkrDXFImage g;
    g.LoadFromText(Entities(Frame()));
    ASSERT_EQ(g.LayoutCount(), 1);
    EXPECT_EQ(g.GetWidth(), 1250);
    EXPECT_EQ(g.GetHeight(), 500);
    EXPECT_DOUBLE_EQ(g.LayoutExtents.Left, -625);
    EXPECT_DOUBLE_EQ(g.LayoutExtents.Top, 250);
}

TEST(Extents, AnEmptyLayoutGetsTheUnitBox) {
    TkrDXFImage g;
    g.LoadFromText(Entities({}));
    EXPECT_EQ(g.GetWidth(), 10);
    EXPECT_EQ(g.GetHeight(), 10);
    EXPECT_EQ(g.Centre, (TPoint3F{0, 0, 0}));
}

TEST(Extents, SmallDrawingsAreScaledByTen) {
    TkrDXFImage g;
    // 4 x 2 -> 5 x 2.5 with margins; x 10 + 0.5 = 50.5 and 25.5, rounded with
    // ties to even: 50 x 26.
    g.LoadFromText(Entities({"0", "LINE", "10", "0", "20", "0", "11", "4", "21", "2"}));
    EXPECT_EQ(g.GetWidth(), 50);
    EXPECT_EQ(g.GetHeight(), 26);
}

TEST(Extents, AModelSeenThroughATurnedViewIsFittedToItsProjectedGeometry) {
    auto vport = [](const char* dx, const char* dy, const char* dz, const char* twist) {
        return Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "VPORT", "0", "VPORT", "2", "*ACTIVE", "16", dx,
                    "26", dy, "36", dz, "51", twist, "0", "ENDTAB", "0", "ENDSEC"});
    };
    // Seen from (0, -1, 1): view x = x, view y = (y + z) / sqrt 2. A square
    // at z = 0 (view y 0..7.07) and a short line above its corner at z = 10
    // (view y 7.07): the projected plan box (view y 0..14.1) would put the
    // drawing into its lower half; it is centred, and fills the middle 80 %
    // of the rectangle in the direction that limits the scale (here the
    // height: natural size 13 x 9 for extents 12.5 x 8.84).
    std::vector<std::string> l = {"0", "LINE", "10", "0",  "20", "0",  "11", "10", "21", "0",  "0", "LINE", "10", "10", "20", "0",
         "11", "10",  "21", "10", "0",  "LINE", "10", "10", "20", "10", "11", "0",  "21", "10", "0",  "LINE",
         "10", "0",   "20", "10", "11", "0",  "21", "0",  "0", "LINE", "10", "0",  "20", "0",  "30", "10",
         "11", "1",   "21", "0",  "31", "10"};
    TkrDXFImage g;
    TIntRect rect;
    auto lines = DrawText(g, vport("0", "-1", "1", "0") + Entities(l), &rect);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NEAR(g.LayoutExtents.Bottom, -7.0710678 / 8, 1e-5);
    EXPECT_NEAR(g.LayoutExtents.Top, 7.0710678 * 9 / 8, 1e-5);
    EXPECT_NEAR(g.LayoutExtents.Left, -1.25, 1e-5);
    int64_t x0 = INT64_MAX, x1 = INT64_MIN, y0 = INT64_MAX, y1 = INT64_MIN;
    for (const std::string& line : lines) {
        int64_t v[4];
        ASSERT_EQ(std::sscanf(line.c_str(), "%ld;%ld;%ld;%ld", &v[0], &v[1], &v[2], &v[3]), 4) << line;
        x0 = std::min({x0, v[0], v[2]}), x1 = std::max({x1, v[0], v[2]});
        y0 = std::min({y0, v[1], v[3]}), y1 = std::max({y1, v[1], v[3]});
    }
    EXPECT_NEAR(double(x0 + x1), 600000, 2);
    EXPECT_NEAR(double(y0 + y1), double(rect.Bottom), 2);
    EXPECT_NEAR(double(y1 - y0), 0.8 * rect.Bottom, 2);
    EXPECT_GT(double(x1 - x0), 0.78 * 600000);
    // A plan view twisted by 90 degrees turns a frame 1000 wide and 400 high
    // upright: extents 500 x 1250 (not 1250 wide margins on a 400 wide box).
    TkrDXFImage t;
    t.LoadFromText(vport("0", "0", "1", "90") + Entities(Frame()));
    EXPECT_EQ(t.GetWidth(), 500);
    EXPECT_EQ(t.GetHeight(), 1250);
    EXPECT_NEAR(t.LayoutExtents.Right - t.LayoutExtents.Left, 500, 1e-3);
}

TEST(Mapping, TheFrameLandsInTheMiddleEightyPercent) {
    TkrDXFImage g;
    TIntRect r;
    auto lines = DrawText(g, Entities(Frame()), &r);
    EXPECT_EQ(r.Bottom, 240000);
    EXPECT_FLOAT_EQ(g.ScaleX, 480);
    // y up becomes y down: the top edge (y = 200) maps to 24000.
    EXPECT_EQ(lines, (std::vector<std::string>{"60000;216000;540000;216000", "540000;216000;540000;24000",
                                               "540000;24000;60000;24000", "60000;24000;60000;216000"}));
    EXPECT_EQ(g.GetLayout(-1), nullptr);
    EXPECT_EQ(g.GetLayout(1), nullptr);
}

TEST(Mapping, ADrawingFarFromTheOriginLandsInTheRectangle) {
    // 10 x 5 at (1e6, 2e6): the scale is 600000 / 12.5 = 48000, so the centre
    // maps to about (4.8e10, -9.6e10), far outside the 32-bit range; only the
    // offset brings it back. Every point once landed on the edge of that range.
    TkrDXFImage g;
    TIntRect r;
    auto lines = DrawText(g, Entities({"0", "LINE", "10", "1000000", "20", "2000000", "11", "1000010", "21", "2000005"}), &r);
    ASSERT_EQ(lines.size(), 1u);
    long long x1, y1, x2, y2;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%lld;%lld;%lld;%lld", &x1, &y1, &x2, &y2), 4);
    // The line keeps its exact size (10 and 5 units at 48000 a unit); its place
    // is off the middle by at most half a float step of the offset (8192 at 9.6e10).
    // The rectangle is 600000 x 323076 (natural size 13 x 7).
    EXPECT_EQ(x2 - x1, 480000);
    EXPECT_EQ(y1 - y2, 240000);
    EXPECT_NEAR(double(x1), 60000, 4096);
    EXPECT_NEAR(double(y2), r.Bottom / 2 - 120000, 4096);
}

// The integer a point maps to is that of its coordinates mapped in extended
// precision (each rounded to nearest, ties to even, saturated, NaN to 0),
// whatever shortcut the mapping takes.
TEST(Mapping, EveryPointRoundsAsItsExtendedSumDoesEvenBesideAMidpoint) {
    auto extended = [](const TMatrix4x3F& matrix, const TPoint3F& p, int k) {
        const auto& m = matrix.M;
        long double v = (long double)p.X * m[0][k] + (long double)p.Y * m[1][k] + (long double)p.Z * m[2][k] + m[3][k];
        if (!(v == v)) return int32_t(0);
        if (v >= 2147483647.0L) return INT32_MAX;
        if (v <= -2147483648.0L) return INT32_MIN;
        return int32_t(std::nearbyintl(v));
    };
    auto expectExtended = [&](const TMatrix4x3F& m, const TPoint3F& p) {
        TPoint q = TkrDXFImage::MapWith(m, p);
        ASSERT_EQ(q.X, extended(m, p, 0)) << p.X << ' ' << p.Y << ' ' << p.Z;
        ASSERT_EQ(q.Y, extended(m, p, 1)) << p.X << ' ' << p.Y << ' ' << p.Z;
    };
    // 2^40 + (0.5 + 2^-23 + 2^-47) - 2^40: a double sum loses the part below
    // 2^-12 of the first partial sum and lands on the midpoint 0.5 (which
    // rounds to 0); the extended sum keeps 2^-23 and rounds to 1.
    TMatrix4x3F m;
    m.M[0][0] = 1, m.M[1][0] = 0.5f + 0x1p-24f, m.M[2][0] = 1;
    m.M[0][1] = 0.5f, m.M[3][1] = 2.0f;
    TPoint3F p{0x1p40f, 1 + 0x1p-23f, -0x1p40f};
    EXPECT_EQ(TkrDXFImage::MapWith(m, p).X, 1);
    expectExtended(m, p);
    // Midpoints themselves round to even: 0.5 * odd + 2.
    for (float x : {1.0f, 3.0f, 5.0f, -1.0f, -3.0f, 4093.0f}) expectExtended(m, {x, 0, 0});
    EXPECT_EQ(TkrDXFImage::MapWith(m, {3.0f, 0, 0}).Y, 4);  // 3.5 -> 4
    EXPECT_EQ(TkrDXFImage::MapWith(m, {5.0f, 0, 0}).Y, 4);  // 4.5 -> 4
    // Beyond the 32-bit range and NaN.
    expectExtended(m, {3e9f, 0, 0});
    expectExtended(m, {0, 0, -3e38f});
    expectExtended(m, {std::nanf(""), 0, 0});
    // Random matrices and points of every magnitude, and halves and quarters
    // that put many sums on or beside a midpoint.
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed;
    };
    auto value = [&] {
        uint64_t r = next();
        switch (r % 4) {
            case 0: return float(int64_t(r >> 40) % 4096) * 0.25f;
            case 1: return std::ldexp(float((r >> 8) & 0xFFFFFF), int((r >> 32) % 60) - 40) * ((r >> 40) & 1 ? -1 : 1);
            case 2: return float(int64_t(r >> 33) % 2000001 - 1000000) * 0.5f;
            default: return std::ldexp(1.0f + float((r >> 8) & 0xFF) * 0x1p-23f, int((r >> 32) % 20)) * ((r >> 40) & 1 ? -1 : 1);
        }
    };
    for (int i = 0; i < 200000; ++i) {
        for (auto& row : m.M)
            for (float& c : row) c = value();
        expectExtended(m, {value(), value(), value()});
    }
}

// A box is in the target range as its corners' extended sums say, beside
// the edge too: -2^31 - 2^-25 is -2^31 in double precision (inside) but
// below it in extended precision (outside).
TEST(Mapping, ABoxIsInTheTargetRangeAsItsExtendedSumsSayBesideTheEdge) {
    TMatrix4x3F m;
    m.M[0][0] = 1, m.M[1][1] = 1, m.M[3][0] = -0x1p31f;
    auto box = [](float x0, float x1) { return TBox3F{x0, 0, 0, x1, 0, 0}; };
    EXPECT_FALSE(TkrDXFImage::BoxInTarget(m, box(-0x1p-25f, -0x1p-25f)));
    EXPECT_TRUE(TkrDXFImage::BoxInTarget(m, box(0, 0x1p31f - 128)));
    EXPECT_FALSE(TkrDXFImage::BoxInTarget(m, box(0, 0x1p32f)));
    m.M[3][0] = 0;
    EXPECT_TRUE(TkrDXFImage::BoxInTarget(m, box(-6e5f, 6e5f)));
}

TEST(Mapping, AZeroSizedRectangleWithAZeroSizedBoxDrawsNothing) {
    TkrDXFImage g;
    g.LoadFromText(Entities({"0", "LINE", "10", "5", "20", "5", "11", "5", "21", "5"}));
    TPDFCanvas sink;  // DXF mode without a writer: any drawing call would raise
    g.Box = {0, 0, 0, 0, 0, 0};
    EXPECT_NO_THROW(g.DrawOnSink(sink, {0, 0, 0, 0}));
}

TEST(Mapping, TheSinkAttributesAreRestoredAfterDrawing) {
    TkrDXFImage g;
    g.LoadFromText(Entities({"0", "LINE", "62", "1", "370", "200", "10", "0", "20", "0", "11", "10", "21", "0"}));
    fs::path path = fs::temp_directory_path() / ("render_attr_" + std::to_string(::getpid()) + ".txt");
    TPDFCanvas sink;
    sink.TextMode = true;
    sink.TextFile().Bind(path.string());
    sink.TextFile().Rewrite();
    TPen pen = sink.Pen;
    TBrush brush = sink.Brush;
    g.DrawOnSink(sink, {0, 0, 1000, 1000});
    sink.TextFile().Close();
    fs::remove(path);
    EXPECT_EQ(sink.Pen, pen);
    EXPECT_EQ(sink.Brush, brush);
}

TEST(Drawing, HiddenLayersDrawNothingExceptInsertsOnLayerZero) {
    std::string tables = Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "OFF", "62",
                              "-1", "0", "LAYER", "2", "0", "62", "-7", "0", "ENDTAB", "0", "ENDSEC"});
    std::string body = Entities({"0", "LINE", "8", "OFF", "10", "0", "20", "0", "11", "10", "21", "0",
                                 "0", "LINE", "8", "VISIBLE", "10", "0", "20", "0", "11", "10", "21", "10"});
    auto lines = DrawText(tables + body);
    EXPECT_EQ(lines.size(), 1u);
}

TEST(Drawing, DashedLinesDrawOnePolylinePerDash) {
    std::string tables = Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LTYPE", "0", "LTYPE", "2", "D", "49",
                              "8", "49", "-2", "0", "ENDTAB", "0", "ENDSEC"});
    // 35 long: dashes 6.5, 8, 8, 6.5.
    auto lines = DrawText(tables + Entities({"0", "LINE", "6", "D", "10", "0", "20", "0", "11", "35", "21", "0"}));
    EXPECT_EQ(lines.size(), 4u);
}

TEST(Drawing, SolidCornersComeInTheOrderOneTwoFourThree) {
    // Corners (0,0), (10,0), (0,10), (10,10): a bow-tie unless drawn 1, 2, 4, 3.
    auto lines = DrawText(Entities({"0", "SOLID", "10", "0", "20", "0", "11", "10", "21", "0", "12", "0", "22", "10",
                                    "13", "10", "23", "10"}));
    // Text form: the polygon's three segments, not closed. Extents 10 x 10 ->
    // 12.5 x 12.5, scale 48000: (0,0) -> (60000, 540000), (10,10) -> (540000, 60000).
    EXPECT_EQ(lines, (std::vector<std::string>{"60000;540000;540000;540000", "540000;540000;540000;60000",
                                               "540000;60000;60000;60000"}));
}

TEST(Drawing, AFaceWithAllEdgesInvisibleDrawsNothing) {
    std::vector<std::string> face = {"0", "3DFACE", "10", "0", "20", "0", "11", "10", "21", "0",
                                     "12", "10", "22", "10", "13", "0", "23", "10"};
    auto visible = DrawText(Entities(face));
    EXPECT_EQ(visible.size(), 4u);
    face.insert(face.end(), {"70", "15"});
    face.insert(face.end(), {"0", "LINE", "10", "0", "20", "0", "11", "10", "21", "10"});
    auto hidden = DrawText(Entities(face));
    EXPECT_EQ(hidden.size(), 1u);  // only the line
}

TEST(Drawing, FaceEdgesAreDashedWithTheFacesOwnScale) {
    std::string tables = Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LTYPE", "0", "LTYPE", "2", "D", "49",
                              "8", "49", "-2", "0", "ENDTAB", "0", "ENDSEC"});
    // A 40 x 40 face; each edge holds 4 whole patterns of 10 at scale 1
    // (dashes 5, 8, 8, 8, 5: five lines per edge), 2 at scale 2 (three lines).
    auto face = [](const char* scale) {
        return std::vector<std::string>{"0",  "3DFACE", "6",  "D",  "48", scale, "10", "0",  "20", "0",  "11", "40",
                                        "21", "0",      "12", "40", "22", "40",  "13", "0",  "23", "40"};
    };
    // A line loaded after the face with another scale must not change how the face is cut.
    auto after = std::vector<std::string>{"0", "LINE", "6", "D", "48", "7", "10", "0", "20", "0", "11", "1", "21", "0"};
    auto one = face("1");
    one.insert(one.end(), after.begin(), after.end());
    EXPECT_EQ(DrawText(tables + Entities(one)).size(), 4u * 5 + 1);
    auto two = face("2");
    two.insert(two.end(), after.begin(), after.end());
    EXPECT_EQ(DrawText(tables + Entities(two)).size(), 4u * 3 + 1);
}

TEST(Drawing, ClosedPolygonMeshesCloseEveryColumn) {
    // M = 2 rows of N = 3 points, closed in the M direction: M x N + 1 vertices.
    std::vector<std::string> l = {"0", "POLYLINE", "66", "1", "70", "17", "71", "2", "72", "3"};
    for (auto [x, y] : {std::pair{"0", "0"}, {"1", "0"}, {"2", "0"}, {"0", "1"}, {"1", "1"}, {"2", "1"}, {"0", "0"}})
        l.insert(l.end(), {"0", "VERTEX", "70", "64", "10", x, "20", y});
    l.insert(l.end(), {"0", "SEQEND"});
    // Rows: 2 polylines of 3 points (4 segments); columns: 3 polylines of 3 points (6 segments).
    EXPECT_EQ(DrawText(Entities(l)).size(), 10u);
}

TEST(Drawing, MeshesClosedInNCloseEveryRow) {
    // M = 2 rows of N = 3 points; flags 48: a polygon mesh closed in N.
    auto mesh = [](const char* flags, bool closingVertex) {
        std::vector<std::string> l = {"0", "POLYLINE", "66", "1", "70", flags, "71", "2", "72", "3"};
        for (auto [x, y] : {std::pair{"0", "0"}, {"1", "0"}, {"2", "0"}, {"0", "1"}, {"1", "1"}, {"2", "1"}})
            l.insert(l.end(), {"0", "VERTEX", "70", "64", "10", x, "20", y});
        if (closingVertex) l.insert(l.end(), {"0", "VERTEX", "70", "64", "10", "0", "20", "0"});
        l.insert(l.end(), {"0", "SEQEND"});
        return Entities(l);
    };
    // Extents -0.25..2.25 x -0.125..1.125, natural size 26 x 13, rectangle
    // 600000 x 300000, scale 240000: x' = 60000 + 240000 x, y' = 270000 - 240000 y.
    // Rows: 2 closed rows of 4 points, then the 3 columns of 2 points.
    EXPECT_EQ(DrawText(mesh("48", false)),
              (std::vector<std::string>{"60000;270000;300000;270000", "300000;270000;540000;270000",
                                        "540000;270000;60000;270000", "60000;30000;300000;30000",
                                        "300000;30000;540000;30000", "540000;30000;60000;30000",
                                        "60000;270000;60000;30000", "300000;270000;300000;30000",
                                        "540000;270000;540000;30000"}));
    // Closed in both directions (flags 49, with the closing vertex): 6 row and 6 column segments.
    EXPECT_EQ(DrawText(mesh("49", true)).size(), 12u);
}

TEST(Drawing, ZeroLengthLineBecomesOneUnitLong) {
    auto lines = DrawText(Entities({"0", "LINE", "10", "0", "20", "0", "11", "0", "21", "0",
                                    "0", "LINE", "10", "-5", "20", "-5", "11", "5", "21", "5"}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "300000;300000;300001;300000");
}

TEST(Drawing, ACircleIsAPolylineThroughItsPoints) {
    auto lines = DrawText(Entities({"0", "CIRCLE", "10", "0", "20", "0", "40", "10"}));
    // 32 chords, each one text line.
    EXPECT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines.front().substr(0, lines.front().find(';', lines.front().find(';') + 1)),
              lines.back().substr(lines.back().find(';', lines.back().find(';') + 1) + 1));
}

TEST(Drawing, PolyfaceFacesWithInvalidIndicesAreSkipped) {
    std::vector<std::string> l = {"0", "POLYLINE", "66", "1", "70", "64", "71", "3", "72", "2"};
    for (auto [x, y] : {std::pair{"0", "0"}, {"10", "0"}, {"0", "10"}})
        l.insert(l.end(), {"0", "VERTEX", "70", "192", "10", x, "20", y});
    l.insert(l.end(), {"0", "VERTEX", "70", "128", "71", "1", "72", "2", "73", "3"});
    l.insert(l.end(), {"0", "VERTEX", "70", "128", "71", "0", "72", "-1", "73", "9"});
    l.insert(l.end(), {"0", "SEQEND"});
    auto lines = DrawText(Entities(l));
    EXPECT_EQ(lines.size(), 3u);  // one closed triangle
}

TEST(Drawing, PolyfaceMeshesDrawTheirVisibleEdgesInTheBoxOfTheirVertices) {
    // The square (10,10) (20,10) (20,20) (10,20); the face records lie at the
    // origin, their dummy place, and do not count for the box: extents
    // 8.75..21.25, scale 600000 / 12.5 = 48000, x' = 60000 + 48000 (x - 10),
    // y' = 540000 - 48000 (y - 10).
    std::vector<std::string> l = {"0", "POLYLINE", "66", "1", "70", "64", "71", "4", "72", "2"};
    for (auto [x, y] : {std::pair{"10", "10"}, {"20", "10"}, {"20", "20"}, {"10", "20"}})
        l.insert(l.end(), {"0", "VERTEX", "70", "192", "10", x, "20", y});
    // Vertex 3 negative: the edge from 3 to 4 is invisible, vertex 3 stays.
    l.insert(l.end(), {"0", "VERTEX", "70", "128", "71", "1", "72", "2", "73", "-3", "74", "4"});
    // Every edge invisible: nothing.
    l.insert(l.end(), {"0", "VERTEX", "70", "128", "71", "-1", "72", "-2", "73", "-4"});
    l.insert(l.end(), {"0", "SEQEND"});
    TkrDXFImage g;
    auto lines = DrawText(g, Entities(l));
    EXPECT_DOUBLE_EQ(g.LayoutExtents.Left, 8.75);
    EXPECT_DOUBLE_EQ(g.LayoutExtents.Bottom, 8.75);
    // One run from vertex 4 round to vertex 3: 4-1, 1-2, 2-3.
    EXPECT_EQ(lines, (std::vector<std::string>{"60000;60000;60000;540000", "60000;540000;540000;540000",
                                               "540000;540000;540000;60000"}));
}

TEST(Drawing, InsertsExpandTheirBlocks) {
    std::string blocks = Dxf({"0", "SECTION", "2", "BLOCKS", "0", "BLOCK", "2", "B", "10", "0", "20", "0", "0", "LINE",
                              "8", "0", "10", "0", "20", "0", "11", "1", "21", "0", "0", "ENDBLK", "0", "ENDSEC"});
    auto lines = DrawText(blocks + Entities({"0", "INSERT", "2", "B", "10", "0", "20", "0", "0", "INSERT", "2", "B",
                                             "10", "0", "20", "5", "41", "2", "42", "2"}));
    EXPECT_EQ(lines.size(), 2u);
}

// Parts of a block inserted again and again are drawn from the points made
// at an earlier insert: the lines are those of the same inserts each of its
// own copy of the block (every block walked once), also after the drawing's
// curves were made anew between two drawings of one graphic.
TEST(Drawing, ABlockInsertedAgainAndAgainDrawsAsInsertsOfCopiesOfIt) {
    auto block = [](const std::string& name) {
        return std::vector<std::string>{
            "0", "BLOCK", "2", name, "10", "0", "20", "0",
            "0", "ARC", "10", "0", "20", "0", "40", "7", "50", "10", "51", "100",
            "0", "ARC", "10", "1", "20", "2", "40", "3", "50", "200", "51", "350",
            "0", "CIRCLE", "10", "-4", "20", "1", "40", "2",
            "0", "LWPOLYLINE", "90", "3", "70", "1", "10", "0", "20", "0", "42", "0.5", "10", "5", "20", "0",
            "10", "5", "20", "4",
            "0", "ENDBLK"};
    };
    auto drawing = [&](bool copies) {
        std::vector<std::string> blocks = {"0", "SECTION", "2", "BLOCKS"}, inserts;
        const char* place[4][4] = {{"0", "0", "1", "0"}, {"30", "5", "2", "45"}, {"-20", "40", "0.5", "170"},
                                   {"60", "-30", "1.5", "300"}};
        for (int k = 0; k < 4; ++k) {
            std::string name = copies ? "S" + std::to_string(k) : "S";
            if (copies || k == 0) for (const std::string& g : block(name)) blocks.push_back(g);
            inserts.insert(inserts.end(), {"0", "INSERT", "2", name, "10", place[k][0], "20", place[k][1], "41",
                                           place[k][2], "42", place[k][2], "50", place[k][3]});
        }
        blocks.insert(blocks.end(), {"0", "ENDSEC"});
        return Dxf(blocks) + Entities(inserts);
    };
    TkrDXFImage shared, copies;
    const auto first = DrawText(shared, drawing(false));
    ASSERT_GT(first.size(), 100u);
    EXPECT_EQ(first, DrawText(copies, drawing(true)));
    // Finer curves: the next drawing makes every part's points anew.
    shared.Converter->SetCirclePoints(40);
    copies.Converter->SetCirclePoints(40);
    const auto finer = rendertest::DrawLoaded(shared);
    EXPECT_GT(finer.size(), first.size());
    EXPECT_EQ(finer, rendertest::DrawLoaded(copies));
}

TEST(Drawing, DxfFormRecordsLinesAsLineEntities) {
    TkrDXFImage g;
    g.LoadFromText(Entities(Frame()));
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 240000});
    sink.Exporter->FinishDrawing();
    std::string dxf = sink.Exporter->SaveToString();
    size_t n = 0;
    for (size_t p = dxf.find("\r\nLINE\r\n"); p != std::string::npos; p = dxf.find("\r\nLINE\r\n", p + 1)) ++n;
    EXPECT_EQ(n, 4u);
}

TEST(Drawing, AnInsertArrayDrawsEveryCopyRowByRow) {
    // Block: a line (0,0)-(2,0). 3 columns 9 apart, 2 rows 5 apart: x 0..20,
    // y 0..5; extents 25 x 6.25, scale 24000, x' = 60000 + 24000 x. The
    // rectangle is 600000 / (26 / 7) = 161538 high (natural size rounded to
    // 26 x 7), so y 2.5 maps to its middle 80769: y' = 140769 - 24000 y.
    auto lines = DrawText(Dxf({"0", "SECTION", "2", "BLOCKS", "0", "BLOCK", "2", "B", "10", "0", "20", "0",
                               "0", "LINE", "8", "0", "10", "0", "20", "0", "11", "2", "21", "0", "0", "ENDBLK",
                               "0", "ENDSEC", "0", "SECTION", "2", "ENTITIES", "0", "INSERT", "8", "0", "2", "B",
                               "10", "0", "20", "0", "70", "3", "71", "2", "44", "9", "45", "5",
                               "0", "ENDSEC", "0", "EOF"}));
    EXPECT_EQ(lines, (std::vector<std::string>{"60000;140769;108000;140769", "276000;140769;324000;140769",
                                               "492000;140769;540000;140769", "60000;20769;108000;20769",
                                               "276000;20769;324000;20769", "492000;20769;540000;20769"}));
}
