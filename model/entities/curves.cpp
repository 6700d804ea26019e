#include "model/entities/curves.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/entities/spline_math.h"
#include "model/near_sincos.h"

namespace {
double Dist3(const TPoint3F& a, const TPoint3F& b) {
    double dx = double(b.X) - a.X, dy = double(b.Y) - a.Y, dz = double(b.Z) - a.Z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Rounds to nearest, halves to even (the default rounding mode).
double RoundEven(double v) { return std::nearbyint(v); }

TPolyVertex VertexAt(const TPoint3F& p) {
    TPolyVertex v;
    v.Point = p;
    return v;
}
}  // namespace

// ---- circles, arcs, ellipses ----

// The most numerous records of a drawing fit the allocator's classes of 112,
// 192, 224 and 256 bytes (the next ones up are 128, 224, 256 and 320): a
// field more, or a field placed where it leaves padding, costs up to a fifth
// more memory for each. (Inserts are checked where they are read.)
static_assert(sizeof(void*) != 8 || sizeof(TkrDXFLine) <= 112, "a line record outgrows 112 bytes");
static_assert(sizeof(void*) != 8 || (sizeof(TkrDXFCircle) <= 192 && sizeof(TkrDXFLWPolyline) <= 192),
              "a circle or polyline record outgrows 192 bytes");
static_assert(sizeof(void*) != 8 || sizeof(TkrDXFArc) <= 224, "an arc record outgrows 224 bytes");

void TkrDXFCircle::ReadProperty(TkrDXFConverter& conv) {
    if (conv.Code == 40) Radius = float(conv.ValueAsFloat());
    else TkrDXFPolyline::ReadProperty(conv);
}

TArcParams TkrDXFCircle::GetArcParams() const {
    TArcParams p;
    p.RadiusX = p.RadiusY = Radius;
    p.Cos = 1, p.Sin = 0;
    p.EndAngle = 360, p.StartAngle = 0;
    return p;
}

size_t TkrDXFCircle::PointCount(const TkrDXFConverter& conv, const TArcParams& p, double& step,
                                TBoundHits* bounds) const {
    double a0 = DegToRad(p.StartAngle), a1 = DegToRad(p.EndAngle);
    double sweep = a1 - a0;
    // At least 3 points; at most kMaxEntityPoints, so that a huge sweep (an
    // angle too large for its precision) or resolution cannot run away.
    double nd = RoundEven(sweep / kPi * Parts);
    if (!(nd >= 3)) nd = 3;
    // A chord tolerance adds points where the fixed count strays further
    // from the curve (never fewer). An ellipse strays at most as a circle of
    // its larger radius does.
    nd = std::max(nd, ChordPointsForTolerance(std::max(std::fabs(p.RadiusX), std::fabs(p.RadiusY)), sweep,
                                              conv.ChordTolerance));
    if (nd > double(kMaxEntityPoints)) {
        nd = double(kMaxEntityPoints);
        if (bounds) ++bounds->EntityPoints;
    }
    size_t n = size_t(nd);
    step = sweep / double(n - 1);
    return n;
}

namespace {
// Makes t the table of n angles from a0 by step, unless it is that already.
void PrepareTable(TAngleTable& t, double a0, double step, size_t n) {
    if (t.Count == n && t.Start == a0 && t.Step == step) return;
    t.Cos.clear();
    t.Sin.clear();
    t.Count = 0;
    double angle = a0;
    for (size_t k = 0; k < n; ++k) {
        t.Cos.push_back(std::cos(angle));
        t.Sin.push_back(std::sin(angle));
        angle += step;
    }
    t.CosMin = t.CosMax = t.SinMin = t.SinMax = 0;
    for (size_t k = 1; k < n; ++k) {
        if (t.Cos[k] < t.Cos[t.CosMin]) t.CosMin = k;
        if (t.Cos[k] > t.Cos[t.CosMax]) t.CosMax = k;
        if (t.Sin[k] < t.Sin[t.SinMin]) t.SinMin = k;
        if (t.Sin[k] > t.Sin[t.SinMax]) t.SinMax = k;
    }
    t.Start = a0, t.Step = step, t.Count = n;
}

// Point k of the table's walk over p about c: the one formula of every
// tabled point, of the full list and of the extremes alike.
TPoint3F TabledPoint(const TAngleTable& t, size_t k, const TArcParams& p, const TPoint3F& c) {
    double u = t.Cos[k] * p.RadiusX, v = t.Sin[k] * p.RadiusY;
    return Point3F(c.X + u * p.Cos - v * p.Sin, c.Y + u * p.Sin + v * p.Cos, c.Z);
}
}  // namespace

void TkrDXFCircle::BaseVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& out, TAngleTable& t,
                                TBoundHits* bounds) const {
    out.clear();
    TArcParams p = GetArcParams();
    double step = 0;
    const size_t n = PointCount(conv, p, step, bounds);
    const double a0 = DegToRad(p.StartAngle);
    TPoint3F c = Centre();
    out.reserve(n);
    const bool tabled = t.Count == n && t.Start == a0 && t.Step == step;
    if (!tabled && a0 != 0) {
        // An arc from anywhere: its angles are seldom walked again, so they
        // are not tabled (which keeps the table of the circles about it).
        auto at = [&](double cs, double sn) {
            double u = cs * p.RadiusX, v = sn * p.RadiusY;
            return std::pair{c.X + u * p.Cos - v * p.Sin, c.Y + u * p.Sin + v * p.Cos};
        };
        const TSinCosSigns signs = TurnedEllipseSigns(p.RadiusX, p.RadiusY, p.Cos, p.Sin);
        double angle = a0;
        for (size_t k = 0; k < n; ++k) {
            TPolyVertex& v = out.emplace_back();
            SinCosPoint(angle, signs, at, v.Point.X, v.Point.Y);
            v.Point.Z = c.Z;
            angle += step;
        }
        return;
    }
    PrepareTable(t, a0, step, n);
    for (size_t k = 0; k < n; ++k) out.push_back(VertexAt(TabledPoint(t, k, p, c)));
}

