// The command line itself: commands, help, version, usage errors with exit
// status 2, "--", repeated options, and what `info` prints.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "dxf_snippets.h"

namespace fs = std::filesystem;
using dxftest::Entities;

namespace {

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("command_line_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    int Run(const std::vector<std::string>& args) {
        std::ostringstream o, e;
        int rc = RunCommandLine(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }
    std::string File(const std::string& name, const std::string& text) {
        dxftest::WriteFile(dir / name, text);
        return (dir / name).string();
    }
    fs::path dir;
    std::string out, err;
};

// (0,0)-(100,50) on layer 0.
const std::string kLine = Entities({"0", "LINE", "8", "0", "10", "0", "20", "0", "11", "100", "21", "50"});

}  // namespace

TEST_F(Cli, VersionAndHelpGoToStandardOutputWithStatus0) {
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out, std::string("dxf2plandrop ") + kProgramVersion + "\n");
    EXPECT_EQ(err, "");
    for (std::vector<std::string> help : {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
        EXPECT_EQ(Run(help), 0);
        EXPECT_NE(out.find("convert"), std::string::npos) << out;
        EXPECT_NE(out.find("info"), std::string::npos) << out;
    }
    // A command's help shows its options, even with other arguments around.
    EXPECT_EQ(Run({"convert", "x.dxf", "--help"}), 0);
    for (const char* opt : {"--output", "--format", "--layout", "--keep-going", "--no-xref", "--project", "--save-project"})
        EXPECT_NE(out.find(opt), std::string::npos) << opt;
    EXPECT_EQ(Run({"info", "-h"}), 0);
    EXPECT_NE(out.find("--json"), std::string::npos) << out;
}

TEST_F(Cli, UsageErrorsExitWith2AndSayWhy) {
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    for (const Case& c : std::vector<Case>{
             {{}, "no command given"},
             {{"bogus", "x.dxf"}, "unknown command 'bogus'"},
             {{"convert"}, "convert: no input file"},
             {{"convert", "--bogus", "x.dxf"}, "--bogus"},
             {{"convert", "-o"}, "--output"},
             {{"convert", "--format", "pdf", "x.dxf"}, "pdf"},
             {{"convert", "--layout", "0", "x.dxf"}, "needs a layout number of 1 or more"},
             {{"convert", "--layout", "1.5", "x.dxf"}, "needs a layout number of 1 or more"},
             {{"convert", "--layout", "two", "x.dxf"}, "needs a layout number of 1 or more"},
             {{"convert", "--layout", "4294967297", "x.dxf"}, "needs a layout number of 1 or more"},
             {{"info"}, "FILE"},
             {{"info", "--xml", "x.dxf"}, "--xml"},
         }) {
        std::string shown;
        for (auto& a : c.args) shown += a + " ";
        EXPECT_EQ(Run(c.args), 2) << shown;
        EXPECT_EQ(out, "") << shown;
        EXPECT_EQ(err.rfind("dxf2plandrop: ", 0), 0u) << shown << err;
        EXPECT_NE(err.substr(0, err.find('\n')).find(c.reason), std::string::npos) << shown << err;
        // One line of reason and one pointer to the help, not the help page.
        const std::string help = c.args.empty() || c.args[0] == "bogus" ? "dxf2plandrop --help"
                                                                         : "dxf2plandrop " + c.args[0] + " --help";
        EXPECT_EQ(err.substr(err.find('\n') + 1), "Run '" + help + "' for more information.\n") << shown << err;
        EXPECT_EQ(err.find("Usage:"), std::string::npos) << shown << err;
    }
}

TEST_F(Cli, EverythingAfterDoubleDashIsAFile) {
    File("-plan.dxf", kLine);
    // Without "--" a name starting with '-' is an option...
    EXPECT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), "-plan.dxf"}), 2);
    // ...after it, it is a file, and so is a word that looks like an option.
    // (Relative names need the drawing's folder as the current folder.)
    std::string cmd = "cd '" + dir.string() + "' && '" DXF_BINARY_DIR "/cli/dxf2plandrop' convert --format text -o out "
                      "-- -plan.dxf --keep-going >log.txt 2>err.txt";
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 1);
    EXPECT_TRUE(fs::exists(dir / "out" / "-plan.txt"));
    std::string e = dxftest::ReadFile(dir / "err.txt");
    EXPECT_NE(e.find("cannot open '" + (dir / "--keep-going").string() + "'"), std::string::npos) << e;
}

