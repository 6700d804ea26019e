// Hatches drawn end to end, in text form and in simplified DXF form, against
// what is worked out by hand: boundaries, solid fills and pattern dashes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../model/hatch_helpers.h"
#include "model/entities/hatch.h"
#include "output/dxf_writer.h"
#include "output/errors.h"
#include "render/draw_hatch.h"
#include "render/dxf_image.h"
#include "render/render_helpers.h"

namespace fs = std::filesystem;
using namespace hatchtest;

namespace {
fs::path Scratch(const std::string& name) {
    return fs::temp_directory_path() / ("hatch_draw_" + std::to_string(::getpid()) + "_" + name);
}

// Draws layout 0 as the conversion run does, in text form: the lines without
// CR LF.
std::vector<std::string> TextLines(const std::string& dxf) { return rendertest::DrawText(dxf); }

// The same in simplified DXF form: the whole file.
std::string DxfFile(const std::string& dxf) {
    TkrDXFImage g;
    g.LoadFromText(dxf);
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, int32_t(600000.0 * g.GetHeight() / g.GetWidth())});
    sink.Exporter->FinishDrawing();
    return sink.Exporter->SaveToString();
}

std::string Crlf(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s.append(l).append("\r\n");
    return s;
}

// The records of one entity type in a file, in order.
std::vector<std::string> Records(const std::string& file, const std::string& type) {
    std::vector<std::string> r;
    const std::string start = "  0\r\n" + type + "\r\n";
    for (size_t p = file.find(start); p != std::string::npos; p = file.find(start, p + 1)) {
        size_t e = file.find("  0\r\n", p + start.size());
        r.push_back(file.substr(p, e - p));
    }
    return r;
}

// A red pattern hatch over the square (0, 0)-(10, 10), 0 degrees, offset
// (0, 1), dashes 6, -2, and a green solid triangle (2, 2), (8, 2), (5, 8).
std::string TwoHatches() {
    TGroups a = HatchGroups({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}})}, {PatternLine(0, 0, 0, 0, 1, {6, -2})},
                            {"62", "1"});
    TGroups b = HatchGroups({PolyPath({{2, 2}, {8, 2}, {5, 8}})}, {}, {"62", "3"});
    a.insert(a.end(), b.begin(), b.end());
    return dxftest::Entities(a);
}
}  // namespace

TEST(HatchDrawing, TextFormHasOutlinesWithoutClosingSegmentsAndTheDashes) {
    // Extents 10 x 10 with margins 12.5 x 12.5: scale 48000, x -> 60000 +
    // 48000 x, y -> 540000 - 48000 y. The square's outline (three segments,
    // not closed); its lines y = 10 .. 0, each with the phase point (0, y),
    // cut into the dashes 0-6 and 8-10; the triangle's outline (two segments).
    std::vector<std::string> want = {"60000;540000;540000;540000", "540000;540000;540000;60000",
                                     "540000;60000;60000;60000"};
    for (int y = 10; y >= 0; --y) {
        std::string Y = std::to_string(540000 - 48000 * y);
        want.push_back("60000;" + Y + ";348000;" + Y);
        want.push_back("444000;" + Y + ";540000;" + Y);
    }
    want.push_back("156000;444000;444000;444000");
    want.push_back("444000;444000;300000;156000");
    EXPECT_EQ(TextLines(TwoHatches()), want);
}

