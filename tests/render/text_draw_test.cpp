// Drawing of texts: what reaches the sink for single-line texts, the runs of
// multi-line texts, attribute definitions with and without their insert's
// attribute, texts too small to draw, and the work a text costs.
//
// Every drawing holds a frame from (-500, -200) to (500, 200), so the scale
// is 480 and a drawing point (x, y) lands on (300000 + 480 x, 120000 - 480 y).
// A text of height h gets a font 1.6 x 480 x h high and 0.64 x 480 x h wide;
// its start point (top-left corner) lies 0.8 x 1.6 h above a left-baseline
// insertion point.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/dxf_writer.h"
#include "platform/codepage.h"
#include "render/dxf_image.h"

#include "dxf_snippets.h"
#include "render/render_helpers.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Frame() {
    return {"0", "LINE", "10", "-500", "20", "-200", "11", "500", "21", "200"};
}

std::string Drawing(const std::vector<std::string>& body, const std::string& blocks = "") {
    std::vector<std::string> g = Frame();
    g.insert(g.end(), body.begin(), body.end());
    std::string ents = dxftest::Entities(g);
    if (blocks.empty()) return ents;
    return dxftest::PipeDxf("0|SECTION|2|BLOCKS|" + blocks + "|0|ENDSEC") + ents;
}

struct TDrawnText {
    std::string Text;
    int32_t X, Y;
    int32_t Height, Width, Escapement;
    std::string Face;
    uint32_t Colour;
};

struct TDrawnRecords {
    std::vector<TDrawnText> Texts;
    std::vector<RECTL> Rectangles;
    uint64_t Work = 0;
};

// Draws the layout in simplified DXF form and reads the recording.
TDrawnRecords DrawDxf(const std::string& dxf) {
    TkrDXFImage g;
    g.LoadFromText(dxf);
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 240000});
    TDrawnRecords out;
    out.Work = g.WorkDone;
    LOGFONTW font;
    uint32_t colour = 0;
    for (const TEmfRecord& r : sink.Exporter->GetCanvas().Records()) {
        if (auto* f = std::get_if<EMREXTCREATEFONTINDIRECTW>(&r)) font = f->elfw;
        if (auto* c = std::get_if<EMRSETTEXTCOLOR>(&r)) colour = c->crColor;
        if (auto* rc = std::get_if<EMRRECTANGLE>(&r); rc && rc->iType == EmrType::EMR_RECTANGLE)
            out.Rectangles.push_back(rc->rclBox);
        if (auto* t = std::get_if<EMREXTTEXTOUTW>(&r)) {
            std::u16string face(font.lfFaceName);
            out.Texts.push_back({Utf16ToCp1252(t->String), t->emrtext.ptlReference.x, t->emrtext.ptlReference.y,
                                 font.lfHeight, font.lfWidth, font.lfEscapement, Utf16ToCp1252(face), colour});
        }
    }
    return out;
}

// Draws the layout in text form: the segment lines.
std::vector<std::string> DrawLines(const std::string& dxf) { return rendertest::DrawText(dxf); }

std::vector<std::string> Text(double x, double y, double h, const std::string& s,
                              const std::vector<std::string>& more = {}) {
    std::vector<std::string> g = {"0", "TEXT", "10", std::to_string(x), "20", std::to_string(y), "40",
                                  std::to_string(h), "1", s};
    g.insert(g.end(), more.begin(), more.end());
    return g;
}

}  // namespace

TEST(DrawText, ATextIsOneTextOutAtItsStartPoint) {
    auto d = DrawDxf(Drawing(Text(0, 0, 10, "ABC")));
    ASSERT_EQ(d.Texts.size(), 1u);
    const TDrawnText& t = d.Texts[0];
    EXPECT_EQ(t.Text, "ABC");
    // Start point (0, 12.8): y 120000 - 6144.
    EXPECT_EQ(t.X, 300000);
    EXPECT_EQ(t.Y, 113856);
    EXPECT_EQ(t.Height, 7680);
    EXPECT_EQ(t.Width, 3072);
    EXPECT_EQ(t.Escapement, 0);
    EXPECT_EQ(t.Face, "Arial");
    EXPECT_EQ(t.Colour, 0u);  // the foreground colour: black
}

