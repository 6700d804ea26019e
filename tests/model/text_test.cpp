// Single-line texts, attribute definitions and attributes: control codes,
// measuring and placing (alignments, fit and aligned, rotation), the
// conversion to a multi-line text, and hostile values.
//
// Widths by hand: texts are measured at a cell height of 160 with the Arial
// advance widths stretched to an average character width of 64 (of 904 design
// units): A = B = 97, C = 105, T = 89, G = 113, a = b = n = 81, space = 40,
// Ø = 113. For a text of height h the cell is a = 1.6 h high and the string
// b = sum x h / 100 wide; "ABC" is 299 wide at 160, so 29.9 at height 10.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/text.h"

#include "dxf_snippets.h"
#include "model/model_helpers.h"

namespace {
using dxftest::Entities;

std::unique_ptr<TkrDXFConverter> Load(const std::vector<std::string>& body) {
    return modeltest::LoadDrawable(Entities(body));
}

template <class T = TkrDXFText>
T& At(TkrDXFConverter& c, int i = 0) {
    TkrDXFEntity* e = c.EntityAt(i);
    EXPECT_NE(e, nullptr);
    return *static_cast<T*>(e);
}

void ExpectBox(const TBox3F& b, double left, double top, double right, double bottom) {
    EXPECT_NEAR(b.Left, left, 1e-4);
    EXPECT_NEAR(b.Top, top, 1e-4);
    EXPECT_NEAR(b.Right, right, 1e-4);
    EXPECT_NEAR(b.Bottom, bottom, 1e-4);
}

void ExpectPoint(const TPoint3F& p, double x, double y) {
    EXPECT_NEAR(p.X, x, 1e-4);
    EXPECT_NEAR(p.Y, y, 1e-4);
}

// A TEXT "ABC" of height 10 at (x, y) with further groups.
std::vector<std::string> Abc(double x, double y, const std::vector<std::string>& more = {}) {
    std::vector<std::string> g = {"0", "TEXT", "8", "0", "10", std::to_string(x), "20", std::to_string(y),
                                  "40", "10", "1", "ABC"};
    g.insert(g.end(), more.begin(), more.end());
    return g;
}
}  // namespace

// ---- control codes ----

TEST(ControlCodes, TheTableInEitherLetterCase) {
    EXPECT_EQ(ReplaceControlCodes("%%d %%D %%p %%u %%C"), "\xB0 \xB0 \xB1 \\L \\U+2205");
    EXPECT_EQ(ReplaceControlCodes("%%127 %%128 %%176 %%179 %%220"), "? \x88 \xB0 ? U");
    EXPECT_EQ(ReplaceControlCodes("20%%d C"), "20\xB0 C");
}

TEST(ControlCodes, CodesTheTableLacksAreNotPrintedAsTheyStand) {
    // Overline is not drawn, "%%%" is a percent sign, any other three digits
    // are the Windows-1252 character of that number.
    EXPECT_EQ(ReplaceControlCodes("%%oOver%%O"), "Over");
    EXPECT_EQ(ReplaceControlCodes("50%%%"), "50%");
    EXPECT_EQ(ReplaceControlCodes("%%177 %%248 %%065"), "\xB1 \xF8 A");
    // What is not a code stays: a number above 255, two digits, a letter
    // without a meaning, a lone "%".
    EXPECT_EQ(ReplaceControlCodes("%%999 %%12 %%x 5%"), "%%999 %%12 %%x 5%");
    // What a code stands for is not read again: "%%%" then "d".
    EXPECT_EQ(ReplaceControlCodes("%%%d"), "%d");
}

TEST(ControlCodes, TheLetterNAloneIsTheDiameterSign) {
    EXPECT_EQ(ReplaceControlCodes("n"), "\\U+2205");
    EXPECT_EQ(ReplaceControlCodes("N"), "N");
    EXPECT_EQ(ReplaceControlCodes("nn"), "nn");
}