TEST_F(Cli, ARepeatedOptionKeepsItsLastValueAndValuesMayFollowAnEqualsSign) {
    std::string plan = File("plan.dxf", kLine);
    EXPECT_EQ(Run({"convert", "-o", (dir / "a").string(), "--output=" + (dir / "b").string(), "--format=dxf",
                   "--format", "text", plan}),
              0)
        << err;
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_EQ(dxftest::ReadFile(dir / "b" / "plan.txt"), "60000;270000;540000;30000\r\n");
}

// Layer "walls" with colour 1 and line type DASHED (0.5 -0.25), $LTSCALE 2.5,
// a line and a circle of radius 10 at (50, 0). Dashes of 1.25 every 1.875
// units: the line (111.8 long) has 60 dashes = 120 points, the circle's 31
// chords 114 points. The circle's lowest point is that at 16 of 31 steps,
// y = 10 sin(2pi 16/31) = -9.98717.
const std::string kInfoDrawing = dxftest::Dxf(
    {"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "9", "$LTSCALE", "40", "2.5", "0", "ENDSEC",
     "0", "SECTION", "2", "TABLES",
     "0", "TABLE", "2", "LTYPE", "0", "LTYPE", "2", "DASHED", "72", "65", "73", "2", "40", "0.75",
     "49", "0.5", "49", "-0.25", "0", "ENDTAB",
     "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "walls", "62", "1", "6", "DASHED", "0", "ENDTAB", "0", "ENDSEC",
     "0", "SECTION", "2", "ENTITIES",
     "0", "LINE", "8", "walls", "10", "0", "20", "0", "11", "100", "21", "50",
     "0", "CIRCLE", "8", "walls", "10", "50", "20", "0", "40", "10",
     "0", "ENDSEC", "0", "EOF"});

TEST_F(Cli, InfoPrintsTheDrawingAsTextAndAsJson) {
    std::string p = File("walls.dxf", kInfoDrawing);
    ASSERT_EQ(Run({"info", p}), 0) << err;
    // Extents: the line (0,0)-(100,50) and the circle (40,-10)-(60,10).
    EXPECT_EQ(out, p + "\n"
                   "  $ACADVER: AC1015\n"
                   "  Form: ASCII\n"
                   "  Entities: 2\n"
                   "    CIRCLE: 1\n"
                   "    LINE: 1\n"
                   "  Blocks: 0\n"
                   "  Layers: 1\n"
                   "    walls  colour #FF0000  visible  line type DASHED\n"
                   "  Line types: 1\n"
                   "    DASHED  [0.5, -0.25]\n"
                   "  Line type scale: 2.5\n"
                   "  Layouts: 1\n"
                   "    1: Model  block *MODEL_SPACE  box (0, -9.98717) - (100, 50)\n");
    ASSERT_EQ(Run({"info", "--json", p}), 0) << err;
    EXPECT_EQ(out, "[{\"file\":\"" + p +
                       "\",\"acadver\":\"AC1015\",\"form\":\"ascii\",\"entities\":{\"CIRCLE\":1,\"LINE\":1},\"entity_count\":2,"
                       "\"points\":{\"CIRCLE\":114,\"LINE\":120},\"inserts\":{},\"blocks\":0,"
                       "\"layers\":[{\"name\":\"walls\",\"color\":\"#FF0000\",\"visible\":true,\"linetype\":\"DASHED\"}],"
                       "\"linetypes\":[{\"name\":\"DASHED\",\"elements\":[0.5,-0.25]}],\"ltscale\":2.5,"
                       "\"layouts\":[{\"number\":1,\"name\":\"Model\",\"block\":\"*MODEL_SPACE\",\"box\":[0,-9.987165,100,50]}]}]\n");
}

TEST_F(Cli, InfoJsonStaysValidForNamesThatAreNotUtf8AndGoesOnAfterAFailure) {
    // A file name with a byte that is not UTF-8, and one that cannot be read.
    std::string odd = File("plan\xff.dxf", kLine), missing = (dir / "missing.dxf").string();
    EXPECT_EQ(Run({"info", "--json", odd, missing}), 1);
    EXPECT_EQ(out.rfind("[{\"file\":\"" + (dir / "plan\xEF\xBF\xBD.dxf").string() + "\",", 0), 0u) << out;
    // The file that cannot be read has its object too, with the error.
    const std::string tail = ",{\"file\":\"" + missing + "\",\"error\":\"cannot open '" + missing +
                             "': No such file or directory\"}]\n";
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail) << out;
    EXPECT_NE(err.find(missing + ": cannot open"), std::string::npos) << err;
}

