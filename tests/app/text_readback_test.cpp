// Texts end to end: a drawing with texts of every alignment, rotations, fit
// and aligned texts, multi-line codes and converted texts is converted to
// simplified DXF, and a real reader (ezdxf) reads every text back as an
// MTEXT with the string, place, height and rotation computed here by hand.
//
// The frame (-500, -200)-(500, 200) maps with scale 480: a drawing point
// (x, y) becomes the target point (300000 + 480 x, 120000 - 480 y), written
// with y negated. An MTEXT is placed at the text's top-left corner (attachment
// top left) and is 480 x h high for a text of height h. Widths are the Arial
// advance widths at an average character width of 64, in hundredths of the
// height: L 81, e 81, f 40, t 40, M 121, i 32, d 81, R 105, g 81, h 81, A 97,
// l 32, r 48, b 81, n 81, x 72, space 40, Ø 113.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/conversion_run.h"

#include "dxf_snippets.h"

namespace fs = std::filesystem;

namespace {

struct TReadText {
    std::string Text;
    double X, Y, Height, Rotation;
    int Colour;
};

std::vector<std::string> TextAt(const char* s, double x, double y, std::vector<std::string> more = {}) {
    std::vector<std::string> g = {"0", "TEXT", "8", "0", "10", std::to_string(x), "20", std::to_string(y), "40", "10",
                                  "1", s};
    g.insert(g.end(), more.begin(), more.end());
    return g;
}

}  // namespace

