// The dash pattern of one line type: its elements (a positive value is a dash,
// a negative value a gap, 0 a dot), each already multiplied by Scale when it
// was added.
#pragma once

#include <vector>

#include "model/geometry.h"

class TkrLines {
public:
    std::vector<float> FTicks;
    double Scale = 1.0;

    void AddTick(double value) { FTicks.push_back(float(value * Scale)); }
    void ClearTicks() { FTicks.clear(); }
    // A pattern of zeros only (all bits zero) draws as a continuous line.
    void Normalize();
    bool IsSolid() const { return FTicks.size() < 2; }
    int TickCount() const { return int(FTicks.size()); }
    float Tick(int i) const { return FTicks[size_t(i)]; }

    // Cutting. scale divides every segment length (global line type scale x
    // the entity's line type scale); it is passed by the caller instead of
    // being kept in the shared pattern, so one pattern serves every entity.
    // Output points are appended pairwise (0-1 the first dash, 2-3 the next;
    // two equal points are a dot); out must be empty on entry.
    void Line(double scale, const TPoint3F& s, const TPoint3F& e, std::vector<TPoint3F>& out) const;
    void Poly(double scale, std::vector<TPoint3F>& points, std::vector<TPoint3F>& out, bool closed) const;
    void Curve(double scale, std::vector<TPoint3F>& points, std::vector<TPoint3F>& out, bool closed) const;
    // Pattern anchored at a phase point of a hatch family line (2-D, Z = 0).
    void Line(double scale, const TPoint3F& a, const TPoint3F& b, std::vector<TPoint3F>& out,
              const TPoint3F& phase) const;
};