TEST(ControlCodes, UnicodeEscapesBecomeTheirCharacter) {
    // Euro and a-umlaut are in the code page: their bytes; alpha is not: it
    // is kept in its drawn form (DEL and its digits), which is measured as
    // "?"; digits that are not hex give "?"; a sequence cut short at the end stays.
    auto c = Load({"0", "TEXT", "40", "1", "1", "\\U+20AC \\U+00E4 \\U+03B1 \\U+zz00 \\U+20A"});
    EXPECT_EQ(At(*c).Text, "\x80 \xE4 \x7F" "03B1 ? \\U+20A");
    EXPECT_EQ(At(*c).Converted, nullptr);
    auto q = Load({"0", "TEXT", "40", "1", "1", "\x80 \xE4 ? ? \\U+20A"});
    EXPECT_EQ(At(*c).GetBox(), At(*q).GetBox());
}

// ---- placing ----

TEST(TextPlacing, LeftBaselineTopLeftCornerAndBox) {
    auto c = Load(Abc(10, 20));
    auto& t = At(*c);
    // Cell 16 high, top 0.8 x 16 = 12.8 above the baseline, 29.9 wide.
    ExpectPoint(t.StartPoint, 10, 32.8);
    ExpectBox(t.GetBox(), 10, 32.8, 39.9, 16.8);
    EXPECT_EQ(t.Font.Name(), "Arial");  // STANDARD's family ("txt" reads as Arial)
    ASSERT_NE(t.Layer, nullptr);
}

TEST(TextPlacing, AlignmentWithoutAlignmentPointIsLeftBaseline) {
    auto c = Load(Abc(10, 20, {"72", "1"}));
    auto& t = At(*c);
    EXPECT_EQ(t.HAlign, 0);
    ExpectPoint(t.StartPoint, 10, 32.8);
}

TEST(TextPlacing, HorizontalAndVerticalAlignmentsAtTheAlignmentPoint) {
    struct TCase {
        const char* h;
        const char* v;
        double startX, startY;
    };
    // Reference point (100, 0); dx: centre -14.95, right -29.9, middle
    // -14.95; dy: baseline 12.8, bottom 16, middle 8, top 0; horizontal
    // middle forces 8.
    const TCase cases[] = {{"1", "0", 85.05, 12.8}, {"2", "0", 70.1, 12.8}, {"4", "0", 85.05, 8},
                           {"0", "1", 100, 16},     {"0", "2", 100, 8},     {"0", "3", 100, 0}};
    for (const TCase& k : cases) {
        auto c = Load(Abc(0, 0, {"72", k.h, "73", k.v, "11", "100", "21", "0"}));
        auto& t = At(*c);
        SCOPED_TRACE(std::string("72=") + k.h + " 73=" + k.v);
        ExpectPoint(t.StartPoint, k.startX, k.startY);
        ExpectBox(t.GetBox(), k.startX, k.startY, k.startX + 29.9, k.startY - 16);
    }
}

TEST(TextPlacing, FitDoublesTheWidthFactorAndAlignedTheHeightToo) {
    // The alignment point lies twice the natural width (29.9) away.
    auto fit = Load(Abc(0, 0, {"72", "5", "11", "59.8", "21", "0"}));
    auto& f = At(*fit);
    EXPECT_NEAR(f.WidthFactor, 2, 1e-5);
    EXPECT_FLOAT_EQ(f.Height, 10);
    // Placed from the insertion point; the box reaches the alignment point.
    ExpectPoint(f.StartPoint, 0, 12.8);
    ExpectBox(f.GetBox(), 0, 12.8, 59.8, -3.2);
    auto aligned = Load(Abc(0, 0, {"72", "3", "11", "59.8", "21", "0"}));
    auto& a = At(*aligned);
    EXPECT_NEAR(a.WidthFactor, 2, 1e-5);
    EXPECT_NEAR(a.Height, 20, 1e-4);
    // The cell doubles: 32 high, its top 25.6 above the baseline.
    ExpectPoint(a.StartPoint, 0, 25.6);
    ExpectBox(a.GetBox(), 0, 25.6, 59.8, -6.4);
}

