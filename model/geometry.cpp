#include "model/geometry.h"

#include <algorithm>
#include <cmath>

int32_t FloorInt(double v) {
    // Round to nearest (ties to even), then step down when that overshot.
    double r = std::nearbyint(v);
    if (v < r) r -= 1;
    if (!(r >= -2147483648.0)) return INT32_MIN;  // also NaN
    if (r > 2147483647.0) return INT32_MAX;
    return int32_t(r);
}

TMatrix4x3F IdentityMatrix() {
    TMatrix4x3F m;
    m.M[0][0] = m.M[1][1] = m.M[2][2] = 1;
    return m;
}

TMatrix4x3F ScaleTranslateMatrix(const TPoint3F& s, const TPoint3F& t) {
    TMatrix4x3F m;
    m.M[0][0] = s.X;
    m.M[1][1] = s.Y;
    m.M[2][2] = s.Z;
    m.M[3][0] = t.X;
    m.M[3][1] = t.Y;
    m.M[3][2] = t.Z;
    return m;
}

TPoint3F TransformPoint(const TPoint3F& p, const TMatrix4x3F& m) {
    double r[3];
    for (int j = 0; j < 3; ++j)
        r[j] = double(p.X) * m.M[0][j] + double(p.Y) * m.M[1][j] + double(p.Z) * m.M[2][j] + m.M[3][j];
    return Point3F(r[0], r[1], r[2]);
}

TMatrix4x3F MultiplyMatrix(const TMatrix4x3F& a, const TMatrix4x3F& b) {
    TMatrix4x3F r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            double v = double(a.M[i][0]) * b.M[0][j] + double(a.M[i][1]) * b.M[1][j] + double(a.M[i][2]) * b.M[2][j];
            if (i == 3) v += b.M[3][j];
            r.M[i][j] = float(v);
        }
    return r;
}

bool MatrixHasRotation(const TMatrix4x3F& m) {
    return m.M[0][1] != 0 || m.M[0][2] != 0 || m.M[1][0] != 0 || m.M[1][2] != 0 || m.M[2][0] != 0 ||
           m.M[2][1] != 0;
}

TPoint3F CrossProduct(const TPoint3F& a, const TPoint3F& b) {
    return Point3F(double(a.Y) * b.Z - double(a.Z) * b.Y, double(a.Z) * b.X - double(a.X) * b.Z,
                   double(a.X) * b.Y - double(a.Y) * b.X);
}

TPoint3F NormalizeVector(const TPoint3F& v) {
    double len = std::sqrt(double(v.X) * v.X + double(v.Y) * v.Y + double(v.Z) * v.Z);
    if (len == 0 || !std::isfinite(len)) return v;  // nothing to normalise
    return Point3F(v.X / len, v.Y / len, v.Z / len);
}

TPoint3F SanitizeExtrusion(const TPoint3F& n) {
    if (!std::isfinite(n.X) || !std::isfinite(n.Y) || !std::isfinite(n.Z)) return {0, 0, 1};
    if (n.X == 0 && n.Y == 0 && n.Z == 0) return {0, 0, 1};
    double len = std::sqrt(double(n.X) * n.X + double(n.Y) * n.Y + double(n.Z) * n.Z);
    if (!(len > 0) || !std::isfinite(len)) return {0, 0, 1};
    return n;
}

void ArbitraryAxis(const TPoint3F& nIn, TPoint3F& ax, TPoint3F& ay, TPoint3F& az) {
    TPoint3F n = SanitizeExtrusion(nIn);
    // The arbitrary-axis rule picks Wy when N is near the Z axis.
    TPoint3F w = (std::fabs(n.X) < 0.015625 && std::fabs(n.Y) < 0.015625) ? TPoint3F{0, 1, 0} : TPoint3F{0, 0, 1};
    ax = NormalizeVector(CrossProduct(w, n));
    ay = NormalizeVector(CrossProduct(n, ax));
    az = NormalizeVector(n);
}

static double Dot(const TPoint3F& a, const TPoint3F& b) {
    return double(a.X) * b.X + double(a.Y) * b.Y + double(a.Z) * b.Z;
}

TPoint3F WCSToOCS(const TPoint3F& p, const TPoint3F& n) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(n, ax, ay, az);
    return Point3F(Dot(p, ax), Dot(p, ay), Dot(p, az));
}

TPoint3F OCSToWCS(const TPoint3F& p, const TPoint3F& n) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(n, ax, ay, az);
    return Point3F(double(p.X) * ax.X + double(p.Y) * ay.X + double(p.Z) * az.X,
                   double(p.X) * ax.Y + double(p.Y) * ay.Y + double(p.Z) * az.Y,
                   double(p.X) * ax.Z + double(p.Y) * ay.Z + double(p.Z) * az.Z);
}

TMatrix4x3F ExtrusionMatrix(const TPoint3F& n, double angleDeg) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(NormalizeVector(SanitizeExtrusion(n)), ax, ay, az);
    TMatrix4x3F e;
    e.M[0][0] = ax.X, e.M[0][1] = ax.Y, e.M[0][2] = ax.Z;
    e.M[1][0] = ay.X, e.M[1][1] = ay.Y, e.M[1][2] = ay.Z;
    e.M[2][0] = az.X, e.M[2][1] = az.Y, e.M[2][2] = az.Z;
    double a = DegToRad(angleDeg), c = std::cos(a), s = std::sin(a);
    TMatrix4x3F r;
    r.M[0][0] = float(c), r.M[0][1] = float(s);
    r.M[1][0] = float(-s), r.M[1][1] = float(c);
    r.M[2][2] = 1;
    return MultiplyMatrix(r, e);
}

