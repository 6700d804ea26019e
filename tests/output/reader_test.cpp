// Reading a recorded drawing back into figures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/record_reader.h"
#include "output/world_point.h"
#include "test_helpers.h"

namespace {

EMRCREATEPEN Pen(std::uint32_t index, std::uint32_t color, std::int32_t width = 0,
                 std::uint32_t style = 0) {
    EMRCREATEPEN r;
    r.ihPen = index;
    r.lopn.lopnStyle = style;
    r.lopn.lopnWidth = {width, 0};
    r.lopn.lopnColor = color;
    return r;
}

EMRCREATEBRUSHINDIRECT Brush(std::uint32_t index, std::uint32_t color,
                             std::uint32_t style = BS_SOLID, std::uint32_t hatch = 0) {
    EMRCREATEBRUSHINDIRECT r;
    r.ihBrush = index;
    r.lb = {style, color, hatch};
    return r;
}

EMRSELECTOBJECT Select(std::uint32_t index) { return {EmrType::EMR_SELECTOBJECT, index}; }
EMRSELECTOBJECT Delete(std::uint32_t index) { return {EmrType::EMR_DELETEOBJECT, index}; }
EMRLINETO MoveTo(int x, int y) { return {EmrType::EMR_MOVETOEX, {x, y}}; }
EMRLINETO LineTo(int x, int y) { return {EmrType::EMR_LINETO, {x, y}}; }

EMRPOLYLINE16 Poly16(EmrType type, std::vector<POINTS> pts) {
    EMRPOLYLINE16 r;
    r.iType = type;
    r.cpts = static_cast<std::uint32_t>(pts.size());
    r.apts = std::move(pts);
    return r;
}

EMREXTCREATEFONTINDIRECTW Font(std::uint32_t index, const char16_t* face, int height,
                               bool bold = false, bool italic = false, bool underline = false,
                               int escapement = 0) {
    EMREXTCREATEFONTINDIRECTW r;
    r.ihFont = index;
    r.elfw.lfHeight = height;
    r.elfw.lfWeight = bold ? 700 : 400;
    r.elfw.lfItalic = italic;
    r.elfw.lfUnderline = underline;
    r.elfw.lfEscapement = escapement;
    for (int i = 0; face[i] && i < 31; ++i) r.elfw.lfFaceName[i] = face[i];
    return r;
}

EMREXTTEXTOUTW TextRec(int x, int y, std::u16string s) {
    EMREXTTEXTOUTW r;
    r.emrtext.ptlReference = {x, y};
    r.emrtext.nChars = static_cast<std::uint32_t>(s.size());
    r.String = std::move(s);
    return r;
}

struct Fixture {
    TkrDXFExport w;
    void Load(TEmfRecording recs) { w.LoadFromMetafile(recs); }
    std::string Entities() { return EntitiesOf(w); }
    std::string File() { return w.SaveToString(); }
    TkrMetafile& R() { return *w.Reader(); }
};

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

TEST(ColourIndex, TableOfExactColours) {
    EXPECT_EQ(ColorToACI(0x000000), 7);
    EXPECT_EQ(ColorToACI(0x000080), 14);
    EXPECT_EQ(ColorToACI(0x0000FF), 1);
    EXPECT_EQ(ColorToACI(0x008000), 74);
    EXPECT_EQ(ColorToACI(0x008080), 44);
    EXPECT_EQ(ColorToACI(0x00FF00), 3);
    EXPECT_EQ(ColorToACI(0x00FFFF), 2);
    EXPECT_EQ(ColorToACI(0x800000), 154);
    EXPECT_EQ(ColorToACI(0x800080), 224);
    EXPECT_EQ(ColorToACI(0x808000), 135);
    EXPECT_EQ(ColorToACI(0x808080), 8);
    EXPECT_EQ(ColorToACI(0xC0C0C0), 9);
    EXPECT_EQ(ColorToACI(0xFF0000), 5);
    EXPECT_EQ(ColorToACI(0xFF00FF), 6);
    EXPECT_EQ(ColorToACI(0xFFFF00), 4);
    EXPECT_EQ(ColorToACI(0xFFFFFF), 255);
    EXPECT_EQ(ColorToACI(0x1FFFFFFF), 0);
}

TEST(ColourIndex, OtherColoursGoThroughTheIndexTable) {
    EXPECT_EQ(ColorToACI(0x0000FE), 0);    // entry 7
    EXPECT_EQ(ColorToACI(0x404040), 1);    // entry 2 + 16 + 64 = 82
    EXPECT_EQ(ColorToACI(0x00E0E0), 50);   // 7 + 56 = 63
    EXPECT_EQ(ColorToACI(0xC0E0E0), 254);  // 7 + 56 + 192 = 255
    EXPECT_EQ(ColorToACI(0x000040), 3);    // entry 2
    // A palette-relative colour keeps its flag and is not an exact match:
    // 0x020000FF gives entry 7, i.e. 0.
    EXPECT_EQ(ColorToACI(0x020000FF), 0);
}

TEST(ReaderObjects, NullPenLineOnlyMoves) {
    Fixture f;
    f.Load({EMRSELECTOBJECT(Select(NULL_PEN)), MoveTo(0, 0), LineTo(10, 20)});
    EXPECT_TRUE(f.w.Figures().empty());
    EXPECT_EQ(f.R().CurrentPos, (TPoint{10, 20}));
}

TEST(ReaderObjects, NoPenLineOnlyMovesAndNullStyleToo) {
    Fixture f;
    f.Load({LineTo(3, 4), Pen(1, 0xFF, 0, 5), Select(1), LineTo(5, 6)});
    EXPECT_TRUE(f.w.Figures().empty());
    EXPECT_EQ(f.R().CurrentPos, (TPoint{5, 6}));
}

TEST(ReaderObjects, LineWithPenGivesOneLine) {
    Fixture f;
    f.Load({Pen(1, 0x0000FF, 2), Select(1), MoveTo(10, 20), LineTo(30, 40)});
    EXPECT_EQ(f.Entities(),
              Lines({"  0", "LINE", "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", "0",
                     "100", "AcDbLine", " 62", "1", "370", "20", " 10", "10", " 20", "-20", " 11",
                     "30", " 21", "-40"}));
}

TEST(ReaderObjects, DotStyleDefinesTheLineTypeOnce) {
    Fixture f;
    f.Load({Pen(1, 0, 0, 2), Select(1), MoveTo(0, 0), LineTo(1, 0), LineTo(2, 0), LineTo(3, 0)});
    std::string file = f.File();
    EXPECT_EQ(Count(LineTypesOf(file), "  0\r\nLTYPE\r\n"), 1u);
    EXPECT_NE(LineTypesOf(file).find(Lines({"  2", "_DOT", "  3", "", " 70", "0", " 72", "65",
                                            " 73", "2", " 40", "4", " 49", "2", " 74", "0", " 49",
                                            "-2", " 74", "0"})),
              std::string::npos);
    EXPECT_EQ(Count(EntitiesOf(file), "  6\r\n_DOT\r\n"), 3u);
    EXPECT_EQ(Count(EntitiesOf(file), "  0\r\nLINE\r\n"), 3u);
}

TEST(ReaderObjects, DashStylesAndTheirTotals) {
    Fixture f;
    f.Load({Pen(1, 0, 0, 1), Select(1), LineTo(1, 0), Pen(2, 0, 0, 3), Select(2), LineTo(2, 0),
            Pen(3, 0, 0, 4), Select(3), LineTo(3, 0), Pen(4, 0, 0, 9), Select(4), LineTo(4, 0)});
    std::string lt = LineTypesOf(f.File());
    EXPECT_NE(lt.find(Lines({"  2", "_DASH", "  3", "", " 70", "0", " 72", "65", " 73", "2",
                             " 40", "10"})),
              std::string::npos);
    EXPECT_NE(lt.find(Lines({"  2", "_DASHDOT", "  3", "", " 70", "0", " 72", "65", " 73", "4",
                             " 40", "14"})),
              std::string::npos);
    EXPECT_NE(lt.find(Lines({"  2", "_DASHDOTDOT", "  3", "", " 70", "0", " 72", "65", " 73",
                             "6", " 40", "18"})),
              std::string::npos);
    // Style 9 does not add a second "_DASH" record and draws without a type.
    EXPECT_EQ(Count(lt, "_DASH\r\n"), 1u);
    EXPECT_EQ(f.w.Figures()[3]->Data.Text, "");
}

TEST(ReaderObjects, SecondCreateOnAnIndexReplacesTheFirst) {
    Fixture f;
    f.Load({Pen(1, 0x0000FF), Select(1), Pen(1, 0x00FF00)});
    // The selection of the destroyed pen is dropped.
    EXPECT_EQ(f.R().CurrentPen(), nullptr);
    auto* pen = dynamic_cast<const TkrPen*>(f.R().Object(1));
    ASSERT_NE(pen, nullptr);
    EXPECT_EQ(pen->Color, 3);
}

TEST(ReaderObjects, SelectAndDelete) {
    Fixture f;
    f.Load({Pen(2, 0xFF0000, 3), Brush(3, 0x00FF00), Select(2), Select(3), Select(7),
            Select(99)});
    ASSERT_NE(f.R().CurrentPen(), nullptr);
    EXPECT_EQ(f.R().CurrentPen()->Color, 5);
    EXPECT_EQ(f.R().CurrentPen()->Width, 3);
    ASSERT_NE(f.R().CurrentBrush(), nullptr);
    EXPECT_EQ(f.R().CurrentBrush()->Color, 3);
    f.w.Reader()->EnumerateRecord(Delete(2));
    EXPECT_EQ(f.R().CurrentPen(), nullptr);
    EXPECT_EQ(f.R().Object(2), nullptr);
    f.w.Reader()->EnumerateRecord(Delete(500));  // beyond the table: nothing
}

TEST(ReaderObjects, SavedObjectsAreNotDeleted) {
    Fixture f;
    f.Load({Pen(1, 0xFF), Select(1), EMRSAVEDC{}, Delete(1)});
    EXPECT_NE(f.R().Object(1), nullptr);
    EXPECT_NE(f.R().CurrentPen(), nullptr);
}

TEST(ReaderObjects, StockObjects) {
    Fixture f;
    f.Load({Select(WHITE_PEN)});
    EXPECT_EQ(f.R().CurrentPen()->Color, 255);
    EXPECT_EQ(f.R().CurrentPen()->Width, 0);
    const std::pair<std::uint32_t, int> brushes[] = {
        {WHITE_BRUSH, 255}, {LTGRAY_BRUSH, 254}, {GRAY_BRUSH, 8}, {DKGRAY_BRUSH, 251},
        {BLACK_BRUSH, 7}};
    for (auto [index, colour] : brushes) {
        f.w.Reader()->EnumerateRecord(Select(index));
        ASSERT_NE(f.R().CurrentBrush(), nullptr);
        EXPECT_EQ(f.R().CurrentBrush()->Color, colour);
        EXPECT_EQ(f.R().CurrentBrush()->FillStyle, 0);
    }
    f.w.Reader()->EnumerateRecord(Select(BLACK_PEN));
    EXPECT_EQ(f.R().CurrentPen()->Color, 7);
    f.w.Reader()->EnumerateRecord(Select(SYSTEM_FONT));  // other stock: nothing
    EXPECT_EQ(f.R().CurrentFont(), nullptr);
    f.w.Reader()->EnumerateRecord(Select(NULL_BRUSH));
    EXPECT_EQ(f.R().CurrentBrush(), nullptr);
    f.w.Reader()->EnumerateRecord(Select(NULL_PEN));
    EXPECT_EQ(f.R().CurrentPen(), nullptr);
}

TEST(ReaderObjects, BrushStyles) {
    EXPECT_EQ(TkrBrush(Brush(1, 0, BS_HOLLOW)).FillStyle, 0);
    EXPECT_EQ(TkrBrush(Brush(1, 0, BS_HATCHED, HS_HORIZONTAL)).FillStyle, 2);
    EXPECT_EQ(TkrBrush(Brush(1, 0, BS_HATCHED, HS_DIAGCROSS)).FillStyle, 7);
    EMREXTCREATEPEN ext;
    ext.elp.elpPenStyle = PS_GEOMETRIC | PS_ENDCAP_FLAT | 2;
    ext.elp.elpWidth = 12;
    ext.elp.elpColor = 0xFF;
    TkrExtPen p(ext);
    EXPECT_EQ(p.Style, 2);
    EXPECT_EQ(p.Width, 12);
    EXPECT_EQ(p.Color, 1);
}

TEST(ReaderObjects, AbsurdObjectIndexIsRefused) {
    Fixture f;
    EXPECT_THROW(f.Load({Pen(0x7FFFFFFF, 0)}), EMalformedRecord);
}

TEST(ReaderShapes, SameColourSolidPolygonIsOnlyAHatch) {
    Fixture f;
    f.Load({Pen(1, 0xFF), Brush(2, 0xFF), Select(1), Select(2),
            Poly16(EmrType::EMR_POLYGON16, {{0, 0}, {10, 0}, {10, 10}})});
    std::string e = f.Entities();
    EXPECT_EQ(Count(e, "HATCH\r\n"), 1u);
    EXPECT_NE(e.find(Lines({"  2", "SOLID", " 70", "1"})), std::string::npos);
    EXPECT_EQ(Count(e, "LWPOLYLINE"), 0u);
}

TEST(ReaderShapes, DifferentPenColourAddsTheClosedOutline) {
    Fixture f;
    f.Load({Pen(1, 0xFF), Brush(2, 0xFF00), Select(1), Select(2),
            Poly16(EmrType::EMR_POLYGON16, {{0, 0}, {10, 0}, {10, 10}})});
    std::string e = f.Entities();
    auto h = e.find("HATCH");
    auto p = e.find("LWPOLYLINE");
    ASSERT_NE(h, std::string::npos);
    ASSERT_NE(p, std::string::npos);
    EXPECT_LT(h, p);
    EXPECT_NE(e.find(Lines({" 62", "1", " 90", "3", " 70", "1"})), std::string::npos);
}

TEST(ReaderShapes, OpenPolylinesBeziersAndPositionMoves) {
    Fixture f;
    EMRPOLYLINE poly;
    poly.iType = EmrType::EMR_POLYLINETO;
    poly.cptl = 2;
    poly.aptl = {{5, 5}, {70000, -3}};
    f.Load({Pen(1, 0), Select(1), Brush(2, 0xFF), Select(2),
            Poly16(EmrType::EMR_POLYLINE16, {{0, 0}, {-1, -2}}),
            Poly16(EmrType::EMR_POLYBEZIER16, {{0, 0}, {1, 1}, {2, 1}, {3, 0}}), poly,
            Poly16(EmrType::EMR_POLYBEZIERTO16, {{0, 0}, {1, 1}, {2, 1}, {-4, 9}})});
    ASSERT_EQ(f.w.Figures().size(), 4u);  // open records: no hatch
    EXPECT_NE(dynamic_cast<const TkrExpDXFPolyBezier*>(f.w.Figures()[1].get()), nullptr);
    EXPECT_NE(dynamic_cast<const TkrExpDXFPolyBezier*>(f.w.Figures()[3].get()), nullptr);
    auto* pl = dynamic_cast<const TkrExpDXFPolyline*>(f.w.Figures()[2].get());
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(pl->Points[1], (TExpPoint3F{70000, 3, 0}));
    EXPECT_EQ(f.R().CurrentPos, (TPoint{-4, 9}));
    auto* first = dynamic_cast<const TkrExpDXFPolyline*>(f.w.Figures()[0].get());
    EXPECT_EQ(first->Points[1], (TExpPoint3F{-1, 2, 0}));  // sign-extended, Y flipped
    std::string e = f.Entities();
    EXPECT_EQ(Count(e, "SPLINE\r\n"), 2u);
}

TEST(ReaderShapes, PolyPolygonGivesOneHatchAndAnOutlinePerPart) {
    Fixture f;
    EMRPOLYPOLYLINE16 pp;
    pp.iType = EmrType::EMR_POLYPOLYGON16;
    pp.nPolys = 2;
    pp.cpts = 7;
    pp.aPolyCounts = {3, 4};
    pp.apts = {{0, 0}, {10, 0}, {0, 10}, {20, 20}, {30, 20}, {30, 30}, {20, 30}};
    f.Load({Pen(1, 0xFF), Brush(2, 0xFF0000), Select(1), Select(2), pp});
    ASSERT_EQ(f.w.Figures().size(), 3u);
    auto* h = dynamic_cast<const TkrExpDXFHatch*>(f.w.Figures()[0].get());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Loops.size(), 2u);
    EXPECT_EQ(h->Data.Color, 5);
    auto* second = dynamic_cast<const TkrExpDXFPolyline*>(f.w.Figures()[2].get());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Points.size(), 4u);
    EXPECT_EQ(second->Data.Color, 1);
    // A polypolyline: outlines only.
    Fixture g;
    pp.iType = EmrType::EMR_POLYPOLYLINE16;
    g.Load({Pen(1, 0xFF), Brush(2, 0xFF0000), Select(1), Select(2), pp});
    EXPECT_EQ(g.w.Figures().size(), 2u);
    // The 32-bit form (what a filled area records whose coordinates pass 16
    // bits): the same hatch of both loops.
    Fixture l;
    EMRPOLYPOLYLINE pp32;
    pp32.iType = EmrType::EMR_POLYPOLYGON;
    pp32.nPolys = 2;
    pp32.cptl = 7;
    pp32.aPolyCounts = {3, 4};
    pp32.aptl = {{0, 0}, {100000, 0}, {0, 10}, {20, 20}, {30, 20}, {30, 30}, {20, 30}};
    l.Load({Pen(1, 0xFF), Brush(2, 0xFF0000), Select(1), Select(2), pp32});
    ASSERT_EQ(l.w.Figures().size(), 3u);
    auto* h32 = dynamic_cast<const TkrExpDXFHatch*>(l.w.Figures()[0].get());
    ASSERT_NE(h32, nullptr);
    ASSERT_EQ(h32->Loops.size(), 2u);
    EXPECT_EQ(h32->Loops[0][1], (TExpPoint3F{100000, 0, 0}));
    pp32.cptl = 8;  // more points claimed than carried
    EXPECT_THROW(l.Load({pp32}), EMalformedRecord);
}

