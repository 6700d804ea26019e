// Plane geometry shared by the model and the sinks: the rounding of a
// coordinate to the 32-bit target and the clipping of segments at an
// axis-parallel rectangle.
#pragma once

#include <cstdint>

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