TEST(TextPlacing, RotationTurnsStartPointAndBox) {
    auto c = Load(Abc(0, 0, {"50", "90"}));
    auto& t = At(*c);
    // (0, 12.8) turned by 90 degrees is (-12.8, 0); the box (0, 12.8)-(29.9, -3.2) turned.
    ExpectPoint(t.StartPoint, -12.8, 0);
    ExpectBox(t.GetBox(), -12.8, 29.9, 3.2, 0);
}

TEST(TextPlacing, BackwardAndUpsideDownTurnByHalfACircle) {
    auto c = Load({"0", "TEXT", "40", "1", "50", "30", "71", "6", "1", "x", "0", "TEXT", "40", "1", "50", "200", "71",
                   "6", "1", "x", "0", "TEXT", "40", "1", "50", "30", "71", "4", "1", "x"});
    EXPECT_FLOAT_EQ(At(*c, 0).Rotation, 210);
    EXPECT_FLOAT_EQ(At(*c, 1).Rotation, 20);
    EXPECT_FLOAT_EQ(At(*c, 2).Rotation, 30);  // upside down alone: no turn
}

TEST(TextPlacing, StyleGivesTheFaceAndObliqueAnglesItalic) {
    auto c = modeltest::LoadDrawable(dxftest::Dxf(
        {"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "STYLE", "0", "STYLE", "2", "Plan", "3", "romans.shx",
         "0", "STYLE", "2", "Serif", "3", "times.ttf", "1000", "Times New Roman", "0", "ENDTAB", "0", "ENDSEC",
         "0", "SECTION", "2", "ENTITIES", "0", "TEXT", "7", "PLAN", "40", "10", "51", "15", "1", "ABC", "0", "TEXT",
         "7", "serif", "40", "10", "51", "5", "1", "ABC", "0", "TEXT", "7", "Nowhere", "40", "10", "1", "ABC", "0",
         "ENDSEC", "0", "EOF"}));
    auto& plan = At(*c, 0);
    EXPECT_EQ(plan.Font.Name(), "romans");
    EXPECT_TRUE(plan.Font.Has(fmItalic));
    auto& serif = At(*c, 1);
    EXPECT_EQ(serif.Font.Name(), "Times New Roman");
    EXPECT_FALSE(serif.Font.Has(fmItalic));
    // Measured with the serif widths: A 1479, B 1366, C 1366 of 822 at 64:
    // 115 + 106 + 106 = 327.
    ExpectBox(serif.GetBox(), 0, 12.8, 32.7, -3.2);
    // A style the drawing lacks is made; it reads as Arial.
    EXPECT_EQ(At(*c, 2).Font.Name(), "Arial");
    EXPECT_EQ(c->TableCount(tkStyle), 3);  // Plan, Serif and the one made for Nowhere
}

// ---- conversion ----

TEST(TextConversion, UnderlineDiameterAndExtrusionGoThroughAMultiLineText) {
    auto c = Load({"0", "TEXT", "40", "10", "1", "n",                               // the diameter sign
                   "0", "TEXT", "40", "10", "1", "%%Uunder",                        // underline, capital U
                   "0", "TEXT", "40", "10", "1", "x", "230", "-1",                  // extrusion
                   "0", "TEXT", "40", "10", "1", "plain"});
    for (int i = 0; i < 3; ++i) EXPECT_NE(At(*c, i).Converted, nullptr) << i;
    EXPECT_EQ(At(*c, 3).Converted, nullptr);
    TkrDXFMText& m = *At(*c, 0).Converted;
    EXPECT_EQ(m.Attachment, 10);
    EXPECT_EQ(m.Text, "\\U+2205");
    auto runs = m.LaidOutRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0]->Text, "\xD8");  // drawn as the Arial character, not the Symbol byte
    // The run "Ø" (11.3 x 16) under the base point (0, -16/2 - 10/2): the box
    // of the converted text, and so of the text.
    ExpectBox(At(*c, 0).GetBox(), 0, 13, 11.3, -3);
    auto& under = *At(*c, 1).Converted;
    auto underRuns = under.LaidOutRuns();
    ASSERT_EQ(underRuns.size(), 1u);
    EXPECT_TRUE(underRuns[0]->Font.Has(fmUnderline));
    // Mirrored by the extrusion (0, 0, -1): x runs the other way.
    TBox3F mirrored = At(*c, 2).GetBox();
    EXPECT_NEAR(mirrored.Right, 0, 1e-5);
    EXPECT_NEAR(mirrored.Left, -7.2, 1e-5);
}

