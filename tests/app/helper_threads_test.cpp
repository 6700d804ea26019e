// The finishing of a file's entities while it is read and the writing stages
// of a layout on a thread the run has to spare: the files are the same byte
// for byte with and without one, and every thread taken is given back when
// the load or its layout ends, also when the layout fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "file_size_limit.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Model space with dashed lines and circles enough for many pieces of
// segments and records, and a paper layout.
std::string TwoLayouts(int n) {
    std::string s =
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n0\nLTYPE\n2\nDASHED\n70\n0\n73\n2\n40\n1.5\n49\n1\n49\n-0.5\n"
        "0\nENDTAB\n0\nTABLE\n2\nBLOCK_RECORD\n0\nBLOCK_RECORD\n5\n1F\n2\n*Model_Space\n"
        "0\nBLOCK_RECORD\n5\n20\n2\n*Paper_Space\n0\nENDTAB\n0\nENDSEC\n"
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\n*Model_Space\n0\nENDBLK\n0\nBLOCK\n2\n*Paper_Space\n67\n1\n0\nENDBLK\n"
        "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < n; ++i) {
        std::string x = std::to_string(i % 300), y = std::to_string(i / 300);
        s += "0\nLINE\n6\nDASHED\n10\n" + x + "\n20\n" + y + "\n11\n" + x + ".9\n21\n" + y + ".7\n";
        s += "0\nCIRCLE\n10\n" + x + ".5\n20\n" + y + ".5\n40\n0.3\n";
    }
    s += "0\nLINE\n67\n1\n10\n0\n20\n0\n11\n10\n21\n10\n0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n"
         "0\nLAYOUT\n1\nModel\n330\n1F\n0\nLAYOUT\n1\nSheet\n330\n20\n0\nENDSEC\n0\nEOF\n";
    return s;
}

// Outputs go to folder/<n>.<ext>; the helpers' count is noted as each layout
// begins (the one before has ended then).
class TNotingReport : public TFileReport {
public:
    TNotingReport(std::string folder, const char* ext, THelperThreads& helpers)
        : Folder(std::move(folder)), Ext(ext), Helpers(helpers) {}
    void Log(const std::string& line) override {
        if (line.rfind("Konvertiere nun", 0) == 0) FreeAtLayoutStart.push_back(Helpers.Free());
    }
    void Warning(const std::string&) override {}
    // Progress of the load comes as layout 0 of 0.
    void Progress(int layout, int, int) override {
        if (layout == 0) FreeWhileLoading.push_back(Helpers.Free());
    }
    std::string OutputPath() override { return Folder + std::to_string(++Count) + Ext; }
    void OutputDone(const std::string& path, int, bool) override { Outputs.push_back(path); }

    std::string Folder;
    const char* Ext;
    THelperThreads& Helpers;
    int Count = 0;
    std::vector<int> FreeAtLayoutStart;
    std::vector<int> FreeWhileLoading;
    std::vector<std::string> Outputs;
};

struct TConverted {
    std::vector<std::string> Files;  // bytes of each output
    std::vector<int> FreeAtLayoutStart;
    std::vector<int> FreeWhileLoading;
    int FreeAfter = 0;
};

TConverted Convert(const std::string& drawing, TOutputForm form, int helpers, const std::string& folder) {
    TConvertSettings settings;
    settings.OutputForm = form;
    THelperThreads threads(helpers);
    TNotingReport report(folder, form == ofText ? ".txt" : ".dxf", threads);
    EXPECT_EQ(ConvertFile(drawing, folder, settings, report, nullptr, true, &threads), 2);
    TConverted c;
    for (const std::string& p : report.Outputs) c.Files.push_back(ReadBytes(p));
    c.FreeAtLayoutStart = report.FreeAtLayoutStart;
    c.FreeWhileLoading = report.FreeWhileLoading;
    c.FreeAfter = threads.Free();
    return c;
}

}  // namespace

TEST(HelperThreads, TheFilesAreTheSameWithAndWithoutASpareThread) {
    TTempFolder dir;
    const std::string drawing = dir.Path + "two.dxf";
    WriteBytes(drawing, TwoLayouts(30000));
    for (TOutputForm form : {ofText, ofDXF}) {
        fs::create_directories(dir.Path + "alone/");
        fs::create_directories(dir.Path + "helped/");
        TConverted alone = Convert(drawing, form, 0, dir.Path + "alone/");
        TConverted helped = Convert(drawing, form, 1, dir.Path + "helped/");
        ASSERT_EQ(alone.Files.size(), 2u);
        ASSERT_EQ(helped.Files.size(), 2u);
        // More than a few pieces of segments (or of records) each.
        EXPECT_GT(alone.Files[0].size(), size_t(form == ofText ? 4 << 20 : 16 << 20));
        for (size_t i = 0; i < 2; ++i) EXPECT_TRUE(alone.Files[i] == helped.Files[i]) << "layout " << i + 1;
        // The thread finishes the entities while the file is read; it is
        // back when layout 1 begins, the one taken for layout 1 is back when
        // layout 2 begins, and none is taken where none is free.
        ASSERT_FALSE(helped.FreeWhileLoading.empty());
        EXPECT_EQ(helped.FreeWhileLoading.front(), 0);
        EXPECT_EQ(helped.FreeAtLayoutStart, (std::vector<int>{1, 1}));
        EXPECT_EQ(helped.FreeAfter, 1);
        EXPECT_EQ(alone.FreeAtLayoutStart, (std::vector<int>{0, 0}));
        EXPECT_EQ(alone.FreeAfter, 0);
        fs::remove_all(dir.Path + "alone/");
        fs::remove_all(dir.Path + "helped/");
    }
}

TEST(HelperThreads, AWriteErrorEndsTheLayoutAlikeAndGivesTheThreadBack) {
    // A file-size limit stands in for a full disk.
    TTempFolder dir;
    const std::string drawing = dir.Path + "two.dxf";
    WriteBytes(drawing, TwoLayouts(30000));
    auto limit = std::make_unique<TFileSizeLimit>(1 << 20);
    ASSERT_TRUE(limit->Set);
    std::vector<std::string> errors, kept;
    std::vector<int> freeAfter;
    for (int helpers : {0, 1}) {
        const std::string folder = dir.Path + std::to_string(helpers) + "/";
        fs::create_directories(folder);
        TConvertSettings settings;
        settings.OutputForm = ofText;
        THelperThreads threads(helpers);
        TNotingReport report(folder, ".txt", threads);
        try {
            ConvertFile(drawing, folder, settings, report, nullptr, true, &threads);
            errors.push_back("");
        } catch (const std::exception& e) {
            errors.push_back(std::string(e.what()).substr(0, std::string(e.what()).find('\'')));
        }
        kept.push_back(ReadBytes(folder + "1.txt"));
        freeAfter.push_back(threads.Free());
    }
    limit.reset();
    EXPECT_EQ(errors[0], "cannot write ");
    EXPECT_EQ(errors[0], errors[1]);
    // The text file keeps the same lines written before the disk was full.
    EXPECT_EQ(kept[0].size(), size_t(1) << 20);
    EXPECT_TRUE(kept[0] == kept[1]);
    EXPECT_EQ(freeAfter, (std::vector<int>{0, 1}));
}