bool TkrDXFCircle::ExtremePoints(TkrDXFConverter& conv, std::vector<TPolyVertex>& verts, size_t& count) {
    verts.clear();
    // Only the box is made of a plain circle's points when it is finished: a
    // continuous line type (no dashes to count), no thickness, the default
    // extrusion and none of the rarer polyline data.
    if (Class != TEntityClass::Circle || HasExtras() || PenLine.Thickness != 0 ||
        !IsDefaultExtrusion(SanitizeExtrusion(PenLine.Extrusion)))
        return false;
    PenLine.PreparePattern(Layer);
    if (!PenLine.Pattern->IsSolid()) return false;
    const TPoint3F c = Centre();
    if (!(Radius > 0) || !std::isfinite(Radius) || !std::isfinite(c.X) || !std::isfinite(c.Y) ||
        !std::isfinite(c.Z))
        return false;
    const TArcParams p = GetArcParams();
    double step = 0;
    count = PointCount(conv, p, step, &conv.Bounds);
    TAngleTable& t = conv.AngleTable;
    PrepareTable(t, 0, step, count);
    // With a positive radius, the x of point k (the centre plus radius times
    // cosine, less the radius times sine times 0, each rounded) never falls
    // as the cosine of entry k rises, and the y never falls as its sine
    // does: the rounding of every step keeps that order. So the points of
    // the smallest and largest cosine and sine have the extremes of all
    // points, which is all the box takes of them. (A zero in its place could
    // be +0 or -0 depending on the point that made it: then every point.)
    for (size_t k : {t.CosMin, t.CosMax, t.SinMin, t.SinMax}) verts.push_back(VertexAt(TabledPoint(t, k, p, c)));
    auto sound = [](float v) { return std::isfinite(v) && v != 0; };
    if (sound(verts[0].Point.X) && sound(verts[1].Point.X) && sound(verts[2].Point.Y) && sound(verts[3].Point.Y))
        return true;
    verts.clear();
    for (size_t k = 0; k < count; ++k) verts.push_back(VertexAt(TabledPoint(t, k, p, c)));
    count = 0;
    return true;
}

