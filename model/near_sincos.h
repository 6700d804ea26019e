// The points of a curve at given angles, as std::cos and std::sin would make
// them, for a fraction of their cost.
//
// NearSinCos gives the cosine and sine of an angle to within kNearSinCosSlack
// of what std::cos and std::sin give: the angle is taken relative to the
// nearest multiple of pi/16 (whose cosine and sine std::cos and std::sin gave
// once, kept in a constant table), and the cosine and sine of the remainder
// come from their Taylor series. The error, summed up:
//  - the remainder d = a - b is at most pi/32 (just over, for the rounding of
//    the multiple), and rounding it errs by at most 2^-53 |d| < 1.1e-17;
//  - the series stop after d^8 (cosine) and d^7 (sine): the first term left
//    out is below d^10/10! < 2.3e-17 and d^9/9! < 2.4e-15;
//  - the table's and the library's values lie within an ulp (1.1e-16 below
//    1) of the true ones, and Horner's scheme and the sum of angles add a
//    few roundings of at most 1.1e-16 each.
// That is below 4e-15 in all; the slack of 1e-13 leaves a wide margin.
//
// SinCosPoint turns that into exact results: where the point's coordinates
// come from the cosine and sine through a formula that is monotone in each
// of them (sums and products with fixed factors are, and so is every
// rounding), the coordinates at the two ends of the slack bound those at
// the library's values. When both ends round to the same (non-zero, finite)
// float, so does the library's point; otherwise std::cos and std::sin are
// called. A point is then within the slack of a float's rounding boundary,
// which happens about once in ten million points of everyday drawings.
#pragma once

#include <cmath>
#include <utility>

constexpr double kNearSinCosSlack = 1e-13;

namespace nearsincos {
// The multiples b(k) = k pi/16 for k in [-kSteps, kSteps], with the cosine
// and sine std::cos and std::sin give for them.
constexpr int kSteps = 64;  // two turns either side of zero
constexpr double kPerStep = 16 / 3.1415926535897932385;
struct TAnchor {
    double Angle, Cos, Sin;
};
struct TAnchors {
    TAnchor A[2 * kSteps + 1];
    TAnchors() {
        for (int k = -kSteps; k <= kSteps; ++k) {
            const double b = k * (3.1415926535897932385 / 16);
            A[k + kSteps] = {b, std::cos(b), std::sin(b)};
        }
    }
};
inline const TAnchors& Anchors() {
    static const TAnchors t;
    return t;
}
}  // namespace nearsincos

// c and s within kNearSinCosSlack of std::cos(a) and std::sin(a); false
// (c and s untouched) for an angle of two turns or more either way, or one
// that is not a number.
inline bool NearSinCos(double a, double& c, double& s) {
    using namespace nearsincos;
    const double q = a * kPerStep;
    if (!(std::fabs(q) < kSteps)) return false;
    // Nearest multiple: any multiple within a step would do (the series
    // holds to pi/16 with room to spare), so halves may go either way.
    const int k = int(q + (q < 0 ? -0.5 : 0.5));
    const TAnchor& b = Anchors().A[k + kSteps];
    const double d = a - b.Angle, d2 = d * d;
    const double cd = 1 + d2 * (-1.0 / 2 + d2 * (1.0 / 24 + d2 * (-1.0 / 720 + d2 * (1.0 / 40320))));
    const double sd = d * (1 + d2 * (-1.0 / 6 + d2 * (1.0 / 120 + d2 * (-1.0 / 5040))));
    c = b.Cos * cd - b.Sin * sd;
    s = b.Sin * cd + b.Cos * sd;
    return true;
}

// Which way each coordinate of a point formula grows with the cosine and the
// sine: +1 or -1 (either where it does not depend on one).
struct TSinCosSigns {
    double XC = 1, XS = 1, YC = 1, YS = 1;
};

// +1 when the product of a and b is positive, -1 when it is negative, by
// their sign bits (a zero factor makes the product constant, where either
// sign serves).
inline double GrowthSign(double a, double b) { return std::signbit(a) != std::signbit(b) ? -1 : 1; }

// The signs of the point (u cos r - v sin r, u sin r + v cos r) + centre
// with u = rx c, v = ry s (an ellipse of radii rx, ry turned by r; a circle
// and a bulge's arc have rx = ry and r = 0).
inline TSinCosSigns TurnedEllipseSigns(double rx, double ry, double cosR, double sinR) {
    return {GrowthSign(rx, cosR), -GrowthSign(ry, sinR), GrowthSign(rx, sinR), GrowthSign(ry, cosR)};
}

// The point at(std::cos(a), std::sin(a)) rounds to, in floats. at gives the
// coordinates in double as a pair; each must be monotone in the cosine and
// in the sine the way signs says.
template <class At>
inline void SinCosPoint(double a, const TSinCosSigns& signs, const At& at, float& x, float& y) {
    double c, s;
    if (NearSinCos(a, c, s)) {
        constexpr double e = kNearSinCosSlack;
        const float x0 = float(at(c - e * signs.XC, s - e * signs.XS).first);
        const float x1 = float(at(c + e * signs.XC, s + e * signs.XS).first);
        const float y0 = float(at(c - e * signs.YC, s - e * signs.YS).second);
        const float y1 = float(at(c + e * signs.YC, s + e * signs.YS).second);
        // A zero is refused for its sign, which the ends need not share.
        if (x0 == x1 && y0 == y1 && x0 != 0 && y0 != 0 && std::isfinite(x0) && std::isfinite(y0)) {
            x = x0, y = y0;
            return;
        }
    }
    const std::pair<double, double> p = at(std::cos(a), std::sin(a));
    x = float(p.first), y = float(p.second);
}