TEST(HatchDrawing, DxfFormHasTheFillAsASolidHatchAndThePatternAsLines) {
    // The same drawing: canvas points become drawing points with y negated.
    // The pattern hatch gives its closed outline (four segments: a square
    // shows all its sides) and its dashes as LINE entities in red (a filled
    // area in red would hide its pattern); the solid triangle one HATCH
    // "SOLID" in green, without an outline (the fill is in the pen's own colour).
    std::string file = DxfFile(TwoHatches());
    auto lines = Records(file, "LINE");
    auto hatches = Records(file, "HATCH");
    ASSERT_EQ(lines.size(), 4u + 22);
    ASSERT_EQ(hatches.size(), 1u);
    EXPECT_EQ(Records(file, "LWPOLYLINE").size(), 0u);
    EXPECT_EQ(lines[0], Crlf({"  0", "LINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0", "100",
                              "AcDbLine", " 62", "1", " 10", "60000", " 20", "-540000", " 11", "540000", " 21",
                              "-540000"}));
    // The closing side, from (0, 10) back to (0, 0).
    EXPECT_EQ(lines[3], Crlf({"  0", "LINE", "  5", "23", "330", "1F", "100", "AcDbEntity", "  8", "0", "100",
                              "AcDbLine", " 62", "1", " 10", "60000", " 20", "-60000", " 11", "60000", " 21",
                              "-540000"}));
    EXPECT_EQ(lines[5], Crlf({"  0", "LINE", "  5", "25", "330", "1F", "100", "AcDbEntity", "  8", "0", "100",
                              "AcDbLine", " 62", "1", " 10", "444000", " 20", "-60000", " 11", "540000", " 21",
                              "-60000"}));
    EXPECT_EQ(hatches[0],
              Crlf({"  0", "HATCH", "  5", "3A", "100", "AcDbEntity", "  8", "0", "100", "AcDbHatch", " 62", "3",
                    " 10", "0", " 20", "0", " 30", "0", "210", "0", "220", "0", "230", "1", "  2", "SOLID", " 70",
                    "1", " 71", "0", " 91", "1", " 92", "1", " 93", "3",
                    " 72", "1", " 10", "156000", " 20", "-444000", " 11", "444000", " 21", "-444000",
                    " 72", "1", " 10", "444000", " 20", "-444000", " 11", "300000", " 21", "-156000",
                    " 72", "1", " 10", "300000", " 20", "-156000", " 11", "156000", " 21", "-444000",
                    " 97", "0", " 75", "0", " 76", "1", " 98", "1", " 10", "0", " 20", "0"}));
}

TEST(HatchDrawing, ASolidHatchWithAnIslandIsOneHatchWithBothLoops) {
    // The square (0, 0)-(10, 10) with the island (3, 3)-(7, 7): one HATCH
    // "SOLID" of two loops, so that the island stays open; the text form
    // keeps both outlines, each without its closing segment.
    std::string dxf = HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
                                PolyPath({{3, 3}, {7, 3}, {7, 7}, {3, 7}})},
                               {});
    auto hatches = Records(DxfFile(dxf), "HATCH");
    ASSERT_EQ(hatches.size(), 1u);
    // x -> 60000 + 48000 x, y -> -(540000 - 48000 y) in the file.
    EXPECT_NE(hatches[0].find(Crlf({" 91", "2", " 92", "1", " 93", "4", " 72", "1", " 10", "60000", " 20",
                                    "-540000", " 11", "540000", " 21", "-540000"})),
              std::string::npos)
        << hatches[0];
    EXPECT_NE(hatches[0].find(Crlf({" 97", "0", " 92", "1", " 93", "4", " 72", "1", " 10", "204000", " 20",
                                    "-396000", " 11", "396000", " 21", "-396000"})),
              std::string::npos)
        << hatches[0];
    EXPECT_EQ(TextLines(dxf).size(), 6u);
}

TEST(HatchDrawing, ASolidHatchOfMoreLoopsThanAHatchHoldsIsSplitWithAWarning) {
    TkrDXFImage g;
    g.LoadFromText(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}})}, {}));
    auto& hatch = static_cast<TkrDXFHatch&>(*g.Converter->EntityAt(0));
    // 65536 paths: one more than a HATCH of the output (a record) holds.
    hatch.Paths.assign(65536, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 600000});
    sink.Exporter->FinishDrawing();
    auto hatches = Records(sink.Exporter->SaveToString(), "HATCH");
    ASSERT_EQ(hatches.size(), 2u);
    EXPECT_NE(hatches[0].find("\r\n 91\r\n65535\r\n"), std::string::npos);
    EXPECT_NE(hatches[1].find("\r\n 91\r\n1\r\n"), std::string::npos);
    EXPECT_EQ(g.Converter->Bounds.HatchLoops, 1u);
}

