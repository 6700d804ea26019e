// Clipping of the sink at a rectangle (a viewport's frame): segments cut,
// filled polygons clipped, texts and pixels kept by their reference point,
// and everything wholly inside drawn exactly as without clipping.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "dxf_snippets.h"
#include "output/dxf_writer.h"
#include "output/sink.h"
#include "output/text_file.h"
#include "test_helpers.h"

namespace fs = std::filesystem;

namespace {
// A text-mode sink clipped at x 0..100, y 0..50.
class ClippedText : public ::testing::Test {
protected:
    void SetUp() override {
        path = (fs::temp_directory_path() / ("sink_clip_" + std::to_string(::getpid()) + ".txt")).string();
        fs::remove(path);
        sink.TextMode = true;
        sink.TextFile().Bind(path);
        sink.TextFile().Rewrite();
        sink.Clipping = true;
        sink.ClipRect = {0, 0, 100, 50};
    }
    void TearDown() override { fs::remove(path); }
    std::string Close() {
        sink.TextFile().Close();
        return dxftest::ReadFile(path);
    }
    std::string path;
    TPDFCanvas sink;
};

// The numbers of a HATCH boundary as the writer gives them: the vertex count
// (group 93) and every edge start (10/20) after it.
struct THatchEdges {
    int Count = -1;
    std::vector<std::pair<double, double>> Starts;
};

THatchEdges FirstHatch(const std::string& entities) {
    THatchEdges h;
    std::istringstream in(entities);
    std::vector<std::string> l;
    for (std::string s; std::getline(in, s);) {
        if (!s.empty() && s.back() == '\r') s.pop_back();
        l.push_back(s);
    }
    for (size_t i = 0; i + 1 < l.size(); i += 2) {
        std::string code = l[i].substr(l[i].find_first_not_of(' '));
        if (code == "93") h.Count = std::stoi(l[i + 1]);
        if (h.Count >= 0 && code == "72" && i + 5 < l.size())
            h.Starts.push_back({std::stod(l[i + 3]), std::stod(l[i + 5])});
        if (code == "97") break;
    }
    return h;
}
}  // namespace

TEST_F(ClippedText, SegmentsAreCutAtTheEdgesAndPartsOutsideDropped) {
    // Across the left edge: (-100, 25)-(50, 25) keeps (0, 25)-(50, 25).
    sink.MoveTo(-100, 25);
    sink.LineTo(50, 25);
    // Leaving through the top: (50, 25)-(50, 50) stays.
    sink.LineTo(50, 200);
    // Wholly outside: nothing.
    sink.MoveTo(200, 0);
    sink.LineTo(300, 50);
    // Through two edges: (-10, -10)-(110, 50) meets x = 0 at y = -5 (outside),
    // y = 0 at x = 10 and x = 100 at y = 45: (10, 0)-(100, 45).
    sink.MoveTo(-10, -10);
    sink.LineTo(110, 50);
    EXPECT_EQ(Close(), "0;25;50;25\r\n50;25;50;50\r\n10;0;100;45\r\n");
    EXPECT_EQ(sink.PenPos, (TPoint{110, 50}));  // the pen moves to the end as given
}

TEST_F(ClippedText, APolylineInsideIsUnchangedAndOneLeavingIsSplit) {
    TPoint inside[3] = {{0, 0}, {100, 50}, {0, 50}};  // on the bounds: inside
    sink.Polyline(inside, 3);
    // Leaves at the top edge, comes back: two parts.
    TPoint out[4] = {{10, 10}, {10, 90}, {20, 90}, {20, 10}};
    sink.Polyline(out, 4);
    EXPECT_EQ(Close(), "0;0;100;50\r\n100;50;0;50\r\n10;10;10;50\r\n20;50;20;10\r\n");
}

TEST_F(ClippedText, APolygonOutlineIsCutWithoutSegmentsOfTheFrame) {
    // A square from (50, 25) to (150, 75), its outline without the closing
    // segment: (50,75)-(50,25) keeps (50,50)-(50,25), (50,25)-(150,25) keeps
    // (50,25)-(100,25), (150,25)-(150,75) is outside. No part of the frame
    // (x = 100, y = 50) is drawn.
    TPoint sq[4] = {{50, 75}, {50, 25}, {150, 25}, {150, 75}};
    sink.Polygon(sq, 4);
    EXPECT_EQ(Close(), "50;50;50;25\r\n50;25;100;25\r\n");
}

TEST_F(ClippedText, CutPointsAreRoundedToTheNearestInteger) {
    // (-1, 0)-(2, 3) meets x = 0 at y = 1.
    sink.MoveTo(-1, 0);
    sink.LineTo(2, 3);
    // (1, -2)-(4, 1): meets y = 0 at x = 3.
    sink.MoveTo(1, -2);
    sink.LineTo(4, 1);
    // Meets y = 0 at x = 2.5: ties go to the even 2.
    sink.MoveTo(2, -1);
    sink.LineTo(3, 1);
    EXPECT_EQ(Close(), "0;1;2;3\r\n3;0;4;1\r\n2;0;3;1\r\n");
}

