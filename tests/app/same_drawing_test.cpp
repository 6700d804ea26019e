// One drawing written in different ways converts to the same files: a TRACE
// is drawn as the SOLID with the same corners, a cubic spline keeps its
// points however its degree and weights are written, and a drawing saved in
// binary DXF converts as the same drawing saved in ASCII DXF.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "app/temp_folder.h"
#include "dxf_snippets.h"

using dxftest::Entities;

namespace {
std::string FileStem(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    return name.substr(0, name.rfind('.'));
}

// The files the run writes for one drawing: the text form, then the
// simplified DXF form.
struct TBothForms {
    std::string Text, Dxf;
};

TBothForms ConvertFile(const std::string& file) {
    TTempFolder t;
    TBothForms r;
    for (TOutputForm form : {ofText, ofDXF}) {
        TMemoryLog log;
        TConversionRun run(log);
        TConvertSettings s;
        s.OutputFolder = t.Path + "out";
        s.OutputForm = form;
        EXPECT_EQ(run.Run({file}, s, t.Path), 1);
        (form == ofText ? r.Text : r.Dxf) = ReadBytes(t.Path + "out/" + FileStem(file) + (form == ofText ? ".txt" : ".dxf"));
    }
    return r;
}

TBothForms ConvertBoth(const std::string& drawing) {
    TTempFolder t;
    WriteBytes(t.Path + "d.dxf", drawing);
    return ConvertFile(t.Path + "d.dxf");
}
}  // namespace

TEST(SameDrawing, ATraceConvertsAsTheSolidWithTheSameCorners) {
    // Corners (0,0), (10,0), (0,10), (10,10), drawn 1, 2, 4, 3; with a layer
    // and a colour of its own.
    std::vector<std::string> corners = {"8", "walls", "62", "1", "10", "0", "20", "0", "11", "10", "21", "0",
                                        "12", "0", "22", "10", "13", "10", "23", "10"};
    auto with = [&](const char* type) {
        std::vector<std::string> body = {"0", type};
        body.insert(body.end(), corners.begin(), corners.end());
        return Entities(body);
    };
    TBothForms trace = ConvertBoth(with("TRACE")), solid = ConvertBoth(with("SOLID"));
    // Extents 10 x 10 -> 12.5 x 12.5, scale 48000.
    EXPECT_EQ(trace.Text, "60000;540000;540000;540000\r\n540000;540000;540000;60000\r\n540000;60000;60000;60000\r\n");
    EXPECT_EQ(trace.Dxf, solid.Dxf);
    EXPECT_NE(trace.Dxf.find("HATCH"), std::string::npos);  // filled, as a SOLID is
}

