// Multileaders, multilines, wipeouts, meshes and helixes in the model: what
// each reads and the parts (or edges) it is finished into, with the styles
// of the OBJECTS section (read after the entities) and with bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/hatch.h"
#include "model/entities/helix.h"
#include "model/entities/mesh.h"
#include "model/entities/mleader.h"
#include "model/entities/mline.h"
#include "model/entities/text.h"
#include "model/entities/wipeout.h"
#include "drawn_points.h"

#include "dxf_snippets.h"
#include "model/model_helpers.h"

namespace {

// TABLES (a BLOCK_RECORD table), BLOCKS, ENTITIES and OBJECTS.
std::unique_ptr<TkrDXFConverter> LoadFile(const std::string& entities, const std::string& objects = "",
                                          const std::string& blocks = "", const std::string& records = "") {
    std::string s = "0|SECTION|2|TABLES|0|TABLE|2|BLOCK_RECORD|" + records + "0|ENDTAB|0|ENDSEC|";
    s += "0|SECTION|2|BLOCKS|" + blocks + "0|ENDSEC|0|SECTION|2|ENTITIES|" + entities +
         "0|ENDSEC|0|SECTION|2|OBJECTS|" + objects + "0|ENDSEC|0|EOF";
    return modeltest::LoadDrawable(dxftest::PipeDxf(s));
}

template <class T>
T* At(TkrDXFConverter& c, int i) {
    TkrDXFEntity* e = c.EntityAt(i);
    return e ? dynamic_cast<T*>(e) : nullptr;
}

template <class T>
std::vector<T*> PartsOf(const TkrDXFCompound& c) {
    std::vector<T*> out;
    for (auto& p : c.Parts)
        if (auto* t = dynamic_cast<T*>(p.get())) out.push_back(t);
    return out;
}

void ExpectPoint(const TPoint3F& p, double x, double y, double tol = 1e-4) {
    EXPECT_NEAR(p.X, x, tol);
    EXPECT_NEAR(p.Y, y, tol);
}

// The multileader's own values, all given: a straight leader (170 1) with a
// dogleg (291 1), BYBLOCK colours, the filled arrow (342 0: no block).
const std::string kOwn = "340|2C|170|1|91|-1056964608|341|0|342|0|171|-2|290|1|291|1|41|20|42|10|172|2|173|1|95|1|"
                         "92|-1056964608|93|-1056964608|272|9|273|9|";

// A multileader on layer NOTES in red (62 1): one leader ending at (80, 60)
// with a dogleg along x 20 long, one line from the given vertices, arrow
// size 10, the given content (after the context's 145).
std::string MLeader(const std::string& own = kOwn, const std::string& vertices = "10|0|20|0|30|0|",
                    const std::string& content = "290|0|296|0|", const std::string& name = "MULTILEADER") {
    return "0|" + name + "|5|80|8|NOTES|62|1|100|AcDbMLeader|270|2|300|CONTEXT_DATA{|40|1|10|0|20|0|30|0|41|2.5|"
           "140|10|145|2|174|1|175|1|176|0|177|0|" + content +
           "110|0|120|0|130|0|111|1|121|0|131|0|112|0|122|1|132|0|297|0|"
           "302|LEADER{|290|1|291|1|10|80|20|60|30|0|11|1|21|0|31|0|90|0|40|20|304|LEADER_LINE{|" + vertices +
           "91|0|92|-1056964608|305|}|271|0|303|}|272|9|273|9|301|}|" + own;
}

const std::string kTextContent = "290|1|304|Label|11|0|21|0|31|1|340|29|12|100|22|65|32|0|13|1|23|0|33|0|42|0|"
                                 "43|0|44|0|45|1|170|1|90|-1056964608|171|1|172|1|91|-939524096|141|1.5|92|0|"
                                 "291|0|292|0|173|0|293|0|142|0|143|0|294|0|295|1|296|0|";

}  // namespace

// ---- multileaders ----

