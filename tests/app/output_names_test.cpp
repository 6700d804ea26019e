// Output file names (base name, new extension, counter, never overwriting,
// never leaving the folder) and the output folder step of a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "app/conversion_run.h"
#include "app/log.h"
#include "app/output_names.h"
#include "app/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {
// Determines the output path and creates the file there, as the run does
// before it names the next file.
std::string Next(const std::string& folder, const std::string& entry, TOutputForm form) {
    std::string p = OutputFileName(folder, entry, form);
    WriteBytes(p, "");
    return p.substr(folder.size());
}
}  // namespace

TEST(OutputName, FirstCandidateIsBaseNameWithNewExtension) {
    TTempFolder t;
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.dxf", ofDXF), t.Path + "plan.dxf");
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.dxf", ofText), t.Path + "plan.txt");
    EXPECT_EQ(OutputFileName(t.Path, "/d/PLAN.DXF", ofText), t.Path + "PLAN.txt");
}

TEST(OutputName, ExtensionIsRemovedFromTheLastDot) {
    TTempFolder t;
    EXPECT_EQ(OutputBaseName("/d/plan.rev.dxf"), "plan.rev");
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.rev.dxf", ofDXF), t.Path + "plan.rev.dxf");
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.rev.dxf", ofText), t.Path + "plan.rev.txt");
    // Without extension.
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan", ofDXF), t.Path + "plan.dxf");
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan", ofText), t.Path + "plan.txt");
    // A dot in a folder name is not an extension.
    EXPECT_EQ(OutputBaseName("/d.v2/plan"), "plan");
    EXPECT_EQ(OutputBaseName("plan."), "plan");
}

TEST(OutputName, FileNamePartEndsAtSlashBackslashOrColon) {
    EXPECT_EQ(OutputBaseName("C:\\a\\plan.dxf"), "plan");
    EXPECT_EQ(OutputBaseName("C:plan.dxf"), "plan");
    EXPECT_EQ(OutputBaseName("plan.dxf"), "plan");
}

TEST(OutputName, ExistingPlanAndPlan0GivePlan1) {
    TTempFolder t;
    WriteBytes(t.Path + "plan.dxf", "keep");
    WriteBytes(t.Path + "plan0.dxf", "keep");
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.dxf", ofDXF), t.Path + "plan1.dxf");
    // The other form's names are free.
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.dxf", ofText), t.Path + "plan.txt");
    EXPECT_EQ(ReadBytes(t.Path + "plan.dxf"), "keep");
}

TEST(OutputName, LayoutsOfOneDrawingGetPlanPlan0Plan1) {
    TTempFolder t;
    EXPECT_EQ(Next(t.Path, "/d/plan.dxf", ofDXF), "plan.dxf");
    EXPECT_EQ(Next(t.Path, "/d/plan.dxf", ofDXF), "plan0.dxf");
    EXPECT_EQ(Next(t.Path, "/d/plan.dxf", ofDXF), "plan1.dxf");
}

TEST(OutputName, TwoInputsWithTheSameBaseName) {
    TTempFolder t;
    EXPECT_EQ(Next(t.Path, "/a/plan.dxf", ofText), "plan.txt");
    EXPECT_EQ(Next(t.Path, "/b/plan.dxf", ofText), "plan0.txt");
}

TEST(OutputName, CounterStartsAtZeroEachCallAndSkipsTakenNames) {
    TTempFolder t;
    for (const char* f : {"plan.txt", "plan0.txt", "plan1.txt", "plan3.txt"}) WriteBytes(t.Path + f, "");
    EXPECT_EQ(Next(t.Path, "/d/plan.dxf", ofText), "plan2.txt");
    EXPECT_EQ(Next(t.Path, "/d/plan.dxf", ofText), "plan4.txt");
    // Counting on past nine: no leading zeros, no gaps.
    for (int i = 5; i < 10; ++i) Next(t.Path, "/d/plan.dxf", ofText);
    EXPECT_EQ(Next(t.Path, "/d/plan.dxf", ofText), "plan10.txt");
}