TEST_F(Cli, InfoJsonGivesFloatsAsTheShortestDecimalThatReadsBack) {
    // 3.175 (1/8 inch in millimetres) has no exact float: the float nearest
    // to it is 3.17499995231628..., which as a double would print so.
    std::string p = File("inch.dxf", dxftest::Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LTYPE", "0", "LTYPE",
                                                  "2", "EIGHTH", "72", "65", "73", "2", "40", "4.7625", "49", "3.175",
                                                  "49", "-1.5875", "0", "ENDTAB", "0", "ENDSEC", "0", "EOF"}));
    ASSERT_EQ(Run({"info", "--json", p}), 0) << err;
    EXPECT_NE(out.find("{\"name\":\"EIGHTH\",\"elements\":[3.175,-1.5875]}"), std::string::npos) << out;
}

// Two inserts of PART, one of DOOR, a line; an OBJECTS section whose MATERIAL
// uses code 8 for an (empty) map name and whose LAYER_FILTER lists a layer
// name: neither names a layer of the drawing.
const std::string kInserts = dxftest::Dxf(
    {"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "0", "62", "7", "0", "ENDTAB",
     "0", "ENDSEC", "0", "SECTION", "2", "BLOCKS",
     "0", "BLOCK", "2", "PART", "10", "0", "20", "0", "0", "LINE", "8", "0", "10", "0", "20", "0", "11", "1", "21", "0",
     "0", "ENDBLK", "0", "BLOCK", "2", "DOOR", "10", "0", "20", "0",
     "0", "LINE", "8", "0", "10", "0", "20", "0", "11", "0", "21", "1", "0", "ENDBLK", "0", "ENDSEC",
     "0", "SECTION", "2", "ENTITIES",
     "0", "INSERT", "8", "0", "2", "PART", "10", "0", "20", "0",
     "0", "INSERT", "8", "0", "2", "PART", "10", "5", "20", "0",
     "0", "INSERT", "8", "0", "2", "DOOR", "10", "0", "20", "5",
     "0", "LINE", "8", "0", "10", "0", "20", "0", "11", "1", "21", "1", "0", "ENDSEC",
     "0", "SECTION", "2", "OBJECTS",
     "0", "MATERIAL", "5", "1F", "1", "ByBlock", "8", "", "48", "1.0",
     "0", "LAYER_FILTER", "5", "20", "8", "ghost", "0", "ENDSEC", "0", "EOF"});

TEST_F(Cli, InfoCountsEntitiesByTheirTypeNameAndListsOnlyLayersThatExist) {
    std::string p = File("inserts.dxf", kInserts);
    ASSERT_EQ(Run({"info", p}), 0) << err;
    EXPECT_NE(out.find("  Entities: 4\n    INSERT: 3\n    LINE: 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Layers: 1\n    0  colour foreground  visible  line type (none)\n  Line types"),
              std::string::npos)
        << out;
    ASSERT_EQ(Run({"info", "--json", p}), 0) << err;
    EXPECT_NE(out.find("\"entities\":{\"INSERT\":3,\"LINE\":1}"), std::string::npos) << out;
    EXPECT_NE(out.find("\"inserts\":{\"DOOR\":1,\"PART\":2}"), std::string::npos) << out;
    EXPECT_EQ(out.find("ghost"), std::string::npos) << out;
}

