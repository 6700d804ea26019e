// End to end through the command line: paper layouts whose viewports show
// the model at 1:50 and 1:10 (one with a frozen layer), an external
// reference cycle, --no-xref, and what `info` says of dimensions and tables.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

#include "dxf_snippets.h"

namespace fs = std::filesystem;

namespace {
std::string Line(int x1, int y1, int x2, int y2, const std::string& layer, bool paper = false) {
    return "0|LINE|8|" + layer + (paper ? "|67|1" : "") + "|10|" + std::to_string(x1) + "|20|" + std::to_string(y1) +
           "|11|" + std::to_string(x2) + "|21|" + std::to_string(y2) + "|";
}

// A sheet frame (0, 0)-(400, 300) in paper space.
std::string Frame() {
    return Line(0, 0, 400, 0, "0", true) + Line(400, 0, 400, 300, "0", true) + Line(400, 300, 0, 300, "0", true) +
           Line(0, 300, 0, 0, "0", true);
}

// The overall viewport (id 1, smallest handle), then a 200 x 100 viewport
// centred at (200, 150) showing view height vh around (vcx, vcy).
std::string Viewports(const std::string& h1, const std::string& h2, int vcx, int vcy, int vh,
                      const std::string& extra = "") {
    return "0|VIEWPORT|5|" + h1 + "|8|0|67|1|10|200|20|150|40|400|41|300|68|1|69|1|12|200|22|150|45|300|" +
           "0|VIEWPORT|5|" + h2 + "|8|0|67|1|10|200|20|150|40|200|41|100|68|1|69|2|12|" + std::to_string(vcx) +
           "|22|" + std::to_string(vcy) + "|16|0|26|0|36|1|45|" + std::to_string(vh) + "|" + extra;
}

// Model: walls along the edges of (0, 0)-(10000, 5000), a piece of
// furniture on layer FURN (handle 12) and a wall running out to x = -2000.
// "Sheet A" (the active paper space) shows it all at 1:50, "Sheet B" (block
// *Paper_Space0) a 2000 x 1000 corner at 1:10 with FURN frozen.
std::string TwoSheets() {
    std::string s = "0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|5|10|2|0|70|0|62|7|0|LAYER|5|11|2|WALLS|70|0|62|7|"
                    "0|LAYER|5|12|2|FURN|70|0|62|1|0|ENDTAB|0|TABLE|2|BLOCK_RECORD|"
                    "0|BLOCK_RECORD|5|1F|2|*Model_Space|0|BLOCK_RECORD|5|20|2|*Paper_Space|"
                    "0|BLOCK_RECORD|5|21|2|*Paper_Space0|0|ENDTAB|0|ENDSEC|"
                    "0|SECTION|2|BLOCKS|0|BLOCK|2|*Model_Space|330|1F|0|ENDBLK|"
                    "0|BLOCK|2|*Paper_Space|330|20|67|1|0|ENDBLK|0|BLOCK|2|*Paper_Space0|330|21|67|1|";
    s += Frame() + Viewports("30", "31", 1000, 500, 1000, "331|12|") + "0|ENDBLK|0|ENDSEC|0|SECTION|2|ENTITIES|";
    s += Line(0, 0, 10000, 0, "WALLS") + Line(0, 0, 0, 5000, "WALLS") + Line(1000, 1000, 3000, 1000, "FURN") +
         Line(0, 5000, 10000, 5000, "WALLS") + Line(-2000, 2500, 5000, 2500, "WALLS");
    s += Frame() + Viewports("40", "41", 5000, 2500, 5000);
    s += "0|ENDSEC|0|SECTION|2|OBJECTS|0|LAYOUT|1|Model|330|1F|0|LAYOUT|1|Sheet A|330|20|"
         "0|LAYOUT|1|Sheet B|330|21|0|ENDSEC|0|EOF";
    return dxftest::PipeDxf(s);
}

// A drawing referring to path (block X, flags 4) and inserting it, with a line.
std::string Referring(const std::string& path, int lineLength) {
    return dxftest::PipeDxf("0|SECTION|2|BLOCKS|0|BLOCK|2|X|70|4|1|" + path + "|10|0|20|0|0|ENDBLK|0|ENDSEC|"
                            "0|SECTION|2|ENTITIES|0|INSERT|2|X|10|0|20|0|" +
                            Line(0, 0, lineLength, lineLength, "0") + "0|ENDSEC|0|EOF");
}

class AnnotationConvert : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("annotation_convert_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
    }
    void TearDown() override { fs::remove_all(dir); }
    int Run(std::vector<std::string> args) {
        std::ostringstream o, e;
        int status = RunCommandLine(args, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    std::vector<std::string> Segments(const std::string& name) {
        std::vector<std::string> lines;
        std::istringstream in(dxftest::ReadFile(dir / "out" / name));
        for (std::string l; std::getline(in, l);) lines.push_back(l.substr(0, l.size() - 1));
        return lines;
    }
    std::string Put(const std::string& name, const std::string& text) {
        dxftest::WriteFile(dir / name, text);
        return (dir / name).string();
    }
    fs::path dir;
    std::string out, err;
};
}  // namespace

TEST_F(AnnotationConvert, TwoSheetsShowTheModelAt1To50And1To10) {
    std::string in = Put("plan.dxf", TwoSheets());
    ASSERT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), in}), 0) << err;
    EXPECT_NE(out.find("3 Layouts gefunden..."), std::string::npos);

    // Model layout: extents (-2000, 0)-(10000, 5000), 15000 x 6250 with the
    // margins, into 600000 x 250000: scale 40, x = 40 X + 140000,
    // y = 225000 - 40 Y.
    EXPECT_EQ(Segments("plan.txt"), (std::vector<std::string>{
                                        "140000;225000;540000;225000", "140000;225000;140000;25000",
                                        "180000;185000;260000;185000", "140000;25000;540000;25000",
                                        "60000;125000;340000;125000"}));

    // Both sheets: the frame (400 x 300, 500 x 375 with the margins, natural
    // height 376) into 600000 x 451200: scale 1200, paper x -> 1200 x + 60000,
    // y -> 405600 - 1200 y. The viewport (100..300, 100..200) is the clip
    // rectangle x 180000..420000, y 165600..285600.
    const std::vector<std::string> frame = {"60000;405600;540000;405600", "540000;405600;540000;45600",
                                            "540000;45600;60000;45600", "60000;45600;60000;405600"};
    // Sheet A at 1:50 around (5000, 2500): paper (100 + X/50, 100 + Y/50),
    // target x = 180000 + 24 X, y = 285600 - 24 Y. The walls lie on the frame
    // (bounds count as inside); the wall from x = -2000 (target 132000) is
    // cut at the frame's left edge.
    std::vector<std::string> a = frame;
    a.insert(a.end(), {"180000;285600;420000;285600", "180000;285600;180000;165600", "204000;261600;252000;261600",
                       "180000;165600;420000;165600", "180000;225600;300000;225600"});
    EXPECT_EQ(Segments("plan0.txt"), a);
    // Sheet B at 1:10 around (1000, 500): x = 180000 + 120 X, y = 285600 - 120 Y.
    // The bottom wall (to x = 1380000) is cut at 420000, the left one (to
    // y = -314400) at 165600; FURN is frozen; the top wall (y = -314400) and
    // the long one (y = -14400) lie outside.
    std::vector<std::string> b = frame;
    b.insert(b.end(), {"180000;285600;420000;285600", "180000;285600;180000;165600"});
    EXPECT_EQ(Segments("plan1.txt"), b);
    EXPECT_TRUE(err.empty()) << err;
}

