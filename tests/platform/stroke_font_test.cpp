// The stroke fonts: the installed Hershey fonts read as the .jhf format
// says, damaged copies refused with the line and the reason, and lines of
// Windows-1252 text laid out in their strokes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/stroke_font.h"
#include "platform/stroke_text.h"


namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The error message of parsing text, or "" when it parses.
std::string ParseError(const std::string& text) {
    try {
        TStrokeFont::Parse(text, "copy.jhf");
    } catch (const EStrokeFontError& e) {
        return e.what();
    }
    return "";
}

std::shared_ptr<const TStrokeFonts> Installed() {
    static std::shared_ptr<const TStrokeFonts> fonts = LoadStrokeFonts();
    return fonts;
}

}  // namespace

TEST(StrokeFont, TheInstalledFontsAreFoundAndReadAsTheFormatSays) {
    auto fonts = Installed();
    ASSERT_TRUE(fonts);
    EXPECT_NE(fonts->Folder.find("hershey-fonts"), std::string::npos);
    // rowmans H: "G]KFK[ RYFY[ RKPYP": bounds -11..11, two stems and a bar,
    // from y = -12 (F) to the baseline y = 9 ([).
    const TStrokeGlyph& h = *fonts->Normal.Glyph('H');
    EXPECT_EQ(h.Left, -11);
    EXPECT_EQ(h.Right, 11);
    ASSERT_EQ(h.PathEnds.size(), 3u);
    EXPECT_EQ(h.Points[0].X, -7);
    EXPECT_EQ(h.Points[0].Y, -12);
    EXPECT_EQ(fonts->Normal.BaseY(), 9);
    EXPECT_EQ(fonts->Normal.CapHeight(), 21);
    // The space has bounds and no strokes; "~" is the last glyph read.
    EXPECT_TRUE(fonts->Normal.Glyph(' ')->Points.empty());
    EXPECT_NE(fonts->Normal.Glyph('~'), nullptr);
    EXPECT_EQ(fonts->Normal.Glyph(127), nullptr);
    EXPECT_EQ(fonts->Bold.CapHeight(), 21);
    // The search list starts with the package's own folder; without the
    // package the error says what to install.
    EXPECT_EQ(StrokeFontSearchList().front(), fonts->Folder);
    try {
        FindStrokeFontFolder({"/nonexistent/a", "/nonexistent/b"});
        ADD_FAILURE() << "a folder is found";
    } catch (const EStrokeFontError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "the stroke fonts for drawing texts as lines were not found (rowmans.jhf and rowmand.jhf, looked "
                  "in /nonexistent/a, /nonexistent/b): install the package hershey-fonts-data (apt-get install "
                  "hershey-fonts-data)");
    }
    EXPECT_GT(fonts->Bold.Glyph('H')->Points.size(), h.Points.size()) << "the duplex strokes are doubled";
}

TEST(StrokeFont, AGlyphMayGoOnOverTheNextLines) {
    std::string text = ReadAll(Installed()->Folder + "/" + kStrokeFontNormal);
    // Line 41 is "H" (the 41st glyph from the space): cut it after its bounds.
    size_t at = 0;
    for (int i = 0; i < 'H' - 32; ++i) at = text.find('\n', at) + 1;
    const std::string cut = text.substr(0, at + 10) + "\n" + text.substr(at + 10);
    TStrokeFont a = TStrokeFont::Parse(text, "a"), b = TStrokeFont::Parse(cut, "b");
    ASSERT_EQ(a.Glyph('H')->Points.size(), b.Glyph('H')->Points.size());
    EXPECT_EQ(b.Glyph('I')->Right, a.Glyph('I')->Right);
}

TEST(StrokeFont, DamagedCopiesAreRefusedWithTheLineAndTheReason) {
    const std::string good = ReadAll(Installed()->Folder + "/" + kStrokeFontNormal);
    ASSERT_EQ(ParseError(good), "");
    EXPECT_EQ(ParseError(""), "damaged stroke font 'copy.jhf': line 1: the file ends after 0 of 95 glyphs");
    // Cut after 40 glyphs.
    size_t at = 0;
    for (int i = 0; i < 40; ++i) at = good.find('\n', at) + 1;
    EXPECT_EQ(ParseError(good.substr(0, at)), "damaged stroke font 'copy.jhf': line 41: the file ends after 40 of 95 glyphs");
    EXPECT_EQ(ParseError("  69\n"), "damaged stroke font 'copy.jhf': line 1: no glyph number and vertex count");
    EXPECT_EQ(ParseError("  699  1J\n"), "damaged stroke font 'copy.jhf': line 1: glyph 699 has fewer than 1 vertices");
    EXPECT_EQ(ParseError("  6x9  1JZ\n"), "damaged stroke font 'copy.jhf': line 1: no glyph number and vertex count");
    EXPECT_EQ(ParseError("  699  0JZ\n"), "damaged stroke font 'copy.jhf': line 1: a glyph without its bounds");
    EXPECT_EQ(ParseError("  699  3JZRF\n"), "damaged stroke font 'copy.jhf': line 1: glyph 699 has fewer than 3 vertices");
    EXPECT_EQ(ParseError("  699  2JZRFRG\n"), "damaged stroke font 'copy.jhf': line 1: glyph 699 has more than 2 vertices");
    EXPECT_EQ(ParseError("  699  2JZR\x01\n"),
              "damaged stroke font 'copy.jhf': line 1: glyph 699: a coordinate that is no printable character");
    EXPECT_EQ(ParseError("  699  1ZJ\n"),
              "damaged stroke font 'copy.jhf': line 1: glyph 699: its right bound lies left of its left bound");
    // An H without strokes cannot be measured.
    std::string noH = good;
    size_t h = 0;
    for (int i = 0; i < 'H' - 32; ++i) h = noH.find('\n', h) + 1;
    noH.replace(h, noH.find('\n', h) - h, "  508  1G]");
    EXPECT_EQ(ParseError(noH), "damaged stroke font 'copy.jhf': line 41: the letter H has no strokes to measure");
    // More than a megabyte is no stroke font.
    EXPECT_EQ(ParseError(std::string(kMaxStrokeFontBytes + 1, ' ')),
              "damaged stroke font 'copy.jhf': larger than 1048576 bytes");
}