TEST(TextConversion, TextsMadeInCodeAreFinishedByTheReader) {
    // As a missing external reference is shown: its path as a text of height 0.2.
    TkrDXFConverter conv;
    TkrDXFText t;
    t.Text = "xref.dxf";
    t.Height = 0.2f;
    t.Point = {5, 5, 0};
    t.Layer = conv.FindOrCreateLayer("X");
    t.Loaded(conv);
    ASSERT_NE(t.Style, nullptr);
    EXPECT_EQ(t.Style->Name, "STANDARD");
    EXPECT_FALSE(IsEmptyBox(t.GetBox()));
    EXPECT_NEAR(t.GetBox().Top, 5 + 0.8 * 0.32, 1e-5);
    TkrDXFMText m;
    m.Text = "A\\PB";
    m.Height = 1;
    m.Point = {0, 0, 0};
    m.Attachment = 1;
    m.Loaded(conv);
    EXPECT_EQ(m.RunCount(), 2u);
    EXPECT_EQ(m.LaidOutRuns().size(), 2u);
    EXPECT_FALSE(IsEmptyBox(m.GetBox()));
}

// ---- attributes ----

TEST(Attributes, DefinitionIsMeasuredAsItsTagAndReadsGroup74) {
    auto c = Load({"0", "ATTDEF", "40", "10", "1", "a long default value", "2", "TAG", "73", "2", "74", "3", "11",
                   "0", "21", "0"});
    auto& d = At<TkrDXFAttdef>(*c);
    EXPECT_EQ(d.Tag, "TAG");
    EXPECT_EQ(d.VAlign, 3);  // from 74; 73 is not read
    // "TAG": 89 + 97 + 113 = 299 at 160, top-aligned at the alignment point.
    ExpectBox(d.GetBox(), 0, 0, 29.9, -16);
}

TEST(Attributes, AnInvisibleAttributeHasNoTextAndNoBox) {
    auto c = Load({"0", "INSERT", "2", "NONE", "66", "1", "0", "ATTRIB", "2", "T", "1", "shown", "40", "1", "70",
                   "0", "0", "ATTRIB", "2", "T", "1", "hidden", "40", "1", "70", "1", "0", "ATTRIB", "2", "T", "1",
                   "%%uhidden", "40", "1", "70", "9", "0", "SEQEND"});
    auto& ins = At<TkrDXFInsert>(*c);
    ASSERT_EQ(ins.Attribs.size(), 3u);
    EXPECT_EQ(ins.Attribs[0]->Text, "shown");
    EXPECT_FALSE(IsEmptyBox(ins.Attribs[0]->GetBox()));
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(ins.Attribs[i]->Text, "") << i;
        EXPECT_EQ(ins.Attribs[i]->Converted, nullptr) << i;
        EXPECT_TRUE(IsEmptyBox(ins.Attribs[i]->GetBox())) << i;
    }
}

// ---- text of later releases ----