TEST_F(AnnotationConvert, AnExternalReferenceCycleConvertsWithAWarning) {
    // a.dxf refers to b.dxf, b.dxf back to a.dxf: a shows b, b shows a's path.
    std::string a = Put("a.dxf", Referring("b.dxf", 10));
    Put("b.dxf", Referring("a.dxf", 20));
    ASSERT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), a}), 0) << err;
    EXPECT_NE(err.find("a.dxf: warning: external reference 'a.dxf' refers back to a drawing that is being loaded "
                       "(a cycle): shown as its path"),
              std::string::npos)
        << err;
    EXPECT_EQ(Segments("a.txt").size(), 2u);  // a's line and b's
}

TEST_F(AnnotationConvert, NoXrefLoadsNoReferenceAndWarnsOfNone) {
    std::string a = Put("a.dxf", Referring("b.dxf", 10));
    Put("b.dxf", Referring("none.dxf", 20));
    ASSERT_EQ(Run({"convert", "--no-xref", "--format", "text", "-o", (dir / "out").string(), a}), 0) << err;
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_EQ(Segments("a.txt").size(), 1u);  // a's own line: b is not loaded
    // Without the option b is loaded, and its missing reference is reported.
    ASSERT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), a}), 0);
    EXPECT_NE(err.find("external reference 'none.dxf' not found: shown as its path"), std::string::npos) << err;
}