TEST(DrawText, EscapementFollowsTheRotationAgainstTheContext) {
    std::string blocks = "0|BLOCK|2|B|10|0|20|0|0|TEXT|10|0|20|0|40|1|50|30|1|x|0|ENDBLK";
    auto d = DrawDxf(Drawing({"0", "TEXT", "40", "1", "50", "30", "1", "a", "0", "TEXT", "40", "1", "50", "-90", "1",
                              "b", "0", "INSERT", "2", "B", "50", "90"},
                             blocks));
    ASSERT_EQ(d.Texts.size(), 3u);
    EXPECT_EQ(d.Texts[0].Escapement, 300);
    EXPECT_EQ(d.Texts[1].Escapement, 2700);  // -900 written as 2700
    EXPECT_EQ(d.Texts[2].Escapement, 1200);  // 30 in a block turned by 90
}

TEST(DrawText, ARunOfThreeSpacesBecomesFive) {
    auto d = DrawDxf(Drawing({"0", "TEXT", "40", "1", "1", "a   b", "0", "TEXT", "40", "1", "1", "a  b c   d"}));
    ASSERT_EQ(d.Texts.size(), 2u);
    EXPECT_EQ(d.Texts[0].Text, "a     b");
    EXPECT_EQ(d.Texts[1].Text, "a  b c   d");  // only the first run of spaces, and two stay two
}

TEST(DrawText, DiameterDegreeAndUnderline) {
    auto d = DrawDxf(Drawing({"0", "TEXT", "40", "1", "1", "n", "0", "TEXT", "40", "1", "1", "%%c20", "0", "TEXT",
                              "40", "1", "1", "45%%d", "0", "TEXT", "40", "1", "1", "%%uA"}));
    ASSERT_EQ(d.Texts.size(), 5u);
    EXPECT_EQ(d.Texts[0].Text, "\xD8");  // Ø, which Arial has
    EXPECT_EQ(d.Texts[0].Face, "Arial");
    EXPECT_EQ(d.Texts[1].Text, "\xD8");
    EXPECT_EQ(d.Texts[2].Text, "20");
    EXPECT_EQ(d.Texts[3].Text, "45\xB0");
    EXPECT_EQ(d.Texts[4].Text, "A");
}

TEST(DrawText, TextColourIsTheEntitysResolvedColour) {
    auto d = DrawDxf(Drawing({"0", "TEXT", "8", "L", "62", "1", "40", "1", "1", "red", "0", "MTEXT", "62", "3", "40",
                              "1", "1", "gr\\C5;blue"}));
    ASSERT_EQ(d.Texts.size(), 3u);
    EXPECT_EQ(d.Texts[0].Colour, 0x0000FFu);
    EXPECT_EQ(d.Texts[1].Colour, 0x00FF00u);
    EXPECT_EQ(d.Texts[2].Colour, 0xFF0000u);
}

TEST(DrawText, MultiLineRunsAreTurnedWithTheirText) {
    // "AB" and, one line lower, "C", turned by 90 about (100, 0): the second
    // line's start lies 16 to the right of the first, both turned by 90.
    auto d = DrawDxf(Drawing({"0", "MTEXT", "10", "100", "20", "0", "40", "10", "50", "90", "1", "AB\\PC"}));
    ASSERT_EQ(d.Texts.size(), 2u);
    EXPECT_EQ(d.Texts[0].Escapement, 900);
    EXPECT_EQ(d.Texts[1].Escapement, 900);
    EXPECT_EQ(d.Texts[0].X, 348000);
    EXPECT_EQ(d.Texts[0].Y, 120000);
    EXPECT_EQ(d.Texts[1].X, 348000 + 7680);
    EXPECT_EQ(d.Texts[1].Y, 120000);
}

TEST(DrawText, TooSmallToDrawUprightIsItsBoxTurnedIsOneSegment) {
    // 300 characters of height 0.001: 0.299 long, a font less than 2 high.
    std::string s;
    for (int i = 0; i < 100; ++i) s += "ABC";
    std::string upright = Drawing(Text(0, 0, 0.001, s));
    auto d = DrawDxf(upright);
    EXPECT_TRUE(d.Texts.empty());
    // The box (0, 0.00128)-(0.299, -0.00032) maps to (300000, 119999)-(300144, 120000).
    ASSERT_EQ(d.Rectangles.size(), 1u);
    EXPECT_EQ(d.Rectangles[0].left, 300001);
    EXPECT_EQ(d.Rectangles[0].top, 119999);
    EXPECT_EQ(d.Rectangles[0].right, 300143);
    EXPECT_EQ(d.Rectangles[0].bottom, 120000);
    EXPECT_EQ(DrawLines(upright).size(), 1u);  // the frame only
    // Turned by 90: from the start (299999, 120000) to the far corner of the
    // box (299999, 119856)-(300000, 120000).
    auto lines = DrawLines(Drawing(Text(0, 0, 0.001, s, {"50", "90"})));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "299999;120000;300000;119856");
}

