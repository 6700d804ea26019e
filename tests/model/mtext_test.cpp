// The multi-line text layout: runs and their places for new lines, word
// wrap, formatting codes, braces, stacks, attachments and line alignment, and
// texts that are huge or broken. All texts are 10 high, so a line is 16 lower
// than the one before and widths are the Arial widths at 64 (A = B = 97,
// C = 105, a = b = d = 81, e = 81, l = 32, m = 121, r = 48, s = 72, x = 72,
// 1 = 2 = 3 = 81, space = 40, Ø = 113) divided by 10.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/text.h"

#include "dxf_snippets.h"
#include "model/model_helpers.h"

namespace {

struct TRun {
    std::string Text;
    float X, Y;
};

std::unique_ptr<TkrDXFConverter> LoadMText(const std::string& text, const std::vector<std::string>& more = {}) {
    std::vector<std::string> g = {"0", "MTEXT", "8", "0", "10", "0", "20", "0", "40", "10"};
    g.insert(g.end(), more.begin(), more.end());
    g.insert(g.end(), {"1", text});
    return modeltest::LoadDrawable(dxftest::Entities(g));
}

TkrDXFMText& MText(TkrDXFConverter& c) { return *static_cast<TkrDXFMText*>(c.EntityAt(0)); }

// Run i as drawing lays it out (valid until the next call).
TkrDXFText& RunAt(TkrDXFConverter& c, size_t i) {
    static std::vector<std::unique_ptr<TkrDXFText>> runs;
    runs = MText(c).LaidOutRuns();
    EXPECT_LT(i, runs.size());
    return *runs.at(i);
}

std::vector<TRun> Runs(TkrDXFConverter& c) {
    std::vector<TRun> out;
    for (auto& r : MText(c).LaidOutRuns()) out.push_back({r->Text, r->Point.X, r->Point.Y});
    return out;
}

void ExpectRuns(TkrDXFConverter& c, const std::vector<TRun>& want) {
    std::vector<TRun> got = Runs(c);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].Text, want[i].Text) << i;
        EXPECT_NEAR(got[i].X, want[i].X, 1e-3) << i << " " << want[i].Text;
        EXPECT_NEAR(got[i].Y, want[i].Y, 1e-3) << i << " " << want[i].Text;
    }
}

}  // namespace

// ---- lines and wrapping ----

TEST(MTextLayout, NewLineThenALetter) {
    auto c = LoadMText("\\PA");
    ExpectRuns(*c, {{"A", 0, -16}});
}

TEST(MTextLayout, NoWrappingWithoutAReferenceWidth) {
    auto c = LoadMText("a rather long line of words that would wrap");
    ExpectRuns(*c, {{"a rather long line of words that would wrap", 0, 0}});
}

TEST(MTextLayout, AWidthSmallerThanEveryWordPutsEachWordOnItsOwnLine) {
    auto c = LoadMText("aa bb cc", {"41", "5"});
    ExpectRuns(*c, {{"aa ", 0, 0}, {"bb ", 0, -16}, {"cc", 0, -32}});
    // A single word wider than the width stays on its line.
    auto d = LoadMText("abcdefgh", {"41", "5"});
    ExpectRuns(*d, {{"abcdefgh", 0, 0}});
}

