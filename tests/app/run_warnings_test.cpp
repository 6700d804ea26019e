// The warnings of a run come after the lines of their own drawing, one file
// after the other and with several files at once alike: what loading left
// out after the drawing's " geladen..." line, a layout that draws nothing
// after its own line, and a single layout number the drawing lacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "app/temp_folder.h"
#include "dxf_snippets.h"

namespace {
// The log lines and the warnings in one list, in the order the run gave them.
class TMixedLog : public TLog {
public:
    void Append(const std::string& line) override { Lines.push_back(line); }
    std::vector<std::string> Lines;
};

struct TRunResult {
    int Converted = 0;
    std::vector<std::string> Lines;
};

TRunResult RunWith(const std::vector<std::string>& jobs, const TConvertSettings& s, const std::string& folder,
                   int threads, bool german = false) {
    TMixedLog log;
    TConversionRun run(log);
    run.Jobs = run.Threads = threads;
    run.GermanWarnings = german;
    run.OnWarning = [&](const std::string& file, const std::string& m) { log.Lines.push_back("W " + file + ": " + m); };
    TRunResult r;
    r.Converted = run.Run(jobs, s, folder);
    r.Lines = log.Lines;
    return r;
}

const std::string kLine = dxftest::Entities({"0", "LINE", "8", "0", "10", "0", "20", "0", "11", "100", "21", "50"});
// An insert of an external drawing that is not there, beside a line.
const std::string kMissingXref = dxftest::PipeDxf(
    "0|SECTION|2|BLOCKS|0|BLOCK|2|X|70|4|1|none.dxf|10|0|20|0|0|ENDBLK|0|ENDSEC|"
    "0|SECTION|2|ENTITIES|0|INSERT|2|X|10|0|20|0|0|LINE|8|0|10|0|20|0|11|1|21|1|0|ENDSEC|0|EOF");
// Nothing visible: no entity at all, or only one on a layer that is off.
const std::string kEmpty = dxftest::PipeDxf("0|SECTION|2|ENTITIES|0|ENDSEC|0|EOF");
const std::string kHidden = dxftest::PipeDxf(
    "0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|2|off|62|-1|0|ENDTAB|0|ENDSEC|"
    "0|SECTION|2|ENTITIES|0|LINE|8|off|10|0|20|0|11|1|21|1|0|ENDSEC|0|EOF");
}  // namespace

TEST(RunWarnings, EachComesAfterTheLinesOfItsOwnDrawingInBothForms) {
    TTempFolder t;
    const std::string a = t.Path + "a.dxf", x = t.Path + "x.dxf", e = t.Path + "e.dxf", h = t.Path + "h.dxf";
    WriteBytes(a, kLine);
    WriteBytes(x, kMissingXref);
    WriteBytes(e, kEmpty);
    WriteBytes(h, kHidden);
    const std::vector<std::string> expected = {
        a + " geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
        x + " geladen...", "1 Layouts gefunden...",
        "W " + x + ": external reference 'none.dxf' not found: shown as its path",
        "Konvertiere nun Layout Nummer 1...",
        e + " geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
        "W " + e + ": layout 1 is empty: it has no visible entity, so its output is empty",
        h + " geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
        "W " + h + ": layout 1 is empty: it has no visible entity, so its output is empty",
        "4 Dateien/Layout konvertiert..."};
    for (TOutputForm form : {ofText, ofDXF})
        for (int threads : {1, 2}) {
            TConvertSettings s;
            s.OutputForm = form;
            s.OutputFolder = t.Path + "out" + std::to_string(form) + std::to_string(threads);
            TRunResult r = RunWith({a, x, e, h}, s, t.Path, threads);
            EXPECT_EQ(r.Lines, expected) << form << " " << threads;
            // The empty layouts still convert: an empty text file, a DXF
            // file without entities.
            EXPECT_EQ(r.Converted, 4);
            const std::string out = s.OutputFolder + "/e" + (form == ofText ? ".txt" : ".dxf");
            if (form == ofText) EXPECT_EQ(ReadBytes(out), "");
            else EXPECT_NE(ReadBytes(out).find("EOF"), std::string::npos);
        }
}

TEST(RunWarnings, ALayoutNumberTheDrawingLacksIsNamed) {
    TTempFolder t;
    const std::string a = t.Path + "a.dxf";
    WriteBytes(a, kLine);
    TConvertSettings s;
    s.OutputFolder = t.Path + "out";
    s.LayoutChoice = lcSingleLayout;
    s.LayoutNumber = 3;
    TRunResult r = RunWith({a, a}, s, t.Path, 1);
    const std::vector<std::string> once = {a + " geladen...", "1 Layouts gefunden...",
                                           "W " + a + ": layout 3 not converted: the drawing has only 1 layout"};
    std::vector<std::string> expected = once;
    expected.insert(expected.end(), once.begin(), once.end());
    expected.push_back("0 Dateien/Layout konvertiert...");
    EXPECT_EQ(r.Lines, expected);
    EXPECT_FALSE(std::filesystem::exists(s.OutputFolder + "/a.dxf"));
    // The window's log has it in German; with several files at once too.
    r = RunWith({a, a}, s, t.Path, 2, true);
    EXPECT_EQ(r.Lines[2], "W " + a + ": Layout 3 nicht konvertiert: die Zeichnung hat nur 1 Layout");
    EXPECT_EQ(r.Lines[5], r.Lines[2]);
    // A layout the drawing has gives no warning.
    s.LayoutNumber = 1;
    r = RunWith({a}, s, t.Path, 1);
    EXPECT_EQ(r.Lines, (std::vector<std::string>{a + " geladen...", "1 Layouts gefunden...",
                                                 "Konvertiere nun Layout Nummer 1...", "1 Dateien/Layout konvertiert..."}));
}
