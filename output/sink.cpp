#include "output/sink.h"

#include <vector>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/text_file.h"
#include "platform/recording_canvas.h"

TPDFCanvas::TPDFCanvas() : FTextFile(std::make_unique<TTextFile>()) {
    Font.Name = "Microsoft Sans Serif";
    Font.PixelsPerInch = 72;
}

TPDFCanvas::~TPDFCanvas() = default;

TRecordingCanvas& TPDFCanvas::FilledArea() {
    TransferPen();
    TransferBrush();
    TRecordingCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = c.Pen.Color;
    c.Pen.Width = 0;
    return c;
}

TRecordingCanvas& TPDFCanvas::Canvas() {
    if (!Exporter) throw EkrExportError("The drawing sink has no DXF writer attached");
    return Exporter->GetCanvas();
}

void TPDFCanvas::TransferPen() { Canvas().Pen = Pen; }
void TPDFCanvas::TransferBrush() { Canvas().Brush = Brush; }
void TPDFCanvas::TransferFont() { Canvas().Font = Font; }

void TPDFCanvas::MoveTo(int32_t x, int32_t y) { PenPos = {x, y}; }

void TPDFCanvas::LineTo(int32_t x, int32_t y) {
    if (Clipping) return ClippedLineTo(x, y);
    if (TextMode) {
        FTextFile->WriteSegment(PenPos.X, PenPos.Y, x, y);
    } else {
        // The pen transferred as TransferPen does, with the canvas looked up once.
        TRecordingCanvas& c = Canvas();
        c.Pen = Pen;
        c.Segment(PenPos.X, PenPos.Y, x, y);
    }
    PenPos = {x, y};
}

void TPDFCanvas::Polyline(std::span<const int32_t> xy) {
    size_t n = xy.size() / 2;
    if (n == 0) return;
    if (Clipping) {
        std::vector<TPoint> p(n);
        for (size_t i = 0; i < n; ++i) p[i] = {xy[2 * i], xy[2 * i + 1]};
        return ClippedPolyline(p.data(), int(n));
    }
    MoveTo(xy[0], xy[1]);
    for (size_t i = 1; i < n; ++i) LineTo(xy[2 * i], xy[2 * i + 1]);
}

void TPDFCanvas::Polyline(const TPoint* p, int n) {
    if (n <= 0) return;
    if (Clipping) return ClippedPolyline(p, n);
    if (TextMode) {
        FTextFile->WritePolyline(p, size_t(n));
        PenPos = p[n - 1];
        return;
    }
    TRecordingCanvas& c = Canvas();
    c.Pen = Pen;
    c.Segments(std::span<const TPoint>(p, std::size_t(n)));
    PenPos = p[n - 1];
}

void TPDFCanvas::Polygon(const TPoint* p, int n) {
    if (n <= 0) return;
    if (Clipping) return ClippedPolygon(p, n);
    if (TextMode) {
        // The closing segment back to the first point is not written.
        Polyline(p, n);
        return;
    }
    TRecordingCanvas& c = FilledArea();
    c.Polygon(std::span<const TPoint>(p, size_t(n)));
}

void TPDFCanvas::PolyPolyline(const TPoint* p, const int* counts, int m) {
    for (int i = 0; i < m; ++i) {
        Polyline(p, counts[i]);
        p += counts[i] > 0 ? counts[i] : 0;
    }
}

void TPDFCanvas::PolyPolygon(const TPoint* p, const int* counts, int m) {
    for (int i = 0; i < m; ++i) {
        Polygon(p, counts[i]);
        p += counts[i] > 0 ? counts[i] : 0;
    }
}

void TPDFCanvas::PolyPolygonArea(const TPoint* p, const int* counts, int m) {
    if (m <= 0) return;
    if (Clipping) return ClippedPolyPolygonArea(p, counts, m);
    if (TextMode) return PolyPolygon(p, counts, m);
    // Polygons without points add nothing (as Polygon draws nothing for them).
    std::vector<uint32_t> kept;
    size_t total = 0;
    for (int i = 0; i < m; ++i)
        if (counts[i] > 0) {
            kept.push_back(uint32_t(counts[i]));
            total += size_t(counts[i]);
        }
    if (kept.empty()) return;
    TRecordingCanvas& c = FilledArea();
    c.PolyPolygon(std::span<const TPoint>(p, total), kept);
}

void TPDFCanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (TextMode) return;
    if (Clipping) return ClippedRectangle(x1, y1, x2, y2);
    TransferPen();
    TransferBrush();
    Canvas().Rectangle(x1, y1, x2, y2);
}

void TPDFCanvas::Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (TextMode) return;
    if (Clipping && !ClipContains(int32_t((int64_t(x1) + x2) / 2), int32_t((int64_t(y1) + y2) / 2))) return;
    TransferPen();
    TransferBrush();
    Canvas().Ellipse(x1, y1, x2, y2);
}

void TPDFCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
    if (Clipping && !ClipContains(x, y)) return;
    TClipOff off(*this);
    TColor saved = Brush.Color;
    Brush.Color = color;
    try {
        // x + 1 and y + 1 wrap nowhere: a pixel at the largest coordinate is drawn one unit to the left/up.
        Rectangle(x, y, x == INT32_MAX ? x : x + 1, y == INT32_MAX ? y : y + 1);
    } catch (...) {
        Brush.Color = saved;
        throw;
    }
    Brush.Color = saved;
}

void TPDFCanvas::TextOut(int32_t x, int32_t y, std::string_view text) {
    if (TextMode) return;
    if (Clipping && !ClipContains(x, y)) return;
    TransferFont();
    Canvas().TextOut(x, y, text);
}