TEST(MLeader, ALeaderRunsFromBehindItsArrowThroughItsEndAndDogleg) {
    auto c = LoadFile(MLeader());
    auto* m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetName(c.get()), "MULTILEADER");
    // The arrow: tip (0, 0), pointing from (80, 60): direction (0.8, 0.6),
    // back at (8, 6); a third of the size wide, (-0.6, 0.8) x 10 / 6 =
    // (-1, 4/3) to each side: (7, 7.333) and (9, 4.667).
    auto solids = PartsOf<TkrDXFSolid>(*m);
    ASSERT_EQ(solids.size(), 1u);
    ExpectPoint(solids[0]->Point, 7, 22.0 / 3);
    ExpectPoint(solids[0]->Point2, 0, 0);
    ExpectPoint(solids[0]->Point4, 9, 14.0 / 3);
    // The line from the arrow's back through the end (80, 60) to the end of
    // the dogleg (100, 60), BYBLOCK: the multileader's red.
    auto lines = PartsOf<TkrDXFPolyline>(*m);
    ASSERT_EQ(lines.size(), 1u);
    auto pts = DrawnPoints(*lines[0]);
    ASSERT_EQ(pts.size(), 3u);
    ExpectPoint(pts[0], 8, 6);
    ExpectPoint(pts[1], 80, 60);
    ExpectPoint(pts[2], 100, 60);
    EXPECT_EQ(lines[0]->EntityColor(), 0x0000FF);
    EXPECT_EQ(lines[0]->Layer->Name, "NOTES");
    EXPECT_EQ(m->GetBox(), (TBox3F{0, 60, 0, 100, 0, 0}));
    EXPECT_FALSE(c->Bounds.Any());

    // Without the dogleg (291 0) the line runs to the dogleg's end directly;
    // the same entity written MLEADER reads alike.
    std::string own = kOwn;
    own.replace(own.find("291|1"), 5, "291|0");
    c = LoadFile(MLeader(own, "10|0|20|0|30|0|", "290|0|296|0|", "MLEADER"));
    m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    pts = DrawnPoints(*PartsOf<TkrDXFPolyline>(*m).at(0));
    ASSERT_EQ(pts.size(), 2u);
    ExpectPoint(pts[1], 100, 60);
}

TEST(MLeader, ItsTextIsAMultiLineTextWithTheContextsHeightAndItsColour) {
    auto c = LoadFile(MLeader(kOwn, "10|0|20|0|30|0|", kTextContent));
    auto* m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    auto texts = PartsOf<TkrDXFMText>(*m);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Text, "Label");
    ExpectPoint(texts[0]->Point, 100, 65);
    EXPECT_FLOAT_EQ(texts[0]->Height, 2.5f);
    EXPECT_EQ(texts[0]->Attachment, 1);
    EXPECT_EQ(texts[0]->EntityColor(), 0x0000FF);  // BYBLOCK: the multileader's
    EXPECT_EQ(texts[0]->RunCount(), 1u);
    // The text's box counts: it lies above the leader's end.
    EXPECT_GT(m->GetBox().Top, 62.f);
}

TEST(MLeader, ValuesItLeavesOutComeFromItsStyle) {
    // No leader type (170) of its own: the style's 0 draws no leader lines
    // (and no arrows); the filled arrow's size comes from the context.
    std::string own = kOwn;
    own.erase(own.find("170|1|"), 6);
    const std::string style = "0|MLEADERSTYLE|5|2C|100|AcDbMLeaderStyle|173|0|91|-1056964608|340|0|92|-2|291|1|44|4|";
    auto c = LoadFile(MLeader(own), style);
    auto* m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->Parts.empty());
    EXPECT_TRUE(IsEmptyBox(m->GetBox()));
    // A style of type 2 (spline): the leader is the curve from behind the
    // arrow through (30, 50) to the dogleg's end (100, 60); a spline has no
    // dogleg, so the end point (80, 60) is no point of it.
    c = LoadFile(MLeader(own, "10|0|20|0|30|0|10|30|20|50|30|0|"),
                 "0|MLEADERSTYLE|5|2C|100|AcDbMLeaderStyle|173|2|");
    m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    auto splines = PartsOf<TkrDXFSpline>(*m);
    ASSERT_EQ(splines.size(), 1u);
    auto pts = DrawnPoints(*splines[0]);
    ASSERT_GT(pts.size(), 20u);
    bool through = false;
    for (const TPoint3F& p : pts) through = through || (std::fabs(p.X - 30) < 1e-3 && std::fabs(p.Y - 50) < 1e-3);
    EXPECT_TRUE(through);
    ExpectPoint(pts.back(), 100, 60);
    // The style handle names a multiline style: another kind of object. The
    // built-in defaults draw the straight leader, with a warning.
    c = LoadFile(MLeader(own), "0|MLINESTYLE|5|2C|100|AcDbMlineStyle|2|STANDARD|70|0|71|0|");
    m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(PartsOf<TkrDXFPolyline>(*m).size(), 1u);
    EXPECT_EQ(c->Bounds.ObjectRefs, 1u);
}