TEST(ReaderShapes, AbsurdCountsAreMalformed) {
    Fixture f;
    EMRPOLYLINE16 huge = Poly16(EmrType::EMR_POLYGON16, {{0, 0}});
    huge.cpts = 0x80000000u;  // claims 2^31 points, carries one
    EXPECT_THROW(f.Load({Select(BLACK_PEN), huge}), EMalformedRecord);
    EMRPOLYPOLYLINE16 pp;
    pp.iType = EmrType::EMR_POLYPOLYGON16;
    pp.nPolys = 2;
    pp.cpts = 3;
    pp.aPolyCounts = {0xFFFFFFFFu, 4};  // counts exceed the points carried
    pp.apts = {{0, 0}, {1, 0}, {0, 1}};
    EXPECT_THROW(f.Load({pp}), EMalformedRecord);
    pp.aPolyCounts = {3};  // fewer counts than polygons
    EXPECT_THROW(f.Load({pp}), EMalformedRecord);
    // A record whose kind does not fit its layout.
    EMRRECTANGLE wrong{EmrType::EMR_LINETO, {}};
    EXPECT_THROW(f.Load({wrong}), EMalformedRecord);
}

TEST(ReaderShapes, RectangleWithBrushAndPen) {
    Fixture f;
    f.Load({Pen(1, 0xFF), Brush(2, 0xFFFF00), Select(1), Select(2),
            EMRRECTANGLE{EmrType::EMR_RECTANGLE, {0, 0, 10, 5}}});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    auto* h = dynamic_cast<const TkrExpDXFHatch*>(f.w.Figures()[0].get());
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->Loops.size(), 1u);
    EXPECT_EQ(h->Loops[0][2], (TExpPoint3F{10, -5, 0}));
    EXPECT_EQ(h->Data.Color, 4);
    auto* r = dynamic_cast<const TkrExpDXFRectangle*>(f.w.Figures()[1].get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Data.Point2, (TExpPoint3F{10, -5, 0}));
    EXPECT_EQ(r->Data.Color, 1);
}