TEST_F(Cli, InfoSaysWhichFormADrawingHasAndADamagedBinaryFileNamesTheByte) {
    // SECTION ENTITIES, a LINE with 10 = 1.5 (16-bit codes), ENDSEC, EOF.
    std::string bin("AutoCAD Binary DXF\r\n\x1a\0", 22);
    auto group = [&](int code, const std::string& value) {
        bin += char(code & 0xFF);
        bin += char(code >> 8);
        bin += value;
    };
    group(0, std::string("SECTION\0", 8));
    group(2, std::string("ENTITIES\0", 9));
    group(0, std::string("LINE\0", 5));
    group(10, std::string("\0\0\0\0\0\0\xf8\x3f", 8));
    std::string whole = bin;
    group(0, std::string("ENDSEC\0", 7));
    group(0, std::string("EOF\0", 4));
    std::string p = File("bin.dxf", bin), q = File("text.dxf", kLine);
    ASSERT_EQ(Run({"info", p, q}), 0) << err;
    EXPECT_NE(out.find("bin.dxf\n  $ACADVER: (none)\n  Form: binary\n  Entities: 1\n    LINE: 1\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("text.dxf\n  $ACADVER: (none)\n  Form: ASCII\n"), std::string::npos) << out;
    ASSERT_EQ(Run({"info", "--json", p}), 0) << err;
    EXPECT_NE(out.find("\"form\":\"binary\""), std::string::npos) << out;
    // Cut inside the real: the group starts at byte 50 (22 + 10 + 11 + 7).
    std::string cut = File("cut.dxf", whole.substr(0, 55));
    EXPECT_EQ(Run({"convert", "-o", (dir / "out").string(), cut}), 1);
    EXPECT_EQ(err, "dxf2plandrop: " + cut +
                       ": DXF read error at byte 50: \ndamaged binary DXF: the value of group code 10 at byte 52 "
                       "needs 8 bytes, the file ends after 3\n");
}

TEST_F(Cli, ACircleAtCurveToleranceTenHasEveryChordWithinTenUnits) {
    // Radius 200000: drawn 240000 units large, where the fixed 32 segments
    // stray 240000 (1 - cos(pi / 31)) = 1231 units from the circle.
    std::string p = File("flange.dxf", Entities({"0", "CIRCLE", "8", "0", "10", "0", "20", "0", "40", "200000"}));
    auto segments = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"convert", "--format", "text", "-o", (dir / "out").string(), p};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Run(args), 0) << err;
        std::vector<std::array<double, 4>> s;
        std::string name = fs::exists(dir / "out" / "flange0.txt") ? "flange0.txt" : "flange.txt";
        std::istringstream in(dxftest::ReadFile(dir / "out" / name));
        for (std::string line; std::getline(in, line);) {
            std::array<double, 4> v{};
            std::sscanf(line.c_str(), "%lf;%lf;%lf;%lf", &v[0], &v[1], &v[2], &v[3]);
            s.push_back(v);
        }
        return s;
    };
    EXPECT_EQ(segments({}).size(), 32u);
    auto fine = segments({"--curve-tolerance", "10"});
    ASSERT_GT(fine.size(), 200u);
    // The circle through three of the end points (they lie on it, rounded to
    // whole units), then the middle of every chord against it.
    auto at = [&](size_t i) { return std::array<double, 2>{fine[i][0], fine[i][1]}; };
    auto a = at(0), b = at(fine.size() / 3), c = at(2 * fine.size() / 3);
    double d = 2 * (a[0] * (b[1] - c[1]) + b[0] * (c[1] - a[1]) + c[0] * (a[1] - b[1]));
    double a2 = a[0] * a[0] + a[1] * a[1], b2 = b[0] * b[0] + b[1] * b[1], c2 = c[0] * c[0] + c[1] * c[1];
    double cx = (a2 * (b[1] - c[1]) + b2 * (c[1] - a[1]) + c2 * (a[1] - b[1])) / d;
    double cy = (a2 * (c[0] - b[0]) + b2 * (a[0] - c[0]) + c2 * (b[0] - a[0])) / d;
    double r = std::hypot(a[0] - cx, a[1] - cy);
    EXPECT_NEAR(r, 240000, 50);
    double worst = 0;
    for (auto& s : fine) {
        EXPECT_NEAR(std::hypot(s[0] - cx, s[1] - cy), r, 2);
        worst = std::max(worst, r - std::hypot((s[0] + s[2]) / 2 - cx, (s[1] + s[3]) / 2 - cy));
    }
    EXPECT_LE(worst, 10 + 2);  // 10, and the rounding of the end points
    EXPECT_GT(worst, 5);       // not far finer than asked
    // A tolerance that is not a positive number is a usage error.
    for (const char* bad : {"0", "-3", "x", "nan"}) EXPECT_EQ(Run({"convert", "--curve-tolerance", bad, p}), 2) << bad;
}
