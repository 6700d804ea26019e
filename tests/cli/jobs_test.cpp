// convert -j: files converted at once give exactly what a run one file
// after the other gives: the same files under the same names, the same log
// lines, warnings and errors in the same order, the same exit status, with
// and without --keep-going; an interrupt leaves only complete files.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "dxf_snippets.h"
#include "shell.h"

namespace fs = std::filesystem;

extern char** environ;

using cli_test::kBinary;
using cli_test::Quote;
using cli_test::Lines;

namespace {



// Blocks inserting each other ten times a level: converts in part, with a warning.
std::string FanOut() {
    std::string s = "0\nSECTION\n2\nBLOCKS\n";
    for (int i = 0; i < 9; ++i) {
        s += "0\nBLOCK\n2\nF" + std::to_string(i) + "\n";
        for (int k = 0; k < 10; ++k)
            s += "0\nINSERT\n2\nF" + std::to_string(i + 1) + "\n10\n" + std::to_string(k) + "\n20\n0\n";
        s += "0\nENDBLK\n";
    }
    return s + "0\nBLOCK\n2\nF9\n0\nLINE\n10\n0\n20\n0\n11\n0.5\n21\n1\n0\nENDBLK\n0\nENDSEC\n"
               "0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nF0\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
}

// Model space and two paper layouts.
const char* const kThreeLayouts =
    "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n0\nBLOCK_RECORD\n5\n1F\n2\n*Model_Space\n"
    "0\nBLOCK_RECORD\n5\n20\n2\n*Paper_Space\n0\nBLOCK_RECORD\n5\n21\n2\n*Paper_Space0\n0\nENDTAB\n0\nENDSEC\n"
    "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\n*Model_Space\n0\nENDBLK\n0\nBLOCK\n2\n*Paper_Space\n67\n1\n0\nENDBLK\n"
    "0\nBLOCK\n2\n*Paper_Space0\n67\n1\n0\nLINE\n67\n1\n10\n0\n20\n0\n11\n5\n21\n5\n0\nENDBLK\n0\nENDSEC\n"
    "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n100\n21\n50\n"
    "0\nLINE\n67\n1\n10\n0\n20\n0\n11\n10\n21\n10\n0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n"
    "0\nLAYOUT\n1\nModel\n330\n1F\n0\nLAYOUT\n1\nSheet A\n330\n20\n0\nLAYOUT\n1\nSheet B\n330\n21\n0\nENDSEC\n0\nEOF\n";

struct TOutcome {
    int Status = -1;
    std::string Out, Err;
    std::map<std::string, std::string> Files;  // name -> bytes
};

class Jobs : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("jobs_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "in" / "a");
        fs::create_directories(dir / "in" / "b");
        auto put = [&](const std::string& name, const std::string& text) {
            dxftest::WriteFile(dir / "in" / name, text);
            return (dir / "in" / name).string();
        };
        // Same base names in other folders, a base name that is another's
        // name with a counter, several layouts, a warning, a read error.
        std::string plan = put("a/plan.dxf", kThreeLayouts);
        jobs = {plan, put("b/plan.dxf", Lines(3)), put("plan0.dxf", Lines(5)), put("fan.dxf", FanOut()),
                put("broken.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nx\n0\nENDSEC\n0\nEOF\n"),
                put("big.dxf", Lines(20000))};
        // Real drawings nobody here wrote.
        std::vector<fs::path> library;
        if (fs::is_directory("/usr/share/librecad/library/misc"))
            for (auto& e : fs::recursive_directory_iterator("/usr/share/librecad/library/misc"))
                if (e.path().extension() == ".dxf") library.push_back(e.path());
        std::sort(library.begin(), library.end());
        for (size_t i = 0; i < library.size() && i < 8; ++i) jobs.push_back(library[i].string());
        jobs.push_back(plan);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs convert into an output folder holding one file of its own, and
    // collects everything the run leaves.
    TOutcome Run(const std::string& options, const std::string& prefix = "") {
        fs::path out = dir / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        dxftest::WriteFile(out / "plan.dxf", "existing");
        std::string cmd = prefix + " " + Quote(kBinary) + " convert " + options + " -o " + Quote(out.string());
        for (auto& j : jobs) {
            cmd += ' ';
            cmd += Quote(j);
        }
        cmd += " >" + Quote((dir / "stdout").string()) + " 2>" + Quote((dir / "stderr").string());
        int st = std::system(("sh -c " + Quote(cmd)).c_str());
        TOutcome o;
        o.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        o.Out = dxftest::ReadFile(dir / "stdout");
        o.Err = dxftest::ReadFile(dir / "stderr");
        for (auto& e : fs::directory_iterator(out)) o.Files[e.path().filename().string()] = dxftest::ReadFile(e.path());
        return o;
    }
    void ExpectSame(const std::string& options, const std::string& prefix = "") {
        TOutcome one = Run("-j 1 " + options, prefix);
        TOutcome two = Run("-j 2 " + options, prefix);
        EXPECT_EQ(one.Status, two.Status) << options;
        EXPECT_EQ(one.Out, two.Out) << options;
        EXPECT_EQ(one.Err, two.Err) << options;
        std::vector<std::string> names1, names2;
        for (auto& [n, t] : one.Files) names1.push_back(n);
        for (auto& [n, t] : two.Files) names2.push_back(n);
        EXPECT_EQ(names1, names2) << options;
        for (auto& [n, t] : one.Files) EXPECT_TRUE(two.Files[n] == t) << options << ": " << n << " differs";
        last = one;
    }
    fs::path dir;
    std::vector<std::string> jobs;
    TOutcome last;
};
}  // namespace

