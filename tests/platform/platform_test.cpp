// The recording canvas, the code page and the text measurement.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/font_metrics.h"
#include "platform/recording_canvas.h"

namespace {

std::vector<EmrType> Kinds(const TEmfRecording& recs) {
    std::vector<EmrType> out;
    for (const auto& r : recs) out.push_back(RecordType(r));
    return out;
}

}  // namespace

TEST(CodePage, RoundTripOfEveryByte) {
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
}

TEST(CodePage, SpecialCharacters) {
    EXPECT_EQ(Cp1252ToUtf16("\x80"), u"\u20AC");
    EXPECT_EQ(Cp1252ToUtf16("\x9F\xE4"), u"\u0178\u00E4");
    EXPECT_EQ(Utf16ToCp1252(u"\u2014x"), "\x97x");
    // Characters the code page cannot hold, a surrogate pair as one.
    EXPECT_EQ(Utf16ToCp1252(u"\u03A9\U0001F600!"), "?" "?!");
}

// The five bytes the code page leaves undefined: their C1 controls in
// UTF-16 (and back to the byte), "?" in the UTF-8 of messages; the C1
// control U+0080 has no byte (0x80 is the euro sign).
TEST(CodePage, UndefinedBytes) {
    EXPECT_EQ(Cp1252ToUtf16("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(UnicodeToCp1252(0x008F), '\x8F');
    EXPECT_EQ(UnicodeToCp1252(0x0080), '?');
    // "\x80\x81\xE4": E2 82 AC, "?", C3 A4.
    EXPECT_EQ(Cp1252ToUtf8("\x80\x81\xE4"), "\xE2\x82\xAC?\xC3\xA4");
}

TEST(CodePage, CodePointsToBytes) {
    EXPECT_EQ(UnicodeToCp1252(0x20AC), '\x80');  // euro sign
    EXPECT_EQ(UnicodeToCp1252(0x00E4), '\xE4');  // Latin-1 as it is
    EXPECT_EQ(UnicodeToCp1252(0x03B1), '?');      // alpha: not in the code page
    EXPECT_EQ(UnicodeToCp1252(0x1F600), '?');
}

TEST(CodePage, Utf8Decoding) {
    // "Maße 5 €" in UTF-8: C3 9F is U+00DF, E2 82 AC is U+20AC.
    EXPECT_EQ(Utf8ToCp1252("Ma\xC3\x9F" "e 5 \xE2\x82\xAC"), "Ma\xDF" "e 5 \x80");
    // A four-byte sequence outside the code page is one '?'.
    EXPECT_EQ(Utf8ToCp1252("a\xF0\x9F\x98\x80" "b"), "a?b");
    // Bytes that are not well-formed UTF-8 stay as they are: a lone 8-bit
    // byte, a cut sequence at the end, an overlong form, a surrogate.
    EXPECT_EQ(Utf8ToCp1252("\xE4x"), "\xE4x");
    EXPECT_EQ(Utf8ToCp1252("x\xE2\x82"), "x\xE2\x82");
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "\xED\xA0\x80");
    EXPECT_TRUE(IsAscii("plain"));
    EXPECT_FALSE(IsAscii("\xE4"));
}

TEST(CodePage, DrawnTextCarriesTheCharactersTheCodePageLacks) {
    // UTF-8 "Ω€ß ≈" and a character past U+FFFF: Ω and ≈ marked (DEL and four
    // digits), € and ß their bytes, the emoji "?".
    const std::string drawn = Utf8ToDrawnText("\xCE\xA9\xE2\x82\xAC\xC3\x9F \xE2\x89\x88\xF0\x9F\x98\x80");
    EXPECT_EQ(drawn, "\x7F" "03A9\x80\xDF \x7F" "2248?");
    EXPECT_EQ(DrawnTextPlain(drawn), Utf8ToCp1252("\xCE\xA9\xE2\x82\xAC\xC3\x9F \xE2\x89\x88\xF0\x9F\x98\x80"));
    EXPECT_EQ(DrawnTextPlain(drawn), "?\x80\xDF ??");
    EXPECT_EQ(DrawnTextLength(drawn), 6u);
    EXPECT_EQ(DrawnTextToUtf16(drawn), u"\u03A9\u20AC\u00DF \u2248?");
    // The mark byte itself (DEL) is written twice and reads as itself, also
    // before digits; every other byte is itself.
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    const std::string bytes = Cp1252ToDrawnText(all + "\x7F" "0041");
    EXPECT_EQ(bytes.size(), all.size() + 5 + 2);
    EXPECT_EQ(DrawnTextPlain(bytes), all + "\x7F" "0041");
    EXPECT_EQ(DrawnTextToUtf16(bytes), Cp1252ToUtf16(all + "\x7F" "0041"));
    EXPECT_EQ(Utf8ToDrawnText("a\x7F" "b"), "a\x7F\x7F" "b");
    // Characters: a byte where the code page has one, C1 controls and
    // surrogates "?".
    std::string out;
    for (char32_t u : {char32_t(0x20AC), char32_t(0x0085), char32_t(0xD800), char32_t(0x4E2D), char32_t(0x7F)})
        AppendDrawnChar(out, u);
    EXPECT_EQ(out, "\x80??\x7F" "4E2D\x7F\x7F");
}

TEST(TextMeasure, FacesPickTheirTables) {
    EXPECT_EQ(&TFontTableMeasure::TableForFace("Arial"), &dxf_platform_fonts::LiberationSans);
    EXPECT_EQ(&TFontTableMeasure::TableForFace("times new roman"),
              &dxf_platform_fonts::LiberationSerif);
    EXPECT_EQ(&TFontTableMeasure::TableForFace("Courier New"), &dxf_platform_fonts::LiberationMono);
    EXPECT_EQ(&TFontTableMeasure::TableForFace("Unknown Face"), &dxf_platform_fonts::LiberationSans);
}

TEST(TextMeasure, AdvanceWidths) {
    TFontTableMeasure m;
    // At an em of 2048 units the widths are the design units: Arial 'A' 1366.
    EXPECT_EQ(m.TextWidth("A", "Arial", -2048, 0), 1366);
    EXPECT_EQ(m.TextWidth("AA", "Arial", -2048, 0), 2732);
    // Courier New: every glyph 1229 units; at em 20: round(1229 * 20 / 2048) = 12 each.
    EXPECT_EQ(m.TextWidth("iiii", "Courier New", -20, 0), 48);
    // A positive height is the cell height: Arial cell = 1854 + 434 units.
    EXPECT_EQ(m.TextWidth("A", "Arial", 2288, 0), 1366);
    EXPECT_EQ(m.TextWidth("", "Arial", -12, 0), 0);
    // A width stretches against the average character width (Arial 904 units).
    EXPECT_EQ(m.TextWidth("A", "Arial", -2048, 452), 683);
}

TEST(TextMeasure, WidthsAddUpAndCellHeights) {
    TFontTableMeasure m;
    // Each glyph is rounded on its own, so parts add up to the whole (the
    // multi-line layout relies on it): at width 64, A = round(1366 * 64 / 904)
    // = 97, "b" = round(1139 * 64 / 904) = 81, " " = round(569 * 64 / 904) = 40.
    EXPECT_EQ(m.TextWidth("Ab A", "Arial", 160, 64), 97 + 81 + 40 + 97);
    EXPECT_EQ(m.TextWidth("Ab", "Arial", 160, 64) + m.TextWidth(" A", "Arial", 160, 64),
              m.TextWidth("Ab A", "Arial", 160, 64));
    EXPECT_EQ(m.CellHeight("Arial", 160), 160);
    // An em of 2048 units is a cell of 1854 + 434 units.
    EXPECT_EQ(m.CellHeight("Arial", -2048), 2288);
    EXPECT_EQ(m.CellHeight("Arial", 0), 16);
}

TEST(RecordingCanvas, LineCreatesSelectsAndLaterReplacesThePen) {
    TRecordingCanvas c;
    c.Pen.Color = 0x0000FF;
    c.Pen.Width = 0;
    c.MoveTo(1, 2);
    c.LineTo(3, 4);
    c.LineTo(5, 6);  // same pen: no new object
    c.Pen.Color = 0x02123456;
    c.LineTo(7, 8);
    TEmfRecording recs = c.Close();
    using enum EmrType;
    EXPECT_EQ(Kinds(recs), (std::vector<EmrType>{EMR_HEADER, EMR_MOVETOEX, EMR_CREATEPEN,
                                                 EMR_SELECTOBJECT, EMR_LINETO, EMR_LINETO,
                                                 EMR_CREATEPEN, EMR_SELECTOBJECT,
                                                 EMR_DELETEOBJECT, EMR_LINETO, EMR_EOF}));
    const auto& p1 = std::get<EMRCREATEPEN>(recs[2]);
    EXPECT_EQ(p1.ihPen, 1u);
    EXPECT_EQ(p1.lopn.lopnWidth.x, 0);  // a cosmetic pen of width 0
    EXPECT_EQ(p1.lopn.lopnColor, 0x0000FFu);
    const auto& p2 = std::get<EMRCREATEPEN>(recs[6]);
    EXPECT_EQ(p2.ihPen, 2u);
    EXPECT_EQ(p2.lopn.lopnColor, 0x02123456u);  // the flag is kept
    EXPECT_EQ(std::get<EMRSELECTOBJECT>(recs[8]).ihObject, 1u);
    EXPECT_EQ(std::get<EMRLINETO>(recs[9]).ptl.x, 7);
    // A segment records its move and its line as MoveTo and LineTo do.
    TRecordingCanvas a, b;
    auto draw = [](TRecordingCanvas& c, bool bySegments) {
        for (int i = 0; i < 6; ++i) {
            c.Pen.Color = TColor(i / 2);
            if (bySegments) {
                c.Segment(i, 2 * i, 3 * i, 4 * i);
            } else {
                c.MoveTo(i, 2 * i);
                c.LineTo(3 * i, 4 * i);
            }
        }
    };
    draw(a, false);
    draw(b, true);
    const TEmfRecording ra = a.Close(), rb = b.Close();
    EXPECT_EQ(Kinds(rb), Kinds(ra));
    ASSERT_EQ(rb.size(), ra.size());
    for (std::size_t i = 0; i < ra.size(); ++i)
        if (const auto* l = std::get_if<EMRLINETO>(&ra[i])) {
            EXPECT_EQ(std::get<EMRLINETO>(rb[i]).ptl.x, l->ptl.x);
            EXPECT_EQ(std::get<EMRLINETO>(rb[i]).ptl.y, l->ptl.y);
        }
}

// A run of segments records what its segments one by one record, and hands
// the records over at the same places, whatever the room left before the
// next hand-over and wherever the pen changes.
TEST(RecordingCanvas, SegmentsRecordAndHandOverAsTheirSegmentsOneByOne) {
    std::vector<TPoint> run;
    for (int i = 0; i < 41; ++i) run.push_back({i * 7 - 100, (i * i) % 97});
    auto draw = [&](std::size_t drainWords, bool asRun) {
        TRecordingCanvas c;
        std::string pieces;
        c.DrainWords = drainWords;
        c.OnDrain = [&](TEmfRecordBuffer& b) {
            for (const TEmfRecord& r : b.ToRecording()) {
                pieces += std::to_string(int(RecordType(r)));
                if (const auto* l = std::get_if<EMRLINETO>(&r))
                    pieces += "(" + std::to_string(l->ptl.x) + "," + std::to_string(l->ptl.y) + ")";
                pieces += ' ';
            }
            pieces += "| ";
        };
        for (int k = 0; k < 5; ++k) {
            c.Pen.Color = TColor(k / 2);  // a new pen every other run
            const std::span<const TPoint> part(run.data(), run.size() - std::size_t(k) * 9);
            if (asRun) {
                c.Segments(part);
            } else {
                for (std::size_t i = 1; i < part.size(); ++i)
                    c.Segment(part[i - 1].X, part[i - 1].Y, part[i].X, part[i].Y);
            }
            c.MoveTo(k, k);  // a record of another length in between
        }
        c.Segments(std::span<const TPoint>(run.data(), 1));  // one point: nothing
        TEmfRecordBuffer rest = c.CloseBuffer();
        c.OnDrain(rest);
        return pieces;
    };
    for (std::size_t drainWords : {std::size_t(1), std::size_t(7), std::size_t(12), std::size_t(64), std::size_t(1) << 16}) {
        const std::string oneByOne = draw(drainWords, false);
        EXPECT_EQ(draw(drainWords, true), oneByOne) << drainWords;
        if (drainWords == 12) {
            EXPECT_GT(std::count(oneByOne.begin(), oneByOne.end(), '|'), 20);
        }
    }
}

// A record buffer gives back what it was given across its growing, only
// that after Clear, and nothing once moved from.
TEST(RecordingCanvas, ARecordBufferKeepsItsRecordsAndIsEmptyOnceMovedFrom) {
    struct TXY {
        std::int32_t X, Y;
    };
    auto fill = [](TEmfRecordBuffer& b, int n) {
        for (int i = 0; i < n; ++i) {
            b.Append(EMRLINETO{i % 2 ? EmrType::EMR_LINETO : EmrType::EMR_MOVETOEX, {i, -i}});
            if (i % 7 == 0) b.AppendPoly(EmrType::EMR_POLYLINE16, std::vector<TXY>{{i % 100, 1}, {2, 3}}, true);
        }
    };
    // The lines read back, and whether each and the polylines are as given.
    auto check = [](const TEmfRecordBuffer& b) {
        int lines = 0, polys = 0;
        bool same = true;
        b.ForEach([&](const TEmfRecord& r) {
            if (const auto* l = std::get_if<EMRLINETO>(&r)) {
                same = same && l->ptl.x == lines && l->ptl.y == -lines &&
                       l->iType == (lines % 2 ? EmrType::EMR_LINETO : EmrType::EMR_MOVETOEX);
                ++lines;
            } else if (const auto* p = std::get_if<EMRPOLYLINE16>(&r)) {
                same = same && p->cpts == 2 && p->apts.size() == 2 && p->apts[0].x == (7 * polys) % 100 &&
                       p->apts[1].y == 3;
                ++polys;
            } else {
                same = false;
            }
        });
        return same ? lines : -1;
    };
    TEmfRecordBuffer b;
    fill(b, 5000);
    EXPECT_EQ(check(b), 5000);
    EXPECT_EQ(b.Count(), 5000u + 715u);
    b.Clear();
    fill(b, 3);
    EXPECT_EQ(check(b), 3);
    fill(b, 0);
    TEmfRecordBuffer moved = std::move(b);
    EXPECT_EQ(check(moved), 3);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Words(), 0u);
    fill(b, 1);
    EXPECT_EQ(check(b), 1);
    moved = std::move(b);
    EXPECT_EQ(check(moved), 1);
    EXPECT_EQ(b.Words(), 0u);
}

