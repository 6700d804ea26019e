// Texts drawn as lines and true widths, end to end: the simplified DXF form
// writes the strokes as LINEs that a real reader (ezdxf) reads back where
// the text form draws them; hostile texts and a damaged font end bounded and
// clearly. (Without the options nothing changes: the golden conversions.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "platform/stroke_font.h"

#include "app/temp_folder.h"
#include "dxf_snippets.h"

namespace {

std::vector<std::string> Frame() { return {"0", "LINE", "8", "0", "10", "-500", "20", "-200", "11", "500", "21", "200"}; }

std::vector<std::string> Text(const std::string& s, double height = 20) {
    return {"0", "TEXT", "8", "0", "10", "-400", "20", "0", "40", std::to_string(height), "1", s};
}

struct TOutcome {
    int Converted = -1;
    std::string Error;
    std::vector<std::string> Warnings;
};

TOutcome Convert(TTempFolder& dir, const std::string& dxf, TOutputForm form, bool strokes, bool widths = false,
                 const std::string& fontFolder = {}) {
    WriteBytes(dir.Path + "d.dxf", dxf);
    TMemoryLog log;
    TConversionRun run(log);
    run.StrokeFontFolder = fontFolder;
    TOutcome o;
    run.OnWarning = [&](const std::string&, const std::string& m) { o.Warnings.push_back(m); };
    TConvertSettings s;
    s.OutputFolder = dir.Path + "out";
    s.OutputForm = form;
    s.TextStrokes = strokes;
    s.TrueWidths = widths;
    try {
        o.Converted = run.Run({dir.Path + "d.dxf"}, s, dir.Path);
    } catch (const std::exception& e) {
        o.Error = e.what();
    }
    return o;
}

size_t Lines(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

}  // namespace

TEST(LetteringConvert, TheDxfFormWritesTheStrokesAsLinesThatARealReaderReadsBack) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
    std::vector<std::string> body = Frame();
    for (auto& g : {Text("Gr\xF6\xDF" "e 12 m\xB2 \x80"), std::vector<std::string>{"0", "MTEXT", "8", "0", "10", "0", "20",
                                                                             "-100", "40", "15", "1", "Raum\\PB\xFCro"}})
        body.insert(body.end(), g.begin(), g.end());
    const std::string dxf = dxftest::Entities(body);
    TTempFolder dir;
    ASSERT_EQ(Convert(dir, dxf, ofText, true).Converted, 1);
    const std::string text = ReadBytes(dir.Path + "out/d.txt");
    ASSERT_EQ(Convert(dir, dxf, ofDXF, true).Converted, 1);
    // Every segment of the text form is one LINE, at the same place (the
    // DXF form writes y negated), and no MTEXT is left.
    std::string script =
        "import sys, ezdxf\n"
        "doc = ezdxf.readfile(sys.argv[1])\n"
        "print('errors', len(doc.audit().errors))\n"
        "msp = doc.modelspace()\n"
        "print('mtext', len(msp.query('MTEXT')))\n"
        "for e in msp.query('LINE'):\n"
        "    s, t = e.dxf.start, e.dxf.end\n"
        "    print('%d;%d;%d;%d' % (round(s.x), round(-s.y), round(t.x), round(-t.y)))\n";
    WriteBytes(dir.Path + "read.py", script);
    ASSERT_EQ(std::system(("/usr/bin/python3 " + dir.Path + "read.py " + dir.Path + "out/d.dxf > " + dir.Path +
                           "read.txt")
                              .c_str()),
              0);
    std::istringstream in(ReadBytes(dir.Path + "read.txt"));
    std::string line, expected;
    std::getline(in, line);
    EXPECT_EQ(line, "errors 0");
    std::getline(in, line);
    EXPECT_EQ(line, "mtext 0");
    std::string lines;
    while (std::getline(in, line)) lines += line + "\r\n";
    EXPECT_GT(Lines(text), 150u);
    EXPECT_EQ(lines, text);
}

TEST(LetteringConvert, HostileTextsEndBoundedAndClear) {
    TTempFolder dir;
    // 100 000 times the letter O (21 points each): the strokes of the first
    // 47 619 letters (999 999 points) are drawn, with a warning.
    std::vector<std::string> body = Frame();
    auto add = [&](const std::vector<std::string>& g) { body.insert(body.end(), g.begin(), g.end()); };
    add(Text(std::string(100000, 'O'), 1));
    TOutcome o = Convert(dir, dxftest::Entities(body), ofText, true);
    EXPECT_EQ(o.Converted, 1);
    ASSERT_EQ(o.Warnings.size(), 1u);
    EXPECT_EQ(o.Warnings[0], "layout 1: 1 text(s) drawn as lines only in part: their strokes would pass 1000000 "
                             "points (the characters after that are left out)");
    const std::string drawn = ReadBytes(dir.Path + "out/d.txt");
    EXPECT_GT(Lines(drawn), 10000u);
    EXPECT_LT(Lines(drawn), 1000000u);
    // The text fills the middle 480000 units; the letters drawn keep their
    // share of it: they end near 60000 + 0.47619 x 480000 = 288571 (not at
    // the text's end, 540000).
    int32_t right = 0;
    std::istringstream in(drawn);
    for (std::string l; std::getline(in, l);) {
        int32_t x1, y1, x2, y2;
        if (std::sscanf(l.c_str(), "%d;%d;%d;%d", &x1, &y1, &x2, &y2) == 4 && y1 != 216000)
            right = std::max({right, x1, x2});
    }
    EXPECT_NEAR(right, 288571, 1000);

    // A text of 10 MB: as wide as 6 million heights, it is drawn far too
    // small to show (its box, nothing in the text form), in bounded time.
    body = Frame();
    add(Text(std::string(10 << 20, 'W'), 1));
    TTempFolder dir2;
    o = Convert(dir2, dxftest::Entities(body), ofText, true);
    EXPECT_EQ(o.Converted, 1);
    EXPECT_TRUE(o.Warnings.empty());
    EXPECT_EQ(Lines(ReadBytes(dir2.Path + "out/d.txt")), 1u) << "the frame alone";

    // A height of 10^30: no extents, far outside the target: not drawn as
    // lines (the DXF form keeps it as a text), the frame alone.
    body = Frame();
    add(Text("huge", 1e30));
    TTempFolder dir3;
    EXPECT_EQ(Convert(dir3, dxftest::Entities(body), ofText, true).Converted, 1);
    EXPECT_EQ(ReadBytes(dir3.Path + "out/d.txt"), "60000;216000;540000;24000\r\n");
}

TEST(LetteringConvert, ADamagedFontEndsTheRunBeforeAnythingIsWritten) {
    TTempFolder fonts, dir;
    WriteBytes(fonts.Path + kStrokeFontNormal, "  699  1JZ\n  714  9MWRFRT RRYQZR[\n");
    TOutcome o = Convert(dir, dxftest::Entities(Frame()), ofText, true, false, fonts.Path);
    EXPECT_EQ(o.Converted, -1);
    EXPECT_EQ(o.Error, "damaged stroke font '" + fonts.Path + "/" + kStrokeFontNormal +
                           "': line 2: glyph 714 has fewer than 9 vertices");
    EXPECT_FALSE(std::filesystem::exists(dir.Path + "out")) << "nothing made, not even the output folder";
}