TEST(TextReadBack, EveryTextArrivesAsMTextWherePlacedAsLargeAndAsTurned) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
    std::vector<std::string> body = {"0", "LINE", "10", "-500", "20", "-200", "11", "500", "21", "200"};
    auto add = [&](const std::vector<std::string>& g) { body.insert(body.end(), g.begin(), g.end()); };
    add(TextAt("Left", -400, 100));                                         // left baseline
    add(TextAt("Mid", 0, 0, {"72", "1", "11", "0", "21", "100"}));           // centre at (0, 100)
    add(TextAt("Right", 0, 0, {"72", "2", "11", "400", "21", "100"}));       // right at (400, 100)
    add(TextAt("Mid", 9, 9, {"72", "4", "11", "0", "21", "0"}));             // middle at (0, 0)
    add(TextAt("Top", 9, 9, {"73", "3", "11", "-400", "21", "0"}));          // top left at (-400, 0)
    add(TextAt("Bot", 9, 9, {"73", "1", "11", "-400", "21", "-100"}));       // bottom left at (-400, -100)
    add(TextAt("Rot", 0, -100, {"50", "30"}));                               // turned by 30
    add(TextAt("Fit", 100, -150, {"72", "5", "11", "200", "21", "-150"}));   // fit into 100
    add(TextAt("Al", 250, -150, {"72", "3", "11", "300", "21", "-150"}));    // aligned into 50
    add({"0", "MTEXT", "8", "0", "10", "-400", "20", "-150", "40", "10", "71", "1", "1", "\\C1;red \\H2x;big\\Pnext"});
    add(TextAt("%%c12", 200, 0));                                            // diameter: a multi-line text
    add(TextAt("%%uUnder", 200, 50));                                        // underline: a multi-line text
    add(TextAt("Ma\xDF 5 \x80 %%p1", -100, 150));                           // umlaut, euro, plus-minus
    fs::path dir = fs::temp_directory_path() / ("text_readback_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    dxftest::WriteFile(dir / "texts.dxf", dxftest::Entities(body));
    TMemoryLog log;
    TConversionRun run(log);
    TConvertSettings s;
    s.OutputFolder = (dir / "out").string();
    s.OutputForm = ofDXF;
    ASSERT_EQ(run.Run({(dir / "texts.dxf").string()}, s, dir.string()), 1);

    std::string script =
        "import sys, ezdxf\n"
        "doc = ezdxf.readfile(sys.argv[1])\n"
        "a = doc.audit()\n"
        "print('errors', len(a.errors))\n"
        "for e in doc.modelspace().query('MTEXT'):\n"
        "    p = e.dxf.insert\n"
        "    print('|'.join([e.text.encode('cp1252').hex(), repr(p.x), repr(p.y), repr(e.dxf.char_height),\n"
        "                    repr(e.dxf.get('rotation', 0.0)), str(e.dxf.get('color', 256))]))\n";
    std::ofstream(dir / "read.py") << script;
    std::string cmd = "/usr/bin/python3 '" + (dir / "read.py").string() + "' '" + (dir / "out" / "texts.dxf").string() +
                      "' > '" + (dir / "read.txt").string() + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << dxftest::ReadFile(dir / "read.txt");
    std::istringstream in(dxftest::ReadFile(dir / "read.txt"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "errors 0");
    std::vector<TReadText> got;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string part; std::getline(ls, part, '|');) f.push_back(part);
        ASSERT_EQ(f.size(), 6u) << line;
        std::string text;
        for (size_t i = 0; i + 1 < f[0].size(); i += 2) text += char(std::stoi(f[0].substr(i, 2), nullptr, 16));
        got.push_back({text, std::stod(f[1]), std::stod(f[2]), std::stod(f[3]), std::stod(f[4]), std::stoi(f[5])});
    }
    auto face = [](const std::string& t) { return "{\\fArial|i0|b0;" + t + "}"; };
    const std::vector<TReadText> want = {
        // Start (-400, 112.8): 0.8 x 16 above the baseline.
        {face("Left"), 108000, -65856, 4800, 0, 7},
        // "Mid" 23.4 wide, centred on (0, 100): start (-11.7, 112.8).
        {face("Mid"), 294384, -65856, 4800, 0, 7},
        // "Right" 33.9 wide, ending at (400, 100): start (366.1, 112.8).
        {face("Right"), 475728, -65856, 4800, 0, 7},
        // Middle: half the cell (8) above (0, 0) and centred.
        {face("Mid"), 294384, -116160, 4800, 0, 7},
        // Top: the alignment point is the corner.
        {face("Top"), 108000, -120000, 4800, 0, 7},
        // Bottom: the whole cell (16) above (-400, -100).
        {face("Bot"), 108000, -160320, 4800, 0, 7},
        // (0, 12.8) turned by 30: (-6.4, 11.0851) from (0, -100).
        {face("Rot"), 296928, -162679, 4800, 30, 7},
        // Fit keeps its height: start (100, -137.2).
        {face("Fit"), 348000, -185856, 4800, 0, 7},
        // Aligned: "Al" is 12.9 wide, stretched to 50 (e = 3.876): 38.76 high,
        // its top 49.61 above the baseline; font 29767 high, / 1.6.
        {face("Al"), 420000, -168186, 18604.375, 0, 7},
        // Multi-line text at (-400, -150): "red " in red; "big" twice as high
        // after 25, raised by the 10 it grew; "next" a line (16) below the
        // pen's 10, at the text's height.
        {face("red "), 108000, -192000, 4800, 0, 1},
        {face("big"), 120000, -187200, 9600, 0, 7},
        {face("next"), 108000, -194880, 4800, 0, 7},
        // Converted at (200, 0): the runs block's base lies 16/2 + 10/2 below
        // its top, so the runs start 13 above the insertion point.
        {face("\xD8"), 396000, -113760, 4800, 0, 7},
        {face("12"), 401424, -113760, 4800, 0, 7},
        {"{\\fArial|i0|b0;\\LUnder}", 396000, -89760, 4800, 0, 7},
        {face("Ma\xDF 5 \x80 \xB1" "1"), 252000, -41856, 4800, 0, 7},
    };
    ASSERT_EQ(got.size(), want.size()) << dxftest::ReadFile(dir / "read.txt");
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].Text);
        EXPECT_EQ(got[i].Text, want[i].Text);
        EXPECT_NEAR(got[i].X, want[i].X, 0.5);
        EXPECT_NEAR(got[i].Y, want[i].Y, 0.5);
        EXPECT_NEAR(got[i].Height, want[i].Height, 1e-3);
        EXPECT_NEAR(got[i].Rotation, want[i].Rotation, 1e-6);
        EXPECT_EQ(got[i].Colour, want[i].Colour);
    }
    fs::remove_all(dir);
}
