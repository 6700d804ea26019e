// Cutting geometry into the dashes of a line type pattern.
//
// Distances along the geometry are divided by the caller's scale, so they are
// measured in pattern units; the pattern elements keep the sign that tells a
// dash (positive), a gap (negative) and a dot (zero). Lengths are computed in
// double and only the emitted points are rounded to float.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "model/errors.h"
#include "model/line_type_pattern.h"

namespace {

// A segment that needs more than this many repetitions of the pattern is
// drawn solid instead of being cut. The rule also bounds the output of one
// segment: at most about (1000 + 1) x element count points.
constexpr double kMaxRepetitions = 1000.0;

// The walk ends when the running distance is this close to the end.
constexpr double kEndTolerance = 0.000001;

// Hard ceiling of the points one cutting call may emit (about 50 MB of
// points). Only a pattern with an absurd number of elements, or a curve run
// of millions of repetitions, comes near it; such geometry is drawn solid.
constexpr double kMaxCutPoints = 4194304.0;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void CheckPreconditions(const TkrLines& pattern, const char* op, const std::vector<TPoint3F>& out) {
    if (pattern.IsSolid()) throw EListError(std::string("TkrLines.") + op + ": FTicks.Count <= 1");
    if (!out.empty()) throw EListError(std::string("TkrLines.") + op + ": DottedSingPts.Count > 0");
}

// The sum of the absolute element values, accumulated and kept as a 32-bit
// float like the pattern length the cut positions have always been computed
// from.
float PatternLengthOf(const std::vector<float>& ticks) {
    float sum = 0;
    for (float t : ticks) sum += std::fabs(t);
    return sum;
}

bool UsableScale(double scale) { return std::isfinite(scale) && scale > 0; }

// True when a run of length len can be cut by a pattern of length p: p is a
// finite positive number and the run needs at most 1000 repetitions. A NaN
// length fails the comparison and is drawn solid.
bool Cuttable(double len, double p) {
    return std::isfinite(p) && p > 0 && len / p <= kMaxRepetitions;
}

double Distance3(const TPoint3F& a, const TPoint3F& b) {
    const double dx = double(b.X) - a.X, dy = double(b.Y) - a.Y, dz = double(b.Z) - a.Z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Distance2(double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    return std::sqrt(dx * dx + dy * dy);
}

// The point at distance t along s-e of (scaled) length len: s + (e - s) x t / len.
// The end itself is returned exactly.
TPoint3F PointAt(const TPoint3F& s, const TPoint3F& e, double t, double len) {
    if (t >= len) return e;
    return Point3F(s.X + (double(e.X) - s.X) * t / len, s.Y + (double(e.Y) - s.Y) * t / len,
                   s.Z + (double(e.Z) - s.Z) * t / len);
}

// Points a walk of n whole repetitions may emit for a pattern of k elements:
// one per element boundary, a closing pair at each end, and the same again
// as headroom. The walk stops there (it never gets near it unless rounding
// or NaN derails it).
double WalkBudget(double n, size_t k) { return 2.0 * (n + 2.0) * double(k) + 8.0; }

// Drops an unpaired last point, so that the output stays a list of pairs. A
// well-formed pattern (dashes or dots at even, gaps at odd positions) never
// leaves one; a pattern with an odd element count or a run shorter than one
// pattern on a curve can, and the lone point would be drawn as nothing anyway.
void DropUnpaired(std::vector<TPoint3F>& out, size_t start) {
    if ((out.size() - start) % 2 != 0) out.pop_back();
}

// Position of the walk over the pattern: the index of the element being
// traversed (-1 before the first emission) and the completed repetitions.
struct TTickWalk {
    const std::vector<float>& Ticks;
    int TickIndex = -1;
    long Repetitions = 0;

    void Advance() {
        if (++TickIndex >= int(Ticks.size())) {
            TickIndex = 0;
            ++Repetitions;
        }
    }
    double Current() const { return std::fabs(double(Ticks[size_t(TickIndex)])); }
};

// One straight segment, pattern centred on it; no precondition checks (Poly
// calls it for each segment with a list that already holds points).
void CutSegment(const std::vector<float>& ticks, float pattern, double scale, const TPoint3F& s,
                const TPoint3F& e, std::vector<TPoint3F>& out) {
    const size_t start = out.size();
    const double len = UsableScale(scale) ? Distance3(s, e) / scale : kNaN;
    const double p = pattern;
    auto solid = [&] {
        out.resize(start);
        out.push_back(s);
        out.push_back(len == 0 ? s : e);
    };
    if (len == 0 || !Cuttable(len, p)) return solid();

    const double n = std::floor(len / p);
    // The part of the pattern that does not fit is split evenly between the
    // first and the last dash. The first element enters with its absolute
    // value: a pattern that starts with a gap would otherwise make the last
    // step go backwards and never reach the end.
    const double first0 = std::fabs(double(ticks[0]));
    const double m = n == 0 ? len : (first0 + (len - n * p)) / 2;
    const bool dotFirst = ticks[0] == 0;
    const double budget = WalkBudget(n, ticks.size());
    if (budget > kMaxCutPoints) return solid();

    TTickWalk walk{ticks};
    double t = 0;
    bool first = true;
    auto emit = [&](double at) { out.push_back(PointAt(s, e, at, len)); };
    emit(0);
    walk.Advance();
    for (;;) {
        if (double(out.size() - start) > budget) return solid();
        if (first || double(walk.Repetitions) == n) {
            if (dotFirst) {
                emit(t);  // the dot
                walk.Advance();
                if (double(walk.Repetitions) == n || n == 1) {
                    emit(len);  // the closing dot
                    emit(len);
                    break;
                }
                ++walk.Repetitions;
                t += walk.Current();
            }
            if (first) {
                t += m;
                first = false;
            } else {
                // The last dash: the first dash, n - 1 whole repetitions and
                // the rest of the first one add up to len - m, so it ends at
                // the end of the segment. Jumping there keeps rounding from
                // leaving a sliver past the last point.
                t = len;
            }
        } else {
            t += walk.Current();
        }
        if (t > len) t = len;
        emit(t);
        walk.Advance();
        if (std::fabs(t - len) < kEndTolerance) break;
    }
    DropUnpaired(out, start);
}

}  // namespace

void TkrLines::Line(double scale, const TPoint3F& s, const TPoint3F& e, std::vector<TPoint3F>& out) const {
    CheckPreconditions(*this, "Line", out);
    CutSegment(FTicks, PatternLengthOf(FTicks), scale, s, e, out);
}

void TkrLines::Poly(double scale, std::vector<TPoint3F>& points, std::vector<TPoint3F>& out, bool closed) const {
    CheckPreconditions(*this, "Poly", out);
    const float pattern = PatternLengthOf(FTicks);
    if (closed && !points.empty()) {
        const TPoint3F firstPoint = points.front();
        points.push_back(firstPoint);
    }
    // Each segment starts its own centred pattern; a repeated point adds
    // nothing, except at the start, where it leaves a dot.
    for (size_t i = 0; i + 1 < points.size(); ++i)
        if (i == 0 || points[i] != points[i + 1]) CutSegment(FTicks, pattern, scale, points[i], points[i + 1], out);
}

void TkrLines::Curve(double scale, std::vector<TPoint3F>& points, std::vector<TPoint3F>& out, bool closed) const {
    CheckPreconditions(*this, "Curve", out);
    const double p = PatternLengthOf(FTicks);
    if (closed && !points.empty()) {
        const TPoint3F firstPoint = points.front();
        points.push_back(firstPoint);
    }
    // A point equal to its predecessor adds no length; it leaves the list.
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.empty()) return;
    if (points.size() == 1) {
        out.push_back(points[0]);  // a dot
        out.push_back(points[0]);
        return;
    }

