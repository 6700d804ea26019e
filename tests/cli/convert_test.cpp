// The conversion run through the command line: log lines, output names,
// layout choice, project files, errors and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "cli/convert.h"

namespace fs = std::filesystem;

#include "dxf_snippets.h"

using dxftest::Dxf;
using dxftest::Entities;

namespace {
std::string Read(const fs::path& p) { return dxftest::ReadFile(p); }
void Write(const fs::path& p, const std::string& text) { dxftest::WriteFile(p, text); }

// A drawing with one line from (0, 0) to (100, 50) in model space.
const std::string kLine = Dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", "0", "10", "0", "20", "0", "11",
                               "100", "21", "50", "0", "ENDSEC", "0", "EOF"});

// Model space plus two paper layouts with content: three layouts.
std::string ThreeLayouts() {
    return Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "BLOCK_RECORD",
                "0", "BLOCK_RECORD", "5", "1F", "2", "*Model_Space",
                "0", "BLOCK_RECORD", "5", "20", "2", "*Paper_Space",
                "0", "BLOCK_RECORD", "5", "21", "2", "*Paper_Space0", "0", "ENDTAB", "0", "ENDSEC",
                "0", "SECTION", "2", "BLOCKS",
                "0", "BLOCK", "2", "*Model_Space", "0", "ENDBLK",
                "0", "BLOCK", "2", "*Paper_Space", "67", "1", "0", "ENDBLK",
                "0", "BLOCK", "2", "*Paper_Space0", "67", "1",
                "0", "LINE", "67", "1", "10", "0", "20", "0", "11", "5", "21", "5", "0", "ENDBLK", "0", "ENDSEC",
                "0", "SECTION", "2", "ENTITIES",
                "0", "LINE", "10", "0", "20", "0", "11", "100", "21", "50",
                "0", "LINE", "67", "1", "10", "0", "20", "0", "11", "10", "21", "10", "0", "ENDSEC",
                "0", "SECTION", "2", "OBJECTS",
                "0", "LAYOUT", "1", "Model", "330", "1F", "0", "LAYOUT", "1", "Sheet A", "330", "20",
                "0", "LAYOUT", "1", "Sheet B", "330", "21", "0", "ENDSEC", "0", "EOF"});
}

class Convert : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("convert_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "out");
    }
    void TearDown() override { fs::remove_all(dir); }
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunConvert(args, out, err);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> l;
        std::istringstream s(out.str());
        for (std::string line; std::getline(s, line);) l.push_back(line);
        return l;
    }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(dir / "out")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string In(const std::string& name, const std::string& text) {
        fs::path p = dir / "in" / name;
        fs::create_directories(p.parent_path());
        Write(p, text);
        return p.string();
    }
    std::string Out() const { return (dir / "out").string(); }
    fs::path dir;
    std::ostringstream out, err;
};
}  // namespace

TEST_F(Convert, ThreeLayoutsBecomePlanPlan0Plan1WithTheirLogLines) {
    std::string plan = In("plan.dxf", ThreeLayouts());
    ASSERT_EQ(Run({"-o", Out(), plan}), 0) << err.str();
    EXPECT_EQ(Lines(), (std::vector<std::string>{plan + " geladen...", "3 Layouts gefunden...",
                                                 "Konvertiere nun Layout Nummer 1...",
                                                 "Konvertiere nun Layout Nummer 2...",
                                                 "Konvertiere nun Layout Nummer 3...", "3 Dateien/Layout konvertiert..."}));
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"plan.dxf", "plan0.dxf", "plan1.dxf"}));
}

TEST_F(Convert, ExistingNamesAreNeverOverwritten) {
    std::string plan = In("plan.dxf", kLine);
    Write(dir / "out" / "plan.dxf", "keep me");
    Write(dir / "out" / "plan0.dxf", "keep me too");
    ASSERT_EQ(Run({"-o", Out(), plan}), 0);
    EXPECT_EQ(Read(dir / "out" / "plan.dxf"), "keep me");
    EXPECT_EQ(Read(dir / "out" / "plan0.dxf"), "keep me too");
    EXPECT_TRUE(fs::exists(dir / "out" / "plan1.dxf"));
}