void TkrDXFCircle::Loaded(TkrDXFConverter& conv) {
    if (Class == TEntityClass::Circle) Closed = true;
    Parts = conv.CirclePoints;
    Entities.clear();
    std::vector<TPolyVertex> verts;
    size_t count = 0;
    if (!ExtremePoints(conv, verts, count)) BaseVertices(conv, verts, conv.AngleTable, &conv.Bounds);
    // Kept even for a curve about the origin.
    NonZero = true;
    Finish(conv, verts);
    if (count != 0) SetVertexCount(count);
}

void TkrDXFArc::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 50: StartAngle = float(conv.ValueAsFloat()); break;
        case 51: EndAngle = float(conv.ValueAsFloat()); break;
        default: TkrDXFCircle::ReadProperty(conv); break;
    }
}

TArcParams TkrDXFArc::GetArcParams() const {
    TArcParams p = TkrDXFCircle::GetArcParams();
    // Reduced to [-180, 180] by the nearest multiple of 360 (ties to even).
    // std::remainder is exact: subtracting 360 * round(a / 360) leaves an
    // error as large as the angle's precision for huge angles (3.9e34 stays
    // about 1e18), whose sweep would then make a million points.
    double s = std::remainder(double(StartAngle), 360.0);
    double e = std::remainder(double(EndAngle), 360.0);
    if (!(e > s)) e += 360;
    p.StartAngle = s;
    p.EndAngle = e;
    return p;
}

void TkrDXFArc::Loaded(TkrDXFConverter& conv) {
    Closed = false;
    TkrDXFCircle::Loaded(conv);
    TPoint3F c = Centre();
    double s = DegToRad(StartAngle), e = DegToRad(EndAngle);
    StartPoint = Point3F(c.X + double(Radius) * std::cos(s), c.Y + double(Radius) * std::sin(s), c.Z);
    EndPoint = Point3F(c.X + double(Radius) * std::cos(e), c.Y + double(Radius) * std::sin(e), c.Z);
    if (!IsDefaultExtrusion(PenLine.Extrusion)) {
        StartPoint = OCSToWCS(StartPoint, PenLine.Extrusion);
        EndPoint = OCSToWCS(EndPoint, PenLine.Extrusion);
    }
}

void TkrDXFEllipse::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 11: MajorAxis.X = float(conv.ValueAsFloat()); break;
        case 21: MajorAxis.Y = float(conv.ValueAsFloat()); break;
        case 31: MajorAxis.Z = float(conv.ValueAsFloat()); break;
        case 40: Ratio = float(conv.ValueAsFloat()); break;
        case 41: StartAngle = float(conv.ValueAsFloat() * 180 / kPi); break;
        case 42: EndAngle = float(conv.ValueAsFloat() * 180 / kPi); break;
        case 50:
        case 51: break;
        default: TkrDXFPolyline::ReadProperty(conv); break;
    }
}

TArcParams TkrDXFEllipse::GetArcParams() const {
    TArcParams p = TkrDXFArc::GetArcParams();
    double rx = p.RadiusX;
    p.RadiusY = rx * Ratio;
    if (std::fabs(rx) <= 1e-10) {
        p.Cos = 0, p.Sin = 1;
    } else {
        p.Cos = MajorAxis.X / rx;
        p.Sin = MajorAxis.Y / rx;
    }
    return p;
}

void TkrDXFEllipse::Loaded(TkrDXFConverter& conv) {
    // Seen from the -Z side: computed for the +Z side with the parameters
    // mirrored, which gives the same points.
    if (PenLine.Extrusion.Z < 0) {
        std::swap(StartAngle, EndAngle);
        StartAngle = -StartAngle;
        EndAngle = -EndAngle;
        PenLine.Extrusion.Z = -PenLine.Extrusion.Z;
    }
    Radius = float(std::sqrt(double(MajorAxis.X) * MajorAxis.X + double(MajorAxis.Y) * MajorAxis.Y));
    TkrDXFArc::Loaded(conv);
}

// ---- splines ----

