// B-spline mathematics of the SPLINE entity beyond the plain cubic: curves of
// any degree up to kMaxSplineDegree, rational curves (weighted control points)
// and the cubic that CAD programs put through a spline's fit points.
#pragma once

#include <cstddef>
#include <vector>

#include "model/geometry.h"

// The highest spline degree evaluated. CAD programs write degrees 1 to 3,
// rarely up to 7; a higher degree is drawn as its control polygon.
constexpr int kMaxSplineDegree = 10;

struct TSplinePoint {
    double X = 0, Y = 0, Z = 0;
};

// A B-spline curve: degree p, control points, weights (empty: not rational)
// and at least ControlPoints.size() + p + 1 knots, non-decreasing.
struct TBSpline {
    int Degree = 3;
    std::vector<TSplinePoint> ControlPoints;
    std::vector<double> Weights;
    std::vector<double> Knots;
};

// The point at parameter t of span i (Knots[i] <= t <= Knots[i + 1], Degree
// <= i < number of control points), by de Boor's algorithm in homogeneous
// coordinates. A step whose knot difference is 0 takes the left point.
TSplinePoint SplinePointAt(const TBSpline& s, size_t i, double t);

// The values N(i - p .. i, p) at t of span i (p = degree, at most
// kMaxSplineDegree), into n[0 .. p]; a term whose denominator is 0 is 0.
void SplineBasis(const std::vector<double>& knots, int p, size_t i, double t, double n[]);

// A bound of the second derivative's length over span i of a curve that is
// not rational (the largest second-derivative control point of the span).
double SecondDerivativeBound(const TBSpline& s, size_t i);

// Parameter steps of a span of length dt, for a curve whose second
// derivative stays below m2, so that no chord strays more than tolerance
// from the curve: a chord over a parameter step h strays at most h^2/8 * m2.
// At least minSteps; at most maxSteps.
size_t StepsForTolerance(double dt, double m2, double tolerance, size_t minSteps, size_t maxSteps);

// How a curve is sampled: each span in steps of at most its length * Step
// (Step = 1 / parts) and, when Tolerance is above 0, finer where the curve
// would stray more than Tolerance from a chord.
struct TSplineSampling {
    double Step = 1.0 / 25;
    double Tolerance = 0;
    size_t MaxPoints = 0;
};

// Samples the curve into out: its start point, the points of every span
// (from the span's start, in equal parameter steps: 1 / Step of them, more
// where the tolerance asks for them), its end point. Stops at MaxPoints (the
// end point still comes last) and is true then.
bool SampleSpline(const TBSpline& s, const TSplineSampling& how, std::vector<TPoint3F>& out);

// The cubic through the fit points as CAD programs build it: chord-length
// parameters, the interior parameters as knots, and the first derivatives at
// both ends given by the tangent directions (or, when a tangent is zero,
// estimated from the first or last five points) scaled to the length of the
// fit polygon. Consecutive equal fit points count once. False when fewer
// than two points are distinct or the points give no finite curve.
bool CubicThroughFitPoints(const std::vector<TPoint3F>& fit, const TPoint3F& startTangent,
                           const TPoint3F& endTangent, TBSpline& out);
