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

    // Cutting (model/line_type_cut.cpp). scale divides every segment length
    // (global line type scale x the entity's line type scale); it is passed by
    // the caller instead of being kept in the shared pattern, so one pattern
    // serves every entity and cutting changes nothing in it.
    // Output points are appended pairwise (0-1 the first dash, 2-3 the next;
    // two equal points are a dot); out must be empty on entry, and a pattern
    // with fewer than two elements cannot cut: both raise EListError.
    //
    // Bounds: a segment that needs more than 1000 repetitions of the pattern,
    // a pattern of length 0, NaN or infinity, an unusable scale (not a finite
    // positive number) or non-finite coordinates are drawn solid. Cutting one
    // segment (Line, each segment of Poly) or one Curve run emits at most
    // 2 x (repetitions + 2) x element count + 8 points, plus two per vertex
    // for Curve; a cut whose pattern part could pass 4 194 304 points (an
    // absurd element count or run) is drawn solid from the start, and a walk
    // that would pass its budget (only NaN or rounding could make it) is
    // replaced by the solid line. Every loop therefore ends.
    //
    // Line: one straight segment, pattern centred on it.
    void Line(double scale, const TPoint3F& s, const TPoint3F& e, std::vector<TPoint3F>& out) const;
    // Poly: each segment of points cut on its own by Line; closed appends a
    // copy of the first point to points.
    void Poly(double scale, std::vector<TPoint3F>& points, std::vector<TPoint3F>& out, bool closed) const;
    // Curve: one pattern centred along the whole run, dashes continuing around
    // vertices. closed appends a copy of the first point; consecutive equal
    // points are removed from points.
    void Curve(double scale, std::vector<TPoint3F>& points, std::vector<TPoint3F>& out, bool closed) const;
    // Pattern anchored at a phase point of a hatch family line (2-D, Z = 0).
    void Line(double scale, const TPoint3F& a, const TPoint3F& b, std::vector<TPoint3F>& out,
              const TPoint3F& phase) const;
};
