// Each figure class writes exactly its pairs.
#include <gtest/gtest.h>

#include "output/dxf_writer.h"
#include "test_helpers.h"

namespace {

TdxfExportData Base(std::int32_t color = 1) {
    TdxfExportData d;
    d.Color = color;
    return d;
}

}  // namespace

TEST(Figures, Line) {
    TkrDXFExport w;
    TdxfExportData d = Base();
    d.PenWidth = 1;
    d.Text = "_DASH";
    d.Point1 = {1, 2, 0};
    d.Point2 = {3.5f, -4, 0};
    w.AddLine(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "LINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbLine", " 62", "1", "  6", "_DASH", "370", "9", " 10", "1", " 20",
                     "2", " 11", "3.5", " 21", "-4"}));
}

TEST(Figures, FigureTakesTheCurrentLayerName) {
    TkrDXFExport w;
    w.AddLine(Base());
    EXPECT_EQ(w.Figures()[0]->LayerName, "0");
}

TEST(Figures, Pixel) {
    TkrDXFExport w;
    TdxfExportData d = Base(5);
    d.Point1 = {7, 8, 0};
    w.AddPixel(d);
    EXPECT_EQ(EntitiesOf(w), Lines({"  0", "POINT", "  5", "20", "330", "1F", "100", "AcDbEntity",
                                    "  8", "0", "100", "AcDbPoint", " 62", "5", " 10", "7", " 20",
                                    "8"}));
}

TEST(Figures, PolylineCopiesItsPart) {
    TkrDXFExport w;
    std::vector<TExpPointList> parts = {{{0, 0, 0}, {1, 0, 0}}, {{5, 5, 0}, {6, 6, 0}, {7, 5, 0}}};
    TdxfExportData d = Base(256);
    d.Parts = &parts;
    d.PartCount = 2;
    d.Closed = 1;
    w.AddPolyline(d, 1);
    parts.clear();  // the figure holds its own copy
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "LWPOLYLINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8",
                     "0", "100", "AcDbPolyline", " 90", "3", " 70", "1", " 10", "5", " 20", "5",
                     " 10", "6", " 20", "6", " 10", "7", " 20", "5"}));
}

TEST(Figures, PolylineWithoutSuchPartHasNoVertices) {
    TkrDXFExport w;
    std::vector<TExpPointList> parts = {{{0, 0, 0}}};
    TdxfExportData d = Base(0);
    d.Parts = &parts;
    d.PartCount = 1;
    w.AddPolyline(d, 1);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "LWPOLYLINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8",
                     "0", "100", "AcDbPolyline", " 90", "0", " 70", "0"}));
}

TEST(Figures, RectangleIsFourCornersClosed) {
    TkrDXFExport w;
    TdxfExportData d = Base(3);
    d.Point1 = {0, 0, 0};
    d.Point2 = {10, -5, 0};
    w.AddRectangle(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "LWPOLYLINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8",
                     "0", "100", "AcDbPolyline", " 62", "3", " 90", "4", " 70", "1", " 10", "0",
                     " 20", "0", " 10", "10", " 20", "0", " 10", "10", " 20", "-5", " 10", "0",
                     " 20", "-5"}));
}

TEST(Figures, CircleAndEllipse) {
    TkrDXFExport w;
    TdxfExportData d = Base(2);
    d.Point1 = {50.5f, -50.5f, 0};
    d.Radius = 50.5f;
    w.AddCircle(d);
    d.Point2 = {51, 0, 0};
    d.Radius = 0.5f;
    w.AddEllipse(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "CIRCLE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbCircle", " 62", "2", " 10", "50.5", " 20", "-50.5", " 40", "50.5",
                     "  0", "ELLIPSE", "  5", "21", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbEllipse", " 62", "2", " 10", "50.5", " 20", "-50.5", " 11", "51",
                     " 21", "0", " 40", "0.5"}));
}

TEST(Figures, EllipseAxisWidensTheExtents) {
    TkrDXFExport w;
    TdxfExportData d = Base();
    d.Point1 = {1, 1, 0};
    d.Point2 = {0, 300, 0};
    d.Radius = 0.5f;
    w.AddEllipse(d);
    w.SaveToString();
    EXPECT_EQ(w.Extents.MaxY, 300);
}

TEST(Figures, CircularArc) {
    TkrDXFExport w;
    TdxfExportData d = Base(7);
    d.Point1 = {0, 0, 0};
    d.Radius = 10;
    d.StartAngle = 0;
    d.EndAngle = 90;
    d.CurveKind = 0;
    w.AddArc(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "ARC", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbCircle", " 62", "7", " 10", "0", " 20", "0", " 40", "10", "100",
                     "AcDbArc", " 50", "0", " 51", "90"}));
}