TEST_F(Jobs, KeepGoingGivesTheFilesLogAndErrorsOfARunOneFileAfterTheOther) {
    for (const char* form : {"dxf", "text"}) {
        ExpectSame(std::string("--keep-going --format ") + form);
        EXPECT_EQ(last.Status, 1);
        const std::string ext = std::string(".") + (form == std::string("dxf") ? "dxf" : "txt");
        // The names of a run one after the other, in job-list order.
        EXPECT_EQ(last.Files.count("plan0" + ext), 1u) << form;
        EXPECT_EQ(last.Files.count("plan00" + ext), 1u) << form;  // plan0.dxf met plan0 taken
        EXPECT_NE(last.Err.find("fan.dxf: warning: layout 1 converted only in part"), std::string::npos) << last.Err;
        EXPECT_NE(last.Err.find("broken.dxf: DXF read error on line 8"), std::string::npos) << last.Err;
        EXPECT_EQ(last.Out.substr(last.Out.rfind('\n', last.Out.size() - 2) + 1),
                  std::to_string(last.Files.size() - 1) + " Dateien/Layout konvertiert...\n");
    }
}

TEST_F(Jobs, AnErrorEndsTheRunWhereARunOneFileAfterTheOtherEnds) {
    for (const char* form : {"dxf", "text"}) {
        ExpectSame(std::string("--format ") + form);
        EXPECT_EQ(last.Status, 1);
        // Nothing of the files after the broken one, and no count line.
        EXPECT_EQ(last.Files.count(std::string("big.") + (form == std::string("dxf") ? "dxf" : "txt")), 0u);
        EXPECT_EQ(last.Out.find("Dateien/Layout konvertiert"), std::string::npos);
    }
}

TEST_F(Jobs, AFullDiskKeepsTheSameLinesOfTheTextFileItEnded) {
    // At most 64 KB per file: big.txt ends part-way, everything before it is whole.
    ExpectSame("--keep-going --format text", "ulimit -f 128;");
    EXPECT_NE(last.Err.find("big.dxf: cannot write"), std::string::npos) << last.Err;
    ASSERT_EQ(last.Files.count("big.txt"), 1u);
    EXPECT_GT(last.Files["big.txt"].size(), 0u);
    ExpectSame("--keep-going --format dxf", "ulimit -f 128;");
    EXPECT_EQ(last.Files.count("big.dxf"), 0u);
}

TEST_F(Jobs, ANumberOfFilesOutsideOneTo256IsAUsageError) {
    for (const char* n : {"0", "257", "x"}) EXPECT_EQ(Run(std::string("-j ") + n).Status, 2) << n;
    EXPECT_EQ(Run("-j256 --keep-going --format text").Status, 1);  // the broken file
}

TEST_F(Jobs, InterruptLeavesOnlyCompleteFilesAndNoTemporary) {
    std::string big = (dir / "in" / "huge.dxf").string();
    dxftest::WriteFile(big, Lines(150000));
    for (int delayMs : {30, 300, 900}) {
        fs::path out = dir / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        int st = dxftest::InterruptAfter({kBinary, "convert", "-j", "2", "-o", out.string(), big, big, big, big},
                                         "/dev/null", delayMs);
        ASSERT_NE(st, -1);
        if (WIFEXITED(st)) {
            EXPECT_TRUE(WEXITSTATUS(st) == 130 || WEXITSTATUS(st) == 0) << WEXITSTATUS(st);
        }
        // Only final names, given in job-list order, each file complete.
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        const std::vector<std::string> order = {"huge.dxf", "huge0.dxf", "huge1.dxf", "huge2.dxf"};
        ASSERT_LE(names.size(), order.size());
        EXPECT_TRUE(std::equal(names.begin(), names.end(), order.begin())) << ::testing::PrintToString(names);
        for (auto& n : names) {
            std::string text = dxftest::ReadFile(out / n);
            ASSERT_GE(text.size(), 5u);
            EXPECT_EQ(text.substr(text.size() - 5), "EOF\r\n") << n;
        }
    }
}