TEST(HatchDrawing, ARealReaderAcceptsTheDxfForm) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
    // Both hatches, a hatch with a hole and arc and ellipse edges, a mirrored one.
    TGroups g = HatchGroups({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}}), PolyPath({{3, 3}, {7, 3}, {7, 7}})}, {},
                            {"62", "5"});
    TGroups e = HatchGroups({{"92", "1", "93", "2", "72", "2", "10", "20", "20", "0", "40", "5", "50", "0", "51",
                              "180", "73", "1", "72", "3", "10", "20", "20", "0", "11", "-5", "21", "0", "40", "0.5",
                              "50", "0", "51", "180", "73", "1", "97", "0"}},
                            {PatternLine(45, 0, 0, -0.5, 0.5), PatternLine(135, 0, 0, -0.5, -0.5, {1, -0.5})},
                            {"210", "0", "220", "0", "230", "-1"});
    g.insert(g.end(), e.begin(), e.end());
    std::string text = TwoHatches();
    text.insert(text.find("0\nENDSEC"), dxftest::Dxf(g));
    fs::path path = Scratch("real.dxf");
    dxftest::WriteFile(path, DxfFile(text));
    // Every solid hatch is one HATCH with all its paths as loops: the green
    // triangle (one), the blue square with its hole (two).
    std::string cmd = "/usr/bin/python3 -c \"import ezdxf,sys\nd=ezdxf.readfile(sys.argv[1]); a=d.audit()\n"
                      "print(len(list(d.modelspace())), len(a.errors), len(a.fixes))\n"
                      "loops=[len(h.paths) for h in d.modelspace().query('HATCH') if h.dxf.solid_fill]\n"
                      "sys.exit(1 if a.errors or a.fixes or loops != [1, 2] else 0)\" '" + path.string() +
                      "' > '" + path.string() + ".log' 2>&1";
    int rc = std::system(cmd.c_str());
    std::string log = dxftest::ReadFile(path.string() + ".log");
    EXPECT_EQ(rc, 0) << log;
    EXPECT_GT(std::atoi(log.c_str()), 40) << log;
    fs::remove(path);
    fs::remove(path.string() + ".log");
}

TEST(HatchDrawing, AMirroredHatchIsDrawnWhereItLies) {
    // Extrusion (0, 0, -1): the square (0, 0)-(10, 10) of the object
    // coordinates lies at x -10 .. 0 of the world, which the extents follow:
    // x -> 60000 + 48000 (x + 10). Object (0, 0) lands at 540000, (10, 0)
    // at 60000; the lines y = 10 .. 0 run from object x 0 to 10, right to left.
    auto lines = TextLines(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}, {0, 10}})}, {PatternLine(0, 0, 0, 0, 1)},
                                    {"210", "0", "220", "0", "230", "-1"}));
    std::vector<std::string> want = {"540000;540000;60000;540000", "60000;540000;60000;60000",
                                     "60000;60000;540000;60000"};
    for (int y = 10; y >= 0; --y) {
        std::string Y = std::to_string(540000 - 48000 * y);
        want.push_back("540000;" + Y + ";60000;" + Y);
    }
    EXPECT_EQ(lines, want);
}

TEST(HatchDrawing, AMirroredHatchInABlockTakesTheInsertsColour) {
    // A BYBLOCK solid hatch (62 = 0) with extrusion (0, 0, -1) in a block
    // inserted in red: its fill is red, as that of the same hatch unmirrored.
    auto drawing = [](const TGroups& extra) {
        TGroups h = HatchGroups({PolyPath({{0, 0}, {10, 0}, {10, 10}})}, {}, extra);
        TGroups b = {"0", "SECTION", "2", "BLOCKS", "0", "BLOCK", "2", "B", "10", "0", "20", "0"};
        b.insert(b.end(), h.begin(), h.end());
        b.insert(b.end(), {"0", "ENDBLK", "0", "ENDSEC"});
        return dxftest::Dxf(b) + dxftest::Entities({"0", "INSERT", "2", "B", "62", "1", "10", "0", "20", "0"});
    };
    for (const TGroups& extra : {TGroups{"62", "0"}, TGroups{"62", "0", "210", "0", "220", "0", "230", "-1"}}) {
        auto hatches = Records(DxfFile(drawing(extra)), "HATCH");
        ASSERT_EQ(hatches.size(), 1u);
        EXPECT_NE(hatches[0].find("AcDbHatch\r\n 62\r\n1\r\n"), std::string::npos) << hatches[0];
    }
}

TEST(HatchDrawing, TheBrushIsClearAfterAHatchAlsoOnAnError) {
    TkrDXFImage g;
    g.LoadFromText(HatchDxf({PolyPath({{0, 0}, {10, 0}, {10, 10}})}, {}));
    TkrDXFEntity& hatch = *g.Converter->EntityAt(0);
    // A sink in DXF form without a writer: the first boundary raises.
    TPDFCanvas sink;
    g.Sink = &sink;
    sink.Brush.Style = bsSolid;
    EXPECT_THROW(DrawHatch(g, hatch), EkrExportError);
    EXPECT_EQ(sink.Brush.Style, bsClear);
    // With a writer: the solid fill leaves the brush clear too.
    sink.Exporter = std::make_unique<TkrDXFExport>();
    sink.Brush.Style = bsSolid;
    DrawHatch(g, hatch);
    EXPECT_EQ(sink.Brush.Style, bsClear);
}
