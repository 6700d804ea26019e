#include "platform/recording_canvas.h"

#include <algorithm>
#include <limits>

#include "platform/codepage.h"

TRecordingCanvas::TRecordingCanvas() {
    FUsed.push_back(true);  // index 0: the metafile
    FRecords.Append(EMRHEADER{});
}

std::uint32_t TRecordingCanvas::AllocateIndex() {
    for (std::uint32_t i = 1; i < FUsed.size(); ++i)
        if (!FUsed[i]) {
            FUsed[i] = true;
            return i;
        }
    FUsed.push_back(true);
    return static_cast<std::uint32_t>(FUsed.size() - 1);
}

// Selects the freshly created object and deletes the one it replaces.
void TRecordingCanvas::Replace(std::uint32_t& current, std::uint32_t created) {
    FRecords.Append(EMRSELECTOBJECT{EmrType::EMR_SELECTOBJECT, created});
    if (current != 0) {
        FRecords.Append(EMRSELECTOBJECT{EmrType::EMR_DELETEOBJECT, current});
        FUsed[current] = false;
    }
    current = created;
}

void TRecordingCanvas::SelectNewPen() {
    std::uint32_t index = AllocateIndex();
    if (Pen.Geometric) {
        EMREXTCREATEPEN rec;
        rec.ihPen = index;
        rec.elp.elpPenStyle = PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_JOIN_BEVEL | Pen.Style;
        rec.elp.elpWidth = static_cast<std::uint32_t>(Pen.Width);
        rec.elp.elpBrushStyle = BS_SOLID;
        rec.elp.elpColor = Pen.Color;
        FRecords.Append(rec);
    } else {
        // A cosmetic pen; width 0 stays 0 (the thinnest pen).
        EMRCREATEPEN rec;
        rec.ihPen = index;
        rec.lopn.lopnStyle = Pen.Style;
        rec.lopn.lopnWidth = {Pen.Width, 0};
        rec.lopn.lopnColor = Pen.Color;
        FRecords.Append(rec);
    }
    Replace(FPenIndex, index);
    FSelectedPen = Pen;
}

void TRecordingCanvas::RequireBrush() {
    if (FBrushIndex != 0 && Brush == FSelectedBrush) return;
    std::uint32_t index = AllocateIndex();
    EMRCREATEBRUSHINDIRECT rec;
    rec.ihBrush = index;
    // A clear brush is a created brush of the hollow style, not the stock
    // NULL_BRUSH, just as a GDI canvas creates it.
    rec.lb.lbStyle = Brush.Style == bsClear ? BS_HOLLOW : BS_SOLID;
    rec.lb.lbColor = Brush.Color;
    rec.lb.lbHatch = 0;
    FRecords.Append(rec);
    Replace(FBrushIndex, index);
    FSelectedBrush = Brush;
}

void TRecordingCanvas::RequireFont() {
    // The colour is device-context state, not part of the font object.
    TFont shape = Font;
    shape.Color = 0;
    TFont selectedShape = FSelectedFont;
    selectedShape.Color = 0;
    if (FFontIndex == 0 || !(shape == selectedShape)) {
        std::uint32_t index = AllocateIndex();
        EMREXTCREATEFONTINDIRECTW rec;
        rec.ihFont = index;
        rec.elfw.lfHeight = Font.Height;
        rec.elfw.lfWidth = Font.Width;
        rec.elfw.lfEscapement = Font.Escapement;
        rec.elfw.lfOrientation = Font.Escapement;
        rec.elfw.lfWeight = Font.Bold ? 700 : 400;
        rec.elfw.lfItalic = Font.Italic;
        rec.elfw.lfUnderline = Font.Underline;
        rec.elfw.lfStrikeOut = Font.StrikeOut;
        rec.elfw.lfCharSet = Font.CharSet;
        std::u16string face = Cp1252ToUtf16(Font.Name);
        std::size_t n = std::min<std::size_t>(face.size(), 31);  // 32 with the ending zero
        std::copy_n(face.begin(), n, rec.elfw.lfFaceName);
        FRecords.Append(rec);
        Replace(FFontIndex, index);
        FSelectedFont = Font;
    }
    if (!FTextColorSet || FTextColor != Font.Color) {
        FRecords.Append(EMRSETTEXTCOLOR{EmrType::EMR_SETTEXTCOLOR, Font.Color});
        FTextColorSet = true;
        FTextColor = Font.Color;
    }
}

void TRecordingCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    FRecords.Append(EMRLINETO{EmrType::EMR_MOVETOEX, {x, y}});
    Drain();
}