void TkrDXFSpline::ReadProperty(TkrDXFConverter& conv) {
    auto passAs = [&](int code) {
        TGroupCodeAs as(conv, code);
        TkrDXFLWPolyline::ReadProperty(conv);
    };
    // Degree, weights and end tangents are the SPLINE's own: a LEADER, which
    // reads the rest as a spline does, means other things by 41 and 71.
    if (Class == TEntityClass::Spline || Class == TEntityClass::Helix) switch (conv.Code) {
            case 41: Weights.push_back(conv.ValueAsFloat()); return;
            case 12: StartTangent.X = float(conv.ValueAsFloat()); return;
            case 22: StartTangent.Y = float(conv.ValueAsFloat()); return;
            case 32: StartTangent.Z = float(conv.ValueAsFloat()); return;
            case 13: EndTangent.X = float(conv.ValueAsFloat()); return;
            case 23: EndTangent.Y = float(conv.ValueAsFloat()); return;
            case 33: EndTangent.Z = float(conv.ValueAsFloat()); return;
            case 71:
                // The polyline reader gets the degree as well, as it always has.
                Degree = conv.ValueAsInt();
                break;
            default: break;
        }
    switch (conv.Code) {
        case 10:
            ControlPoints.push_back({float(conv.ValueAsFloat()), 0, 0});
            TkrDXFLWPolyline::ReadProperty(conv);
            break;
        case 20: {
            float y = float(conv.ValueAsFloat());
            if (!ControlPoints.empty()) ControlPoints.back().Y = y;
            TkrDXFLWPolyline::ReadProperty(conv);
            break;
        }
        case 30: {
            float z = float(conv.ValueAsFloat());
            if (!ControlPoints.empty()) ControlPoints.back().Z = z;
            break;
        }
        case 11:
            FitPoints.push_back({float(conv.ValueAsFloat()), 0, Elevation});
            if (ControlPoints.size() < FitPoints.size()) passAs(10);
            break;
        case 21: {
            float y = float(conv.ValueAsFloat());
            if (!FitPoints.empty()) FitPoints.back().Y = y;
            if (ControlPoints.size() < FitPoints.size()) passAs(20);
            break;
        }
        case 40: Knots.push_back(float(conv.ValueAsFloat())); break;
        case 41:  // weight (of a SPLINE: read above)
        case 42:  // knot tolerance
        case 43:  // control point tolerance
            conv.ValueAsFloat();
            break;
        case 12: case 22: case 32: case 13: case 23: case 33: case 31: break;
        default: TkrDXFLWPolyline::ReadProperty(conv); break;
    }
}

void TkrDXFSpline::BaseVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& out, TAngleTable&,
                                TBoundHits* bounds) const {
    TBoundHits unused;
    TBoundHits& hits = bounds ? *bounds : unused;
    std::vector<TPoint3F> pts;
    if (FitPointMode && FitPoints.size() >= 2) {
        if (InterpolateFitPoints(FitPoints, StartTangent, EndTangent, Parts, pts)) ++hits.EntityPoints;
    } else if (FitPoints.size() >= 2 && (ControlPoints.size() < FitPoints.size() || Knots.empty())) {
        // Fit points the control points cannot stand for: the curve CAD
        // programs put through them, which the polyline finishing then treats
        // as its vertices (box, dashes, segments). A curve that cannot be made
        // keeps the fit polygon.
        if (!FitCurve(conv, hits, pts)) pts.clear();
    }
    if (pts.empty()) {
        SourceVertices.CopyTo(out);
        return;
    }
    out.clear();
    out.reserve(pts.size());
    for (const TPoint3F& p : pts) out.push_back(VertexAt(p));
}

bool TkrDXFSpline::FitCurve(const TkrDXFConverter& conv, TBoundHits& bounds, std::vector<TPoint3F>& out) const {
    // One span per pair of fit points with Parts points each, fewer when that
    // would pass kMaxEntityPoints; with more spans than that bound allows
    // even at one point a span, the fit polygon stands for the curve.
    if (FitPoints.size() + 1 > kMaxEntityPoints) {
        ++bounds.EntityPoints;
        return false;
    }
    TBSpline curve;
    if (!CubicThroughFitPoints(FitPoints, StartTangent, EndTangent, curve)) return false;
    const size_t spans = curve.ControlPoints.size() - 3;
    size_t parts = size_t(std::max(Parts, 1));
    if (spans * parts + 2 > kMaxEntityPoints) {
        parts = std::max<size_t>(1, (kMaxEntityPoints - 2) / spans);
        ++bounds.EntityPoints;
    }
    TSplineSampling how;
    how.Step = 1.0 / double(parts);
    how.Tolerance = conv.ChordTolerance;
    how.MaxPoints = kMaxEntityPoints;
    if (SampleSpline(curve, how, out)) ++bounds.EntityPoints;
    return true;
}