TEST(Figures, EllipticArcAndFullEllipse) {
    TkrDXFExport w;
    TdxfExportData d = Base(0);
    d.Point1 = {0, 0, 0};
    d.Point2 = {20, 0, 0};
    d.Radius = 0.5f;
    d.StartAngle = 0;
    d.EndAngle = 1.5f;
    d.CurveKind = 1;
    w.AddArc(d);
    d.EndAngle = 0.0000005f;  // equal within 0.000001: a full ellipse
    w.AddArc(d);
    d.CurveKind = 2;  // other kinds write nothing
    w.AddArc(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "ELLIPSE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbEllipse", " 10", "0", " 20", "0", " 11", "20", " 21", "0", " 40",
                     "0.5", " 41", "0", " 42", "1.5",
                     "  0", "ELLIPSE", "  5", "21", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbEllipse", " 10", "0", " 20", "0", " 11", "20", " 21", "0", " 40",
                     "0.5"}));
}

TEST(Figures, MText) {
    TkrDXFExport w;
    TdxfExportData d = Base(0);
    d.Point1 = {10, -20, 0};
    d.TextHeight = 12.5f;
    d.Text = "{\\fArial|i1|b0;ABC}";
    w.AddText(d);
    d.Angle = 90;
    d.Attachment = 7;
    w.AddText(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "MTEXT", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbMText", " 10", "10", " 20", "-20", " 40", "12.5", "  1",
                     "{\\fArial|i1|b0;ABC}",
                     "  0", "MTEXT", "  5", "21", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbMText", " 10", "10", " 20", "-20", " 40", "12.5", " 50", "90",
                     " 71", "8", "  1", "{\\fArial|i1|b0;ABC}"}));
}

namespace {
std::vector<TExpPointList> Chain(int n) {
    TExpPointList l;
    for (int i = 0; i < n; ++i) l.push_back({float(i), float(i % 2), 0});
    return {l};
}
}  // namespace

TEST(Figures, BezierOfFourPointsIsOneSplineSegment) {
    TkrDXFExport w;
    auto parts = Chain(4);
    TdxfExportData d = Base(1);
    d.Parts = &parts;
    d.PartCount = 1;
    w.AddPolyBezier(d, 0);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "SPLINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbSpline", " 62", "1", "210", "0", "220", "0", "230", "1", " 70",
                     "8", " 71", "3", " 72", "8", " 73", "4", " 74", "0", " 42", "1E-7", " 43",
                     "1E-7", " 40", "0", " 40", "0", " 40", "0", " 40", "0", " 40", "1", " 40",
                     "1", " 40", "1", " 40", "1", " 10", "0", " 20", "0", " 30", "0", " 10", "1",
                     " 20", "1", " 30", "0", " 10", "2", " 20", "0", " 30", "0", " 10", "3", " 20",
                     "1", " 30", "0"}));
}

TEST(Figures, BezierOfSevenPointsDoublesTheJoint) {
    TkrDXFExport w;
    auto parts = Chain(7);
    TdxfExportData d = Base(0);
    d.Parts = &parts;
    d.PartCount = 1;
    w.AddPolyBezier(d, 0);
    std::string e = EntitiesOf(w);
    // k = 7/3 + 7 - 1 = 8 control points, 12 knots.
    EXPECT_NE(e.find(Lines({" 72", "12", " 73", "8"})), std::string::npos);
    EXPECT_NE(e.find(Lines({" 40", "0", " 40", "0", " 40", "0", " 40", "0", " 40", "0.125", " 40",
                            "0.125", " 40", "0.125", " 40", "0.125", " 40", "1", " 40", "1", " 40",
                            "1", " 40", "1", " 10"})),
              std::string::npos);
    // Point 3 twice, then 4.
    EXPECT_NE(e.find(Lines({" 10", "3", " 20", "1", " 30", "0", " 10", "3", " 20", "1", " 30", "0",
                            " 10", "4"})),
              std::string::npos);
    std::size_t count = 0;
    for (std::size_t p = e.find(" 10\r\n"); p != std::string::npos; p = e.find(" 10\r\n", p + 1))
        ++count;
    EXPECT_EQ(count, 8u);
}

TEST(Figures, BezierOfFivePointsIsAPolyline) {
    TkrDXFExport w;
    auto parts = Chain(5);
    TdxfExportData d = Base(0);
    d.Parts = &parts;
    d.PartCount = 1;
    w.AddPolyBezier(d, 0);
    std::string e = EntitiesOf(w);
    EXPECT_EQ(e.find("SPLINE"), std::string::npos);
    EXPECT_NE(e.find(Lines({"  0", "LWPOLYLINE"})), std::string::npos);
    EXPECT_NE(e.find(Lines({" 90", "5"})), std::string::npos);
}