TEST(ReaderShapes, RoundRectIsAChamferedPolylineEvenWithoutPen) {
    Fixture f;
    EMRROUNDRECT rr;
    rr.rclBox = {0, 0, 100, 50};
    rr.szlCorner = {20, 200};
    f.Load({rr});
    ASSERT_EQ(f.w.Figures().size(), 1u);
    auto* p = dynamic_cast<const TkrExpDXFPolyline*>(f.w.Figures()[0].get());
    ASSERT_NE(p, nullptr);
    // d = min(50, 10) = 10, f = min(25, 100) = 25.
    const TExpPointList expected = {{10, 0, 0},  {90, 0, 0},   {100, -25, 0}, {100, -25, 0},
                                    {90, -50, 0}, {10, -50, 0}, {0, -25, 0},   {0, -25, 0}};
    EXPECT_EQ(p->Points, expected);
    EXPECT_EQ(p->Data.Closed, 1);
}

TEST(ReaderShapes, EllipseBoxes) {
    Fixture f;
    f.Load({Select(BLACK_PEN), EMRRECTANGLE{EmrType::EMR_ELLIPSE, {0, 0, 100, 99}},
            EMRRECTANGLE{EmrType::EMR_ELLIPSE, {0, 0, 101, 99}}});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    auto* c = dynamic_cast<const TkrExpDXFEllipse*>(f.w.Figures()[0].get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Flag, 0);
    EXPECT_EQ(c->Data.Radius, 50.5f);
    EXPECT_EQ(c->Data.Point1, (TExpPoint3F{50.5f, -50, 0}));
    auto* e = dynamic_cast<const TkrExpDXFEllipse*>(f.w.Figures()[1].get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Flag, 1);
    EXPECT_EQ(e->Data.Point2, (TExpPoint3F{51, 0, 0}));
    EXPECT_EQ(e->Data.Radius, 50.0f / 51.0f);
}

