// What one drawing may cost a conversion in all: the drawing work bound
// counts all its layouts together, so that thousands of layouts that each
// show the whole model through a few viewports write output in proportion to
// the file, not to the product of layouts, viewports and lines; and memory
// the machine does not have ends the file with an error that says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "app/temp_folder.h"
#include "render/dxf_image.h"

namespace fs = std::filesystem;

namespace {

// Names the outputs L1, L2, ... (no probing for free names) and keeps the
// log lines and warnings.
class TCollectingReport : public TFileReport {
public:
    explicit TCollectingReport(std::string folder) : Folder(std::move(folder)) {}
    void Log(const std::string& line) override { Lines.push_back(line); }
    void Warning(const std::string& message) override { Warnings.push_back(message); }
    void Progress(int, int, int) override {}
    std::string OutputPath() override { return Folder + "L" + std::to_string(++Count) + Extension; }
    void OutputDone(const std::string& path, int, bool) override { Outputs.push_back(path); }
    std::string Folder, Extension = ".txt";
    int Count = 0;
    std::vector<std::string> Lines, Warnings, Outputs;
};

// layouts paper layouts that all show one paper-space block of `viewports`
// viewports, each showing the whole model: `lines` lines.
std::string ManyLayoutsOverOneModel(int layouts, int viewports, int lines) {
    std::string s = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n0\nBLOCK_RECORD\n5\nA0\n2\n*Paper_Space\n"
                    "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\n*Paper_Space\n330\nA0\n";
    for (int i = 0; i < viewports; ++i)
        s += "0\nVIEWPORT\n5\n" + std::to_string(100 + i) + "\n10\n" + std::to_string(10 * i + 5) +
             "\n20\n5\n40\n10\n41\n10\n12\n50\n22\n25\n45\n60\n68\n1\n69\n" + std::to_string(i + 2) + "\n";
    s += "0\nENDBLK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < lines; ++i)
        s += "0\nLINE\n10\n" + std::to_string(i) + "\n20\n0\n11\n" + std::to_string(i + 1) + "\n21\n50\n";
    s += "0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n";
    for (int i = 0; i < layouts; ++i) s += "0\nLAYOUT\n1\nL" + std::to_string(i) + "\n330\nA0\n";
    return s + "0\nENDSEC\n0\nEOF\n";
}

}  // namespace

TEST(DrawingWorkBound, AllLayoutsOfADrawingShareOneBound) {
    // 500 layouts x 10 viewports x 100 lines: 500 000 lines in full, in a
    // file of some 20 KB. Every line drawn costs its visit and its two
    // points, so the drawing's bound lets through at most a third of its
    // units as lines, whatever the number of layouts; before, every layout
    // had the whole bound to itself and all 500 000 were written.
    TTempFolder out;
    const std::string path = out.Path + "sheets.dxf";
    const std::string dxf = ManyLayoutsOverOneModel(500, 10, 100);
    WriteBytes(path, dxf);
    TConvertSettings settings;
    settings.OutputForm = ofText;
    TCollectingReport report(out.Path);
    ASSERT_EQ(ConvertFile(path, out.Path, settings, report, nullptr), 501);
    const uint64_t budget = kDrawWorkBase + kDrawWorkPerByte * dxf.size();
    size_t lines = 0;
    for (const std::string& f : report.Outputs) {
        std::ifstream in(f, std::ios::binary);
        for (std::string l; std::getline(in, l);) ++lines;
    }
    EXPECT_GT(lines, 100000u);
    EXPECT_LE(lines, budget / 3);
    // The layout that reached the bound and every one after it say so; the
    // model layout and the first paper layouts were drawn in full.
    ASSERT_FALSE(report.Warnings.empty());
    EXPECT_LT(report.Warnings.size(), 500u);
    EXPECT_EQ(report.Warnings.back(), "layout 501 converted only in part: the drawing's layouts need more than " +
                                          std::to_string(budget) + " units of work in all (entities and points)");
}

TEST(OutOfMemory, AnAllocationFailureSaysWhatRanOutAndWhileDoingWhat) {
    // Memory a drawing needs and the machine has not (here an allocation
    // failing in the middle of the reading, and later in the middle of the
    // second layout) ends the file's conversion with an error that says so,
    // not with a bare "std::bad_alloc"; the run names the file.
    struct TFailingReport : TCollectingReport {
        using TCollectingReport::TCollectingReport;
        int FailAt = 0;  // the layout being converted when an allocation fails (0: while reading)
        void Progress(int layout, int, int) override {
            if (layout == FailAt) throw std::bad_alloc();
        }
    };
    TTempFolder out;
    const std::string path = out.Path + "sheets.dxf";
    WriteBytes(path, ManyLayoutsOverOneModel(2, 1, 10));
    TConvertSettings settings;
    settings.OutputForm = ofText;
    for (int at : {0, 2}) {
        TFailingReport report(out.Path);
        report.FailAt = at;
        try {
            ConvertFile(path, out.Path, settings, report, nullptr);
            ADD_FAILURE() << "no error";
        } catch (const EOutOfMemory& e) {
            EXPECT_STREQ(e.what(), at == 0 ? "out of memory while reading the drawing: the drawing needs more "
                                             "memory than is free"
                                           : "out of memory while converting layout 2: the drawing needs more "
                                             "memory than is free");
        }
    }
}