TEST(Utf8Files, TextsAndNamesOfAC1021FilesAreDecoded) {
    // "Maße 5 €", layer "Räume", block "Tür", style "Schrift™" in UTF-8.
    auto file = [](const std::string& version) {
        return dxftest::Dxf({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", version, "0", "ENDSEC", "0",
                             "SECTION", "2", "BLOCKS", "0", "BLOCK", "2", "T\xC3\xBCr", "10", "0", "20", "0", "0",
                             "LINE", "11", "1", "0", "ENDBLK", "0", "ENDSEC", "0", "SECTION", "2", "ENTITIES", "0",
                             "TEXT", "8", "R\xC3\xA4ume", "7", "Schrift\xE2\x84\xA2", "40", "1", "1",
                             "Ma\xC3\x9F" "e 5 \xE2\x82\xAC", "0", "INSERT", "2", "T\xC3\xBCr", "0", "MTEXT", "40",
                             "1", "3", "\xC3\xA4", "1", "\xC3\xB6", "0", "ENDSEC", "0", "EOF"});
    };
    for (const char* v : {"AC1021", "AC1032"}) {
        auto c = modeltest::LoadDrawable(file(v));
        SCOPED_TRACE(v);
        auto& t = At(*c, 0);
        EXPECT_EQ(t.Text, "Ma\xDF" "e 5 \x80");
        EXPECT_EQ(t.Layer->Name, "R\xE4ume");
        EXPECT_EQ(t.Style->Name, "Schrift\x99");
        EXPECT_NE(At<TkrDXFInsert>(*c, 1).Block, nullptr);
        EXPECT_EQ(At<TkrDXFMText>(*c, 2).Text, "\xE4\xF6");
    }
    // An older file holds 8-bit text: the same bytes stay as they are.
    auto old = modeltest::LoadDrawable(file("AC1018"));
    EXPECT_EQ(At(*old, 0).Text, "Ma\xC3\x9F" "e 5 \xE2\x82\xAC");
    EXPECT_EQ(At(*old, 0).Layer->Name, "R\xC3\xA4ume");
}

// ---- statistics and hostile values ----

TEST(TextStatistics, HighBytesAreCounted) {
    // 0x80 and 0xA7 fall into 128..175, 0xC4 and 0xF6 into 192..223 or
    // 240..255; 0xB0 (the degree sign of "%%d") and 0xE4 into neither.
    auto c = Load({"0", "TEXT", "40", "1", "1", "\x80\xA7 \xC4\xF6 %%d\xE4"});
    EXPECT_EQ(c->HighChars1, 2);
    EXPECT_EQ(c->HighChars2, 2);
}

TEST(TextHostile, ValuesThatPlaceNothingLeaveNoBox) {
    TkrDXFConverter conv;
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (float h : {nan, inf, 3e38f}) {
        TkrDXFText t;
        t.Text = "ABC";
        t.Height = h;
        t.Loaded(conv);
        EXPECT_TRUE(IsEmptyBox(t.GetBox())) << h;
    }
    for (float f : {nan, inf, 0.0f}) {
        TkrDXFText t;
        t.Text = "ABC";
        t.Height = 1;
        t.WidthFactor = f;
        t.Loaded(conv);
        EXPECT_TRUE(IsEmptyBox(t.GetBox())) << f;
    }
    TkrDXFText r;
    r.Text = "ABC";
    r.Height = 10;
    r.Rotation = nan;
    r.Loaded(conv);
    EXPECT_EQ(r.Rotation, 0);
    ExpectBox(r.GetBox(), 0, 12.8, 29.9, -3.2);
    // A negative height is measured (and drawn) at its magnitude; a zero
    // height is a box of one point.
    TkrDXFText neg;
    neg.Text = "ABC";
    neg.Height = -10;
    neg.Loaded(conv);
    ExpectBox(neg.GetBox(), 0, 12.8, 29.9, -3.2);
    TkrDXFText zero;
    zero.Text = "ABC";
    zero.Loaded(conv);
    EXPECT_FALSE(IsEmptyBox(zero.GetBox()));
    ExpectBox(zero.GetBox(), 0, 0, 0, 0);
}

TEST(TextHostile, OneMissingStyleNamedByManyTexts) {
    std::string body = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 100000; ++i) body += "0\nTEXT\n7\nGone\n40\n1\n1\nx\n";
    body += "0\nENDSEC\n0\nEOF\n";
    auto c = modeltest::LoadDrawable(body);
    EXPECT_EQ(c->TableCount(tkEntities), 100000);
    EXPECT_EQ(c->TableCount(tkStyle), 1);
    EXPECT_EQ(At(*c, 99999).Style, At(*c, 0).Style);
}
