// Drawing dimensions, leaders and viewports onto the sink: what reaches the
// text form, the clipping of viewport content at the frame, and the state
// put back after a viewport, also when drawing fails.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/dxf_writer.h"
#include "render/dxf_image.h"

#include "dxf_snippets.h"
#include "render/render_helpers.h"

namespace fs = std::filesystem;

namespace {
std::string Dxf(const std::string& pipes) { return dxftest::PipeDxf(pipes); }

// Draws layout i in text form into the conversion run's rectangle.
std::vector<std::string> DrawLayout(TkrDXFImage& g, int i) {
    g.SetCurrentLayout(g.GetLayout(i));
    return rendertest::DrawLoaded(g);
}

std::vector<std::string> Draw(const std::string& pipes, int layout = 0) {
    TkrDXFImage g;
    g.LoadFromText(Dxf(pipes));
    return DrawLayout(g, layout);
}

// A frame (-500, -200)-(500, 200) of four lines: the layout maps x to
// 480 x + 300000 and y to 120000 - 480 y (a 600000 x 240000 rectangle).
const std::string kFrame =
    "0|LINE|10|-500|20|-200|11|500|21|-200|0|LINE|10|500|20|-200|11|500|21|200|"
    "0|LINE|10|500|20|200|11|-500|21|200|0|LINE|10|-500|20|200|11|-500|21|-200";
}  // namespace

TEST(DrawDimension, ADimensionDrawsItsBlock) {
    auto lines = Draw("0|SECTION|2|BLOCKS|0|BLOCK|2|*D1|10|0|20|0|0|LINE|10|0|20|0|11|100|21|0|0|ENDBLK|0|ENDSEC|"
                      "0|SECTION|2|ENTITIES|" + kFrame + "|0|DIMENSION|2|*D1|10|7|20|7|0|ENDSEC|0|EOF");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], "300000;120000;348000;120000");  // (0,0)-(100,0)
}

TEST(DrawLeader, ThePathThenTheArrowTriangle) {
    // A leader (0,0)-(100,0) with an arrow of 50 ($DIMASZ 50) pointing left:
    // the unit triangle turned by 180 degrees and scaled by 50, drawn as its
    // outline without the closing segment, corners 1, 2, 4, 3 = (50, -8.33),
    // (0, 0), (50, 8.33), (50, -8.33).
    std::string file = "0|SECTION|2|HEADER|9|$DIMASZ|40|50|0|ENDSEC|0|SECTION|2|ENTITIES|" + kFrame +
                       "|0|LEADER|8|NOTES|10|0|20|0|10|100|20|0|0|ENDSEC|0|EOF";
    auto lines = Draw(file);
    ASSERT_EQ(lines.size(), 4u + 1 + 3);
    EXPECT_EQ(lines[4], "300000;120000;348000;120000");
    EXPECT_EQ(lines[5], "324000;124000;300000;120000");
    EXPECT_EQ(lines[6], "300000;120000;324000;116000");
    EXPECT_EQ(lines[7], "324000;116000;324000;124000");
    // 71 = 0: the path alone.
    std::string bare = file;
    bare.replace(bare.find("|8|NOTES"), 0, "|71|0");
    EXPECT_EQ(Draw(bare).size(), 5u);
}

TEST(DrawLeader, ALeaderOnAHiddenLayerDrawsNoArrowEither) {
    auto lines = Draw("0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|2|OFF|62|-1|0|ENDTAB|0|ENDSEC|"
                      "0|SECTION|2|ENTITIES|" + kFrame + "|0|LEADER|8|OFF|10|0|20|0|10|100|20|0|0|ENDSEC|0|EOF");
    EXPECT_EQ(lines.size(), 4u);
}

namespace {
// Paper space: the frame, and a viewport with paper rectangle (-250, -100)
// to (250, 100) showing the model at scale 1 around (0, 0), so model and
// paper coincide and the clip rectangle is target x 180000..420000, y
// 72000..168000. Model: the given entities.
std::string Sheet(const std::string& model) {
    const std::string paper =
        "0|LINE|67|1|10|-500|20|-200|11|500|21|-200|0|LINE|67|1|10|500|20|-200|11|500|21|200|"
        "0|LINE|67|1|10|500|20|200|11|-500|21|200|0|LINE|67|1|10|-500|20|200|11|-500|21|-200";
    return "0|SECTION|2|ENTITIES|" + model + "|" + paper +
           "|0|VIEWPORT|5|30|67|1|69|2|10|0|20|0|40|500|41|200|12|0|22|0|45|200|0|ENDSEC|0|EOF";
}
}  // namespace

TEST(DrawViewport, ContentIsCutAtTheFrameInsideKeptOutsideDropped) {
    TkrDXFImage g;
    g.LoadFromText(Dxf(Sheet("0|LINE|10|-400|20|0|11|0|21|0|"       // crosses the left edge: cut at x = -250
                             "0|LINE|10|-100|20|-50|11|100|21|50|"  // inside: unchanged
                             "0|LINE|10|300|20|0|11|400|21|0")));   // outside: dropped
    ASSERT_EQ(g.LayoutCount(), 2);
    auto lines = DrawLayout(g, 1);
    ASSERT_EQ(lines.size(), 4u + 2);
    EXPECT_EQ(lines[4], "180000;120000;300000;120000");
    EXPECT_EQ(lines[5], "252000;144000;348000;96000");
    // The model layout draws the model uncut.
    auto model = DrawLayout(g, 0);
    EXPECT_EQ(model.size(), 3u);
}

