// The text form of multileaders, multilines, wipeouts, meshes, construction
// lines and proxy graphics: each drawn through its parts (or edges), mapped
// by the conversion run's rule (extents with a margin of an eighth, 600000
// units wide, y down).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxf_snippets.h"
#include "proxy_stream.h"
#include "render/render_helpers.h"

namespace {
using Lines = std::vector<std::string>;

Lines Draw(const std::string& entities, const std::string& objects = "",
           const std::string& tables = "0|TABLE|2|LAYER|0|LAYER|2|0|70|0|62|7|0|ENDTAB|") {
    return rendertest::DrawText(dxftest::PipeDxf("0|SECTION|2|TABLES|" + tables + "0|ENDSEC|0|SECTION|2|ENTITIES|" +
                                                 entities + "0|ENDSEC|0|SECTION|2|OBJECTS|" + objects +
                                                 "0|ENDSEC|0|EOF"));
}
}  // namespace

TEST(CompoundDrawing, AMultileaderDrawsItsArrowAndItsLeaderLine) {
    // One leader line from (0, 0) to the end (80, 60) and the dogleg to
    // (100, 60); arrow size 10; no content. Box (0, 0)-(100, 60): extents
    // 125 x 75, natural size 126 x 76, rectangle 600000 x 361904, scale
    // 4800: x -> 4800 x + 60000, y -> 324952 - 4800 y.
    const std::string m =
        "0|MULTILEADER|8|0|100|AcDbMLeader|300|CONTEXT_DATA{|40|1|41|2.5|140|10|145|2|290|0|296|0|"
        "302|LEADER{|290|1|291|1|10|80|20|60|30|0|11|1|21|0|31|0|90|0|40|20|304|LEADER_LINE{|10|0|20|0|30|0|"
        "91|0|92|-1056964608|305|}|271|0|303|}|301|}|340|0|170|1|91|-1056964608|341|0|342|0|171|-2|291|1|42|10|"
        "92|-1056964608|93|-1056964608|173|1|95|1|272|9|273|9|";
    // The filled arrow's outline (tip (0, 0), back corners (7, 7.333) and
    // (9, 4.667); a polygon has no closing segment in text form: the corner
    // order up, tip, down, up), then the line from the back (8, 6).
    EXPECT_EQ(Draw(m), (Lines{"93600;289752;60000;324952", "60000;324952;103200;302552", "103200;302552;93600;289752",
                              "98400;296152;444000;36952", "444000;36952;540000;36952"}));
}

TEST(CompoundDrawing, AMultilineDrawsItsElementsAndCapsInItsStyle) {
    // (0, 0) to (100, 0), elements 5 above and 5 below, square caps at both
    // ends. Box (0, -5)-(100, 5): extents 125 x 12.5, natural 126 x 13,
    // rectangle 600000 x 61904, scale 4800: x -> 4800 x + 60000,
    // y -> 30952 - 4800 y.
    const std::string ml = "0|MLINE|8|0|100|AcDbMline|2|CAPS|340|22|40|1|70|1|71|1|72|2|73|2|"
                           "11|0|21|0|31|0|12|1|22|0|32|0|13|0|23|1|33|0|74|1|41|5|75|0|74|1|41|-5|75|0|"
                           "11|100|21|0|31|0|12|1|22|0|32|0|13|0|23|1|33|0|74|1|41|5|75|0|74|1|41|-5|75|0|";
    const std::string style =
        "0|MLINESTYLE|5|22|100|AcDbMlineStyle|2|CAPS|70|272|62|256|51|90|52|90|71|2|49|5|62|1|6|BYLAYER|"
        "49|-5|62|3|6|BYLAYER|";
    // The start cap (each outer element to the middle), the elements, the end cap.
    EXPECT_EQ(Draw(ml, style), (Lines{"60000;6952;60000;30952", "60000;54952;60000;30952", "60000;6952;540000;6952",
                                      "60000;54952;540000;54952", "540000;6952;540000;30952",
                                      "540000;54952;540000;30952"}));
}

