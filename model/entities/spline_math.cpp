#include "model/entities/spline_math.h"

#include <algorithm>
#include <cmath>

namespace {

TSplinePoint Sub(const TSplinePoint& a, const TSplinePoint& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TSplinePoint Add(const TSplinePoint& a, const TSplinePoint& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TSplinePoint Mul(const TSplinePoint& a, double f) { return {a.X * f, a.Y * f, a.Z * f}; }
double Len(const TSplinePoint& a) { return std::sqrt(a.X * a.X + a.Y * a.Y + a.Z * a.Z); }
TSplinePoint Cross(const TSplinePoint& a, const TSplinePoint& b) {
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
TSplinePoint FromFloat(const TPoint3F& p) { return {p.X, p.Y, p.Z}; }
TPoint3F ToFloat(const TSplinePoint& p) { return Point3F(p.X, p.Y, p.Z); }
bool Finite(const TSplinePoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z); }

// Distance of p from the segment a-b.
double DistanceToSegment(const TSplinePoint& p, const TSplinePoint& a, const TSplinePoint& b) {
    TSplinePoint ab = Sub(b, a), ap = Sub(p, a);
    double l2 = ab.X * ab.X + ab.Y * ab.Y + ab.Z * ab.Z;
    double u = l2 > 0 ? std::clamp((ap.X * ab.X + ap.Y * ab.Y + ap.Z * ab.Z) / l2, 0.0, 1.0) : 0.0;
    return Len(Sub(ap, Mul(ab, u)));
}

// The end derivative directions of the five-point estimate (Akima): with
// q(k) = P(k) - P(k-1) extended past both ends by reflection, the tangent at
// fit point k is (1 - a) q(k) + a q(k+1), a = |q(k-1) x q(k)| /
// (|q(k-1) x q(k)| + |q(k+1) x q(k+2)|), and a = 1/2 where both vanish
// (collinear points). Needs at least three points.
void EstimateEndTangents(const std::vector<TSplinePoint>& p, TSplinePoint& start, TSplinePoint& end) {
    const size_t n = p.size();
    // q[k + 1] holds q(k) for k = -1 .. n + 1.
    std::vector<TSplinePoint> q(n + 3);
    auto Q = [&](long k) -> TSplinePoint& { return q[size_t(k + 1)]; };
    for (size_t k = 1; k < n; ++k) Q(long(k)) = Sub(p[k], p[k - 1]);
    Q(0) = Sub(Mul(Q(1), 2), Q(2));
    Q(long(n)) = Sub(Mul(Q(long(n) - 1), 2), Q(long(n) - 2));
    Q(long(n) + 1) = Sub(Mul(Q(long(n)), 2), Q(long(n) - 1));
    Q(-1) = Sub(Mul(Q(0), 2), Q(1));
    auto tangent = [&](long k) {
        double v1 = Len(Cross(Q(k - 1), Q(k))), v2 = Len(Cross(Q(k + 1), Q(k + 2)));
        double a = v1 + v2 > 0 ? v1 / (v1 + v2) : 0.5;
        return Add(Mul(Q(k), 1 - a), Mul(Q(k + 1), a));
    };
    start = tangent(0);
    end = tangent(long(n) - 1);
}

// A direction scaled to length, or the fallback's direction when it has none.
TSplinePoint Scaled(const TSplinePoint& dir, const TSplinePoint& fallback, double length) {
    double l = Len(dir);
    if (l > 0 && std::isfinite(l)) return Mul(dir, length / l);
    double f = Len(fallback);
    return f > 0 ? Mul(fallback, length / f) : TSplinePoint{};
}

}  // namespace

TSplinePoint SplinePointAt(const TBSpline& s, size_t i, double t) {
    const int p = s.Degree;
    const bool rational = !s.Weights.empty();
    double d[kMaxSplineDegree + 1][4];
    for (int j = 0; j <= p; ++j) {
        const size_t idx = i - size_t(p) + size_t(j);
        const TSplinePoint& c = s.ControlPoints[idx];
        const double w = rational ? s.Weights[idx] : 1.0;
        d[j][0] = c.X * w, d[j][1] = c.Y * w, d[j][2] = c.Z * w, d[j][3] = w;
    }
    const std::vector<double>& k = s.Knots;
    for (int r = 1; r <= p; ++r)
        for (int j = p; j >= r; --j) {
            const double lo = k[i - size_t(p) + size_t(j)], hi = k[i + 1 + size_t(j) - size_t(r)];
            const double den = hi - lo;
            const double a = den != 0 ? (t - lo) / den : 0.0;
            for (int c = 0; c < 4; ++c) d[j][c] = (1 - a) * d[j - 1][c] + a * d[j][c];
        }
    if (!rational) return {d[p][0], d[p][1], d[p][2]};
    return {d[p][0] / d[p][3], d[p][1] / d[p][3], d[p][2] / d[p][3]};
}

void SplineBasis(const std::vector<double>& k, int p, size_t i, double t, double n[]) {
    double left[kMaxSplineDegree + 1], right[kMaxSplineDegree + 1];
    n[0] = 1;
    for (int j = 1; j <= p; ++j) {
        left[j] = t - k[i + 1 - size_t(j)];
        right[j] = k[i + size_t(j)] - t;
        double saved = 0;
        for (int r = 0; r < j; ++r) {
            const double den = right[r + 1] + left[j - r];
            const double temp = den != 0 ? n[r] / den : 0.0;
            n[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        n[j] = saved;
    }
}

double SecondDerivativeBound(const TBSpline& s, size_t i) {
    const int p = s.Degree;
    if (p < 2) return 0;
    const std::vector<double>& k = s.Knots;
    const auto& P = s.ControlPoints;
    // First-derivative control points Q(j) = p (P(j+1) - P(j)) / (k[j+p+1] -
    // k[j+1]) for j = i-p .. i-1, then the second ones from them.
    TSplinePoint q[kMaxSplineDegree];
    const size_t j0 = i - size_t(p);
    for (int m = 0; m < p; ++m) {
        const size_t j = j0 + size_t(m);
        const double den = k[j + size_t(p) + 1] - k[j + 1];
        q[m] = den > 0 ? Mul(Sub(P[j + 1], P[j]), p / den) : TSplinePoint{};
    }
    double bound = 0;
    for (int m = 0; m + 1 < p; ++m) {
        const size_t j = j0 + size_t(m);
        const double den = k[j + size_t(p) + 1] - k[j + 2];
        if (den > 0) bound = std::max(bound, Len(Sub(q[m + 1], q[m])) * (p - 1) / den);
    }
    return std::isfinite(bound) ? bound : HUGE_VAL;
}

size_t StepsForTolerance(double dt, double m2, double tolerance, size_t minSteps, size_t maxSteps) {
    if (!(tolerance > 0)) return std::min(minSteps, maxSteps);
    const double m = std::ceil(std::fabs(dt) * std::sqrt(m2 / (8 * tolerance)));
    size_t steps = !(m < double(maxSteps)) ? maxSteps : size_t(m);
    return std::clamp(steps, std::min(minSteps, maxSteps), maxSteps);
}

bool SampleSpline(const TBSpline& s, const TSplineSampling& how, std::vector<TPoint3F>& out) {
    const size_t nc = s.ControlPoints.size(), p = size_t(s.Degree);
    const std::vector<double>& k = s.Knots;
    out.clear();
    if (nc == 0) return false;
    size_t first = nc, last = nc;
    for (size_t i = p; i < nc; ++i)
        if (k[i] < k[i + 1]) {
            if (first == nc) first = i;
            last = i;
        }
    if (first == nc) {
        // No span of positive length: the ends of the control polygon.
        out.push_back(ToFloat(s.ControlPoints.front()));
        out.push_back(ToFloat(s.ControlPoints.back()));
        return false;
    }
    const double step = how.Step > 0 ? how.Step : 1;
    const size_t minSteps = std::max<size_t>(1, size_t(std::ceil(1.0 / step - 1e-9)));
    const size_t maxPoints = std::max<size_t>(how.MaxPoints, 3);
    bool capped = false;
    auto put = [&](const TSplinePoint& pt) {
        if (out.size() + 1 >= maxPoints) return !(capped = true);
        out.push_back(ToFloat(pt));
        return true;
    };
    out.push_back(ToFloat(SplinePointAt(s, first, k[first])));
    for (size_t i = first; i <= last && !capped; ++i) {
        const double t0 = k[i], t1 = k[i + 1];
        if (!(t1 > t0)) continue;
        if (!(how.Tolerance > 0)) {
            for (size_t j = 0; j < minSteps; ++j)
                if (!put(SplinePointAt(s, i, t0 + (t1 - t0) * double(j) / double(minSteps)))) break;
        } else if (s.Weights.empty()) {
            const size_t m = StepsForTolerance(t1 - t0, SecondDerivativeBound(s, i), how.Tolerance, minSteps,
                                               maxPoints);
            for (size_t j = 0; j < m; ++j)
                if (!put(SplinePointAt(s, i, t0 + (t1 - t0) * double(j) / double(m)))) break;
        } else {
            // A rational curve has no simple bound of its bending: each of the
            // plain steps is halved until the curve at the middle and at both
            // quarters stays within the tolerance of the chord (at most 2^20
            // pieces a step).
            struct TPiece {
                double A, B;
                TSplinePoint Pa, Pb;
                int Depth;
            };
            std::vector<TPiece> stack;
            for (size_t j = 0; j < minSteps && !capped; ++j) {
                double a = t0 + (t1 - t0) * double(j) / double(minSteps);
                double b = j + 1 == minSteps ? t1 : t0 + (t1 - t0) * double(j + 1) / double(minSteps);
                stack.push_back({a, b, SplinePointAt(s, i, a), SplinePointAt(s, i, b), 0});
                while (!stack.empty() && !capped) {
                    TPiece pc = stack.back();
                    stack.pop_back();
                    const double mid = (pc.A + pc.B) / 2;
                    const TSplinePoint pm = SplinePointAt(s, i, mid);
                    double dev = DistanceToSegment(pm, pc.Pa, pc.Pb);
                    for (double f : {0.25, 0.75})
                        dev = std::max(dev, DistanceToSegment(SplinePointAt(s, i, pc.A + (pc.B - pc.A) * f), pc.Pa,
                                                              pc.Pb));
                    if (dev > how.Tolerance && pc.Depth < 20) {
                        // Right half below the left one: the left is taken first.
                        stack.push_back({mid, pc.B, pm, pc.Pb, pc.Depth + 1});
                        stack.push_back({pc.A, mid, pc.Pa, pm, pc.Depth + 1});
                    } else {
                        put(pc.Pa);
                    }
                }
            }
        }
    }
    out.push_back(ToFloat(SplinePointAt(s, last, k[last + 1])));
    return capped;
}

bool CubicThroughFitPoints(const std::vector<TPoint3F>& fit, const TPoint3F& startTangent,
                           const TPoint3F& endTangent, TBSpline& out) {
    std::vector<TSplinePoint> q;
    q.reserve(fit.size());
    for (const TPoint3F& f : fit) {
        TSplinePoint p = FromFloat(f);
        if (!Finite(p)) return false;
        if (q.empty() || p.X != q.back().X || p.Y != q.back().Y || p.Z != q.back().Z) q.push_back(p);
    }
    const size_t n = q.size();
    if (n < 2) return false;
    // Chord-length parameters from 0 to 1.
    std::vector<double> t(n, 0.0);
    double total = 0;
    for (size_t k = 1; k < n; ++k) t[k] = total += Len(Sub(q[k], q[k - 1]));
    if (!(total > 0) || !std::isfinite(total)) return false;
    for (size_t k = 1; k + 1 < n; ++k) t[k] /= total;
    t[n - 1] = 1;
    // End derivatives: the given directions or the estimated ones, scaled to
    // the length of the fit polygon.
    TSplinePoint ds = FromFloat(startTangent), de = FromFloat(endTangent);
    const TSplinePoint chordStart = Sub(q[1], q[0]), chordEnd = Sub(q[n - 1], q[n - 2]);
    TSplinePoint es = chordStart, ee = chordEnd;
    if (n >= 3) EstimateEndTangents(q, es, ee);
    ds = Scaled(Len(ds) > 0 && Finite(ds) ? ds : es, chordStart, total);
    de = Scaled(Len(de) > 0 && Finite(de) ? de : ee, chordEnd, total);

    out.Degree = 3;
    out.Weights.clear();
    out.Knots.assign(4, 0.0);
    out.Knots.insert(out.Knots.end(), t.begin() + 1, t.end() - 1);
    out.Knots.insert(out.Knots.end(), 4, 1.0);
    const std::vector<double>& u = out.Knots;
    std::vector<TSplinePoint>& P = out.ControlPoints;
    P.assign(n + 2, TSplinePoint{});
    P[0] = q[0];
    P[n + 1] = q[n - 1];
    P[1] = Add(q[0], Mul(ds, u[4] / 3));
    P[n] = Sub(q[n - 1], Mul(de, (1 - u[n + 1]) / 3));
    // The interior fit points: C(t(k)) = q(k) for k = 1 .. n-2. At the knot
    // t(k) = u[k+3] the curve depends on P(k), P(k+1), P(k+2) only: a
    // tridiagonal system for P(2) .. P(n-1), solved without pivoting (the
    // collocation matrix of B-splines is totally positive).
    if (n >= 3) {
        const size_t m = n - 2;
        std::vector<double> c(m);
        std::vector<TSplinePoint> d(m);
        for (size_t r = 0; r < m; ++r) {
            const size_t k = r + 1;
            double b[4];
            SplineBasis(u, 3, k + 3, t[k], b);
            TSplinePoint rhs = q[k];
            if (r == 0) rhs = Sub(rhs, Mul(P[1], b[0]));
            if (r + 1 == m) rhs = Sub(rhs, Mul(P[n], b[2]));
            const double sup = r + 1 == m ? 0.0 : b[2];
            double den = b[1];
            if (r > 0) {
                den -= b[0] * c[r - 1];
                rhs = Sub(rhs, Mul(d[r - 1], b[0]));
            }
            if (!(std::fabs(den) > 0)) return false;
            c[r] = sup / den;
            d[r] = Mul(rhs, 1 / den);
        }
        P[m + 1] = d[m - 1];
        for (size_t r = m - 1; r-- > 0;) P[r + 2] = Sub(d[r], Mul(P[r + 3], c[r]));
    }
    for (const TSplinePoint& p : P)
        if (!Finite(p)) return false;
    return true;
}
