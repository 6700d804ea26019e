// A drawing loaded from its file is read a window at a time: it draws exactly
// what the same text loaded whole draws, Reload reads the file again (and
// refuses a file put in its place), SaveToStream copies the file's bytes; what
// a FIFO delivers is read once and kept.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "model/errors.h"
#include "render/dxf_image.h"
#include "render_helpers.h"

namespace fs = std::filesystem;
using rendertest::DrawLoaded;

namespace {

class FileLoad : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("file_load_test_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Put(const std::string& name, const std::string& text) {
        std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
};

// A drawing of some size: dashed lines, circles, a block inserted in a
// row, a polyline with bulges and a text, with CR LF line ends.
std::string Drawing() {
    std::string s = "0\r\nSECTION\r\n2\r\nHEADER\r\n9\r\n$LTSCALE\r\n40\r\n0.5\r\n0\r\nENDSEC\r\n"
                    "0\r\nSECTION\r\n2\r\nTABLES\r\n0\r\nTABLE\r\n2\r\nLTYPE\r\n0\r\nLTYPE\r\n2\r\nDASHED\r\n"
                    "70\r\n0\r\n73\r\n2\r\n40\r\n3\r\n49\r\n2\r\n49\r\n-1\r\n0\r\nENDTAB\r\n0\r\nENDSEC\r\n"
                    "0\r\nSECTION\r\n2\r\nBLOCKS\r\n0\r\nBLOCK\r\n2\r\nB\r\n10\r\n0\r\n20\r\n0\r\n"
                    "0\r\nCIRCLE\r\n10\r\n0\r\n20\r\n0\r\n40\r\n2\r\n0\r\nENDBLK\r\n0\r\nENDSEC\r\n"
                    "0\r\nSECTION\r\n2\r\nENTITIES\r\n";
    for (int i = 0; i < 300; ++i) {
        std::string x = std::to_string(i * 7 % 101), y = std::to_string(i * 13 % 97);
        s += "0\r\nLINE\r\n6\r\nDASHED\r\n10\r\n" + x + "\r\n20\r\n" + y + "\r\n11\r\n" + y + "\r\n21\r\n" + x + "\r\n";
        if (i % 10 == 0) s += "0\r\nINSERT\r\n2\r\nB\r\n10\r\n" + x + "\r\n20\r\n" + y + "\r\n";
    }
    s += "0\r\nLWPOLYLINE\r\n90\r\n3\r\n10\r\n0\r\n20\r\n0\r\n42\r\n0.5\r\n10\r\n50\r\n20\r\n0\r\n10\r\n50\r\n20\r\n"
         "50\r\n0\r\nTEXT\r\n10\r\n5\r\n20\r\n5\r\n40\r\n3\r\n1\r\nPlan A\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n";
    return s;
}

TEST_F(FileLoad, AFileDrawsWhatItsTextDraws) {
    const std::string text = Drawing();
    ASSERT_GT(text.size(), 15000u);
    TkrDXFImage whole;
    whole.LoadFromText(text);
    std::vector<std::string> want = DrawLoaded(whole);
    ASSERT_GT(want.size(), 1000u);
    // The default window, and a window of 300 bytes: the graphic's reader
    // takes the file as it is set.
    for (size_t w : {kReadWindow, size_t(300)}) {
        TkrDXFImage g;
        g.Converter->ReadWindow = w;
        g.LoadFromFile(Put("plan.dxf", text));
        EXPECT_EQ(g.Converter->TextEnd, text.size());
        EXPECT_TRUE(g.Converter->Text.empty());
        EXPECT_EQ(DrawLoaded(g), want) << "window " << w;
        // The drawing's work bound counts the file's size, as for the text.
        EXPECT_EQ(g.WorkBudget, whole.WorkBudget);
    }
}

TEST_F(FileLoad, ReloadReadsTheFileAgainAndRefusesAnotherFileInItsPlace) {
    const std::string path = Put("plan.dxf", Drawing());
    TkrDXFImage g;
    g.LoadFromFile(path);
    std::vector<std::string> first = DrawLoaded(g);
    g.Reload();
    EXPECT_EQ(DrawLoaded(g), first);
    // Another file put under the same name (made while the first one still
    // exists, so another inode): the drawing loaded is gone.
    Put("other.dxf", "0\nSECTION\n2\nENTITIES\n0\nEOF\n");
    fs::rename(dir / "other.dxf", path);
    try {
        g.Reload();
        ADD_FAILURE() << "no error";
    } catch (const EkrError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + path + "' was replaced since it was loaded");
    }
}

TEST_F(FileLoad, AFifoIsReadOnceAndKeptForReloadAndSave) {
    const std::string text = Drawing();
    TkrDXFImage whole;
    whole.LoadFromText(text);
    const std::vector<std::string> want = DrawLoaded(whole);
    const std::string fifo = (dir / "plan.dxf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The writer's open waits for the graphic to open the FIFO for reading.
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << text; });
    TkrDXFImage g;
    g.LoadFromFile(fifo);
    writer.join();
    EXPECT_EQ(DrawLoaded(g), want);
    // The FIFO is not opened again (nobody writes to it any more): Reload
    // reads the text it delivered, and SaveToStream writes it.
    g.Reload();
    EXPECT_EQ(DrawLoaded(g), want);
    std::ostringstream out;
    g.SaveToStream(out);
    EXPECT_EQ(out.str(), text);
}

TEST_F(FileLoad, SaveToStreamWritesTheLoadedBytes) {
    const std::string text = Drawing();
    TkrDXFImage g;
    g.LoadFromFile(Put("plan.dxf", text));
    std::ostringstream out;
    g.SaveToStream(out);
    EXPECT_EQ(out.str(), text);
    TkrDXFImage t;
    t.LoadFromText("0\nEOF\n");
    std::ostringstream small;
    t.SaveToStream(small);
    EXPECT_EQ(small.str(), "0\nEOF\n");
    TkrDXFImage none;
    std::ostringstream empty;
    none.SaveToStream(empty);
    EXPECT_EQ(empty.str(), "");
}

}  // namespace
