// The drawing sink: text lines in text mode, forwarding with attribute
// transfers in DXF mode.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/sink.h"
#include "output/text_file.h"

#include "file_size_limit.h"

namespace fs = std::filesystem;

namespace {
class TextSink : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("sink_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        path = (dir / "out.txt").string();
        sink.TextMode = true;
        sink.TextFile().Bind(path);
        sink.TextFile().Rewrite();
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Close() {
        sink.TextFile().Close();
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    fs::path dir;
    std::string path;
    TPDFCanvas sink;
};
}  // namespace

TEST_F(TextSink, OneLinePerSegmentWithCrLf) {
    sink.MoveTo(0, 0);
    sink.LineTo(100, -50);
    sink.LineTo(-2147483647 - 1, 2147483647);
    EXPECT_EQ(Close(), "0;0;100;-50\r\n100;-50;-2147483648;2147483647\r\n");
}

TEST_F(TextSink, PolygonDoesNotCloseItself) {
    TPoint tri[4] = {{0, 0}, {10, 0}, {0, 10}, {0, 0}};
    sink.Polygon(tri, 3);
    sink.Polygon(tri, 4);
    EXPECT_EQ(Close(), "0;0;10;0\r\n10;0;0;10\r\n0;0;10;0\r\n10;0;0;10\r\n0;10;0;0\r\n");
}

TEST_F(TextSink, PolyPolylineStartsEachPartWithAMove) {
    TPoint pts[5] = {{1, 1}, {2, 2}, {5, 5}, {6, 6}, {7, 7}};
    int counts[2] = {2, 3};
    sink.PolyPolyline(pts, counts, 2);
    EXPECT_EQ(Close(), "1;1;2;2\r\n5;5;6;6\r\n6;6;7;7\r\n");
}

TEST_F(TextSink, AreasAndTextsWriteNothingAndKeepThePenPosition) {
    sink.MoveTo(3, 4);
    sink.Rectangle(0, 0, 10, 10);
    sink.Ellipse(0, 0, 10, 10);
    sink.SetPixel(5, 5, 0xFF);
    sink.TextOut(1, 1, "abc");
    sink.FillRect({0, 0, 5, 5});
    EXPECT_EQ(sink.PenPos, (TPoint{3, 4}));
    sink.LineTo(4, 4);
    EXPECT_EQ(Close(), "3;4;4;4\r\n");
}

TEST_F(TextSink, PointListFormIgnoresAnOddTrailingInteger) {
    const int32_t xy[] = {0, 0, 5, 5, 9};
    sink.Polyline(std::span<const int32_t>(xy, 5));
    sink.Polyline(std::span<const int32_t>());
    const int32_t one[] = {7, 7};
    sink.Polyline(std::span<const int32_t>(one, 2));  // one point only moves
    sink.LineTo(8, 8);
    EXPECT_EQ(Close(), "0;0;5;5\r\n7;7;8;8\r\n");
}

TEST_F(TextSink, ManySegmentsAreAllWritten) {
    sink.MoveTo(0, 0);
    for (int i = 1; i <= 20000; ++i) sink.LineTo(i, -i);
    std::string text = Close();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 20000);
    EXPECT_EQ(text.substr(text.size() - 27), "19999;-19999;20000;-20000\r\n");
}

TEST(TextFile, UncreatableFileRaisesAnError) {
    TTextFile f;
    f.Bind("/nonexistent-folder/x.txt");
    EXPECT_THROW(f.Rewrite(), EFileError);
}

TEST(TextFile, AFailedWriteRaisesAnError) {
    // A file-size limit stands in for a full disk: writes past it fail (EFBIG).
    fs::path path = fs::temp_directory_path() / ("sink_full_" + std::to_string(::getpid()) + ".txt");
    auto limit = std::make_unique<TFileSizeLimit>(4096);
    ASSERT_TRUE(limit->Set);
    bool raised = false;
    {
        TTextFile f;
        f.Bind(path.string());
        f.Rewrite();
        try {
            for (int i = 0; i < 100000; ++i) f.WriteSegment(i, i, i, i);
            f.Close();
        } catch (const EFileError& e) {
            raised = std::string(e.what()).find(path.string()) != std::string::npos;
        }
    }
    limit.reset();
    fs::remove(path);
    EXPECT_TRUE(raised);
}

