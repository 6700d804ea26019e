// The work bound of a drawing and the cancel flag: a few kilobytes of blocks
// that insert each other ten times a level would draw 10^9 lines; the
// drawing stops at the bound, keeps what it drew, and says so.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/limits.h"
#include "output/dxf_writer.h"
#include "output/text_file.h"
#include "render/dxf_image.h"

namespace fs = std::filesystem;

namespace {
// levels blocks F0..F(levels-1), each inserting the next one `fan` times at
// x = 0..fan-1; the last block holds one line. The drawing inserts F0 once,
// so drawing it in full makes fan^levels lines.
std::string FanOut(int levels, int fan) {
    std::string s = "0\nSECTION\n2\nBLOCKS\n";
    for (int i = 0; i < levels; ++i) {
        s += "0\nBLOCK\n2\nF" + std::to_string(i) + "\n10\n0\n20\n0\n";
        for (int k = 0; k < fan; ++k)
            s += "0\nINSERT\n2\nF" + std::to_string(i + 1) + "\n10\n" + std::to_string(k) + "\n20\n0\n";
        s += "0\nENDBLK\n";
    }
    s += "0\nBLOCK\n2\nF" + std::to_string(levels) + "\n0\nLINE\n10\n0\n20\n0\n11\n0.5\n21\n1\n0\nENDBLK\n";
    s += "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nF0\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
    return s;
}

struct TDrawn {
    size_t Lines = 0;
    double Seconds = 0;
};

TDrawn Draw(TkrDXFImage& g, const std::string& dxf) {
    g.LoadFromText(dxf);
    fs::path path = fs::temp_directory_path() / ("bounds_test_" + std::to_string(::getpid()) + ".txt");
    fs::remove(path);
    TPDFCanvas sink;
    sink.TextMode = true;
    sink.TextFile().Bind(path.string());
    sink.TextFile().Rewrite();
    auto t0 = std::chrono::steady_clock::now();
    g.DrawOnSink(sink, {0, 0, 600000, 300000});
    sink.TextFile().Close();
    TDrawn d;
    d.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::ifstream f(path, std::ios::binary);
    for (std::string line; std::getline(f, line);) ++d.Lines;
    fs::remove(path);
    return d;
}
}  // namespace

TEST(DrawWorkBound, BillionLinesFromAFewKilobytesStopAtTheBound) {
    std::string dxf = FanOut(9, 10);  // 10^9 lines in full
    ASSERT_LT(dxf.size(), 4096u);
    TkrDXFImage g;
    TDrawn d = Draw(g, dxf);
    const uint64_t budget = kDrawWorkBase + kDrawWorkPerByte * dxf.size();
    EXPECT_EQ(g.WorkBudget, budget);
    EXPECT_TRUE(g.DrawTruncated);
    // Every line costs at least its entity visit and its two points, so the
    // lines drawn stay below a third of the budget; and something was drawn.
    EXPECT_GT(d.Lines, 0u);
    EXPECT_LE(d.Lines, budget / 3);
    EXPECT_LE(g.WorkDone, budget + 1 + 2);  // the entity that crossed it may finish
}

TEST(DrawWorkBound, AnArrayOfTenBillionCopiesStopsAtTheBound) {
    // 100000 x 100000 copies of one line: every copy is counted.
    std::string dxf =
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n10\n0\n20\n0\n0\nLINE\n10\n0\n20\n0\n11\n0.5\n21\n0\n"
        "0\nENDBLK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nB\n10\n0\n20\n0\n70\n100000\n71\n"
        "100000\n44\n1\n45\n1\n0\nENDSEC\n0\nEOF\n";
    TkrDXFImage g;
    TDrawn d = Draw(g, dxf);
    const uint64_t budget = kDrawWorkBase + kDrawWorkPerByte * dxf.size();
    EXPECT_TRUE(g.DrawTruncated);
    // A copy costs its visit, the line's visit and two points.
    EXPECT_GT(d.Lines, budget / 5);
    EXPECT_LE(d.Lines, budget / 3);
}

