// Geometry whose coordinates are not finite (binary DXF stores NaN and
// infinities as they are, an ASCII value can overflow a float), or that maps
// outside the 32-bit range of the target, is left out of the extents and of
// the drawing with one warning naming the count, whatever the entity's kind:
// it never moves the rest of the drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dxf_snippets.h"
#include "model/binary_dxf.h"
#include "output/dxf_writer.h"
#include "render/dxf_image.h"
#include "render/render_helpers.h"

namespace {

// A binary DXF file, group by group (16-bit codes).
struct TBinaryDxf {
    std::string Out = std::string(kBinaryDxfSentinel);
    void Code(int c) {
        Out += char(c & 0xFF);
        Out += char(c >> 8);
    }
    TBinaryDxf& S(int c, const std::string& v) {
        Code(c);
        Out += v;
        Out += '\0';
        return *this;
    }
    TBinaryDxf& R(int c, double v) {
        Code(c);
        char b[8];
        std::memcpy(b, &v, 8);
        Out.append(b, 8);
        return *this;
    }
    TBinaryDxf& I(int c, int v, int bytes) {
        Code(c);
        for (int i = 0; i < bytes; ++i) Out += char((unsigned(v) >> (8 * i)) & 0xFF);
        return *this;
    }
};

// The line (0, 0)-(100, 50): with its margins 125 x 62.5 wide, drawn into
// (0, 0, 600000, 300000) at 4800 target units a unit, centred.
const std::vector<std::string> kLineAlone = {"60000;270000;540000;30000"};

void AddLine(TBinaryDxf& b) { b.S(0, "LINE").S(8, "0").R(10, 0).R(20, 0).R(11, 100).R(21, 50); }

// One entity of each kind with the value v as one of its x coordinates.
void AddBadEntities(TBinaryDxf& b, double v) {
    b.S(0, "TRACE").S(8, "0").R(10, 0).R(20, 0).R(11, v).R(21, 0).R(12, 0).R(22, 1).R(13, 1).R(23, 1);
    b.S(0, "LWPOLYLINE").S(8, "0").I(90, 2, 4).R(10, 0).R(20, 0).R(10, v).R(20, 5);
    b.S(0, "SPLINE").S(8, "0").I(70, 8, 2).I(71, 1, 2).I(72, 4, 2).I(73, 2, 2);
    b.R(40, 0).R(40, 0).R(40, 1).R(40, 1).R(10, 0).R(20, 0).R(10, v).R(20, 1);
    b.S(0, "HATCH").S(8, "0").S(2, "SOLID").I(70, 1, 2).I(91, 1, 4).I(92, 2, 4).I(72, 1, 2).I(73, 1, 2);
    b.I(93, 3, 4).R(10, 0).R(20, 0).R(10, v).R(20, 0).R(10, 0).R(20, 1).I(97, 0, 4).I(75, 0, 2).I(76, 1, 2);
}

}  // namespace

TEST(UnsoundGeometry, NaNAndInfinitiesOfAnyKindLeaveTheRestOfTheDrawingInPlace) {
    // Before, one such entity made the extents a unit box: the line came out
    // as 300000;300000;60300000;-29700000 and the bad ends at 2147483647.
    for (double v : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL, 1e39}) {
        SCOPED_TRACE(v);
        TBinaryDxf b;
        b.S(0, "SECTION").S(2, "ENTITIES");
        AddBadEntities(b, v);
        AddLine(b);
        b.S(0, "ENDSEC").S(0, "EOF");
        TkrDXFImage g;
        EXPECT_EQ(rendertest::DrawText(g, b.Out), kLineAlone);
        // Counted once each while the extents were computed.
        EXPECT_EQ(g.Converter->Bounds.UnsoundEntities, 4u);
        EXPECT_EQ(g.Converter->Bounds.OutOfRange, 0u);
    }
}

TEST(UnsoundGeometry, AnOverflowingAsciiValueInABlockLeavesOnlyThatEntityOut) {
    // 1e39 overflows a float; the polyline is screened where the block is
    // boxed, and the insert draws the block's line alone.
    std::string dxf = dxftest::PipeDxf(
        "0|SECTION|2|BLOCKS|0|BLOCK|2|B|10|0|20|0|0|LWPOLYLINE|8|0|90|2|10|0|20|0|10|1e39|20|5|"
        "0|LINE|8|0|10|0|20|0|11|100|21|50|0|ENDBLK|0|ENDSEC|"
        "0|SECTION|2|ENTITIES|0|INSERT|8|0|2|B|10|0|20|0|0|ENDSEC|0|EOF");
    TkrDXFImage g;
    EXPECT_EQ(rendertest::DrawText(g, dxf), kLineAlone);
    EXPECT_EQ(g.Converter->Bounds.UnsoundEntities, 1u);
}