    const bool scaleOk = UsableScale(scale);
    auto segLength = [&](size_t i) { return Distance3(points[i], points[i + 1]) / scale; };
    // Total length summed from the last segment backwards; a single segment
    // needing more than 1000 repetitions makes the whole run solid.
    bool tooLong = !scaleOk;
    double total = 0;
    for (size_t i = points.size() - 1; i > 0 && scaleOk; --i) {
        const double d = segLength(i - 1);
        total += d;
        if (!Cuttable(d, p)) tooLong = true;
    }
    const size_t start = out.size();
    const size_t segments = points.size() - 1;
    auto solid = [&] {
        out.resize(start);
        out.push_back(points[0]);
        out.push_back(points[1]);
        for (size_t i = 2; i < points.size(); ++i) {
            out.push_back(points[i - 1]);
            out.push_back(points[i]);
        }
    };
    if (tooLong || !std::isfinite(total)) return solid();

    const double n = std::floor(total / p);
    // Here m is the centred remainder also when the run is shorter than one
    // pattern (n = 0); the first element counts with its absolute value, as
    // for a single segment.
    const double first0 = std::fabs(double(FTicks[0]));
    const double m = (first0 + (n == 0 ? total : total - n * p)) / 2;
    const bool dotFirst = FTicks[0] == 0;
    // The ceiling applies to what the pattern adds; the two points per vertex
    // grow only with the caller's own list.
    if (WalkBudget(n, FTicks.size()) > kMaxCutPoints) return solid();
    const double budget = WalkBudget(n, FTicks.size()) + 2.0 * double(segments);