TEST(RecordingCanvas, FreedIndicesAreReused) {
    TRecordingCanvas c;
    c.LineTo(1, 1);
    c.Pen.Width = 3;
    c.LineTo(2, 2);
    c.Pen.Width = 4;
    c.LineTo(3, 3);
    const auto& recs = c.Records();
    std::vector<std::uint32_t> created;
    for (const auto& r : recs)
        if (auto* p = std::get_if<EMRCREATEPEN>(&r)) created.push_back(p->ihPen);
    EXPECT_EQ(created, (std::vector<std::uint32_t>{1, 2, 1}));
}

TEST(RecordingCanvas, ClearBrushIsACreatedHollowBrush) {
    TRecordingCanvas c;
    c.Brush.Style = bsClear;
    c.Brush.Color = 0x00FF00;
    c.Rectangle(0, 0, 10, 10);
    const auto& recs = c.Records();
    const EMRCREATEBRUSHINDIRECT* b = nullptr;
    for (const auto& r : recs)
        if (auto* x = std::get_if<EMRCREATEBRUSHINDIRECT>(&r)) b = x;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->lb.lbStyle, BS_HOLLOW);
    EXPECT_EQ(b->lb.lbColor, 0x00FF00u);
    for (const auto& r : recs) {
        if (auto* s = std::get_if<EMRSELECTOBJECT>(&r)) {
            EXPECT_NE(s->ihObject, NULL_BRUSH);
        }
    }
    EXPECT_EQ(RecordType(recs.back()), EmrType::EMR_RECTANGLE);
}