TkrDXFSpline::TForm TkrDXFSpline::Form(TkrDXFConverter& conv, bool& useWeights) const {
    const size_t nc = ControlPoints.size();
    const int p = Degree == 0 ? 3 : Degree;
    // Weights count when there is one per control point, each a positive
    // number; equal weights give the curve without them. Weights that do not
    // fit are left out, with a warning.
    useWeights = false;
    if (!Weights.empty()) {
        bool sound = Weights.size() == nc;
        for (double w : Weights) sound = sound && std::isfinite(w) && w > 0;
        if (!sound) ++conv.Bounds.SplineWeights;
        else useWeights = std::any_of(Weights.begin(), Weights.end(), [&](double w) { return w != Weights[0]; });
    }
    if (p < 1 || p > kMaxSplineDegree) {
        ++conv.Bounds.SplineData;
        return TForm::Polygon;
    }
    // The plain cubic reads its knots as it always has (short lists padded
    // with the last knot).
    if (p == 3 && !useWeights) return TForm::Cubic;
    // Any other curve needs its degree + 1 control points and, for them,
    // control points + degree + 1 finite non-decreasing knots (more are not
    // used).
    bool fits = nc >= size_t(p) + 1 && Knots.size() >= nc + size_t(p) + 1;
    for (size_t i = 0; fits && i < nc + size_t(p) + 1; ++i)
        fits = std::isfinite(Knots[i]) && (i == 0 || Knots[i] >= Knots[i - 1]);
    if (!fits) {
        ++conv.Bounds.SplineData;
        return TForm::Polygon;
    }
    return TForm::General;
}

void TkrDXFSpline::Loaded(TkrDXFConverter& conv) {
    Parts = conv.SplineParts;
    PenLine.Extrusion = {0, 0, 1};  // spline points are world coordinates
    Entities.clear();
    FCurve.clear();
    std::vector<TPolyVertex> verts;
    BaseVertices(conv, verts, conv.AngleTable, &conv.Bounds);
    bool evaluate = !FitPointMode && FitPoints.size() <= ControlPoints.size() && !Knots.empty();
    bool useWeights = false;
    TForm form = TForm::Cubic;
    if (evaluate && !ControlPoints.empty()) {
        form = Form(conv, useWeights);
        if (form == TForm::Polygon) evaluate = false;
    }
    // The polygon's own point list is only made when it is what is drawn.
    Finish(conv, verts, !evaluate);
    if (!evaluate) return;
    if (form == TForm::General || (conv.ChordTolerance > 0 && !ControlPoints.empty())) EvaluateGeneral(conv, useWeights);
    else Evaluate(conv);
}

namespace {
// Cox-de Boor basis on the knots, a term whose denominator is zero being 0:
//   N(j, 0) = 1 when k[j] <= t < k[j+1], else 0
//   N(j, p) = (t - k[j]) / (k[j+p] - k[j]) * N(j, p-1)
//           + (k[j+p+1] - t) / (k[j+p+1] - k[j+1]) * N(j+1, p-1)
// The four degree-3 values N(j, 3) for j = i - 3 .. i, built from one table
// of the lower degrees (each entry once) instead of by recursion; every
// entry uses exactly the expression above, in the same order.
void CubicBasis(const std::vector<double>& k, size_t i, double t, double out[4]) {
    double n[4][7];
    const size_t j0 = i - 3;
    for (size_t m = 0; m < 7; ++m) {
        size_t j = j0 + m;
        n[0][m] = (k[j] <= t && t < k[j + 1]) ? 1.0 : 0.0;
    }
    for (size_t p = 1; p <= 3; ++p)
        for (size_t m = 0; m + p < 7; ++m) {
            size_t j = j0 + m;
            double d1 = k[j + p] - k[j];
            double a = d1 != 0 ? (t - k[j]) / d1 * n[p - 1][m] : 0.0;
            double d2 = k[j + p + 1] - k[j + 1];
            double b = d2 != 0 ? (k[j + p + 1] - t) / d2 * n[p - 1][m + 1] : 0.0;
            n[p][m] = a + b;
        }
    for (size_t m = 0; m < 4; ++m) out[m] = n[3][m];
}
}  // namespace