TEST(Figures, SolidHatchOfATriangle) {
    TkrDXFExport w;
    std::vector<TExpPointList> parts = {{{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}};
    TdxfExportData d = Base(3);
    d.Parts = &parts;
    d.PartCount = 1;
    w.AddHatch(d);
    EXPECT_EQ(EntitiesOf(w),
              Lines({"  0", "HATCH", "  5", "20", "100", "AcDbEntity", "  8", "0", "100",
                     "AcDbHatch", " 62", "3", " 10", "0", " 20", "0", " 30", "0", "210", "0",
                     "220", "0", "230", "1", "  2", "SOLID", " 70", "1", " 71", "0", " 91", "1",
                     " 92", "1", " 93", "3",
                     " 72", "1", " 10", "0", " 20", "0", " 11", "10", " 21", "0",
                     " 72", "1", " 10", "10", " 20", "0", " 11", "0", " 21", "10",
                     " 72", "1", " 10", "0", " 20", "10", " 11", "0", " 21", "0",
                     " 97", "0", " 75", "0", " 76", "1", " 98", "1", " 10", "0", " 20", "0"}));
}

TEST(Figures, RepeatedPointsAreDroppedAndShortLoopsRemoved) {
    TkrDXFExport w;
    // A, B, A, B: both repeats go, the loop falls below three points.
    std::vector<TExpPointList> parts = {{{0, 0, 0}, {5, 5, 0}, {0, 0, 0}, {5, 5, 0}}, {{1, 1, 0}}};
    TdxfExportData d = Base(3);
    d.Parts = &parts;
    d.PartCount = 2;
    w.AddHatch(d);
    auto* h = dynamic_cast<const TkrExpDXFHatch*>(w.Figures()[0].get());
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(h->Loops.empty());
    EXPECT_EQ(h->BoundaryCount, 2);
    EXPECT_EQ(EntitiesOf(w), "");
}

TEST(Figures, PatternHatchesByFillStyle) {
    struct Case { std::uint8_t style; const char* name; std::string lines; };
    const Case cases[] = {
        {2, "LINE", Lines({" 78", "1", " 53", "0", " 43", "0", " 44", "0", " 45", "0", " 46", "15", " 79", "0"})},
        {3, "LINE", Lines({" 78", "1", " 53", "90", " 43", "0", " 44", "0", " 45", "-15", " 46", "0", " 79", "0"})},
        {4, "ANSI31", Lines({" 78", "1", " 53", "135", " 43", "0", " 44", "0", " 45", "-15", " 46", "-15", " 79", "0"})},
        {5, "ANSI31", Lines({" 78", "1", " 53", "45", " 43", "0", " 44", "0", " 45", "-15", " 46", "15", " 79", "0"})},
        {6, "NET", Lines({" 78", "2", " 53", "0", " 43", "0", " 44", "0", " 45", "0", " 46", "15", " 79", "0",
                          " 53", "90", " 43", "0", " 44", "0", " 45", "-15", " 46", "15", " 79", "0"})},
        {7, "ANSI37", Lines({" 78", "2", " 53", "45", " 43", "0", " 44", "0", " 45", "-15", " 46", "15", " 79", "0",
                             " 53", "135", " 43", "0", " 44", "0", " 45", "-15", " 46", "-15", " 79", "0"})},
    };
    for (const Case& c : cases) {
        TkrDXFExport w;
        TdxfExportData d = Base(0);
        d.FillStyle = c.style;
        d.CurveKind = 1;
        d.Point1 = {5, 5, 0};
        d.Radius = 2;
        d.StartAngle = 0;
        d.EndAngle = 360;
        w.AddHatch(d);
        std::string e = EntitiesOf(w);
        std::string expected =
            Lines({"  2", c.name, " 70", "0", " 71", "0", " 91", "1", " 92", "1", " 93", "1", " 72",
                   "2", " 10", "5", " 20", "5", " 40", "2", " 50", "0", " 51", "360", " 73", "1",
                   " 97", "0", " 75", "0", " 76", "1", " 52", "0", " 41", "1", " 77", "0"}) +
            c.lines + Lines({" 98", "1", " 10", "0", " 20", "0"});
        EXPECT_NE(e.find(expected), std::string::npos) << int(c.style) << "\n" << e;
    }
}

TEST(Figures, EllipseHatchBoundary) {
    TkrDXFExport w;
    TdxfExportData d = Base(0);
    d.CurveKind = 2;
    d.Point1 = {1, 2, 0};
    d.Point2 = {0, 8, 0};
    d.Radius = 0.5f;
    d.EndAngle = 360;
    w.AddHatch(d);
    EXPECT_NE(EntitiesOf(w).find(Lines({" 91", "1", " 92", "1", " 93", "1", " 72", "3", " 10", "1",
                                        " 20", "2", " 11", "0", " 21", "8", " 40", "0.5", " 50",
                                        "0", " 51", "360", " 73", "1", " 97", "0"})),
              std::string::npos);
}

TEST(Figures, Layer) {
    TkrExpDXFLayer l("0");
    EXPECT_EQ(l.Flags, 0);
    EXPECT_EQ(l.Color, 7);
    EXPECT_EQ(l.LineTypeName, "Continuous");
    EXPECT_EQ(l.LineWeight, -3);
}