TEST(MTextLayout, WrappedPiecesKeepTheirFormatting) {
    auto c = LoadMText("\\C1;aa bb cc", {"41", "5"});
    ASSERT_EQ(Runs(*c).size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(RunAt(*c, i).Font.Color, 0x0000FF) << i;
}

TEST(MTextLayout, ParagraphsWrapAtTheWidth) {
    // "ab " is 20.2 wide: four fit into 100, the fifth would end at 101. A
    // word is split off as long as the rest of the paragraph does not fit,
    // so the last line holds its first word and then the three that fit.
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "ab ";
    auto c = LoadMText(text, {"41", "100"});
    auto runs = Runs(*c);
    ASSERT_EQ(runs.size(), 4998u);
    EXPECT_NEAR(runs[3].X, 60.6, 1e-3);
    EXPECT_NEAR(runs[4].X, 0, 1e-3);
    EXPECT_NEAR(runs[4].Y, -16, 1e-3);
    EXPECT_EQ(runs[4996].Text, "ab ");
    EXPECT_EQ(runs[4997].Text, "ab ab ab ");
    EXPECT_NEAR(runs[4997].X, 20.2, 1e-3);
    EXPECT_NEAR(runs[4997].Y, -16 * 1249, 1e-2);
}

TEST(MTextLayout, AMegabyteOfParagraphs) {
    // 10 000 paragraphs of 100 characters: one run each, 16 apart.
    std::string line(100, 'x');
    std::string text;
    for (int i = 0; i < 10000; ++i) text += (i ? "\\P" : "") + line;
    auto c = LoadMText(text);
    auto runs = Runs(*c);
    ASSERT_EQ(runs.size(), 10000u);
    EXPECT_EQ(runs[9999].Text, line);
    EXPECT_NEAR(runs[9999].Y, -16.0 * 9999, 1e-2);
}

// ---- formatting codes ----

TEST(MTextCodes, TheRedFirstWord) {
    // Colour 1 for the first word; the width code starts a second run on the
    // same line, in the text's own colour.
    auto c = LoadMText("\\C1;red\\W0.8;blue");
    ExpectRuns(*c, {{"red", 0, 0}, {"blue", 21, 0}});
    EXPECT_EQ(RunAt(*c, 0).Font.Color, 0x0000FF);
    EXPECT_EQ(RunAt(*c, 1).Font.Color, clFromLayer);
}

TEST(MTextCodes, BracesScopeHeightColourFontAndUnderline) {
    // "small" at half height: its top lowered by the 5 it lost; at "}" the
    // height returns and the line with it. "small" = 338 wide, at height 5 16.9.
    auto c = LoadMText("{\\H0.5x;small} big\\Pnext");
    ExpectRuns(*c, {{"small", 0, -5}, {" big", 16.9f, 0}, {"next", 0, -16}});
    EXPECT_FLOAT_EQ(RunAt(*c, 0).Height, 5);
    EXPECT_FLOAT_EQ(RunAt(*c, 1).Height, 10);
    auto colour = LoadMText("\\C3;a{\\C1;\\Lb}c");
    ASSERT_EQ(Runs(*colour).size(), 3u);
    EXPECT_EQ(RunAt(*colour, 0).Font.Color, 0x00FF00);
    EXPECT_EQ(RunAt(*colour, 1).Font.Color, 0x0000FF);
    EXPECT_TRUE(RunAt(*colour, 1).Font.Has(fmUnderline));
    EXPECT_EQ(RunAt(*colour, 2).Font.Color, 0x00FF00);  // as at "{"
    EXPECT_FALSE(RunAt(*colour, 2).Font.Has(fmUnderline));
    auto font = LoadMText("{\\fTimes New Roman|b1|i1;x}y");
    EXPECT_EQ(RunAt(*font, 0).Font.Name(), "Times New Roman");
    EXPECT_TRUE(RunAt(*font, 0).Font.Has(fmBold));
    EXPECT_TRUE(RunAt(*font, 0).TrueType);
    EXPECT_EQ(RunAt(*font, 1).Font.Name(), "Arial");
    EXPECT_FALSE(RunAt(*font, 1).Font.Has(fmBold));
}

TEST(MTextCodes, AStackIsDrawnAboveAndOnTheLineAndTheTextGoesOn) {
    // "1" then 1 over 2 from x 8.1, then "3" after the wider part; the next
    // line is 16 lower than the first, not higher.
    auto c = LoadMText("1\\S1/2;3\\P4");
    ExpectRuns(*c, {{"1", 0, 0}, {"1", 8.1f, 10}, {"2", 8.1f, 0}, {"3", 16.2f, 0}, {"4", 0, -16}});
    auto tol = LoadMText("\\S+0.1^-0.2;");
    ExpectRuns(*tol, {{"+0.1", 0, 10}, {"-0.2", 0, 0}});
}

TEST(MTextCodes, ArgumentsOfCodesNotLaidOutAreConsumed) {
    // Paragraph settings (lower-case p), tracking, slant, width.
    auto c = LoadMText("\\pxqc;Text\\T2;more\\Q15;x\\W2;y");
    std::vector<TRun> runs = Runs(*c);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].Text, "Text");
    EXPECT_EQ(runs[0].Y, 0);  // no new line
    EXPECT_EQ(runs[1].Text, "more");
    EXPECT_EQ(runs[2].Text, "x");
    EXPECT_EQ(runs[3].Text, "y");
}