TEST(DrawWorkBound, APointCostsMoreInTheDxfForm) {
    // In simplified DXF form every segment becomes an entity of its own: a
    // point costs kDrawWorkPerDxfPoint units, so fewer lines fit the bound.
    std::string dxf = FanOut(9, 10);
    TkrDXFImage g;
    size_t textLines = Draw(g, dxf).Lines;
    // The other form is another output of the whole drawing: it starts over.
    g.WorkDone = 0;
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 300000});
    EXPECT_TRUE(g.DrawTruncated);
    EXPECT_EQ(g.WorkPerPoint, kDrawWorkPerDxfPoint);
    // Entities visited plus 4 units for each of the 2 points of every line.
    EXPECT_LE(g.WorkDone, g.WorkBudget + 1 + 2 * kDrawWorkPerDxfPoint);
    sink.Exporter->FinishDrawing();
    std::string out = sink.Exporter->SaveToString();
    size_t dxfLines = 0;
    for (size_t at = out.find("\nLINE\r\n"); at != std::string::npos; at = out.find("\nLINE\r\n", at + 1)) ++dxfLines;
    EXPECT_GT(dxfLines, 0u);
    EXPECT_LT(dxfLines * 2, textLines);
    // The text form costs one unit a point again.
    Draw(g, dxf);
    EXPECT_EQ(g.WorkPerPoint, 1u);
}

TEST(DrawWorkBound, ADrawingWithinTheBoundIsDrawnInFull) {
    std::string dxf = FanOut(4, 10);  // 10^4 lines, about 5 * 10^4 units
    TkrDXFImage g;
    TDrawn d = Draw(g, dxf);
    EXPECT_FALSE(g.DrawTruncated);
    // Lines at x = 0..9 per level overlap in places, but the line of every
    // insert is written: 10^4 lines.
    EXPECT_EQ(d.Lines, 10000u);
}

TEST(DrawWorkBound, TheBoundResetsForEveryDrawing) {
    TkrDXFImage g;
    Draw(g, FanOut(9, 10));
    ASSERT_TRUE(g.DrawTruncated);
    TDrawn d = Draw(g, FanOut(2, 10));
    EXPECT_FALSE(g.DrawTruncated);
    EXPECT_EQ(d.Lines, 100u);
}

TEST(DrawWorkBound, ACancelFlagSetBeforeDrawingDrawsNothing) {
    std::atomic<bool> cancel{true};
    TkrDXFImage g;
    g.Cancel = &cancel;
    TDrawn d = Draw(g, FanOut(3, 10));
    EXPECT_EQ(d.Lines, 0u);
    EXPECT_TRUE(g.DrawStopped);
    EXPECT_FALSE(g.DrawTruncated);  // stopped by the flag, not by the bound
}

TEST(DrawWorkBound, TheWorstFewKilobytesDrawInBoundedTime) {
    // Not a benchmark: the bound in units is what the test asserts above;
    // this only guards against a unit becoming far more costly than it is
    // (well below a microsecond). Generous for slow sanitizer builds.
    TkrDXFImage g;
    TDrawn d = Draw(g, FanOut(9, 10));
    EXPECT_LT(d.Seconds, 30.0);
}

TEST(Limits, HatchLineBoundIsSetForTheHatchStep) {
    static_assert(kMaxHatchLines == 100000);
    // At most one line per unit of the drawing work bound of the smallest
    // drawing: a bounded hatch fits the work bound of any drawing.
    EXPECT_LE(kMaxHatchLines, kDrawWorkBase);
}