TEST(ReaderShapes, EllipseWithBrushAddsAHatchAndNeedsNoPen) {
    Fixture f;
    f.Load({Brush(1, 0xFF, BS_HATCHED, HS_CROSS), Select(1),
            EMRRECTANGLE{EmrType::EMR_ELLIPSE, {0, 0, 9, 19}}});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    auto* h = dynamic_cast<const TkrExpDXFHatch*>(f.w.Figures()[1].get());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->BoundaryKind, 2);
    EXPECT_EQ(h->PatternName, "NET");
    EXPECT_EQ(h->Data.EndAngle, 360);
    EXPECT_NE(f.Entities().find("ELLIPSE"), std::string::npos);
}

TEST(ReaderShapes, ArcsOnCirclesAndEllipses) {
    Fixture f;
    EMRARC arc;
    arc.iType = EmrType::EMR_ARC;
    arc.rclBox = {-10, -10, 9, 9};  // centre (0, 0), radius 10
    arc.ptlStart = {10, 0};
    arc.ptlEnd = {0, -10};  // Y down: (0, -10) is above the centre
    EMRARC ell = arc;
    ell.iType = EmrType::EMR_CHORD;
    ell.rclBox = {-20, -10, 19, 9};  // rx 20, ry 10
    f.Load({Select(BLACK_PEN), arc, ell});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    const auto& a = f.w.Figures()[0]->Data;
    EXPECT_EQ(a.CurveKind, 0);
    EXPECT_EQ(a.Radius, 10);
    EXPECT_FLOAT_EQ(a.StartAngle, 0);
    EXPECT_FLOAT_EQ(a.EndAngle, 90);
    const auto& e = f.w.Figures()[1]->Data;
    EXPECT_EQ(e.CurveKind, 1);
    EXPECT_EQ(e.Point2, (TExpPoint3F{20, 0, 0}));
    EXPECT_EQ(e.Radius, 0.5f);
    // sx = 1 > sy = 0.5: parameter = pi/2 - atan2(c, d); start c = 5, d = 0 -> 0.
    EXPECT_FLOAT_EQ(e.StartAngle, 0);
    // end: c = 0, d = 10 -> pi/2.
    EXPECT_FLOAT_EQ(e.EndAngle, float(3.14159265358979 / 2));
}