void TkrDXFSpline::Evaluate(TkrDXFConverter& conv) {
    // Knot values without control points leave nothing to evaluate: the
    // spline has an empty point list (and draws nothing).
    if (ControlPoints.empty()) return;
    const size_t nc = ControlPoints.size();
    // A resolution below 1 counts as 1.
    int parts = std::max(Parts, 1);
    double d = 1.0 / parts;
    if (FitPoints.size() < 2 && nc > 4 && ControlPoints[3].X == ControlPoints[4].X &&
        ControlPoints[3].Y == ControlPoints[4].Y)
        d = 0.01;
    // The knots, padded with the last one up to control points + 4 (a copy,
    // so that a second run finds the list as read).
    std::vector<double> k(Knots.begin(), Knots.end());
    if (k.size() < nc + 4) k.resize(nc + 4, double(Knots.back()));
    // Each span gives about 1/d points (one more where the repeated addition
    // stays just below its end); the per-span bound also ends spans whose
    // step vanishes against the size of their knots. The whole curve stops at
    // kMaxEntityPoints.
    const size_t perSpan = size_t(std::ceil(1.0 / d)) + 2;
    std::vector<TPoint3F> out;
    size_t spans = nc > 3 ? nc - 3 : 0;
    out.reserve(std::min(kMaxEntityPoints, spans * (perSpan - 1) + 2));
    out.push_back(ControlPoints.front());
    bool capped = false;
    for (size_t i = 3; i < nc && !capped; ++i) {
        double t0 = k[i], t1 = k[i + 1];
        double inc = std::fabs(t1 - t0) * d;
        size_t count = 0;
        for (double t = t0; t < t1 && count < perSpan; t += inc, ++count) {
            if (out.size() + 1 >= kMaxEntityPoints) {
                capped = true;
                break;
            }
            double basis[4];
            CubicBasis(k, i, t, basis);
            double x = 0, y = 0, z = 0;
            for (size_t j = i - 3; j <= i; ++j) {
                double b = basis[j - (i - 3)];
                const TPoint3F& p = ControlPoints[j];
                x += b * p.X;
                y += b * p.Y;
                z += b * p.Z;
            }
            out.push_back(Point3F(x, y, z));
        }
    }
    if (capped) ++conv.Bounds.EntityPoints;
    out.push_back(ControlPoints.back());
    FinishedRun(conv, std::move(out), false);
}

void TkrDXFSpline::EvaluateGeneral(TkrDXFConverter& conv, bool useWeights) {
    const size_t nc = ControlPoints.size();
    TBSpline curve;
    curve.Degree = Degree == 0 ? 3 : Degree;
    curve.ControlPoints.reserve(nc);
    for (const TPoint3F& c : ControlPoints) curve.ControlPoints.push_back({c.X, c.Y, c.Z});
    if (useWeights) curve.Weights = Weights;
    curve.Knots.assign(Knots.begin(), Knots.end());
    // A cubic refined to a chord tolerance pads its knots as the plain cubic
    // does; other curves have all they need (see Form).
    if (curve.Knots.size() < nc + size_t(curve.Degree) + 1)
        curve.Knots.resize(nc + size_t(curve.Degree) + 1, double(Knots.back()));
    TSplineSampling how;
    how.Step = 1.0 / std::max(Parts, 1);
    if (curve.Degree == 3 && !useWeights && FitPoints.size() < 2 && nc > 4 &&
        ControlPoints[3].X == ControlPoints[4].X && ControlPoints[3].Y == ControlPoints[4].Y)
        how.Step = 0.01;
    how.Tolerance = conv.ChordTolerance;
    how.MaxPoints = kMaxEntityPoints;
    std::vector<TPoint3F> out;
    if (SampleSpline(curve, how, out)) ++conv.Bounds.EntityPoints;
    FinishedRun(conv, std::move(out), false);
}