void TRecordingCanvas::LineTo(std::int32_t x, std::int32_t y) {
    RequirePen();
    FRecords.Append(EMRLINETO{EmrType::EMR_LINETO, {x, y}});
    Drain();
}

void TRecordingCanvas::SegmentWithNewPen(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    // The buffer may be handed over between the two records or after both
    // alike: the records and their order are the same.
    FRecords.Append(EMRLINETO{EmrType::EMR_MOVETOEX, {x0, y0}});
    RequirePen();
    FRecords.Append(EMRLINETO{EmrType::EMR_LINETO, {x1, y1}});
    Drain();
}

void TRecordingCanvas::Segments(std::span<const TPoint> points) {
    if (points.size() < 2) return;
    // The first selects the pen where it changed; the others keep it.
    Segment(points[0].X, points[0].Y, points[1].X, points[1].Y);
    constexpr std::size_t kWords = TEmfRecordBuffer::kSegmentWords;
    std::size_t done = 1;
    const std::size_t n = points.size() - 1;
    while (done < n) {
        // As many as one by one would record before the next hand-over.
        std::size_t take = n - done;
        if (OnDrain) {
            const std::size_t used = FRecords.Words();
            take = std::min(take, used >= DrainWords ? 1 : (DrainWords - used + kWords - 1) / kWords);
        }
        FRecords.AppendSegments(points.data() + done, take);
        done += take;
        Drain();
    }
}

void TRecordingCanvas::Polygon(std::span<const TPoint> points) {
    RequirePen();
    RequireBrush();
    auto fits16 = [](std::int32_t v) {
        return v >= std::numeric_limits<std::int16_t>::min() &&
               v <= std::numeric_limits<std::int16_t>::max();
    };
    bool small = std::all_of(points.begin(), points.end(),
                             [&](const TPoint& p) { return fits16(p.X) && fits16(p.Y); });
    FRecords.AppendPoly(small ? EmrType::EMR_POLYGON16 : EmrType::EMR_POLYGON, points, small);
    Drain();
}

void TRecordingCanvas::PolyPolygon(std::span<const TPoint> points, std::span<const std::uint32_t> counts) {
    RequirePen();
    RequireBrush();
    auto fits16 = [](std::int32_t v) {
        return v >= std::numeric_limits<std::int16_t>::min() &&
               v <= std::numeric_limits<std::int16_t>::max();
    };
    std::size_t at = 0;
    for (std::size_t first = 0; first < counts.size(); first += kMaxPolyPolygonParts) {
        const std::span<const std::uint32_t> part =
            counts.subspan(first, std::min(kMaxPolyPolygonParts, counts.size() - first));
        std::size_t n = 0;
        for (std::uint32_t c : part) n += c;
        const std::span<const TPoint> pts = points.subspan(at, n);
        at += n;
        bool small = std::all_of(pts.begin(), pts.end(), [&](const TPoint& p) { return fits16(p.X) && fits16(p.Y); });
        FRecords.AppendPolyPoly(small ? EmrType::EMR_POLYPOLYGON16 : EmrType::EMR_POLYPOLYGON, part, pts, small);
        Drain();
    }
}

void TRecordingCanvas::Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                 std::int32_t y2) {
    RequirePen();
    RequireBrush();
    FRecords.Append(EMRRECTANGLE{EmrType::EMR_RECTANGLE, {x1, y1, x2, y2}});
    Drain();
}

void TRecordingCanvas::Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                               std::int32_t y2) {
    RequirePen();
    RequireBrush();
    FRecords.Append(EMRRECTANGLE{EmrType::EMR_ELLIPSE, {x1, y1, x2, y2}});
    Drain();
}

void TRecordingCanvas::TextOut(std::int32_t x, std::int32_t y, std::string_view text) {
    RequireFont();
    EMREXTTEXTOUTW rec;
    rec.emrtext.ptlReference = {x, y};
    rec.String = DrawnTextToUtf16(text);
    rec.emrtext.nChars = static_cast<std::uint32_t>(rec.String.size());
    FRecords.Append(rec);
    Drain();
}

void TRecordingCanvas::SetTextAlign(std::uint32_t mode) {
    FRecords.Append(EMRSETTEXTALIGN{EmrType::EMR_SETTEXTALIGN, mode});
    Drain();
}

const TEmfRecording& TRecordingCanvas::Records() const {
    FView = FRecords.ToRecording();
    return FView;
}

TEmfRecording TRecordingCanvas::Close() { return CloseBuffer().ToRecording(); }

TEmfRecordBuffer TRecordingCanvas::CloseBuffer() {
    FRecords.Append(EMREOF{});
    TEmfRecordBuffer out = std::move(FRecords);
    FRecords.Release();
    FView.clear();
    return out;
}