TEST(DrawText, TextsReachNoTextLines) {
    EXPECT_EQ(DrawLines(Drawing(Text(0, 0, 10, "ABC"))).size(), 1u);
}

// ---- attributes ----

namespace {
// Block B holds the definition of tag NR at (0, 0), height 10, and a line.
const char* kTagBlock = "0|BLOCK|2|B|10|0|20|0|0|ATTDEF|10|0|20|0|40|10|1|default|2|NR|0|LINE|11|1|0|ENDBLK";
}  // namespace

TEST(DrawAttributes, TheDefinitionIsDrawnAsItsInsertsAttribute) {
    // The insert (scale 2 at (100, 50)) holds the attribute "42" at
    // (200, 100), 20 high as the file gives it: drawn there and at that size,
    // not scaled again by the insert. Start (200, 125.6).
    auto d = DrawDxf(Drawing({"0", "INSERT", "2", "B", "10", "100", "20", "50", "41", "2", "42", "2", "66", "1", "0",
                              "ATTRIB", "10", "200", "20", "100", "40", "20", "1", "42", "2", "NR", "0", "SEQEND"},
                             kTagBlock));
    ASSERT_EQ(d.Texts.size(), 1u);
    EXPECT_EQ(d.Texts[0].Text, "42");
    EXPECT_EQ(d.Texts[0].X, 396000);
    EXPECT_EQ(d.Texts[0].Y, 59712);
    EXPECT_EQ(d.Texts[0].Height, 15360);
}

TEST(DrawAttributes, WithoutItsAttributeTheDefinitionShowsItsTag) {
    // The tag's start (0, 12.8) through the insert: (100, 75.6); the font
    // scales with the insert.
    auto d = DrawDxf(Drawing({"0", "INSERT", "2", "B", "10", "100", "20", "50", "41", "2", "42", "2"}, kTagBlock));
    ASSERT_EQ(d.Texts.size(), 1u);
    EXPECT_EQ(d.Texts[0].Text, "NR");
    EXPECT_EQ(d.Texts[0].X, 348000);
    EXPECT_EQ(d.Texts[0].Y, 83712);
    EXPECT_EQ(d.Texts[0].Height, 15360);
}

TEST(DrawAttributes, AnInvisibleAttributeDrawsNothing) {
    auto d = DrawDxf(Drawing({"0", "INSERT", "2", "B", "66", "1", "0", "ATTRIB", "40", "20", "1", "42", "2", "NR",
                              "70", "1", "0", "SEQEND"},
                             kTagBlock));
    EXPECT_TRUE(d.Texts.empty());
}

TEST(DrawAttributes, InvisibleAndConstantDefinitionsWithoutTheirAttribute) {
    // Block C: an invisible definition (flags 1) of tag HIDDEN, a constant
    // one (flags 2) of tag FIX with the value "fixed", a visible one of tag
    // NR, each 10 high at (0, 0) in the block; the insert at (100, 50),
    // scale 2, has no attributes. The invisible one shows nothing, the
    // constant one its value, the visible one its tag; the value and the
    // tag start at (100, 75.6) as in the test above.
    const char* block = "0|BLOCK|2|C|10|0|20|0|0|ATTDEF|40|10|1|secret|2|HIDDEN|70|1|0|ATTDEF|40|10|1|fixed|2|FIX|"
                        "70|2|0|ATTDEF|40|10|1|default|2|NR|0|ENDBLK";
    auto d = DrawDxf(Drawing({"0", "INSERT", "2", "C", "10", "100", "20", "50", "41", "2", "42", "2"}, block));
    ASSERT_EQ(d.Texts.size(), 2u);
    EXPECT_EQ(d.Texts[0].Text, "fixed");
    EXPECT_EQ(d.Texts[0].X, 348000);
    EXPECT_EQ(d.Texts[0].Y, 83712);
    EXPECT_EQ(d.Texts[1].Text, "NR");
    // An invisible definition with its attribute: the attribute decides (here visible).
    d = DrawDxf(Drawing({"0", "INSERT", "2", "C", "66", "1", "0", "ATTRIB", "10", "200", "20", "100", "40", "20",
                         "1", "shown", "2", "HIDDEN", "0", "SEQEND"},
                        block));
    ASSERT_EQ(d.Texts.size(), 3u);
    EXPECT_EQ(d.Texts[0].Text, "shown");
}