TEST(UnsoundGeometry, HugeTextsAndArraysAreLeftOutNotDrawnAtTheLimits) {
    // A text 1e30 high and a multi-line text 1e30 high (whose box is beyond
    // the float range of a box), and an array of three copies 1e38 apart,
    // are left out; before, the texts were written 625000000 high and the
    // copies at 2147483647. In simplified DXF form only the line remains.
    std::string dxf = dxftest::PipeDxf(
        "0|SECTION|2|BLOCKS|0|BLOCK|2|B|10|0|20|0|0|LINE|8|0|10|0|20|0|11|1|21|1|0|ENDBLK|0|ENDSEC|"
        "0|SECTION|2|ENTITIES|0|LINE|8|0|10|0|20|0|11|100|21|50|"
        "0|TEXT|8|0|10|0|20|0|40|1e30|1|Hello|0|MTEXT|8|0|10|0|20|0|40|1e30|1|Hello|"
        "0|INSERT|8|0|2|B|10|0|20|0|70|3|44|1e38|0|ENDSEC|0|EOF");
    TkrDXFImage g;
    EXPECT_EQ(rendertest::DrawText(g, dxf), kLineAlone);
    EXPECT_EQ(g.Converter->Bounds.UnsoundEntities, 3u);
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 300000});
    sink.Exporter->FinishDrawing();
    const std::string out = sink.Exporter->SaveToString();
    const size_t from = out.find("ENTITIES"), to = out.find("ENDSEC", from);
    const std::string ents = out.substr(from, to - from);
    EXPECT_EQ(ents.find("MTEXT"), std::string::npos);
    EXPECT_NE(ents.find("\nLINE\r\n"), std::string::npos);
    EXPECT_EQ(ents.find("\nLINE\r\n"), ents.rfind("\nLINE\r\n")) << "one line";
}

TEST(UnsoundGeometry, WhatMapsOutsideTheTargetRangeIsLeftOutWithTheSameWarning) {
    // A point far outside the extents (points count for none) maps outside
    // the 32-bit range: in simplified DXF form it is left out, counted per
    // drawing, instead of being written at 2147483647.
    std::string dxf = dxftest::PipeDxf(
        "0|SECTION|2|ENTITIES|0|LINE|8|0|10|0|20|0|11|100|21|50|0|POINT|8|0|10|1e15|20|0|0|ENDSEC|0|EOF");
    TkrDXFImage g;
    g.LoadFromText(dxf);
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 300000});
    sink.Exporter->FinishDrawing();
    EXPECT_EQ(sink.Exporter->SaveToString().find("\nPOINT\r\n"), std::string::npos);
    EXPECT_EQ(g.Converter->Bounds.UnsoundEntities, 0u);
    EXPECT_EQ(g.Converter->Bounds.OutOfRange, 1u);
    // One message for both kinds.
    g.Converter->Bounds.UnsoundEntities = 2;
    ASSERT_EQ(g.Converter->Bounds.Messages().size(), 1u);
    EXPECT_EQ(g.Converter->Bounds.Messages()[0],
              "3 entities left out: coordinates that are not finite numbers (or lie beyond 1e20) or that map "
              "outside the 32-bit range of the target");
}

TEST(UnsoundGeometry, ATextWhoseHeightMapsOutsideTheRangeIsNotWritten) {
    // A viewport that shows a text 1 high through a view 1e-6 high maps its
    // height far beyond 2^31 target units; the text, whose start point (its
    // top-left corner, aligned at the top) lies in the middle of the frame,
    // is left out (before, its MTEXT was written 625000000 high). The
    // layout's own line is drawn.
    std::string dxf = dxftest::PipeDxf(
        "0|SECTION|2|TABLES|0|TABLE|2|BLOCK_RECORD|0|BLOCK_RECORD|5|A0|2|*Paper_Space|0|ENDTAB|0|ENDSEC|"
        "0|SECTION|2|BLOCKS|0|BLOCK|2|*Paper_Space|330|A0|0|LINE|8|0|10|0|20|0|11|10|21|10|"
        "0|VIEWPORT|8|0|5|100|10|5|20|5|40|10|41|10|12|0|22|0|45|1e-6|68|1|69|2|0|ENDBLK|0|ENDSEC|"
        "0|SECTION|2|ENTITIES|0|TEXT|8|0|10|0|20|0|11|0|21|0|73|3|40|1|1|Hello|0|ENDSEC|"
        "0|SECTION|2|OBJECTS|0|LAYOUT|1|Paper|330|A0|0|ENDSEC|0|EOF");
    TkrDXFImage g;
    g.LoadFromText(dxf);
    ASSERT_EQ(g.LayoutCount(), 2);
    g.SetCurrentLayout(g.GetLayout(1));
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, {0, 0, 600000, 600000});
    sink.Exporter->FinishDrawing();
    const std::string out = sink.Exporter->SaveToString();
    EXPECT_EQ(out.find("MTEXT"), std::string::npos);
    EXPECT_NE(out.find("\nLINE\r\n"), std::string::npos);
    EXPECT_EQ(g.Converter->Bounds.OutOfRange, 1u);
}