TEST(RecordingCanvas, GeometricPenIsAnExtendedPen) {
    TRecordingCanvas c;
    c.Pen.Geometric = true;
    c.Pen.Width = 25;
    c.LineTo(1, 1);
    const auto& p = std::get<EMREXTCREATEPEN>(c.Records()[1]);
    EXPECT_EQ(p.elp.elpWidth, 25u);
    EXPECT_EQ(p.elp.elpPenStyle & 0xFF, 0u);
    EXPECT_EQ(p.elp.elpPenStyle & PS_GEOMETRIC, PS_GEOMETRIC);
}

TEST(RecordingCanvas, PolygonIs16BitWhenItFits) {
    TRecordingCanvas c;
    const TPoint small[] = {{0, 0}, {32767, -32768}, {5, 5}};
    const TPoint large[] = {{0, 0}, {40000, 0}, {5, 5}};
    c.Polygon(small);
    c.Polygon(large);
    const auto& recs = c.Records();
    const auto& p16 = std::get<EMRPOLYLINE16>(recs[recs.size() - 2]);
    EXPECT_EQ(p16.iType, EmrType::EMR_POLYGON16);
    EXPECT_EQ(p16.cpts, 3u);
    EXPECT_EQ(p16.apts[1].y, -32768);
    const auto& p32 = std::get<EMRPOLYLINE>(recs.back());
    EXPECT_EQ(p32.iType, EmrType::EMR_POLYGON);
    EXPECT_EQ(p32.aptl[1].x, 40000);
}