TEST_F(AnnotationConvert, InfoCountsDimensionsAndTablesByTheirNames) {
    std::string in = Put("d.dxf", dxftest::PipeDxf(
                                      "0|SECTION|2|BLOCKS|0|BLOCK|2|*D1|10|0|20|0|0|ENDBLK|0|BLOCK|2|*D2|10|0|20|0|"
                                      "0|ENDBLK|0|ENDSEC|0|SECTION|2|ENTITIES|0|DIMENSION|2|*D1|0|DIMENSION|2|*D2|"
                                      "0|ARC_DIMENSION|2|*D1|0|ACAD_TABLE|2|*D2|0|ENDSEC|0|EOF"));
    ASSERT_EQ(Run({"info", in}), 0) << err;
    EXPECT_NE(out.find("DIMENSION: 2"), std::string::npos) << out;
    EXPECT_NE(out.find("ARC_DIMENSION: 1"), std::string::npos) << out;
    EXPECT_NE(out.find("ACAD_TABLE: 1"), std::string::npos) << out;
    EXPECT_EQ(out.find("*D1"), std::string::npos) << out;
}

TEST_F(AnnotationConvert, TheSheetsInSimplifiedDxfAreReadByARealReader) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
    // The two sheets, with a leader and a solid across the 1:10 viewport's frame.
    std::string text = TwoSheets();
    text.insert(text.find("2\nENTITIES\n") + 11,
                dxftest::PipeDxf("0|LEADER|8|WALLS|10|100|20|100|10|400|20|700|0|SOLID|8|WALLS|10|1500|20|800|"
                                 "11|2500|21|800|12|1500|22|1200|13|2500|23|1200"));
    std::string in = Put("plan.dxf", text);
    ASSERT_EQ(Run({"convert", "-o", (dir / "out").string(), in}), 0) << err;
    for (const char* name : {"plan.dxf", "plan0.dxf", "plan1.dxf"}) {
        fs::path p = dir / "out" / name;
        std::string cmd = "/usr/bin/python3 -c \"import ezdxf,sys\nd=ezdxf.readfile(sys.argv[1]); a=d.audit()\n"
                          "print(len(list(d.modelspace())), len(a.errors), len(a.fixes))\n"
                          "sys.exit(1 if a.errors or a.fixes else 0)\" '" + p.string() + "' > '" + p.string() +
                          ".log' 2>&1";
        int rc = std::system(cmd.c_str());
        std::string log = dxftest::ReadFile(p.string() + ".log");
        EXPECT_EQ(rc, 0) << name << ": " << log;
        EXPECT_GT(std::atoi(log.c_str()), 6) << name << ": " << log;  // more than the walls (and frame)
    }
}

