// Plane geometry shared by the model and the sinks: the rounding of a
// coordinate to the 32-bit target and the clipping of segments and polygons
// at an axis-parallel rectangle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// v rounded to the nearest integer (ties to even) and held inside the 32-bit
// range; NaN gives 0.
int32_t RoundInt(double v);

struct TPlanePoint {
    double X, Y;
};

// A point in integer target coordinates.
struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// An axis-parallel rectangle, MinX <= MaxX and MinY <= MaxY.
struct TPlaneRect {
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

// Liang-Barsky: cuts the segment a-b to the rectangle; false when nothing of
// it is inside. An end inside stays exactly as it was. Infinite bounds (a
// rectangle past the float range) cut nothing; a NaN bound keeps nothing.
bool ClipSegment(const TPlaneRect& r, TPlanePoint& a, TPlanePoint& b);

// The edges of a rectangle a polygon is clipped against, in the order they
// are taken: the polygon keeps the side x >= MinX, x <= MaxX, y >= MinY,
// y <= MaxY of each.
enum class TRectEdge { MinX, MaxX, MinY, MaxY };

// Where the output of one edge starts when the closing segment (last vertex
// to first) crosses the edge: with that crossing, or with the first vertex
// kept (the crossing then comes last). Either is the same polygon; the
// callers' outputs depend on where it starts.
enum class TClipStart { ClosingCrossing, FirstVertex };

// Sutherland-Hodgman: poly becomes its part inside r (fewer than 3 points
// when nothing of it is inside), work is scratch space. cross(a, b, edge, v)
// gives the point where the segment a-b crosses the line of the edge at the
// coordinate v (x = v for MinX/MaxX, y = v for MinY/MaxY); the callers keep
// their own arithmetic there, since their outputs depend on its last bits.
template <class Cross>
void ClipPolygonToRect(std::vector<TPlanePoint>& poly, std::vector<TPlanePoint>& work, const TPlaneRect& r,
                       TClipStart start, Cross cross) {
    auto clip = [&](TRectEdge edge, double v, auto inside) {
        work.clear();
        const size_t n = poly.size();
        if (n == 0) return;
        work.reserve(n + 4);
        if (start == TClipStart::ClosingCrossing) {
            for (size_t i = 0; i < n; ++i) {
                const TPlanePoint& a = poly[(i + n - 1) % n];
                const TPlanePoint& b = poly[i];
                const bool ia = inside(a), ib = inside(b);
                if (ia != ib) work.push_back(cross(a, b, edge, v));
                if (ib) work.push_back(b);
            }
        } else {
            for (size_t i = 0; i < n; ++i) {
                const TPlanePoint& a = poly[i];
                const TPlanePoint& b = poly[(i + 1) % n];
                const bool ia = inside(a), ib = inside(b);
                if (ia) work.push_back(a);
                if (ia != ib) work.push_back(cross(a, b, edge, v));
            }
        }
        poly.swap(work);
    };
    clip(TRectEdge::MinX, r.MinX, [&](const TPlanePoint& p) { return p.X >= r.MinX; });
    clip(TRectEdge::MaxX, r.MaxX, [&](const TPlanePoint& p) { return p.X <= r.MaxX; });
    clip(TRectEdge::MinY, r.MinY, [&](const TPlanePoint& p) { return p.Y >= r.MinY; });
    clip(TRectEdge::MaxY, r.MaxY, [&](const TPlanePoint& p) { return p.Y <= r.MaxY; });
}