void TkrDXFSpline::FinishedRun(TkrDXFConverter& conv, std::vector<TPoint3F>&& run, bool closeRun) {
    FCurve = std::move(run);
    FCurve.shrink_to_fit();
    FCloseRun = closeRun;
    // The dashes are counted on a copy: dashing may change the run it cuts.
    if (Dashed()) TkrDXFPolyline::FinishedRun(conv, std::vector<TPoint3F>(FCurve), closeRun);
}

bool TkrDXFSpline::MakeRun(TPointWork& work) const {
    work.Run.assign(FCurve.begin(), FCurve.end());
    return FCloseRun;
}

bool InterpolateFitPoints(const std::vector<TPoint3F>& fit, const TPoint3F& startTangent,
                          const TPoint3F& endTangent, int parts, std::vector<TPoint3F>& out) {
    const size_t n = fit.size();
    if (n < 2) return false;
    const size_t last = n - 1;
    if (parts < 1) parts = 1;
    // parts + 1 points per span, reduced to stay within kMaxEntityPoints.
    bool reduced = false;
    if (double(last) * (double(parts) + 1) > double(kMaxEntityPoints)) {
        parts = int(std::max<size_t>(1, kMaxEntityPoints / last - 1));
        reduced = true;
    }
    auto unit2d = [](const TPoint3F& t, double r[3]) {
        double len = std::sqrt(double(t.X) * t.X + double(t.Y) * t.Y);
        r[0] = len != 0 ? t.X / len : t.X;
        r[1] = len != 0 ? t.Y / len : t.Y;
        r[2] = t.Z;
    };
    double ts[3], te[3];
    unit2d(startTangent, ts);
    unit2d(endTangent, te);
    bool hasStart = startTangent.X != 0 || startTangent.Y != 0 || startTangent.Z != 0;
    bool hasEnd = endTangent.X != 0 || endTangent.Y != 0 || endTangent.Z != 0;
    double l0 = Dist3(fit[0], fit[1]), ln = Dist3(fit[last - 1], fit[last]);
    std::vector<double> y(n), c(n), e(n), m[3];
    for (int axis = 0; axis < 3; ++axis) {
        for (size_t i = 0; i < n; ++i) y[i] = axis == 0 ? fit[i].X : axis == 1 ? fit[i].Y : fit[i].Z;
        // Forward elimination: M(k) = c(k) M(k+1) + e(k).
        if (hasStart) {
            c[0] = -0.5;
            e[0] = 3 * ((y[1] - y[0]) - l0 * ts[axis]);
        } else {
            c[0] = 0;
            e[0] = 0;
        }
        for (size_t i = 1; i < last; ++i) {
            double r = (y[i + 1] - y[i]) - (y[i] - y[i - 1]);
            double den = c[i - 1] / 6 + 2.0 / 3;
            c[i] = -(1.0 / 6) / den;
            e[i] = (r - e[i - 1] / 6) / den;
        }
        m[axis].assign(n, 0.0);
        std::vector<double>& mm = m[axis];
        mm[last] = hasEnd ? ((ln * te[axis] - (y[last] - y[last - 1])) - e[last - 1] / 6) / (c[last - 1] / 6 + 1.0 / 3)
                          : 0.0;
        for (size_t i = last; i-- > 0;) mm[i] = c[i] * mm[i + 1] + e[i];
    }
    out.clear();
    out.reserve(last * (size_t(parts) + 1));
    for (size_t k = 0; k < last; ++k)
        for (int s = 0; s <= parts; ++s) {
            double v = double(s) / parts, r[3];
            for (int axis = 0; axis < 3; ++axis) {
                double y0 = axis == 0 ? fit[k].X : axis == 1 ? fit[k].Y : fit[k].Z;
                double y1 = axis == 0 ? fit[k + 1].X : axis == 1 ? fit[k + 1].Y : fit[k + 1].Z;
                double m0 = m[axis][k], m1 = m[axis][k + 1];
                r[axis] = y0 + (m0 * (1 - v) * (1 - v) * (1 - v) + m1 * v * v * v) / 6 +
                          v * ((m0 - m1) / 6 + (y1 - y0)) - m0 / 6;
            }
            out.push_back(Point3F(r[0], r[1], r[2]));
        }
    return reduced;
}
