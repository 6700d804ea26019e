#include "platform/plane.h"

#include <cmath>

int32_t RoundInt(double v) {
    if (!(v == v)) return 0;
    const double r = std::nearbyint(v);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return int32_t(r);
}

bool ClipSegment(const TPlaneRect& r, TPlanePoint& a, TPlanePoint& b) {
    double t0 = 0, t1 = 1;
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.X - r.MinX, r.MaxX - a.X, a.Y - r.MinY, r.MaxY - a.Y};
    for (int i = 0; i < 4; ++i) {
        if (!(q[i] == q[i])) return false;  // a NaN bound keeps nothing
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0) {
            if (t > t1) return false;
            if (t > t0) t0 = t;
        } else {
            if (t < t0) return false;
            if (t < t1) t1 = t;
        }
    }
    TPlanePoint s = a;
    if (t1 < 1) b = {s.X + t1 * dx, s.Y + t1 * dy};
    if (t0 > 0) a = {s.X + t0 * dx, s.Y + t0 * dy};
    return true;
}