TEST(ReaderShapes, AngleArcAndPixel) {
    Fixture f;
    EMRANGLEARC aa;
    aa.ptlCenter = {5, 5};
    aa.nRadius = 7;
    aa.eStartAngle = 30;
    aa.eSweepAngle = 45;
    f.Load({aa, EMRSETPIXELV{EmrType::EMR_SETPIXELV, {3, 4}, 0x00FF00}});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    const auto& a = f.w.Figures()[0]->Data;
    EXPECT_EQ(a.Point1, (TExpPoint3F{5, -5, 0}));
    EXPECT_EQ(a.Radius, 7);
    EXPECT_EQ(a.EndAngle, 75);
    const auto& p = f.w.Figures()[1]->Data;
    EXPECT_EQ(p.Color, 3);
    EXPECT_EQ(p.Point1, (TExpPoint3F{3, -4, 0}));
}

TEST(ReaderText, ItalicArialText) {
    Fixture f;
    f.Load({Font(1, u"Arial", -16, false, true), Select(1),
            EMRSETTEXTCOLOR{EmrType::EMR_SETTEXTCOLOR, 0xFF}, TextRec(10, 20, u"ABC")});
    ASSERT_EQ(f.w.Figures().size(), 1u);
    const auto& d = f.w.Figures()[0]->Data;
    EXPECT_EQ(d.Text, "{\\fArial|i1|b0;ABC}");
    EXPECT_EQ(d.TextHeight, 10);  // 16 / 1.6
    EXPECT_EQ(d.Color, 1);
    EXPECT_EQ(d.Point1, (TExpPoint3F{10, -20, 0}));
    EXPECT_EQ(d.Closed, 1);
}