TEST(CompoundDrawing, AWipeoutDrawsItsFrameOnlyWhenFramesShow) {
    // The boundary (-0.5, -0.5)-(0.5, 0.5) of a one-pixel image with u 100
    // and v 50 long: the rectangle (0, 0)-(100, 50); a line along its
    // diagonal. Extents 125 x 62.5, rectangle 600000 x 300000, scale 4800:
    // x -> 4800 x + 60000, y -> 270000 - 4800 y.
    const std::string w = "0|WIPEOUT|8|0|10|0|20|0|30|0|11|100|21|0|31|0|12|0|22|50|32|0|13|1|23|1|71|1|91|2|"
                          "14|-0.5|24|-0.5|14|0.5|24|0.5|0|LINE|8|0|10|0|20|0|11|100|21|50|";
    const Lines frame = {"60000;30000;540000;30000", "540000;30000;540000;270000", "540000;270000;60000;270000",
                         "60000;270000;60000;30000", "60000;270000;540000;30000"};
    EXPECT_EQ(Draw(w), frame);
    EXPECT_EQ(Draw(w, "0|WIPEOUTVARIABLES|5|8D|100|AcDbWipeoutVariables|70|1|"), frame);
    // Frames off: the line alone, where it was (the box still counts).
    EXPECT_EQ(Draw(w, "0|WIPEOUTVARIABLES|5|8D|100|AcDbWipeoutVariables|70|0|"), (Lines{"60000;270000;540000;30000"}));
}

TEST(CompoundDrawing, AMeshDrawsEachEdgeOnce) {
    // The square (0, 0)-(100, 100) and the triangle (100, 0), (200, 50),
    // (100, 100) share an edge. Extents 250 x 125, natural 250 x 126,
    // rectangle 600000 x 302400, scale 2400: x -> 2400 x + 60000,
    // y -> 271200 - 2400 y.
    const std::string mesh = "0|MESH|8|0|100|AcDbSubDMesh|71|2|72|0|91|0|92|5|10|0|20|0|30|0|10|100|20|0|30|0|"
                             "10|100|20|100|30|0|10|0|20|100|30|0|10|200|20|50|30|0|93|9|90|4|90|0|90|1|90|2|90|3|"
                             "90|3|90|1|90|4|90|2|94|0|95|0|90|0|";
    EXPECT_EQ(Draw(mesh), (Lines{"60000;271200;300000;271200", "300000;271200;300000;31200", "300000;31200;60000;31200",
                                 "60000;31200;60000;271200", "300000;271200;540000;151200",
                                 "540000;151200;300000;31200"}));
}

TEST(CompoundDrawing, ConstructionLinesAndRaysAreCutAtTheTargetRectangle) {
    // A line (0, 0)-(100, 100) makes the extents: 125 x 125, scale 4800,
    // x -> 4800 x + 60000, y -> 540000 - 4800 y. A construction line
    // through (50, 50) along x crosses the whole rectangle, a ray from there
    // up ends at its top; one far away (x + y = 2000000) draws nothing and
    // moves nothing.
    EXPECT_EQ(Draw("0|LINE|8|0|10|0|20|0|11|100|21|100|0|XLINE|8|0|10|50|20|50|30|0|11|1|21|0|31|0|"
                   "0|RAY|8|0|10|50|20|50|30|0|11|0|21|1|31|0|0|XLINE|8|0|10|1000000|20|1000000|11|1|21|-1|"),
              (Lines{"60000;540000;540000;60000", "0;300000;600000;300000", "300000;300000;300000;0"}));
}

TEST(CompoundDrawing, AProxyEntityDrawsItsGraphicsUnlessItsLayerIsOff) {
    dxftest::TStream s;
    s.Cmd(6).U32(2).P(0, 0).P(100, 100);
    const std::string proxy = "0|AEC_WALL|8|WALLS|" + s.Groups();
    const std::string line = "0|LINE|8|0|10|0|20|100|11|100|21|0|";
    const std::string layers = "0|TABLE|2|LAYER|0|LAYER|2|0|70|0|62|7|0|LAYER|2|WALLS|70|0|62|";
    EXPECT_EQ(Draw(line + proxy, "", layers + "3|0|ENDTAB|"),
              (Lines{"60000;60000;540000;540000", "60000;540000;540000;60000"}));
    EXPECT_EQ(Draw(line + proxy, "", layers + "-3|0|ENDTAB|"), (Lines{"60000;60000;540000;540000"}));
}