TEST(BinaryNumbers, NotANumberAndInfinitiesOfABinaryFileDrawWithoutHarm) {
    // Every kind of curve and the insert array with a NaN or an infinity in
    // each of its numbers, one entity at a time: the text form cannot carry
    // a NaN, the binary form can.
    auto group = [](std::string& out, int code, const std::string& bytes) {
        out += char(code & 0xFF);
        out += char(code >> 8);
        out += bytes;
    };
    auto real = [](double v) { return std::string(reinterpret_cast<const char*>(&v), 8); };
    auto str = [](const std::string& s) { return s + std::string(1, '\0'); };
    struct TEntity {
        std::string Name;
        std::vector<std::pair<int, double>> Reals;
    };
    const std::vector<TEntity> entities = {
        {"LINE", {{10, 0}, {20, 0}, {11, 5}, {21, 5}}},
        {"CIRCLE", {{10, 0}, {20, 0}, {40, 5}}},
        {"ARC", {{10, 0}, {20, 0}, {40, 5}, {50, 10}, {51, 80}}},
        {"ELLIPSE", {{10, 0}, {20, 0}, {11, 5}, {21, 0}, {40, 0.5}, {41, 0}, {42, 3}}},
        {"SPLINE", {{40, 0}, {40, 0}, {40, 0}, {40, 1}, {40, 1}, {40, 1}, {10, 0}, {20, 0}, {10, 1}, {20, 1},
                    {10, 2}, {20, 0}, {41, 1}, {41, 0.5}, {41, 1}}},
        {"SPLINE", {{11, 0}, {21, 0}, {11, 1}, {21, 1}, {11, 2}, {21, 0}, {12, 1}, {22, 0}}},
        {"LWPOLYLINE", {{10, 0}, {20, 0}, {42, 0.5}, {10, 5}, {20, 5}}},
        {"INSERT", {{10, 0}, {20, 0}, {41, 1}, {44, 2}, {45, 2}, {50, 30}}},
    };
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL})
        for (const TEntity& e : entities)
            for (size_t k = 0; k < e.Reals.size(); ++k) {
                std::string d("AutoCAD Binary DXF\r\n\x1a\0", 22);
                group(d, 0, str("SECTION"));
                group(d, 2, str("BLOCKS"));
                group(d, 0, str("BLOCK"));
                group(d, 2, str("B"));
                group(d, 0, str("LINE"));
                group(d, 11, real(1));
                group(d, 0, str("ENDBLK"));
                group(d, 0, str("ENDSEC"));
                group(d, 0, str("SECTION"));
                group(d, 2, str("ENTITIES"));
                group(d, 0, str("LINE"));
                group(d, 11, real(3));
                group(d, 0, str(e.Name));
                if (e.Name == "INSERT") {
                    group(d, 2, str("B"));
                    group(d, 70, std::string("\x03\x00", 2));
                    group(d, 71, std::string("\x02\x00", 2));
                }
                if (e.Name == "SPLINE") group(d, 71, std::string(k % 2 ? "\x02\x00" : "\x03\x00", 2));
                for (size_t j = 0; j < e.Reals.size(); ++j)
                    group(d, e.Reals[j].first, real(j == k ? bad : e.Reals[j].second));
                group(d, 0, str("ENDSEC"));
                group(d, 0, str("EOF"));
                TkrDXFImage g;
                TDrawn drawn = Draw(g, d);
                EXPECT_LT(drawn.Lines, 100000u) << e.Name << " " << k << " " << bad;
            }
}