TEST(MTextCodes, UnicodeAndMultiByteCharactersAreDrawn) {
    auto c = LoadMText("M\\U+00E4rz\\U+2205\\u+20ac\\M+1A4A2");
    // M 121, "ärz" 81 + 48 + 72, Ø 113; the two-byte character is not in the code page.
    ExpectRuns(*c, {{"M", 0, 0}, {"\xE4rz", 12.1f, 0}, {"\xD8", 32.2f, 0}, {"\x80?", 43.5f, 0}});
}

TEST(MTextCodes, UnderlineOnAndOff) {
    auto c = LoadMText("\\Lon\\loff");
    EXPECT_TRUE(RunAt(*c, 0).Font.Has(fmUnderline));
    EXPECT_FALSE(RunAt(*c, 1).Font.Has(fmUnderline));
}

TEST(MTextCodes, EscapedBackslashBracesAndHardSpace) {
    auto c = LoadMText("a\\\\b\\{c\\}10\\~mm");
    std::vector<TRun> runs = Runs(*c);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].Text, "a");
    EXPECT_EQ(runs[1].Text, "\\b");
    EXPECT_EQ(runs[2].Text, "{c");
    EXPECT_EQ(runs[3].Text, "}10");
    EXPECT_EQ(runs[4].Text, " mm");
}

TEST(MTextCodes, HeightsAbsoluteRelativeAndBroken) {
    auto c = LoadMText("\\H2;a\\H2x;b\\Hxx;c");
    // 2, then twice the previous run's 2, then not a number: the text's 10.
    EXPECT_FLOAT_EQ(RunAt(*c, 0).Height, 2);
    EXPECT_FLOAT_EQ(RunAt(*c, 1).Height, 4);
    EXPECT_FLOAT_EQ(RunAt(*c, 2).Height, 10);
    // A factor of 1e30 is taken; one that leaves the float range is not.
    auto huge = LoadMText("\\H1e30x;a\\H1e30x;b");
    EXPECT_FLOAT_EQ(RunAt(*huge, 0).Height, 1e31f);
    EXPECT_FLOAT_EQ(RunAt(*huge, 1).Height, 10);
}

TEST(MTextCodes, CodesCutOffAtTheEnd) {
    for (const char* t : {"abc\\H2", "abc\\C", "abc\\", "abc\\S1/2", "abc\\U+00", "abc\\M+1", "abc{\\H"}) {
        auto c = LoadMText(t);
        SCOPED_TRACE(t);
        ASSERT_FALSE(Runs(*c).empty());
        EXPECT_EQ(Runs(*c)[0].Text, "abc");
    }
    // Without its ";" a code takes nothing: the rest is text.
    auto s = LoadMText("x\\S1/2");
    ExpectRuns(*s, {{"x", 0, 0}, {"1/2", 7.2f, 0}});
}

// ---- placement of the whole ----

TEST(MTextPlacing, AttachmentsPlaceTheRunsBlock) {
    // "AB" is 19.4 wide and 16 high.
    auto mid = LoadMText("AB", {"10", "100", "20", "100", "71", "5"});
    TBox3F b = MText(*mid).GetBox();
    EXPECT_NEAR(b.Left, 90.3, 1e-3);
    EXPECT_NEAR(b.Right, 109.7, 1e-3);
    EXPECT_NEAR(b.Top, 108, 1e-3);
    EXPECT_NEAR(b.Bottom, 92, 1e-3);
    // Bottom right with a width of 50: the line is moved to the right edge
    // (start point and box too), and the block's base is its bottom right.
    auto right = LoadMText("AB", {"10", "100", "20", "100", "71", "9", "41", "50"});
    EXPECT_NEAR(RunAt(*right, 0).Point.X, 30.6, 1e-3);
    EXPECT_NEAR(RunAt(*right, 0).StartPoint.X, 30.6, 1e-3);
    b = MText(*right).GetBox();
    EXPECT_NEAR(b.Left, 80.6, 1e-3);
    EXPECT_NEAR(b.Right, 100, 1e-3);
    EXPECT_NEAR(b.Top, 116, 1e-3);
    EXPECT_NEAR(b.Bottom, 100, 1e-3);
    // Centred: half the space to the right.
    auto centre = LoadMText("AB", {"71", "2", "41", "50"});
    EXPECT_NEAR(RunAt(*centre, 0).StartPoint.X, 15.3, 1e-3);
}