    TTickWalk walk{FTicks};
    const size_t last = segments - 1;
    size_t seg = 0;
    double len = segLength(0);
    double t = 0;  // distance within the current segment
    bool first = true;
    auto emit = [&](double at) { out.push_back(PointAt(points[seg], points[seg + 1], at, len)); };
    emit(0);
    walk.Advance();
    for (;;) {
        if (double(out.size() - start) > budget) return solid();
        if (first || double(walk.Repetitions) == n) {
            if (dotFirst) {
                emit(t);  // the dot
                walk.Advance();
                if (double(walk.Repetitions) == n || n == 1) {
                    out.push_back(points.back());  // the closing dot at the last point
                    out.push_back(points.back());
                    break;
                }
                ++walk.Repetitions;
                t += walk.Current();
            }
            if (first) {
                t += m;
                first = false;
            } else {
                // The last dash ends at the end of the run (see CutSegment).
                t = std::numeric_limits<double>::infinity();
            }
        } else {
            t += walk.Current();
        }
        // Passing vertices: an open dash (an odd number of points so far)
        // is closed at the vertex and reopened there, so dashes follow the
        // corner; a gap passes a vertex without a point.
        while (seg < last && t >= len) {
            if ((out.size() - start) % 2 != 0) {
                out.push_back(points[seg + 1]);
                out.push_back(points[seg + 1]);
            }
            t -= len;
            ++seg;
            len = segLength(seg);
        }
        if (t > len) t = len;
        emit(t);
        walk.Advance();
        if (seg == last && std::fabs(t - len) < kEndTolerance) break;
    }
    DropUnpaired(out, start);
}

void TkrLines::Line(double scale, const TPoint3F& a, const TPoint3F& b, std::vector<TPoint3F>& out,
                    const TPoint3F& phase) const {
    CheckPreconditions(*this, "Line", out);
    const float pattern = PatternLengthOf(FTicks);
    const double p = pattern;
    TPoint3F from{a.X, a.Y, 0}, to{b.X, b.Y, 0};
    const double ax = a.X, ay = a.Y, bx = b.X, by = b.Y;
    const double len = UsableScale(scale) ? Distance2(ax, ay, bx, by) / scale : kNaN;
    auto solid = [&] {
        out.clear();
        out.push_back(from);
        out.push_back(len == 0 ? from : to);
    };
    if (!(std::fabs(len) >= 0.0001) || !Cuttable(len, p)) return solid();

    // Move the phase point along the line by whole pattern lengths (p x scale
    // in drawing units) so that it lies at, or less than one pattern before,
    // the lower end of the segment.
    const double theta = bx == ax ? kPi / 2 : std::atan((by - ay) / (bx - ax));
    const double step = p * scale;
    double kx = phase.X, ky = phase.Y;
    constexpr double eps = 0.000001;
    if (std::fabs(ay - by) < eps && std::fabs(ay - ky) < eps && std::fabs(by - ky) < eps) {
        const bool aLeft = ax <= bx;
        const double c = Distance2(kx, ky, aLeft ? ax : bx, aLeft ? ay : by);
        const double k = std::floor(c / scale / p);
        if (kx > ax || by < ky)
            kx -= (k + 1) * step;
        else
            kx += k * step;
    } else {
        const bool aLow = ay <= by;
        const double dist = Distance2(kx, ky, aLow ? ax : bx, aLow ? ay : by);
        const double k = std::floor(dist / scale / p);
        const bool down = ky > ay || ky > by;
        const double amount = (down ? k + 1 : k) * step;
        const double sign = down ? -1.0 : 1.0;
        if (std::fabs(theta - kPi / 2) < eps) {
            ky += sign * amount;
        } else if (std::tan(theta) >= 0) {
            kx += sign * std::cos(theta) * amount;
            ky += sign * std::sin(theta) * amount;
        } else {
            kx -= sign * std::cos(theta) * amount;
            ky -= sign * std::sin(theta) * amount;
        }
    }

    // The cut runs from the end nearer to the phase point; d is the phase
    // distance before that end.
    double d = Distance2(ax, ay, kx, ky) / scale;
    const double db = Distance2(bx, by, kx, ky) / scale;
    if (db < d) {
        std::swap(from, to);
        d = db;
    }
    if (!std::isfinite(d)) return solid();
    // Moving by whole patterns leaves d at most one pattern; rounding of far
    // phase points can leave it a hair more, which would find no element and
    // drop the whole line. Reduce it by whole patterns instead.
    if (d > p) d = std::fmod(d, p);

    const size_t k = FTicks.size();
    size_t next;  // index of the element that follows the position t
    double t;
    if (d != p) {
        // The first element whose running sum reaches d holds the start.
        float run = 0;
        size_t j = 0;
        for (; j < k; ++j) {
            run += std::fabs(FTicks[j]);
            if (run >= d) break;
        }
        if (j == k) return;  // cannot happen once d <= p; kept as a guard
        if (FTicks[j] >= 0) out.push_back(from);
        t = double(run) - d;
        next = (j + 1) % k;
    } else {
        if (FTicks[0] >= 0) out.push_back(from);
        t = std::fabs(double(FTicks[0]));
        next = 1 % k;
    }
    // Each element boundary before the far end is a point; the far end closes
    // the pattern when the element reaching it is a dash or dot.
    const double budget = WalkBudget(std::floor(len / p), k);
    if (budget > kMaxCutPoints) return solid();
    for (;;) {
        if (double(out.size()) > budget) return solid();
        if (t >= len) {
            if (FTicks[(next + k - 1) % k] >= 0) out.push_back(to);
            break;
        }
        out.push_back(PointAt(from, to, t, len));
        t += std::fabs(double(FTicks[next]));
        next = (next + 1) % k;
    }
    DropUnpaired(out, 0);
}