namespace {
// A dimension (block *D1: its line and the measurement text "1234" above it),
// a table (block *T1: a cell frame and the cell text "Cell A1") and a
// reference to a missing drawing (its path shown as a 0.2-high text at the
// insert, scaled 100 times). The model's lines end at x = 100; the texts
// reach beyond: the extents include them.
std::string DimensionTableAndMissingXref() {
    return dxftest::PipeDxf(
        "0|SECTION|2|BLOCKS|"
        "0|BLOCK|2|*D1|70|1|10|0|20|0|0|LINE|10|0|20|0|11|100|21|0|"
        "0|MTEXT|10|40|20|12|40|5|71|1|1|1234|0|ENDBLK|"
        "0|BLOCK|2|*T1|70|1|10|0|20|0|0|LINE|10|0|20|-40|11|100|21|-40|"
        "0|MTEXT|10|2|20|-30|40|4|71|1|1|Cell A1|0|ENDBLK|"
        "0|BLOCK|2|X|70|4|1|gone\\Lageplan.dxf|10|0|20|0|0|ENDBLK|0|ENDSEC|"
        "0|SECTION|2|ENTITIES|0|DIMENSION|2|*D1|10|0|20|0|12|0|22|0|70|0|1|1234|"
        "0|ACAD_TABLE|100|AcDbEntity|8|0|100|AcDbBlockReference|2|*T1|10|0|20|0|100|AcDbTable|1|Cell A1|"
        "0|INSERT|2|X|10|0|20|-80|41|100|42|100|0|ENDSEC|0|EOF");
}
}  // namespace

TEST_F(AnnotationConvert, DimensionTableAndMissingReferenceTextsAreDrawnInBothForms) {
    std::string in = Put("dims.dxf", DimensionTableAndMissingXref());
    ASSERT_EQ(Run({"convert", "-o", (dir / "out").string(), in}), 0) << err;
    EXPECT_NE(err.find("external reference 'gone\\Lageplan.dxf' not found: shown as its path"), std::string::npos)
        << err;
    // Simplified DXF: every text is an MTEXT record of its own; the path is
    // shown as it stands (its "\L" is no underline code).
    std::string dxf = dxftest::ReadFile(dir / "out" / "dims.dxf");
    size_t mtexts = 0;
    for (size_t at = dxf.find("\nMTEXT\r\n"); at != std::string::npos; at = dxf.find("\nMTEXT\r\n", at + 1)) ++mtexts;
    EXPECT_EQ(mtexts, 3u);
    EXPECT_NE(dxf.find(";1234}"), std::string::npos);
    EXPECT_NE(dxf.find(";Cell A1}"), std::string::npos);
    EXPECT_NE(dxf.find(";gone\\\\Lageplan.dxf}"), std::string::npos) << "a backslash is escaped in MTEXT";

    // Text form: texts contribute no segments, but the extents include them:
    // the dimension text's box reaches past x = 100 and the path text (0.2 x
    // 100 = 20 high) below y = -80, so the lines do not span the target's width.
    ASSERT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), in}), 0) << err;
    std::vector<std::string> segs = Segments("dims.txt");
    ASSERT_EQ(segs.size(), 2u);  // the two lines of the blocks
    auto Field = [](const std::string& s, int i) {
        size_t at = 0;
        for (int k = 0; k < i; ++k) at = s.find(';', at) + 1;
        return std::atoi(s.c_str() + at);
    };
    // Without the texts the extents would be (0, -40)-(100, 0): the lines would
    // run from the left margin x = 60000 to 540000.
    const int x1 = Field(segs[0], 0), x2 = Field(segs[0], 2);
    EXPECT_EQ(x1, 60000);
    EXPECT_LT(x2, 540000);
    EXPECT_GT(x2, 60000);
    EXPECT_EQ(segs[0], "60000;" + std::to_string(Field(segs[0], 1)) + ";" + std::to_string(x2) + ";" +
                           std::to_string(Field(segs[0], 1)));
}

TEST_F(AnnotationConvert, ACurveToleranceReadsTheReferencesAgainWithIt) {
    // The drawing is read a second time with the tolerance: its external
    // reference is loaded again (not shown as its path), and its circle is
    // made as finely as the referring drawing's curves.
    std::string a = Put("a.dxf", Referring("b.dxf", 10));
    Put("b.dxf", dxftest::PipeDxf("0|SECTION|2|ENTITIES|0|CIRCLE|10|5|20|5|40|5|0|ENDSEC|0|EOF"));
    ASSERT_EQ(Run({"convert", "--format", "text", "-o", (dir / "out").string(), a}), 0) << err;
    const size_t plain = Segments("a.txt").size();
    EXPECT_GT(plain, 8u);  // a's line and b's circle
    ASSERT_EQ(Run({"convert", "--format", "text", "--curve-tolerance", "1", "-o", (dir / "out").string(), a}), 0)
        << err;
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_GT(Segments("a0.txt").size(), plain);
}