TEST(MTextPlacing, DirectionGivesTheRotation) {
    auto c = LoadMText("AB", {"11", "0", "21", "1", "50", "45"});
    EXPECT_FLOAT_EQ(MText(*c).Rotation, 90);
    TBox3F b = MText(*c).GetBox();
    EXPECT_NEAR(b.Left, 0, 1e-3);  // (0, 0)-(19.4, -16) turned by 90 degrees
    EXPECT_NEAR(b.Right, 16, 1e-3);
    EXPECT_NEAR(b.Top, 19.4, 1e-3);
}

// ---- hostile texts ----

TEST(MTextHostile, AMillionNewLines) {
    std::string text;
    for (int i = 0; i < 1000000; ++i) text += "\\P";
    auto c = LoadMText(text + "A");
    ExpectRuns(*c, {{"A", 0, -16e6f}});
    auto empty = LoadMText(text);
    EXPECT_TRUE(Runs(*empty).empty());
    EXPECT_TRUE(IsEmptyBox(MText(*empty).GetBox()));
}

TEST(MTextHostile, AThousandNestedBraces) {
    std::string open(1000, '{'), close(1000, '}');
    auto c = LoadMText(open + "\\C1;x" + close + "y");
    ASSERT_EQ(Runs(*c).size(), 2u);
    EXPECT_EQ(RunAt(*c, 0).Font.Color, 0x0000FF);
    EXPECT_EQ(RunAt(*c, 1).Font.Color, clFromLayer);
    // Braces deeper than 256 levels scope nothing; the drawing says so.
    EXPECT_EQ(c->Bounds.TextBraces, 1u);
    auto shallow = LoadMText("{{{x}}}");
    EXPECT_EQ(shallow->Bounds.TextBraces, 0u);
}

TEST(MTextHostile, GroupThreeChunksMakeOneText) {
    std::vector<std::string> more;
    for (int i = 0; i < 400; ++i) more.insert(more.end(), {"3", std::string(250, 'x')});
    auto c = LoadMText("end", more);
    EXPECT_EQ(MText(*c).Text.size(), 100003u);
    EXPECT_TRUE(MText(*c).PendingChunks.empty());
    EXPECT_EQ(Runs(*c).size(), 1u);
}

TEST(MTextHostile, ARunForEveryLetterKeepsOnlyTheText) {
    // "a{b}" makes a run of every letter. The runs are laid out again as the
    // text is drawn, not kept: the text holds its string and its box (before,
    // every run was an entity of some 300 bytes, 150 bytes for every byte of
    // the string). A text of more than kMaxTextRuns runs is cut after them:
    // 60 000 times "a{b}" (120 000 runs) lays out as 50 000 times, with a
    // warning.
    std::string exact, more;
    for (size_t i = 0; i < kMaxTextRuns / 2; ++i) exact += "a{b}";
    more = exact;
    for (size_t i = 0; i < 10000; ++i) more += "a{b}";
    auto whole = LoadMText(exact);
    auto cut = LoadMText(more);
    for (auto* c : {whole.get(), cut.get()}) {
        EXPECT_TRUE(MText(*c).RunsBlock->Entities.empty());
        EXPECT_EQ(MText(*c).RunCount(), kMaxTextRuns);
    }
    EXPECT_EQ(whole->Bounds.TextRuns, 0u);
    EXPECT_EQ(cut->Bounds.TextRuns, 1u);
    EXPECT_EQ(MText(*cut).GetBox(), MText(*whole).GetBox());
    auto runs = MText(*cut).LaidOutRuns();
    ASSERT_EQ(runs.size(), kMaxTextRuns);
    EXPECT_EQ(runs.back()->Text, "b");
    EXPECT_EQ(runs.back()->Point.X, RunAt(*whole, kMaxTextRuns - 1).Point.X);
}