TEST(MLeader, BlockContentAndArrowBlocksAreFoundByTheirBlockRecords) {
    // Block TAG (record 1A) holds a line (0, 0)-(1, 0); block _OBLIQUE
    // (record 1B) is the arrowhead, drawn centred on the line's end.
    const std::string records = "0|BLOCK_RECORD|5|1A|2|TAG|0|BLOCK_RECORD|5|1B|2|_OBLIQUE|";
    const std::string blocks = "0|BLOCK|5|20|330|1A|2|TAG|10|0|20|0|0|LINE|8|0|10|0|20|0|11|1|21|0|"
                               "0|ATTDEF|5|30|8|0|10|0.5|20|0|40|1|1|?|2|NUM|70|0|0|ENDBLK|"
                               "0|BLOCK|5|21|330|1B|2|_OBLIQUE|10|0|20|0|0|LINE|8|0|10|-0.5|20|-0.5|11|0.5|21|0.5|"
                               "0|ENDBLK|";
    // The block at (100, 60), scale 2, turned by pi/2: its line to (100, 62).
    const std::string content = "290|0|296|1|341|1A|14|0|24|0|34|1|15|100|25|60|35|0|16|2|26|2|36|2|"
                                "46|1.5707963267948966|93|-1056964608|";
    std::string own = kOwn;
    own.replace(own.find("342|0|"), 6, "342|1B|");
    own += "330|30|177|1|44|1|302|12|";  // the value of the attribute NUM
    auto c = LoadFile(MLeader(own, "10|0|20|0|30|0|", content), "", blocks, records);
    auto* m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    auto inserts = PartsOf<TkrDXFInsert>(*m);
    ASSERT_EQ(inserts.size(), 2u);
    ASSERT_NE(inserts[0]->Block, nullptr);
    EXPECT_EQ(inserts[0]->Block->Name, "TAG");
    ExpectPoint(TransformPoint({1, 0, 0}, inserts[0]->Transform), 100, 62);
    EXPECT_EQ(inserts[0]->EntityColor(), 0x0000FF);
    // The block's attribute shows the multileader's value where its
    // definition lies in the block: (0.5, 0) to (100, 61), turned and scaled.
    ASSERT_EQ(inserts[0]->Attribs.size(), 1u);
    const TkrDXFAttrib& a = *inserts[0]->Attribs[0];
    EXPECT_EQ(a.Tag, "NUM");
    EXPECT_EQ(a.Text, "12");
    ExpectPoint(a.Point, 100, 61);
    EXPECT_NEAR(a.Rotation, 90, 1e-4);
    EXPECT_FLOAT_EQ(a.Height, 2);
    // The arrow: _OBLIQUE at the tip, scaled by the size, turned to point
    // from (80, 60) to (0, 0) (216.87 degrees); the line starts at the tip.
    EXPECT_EQ(inserts[1]->Block->Name, "_OBLIQUE");
    ExpectPoint(inserts[1]->Point, 0, 0);
    EXPECT_FLOAT_EQ(inserts[1]->InsertScale.X, 10);
    EXPECT_NEAR(inserts[1]->Rotation, -143.1301, 1e-3);
    ExpectPoint(DrawnPoints(*PartsOf<TkrDXFPolyline>(*m).at(0))[0], 0, 0);
    EXPECT_FALSE(c->Bounds.Any());
}

