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

#include <cctype>
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

namespace {
struct TWideText {
    std::string Raw;      // the MTEXT string as written (Windows-1252)
    std::string Decoded;  // its "\\U+XXXX" codes decoded (UTF-8)
    double X, Y;
};

// Converts the drawing to simplified DXF and reads its MTEXT entities back with ezdxf.
std::vector<TWideText> ConvertAndReadBack(const fs::path& dir, const std::string& name, const std::string& dxf) {
    fs::remove_all(dir / name);
    fs::create_directories(dir / name);
    dxftest::WriteFile(dir / name / "in.dxf", dxf);
    TMemoryLog log;
    TConversionRun run(log);
    TConvertSettings s;
    s.OutputFolder = (dir / name).string();
    s.OutputForm = ofDXF;
    EXPECT_EQ(run.Run({(dir / name / "in.dxf").string()}, s, dir.string()), 1);
    std::string script =
        "import sys, ezdxf\n"
        "doc = ezdxf.readfile(sys.argv[1])\n"
        "a = doc.audit()\n"
        "print('errors', len(a.errors))\n"
        "for e in doc.modelspace().query('MTEXT'):\n"
        "    p = e.dxf.insert\n"
        "    print('|'.join([e.text.encode('cp1252').hex(), ezdxf.decode_dxf_unicode(e.text).encode('utf-8').hex(),\n"
        "                    repr(p.x), repr(p.y)]))\n";
    std::ofstream(dir / "read.py") << script;
    std::string cmd = "/usr/bin/python3 '" + (dir / "read.py").string() + "' '" + (dir / name / "in0.dxf").string() +
                      "' > '" + (dir / name / "read.txt").string() + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << dxftest::ReadFile(dir / name / "read.txt");
    std::istringstream in(dxftest::ReadFile(dir / name / "read.txt"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "errors 0");
    auto unhex = [](const std::string& h) {
        std::string t;
        for (size_t i = 0; i + 1 < h.size(); i += 2) t += char(std::stoi(h.substr(i, 2), nullptr, 16));
        return t;
    };
    std::vector<TWideText> got;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string part; std::getline(ls, part, '|');) f.push_back(part);
        if (f.size() != 4) {
            ADD_FAILURE() << line;
            continue;
        }
        got.push_back({unhex(f[0]), unhex(f[1]), std::stod(f[2]), std::stod(f[3])});
    }
    return got;
}
}  // namespace

TEST(TextReadBack, CharactersBeyondWindows1252ArriveAsUnicodeCodesMeasuredAsBefore) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
    fs::path dir = fs::temp_directory_path() / ("text_wide_" + std::to_string(::getpid()));
    // A drawing of release AC1024 (UTF-8): Greek, signs, Cyrillic and
    // Chinese in a text and a multi-line text (whose second run's place
    // follows the measured width of the first), Windows-1252 characters, and
    // a character past U+FFFF (no four-digit code: "?"). And the same texts
    // in an AC1015 drawing as "\U+XXXX" codes.
    auto drawing = [](const char* release, const std::vector<std::string>& texts) {
        std::vector<std::string> body = {"0", "LINE", "10", "-500", "20", "-200", "11", "500", "21", "200"};
        double y = 150;
        for (size_t i = 0; i < texts.size(); ++i, y -= 60)
            body.insert(body.end(), {"0", i % 2 ? "MTEXT" : "TEXT", "8", "0", "10", "-400", "20", std::to_string(y),
                                     "40", "10", "1", texts[i]});
        return dxftest::Dxf({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", release, "0", "ENDSEC"}) +
               dxftest::Entities(body);
    };
    const std::vector<std::string> utf8 = {"\u03A9\u03BC\u03AD\u03B3\u03B1 \u2248\u2713",
                                           "\u041F\u0440\u0438\\C1;\u4E2D\u6587 x",
                                           "Ma\u00DF \u20AC \u2205 \U0001F600 ok"};
    // (As a code, "\U+2205" is the diameter sign, drawn as the face's "\xD8";
    // characters of codes run on to the next text, so the second is one run.)
    const std::vector<std::string> codes = {"\\U+03A9\\U+03BC\\U+03AD\\U+03B3\\U+03B1 \\U+2248\\U+2713",
                                            "\\U+041F\\U+0440\\U+0438\\C1;\\U+4E2D\\U+6587 x"};
    const std::vector<std::string> marks = {"????? ??", "???\\C1;?? x", "Ma\xDF \x80 ? ? ok"};
    auto wide = ConvertAndReadBack(dir, "utf8", drawing("AC1024", utf8));
    auto coded = ConvertAndReadBack(dir, "codes", drawing("AC1015", codes));
    auto plain = ConvertAndReadBack(dir, "plain", drawing("AC1015", marks));
    auto face = [](const std::string& t) { return "{\\fArial|i0|b0;" + t + "}"; };
    const std::vector<std::string> want = {
        face("\\U+03A9\\U+03BC\\U+03AD\\U+03B3\\U+03B1 \\U+2248\\U+2713"), face("\\U+041F\\U+0440\\U+0438"),
        face("\\U+4E2D\\U+6587 x"), face("Ma\xDF \x80 \\U+2205 ? ok")};
    ASSERT_EQ(wide.size(), want.size());
    ASSERT_EQ(coded.size(), 2u);
    ASSERT_EQ(plain.size(), want.size());
    // Every "\U+XXXX" (four hexadecimal digits) as one "?".
    auto marked = [](const std::string& t) {
        std::string out;
        for (size_t i = 0; i < t.size(); ++i) {
            auto hex = [&](size_t k) { return k < t.size() && std::isxdigit(static_cast<unsigned char>(t[k])); };
            if (t.compare(i, 3, "\\U+") == 0 && hex(i + 3) && hex(i + 4) && hex(i + 5) && hex(i + 6)) {
                out += '?';
                i += 6;
            } else {
                out += t[i];
            }
        }
        return out;
    };
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i]);
        EXPECT_EQ(wide[i].Raw, want[i]);
        // Placed and measured as the text of "?" marks is (the widths as before).
        EXPECT_EQ(marked(wide[i].Raw), plain[i].Raw);
        EXPECT_EQ(wide[i].X, plain[i].X);
        EXPECT_EQ(wide[i].Y, plain[i].Y);
    }
    EXPECT_EQ(coded[0].Raw, want[0]);
    EXPECT_EQ(coded[1].Raw, face("\\U+041F\\U+0440\\U+0438\\U+4E2D\\U+6587 x"));
    for (size_t i = 0; i < coded.size(); ++i) {
        EXPECT_EQ(coded[i].X, plain[i].X);
        EXPECT_EQ(coded[i].Y, plain[i].Y);
    }
    EXPECT_EQ(wide[0].Decoded, face("\u03A9\u03BC\u03AD\u03B3\u03B1 \u2248\u2713"));
    EXPECT_EQ(wide[2].Decoded, face("\u4E2D\u6587 x"));
    EXPECT_EQ(wide[3].Decoded, face("Ma\u00DF \u20AC \u2205 ? ok"));
    fs::remove_all(dir);
}