TEST(StrokeText, LettersMarksAndSignsAreLaidOutInCapHeights) {
    const TStrokeFont& f = Installed()->Normal;
    TStrokeText t;
    // "HI": H advances 22 units, I 8 (bounds -4..4): 30/21 cap heights; the
    // H's centre at 11/21, the I's at 26/21. H's left stem starts at
    // (-7, -12): 7/21 left of its centre, on the cap line (y = 1).
    LayOutStrokes(f, "HI", false, 1000, t);
    ASSERT_EQ(t.Chars.size(), 2u);
    EXPECT_DOUBLE_EQ(t.Advance, 30.0 / 21);
    EXPECT_DOUBLE_EQ(t.Chars[0].Centre, 11.0 / 21);
    EXPECT_DOUBLE_EQ(t.Chars[1].Centre, 26.0 / 21);
    EXPECT_FLOAT_EQ(t.Points[0].X, -7.0f / 21);
    EXPECT_FLOAT_EQ(t.Points[0].Y, 1.0f);
    EXPECT_EQ(t.Chars[1].PathEnd, 4u) << "H three paths, I one";

    // ä is the a with two dots over it; Ä the A with the dots above the caps.
    TStrokeText a, ae;
    LayOutStrokes(f, "a", false, 1000, a);
    LayOutStrokes(f, "\xE4", false, 1000, ae);
    EXPECT_EQ(ae.PathEnds.size(), a.PathEnds.size() + 2);
    EXPECT_DOUBLE_EQ(ae.Advance, a.Advance);
    for (size_t i = a.Points.size(); i < ae.Points.size(); ++i) {
        EXPECT_GT(ae.Points[i].Y, 14.0f / 21) << "above the x-height";
        EXPECT_LT(ae.Points[i].Y, 1.0f) << "below the cap line";
    }
    LayOutStrokes(f, "\xC4", false, 1000, ae);
    EXPECT_GT(ae.Points.back().Y, 1.0f) << "over a capital the dots lie above the cap line";

    // Every printable Windows-1252 character draws something of its own;
    // unassigned codes are the box.
    TStrokeText box, c;
    LayOutStrokes(f, "\x81", false, 1000, box);
    ASSERT_EQ(box.PathEnds.size(), 1u);
    EXPECT_EQ(box.Points.size(), 5u);
    auto isBox = [&] {
        if (c.Points.size() != box.Points.size()) return false;
        for (size_t i = 0; i < c.Points.size(); ++i)
            if (c.Points[i].X != box.Points[i].X || c.Points[i].Y != box.Points[i].Y) return false;
        return true;
    };
    for (int ch = 0xA1; ch <= 0xFF; ++ch) {
        if (ch == 0xA7 || ch == 0xB6 || ch == 0xDE || ch == 0xF0 || ch == 0xFE) continue;  // the boxes
        LayOutStrokes(f, std::string(1, char(ch)), false, 1000, c);
        EXPECT_FALSE(c.Points.empty()) << ch;
        EXPECT_FALSE(isBox()) << ch;
    }
    for (int ch : {0x80, 0x82, 0x84, 0x85, 0x8A, 0x8C, 0x91, 0x93, 0x96, 0x99, 0x9C, 0x9F}) {
        LayOutStrokes(f, std::string(1, char(ch)), false, 1000, c);
        EXPECT_FALSE(isBox()) << ch;
    }
    // The Symbol face's 0xC6 is the diameter sign: the O with a slash.
    TStrokeText o;
    LayOutStrokes(f, "O", false, 1000, o);
    LayOutStrokes(f, "\xC6", true, 1000, c);
    EXPECT_EQ(c.PathEnds.size(), o.PathEnds.size() + 1);

    // A bound on the points ends the line before the character that passes it.
    LayOutStrokes(f, std::string(100, 'H'), false, 60, c);
    EXPECT_TRUE(c.Truncated);
    EXPECT_EQ(c.Chars.size(), 10u) << "H has 6 points";
    EXPECT_EQ(c.Points.size(), 60u);
}