TEST(MLeader, BadInputEndsInAWarningOrABoundedResult) {
    // A block record that does not exist, 1500 leader lines, a vertex beyond
    // the float range, and a handle past the 32 bits of a handle.
    std::string lines;
    for (int i = 0; i < 1500; ++i)
        lines += "304|LEADER_LINE{|10|" + std::to_string(i) + "|20|0|30|0|10|1e39|20|0|30|0|91|0|305|}|";
    std::string text = MLeader(kOwn, "10|5|20|5|30|0|", "290|0|296|1|341|FFFF|15|0|25|0|35|0|");
    text.insert(text.find("271|0|303|}"), lines);
    auto c = LoadFile(text);
    auto* m = At<TkrDXFMLeader>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(PartsOf<TkrDXFInsert>(*m).size(), 0u);
    EXPECT_EQ(PartsOf<TkrDXFPolyline>(*m).size(), kMaxMLeaderLines);
    EXPECT_EQ(c->Bounds.MLeaderLines, 1u);
    EXPECT_EQ(c->Bounds.ObjectRefs, 1u);
    EXPECT_TRUE(std::isfinite(m->GetBox().Right));
    // 1200 leaders without lines: they count against the bound as well.
    std::string leaders;
    for (int i = 0; i < 1200; ++i) leaders += "302|LEADER{|10|1|20|1|30|0|303|}|";
    text = MLeader();
    text.insert(text.find("272|9|273|9|301|}"), leaders);
    c = LoadFile(text);
    ASSERT_NE(At<TkrDXFMLeader>(*c, 0), nullptr);
    EXPECT_EQ(c->Bounds.MLeaderLines, 1u);
    EXPECT_EQ(PartsOf<TkrDXFPolyline>(*At<TkrDXFMLeader>(*c, 0)).size(), 1u);
    // A context that never ends, and groups in the wrong places.
    c = LoadFile("0|MULTILEADER|300|CONTEXT_DATA{|302|LEADER{|304|LEADER_LINE{|10|1|20|1|305|}|303|}|"
                 "304|stray|305|}|12|5|303|}|290|1|304|LEADER_LINE{|");
    ASSERT_NE(At<TkrDXFMLeader>(*c, 0), nullptr);
}

// ---- multilines ----

namespace {
// The multiline ezdxf writes along (0, 0), (30, 0), (30, 20) with the
// STANDARD style's two elements (offsets 0.5 and -0.5, top justified: the
// elements lie at 0 and -1 from the path).
const std::string kMLine = "0|MLINE|5|8B|8|WALLS|100|AcDbMline|2|Standard|340|22|40|1|70|0|71|1|72|3|73|2|"
                           "10|0|20|0|30|0|210|0|220|0|230|1|"
                           "11|0|21|0|31|0|12|1|22|0|32|0|13|0|23|1|33|0|74|2|41|0|41|0|75|0|74|2|41|-1|41|0|75|0|"
                           "11|30|21|0|31|0|12|0|22|1|32|0|13|-0.7071067811865475|23|0.7071067811865475|33|0|"
                           "74|2|41|0|41|0|75|0|74|2|41|-1.4142135623730951|41|0|75|0|"
                           "11|30|21|20|31|0|12|0|22|1|32|0|13|-1|23|0|33|0|74|2|41|0|41|0|75|0|74|2|41|-1|41|0|"
                           "75|0|";
std::string MLineStyle(int flags, const std::string& elements = "71|2|49|0.5|62|1|6|BYLAYER|49|-0.5|62|3|6|BYLAYER|") {
    return "0|MLINESTYLE|5|22|100|AcDbMlineStyle|2|Standard|70|" + std::to_string(flags) + "|3||62|5|51|90|52|90|" +
           elements;
}
}  // namespace