TEST(ReaderText, BoldUnderlinedArial) {
    Fixture f;
    f.Load({Font(1, u"Arial", 8, true, false, true), Select(1), TextRec(0, 0, u"ABC")});
    EXPECT_EQ(f.w.Figures()[0]->Data.Text, "{\\fArial|i0|b1;\\LABC}");
}

TEST(ReaderText, BackslashesAndBracesOfTheTextAreEscaped) {
    // A path and braces drawn as text are not read as MTEXT codes.
    Fixture f;
    f.Load({Font(1, u"Arial", 8, false, false, true), Select(1), TextRec(0, 0, u"C:\\plan{1}"), TextRec(0, 0, u"a}")});
    EXPECT_EQ(f.w.Figures()[0]->Data.Text, "{\\fArial|i0|b0;\\LC:\\\\plan\\{1\\}}");
    EXPECT_EQ(f.w.Figures()[1]->Data.Text, "{\\fArial|i0|b0;\\La\\}}");
}

TEST(ReaderText, SymbolFontTakesTheLowBytes) {
    Fixture f;
    f.Load({Font(1, u"Symbol", 8), Select(1), TextRec(0, 0, u"\xF061\xF062\x0041\xF063")});
    EXPECT_EQ(f.w.Figures()[0]->Data.Text, "{\\fSymbol|b0|i0|c2;ab}");
}

TEST(ReaderText, WithoutFontAndConversion) {
    Fixture f;
    // No font: height 11, text unwrapped; the euro sign and 'é' fit
    // Windows-1252, the Greek alpha does not: it is the MTEXT code
    // "\U+03B1" (a character past U+FFFF, which no four digits hold, "?").
    f.Load({TextRec(1, 1, u"\u20AC\u00E9\u03B1\U0001F600")});
    const auto& d = f.w.Figures()[0]->Data;
    EXPECT_EQ(d.TextHeight, 11);
    EXPECT_EQ(d.Text, "\x80\xE9\\U+03B1?");
}

TEST(ReaderText, CharactersTheCodePageLacksAreUnicodeCodesBesideEscapedBackslashes) {
    Fixture f;
    f.Load({Font(1, u"Arial", 8), Select(1), TextRec(0, 0, u"C:\\\u2248{\u4E2D}")});
    EXPECT_EQ(f.w.Figures()[0]->Data.Text, "{\\fArial|i0|b0;C:\\\\\\U+2248\\{\\U+4E2D\\}}");
}

TEST(ReaderText, CutToCountAndTrailingZero) {
    Fixture f;
    EMREXTTEXTOUTW r = TextRec(0, 0, std::u16string(u"ABCD"));
    r.emrtext.nChars = 2;
    EMREXTTEXTOUTW z = TextRec(0, 0, std::u16string(u"XY\0", 3));
    EMREXTTEXTOUTW empty = TextRec(0, 0, u"");
    EMREXTTEXTOUTW zeroCount = TextRec(0, 0, u"Q");
    zeroCount.emrtext.nChars = 0;
    f.Load({r, z, empty, zeroCount});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    EXPECT_EQ(f.w.Figures()[0]->Data.Text, "AB");
    EXPECT_EQ(f.w.Figures()[1]->Data.Text, "XY");
}

TEST(ReaderText, AttachmentFromAlignment) {
    const std::pair<std::uint32_t, int> cases[] = {
        {0, 0}, {TA_CENTER, 1}, {TA_RIGHT, 2}, {TA_BOTTOM, 6}, {TA_BASELINE | TA_CENTER, 7},
        {TA_BOTTOM | TA_RIGHT, 8}};
    for (auto [align, att] : cases) {
        Fixture f;
        f.Load({EMRSETTEXTALIGN{EmrType::EMR_SETTEXTALIGN, align}, TextRec(0, 0, u"A")});
        EXPECT_EQ(f.w.Figures()[0]->Data.Attachment, att) << align;
    }
}

TEST(ReaderText, UpdateCurrentPositionMovesByTheTextWidth) {
    Fixture f;
    // Arial at em height 2048 units: "AB" = 1366 + 1366 design units.
    f.Load({Font(1, u"Arial", -2048), Select(1),
            EMRSETTEXTALIGN{EmrType::EMR_SETTEXTALIGN, TA_UPDATECP}, MoveTo(100, 0),
            TextRec(0, 0, u"AB"), TextRec(0, 0, u"A")});
    ASSERT_EQ(f.w.Figures().size(), 2u);
    EXPECT_EQ(f.w.Figures()[0]->Data.Point1.X, 100);
    EXPECT_EQ(f.w.Figures()[1]->Data.Point1.X, 100 + 2732);
    EXPECT_EQ(f.R().CurrentPos, (TPoint{100 + 2732 + 1366, 0}));
}

TEST(ReaderText, EscapementGivesAngleAndRotatedAdvance) {
    Fixture f;
    f.Load({Font(1, u"Arial", -2048, false, false, false, 900), Select(1),
            EMRSETTEXTALIGN{EmrType::EMR_SETTEXTALIGN, TA_UPDATECP}, TextRec(0, 0, u"A")});
    EXPECT_EQ(f.w.Figures()[0]->Data.Angle, 90);
    EXPECT_EQ(f.R().CurrentPos, (TPoint{0, -1366}));
}

