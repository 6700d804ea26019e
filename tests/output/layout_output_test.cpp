// Writing a layout in the simplified DXF form when the drawing does not draw
// the same twice: the measured plan no longer fits, and the layout is drawn
// once more and written from its entities.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "output/dxf_writer.h"
#include "output/layout_output.h"
#include "output/sink.h"

namespace fs = std::filesystem;

namespace {
// Draws one segment the first time (the measuring drawing), two afterwards.
class TGrowingDrawing : public TLayoutDrawing {
public:
    std::string Calls;
    int Drawings = 0;
    void Draw(TPDFCanvas& sink) override {
        Calls += "draw ";
        sink.MoveTo(0, 0);
        sink.LineTo(1000, 500);
        if (Drawings++ == 0) return;
        sink.MoveTo(-2000, 300);
        sink.LineTo(4000, 7000);
    }
    void Again() override { Calls += "again "; }
    void Drawn() override { Calls += "drawn "; }
};
}  // namespace

TEST(LayoutOutput, ADrawingThatDiffersFromItsPlanIsDrawnOnceMoreAndGivesTheFileOfItsLastDrawing) {
    const fs::path dir = fs::temp_directory_path() / ("dxf_layout_output_test_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (bool helper : {false, true}) {
        SCOPED_TRACE(helper ? "read back on a thread" : "read back by the drawing thread");
        const fs::path path = dir / "out.dxf";
        fs::remove(path);
        TGrowingDrawing drawing;
        bool created = false;
        WriteLayout(TLayoutForm::SimplifiedDxf, path.string(), helper, drawing, nullptr, created);
        // Measured (one segment), planned (two: the head differs), drawn
        // once more; what was left out is reported after the planned drawing
        // and the retry reports nothing new.
        EXPECT_EQ(drawing.Calls, "draw again draw drawn again draw drawn ");
        EXPECT_FALSE(created);  // only a text file is written as it is drawn
        // The same bytes as the two segments kept in memory and saved.
        TPDFCanvas memory;
        memory.Exporter = std::make_unique<TkrDXFExport>();
        TGrowingDrawing again;
        again.Drawings = 1;
        again.Draw(memory);
        memory.Exporter->FinishDrawing();
        std::ifstream in(path, std::ios::binary);
        const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(file, memory.Exporter->SaveToString());
        // No temporary file stays beside the output.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
    fs::remove_all(dir);
}