TEST(MLine, ItsElementsFollowItsParametersAndItsStyleGivesColoursCapsAndFill) {
    // Fill (1), miters (2), round caps at the start (64), square ones at
    // the end (256).
    auto c = LoadFile(kMLine, MLineStyle(1 | 2 | 64 | 256));
    auto* ml = At<TkrDXFMLine>(*c, 0);
    ASSERT_NE(ml, nullptr);
    auto polys = PartsOf<TkrDXFPolyline>(*ml);
    // The elements: the top one on the path, the bottom one a miter's length
    // out: (0, -1), (30, 0) + (-0.7071, 0.7071) x -1.4142 = (31, -1), (31, 20).
    std::vector<TkrDXFPolyline*> elements;
    for (auto* p : polys)
        if (p->Class == TEntityClass::Polyline) elements.push_back(p);
    ASSERT_EQ(elements.size(), 2u);
    auto top = DrawnPoints(*elements[0]), bottom = DrawnPoints(*elements[1]);
    ASSERT_EQ(top.size(), 3u);
    ASSERT_EQ(bottom.size(), 3u);
    ExpectPoint(top[1], 30, 0);
    ExpectPoint(bottom[0], 0, -1);
    ExpectPoint(bottom[1], 31, -1);
    ExpectPoint(bottom[2], 31, 20);
    EXPECT_EQ(elements[0]->EntityColor(), 0x0000FF);  // element colour 1
    EXPECT_EQ(elements[1]->EntityColor(), 0x00FF00);  // 3
    // The round start cap joins (0, 0) and (0, -1) bulging back, in two
    // quarters (the elements differ in colour): it reaches x = -0.5.
    size_t arcs = 0;
    for (auto* p : polys)
        if (p->Class == TEntityClass::LWPolyline) ++arcs;
    EXPECT_EQ(arcs, 2u);
    EXPECT_NEAR(ml->GetBox().Left, -0.5, 1e-4);
    // The fill in the style's fill colour 5; the miter at (30, 0) and the
    // square end cap at (30, 20)/(31, 20): two edge lists each (one a colour).
    auto fills = PartsOf<TkrDXFHatch>(*ml);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0]->EntityColor(), 0xFF0000);
    EXPECT_EQ(PartsOf<TkrDXFMesh>(*ml).size(), 4u);
    EXPECT_EQ(ml->GetBox().Right, 31);
    EXPECT_FALSE(c->Bounds.Any());
}

TEST(MLine, WithoutItsStyleOrWithBadDataItEndsCleanly) {
    // A style that does not exist: the elements at their parameters in the
    // multiline's own colour, no caps, with a warning.
    std::string ml = kMLine;
    ml.replace(ml.find("340|22|"), 7, "340|99|");
    ml.replace(ml.find("2|Standard|"), 11, "2|Gone|");
    auto c = LoadFile(ml);
    auto* m = At<TkrDXFMLine>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Parts.size(), 2u);
    EXPECT_EQ(c->Bounds.ObjectRefs, 1u);
    // 20 elements, counts announcing a million vertices and parameters, a
    // parameter beyond the float range: 16 elements drawn, the point that
    // cannot be placed left out (its element, one point short, with it).
    std::string many = "0|MLINE|73|20|72|1000000|";
    for (int v = 0; v < 2; ++v) {
        many += "11|" + std::to_string(v * 10) + "|21|0|31|0|12|1|22|0|32|0|13|0|23|1|33|0|";
        for (int k = 0; k < 20; ++k) many += "74|1000000|41|" + std::string(k == 3 && v == 1 ? "1e39" : std::to_string(k)) + "|";
    }
    c = LoadFile(many);
    m = At<TkrDXFMLine>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Parts.size(), 15u);
    EXPECT_EQ(c->Bounds.MLineElements, 1u);
    EXPECT_EQ(m->GetBox(), (TBox3F{0, 15, 0, 10, 0, 0}));
    // A style of one element asking for inner arcs (which need four) and
    // outer ones: the outer "arc" from the element to itself is nothing.
    c = LoadFile(kMLine, MLineStyle(32 | 64 | 512 | 1024, "71|1|49|0|62|1|6|BYLAYER|"));
    m = At<TkrDXFMLine>(*c, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Parts.size(), 1u);
    // Four elements: the inner pair (1, 2) gets its arcs at both ends, the
    // outer pair (0, 3) too.
    c = LoadFile(kMLine, MLineStyle(32 | 64 | 512 | 1024, "71|4|49|1|49|0.5|49|-0.5|49|-1|"));
    m = At<TkrDXFMLine>(*c, 0);
    ASSERT_NE(m, nullptr);
    size_t arcs = 0;
    for (auto& p : m->Parts) arcs += p->Class == TEntityClass::LWPolyline;
    EXPECT_EQ(arcs, 4u);
}

// ---- wipeouts ----

namespace {
// A wipeout over (40, 0)-(60, 10): u 20 and v 10 long, its boundary the
// image's outline, closed.
const std::string kWipeout = "0|WIPEOUT|8|0|100|AcDbWipeout|90|0|10|40|20|0|30|0|11|20|21|0|31|0|12|0|22|10|32|0|"
                             "13|1|23|1|340|0|70|7|280|1|71|2|91|5|14|-0.5|24|0.5|14|0.5|24|0.5|14|0.5|24|-0.5|"
                             "14|-0.5|24|-0.5|14|-0.5|24|0.5|";
}  // namespace