namespace {
// Makes sink record for simplified DXF, clipped to (0, 0)-(1000, 1000) when clip is set.
void SetUpDxfSink(TPDFCanvas& sink, bool clip) {
    sink.Exporter = std::make_unique<TkrDXFExport>();
    sink.Clipping = clip;
    sink.ClipRect = {0, 0, 1000, 1000};
}

class ClippedDxf : public ::testing::Test {
protected:
    void SetUp() override { SetUpDxfSink(sink, true); }
    TPDFCanvas sink;
};
}  // namespace

TEST_F(ClippedDxf, AFilledPolygonIsClippedToTheRectangle) {
    // A triangle (0,0), (2000,0), (0,2000) clipped to the square: the
    // hypotenuse x + y = 2000 lies outside it, so the square (0,0), (1000,0),
    // (1000,1000), (0,1000) remains.
    TPoint tri[3] = {{0, 0}, {2000, 0}, {0, 2000}};
    sink.Polygon(tri, 3);
    sink.Exporter->FinishDrawing();
    THatchEdges h = FirstHatch(EntitiesOf(*sink.Exporter));
    ASSERT_EQ(h.Count, 4);
    for (auto [x, y] : h.Starts) {  // the writer flips y
        EXPECT_GE(x, 0);
        EXPECT_LE(x, 1000);
        EXPECT_LE(y, 0);
        EXPECT_GE(y, -1000);
    }
}

TEST_F(ClippedDxf, APolygonWhollyOutsideOrOfNoAreaDrawsNothing) {
    TPoint far[3] = {{2000, 0}, {3000, 0}, {2000, 1000}};
    sink.Polygon(far, 3);
    // Touches the rectangle only at its corner (1000, 1000).
    TPoint corner[3] = {{1000, 1000}, {2000, 1000}, {1000, 2000}};
    sink.Polygon(corner, 3);
    sink.Exporter->FinishDrawing();
    EXPECT_EQ(FirstHatch(EntitiesOf(*sink.Exporter)).Count, -1);
}

TEST_F(ClippedDxf, AnAreaOfSeveralPolygonsIsClippedPolygonByPolygonAndStaysOneHatch) {
    // An outer square (500, 500)-(1500, 1500) with an island (600, 600)-(700, 700)
    // inside the rectangle and one wholly outside it: the outer square is cut
    // to (500, 500)-(1000, 1000), the island kept, the other dropped.
    TPoint pts[12] = {{500, 500}, {1500, 500}, {1500, 1500}, {500, 1500}, {600, 600}, {700, 600},
                      {700, 700}, {600, 700},  {1200, 1200}, {1300, 1200}, {1300, 1300}, {1200, 1300}};
    int counts[3] = {4, 4, 4};
    sink.PolyPolygonArea(pts, counts, 3);
    sink.Exporter->FinishDrawing();
    std::string e = EntitiesOf(*sink.Exporter);
    EXPECT_EQ(e.find("HATCH"), e.rfind("HATCH")) << e;
    EXPECT_NE(e.find("\r\n 91\r\n2\r\n"), std::string::npos) << e;
    EXPECT_EQ(e.find("1200"), std::string::npos);
    EXPECT_EQ(e.find("1500"), std::string::npos);
    EXPECT_NE(e.find("\r\n-700\r\n"), std::string::npos);
}

TEST_F(ClippedDxf, TextsPixelsAndRectanglesByTheirPlace) {
    sink.Font.Height = 40;
    sink.TextOut(500, 500, "inside");
    sink.TextOut(1500, 500, "outside");  // its start point is outside
    sink.SetPixel(2000, 2000, 0);         // outside: nothing
    sink.Rectangle(900, 900, 1100, 1100);  // cut to (900, 900)-(1000, 1000)
    sink.Exporter->FinishDrawing();
    std::string e = EntitiesOf(*sink.Exporter);
    EXPECT_NE(e.find("inside"), std::string::npos);
    EXPECT_EQ(e.find("outside"), std::string::npos);
    EXPECT_EQ(e.find("2000"), std::string::npos);
    EXPECT_EQ(e.find("1100"), std::string::npos);
    EXPECT_NE(e.find("\r\n900\r\n"), std::string::npos);
}

TEST(ClippedDxfSink, EverythingInsideIsRecordedAsWithoutClipping) {
    auto draw = [](bool clip) {
        TPDFCanvas sink;
        SetUpDxfSink(sink, clip);
        TPoint tri[3] = {{0, 0}, {1000, 0}, {0, 1000}};
        sink.Polygon(tri, 3);
        const int counts[1] = {3};
        sink.PolyPolygonArea(tri, counts, 1);
        sink.Polyline(tri, 3);
        sink.Rectangle(10, 10, 20, 20);
        sink.SetPixel(1000, 1000, 0xFF);
        sink.TextOut(0, 0, "t");
        sink.Exporter->FinishDrawing();
        return sink.Exporter->SaveToString();
    };
    EXPECT_EQ(draw(true), draw(false));
}