TEST(OutputName, FoldersAndDanglingLinksCountAsTaken) {
    TTempFolder t;
    fs::create_directory(t.Path + "plan.dxf");
    fs::create_symlink(t.Path + "nowhere/target.dxf", t.Path + "plan0.dxf");
    EXPECT_EQ(OutputFileName(t.Path, "/d/plan.dxf", ofDXF), t.Path + "plan1.dxf");
}

TEST(OutputName, NeverLeavesTheOutputFolder) {
    TTempFolder t;
    const fs::path folder = fs::path(t.Path).parent_path();
    struct Case {
        std::string Entry, Expected;
    };
    const Case cases[] = {
        {"..", "noname.dxf"},           // base "." -> only dots
        {".", "noname.dxf"},            // base "" 
        {"", "noname.dxf"},             // no name at all
        {"/d/sub/", "noname.dxf"},      // ends in a folder separator
        {"/d/...", "noname.dxf"},       // base ".."
        {"/d/.dxf", "noname.dxf"},      // only an extension
        {"../../evil.dxf", "evil.dxf"}, // only the name part counts
        {"C:..\\..\\x.dxf", "x.dxf"},
        {"/d/..\0.dxf"s, ".._.dxf"},    // NUL would cut the path to ".."
        {"/d/a\0/../b.dxf"s, "b.dxf"},
        {"/d/.hidden.dxf", ".hidden.dxf"},
    };
    for (const Case& c : cases) {
        const std::string p = OutputFileName(t.Path, c.Entry, ofDXF);
        EXPECT_EQ(p, t.Path + c.Expected) << c.Entry;
        EXPECT_EQ(p.find('\0'), std::string::npos);
        EXPECT_EQ(fs::path(p).parent_path(), folder) << c.Entry;
        const std::string name = fs::path(p).filename().string();
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
    // The rule also holds when the name is taken.
    WriteBytes(t.Path + "noname.dxf", "");
    EXPECT_EQ(OutputFileName(t.Path, "..", ofDXF), t.Path + "noname0.dxf");
}

TEST(OutputName, ARunGoesOnFromTheNameItGaveLast) {
    TTempFolder t;
    for (const char* f : {"plan.txt", "plan0.txt", "plan1.txt", "plan3.txt"}) WriteBytes(t.Path + f, "");
    TOutputNamer namer;
    auto next = [&](const std::string& entry, bool create = true) {
        std::string p = namer.Next(t.Path, entry, ofText);
        EXPECT_EQ(p, OutputFileName(t.Path, entry, ofText));  // the rule's own name
        if (create) WriteBytes(p, "");
        return p.substr(t.Path.size());
    };
    EXPECT_EQ(next("/a/plan.dxf"), "plan2.txt");  // 4 probes: plan, plan0, plan1, plan2
    EXPECT_EQ(next("/b/plan.dxf"), "plan4.txt");  // 3 more: plan2, plan3, plan4
    // A name whose layout ended before its file was made is given again.
    EXPECT_EQ(next("/a/plan.dxf", false), "plan5.txt");  // plan4, plan5
    EXPECT_EQ(next("/a/plan.dxf"), "plan5.txt");         // plan5
    // Another base name and the other form count on their own.
    EXPECT_EQ(next("/a/plan0.dxf"), "plan00.txt");  // plan0, plan00
    EXPECT_EQ(namer.Next(t.Path, "/a/plan.dxf", ofDXF), t.Path + "plan.dxf");  // 1
    EXPECT_EQ(namer.Probes(), 4 + 3 + 2 + 1 + 2 + 1);
}

TEST(OutputName, TenThousandLayoutsOfOneDrawingProbeTwiceEach) {
    // One drawing of 10 000 paper layouts besides the model, each with a
    // block of one line: 10 001 text files plan.txt, plan0.txt ..
    // plan9999.txt. Probing every name from the start would cost 50 million
    // probes; from the name given last, 1 for the first and 2 for each other.
    TTempFolder t;
    const int n = 10000;
    std::string d = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n0\nBLOCK_RECORD\n5\n1F\n2\n*Model_Space\n";
    for (int i = 0; i < n; ++i) d += "0\nBLOCK_RECORD\n5\n" + std::to_string(1000 + i) + "\n2\n*Paper_Space" + std::to_string(i) + "\n";
    d += "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\n*Model_Space\n0\nENDBLK\n";
    for (int i = 0; i < n; ++i)
        d += "0\nBLOCK\n2\n*Paper_Space" + std::to_string(i) + "\n67\n1\n0\nLINE\n67\n1\n10\n0\n20\n0\n11\n1\n21\n1\n0\nENDBLK\n";
    d += "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n0\nENDSEC\n"
         "0\nSECTION\n2\nOBJECTS\n0\nLAYOUT\n1\nModel\n330\n1F\n";
    for (int i = 0; i < n; ++i) d += "0\nLAYOUT\n1\nL" + std::to_string(i) + "\n330\n" + std::to_string(1000 + i) + "\n";
    d += "0\nENDSEC\n0\nEOF\n";
    WriteBytes(t.Path + "plan.dxf", d);
    TMemoryLog log;
    TConversionRun run(log);
    run.Jobs = 1;
    TConvertSettings s;
    s.OutputFolder = t.Path + "out";
    s.OutputForm = ofText;
    std::set<std::string> names;
    run.OnFileDone = [&](const TFileOutcome& f) {
        for (const TOutputFile& o : f.Outputs) names.insert(o.Path.substr(s.OutputFolder.size() + 1));
    };
    EXPECT_EQ(run.Run({t.Path + "plan.dxf"}, s, t.Path), n + 1);
    EXPECT_EQ(run.NameProbes(), 1 + 2 * n);
    ASSERT_EQ(names.size(), size_t(n + 1));
    EXPECT_EQ(names.count("plan.txt"), 1u);
    EXPECT_EQ(names.count("plan9999.txt"), 1u);
    EXPECT_EQ(names.count("plan10000.txt"), 0u);
    EXPECT_TRUE(fs::exists(s.OutputFolder + "/plan9999.txt"));
}

TEST(OutputFolder, EmptyTextMeansProgramFolder) {
    TTempFolder t;
    EXPECT_EQ(PrepareOutputFolder("", t.Path), t.Path);
    // A program folder that is missing is created.
    EXPECT_EQ(PrepareOutputFolder("", t.Path + "prog"), t.Path + "prog/");
    EXPECT_TRUE(fs::is_directory(t.Path + "prog"));
}

TEST(OutputFolder, CreatedWithAllParentsAndSlashAppended) {
    TTempFolder t;
    EXPECT_EQ(PrepareOutputFolder(t.Path + "a/b/c", "/unused/"), t.Path + "a/b/c/");
    EXPECT_TRUE(fs::is_directory(t.Path + "a/b/c"));
    // An existing folder that already ends in '/' stays as it is.
    EXPECT_EQ(PrepareOutputFolder(t.Path + "a/", "/unused/"), t.Path + "a/");
}

TEST(OutputFolder, FailureMessage) {
    TTempFolder t;
    WriteBytes(t.Path + "file", "");
    auto error = [](const std::string& text, const std::string& prog) -> std::string {
        try {
            PrepareOutputFolder(text, prog);
        } catch (const EOutputFolderError& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(error("", ""), "Konnte den Ausgabeordner nicht erzeugen!");
    EXPECT_EQ(error(t.Path + "file", ""), "Konnte den Ausgabeordner nicht erzeugen!");
    EXPECT_EQ(error(t.Path + "file/sub", ""), "Konnte den Ausgabeordner nicht erzeugen!");
    EXPECT_EQ(error("", t.Path + "file"), "Konnte den Ausgabeordner nicht erzeugen!");
}