TEST_F(Convert, TwoInputsWithTheSameBaseNameAndDottedNames) {
    std::string a = In("a/plan.dxf", kLine), b = In("b/plan.dxf", kLine), rev = In("plan.rev.dxf", kLine),
                bare = In("drawing", kLine);
    ASSERT_EQ(Run({"--format", "text", "-o", Out(), a, b, rev, bare}), 0) << err.str();
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"drawing.txt", "plan.rev.txt", "plan.txt", "plan0.txt"}));
    // (0,0)-(100,50): extents 125 x 62.5, scale 4800, centred in 600000 x 300000.
    EXPECT_EQ(Read(dir / "out" / "plan.txt"), "60000;270000;540000;30000\r\n");
}

TEST_F(Convert, ALayoutNumberBeyondTheDrawingConvertsNothing) {
    std::string plan = In("plan.dxf", kLine);
    ASSERT_EQ(Run({"--layout", "5", "-o", Out(), plan}), 0);
    EXPECT_EQ(Lines(), (std::vector<std::string>{plan + " geladen...", "1 Layouts gefunden...",
                                                 "0 Dateien/Layout konvertiert..."}));
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Convert, OnlyTheChosenLayoutIsConverted) {
    std::string plan = In("plan.dxf", ThreeLayouts());
    ASSERT_EQ(Run({"--layout", "3", "--format", "text", "-o", Out(), plan}), 0);
    EXPECT_EQ(Lines()[2], "Konvertiere nun Layout Nummer 3...");
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"plan.txt"}));
}

TEST_F(Convert, ALayoutWithoutSegmentsGivesAnEmptyTextFile) {
    std::string p = In("dot.dxf", Dxf({"0", "SECTION", "2", "ENTITIES", "0", "POINT", "10", "1", "20", "1", "0",
                                       "ENDSEC", "0", "EOF"}));
    ASSERT_EQ(Run({"--format", "text", "-o", Out(), p}), 0);
    EXPECT_EQ(Lines().back(), "1 Dateien/Layout konvertiert...");
    EXPECT_EQ(Read(dir / "out" / "dot.txt"), "");
}

TEST_F(Convert, AReadErrorEndsTheRunWithoutTheCountLine) {
    std::string good = In("good.dxf", kLine), bad = In("bad.dxf", Dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE",
                                                                         "10", "x", "0", "EOF"}));
    EXPECT_EQ(Run({"--format", "text", "-o", Out(), good, bad, good}), 1);
    EXPECT_EQ(Lines().back(), "Konvertiere nun Layout Nummer 1...");
    EXPECT_NE(err.str().find(bad + ": DXF read error on line 8: x"), std::string::npos) << err.str();
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"good.txt"}));  // finished files stay
}

TEST_F(Convert, KeepGoingReportsTheFailureAndConvertsTheRest) {
    std::string good = In("good.dxf", kLine), missing = (dir / "in" / "missing.dxf").string();
    EXPECT_EQ(Run({"--keep-going", "--format", "text", "-o", Out(), missing, good}), 1);
    EXPECT_EQ(Lines().back(), "1 Dateien/Layout konvertiert...");
    EXPECT_NE(err.str().find(missing), std::string::npos);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"good.txt"}));
}

TEST_F(Convert, AnOutputFolderThatCannotBeMadeEndsTheRunBeforeAnything) {
    std::string plan = In("plan.dxf", kLine);
    Write(dir / "file", "x");
    EXPECT_EQ(Run({"-o", (dir / "file" / "sub").string(), plan}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("cannot create the output folder"), std::string::npos) << err.str();
}

TEST_F(Convert, ProjectFilesCarryTheJobsAndSettings) {
    std::string plan = In("plan.dxf", kLine);
    std::string kpj = (dir / "in" / "job.kpj").string();
    // Save a project (text form, output folder) without converting anything new.
    ASSERT_EQ(Run({"--save-project", kpj, "--format", "text", "-o", Out(), plan}), 0);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"plan.txt"}));
    // The project alone repeats the run with its own settings.
    ASSERT_EQ(Run({"--project", kpj}), 0) << err.str();
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"plan.txt", "plan0.txt"}));
    // An option overrides the project's setting.
    ASSERT_EQ(Run({"--project", kpj, "--format", "dxf"}), 0);
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"plan.dxf", "plan.txt", "plan0.txt"}));
}