TEST(ReaderTransform, WindowOriginShiftsEverything) {
    Fixture f;
    f.Load({EMRSETWINDOWORGEX{EmrType::EMR_SETWINDOWORGEX, {100, 200}}, Select(BLACK_PEN),
            MoveTo(100, 200), LineTo(110, 190), TextRec(100, 200, u"T")});
    const auto& l = f.w.Figures()[0]->Data;
    EXPECT_EQ(l.Point1, (TExpPoint3F{0, 0, 0}));
    EXPECT_EQ(l.Point2, (TExpPoint3F{10, 10, 0}));
    EXPECT_EQ(f.w.Figures()[1]->Data.Point1, (TExpPoint3F{0, 0, 0}));
}

TEST(ReaderTransform, WorldTransformsCompose) {
    Fixture f;
    XFORM scale{2, 0, 0, 2, 0, 0};
    XFORM shift{1, 0, 0, 1, 10, 0};
    f.Load({EMRSETWORLDTRANSFORM{EmrType::EMR_SETWORLDTRANSFORM, scale},
            EMRMODIFYWORLDTRANSFORM{EmrType::EMR_MODIFYWORLDTRANSFORM, shift, MWT_RIGHTMULTIPLY}});
    // W x X: scale first, then shift.
    EXPECT_EQ(f.R().WorldTransform.eDx, 10);
    f.w.Reader()->EnumerateRecord(EMRSETWORLDTRANSFORM{EmrType::EMR_SETWORLDTRANSFORM, scale});
    f.w.Reader()->EnumerateRecord(
        EMRMODIFYWORLDTRANSFORM{EmrType::EMR_MODIFYWORLDTRANSFORM, shift, MWT_LEFTMULTIPLY});
    // X x W: the shift is scaled too.
    EXPECT_EQ(f.R().WorldTransform.eDx, 20);
    f.w.Reader()->EnumerateRecord(
        EMRMODIFYWORLDTRANSFORM{EmrType::EMR_MODIFYWORLDTRANSFORM, shift, 4});
    EXPECT_EQ(f.R().WorldTransform.eM11, 1);
    EXPECT_EQ(f.R().WorldTransform.eDx, 10);
    f.w.Reader()->EnumerateRecord(
        EMRMODIFYWORLDTRANSFORM{EmrType::EMR_MODIFYWORLDTRANSFORM, shift, MWT_IDENTITY});
    EXPECT_EQ(f.R().WorldTransform.eDx, 0);
}

TEST(ReaderTransform, PointsAreRoundedTiesToEven) {
    Fixture f;
    XFORM half{0.5f, 0, 0, 0.5f, 0, 0};
    f.Load({EMRSETWORLDTRANSFORM{EmrType::EMR_SETWORLDTRANSFORM, half}, MoveTo(5, 7)});
    EXPECT_EQ(f.R().CurrentPos, (TPoint{2, 4}));  // 2.5 -> 2, 3.5 -> 4
}

TEST(ReaderTransform, SaveAndRestore) {
    Fixture f;
    f.Load({EMRRESTOREDC{}});  // nothing saved: nothing changes
    EXPECT_EQ(f.R().WorldTransform.eM11, 1);
    f.Load({Pen(1, 0xFF), Select(1), EMRSETTEXTALIGN{EmrType::EMR_SETTEXTALIGN, 6}, MoveTo(1, 2),
            EMRSAVEDC{}, Select(NULL_PEN), MoveTo(5, 5),
            EMRSETTEXTALIGN{EmrType::EMR_SETTEXTALIGN, 0},
            EMRSETWINDOWORGEX{EmrType::EMR_SETWINDOWORGEX, {3, 3}}, EMRRESTOREDC{}});
    EXPECT_NE(f.R().CurrentPen(), nullptr);
    EXPECT_EQ(f.R().CurrentPos, (TPoint{1, 2}));
    EXPECT_EQ(f.R().TextAlign, 6u);
    EXPECT_EQ(f.R().WindowOrigin, (TPoint{0, 0}));
}