TEST(DrawAttributes, AnAttributeWithoutItsDefinitionIsDrawnAtItsOwnPlace) {
    // Block B defines only NR; the insert (scale 2 at (100, 50)) also holds
    // the attribute OLD "7" at (200, 100), 20 high, from a block redefined
    // since: drawn after the block, as itself, where the file puts it (start
    // (200, 125.6) as in the test above) and not scaled by the insert.
    auto d = DrawDxf(Drawing({"0", "INSERT", "2", "B", "10", "100", "20", "50", "41", "2", "42", "2", "66", "1", "0",
                              "ATTRIB", "10", "0", "20", "0", "40", "10", "1", "42", "2", "NR", "0", "ATTRIB", "10",
                              "200", "20", "100", "40", "20", "1", "7", "2", "OLD", "0", "SEQEND"},
                             kTagBlock));
    ASSERT_EQ(d.Texts.size(), 2u);
    EXPECT_EQ(d.Texts[0].Text, "42");
    EXPECT_EQ(d.Texts[1].Text, "7");
    EXPECT_EQ(d.Texts[1].X, 396000);
    EXPECT_EQ(d.Texts[1].Y, 59712);
    EXPECT_EQ(d.Texts[1].Height, 15360);
    // An invisible one (flags 1) stays invisible.
    d = DrawDxf(Drawing({"0", "INSERT", "2", "B", "66", "1", "0", "ATTRIB", "40", "20", "1", "7", "2", "OLD", "70",
                         "1", "0", "SEQEND"},
                        kTagBlock));
    ASSERT_EQ(d.Texts.size(), 1u);
    EXPECT_EQ(d.Texts[0].Text, "NR");
}

TEST(DrawAttributes, AnUnderlinedAttributeIsDrawnThroughItsMultiLineText) {
    auto d = DrawDxf(Drawing({"0", "INSERT", "2", "B", "66", "1", "0", "ATTRIB", "10", "200", "20", "100", "40",
                              "20", "1", "%%u42", "2", "NR", "0", "SEQEND"},
                             kTagBlock));
    ASSERT_EQ(d.Texts.size(), 1u);
    EXPECT_EQ(d.Texts[0].Text, "42");
    EXPECT_EQ(d.Texts[0].Height, 15360);
}

// ---- work ----

TEST(DrawText, EveryTextRunCountsForTheDrawingWork) {
    // A run costs its visit and kDrawWorkPerText points (4 units each in
    // simplified DXF form) plus one point per 16 bytes.
    auto none = DrawDxf(Drawing({}));
    std::vector<std::string> body;
    for (int i = 0; i < 10; ++i) body.insert(body.end(), {"0", "TEXT", "40", "1", "1", "x"});
    auto ten = DrawDxf(Drawing(body));
    EXPECT_EQ(ten.Work - none.Work, 10 * (1 + kDrawWorkPerText * kDrawWorkPerDxfPoint));
    // A multi-line text of three runs: the insert, and three runs.
    auto runs = DrawDxf(Drawing({"0", "MTEXT", "40", "1", "1", "a\\Pb\\Pc"}));
    EXPECT_EQ(runs.Work - none.Work, 1 + 3 * (1 + kDrawWorkPerText * kDrawWorkPerDxfPoint));
    // The runs are laid out again as they are drawn: the 64 bytes of codes
    // before the one run cost a point per 16 bytes as well.
    std::string codes;
    for (int i = 0; i < 16; ++i) codes += "\\C1;";
    auto coded = DrawDxf(Drawing({"0", "MTEXT", "40", "1", "1", codes + "x"}));
    EXPECT_EQ(coded.Work - none.Work, 1 + 4 * kDrawWorkPerDxfPoint + (1 + kDrawWorkPerText * kDrawWorkPerDxfPoint));
}