TPoint3F RotateAroundAxis(const TPoint3F& v, const TPoint3F& kIn, double theta) {
    if (std::fabs(theta) < 1e-6) return v;
    float r = float(double(kIn.X) * kIn.X + double(kIn.Y) * kIn.Y + double(kIn.Z) * kIn.Z);
    if (r == 0) return v;
    double kx = kIn.X, ky = kIn.Y, kz = kIn.Z;
    if (r != 1) {
        double l = std::sqrt(double(r));
        kx /= l, ky /= l, kz /= l;
    }
    double c = std::cos(theta), s = std::sin(theta);
    double cx = ky * v.Z - kz * v.Y, cy = kz * v.X - kx * v.Z, cz = kx * v.Y - ky * v.X;
    double d = (kx * v.X + ky * v.Y + kz * v.Z) * (1 - c);
    return Point3F(v.X * c + cx * s + kx * d, v.Y * c + cy * s + ky * d, v.Z * c + cz * s + kz * d);
}

TMatrix4x3F ViewMatrix(const TPoint3F& n, double twistDeg) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(n, ax, ay, az);
    TPoint3F ax2 = RotateAroundAxis(ax, az, DegToRad(-twistDeg));
    TPoint3F ay2 = RotateAroundAxis(ay, az, DegToRad(-twistDeg));
    TMatrix4x3F m;
    m.M[0][0] = ax2.X, m.M[1][0] = ax2.Y, m.M[2][0] = ax2.Z;
    m.M[0][1] = ay2.X, m.M[1][1] = ay2.Y, m.M[2][1] = ay2.Z;
    m.M[0][2] = az.X, m.M[1][2] = az.Y, m.M[2][2] = az.Z;
    return m;
}

TPoint3F RotatePoint2D(const TPoint3F& p, double angleDeg) {
    double a = DegToRad(angleDeg), c = std::cos(a), s = std::sin(a);
    return Point3F(p.X * c - p.Y * s, p.X * s + p.Y * c, p.Z);
}


void OffsetBox(TBox3F& b, double dx, double dy, double dz) {
    b.Left = float(b.Left + dx), b.Right = float(b.Right + dx);
    b.Top = float(b.Top + dy), b.Bottom = float(b.Bottom + dy);
    b.Z1 = float(b.Z1 + dz), b.Z2 = float(b.Z2 + dz);
}

void RotateBox(TBox3F& b, double angleDeg) {
    if (angleDeg == 0) return;
    TBox3F r = EmptyBox;
    for (float x : {b.Left, b.Right})
        for (float y : {b.Top, b.Bottom})
            for (float z : {b.Z1, b.Z2}) ExpandBox(r, RotatePoint2D({x, y, z}, angleDeg));
    b = r;
}

bool SoundBox(const TBox3F& b) {
    // Every coordinate inside the range (a NaN fails the comparison), or an
    // empty box of numbers no farther out than its bounds (EmptyBox).
    auto within = [&](auto in) {
        return in(b.Left) && in(b.Top) && in(b.Z1) && in(b.Right) && in(b.Bottom) && in(b.Z2);
    };
    if (within([](float v) { return std::fabs(v) < kBoxInfinity; })) return true;
    return within([](float v) { return std::fabs(v) <= kBoxInfinity; }) && IsEmptyBox(b);
}

int ClassifyBox(const TBox3F& b, const TBox3F& c, const TMatrix4x3F& m) {
    if (IsEmptyBox(b) || IsEmptyBox(c)) return -1;
    TPoint3F p1 = TransformPoint({b.Left, b.Top, b.Z1}, m);
    TPoint3F p2 = TransformPoint({b.Right, b.Bottom, b.Z2}, m);
    float minX = std::min(p1.X, p2.X), maxX = std::max(p1.X, p2.X);
    float minY = std::min(p1.Y, p2.Y), maxY = std::max(p1.Y, p2.Y);
    if (c.Left > maxX || !(c.Right >= minX) || c.Bottom > maxY || !(c.Top >= minY)) return -1;
    if (c.Left > minX || !(maxX <= c.Right) || c.Bottom > minY) return 0;
    return maxY <= c.Top ? 1 : 0;
}

int SegmentInBox(const TPoint3F& a, const TPoint3F& b, const TBox3F& c, const TMatrix4x3F& m, bool withZ) {
    if (IsEmptyBox(c)) return -1;
    TPoint3F p = TransformPoint(a, m), q = TransformPoint(b, m);
    auto in = [&](const TPoint3F& t) {
        return t.X >= c.Left && t.X <= c.Right && t.Y >= c.Bottom && t.Y <= c.Top &&
               (!withZ || (t.Z >= c.Z1 && t.Z <= c.Z2));
    };
    return in(p) && in(q) ? 1 : -1;
}

void CacheScaleAndAngle(TDrawContext& d) {
    if (d.ScaleX != 0 || d.ScaleY != 0) return;
    const auto& m = d.Matrix.M;
    double sx = std::hypot(double(m[0][0]), double(m[0][1]));
    double sy = std::hypot(double(m[1][0]), double(m[1][1]));
    if (std::fabs(sx) < 1e-10) sx = 0;
    if (double(m[0][1]) * m[1][0] > double(m[0][0]) * m[1][1]) sx = -sx;
    d.ScaleX = float(sx);
    d.ScaleY = float(sy);
    d.Rotation = float(std::atan2(double(m[0][1]), double(m[0][0])) * 57.29577951308232);
}

double ChordPointsForTolerance(double r, double sweep, double tolerance) {
    if (!(tolerance > 0) || !(r > tolerance) || !std::isfinite(r) || !std::isfinite(sweep)) return 0;
    const double a = 4 * std::asin(std::sqrt(tolerance / (2 * r)));
    return std::ceil(std::fabs(sweep) / a) + 1;
}