TEST(TextFile, WrittenOnAThreadTheFileIsTheSame) {
    // Pieces of 65536 integers: none, part of one, exactly one, several and a
    // bit of segments apart; then segments that join (one run of points) and
    // polylines, one longer than a piece, in between.
    fs::path dir = fs::temp_directory_path() / ("sink_thread_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<TPoint> polyline(40000);
    for (size_t i = 0; i < polyline.size(); ++i) polyline[i] = {int32_t(i), int32_t(i % 7) - 3};
    for (int n : {0, 5, 13107, 3 * 13107 + 17, -1}) {
        const bool runs = n < 0;
        std::string text[2];
        for (int threaded : {0, 1}) {
            fs::path path = dir / (std::to_string(n) + "-" + std::to_string(threaded) + ".txt");
            TTextFile f;
            f.Bind(path.string());
            f.WriteOnThread(threaded);
            f.Rewrite();
            for (int i = 0; i < n; ++i) f.WriteSegment(i, -i, INT32_MIN + i, INT32_MAX - i);
            for (int k = 0; runs && k < 3; ++k) {
                for (int i = 0; i < 9000; ++i) f.WriteSegment(i, i % 3, i + 1, (i + 1) % 3);
                f.WritePolyline(polyline.data(), polyline.size() - size_t(k) * 15000);
                f.WritePolyline(polyline.data(), 1);
                f.WriteSegment(5, 5, 5, 5);
            }
            f.Close();
            EXPECT_FALSE(f.IsOpen());
            std::ifstream in(path, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            text[threaded] = ss.str();
        }
        EXPECT_TRUE(text[0] == text[1]) << n;
        if (runs) {
            EXPECT_EQ(std::count(text[1].begin(), text[1].end(), '\n'), 3 * 9001 + 39999 + 24999 + 9999);
            // The last joined segment, the long polyline's last one, the lone one.
            EXPECT_NE(text[1].find("8999;2;9000;0\r\n0;-3;1;-2\r\n"), std::string::npos);
            EXPECT_NE(text[1].find("39998;-3;39999;-2\r\n5;5;5;5\r\n0;0;1;1\r\n"), std::string::npos);
        } else {
            EXPECT_EQ(std::count(text[1].begin(), text[1].end(), '\n'), n);
        }
        if (n > 0) {
            EXPECT_EQ(text[1].substr(0, 35), "0;0;-2147483648;2147483647\r\n1;-1;-2");
        }
    }
    fs::remove_all(dir);
}

TEST(TextFile, AWriteErrorComesOutOfCloseWithOrWithoutTheThread) {
    fs::path dir = fs::temp_directory_path() / ("sink_thread_full_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto limit = std::make_unique<TFileSizeLimit>(300000);
    ASSERT_TRUE(limit->Set);
    std::string kept[2];
    bool raisedByClose[2] = {false, false};
    for (int threaded : {0, 1}) {
        fs::path path = dir / (std::to_string(threaded) + ".txt");
        TTextFile f;
        f.Bind(path.string());
        f.WriteOnThread(threaded);
        f.Rewrite();
        // The segments after the error are taken and dropped.
        for (int i = 0; i < 200000; ++i) f.WriteSegment(i, i, i, i);
        try {
            f.Close();
        } catch (const EFileError& e) {
            raisedByClose[threaded] = std::string(e.what()).find("cannot write '" + path.string()) == 0;
        }
        EXPECT_FALSE(f.IsOpen());
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        kept[threaded] = ss.str();
    }
    limit.reset();
    fs::remove_all(dir);
    EXPECT_TRUE(raisedByClose[0]);
    EXPECT_TRUE(raisedByClose[1]);
    EXPECT_EQ(kept[0].size(), 300000u);
    EXPECT_TRUE(kept[0] == kept[1]);
}

TEST(TextFile, AnExistingFileIsNeverOverwritten) {
    fs::path path = fs::temp_directory_path() / ("sink_exists_" + std::to_string(::getpid()) + ".txt");
    {
        std::ofstream(path) << "keep";
    }
    TTextFile f;
    f.Bind(path.string());
    EXPECT_THROW(f.Rewrite(), EFileError);
    std::ifstream in(path);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "keep");
    fs::remove(path);
}

TEST(DxfSink, ForwardsWithTransfersAndPolygonFill) {
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    sink.Pen.Color = 0x0000FF;
    sink.Pen.Width = 3;
    sink.Brush.Style = bsClear;
    sink.MoveTo(0, 0);
    sink.LineTo(10, 10);
    TRecordingCanvas& c = sink.Exporter->GetCanvas();
    EXPECT_EQ(c.Pen, sink.Pen);
    TPoint tri[3] = {{0, 0}, {10, 0}, {0, 10}};
    sink.Polygon(tri, 3);
    EXPECT_EQ(c.Brush.Style, bsSolid);
    EXPECT_EQ(c.Brush.Color, 0x0000FFu);
    EXPECT_EQ(c.Pen.Width, 0);
    EXPECT_EQ(sink.PenPos, (TPoint{10, 10}));  // a polygon does not move the pen
    sink.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(c.Pen, sink.Pen);
    EXPECT_EQ(c.Brush, sink.Brush);
    sink.Font.Height = 40;
    sink.TextOut(0, 0, "x");
    EXPECT_EQ(c.Font, sink.Font);
}

TEST(DxfSink, LinesBecomeLineEntities) {
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    sink.MoveTo(0, 0);
    sink.LineTo(100, 0);
    sink.LineTo(100, 100);
    sink.Exporter->FinishDrawing();
    std::string dxf = sink.Exporter->SaveToString();
    size_t n = 0;
    for (size_t p = dxf.find("\r\nLINE\r\n"); p != std::string::npos; p = dxf.find("\r\nLINE\r\n", p + 1)) ++n;
    EXPECT_EQ(n, 2u);
}

TEST(DxfSink, WithoutAWriterDxfModeRaisesAnError) {
    TPDFCanvas sink;
    EXPECT_THROW(sink.LineTo(1, 1), EkrExportError);
}