TEST(DrawText, MultiLineTextsCostTheSameInTheTextFormWhetherLaidOutAgainOrNot) {
    // The text form takes the work of a multi-line text whose runs all show
    // as strings from finishing instead of laying it out again. Every kind
    // of run and placement, drawn both ways at every work bound up to the
    // whole drawing's work, gives the same lines, work and counts.
    const std::string body =
        "0|MTEXT|10|-400|20|150|40|8|71|5|41|300|1|a {\\C1;b}  c\\P{\\H0.5x;d}\\S1/2;e\\P{}\\P   |"
        "0|MTEXT|8|OFF|10|-400|20|100|40|8|1|on a frozen layer|"
        "0|MTEXT|10|-400|20|50|40|8|1|wide \\W0;nothing\\W1; and back|"
        "0|MTEXT|10|-400|20|0|40|0.0001|50|45|1|too small to show: one segment|"
        "0|MTEXT|67|1|10|0|20|0|40|8|1|paper space|"
        "0|MTEXT|10|0|20|0|40|8|1|{}|"
        "0|TEXT|10|-400|20|-50|40|8|1|%%uunderlined|"
        "0|INSERT|2|T|8|L1|10|100|20|-100|41|2|42|3|50|30|"
        "0|INSERT|2|N|8|OFF|10|200|20|-150|"
        "0|INSERT|2|N|8|0|10|300|20|-150|"
        "0|INSERT|2|A|66|1|10|-200|20|-150|0|ATTRIB|10|-200|20|-150|40|8|2|NR|1|%%uvalue|0|SEQEND|"
        "0|DIMENSION|2|*D1|8|L1|10|0|20|0|"
        "0|LINE|10|-500|20|-200|11|500|21|200";
    const std::string dxf = dxftest::PipeDxf(
        "0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|2|0|62|7|0|LAYER|2|OFF|70|1|62|-1|0|LAYER|2|L1|62|3|0|ENDTAB|"
        "0|ENDSEC|0|SECTION|2|BLOCKS|"
        "0|BLOCK|2|T|10|0|20|0|0|MTEXT|8|0|40|5|1|in a block\\Pon layer 0|0|MTEXT|8|OFF|40|5|1|off|0|ENDBLK|"
        "0|BLOCK|2|N|10|0|20|0|0|INSERT|2|T|8|0|50|90|0|ENDBLK|"
        "0|BLOCK|2|A|10|0|20|0|0|ATTDEF|40|8|1|d|2|NR|0|ENDBLK|"
        "0|BLOCK|2|*D1|10|0|20|0|0|MTEXT|8|OFF|10|0|20|0|40|8|1|its runs are frozen|0|ENDBLK|"
        "0|ENDSEC|0|SECTION|2|ENTITIES|" + body + "|0|ENDSEC|0|EOF");
    struct TRun {
        std::vector<std::string> Lines;
        uint64_t Work, Drawn;
        bool Truncated;
        uint32_t OutOfRange;
    };
    auto draw = [&](bool walkEveryRun, uint64_t budget) {
        TkrDXFImage g;
        g.LoadFromText(dxf);
        g.WalkEveryRun = walkEveryRun;
        g.WorkBudget = budget;
        TRun r;
        r.Lines = rendertest::DrawLoaded(g);
        r.Work = g.WorkDone;
        r.Drawn = g.EntitiesDrawn;
        r.Truncated = g.DrawTruncated;
        r.OutOfRange = g.Converter->Bounds.OutOfRange;
        return r;
    };
    const TRun whole = draw(true, kDrawWorkBase);
    ASSERT_FALSE(whole.Truncated);
    ASSERT_GT(whole.Lines.size(), 1u);  // the frame, and the segment of the small text
    for (uint64_t budget = 0; budget <= whole.Work + 64; budget = budget > whole.Work ? budget + 16 : budget + 1) {
        const TRun walked = draw(true, budget), taken = draw(false, budget);
        ASSERT_EQ(taken.Lines, walked.Lines) << budget;
        ASSERT_EQ(taken.Work, walked.Work) << budget;
        ASSERT_EQ(taken.Drawn, walked.Drawn) << budget;
        ASSERT_EQ(taken.Truncated, walked.Truncated) << budget;
        ASSERT_EQ(taken.OutOfRange, walked.OutOfRange) << budget;
    }
}