TEST(ReaderTransform, OutOfRangeCoordinateKeepsEarlierFigures) {
    TkrDXFExport w;
    TRecordingCanvas& c = w.GetCanvas();
    c.MoveTo(0, 0);
    c.LineTo(10, 10);
    c.LineTo(20, 20);
    // Recorded afterwards, a transform that throws the next point out of range.
    TEmfRecording recs = c.Close();
    recs.insert(recs.end() - 1, EMRSETWORLDTRANSFORM{EmrType::EMR_SETWORLDTRANSFORM,
                                                     XFORM{1e9f, 0, 0, 1, 0, 0}});
    recs.insert(recs.end() - 1, EMRLINETO{EmrType::EMR_LINETO, {5, 0}});
    EXPECT_THROW(w.LoadFromMetafile(recs), ERangeError);
    EXPECT_EQ(w.Figures().size(), 2u);
    try {
        w.LoadFromMetafile(recs);
    } catch (const ERangeError& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
}

TEST(ReaderTransform, OtherRecordsHaveNoEffect) {
    Fixture f;
    EMRPOLYPOLYLINE pp32;
    pp32.iType = EmrType::EMR_POLYPOLYLINE;
    pp32.nPolys = 1;
    pp32.cptl = 2;
    pp32.aPolyCounts = {2};
    pp32.aptl = {{0, 0}, {5, 5}};
    EMREXTTEXTOUTW a = TextRec(0, 0, u"A");
    a.iType = EmrType::EMR_EXTTEXTOUTA;
    f.Load({EMRHEADER{}, Select(BLACK_PEN), pp32, a, EMREXTSELECTCLIPRGN{}, EMRGENERIC{},
            EMRSETWINDOWEXTEX{}, EMRSETTEXTALIGN{EmrType::EMR_SETMAPMODE, 8}, EMREOF{}});
    EXPECT_TRUE(f.w.Figures().empty());
    EXPECT_EQ(f.R().TextAlign, 0u);
}

TEST(ReaderTransform, ClearEmptiesOnlyTheLineTypes) {
    Fixture f;
    f.Load({Pen(1, 0, 0, 1), Select(1), LineTo(1, 1)});
    EXPECT_EQ(f.R().DefinedLineTypes, 2);
    f.w.Clear();
    EXPECT_EQ(f.R().DefinedLineTypes, 0);
    EXPECT_EQ(f.w.Figures().size(), 1u);
    EXPECT_EQ(f.w.LineTypeLines(), "");
}

// The whole-number shortcut of the world map gives what the double formula
// gives, range errors included, for every transform: the identity with
// shifts of both zeros, halves, the 32-bit edges, 2^32 and past it,
// infinities and NaN, near-identities, and random mixes of these. One map
// object goes through all transforms in turn, so a kept classification must
// follow every change.
TEST(ReaderTransform, WholeShiftMapsAsTheDoubleFormula) {
    const float inf = std::numeric_limits<float>::infinity();
    const float shifts[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 1.5f, 2.5f, 1e6f, -7.0f,
                            2147483520.0f, 2147483648.0f, -2147483648.0f, 4294967296.0f,
                            -4294967296.0f, 4294967808.0f, 1e20f, inf, -inf, std::nanf("")};
    const float factors[] = {1.0f, -0.0f, 0.0f, std::nextafter(1.0f, 2.0f), std::nextafter(1.0f, 0.0f),
                             -1.0f, 2.0f, 1e-30f};
    const std::int32_t coords[] = {0, 1, -1, 2, 1000, -1000, 1 << 30, -(1 << 30),
                                   std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min()};
    world_point::TWorldMap map;
    std::size_t checked = 0, shortcut = 0;
    auto check = [&](const XFORM& w, std::int32_t x, std::int32_t y) {
        bool generalThrows = false, mapThrows = false;
        TPoint expected, got;
        try { expected = world_point::MapGeneral(w, x, y); } catch (const ERangeError&) { generalThrows = true; }
        try { got = map.Map(w, x, y); } catch (const ERangeError&) { mapThrows = true; }
        ASSERT_EQ(mapThrows, generalThrows) << w.eM11 << " " << w.eM12 << " " << w.eM21 << " " << w.eM22
                                            << " " << w.eDx << " " << w.eDy << " at " << x << "," << y;
        if (!generalThrows) {
            ASSERT_EQ(got, expected) << w.eM11 << " " << w.eM12 << " " << w.eM21 << " " << w.eM22 << " "
                                     << w.eDx << " " << w.eDy << " at " << x << "," << y;
        }
        ++checked;
    };
    for (float dx : shifts)
        for (float dy : shifts) {
            const XFORM w{1, 0, 0, 1, dx, dy};
            if (dx == std::trunc(dx) && dy == std::trunc(dy) && std::fabs(dx) <= 4294967296.0f &&
                std::fabs(dy) <= 4294967296.0f)
                ++shortcut;
            for (std::int32_t x : coords)
                for (std::int32_t y : coords) check(w, x, y);
        }
    EXPECT_GT(shortcut, 100u);  // most of the shifts above take the shortcut
    std::mt19937 rng(29);
    auto pick = [&](const auto& list) { return list[rng() % std::size(list)]; };
    for (int i = 0; i < 20000; ++i) {
        XFORM w{1, 0, 0, 1, 0, 0};
        if (rng() % 4 == 0) w.eM11 = pick(factors);
        if (rng() % 4 == 0) w.eM12 = pick(factors);
        if (rng() % 4 == 0) w.eM21 = pick(factors);
        if (rng() % 4 == 0) w.eM22 = pick(factors);
        w.eDx = rng() % 2 ? pick(shifts) : float(std::int32_t(rng()) >> (rng() % 32));
        w.eDy = rng() % 2 ? pick(shifts) : float(std::int32_t(rng()) >> (rng() % 32));
        for (int j = 0; j < 4; ++j) {
            const std::int32_t x = rng() % 3 ? std::int32_t(rng()) >> (rng() % 32) : pick(coords);
            const std::int32_t y = rng() % 3 ? std::int32_t(rng()) >> (rng() % 32) : pick(coords);
            check(w, x, y);
        }
    }
    EXPECT_EQ(checked, std::size(shifts) * std::size(shifts) * std::size(coords) * std::size(coords) + 80000u);
}