TEST(DrawWorkBound, WhatAUnitOfWorkWritesIsBounded) {
    // The output of a drawing is bounded with its work: 300 entities of each
    // kind (those that write the most for what they cost among them: a point
    // becomes a filled square, a text too small to draw its box and outline),
    // drawn in both forms, write at most kMaxTextBytesPerWork and
    // kMaxDxfBytesPerWork bytes a unit, besides the DXF file's frame.
    const std::string ltype =
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n0\nLTYPE\n2\nDASHED\n73\n2\n40\n0.2\n49\n0.1\n49\n-0.1\n"
        "0\nENDTAB\n0\nENDSEC\n";
    const std::vector<std::string> kinds = {
        "0\nLINE\n8\n0\n62\n3\n370\n50\n10\n@\n20\n0\n11\n@1\n21\n50\n",
        "0\nLINE\n8\n0\n6\nDASHED\n10\n@\n20\n0\n11\n@1\n21\n50\n",
        "0\nPOINT\n8\n0\n10\n@\n20\n5\n",
        "0\nSOLID\n8\n0\n10\n@\n20\n0\n11\n@1\n21\n0\n12\n@\n22\n1\n13\n@1\n23\n1\n",
        "0\n3DFACE\n8\n0\n10\n@\n20\n0\n11\n@1\n21\n0\n12\n@1\n22\n1\n13\n@\n23\n1\n",
        "0\nTEXT\n8\n0\n10\n@\n20\n0\n40\n1\n1\nx\n",
        "0\nTEXT\n8\n0\n10\n@\n20\n0\n40\n0.0001\n1\nx\n",
        "0\nTEXT\n8\n0\n10\n@\n20\n0\n40\n0.0001\n50\n30\n1\nx\n",
        "0\nMTEXT\n8\n0\n10\n@\n20\n0\n40\n1\n1\na{b}c{d}\n",
        "0\nHATCH\n8\n0\n2\nSOLID\n70\n1\n91\n1\n92\n2\n72\n1\n73\n1\n93\n3\n10\n@\n20\n0\n10\n@1\n20\n0\n10\n@\n20\n"
        "1\n97\n0\n75\n0\n76\n1\n98\n0\n",
        "0\nLWPOLYLINE\n8\n0\n90\n2\n10\n@\n20\n0\n40\n0.2\n41\n0.3\n10\n@1\n20\n3\n",
        "0\nCIRCLE\n8\n0\n10\n@\n20\n0\n40\n0.5\n",
    };
    // The DXF file's frame: what a drawing without entities writes.
    TkrDXFImage empty;
    empty.LoadFromText(ltype + "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
    TPDFCanvas none;
    none.Exporter = std::make_unique<TkrDXFExport>();
    empty.DrawOnSink(none, {0, 0, 600000, 300000});
    none.Exporter->FinishDrawing();
    const size_t frame = none.Exporter->SaveToString().size();
    for (const std::string& kind : kinds) {
        SCOPED_TRACE(kind);
        std::string body;
        for (int i = 0; i < 300; ++i) {
            std::string e = kind;
            for (size_t p; (p = e.find("@1")) != std::string::npos;) e.replace(p, 2, std::to_string(3 * i + 1));
            for (size_t p; (p = e.find('@')) != std::string::npos;) e.replace(p, 1, std::to_string(3 * i));
            body += e;
        }
        // A line across, so that every entity lies inside the extents.
        TkrDXFImage g;
        g.LoadFromText(ltype + "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n-10\n20\n-10\n11\n910\n21\n60\n" +
                       body + "0\nENDSEC\n0\nEOF\n");
        TPDFCanvas sink;
        sink.Exporter = std::make_unique<TkrDXFExport>();
        g.DrawOnSink(sink, {0, 0, 600000, 300000});
        EXPECT_FALSE(g.DrawTruncated);
        sink.Exporter->FinishDrawing();
        EXPECT_LE(sink.Exporter->SaveToString().size(), frame + kMaxDxfBytesPerWork * g.WorkDone);
        // The other form is another output of the drawing: it starts over.
        g.WorkDone = 0;
        fs::path path = fs::temp_directory_path() / ("bounds_bytes_" + std::to_string(::getpid()) + ".txt");
        fs::remove(path);
        TPDFCanvas text;
        text.TextMode = true;
        text.TextFile().Bind(path.string());
        text.TextFile().Rewrite();
        g.DrawOnSink(text, {0, 0, 600000, 300000});
        text.TextFile().Close();
        EXPECT_LE(fs::file_size(path), kMaxTextBytesPerWork * g.WorkDone);
        fs::remove(path);
    }
}