TEST(SameDrawing, ACubicSplineKeepsItsPointsWrittenWithOrWithoutDegreeAndEqualWeights) {
    // Control points (0,0) (1,2) (3,2) (4,0), knots 0 0 0 0 1 1 1 1: the first
    // control point, 25 points on [0, 1) and the last one. Extents 4 x 1.5 ->
    // 5 x 1.875, scale 120000.
    const std::vector<std::string> knots = {"40", "0", "40", "0", "40", "0", "40", "0",
                                            "40", "1", "40", "1", "40", "1", "40", "1"};
    const std::vector<std::string> points = {"10", "0", "20", "0", "10", "1", "20", "2",
                                             "10", "3", "20", "2", "10", "4", "20", "0"};
    auto spline = [&](std::vector<std::string> head, std::vector<std::string> tail) {
        head.insert(head.begin(), {"0", "SPLINE", "8", "0", "70", "8"});
        head.insert(head.end(), knots.begin(), knots.end());
        head.insert(head.end(), points.begin(), points.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return Entities(head);
    };
    TBothForms cubic = ConvertBoth(spline({"71", "3"}, {}));
    EXPECT_EQ(cubic.Text,
              "60000;276000;60001;276000\r\n60001;276000;74961;248352\r\n74961;248352;90981;223008\r\n"
              "90981;223008;107969;199968\r\n107969;199968;125833;179232\r\n125833;179232;144480;160800\r\n"
              "144480;160800;163818;144672\r\n163818;144672;183756;130848\r\n183756;130848;204200;119328\r\n"
              "204200;119328;225059;110112\r\n225059;110112;246240;103200\r\n246240;103200;267652;98592\r\n"
              "267652;98592;289202;96288\r\n289202;96288;310798;96288\r\n310798;96288;332348;98592\r\n"
              "332348;98592;353760;103200\r\n353760;103200;374941;110112\r\n374941;110112;395800;119328\r\n"
              "395800;119328;416244;130848\r\n416244;130848;436182;144672\r\n436182;144672;455520;160800\r\n"
              "455520;160800;474167;179232\r\n474167;179232;492031;199968\r\n492031;199968;509019;223008\r\n"
              "509019;223008;525039;248352\r\n525039;248352;540000;276000\r\n");
    for (auto variant : {spline({}, {}), spline({"71", "3"}, {"41", "1", "41", "1", "41", "1", "41", "1"})}) {
        TBothForms v = ConvertBoth(variant);
        EXPECT_EQ(v.Text, cubic.Text);
        EXPECT_EQ(v.Dxf, cubic.Dxf);
    }
}

TEST(SameDrawing, ADrawingSavedByEzdxfInAsciiAndBinaryFormConvertsToTheSameFiles) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "ezdxf missing";
    TTempFolder t;
    // Lines, curves, splines of several kinds, bulges, a block inserted as an
    // array, texts (single-line, multi-line, attributes) and a hatch; drawings
    // of release 2000 (16-bit codes, Windows-1252 text), 2018 (UTF-8 text)
    // and 12 (8-bit codes).
    const std::string script = t.Path + "make.py";
    WriteBytes(script, R"(import sys, ezdxf
for ver in ("R2000", "R2018", "R12"):
    doc = ezdxf.new(ver)
    m = doc.modelspace()
    m.add_line((0, 0), (100, 37.5))
    m.add_circle((50, 50), 12.345678901234567)
    m.add_arc((20, 60), 10, 30, 250)
    m.add_polyline2d([(0, 80, 0, 0, 0.5), (30, 90, 0, 0, -1), (60, 80)], format="xyseb")
    b = doc.blocks.new("SEAT")
    b.add_line((0, 0), (4, 3))
    ins = m.add_blockref("SEAT", (70, 10), dxfattribs={"rotation": 15})
    m.add_text("Gr\u00f6\u00dfe \u00d8 40", dxfattribs={"height": 3, "insert": (10, 20), "rotation": 30})
    t = doc.blocks.new("TAG")
    t.add_attdef("NR", (0, 0), dxfattribs={"height": 2})
    m.add_blockref("TAG", (40, 40)).add_attrib("NR", "A-17", (40, 40), dxfattribs={"height": 2})
    if ver != "R12":
        m.add_mtext("Zwei\\PZeilen {\\H2x;gro\u00df}", dxfattribs={"char_height": 2.5, "insert": (60, 30), "width": 30})
        m.add_ellipse((80, 70), (10, 4, 0), 0.5, 0, 4)
        m.add_spline([(0, 0), (10, 8), (20, -3), (30, 12)])
        m.add_open_spline([(40, 0), (50, 20), (60, -5), (70, 25)], degree=2)
        ins.grid(size=(2, 3), spacing=(5, 6))
        m.add_text("Plan 1/3", dxfattribs={"height": 2.5, "insert": (5, 5)})
        h = m.add_hatch(color=3)
        h.paths.add_polyline_path([(0, 0), (10, 0), (10, 10)], is_closed=True)
    doc.saveas(sys.argv[1] + ver + "_ascii.dxf")
    doc.saveas(sys.argv[1] + ver + "_binary.dxf", fmt="bin")
)");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + t.Path).c_str()), 0);
    for (const char* ver : {"R2000", "R2018", "R12"}) {
        std::string ascii = t.Path + ver + "_ascii.dxf", binary = t.Path + ver + "_binary.dxf";
        ASSERT_EQ(ReadBytes(binary).rfind(std::string("AutoCAD Binary DXF\r\n\x1a", 21), 0), 0u) << ver;
        TBothForms a = ConvertFile(ascii), b = ConvertFile(binary);
        EXPECT_GT(a.Text.size(), 1000u) << ver;
        EXPECT_EQ(a.Text, b.Text) << ver;
        EXPECT_EQ(a.Dxf, b.Dxf) << ver;
    }
}
