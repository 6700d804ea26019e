// Clipping of the sink's drawing calls at a rectangle in target coordinates
// (a viewport's frame): segments are cut, filled polygons clipped, and what
// lies wholly inside goes through unchanged.
#include <algorithm>
#include <cmath>
#include <vector>

#include "output/sink.h"
#include "platform/plane.h"

namespace {
using TPt = TPlanePoint;

bool Inside(const TClipRect& r, double x, double y) { return x >= r.MinX && x <= r.MaxX && y >= r.MinY && y <= r.MaxY; }

TPoint Rounded(const TPt& p) { return {RoundInt(p.X), RoundInt(p.Y)}; }

// Where a segment crosses the line of an edge of the clip rectangle.
TPt Cross(const TPt& a, const TPt& b, TRectEdge edge, double v) {
    if (edge == TRectEdge::MinX || edge == TRectEdge::MaxX) {
        double t = (v - a.X) / (b.X - a.X);
        return {v, a.Y + t * (b.Y - a.Y)};
    }
    double t = (v - a.Y) / (b.Y - a.Y);
    return {a.X + t * (b.X - a.X), v};
}

bool AllInside(const TClipRect& r, const TPoint* p, int n) {
    for (int i = 0; i < n; ++i)
        if (!Inside(r, p[i].X, p[i].Y)) return false;
    return true;
}
}  // namespace

bool TPDFCanvas::ClipContains(int32_t x, int32_t y) const { return Inside(ClipRect, x, y); }

void TPDFCanvas::ClippedLineTo(int32_t x, int32_t y) {
    TPt a{double(PenPos.X), double(PenPos.Y)}, b{double(x), double(y)};
    {
        TClipOff off(*this);
        if (Inside(ClipRect, a.X, a.Y) && Inside(ClipRect, b.X, b.Y)) {
            LineTo(x, y);
        } else if (ClipSegment(ClipRect, a, b)) {
            TPoint s = Rounded(a), e = Rounded(b);
            MoveTo(s.X, s.Y);
            LineTo(e.X, e.Y);
        }
    }
    PenPos = {x, y};
}

void TPDFCanvas::ClippedPolyline(const TPoint* p, int n) {
    TClipOff off(*this);
    if (AllInside(ClipRect, p, n)) return Polyline(p, n);
    // The parts inside, each drawn as a polyline of its own.
    std::vector<TPoint> piece;
    auto flush = [&] {
        if (piece.size() >= 2) Polyline(piece.data(), int(piece.size()));
        piece.clear();
    };
    for (int i = 1; i < n; ++i) {
        TPt a{double(p[i - 1].X), double(p[i - 1].Y)}, b{double(p[i].X), double(p[i].Y)};
        if (!ClipSegment(ClipRect, a, b)) {
            flush();
            continue;
        }
        TPoint s = Rounded(a), e = Rounded(b);
        if (piece.empty() || !(piece.back() == s)) {
            flush();
            piece.push_back(s);
        }
        piece.push_back(e);
    }
    flush();
    PenPos = p[n - 1];
}

void TPDFCanvas::ClippedPolygon(const TPoint* p, int n) {
    // In text form a polygon is its outline without the closing segment: that
    // outline is cut like any polyline, so no segment of the frame appears.
    if (TextMode) return ClippedPolyline(p, n);
    TClipOff off(*this);
    if (AllInside(ClipRect, p, n)) return Polygon(p, n);
    std::vector<TPoint> out;
    ClipPolygonPoints(p, n, out);
    if (out.size() >= 3) Polygon(out.data(), int(out.size()));
}

void TPDFCanvas::ClippedPolyPolygonArea(const TPoint* p, const int* counts, int m) {
    if (TextMode) {
        for (int i = 0; i < m; ++i) {
            ClippedPolyline(p, counts[i]);
            p += counts[i] > 0 ? counts[i] : 0;
        }
        return;
    }
    TClipOff off(*this);
    // Every polygon clipped alone; what is left of them stays one area.
    std::vector<TPoint> points, out;
    std::vector<int> kept;
    for (int i = 0; i < m; ++i) {
        const int n = counts[i] > 0 ? counts[i] : 0;
        if (n > 0 && AllInside(ClipRect, p, n)) {
            points.insert(points.end(), p, p + n);
            kept.push_back(n);
        } else if (n > 0) {
            ClipPolygonPoints(p, n, out);
            if (out.size() >= 3) {
                points.insert(points.end(), out.begin(), out.end());
                kept.push_back(int(out.size()));
            }
        }
        p += n;
    }
    if (!kept.empty()) PolyPolygonArea(points.data(), kept.data(), int(kept.size()));
}

void TPDFCanvas::ClipPolygonPoints(const TPoint* p, int n, std::vector<TPoint>& out) const {
    const TClipRect& r = ClipRect;
    std::vector<TPt> a(static_cast<size_t>(n)), b;
    for (int i = 0; i < n; ++i) a[size_t(i)] = {double(p[i].X), double(p[i].Y)};
    ClipPolygonToRect(a, b, r, TClipStart::ClosingCrossing, Cross);
    out.clear();
    out.reserve(a.size());
    for (const TPt& q : a) {
        TPoint t = Rounded(q);
        if (out.empty() || !(out.back() == t)) out.push_back(t);
    }
    while (out.size() > 1 && out.back() == out.front()) out.pop_back();
}

void TPDFCanvas::ClippedRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    TClipOff off(*this);
    const TClipRect& r = ClipRect;
    double l = std::min(x1, x2), rt = std::max(x1, x2), t = std::min(y1, y2), b = std::max(y1, y2);
    if (l >= r.MinX && rt <= r.MaxX && t >= r.MinY && b <= r.MaxY) return Rectangle(x1, y1, x2, y2);
    // Cut to the overlap of both (a rectangle too); nothing when they do not meet.
    l = std::max(l, r.MinX), rt = std::min(rt, r.MaxX), t = std::max(t, r.MinY), b = std::min(b, r.MaxY);
    if (!(l <= rt && t <= b)) return;
    Rectangle(RoundInt(l), RoundInt(t), RoundInt(rt), RoundInt(b));
}