TEST(RecordingCanvas, APolyPolygonIsOneRecordOfAllItsPartsInEitherForm) {
    TRecordingCanvas c;
    const TPoint small[] = {{0, 0}, {10, 0}, {0, 10}, {2, 2}, {3, 2}, {2, 3}, {4, 4}};
    const std::uint32_t counts[] = {3, 4};
    c.PolyPolygon(small, counts);
    const TPoint large[] = {{0, 0}, {40000, 0}, {0, 10}};
    const std::uint32_t one[] = {3};
    c.PolyPolygon(large, one);
    const auto& recs = c.Records();
    const auto& p16 = std::get<EMRPOLYPOLYLINE16>(recs[recs.size() - 2]);
    EXPECT_EQ(p16.iType, EmrType::EMR_POLYPOLYGON16);
    EXPECT_EQ(p16.nPolys, 2u);
    EXPECT_EQ(p16.cpts, 7u);
    EXPECT_EQ(p16.aPolyCounts, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(p16.apts[6].x, 4);
    const auto& p32 = std::get<EMRPOLYPOLYLINE>(recs.back());
    EXPECT_EQ(p32.iType, EmrType::EMR_POLYPOLYGON);
    EXPECT_EQ(p32.nPolys, 1u);
    EXPECT_EQ(p32.aptl[1].x, 40000);
    // More than 65535 parts go into further records (a record's reader takes
    // at most that many): 70000 one-point parts in two records.
    TRecordingCanvas d;
    std::vector<TPoint> dots(70000, TPoint{1, 1});
    std::vector<std::uint32_t> ones(70000, 1);
    d.PolyPolygon(dots, ones);
    const auto& r = d.Records();
    EXPECT_EQ(std::get<EMRPOLYPOLYLINE16>(r[r.size() - 2]).nPolys, 65535u);
    EXPECT_EQ(std::get<EMRPOLYPOLYLINE16>(r.back()).nPolys, 70000u - 65535u);
}

TEST(RecordingCanvas, TextRecordsFontColourAndUtf16) {
    TRecordingCanvas c;
    c.Font.Name = "Arial";
    c.Font.Height = -20;
    c.Font.Bold = true;
    c.Font.Escapement = 450;
    c.Font.Color = 0x020000FF;
    c.TextOut(5, 6, "\x80uro");
    c.Font.Color = 0x0000FF;  // only the colour: no new font
    c.TextOut(5, 7, "x");
    using enum EmrType;
    const auto& recs = c.Records();
    EXPECT_EQ(Kinds(recs), (std::vector<EmrType>{EMR_HEADER, EMR_EXTCREATEFONTINDIRECTW,
                                                 EMR_SELECTOBJECT, EMR_SETTEXTCOLOR,
                                                 EMR_EXTTEXTOUTW, EMR_SETTEXTCOLOR,
                                                 EMR_EXTTEXTOUTW}));
    const auto& f = std::get<EMREXTCREATEFONTINDIRECTW>(recs[1]);
    EXPECT_EQ(std::u16string(f.elfw.lfFaceName), u"Arial");
    EXPECT_EQ(f.elfw.lfHeight, -20);
    EXPECT_EQ(f.elfw.lfWeight, 700);
    EXPECT_EQ(f.elfw.lfEscapement, 450);
    EXPECT_EQ(std::get<EMRSETTEXTCOLOR>(recs[3]).crColor, 0x020000FFu);
    const auto& t = std::get<EMREXTTEXTOUTW>(recs[4]);
    EXPECT_EQ(t.String, u"\u20ACuro");
    EXPECT_EQ(t.emrtext.nChars, 4u);
    EXPECT_EQ(t.emrtext.ptlReference.y, 6);
}

TEST(RecordingCanvas, EllipseRectangleAndAlignment) {
    TRecordingCanvas c;
    c.Ellipse(1, 2, 3, 4);
    c.SetTextAlign(TA_BASELINE);
    const auto& recs = c.Records();
    using enum EmrType;
    EXPECT_EQ(Kinds(recs), (std::vector<EmrType>{EMR_HEADER, EMR_CREATEPEN, EMR_SELECTOBJECT,
                                                 EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT,
                                                 EMR_ELLIPSE, EMR_SETTEXTALIGN}));
    EXPECT_EQ(std::get<EMRRECTANGLE>(recs[5]).rclBox.bottom, 4);
    EXPECT_EQ(std::get<EMRSETTEXTALIGN>(recs[6]).iMode, TA_BASELINE);
}