TEST(Wipeout, ItsFrameShowsAsTheDrawingSaysAndItsBoxCountsEitherWay) {
    for (const char* setting : {"", "0|WIPEOUTVARIABLES|5|8D|100|AcDbWipeoutVariables|70|0|",
                                "0|WIPEOUTVARIABLES|5|8D|100|AcDbWipeoutVariables|70|1|"}) {
        auto c = LoadFile(kWipeout, setting);
        auto* w = At<TkrDXFWipeout>(*c, 0);
        ASSERT_NE(w, nullptr);
        // The boundary (-0.5, 0.5) is the bottom-left corner: x = 0, y = 1 -
        // 0.5 - 0.5 = 0 pixels from the insertion point.
        auto polys = PartsOf<TkrDXFPolyline>(*w);
        ASSERT_EQ(polys.size(), 1u);
        auto pts = DrawnPoints(*polys[0]);
        ASSERT_EQ(pts.size(), 5u);  // closed
        ExpectPoint(pts[0], 40, 0);
        ExpectPoint(pts[1], 60, 0);
        ExpectPoint(pts[2], 60, 10);
        ExpectPoint(pts[3], 40, 10);
        EXPECT_EQ(w->GetBox(), (TBox3F{40, 10, 0, 60, 0, 0}));
        EXPECT_EQ(w->ShowParts, std::string(setting).find("70|0|") == std::string::npos) << setting;
    }
}

// ---- meshes ----

TEST(Mesh, FacesBecomeEdgesEachOnceAndAMissingVertexLosesItsEdges) {
    // A square (0..3) and a triangle (1, 4, 2) sharing the edge 1-2; a third
    // face names vertex 1000000000, and a face list announcing more than follows.
    auto c = LoadFile("0|MESH|8|0|100|AcDbSubDMesh|71|2|72|0|91|0|92|5|10|0|20|0|30|0|10|100|20|0|30|0|"
                      "10|100|20|100|30|0|10|0|20|100|30|0|10|200|20|50|30|0|93|12|90|4|90|0|90|1|90|2|90|3|"
                      "90|3|90|1|90|4|90|2|90|2|90|4|90|1000000000|94|0|95|0|90|0|"
                      "0|MESH|92|2|10|0|20|0|10|1|20|1|93|1000000|90|2|90|0|90|1|");
    auto* m = At<TkrDXFMesh>(*c, 0);
    ASSERT_NE(m, nullptr);
    using E = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(m->Edges, (std::vector<E>{{0, 1}, {1, 2}, {2, 3}, {3, 0}, {1, 4}, {4, 2}}));
    EXPECT_EQ(m->GetBox(), (TBox3F{0, 100, 0, 200, 0, 0}));
    EXPECT_EQ(c->Bounds.MeshFaces, 1u);
    auto* short_ = At<TkrDXFMesh>(*c, 1);
    ASSERT_NE(short_, nullptr);
    EXPECT_EQ(short_->Edges, (std::vector<E>{{0, 1}}));
}

// ---- helixes ----

TEST(Helix, IsDrawnFromItsSplineDataAlone) {
    // A quarter turn of radius 5 as a cubic (4 control points); the helix's
    // own groups after "100 AcDbHelix" (axis point, start point, radius 5,
    // turns) reuse spline codes and add nothing.
    auto c = LoadFile("0|HELIX|8|0|100|AcDbSpline|70|0|71|3|72|8|73|4|74|0|40|0|40|0|40|0|40|0|40|1|40|1|40|1|40|1|"
                      "10|5|20|0|30|0|10|5|20|2.76|30|0.1|10|2.76|20|5|30|0.2|10|0|20|5|30|0.25|"
                      "100|AcDbHelix|90|29|91|63|10|0|20|0|30|0|11|5|21|0|31|0|12|0|22|0|32|1|40|5|41|0.25|42|1|"
                      "290|1|280|1|");
    auto* h = At<TkrDXFHelix>(*c, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->ControlCount(), 4);
    EXPECT_EQ(h->Knots.size(), 8u);
    auto pts = DrawnPoints(*h);
    ASSERT_EQ(pts.size(), 27u);  // the first control point, 25 on [0, 1), the last
    ExpectPoint(pts.front(), 5, 0);
    ExpectPoint(pts.back(), 0, 5);
    EXPECT_EQ(h->GetName(c.get()), "HELIX");
}
