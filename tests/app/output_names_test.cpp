// Output file names (base name, new extension, counter, never overwriting,
// never leaving the folder) and the output folder step of a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