TEST(DrawViewport, AFilledSolidAcrossTheFrameIsClipped) {
    TkrDXFImage g;
    // A solid square (200, -50)-(300, 50) across the right edge x = 250.
    g.LoadFromText(Dxf(Sheet("0|SOLID|10|200|20|-50|11|300|21|-50|12|200|22|50|13|300|23|50")));
    g.SetCurrentLayout(g.GetLayout(1));
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 240000});
    sink.Exporter->FinishDrawing();
    std::string dxf = sink.Exporter->SaveToString();
    // The hatch of the clipped square reaches x = 420000 (paper 250), not 444000 (300).
    EXPECT_NE(dxf.find("HATCH"), std::string::npos);
    EXPECT_NE(dxf.find("\r\n420000\r\n"), std::string::npos);
    EXPECT_EQ(dxf.find("444000"), std::string::npos);
}

TEST(DrawViewport, EverythingIsPutBackWhenDrawingFails) {
    TkrDXFImage g;
    // Paper space holds the viewport only, so that the first segment drawn
    // is the viewport's content; layer F (handle A) is frozen in it.
    g.LoadFromText(Dxf("0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|5|A|2|F|0|ENDTAB|0|ENDSEC|"
                       "0|SECTION|2|ENTITIES|0|LINE|8|W|10|0|20|0|11|1|21|1|0|LINE|8|F|10|0|20|0|11|2|21|2|"
                       "0|VIEWPORT|5|30|67|1|69|2|10|0|20|0|40|500|41|200|12|0|22|0|45|200|331|A|0|ENDSEC|0|EOF"));
    TkrDXFConverter& c = *g.Converter;
    g.SetCurrentLayout(g.GetLayout(1));
    TPDFCanvas sink;  // simplified DXF form without a writer: the first segment raises an error
    EXPECT_ANY_THROW(g.DrawOnSink(sink, {0, 0, 600000, 240000}));
    EXPECT_FALSE(c.ClipEnabled);
    EXPECT_TRUE(IsEmptyBox(c.ClipBox));
    EXPECT_TRUE(c.CurrentSpace);
    EXPECT_FALSE(c.ViewportDrawing);
    EXPECT_FALSE(c.FindOrCreateLayer("F")->Hidden);
    EXPECT_FALSE(sink.Clipping);
}

TEST(DrawViewport, HugeAndSingularViewportsConvertCleanly) {
    // A viewport 1e38 wide makes the sheet's extents that wide: the frame
    // shrinks to the middle, nothing overflows. A view height of 1e-40
    // (scale 1e42) or 1e30 (scale 1e-28, singular) draws no content.
    for (const char* groups : {"40|1e38|41|200|45|200", "40|500|41|200|45|1e-40", "40|500|41|1e-30|45|1e30"}) {
        std::string file = "0|SECTION|2|ENTITIES|0|LINE|10|-400|20|0|11|0|21|0|"
                           "0|LINE|67|1|10|-500|20|-200|11|500|21|200|"
                           "0|VIEWPORT|5|30|67|1|69|2|10|0|20|0|12|0|22|0|" + std::string(groups) + "|0|ENDSEC|0|EOF";
        TkrDXFImage g;
        g.LoadFromText(Dxf(file));
        ASSERT_EQ(g.LayoutCount(), 2) << groups;
        auto lines = DrawLayout(g, 1);
        EXPECT_LE(lines.size(), 2u) << groups;
        for (auto& l : lines) EXPECT_EQ(l.find('-'), std::string::npos) << l;  // all within the target
    }
}

TEST(DrawViewport, AHatchAcrossTheFrameIsCutInTextForm) {
    // A solid hatch (200, -50)-(300, 50) across the right edge x = 250: its
    // outline without the closing segment, cut there; nothing of the frame.
    TkrDXFImage g;
    g.LoadFromText(Dxf(Sheet("0|HATCH|10|0|20|0|2|SOLID|70|1|71|0|91|1|92|2|72|0|73|1|93|4|"
                             "10|200|20|-50|10|300|20|-50|10|300|20|50|10|200|20|50|97|0|75|0|76|1|98|0")));
    auto lines = DrawLayout(g, 1);
    ASSERT_EQ(lines.size(), 4u + 2);
    EXPECT_EQ(lines[4], "396000;144000;420000;144000");
    EXPECT_EQ(lines[5], "420000;96000;396000;96000");
}

TEST(DrawViewport, ManyViewportsOverManyPaperEntitiesEndAtTheWorkBound) {
    // 6000 viewports each walk the ENTITIES section of 6000 paper-space
    // lines and one model line: 36 million entities passed over, more than
    // the drawing's work bound of this 1 MB file allows. The walk is paid
    // for, so the sheet converts in part (the first viewports show the model
    // line) instead of taking the product of both.
    std::string file = "0|SECTION|2|ENTITIES|0|LINE|10|0|20|0|11|10|21|0|";
    for (int i = 0; i < 6000; ++i) file += "0|LINE|67|1|10|0|20|0|11|100|21|" + std::to_string(i % 100) + "|";
    for (int i = 0; i < 6000; ++i)
        file += "0|VIEWPORT|67|1|69|" + std::to_string(i + 2) + "|10|50|20|50|40|100|41|100|12|5|22|0|45|100|";
    TkrDXFImage g;
    g.LoadFromText(Dxf(file + "0|ENDSEC|0|EOF"));
    ASSERT_EQ(g.LayoutCount(), 2);
    auto lines = DrawLayout(g, 1);
    EXPECT_TRUE(g.DrawTruncated);
    EXPECT_GT(lines.size(), 6000u);  // the paper lines, and the model line of the viewports drawn
    EXPECT_LT(lines.size(), 6000u + 6000u);
}
