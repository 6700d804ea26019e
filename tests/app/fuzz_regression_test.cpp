// Inputs the fuzz targets found, kept under tests/data/fuzz/: each is loaded
// and converted as the whole conversion does (every layout, simplified DXF
// in memory), and its outcome is asserted.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "model/entities/curves.h"
#include "model/errors.h"
#include "render/dxf_image.h"

namespace {
std::string FuzzInput(const std::string& name) {
    std::ifstream f(std::string(DXF_TEST_DATA) + "/fuzz/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}
}  // namespace

// 220 bytes: an ARC whose end angle is 3.9e34 degrees. Reducing it by
// subtracting 360 * round(a / 360) left an error of about 1e18 degrees, so
// the arc was made of a million points (two seconds for 220 bytes). The
// exact reduction gives the 4.6e33-degree remainder's angle in [-180, 180].
TEST(FuzzRegression, ArcWithAHugeEndAngleIsAnOrdinaryArc) {
    std::string text = FuzzInput("arc_huge_end_angle.dxf");
    ASSERT_EQ(text.size(), 220u);
    auto t0 = std::chrono::steady_clock::now();
    TkrDXFImage g;
    // The file ends in a read error after the arc; the arc was finished
    // (its points made) before it.
    try {
        g.LoadFromText(text);
        FAIL() << "a read error was expected";
    } catch (const EkrError& e) {
        EXPECT_STREQ(e.what(), "DXF read error on line 25: S\r\n'S' ist kein gültiger Integerwert");
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(s, 1.0);  // it was 2 s in an optimised build
}

TEST(FuzzRegression, HugeArcAnglesReduceExactly) {
    // 3.9e34 = 360 * n + r exactly for the float nearest 3.9e34; the arc's
    // angles lie in [-180, 180] after the reduction whatever their size.
    TkrDXFConverter conv;
    conv.LoadFromText("0\nSECTION\n2\nENTITIES\n0\nARC\n10\n0\n20\n0\n40\n1\n50\n1e30\n51\n3.9e34\n0\nENDSEC\n0\nEOF\n");
    auto* arc = static_cast<TkrDXFArc*>(conv.EntityAt(0));
    TArcParams p = arc->GetArcParams();
    EXPECT_GE(p.StartAngle, -180.0);
    EXPECT_LE(p.StartAngle, 180.0);
    EXPECT_GT(p.EndAngle, p.StartAngle);
    EXPECT_LE(p.EndAngle - p.StartAngle, 360.0);
    EXPECT_DOUBLE_EQ(p.StartAngle, std::remainder(double(1e30f), 360.0));
    // At most a full turn: 16 points per half turn.
    EXPECT_LE(arc->VertexCount(), 33);
}

// 1434 bytes: an insert (an MTEXT) inside the LAYER table whose block lookup
// was deferred. Boxing the table finished the insert, which made its layer
// "0" on demand in that very table while the table's children were walked:
// the list grew under the walk (a use after free under the sanitizer). The
// walk goes by index now. The file ends in a read error further on. (Line 40,
// the Y of a viewport's centre, read "EC" as the fuzzer left it; viewports
// read their groups as numbers now, so it holds "00" to keep the file on its
// way to the insert.)
TEST(FuzzRegression, InsertInTheLayerTableThatMakesALayerWhileTheTableIsBoxed) {
    std::string text = FuzzInput("insert_in_layer_table.dxf");
    ASSERT_EQ(text.size(), 1434u);
    TkrDXFImage g;
    try {
        g.LoadFromText(text);
        FAIL() << "a read error was expected";
    } catch (const EkrError& e) {
        EXPECT_STREQ(e.what(), "DXF read error on line 358: 71RCLEION\r\n'71RCLEION' ist kein gültiger Integerwert");
    }
}