TEST_F(Convert, UsageErrors) {
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"--format", "pdf", "x.dxf"}), 2);
    EXPECT_EQ(Run({"--layout", "0", "x.dxf"}), 2);
    EXPECT_EQ(Run({"--bogus", "x.dxf"}), 2);
    EXPECT_EQ(Run({"-o"}), 2);
}

TEST(TargetRectangle, BottomFollowsTheAspectAndIsCapped) {
    EXPECT_EQ(TargetBottom(1250, 500), 240000);
    EXPECT_EQ(TargetBottom(200, 100), 300000);
    EXPECT_EQ(TargetBottom(100, 200), 1200000);
    EXPECT_EQ(TargetBottom(1, 32768), 2147483647);  // 600000 * 32768 does not fit
}

TEST(CommandLine, RunsWithoutOutputFolderIntoTheCurrentFolder) {
    fs::path dir = fs::temp_directory_path() / ("convert_cwd_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Write(dir / "plan.dxf", kLine);
    std::string cmd = "cd '" + dir.string() + "' && '" DXF_BINARY_DIR "/cli/dxf2plandrop' convert --format text plan.dxf "
                      ">log.txt 2>err.txt";
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 0);
    // The job list holds the full path, and the log line shows it.
    EXPECT_EQ(Read(dir / "log.txt"),
              (dir / "plan.dxf").string() + " geladen...\n1 Layouts gefunden...\nKonvertiere nun Layout Nummer 1...\n"
              "1 Dateien/Layout konvertiert...\n");
    EXPECT_EQ(Read(dir / "err.txt"), "");  // no progress line when standard error is not a terminal
    EXPECT_TRUE(fs::exists(dir / "plan.txt"));
    fs::remove_all(dir);
}

// A project saved with relative names (drawing, output folder, project file)
// and used from another folder finds its drawing and writes into its folder.
TEST(CommandLine, AProjectSavedWithRelativeNamesWorksFromAnotherFolder) {
    fs::path dir = fs::temp_directory_path() / ("convert_rel_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "in");
    Write(dir / "in" / "a.dxf", kLine);
    const std::string bin = "'" DXF_BINARY_DIR "/cli/dxf2plandrop'";
    std::string save = "cd '" + dir.string() + "' && " + bin +
                       " convert --format text -o out --save-project p.kpj in/a.dxf >/dev/null 2>&1";
    ASSERT_EQ(WEXITSTATUS(std::system(save.c_str())), 0);
    // The file holds full paths: 27 title bytes, 1 entry, the drawing, the folder.
    std::string kpj = Read(dir / "p.kpj");
    std::string drawing = (dir / "in" / "a.dxf").string(), out = (dir / "out").string();
    EXPECT_NE(kpj.find(std::string(1, char(drawing.size())) + std::string(3, '\0') + drawing), std::string::npos);
    EXPECT_NE(kpj.find(std::string(1, char(out.size())) + std::string(3, '\0') + out), std::string::npos);
    std::string use = "cd / && " + bin + " convert --project '" + (dir / "p.kpj").string() + "' >'" +
                      (dir / "log.txt").string() + "' 2>'" + (dir / "err.txt").string() + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(use.c_str())), 0) << Read(dir / "err.txt");
    EXPECT_EQ(Read(dir / "log.txt"), drawing + " geladen...\n1 Layouts gefunden...\n"
                                     "Konvertiere nun Layout Nummer 1...\n1 Dateien/Layout konvertiert...\n");
    EXPECT_EQ(Read(dir / "out" / "a.txt"), "60000;270000;540000;30000\r\n");
    EXPECT_EQ(Read(dir / "out" / "a0.txt"), "60000;270000;540000;30000\r\n");  // the second run's
    fs::remove_all(dir);
}
