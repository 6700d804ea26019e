// The drawing sink: canvas-like operations in integer target coordinates.
// It draws into one of two forms, chosen once before drawing by TextMode: in
// text mode every straight segment becomes one line of the text file; in DXF
// mode every operation is forwarded to the recording canvas of the attached
// simplified-DXF writer, after the sink's pen, brush and font have been
// copied onto it. The sink never scales: it writes the integers it gets.
//
// The forms are only declared here: what draws onto a sink needs the
// canvas-like operations and their attributes, not the files behind them.
// Whoever binds the text file or attaches a writer includes
// output/text_file.h or output/dxf_writer.h.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gdi_attributes.h"
#include "platform/plane.h"
#include "platform/scoped.h"

class TkrDXFExport;
class TRecordingCanvas;
class TTextFile;

struct TIntRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// A clip rectangle in target coordinates, bounds inclusive.
using TClipRect = TPlaneRect;

class TPDFCanvas {
public:
    TPDFCanvas();
    ~TPDFCanvas();
    TPDFCanvas(const TPDFCanvas&) = delete;
    TPDFCanvas& operator=(const TPDFCanvas&) = delete;

    TPen Pen;      // black, width 1, solid
    TBrush Brush;  // white, solid
    TFont Font;    // "Microsoft Sans Serif", 72 pixels per inch
    TPoint PenPos;
    // The DXF form: the writer whose recording canvas is drawn on (released
    // with the sink).
    std::unique_ptr<TkrDXFExport> Exporter;
    bool TextMode = false;
    // The text form: the file of segment lines (closed with the sink).
    TTextFile& TextFile() { return *FTextFile; }
    // While Clipping is set, what is drawn is clipped at ClipRect: segments
    // (and in text form the outlines of polygons) are cut at its edges and
    // their parts outside are dropped, filled polygons are clipped to it,
    // rectangles are cut to it, and texts, pixels and ellipses are kept when
    // their reference point lies inside. What lies wholly inside is drawn
    // exactly as without clipping.
    bool Clipping = false;
    TClipRect ClipRect;

    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    // Point list form: x0, y0, x1, y1, ...; an odd trailing integer is ignored.
    void Polyline(std::span<const int32_t> xy);
    void Polyline(const TPoint* points, int n);
    void Polygon(const TPoint* points, int n);
    void PolyPolyline(const TPoint* points, const int* counts, int m);
    // Each of the m polygons filled on its own (in text form each outline
    // without its closing segment).
    void PolyPolygon(const TPoint* points, const int* counts, int m);
    // The m polygons as one filled area: a polygon inside another is a hole
    // (in DXF form one HATCH with every polygon as a loop). In text form each
    // outline without its closing segment, as PolyPolygon.
    void PolyPolygonArea(const TPoint* points, const int* counts, int m);
    void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void SetPixel(int32_t x, int32_t y, TColor color);
    void TextOut(int32_t x, int32_t y, std::string_view text);
    void FillRect(const TIntRect&) {}

private:
    const std::unique_ptr<TTextFile> FTextFile;
    void ClippedLineTo(int32_t x, int32_t y);
    void ClippedPolyline(const TPoint* points, int n);
    void ClippedPolygon(const TPoint* points, int n);
    void ClippedPolyPolygonArea(const TPoint* points, const int* counts, int m);
    // The polygon clipped to ClipRect (Sutherland-Hodgman), rounded, without
    // repeated points; fewer than 3 points when nothing of it is inside.
    void ClipPolygonPoints(const TPoint* points, int n, std::vector<TPoint>& out) const;
    void ClippedRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    bool ClipContains(int32_t x, int32_t y) const;
    TRecordingCanvas& Canvas();
    // The recording canvas with the pen and brush, set to fill an area in
    // the pen's colour without an outline.
    TRecordingCanvas& FilledArea();
    void TransferPen();
    void TransferBrush();
    void TransferFont();
};

// Turns a sink's clipping off for its lifetime: the clipped operations draw
// what is left through the plain ones.
class TClipOff : TScopedRestore<bool> {
public:
    explicit TClipOff(TPDFCanvas& s) : TScopedRestore(s.Clipping, false) {}
};
