// Clipping hatch family lines against the boundary paths.
//
// A family line (c, d)-(e, f) meets the boundary segment P-Q where
//   A = (e - c)(Q.y - P.y) - (f - d)(Q.x - P.x)   (0: parallel, nothing)
//   t = ((Q.x - P.x)(d - P.y) - (Q.y - P.y)(c - P.x)) / A   along the line
//   u = ((e - c)(d - P.y) - (f - d)(c - P.x)) / A           along the segment
// for -1e-6 <= t, u <= 1.000001, at (c + (e - c) t, d + (f - d) t). Computed
// in double from the stored floats; the point is stored as float. The points
// of one line are sorted along it and taken in pairs: each pair is a piece of
// the line inside the boundary (even-odd rule).
#include "model/hatch_clip.h"

#include <algorithm>
#include <cmath>

#include "model/errors.h"

namespace {
constexpr double kTolLow = -1e-6;
constexpr double kTolHigh = 1.000001;
// Quotients below or above these are outside the tolerance for certain.
constexpr double kRejectLow = -2e-6;
constexpr double kRejectHigh = 1.000002;
// Two points within this distance in x and in y are the same point.
constexpr double kSame = 1e-6;
// How far the search for a vertex's neighbours looks past points that lie
// within kSame of it.
constexpr int kNeighbourReach = 16;

using THit = THatchClipScratch::THit;

// A point the line met, before the crossing test decides whether it counts.
struct TFound {
    uint32_t Seg;
    double U;
    float X, Y;
};

bool Near(double ax, double ay, double bx, double by) {
    return std::fabs(ax - bx) <= kSame && std::fabs(ay - by) <= kSame;
}

// Whether a found point lies at the start (or end) vertex v of its segment:
// within the tolerance of that end along the segment, or within kSame of v.
bool AtStart(const TFound& h, const TPoint3F& v) { return h.U <= 1e-6 || Near(h.X, h.Y, v.X, v.Y); }
bool AtEnd(const TFound& h, const TPoint3F& v) { return h.U >= 1 - 1e-6 || Near(h.X, h.Y, v.X, v.Y); }

// The vertex before (dir -1) or after (+1) vertex k of its path, passing
// over vertices within kSame of it (a boundary may hold a tiny segment at a
// corner), so that the side test below sees the boundary's real course.
const TPoint3F& Neighbour(const THatchClipBoundary& b, uint32_t k, int dir) {
    const TPoint3F& v = b.Points[k];
    uint32_t j = dir < 0 ? b.Prev(k) : b.Next(k);
    const uint32_t first = j;
    for (int step = 0; step < kNeighbourReach && j != k; ++step) {
        const TPoint3F& q = b.Points[j];
        if (!Near(q.X, q.Y, v.X, v.Y)) return q;
        j = dir < 0 ? b.Prev(j) : b.Next(j);
    }
    return b.Points[first];
}

// A line through a boundary vertex v is met by both segments at v. It
// crosses the boundary there when the vertices r before and s after v lie on
// opposite sides of it (or v lies inside a straight run); then the second
// point is a repeat and is dropped. When both lie on one side (the boundary
// touches the line) or one lies on the line, both points are kept, so the
// inside pieces keep their parity.
bool CrossesAt(const TPoint3F& v, const TPoint3F& r, const TPoint3F& s, double dx, double dy) {
    double sr = dx * (double(r.Y) - v.Y) - dy * (double(r.X) - v.X);
    double ss = dx * (double(s.Y) - v.Y) - dy * (double(s.X) - v.X);
    return (sr > 0 && ss < 0) || (sr < 0 && ss > 0);
}
}  // namespace

THatchClipBoundary MakeClipBoundary(const std::vector<std::vector<TPoint3F>>& paths) {
    THatchClipBoundary b;
    size_t total = 0;
    for (const auto& p : paths) total += p.size();
    b.Points.reserve(total);
    b.PathOf.reserve(total);
    b.PathStart.reserve(paths.size() + 1);
    for (const auto& path : paths) {
        const size_t start = b.Points.size();
        for (const TPoint3F& q : path) {
            if (b.Points.size() > start && b.Points.back().X == q.X && b.Points.back().Y == q.Y) continue;
            b.Points.push_back({q.X, q.Y, 0});
        }
        while (b.Points.size() > start + 1 && b.Points.back().X == b.Points[start].X &&
               b.Points.back().Y == b.Points[start].Y)
            b.Points.pop_back();
        if (b.Points.size() == start) continue;
        b.PathStart.push_back(uint32_t(start));
        b.PathOf.resize(b.Points.size(), uint32_t(b.PathStart.size() - 1));
    }
    b.PathStart.push_back(uint32_t(b.Points.size()));
    return b;
}

void FamilyLineHits(const THatchClipBoundary& b, std::span<const uint32_t> cand, const THatchFamilyLine& line,
                    THatchClipScratch& scratch, std::vector<TPoint3F>& out) {
    const double c = line.X1, d = line.Y1, e = line.X2, f = line.Y2;
    const double ldx = e - c, ldy = f - d;
    auto& hits = scratch.Hits;
    hits.clear();
    uint32_t path = UINT32_MAX;
    bool haveFirst = false, havePrev = false;
    TFound first{}, prev{};
    for (uint32_t k : cand) {
        const uint32_t p = b.PathOf[k];
        if (p != path) {
            path = p;
            haveFirst = havePrev = false;
        }
        const uint32_t kn = b.Next(k);
        const TPoint3F& P = b.Points[k];
        const TPoint3F& Q = b.Points[kn];
        const double qx = double(Q.X) - P.X, qy = double(Q.Y) - P.Y;
        const double A = ldx * qy - ldy * qx;
        if (A == 0) continue;
        const double nt = qx * (d - P.Y) - qy * (c - P.X);
        const double nu = ldx * (d - P.Y) - ldy * (c - P.X);
        // Most segments lie clear of the line: their quotients are far
        // outside the tolerance, which a comparison of the numerators with
        // A tells without the two divisions. The margins (twice the
        // tolerance, against rounding of well under 1e-15) only pass on
        // what the divisions then decide, so the points found are the
        // same; for a subnormal A, or where a number is not finite, the
        // divisions decide alone.
        if (const double a = std::fabs(A); a > 1e-290) {
            const double st = A > 0 ? nt : -nt, su = A > 0 ? nu : -nu;
            const double lo = kRejectLow * a, hi = kRejectHigh * a;
            if (su < lo || su > hi || st < lo || st > hi) continue;
        }
        const double t = nt / A;
        const double u = nu / A;
        if (!(t >= kTolLow && t <= kTolHigh && u >= kTolLow && u <= kTolHigh)) continue;
        const TFound cur{k, u, float(c + ldx * t), float(d + ldy * t)};
        // A point met again at the vertex the previous segment of the path
        // shares with this one, or (the path's last segment) at the first
        // vertex of the path, where its first point was met, goes to the
        // crossing test; so do only these. Unlike a comparison with the
        // previous point of the whole line, this neither confuses paths that
        // share a vertex (a hole touching the outline) nor misses a repeat
        // that the tolerance placed a hair away. The segment after a dropped
        // point is tested like every other (skipping it lost real crossings).
        // Left to the implementer, decided: the test applies at every vertex
        // the line passes through, not only where the vertex is also an end
        // of the family line (on the box's edge). An interior vertex where
        // the boundary crosses the line would otherwise count twice and turn
        // inside and outside round for the rest of the line.
        bool drop = false;
        if (havePrev && prev.Seg == b.Prev(k) && AtEnd(prev, P) && AtStart(cur, P)) {
            drop = CrossesAt(P, Neighbour(b, k, -1), Neighbour(b, k, +1), ldx, ldy);
        } else if (haveFirst && first.Seg == kn && first.Seg != k && AtStart(first, Q) && AtEnd(cur, Q)) {
            drop = CrossesAt(Q, Neighbour(b, kn, -1), Neighbour(b, kn, +1), ldx, ldy);
        }
        if (!haveFirst) {
            first = cur;
            haveFirst = true;
        }
        prev = cur;
        havePrev = true;
        if (!drop) hits.push_back({cur.X, cur.Y, t});
    }
    // Sorted by x, or by y when any two consecutively found points differ in
    // y; points with the same key keep the order along the line (t).
    bool byY = false;
    for (size_t i = 1; i < hits.size() && !byY; ++i) byY = hits[i].Y != hits[i - 1].Y;
    std::sort(hits.begin(), hits.end(), [byY](const THit& a, const THit& h) {
        float ka = byY ? a.Y : a.X, kh = byY ? h.Y : h.X;
        return ka < kh || (ka == kh && a.T < h.T);
    });
    for (const THit& h : hits) out.push_back({h.X, h.Y, 0});
}

std::vector<TPoint3F> ParseLinesHatch(std::span<const TPoint3F> boundary, std::span<const float> lines) {
    if (lines.size() % 4 != 0) throw EListError("ParseLinesHatch: (ALines.Count mod 4) <> 0");
    std::vector<std::vector<TPoint3F>> paths;
    for (size_t i = 0; i < boundary.size();) {
        // The header counts the points that follow it, the closing copy included.
        const double n = boundary[i].X;
        const size_t avail = boundary.size() - i - 1;
        const size_t count = n >= 1 && n <= double(avail) ? size_t(n) : avail;
        paths.emplace_back(boundary.begin() + long(i + 1), boundary.begin() + long(i + count));
        i += 1 + std::max<size_t>(count, 1);
    }
    THatchClipBoundary b = MakeClipBoundary(paths);
    std::vector<uint32_t> all(b.Points.size());
    for (uint32_t k = 0; k < all.size(); ++k) all[k] = k;
    THatchClipScratch scratch;
    std::vector<TPoint3F> out;
    for (size_t i = 0; i + 4 <= lines.size(); i += 4)
        FamilyLineHits(b, all, {lines[i], lines[i + 1], lines[i + 2], lines[i + 3], {}}, scratch, out);
    return out;
}

namespace {
// Families whose lines times segments stay below this test every pair.
constexpr uint64_t kDirectTests = 4096;

// Extent of a segment or line across the family direction, widened by the
// tolerance along it and by a rounding margin, so that every pair the exact
// test accepts overlaps.
struct TSpan {
    double Lo, Hi;
};

TSpan SpanOf(double wa, double wb) {
    double lo = std::min(wa, wb), hi = std::max(wa, wb);
    double pad = 1e-6 * (hi - lo) + 1e-9 * (1 + std::fabs(lo) + std::fabs(hi));
    return {lo - pad, hi + pad};
}

// The points of a small family, each line tested only against the segments
// whose extent across the family meets its own (the pairs the sweep below
// tests; the others meet nothing). The lines of a family follow each other
// across it, so their extents rise (or fall) in the order of lines, and the
// lines a segment may meet are one run of them, found by bisection; each
// line's candidates come out in ascending order of segments. False, with
// nothing found, when the extents do not run in one direction (or one is
// not a number): the caller then tests every pair.
template <class W>
bool SmallFamilyHits(const THatchClipBoundary& b, std::span<const THatchFamilyLine> lines, const W& w,
                     THatchClipScratch& scratch, std::vector<TPoint3F>& hits, std::vector<uint32_t>& ends) {
    const size_t nl = lines.size();
    std::vector<TSpan> span(nl);
    for (size_t i = 0; i < nl; ++i) {
        const THatchFamilyLine& l = lines[i];
        span[i] = SpanOf(w(l.X1, l.Y1), w(l.X2, l.Y2));
        if (std::isnan(span[i].Lo) || std::isnan(span[i].Hi)) return false;
    }
    bool rising = true, falling = true;
    for (size_t i = 1; i < nl; ++i) {
        rising = rising && span[i - 1].Lo <= span[i].Lo && span[i - 1].Hi <= span[i].Hi;
        falling = falling && span[i - 1].Lo >= span[i].Lo && span[i - 1].Hi >= span[i].Hi;
    }
    if (!rising && !falling) return false;
    // Position j of the rising order is line at(j).
    auto at = [&](size_t j) { return rising ? j : nl - 1 - j; };
    const uint32_t ns = uint32_t(b.Points.size());
    // The run [first, last) of every segment, in the rising order, and then
    // the candidates of each line (counted, then placed).
    std::vector<uint32_t> runs(2 * size_t(ns), 0), start(nl + 1, 0);
    for (uint32_t k = 0; k < ns; ++k) {
        const TPoint3F& P = b.Points[k];
        const TPoint3F& Q = b.Points[b.Next(k)];
        const TSpan s = SpanOf(w(P.X, P.Y), w(Q.X, Q.Y));
        if (std::isnan(s.Lo) || std::isnan(s.Hi)) continue;
        size_t lo = 0, hi = nl;  // first position whose Hi >= s.Lo
        while (lo < hi) {
            const size_t m = (lo + hi) / 2;
            if (span[at(m)].Hi < s.Lo) lo = m + 1;
            else hi = m;
        }
        const size_t first = lo;
        hi = nl;  // first position whose Lo > s.Hi
        while (lo < hi) {
            const size_t m = (lo + hi) / 2;
            if (span[at(m)].Lo <= s.Hi) lo = m + 1;
            else hi = m;
        }
        runs[2 * k] = uint32_t(first), runs[2 * k + 1] = uint32_t(lo);
        for (size_t j = first; j < lo; ++j) ++start[at(j) + 1];
    }
    for (size_t i = 0; i < nl; ++i) start[i + 1] += start[i];
    std::vector<uint32_t> cand(start[nl]), fill(start.begin(), start.end() - 1);
    for (uint32_t k = 0; k < ns; ++k)
        for (size_t j = runs[2 * k]; j < runs[2 * k + 1]; ++j) cand[fill[at(j)]++] = k;
    for (size_t i = 0; i < nl; ++i) {
        FamilyLineHits(b, std::span<const uint32_t>(cand.data() + start[i], start[i + 1] - start[i]), lines[i],
                       scratch, hits);
        ends[i] = uint32_t(hits.size());
    }
    return true;
}
}  // namespace

bool ClipFamily(const THatchClipBoundary& b, std::span<const THatchFamilyLine> lines, double nx, double ny,
                size_t& tests, size_t maxHits, std::vector<TPoint3F>& hits, std::vector<uint32_t>& ends) {
    const uint32_t ns = uint32_t(b.Points.size());
    hits.clear();
    ends.assign(lines.size(), 0);
    THatchClipScratch scratch;
    auto w = [&](double x, double y) { return nx * x + ny * y; };
    // A small family (most hatches) is counted as testing every segment
    // against every line, without the cost of a sweep.
    if (uint64_t(ns) * lines.size() <= kDirectTests) {
        // Line after line takes ns tests: the bound is passed at some line
        // exactly when it is passed by all of them.
        if (uint64_t(ns) * lines.size() > tests) return false;
        tests -= size_t(ns) * lines.size();
        if (SmallFamilyHits(b, lines, w, scratch, hits, ends)) return hits.size() <= maxHits;
        auto& all = scratch.Candidates;
        all.resize(ns);
        for (uint32_t k = 0; k < ns; ++k) all[k] = k;
        for (size_t i = 0; i < lines.size(); ++i) {
            FamilyLineHits(b, all, lines[i], scratch, hits);
            if (hits.size() > maxHits) return false;
            ends[i] = uint32_t(hits.size());
        }
        return true;
    }
    // Segments and lines by the lower end of their extent. A segment or line
    // whose extent is not a number meets nothing (its test fails on NaN).
    std::vector<TSpan> seg(ns);
    std::vector<uint32_t> segOrder;
    segOrder.reserve(ns);
    for (uint32_t k = 0; k < ns; ++k) {
        const TPoint3F& P = b.Points[k];
        const TPoint3F& Q = b.Points[b.Next(k)];
        seg[k] = SpanOf(w(P.X, P.Y), w(Q.X, Q.Y));
        if (!std::isnan(seg[k].Lo) && !std::isnan(seg[k].Hi)) segOrder.push_back(k);
    }
    std::sort(segOrder.begin(), segOrder.end(), [&](uint32_t a, uint32_t c) { return seg[a].Lo < seg[c].Lo; });
    std::vector<TSpan> span(lines.size());
    std::vector<uint32_t> lineOrder;
    lineOrder.reserve(lines.size());
    for (uint32_t i = 0; i < lines.size(); ++i) {
        const THatchFamilyLine& l = lines[i];
        span[i] = SpanOf(w(l.X1, l.Y1), w(l.X2, l.Y2));
        if (!std::isnan(span[i].Lo) && !std::isnan(span[i].Hi)) lineOrder.push_back(i);
    }
    std::sort(lineOrder.begin(), lineOrder.end(), [&](uint32_t a, uint32_t c) { return span[a].Lo < span[c].Lo; });

    // Points in sweep order first, then rearranged into the order of lines.
    std::vector<TPoint3F> swept;
    std::vector<uint32_t> from(lines.size(), 0), count(lines.size(), 0);
    std::vector<uint32_t> active;
    size_t nextSeg = 0;
    for (uint32_t li : lineOrder) {
        const TSpan ls = span[li];
        while (nextSeg < segOrder.size() && seg[segOrder[nextSeg]].Lo <= ls.Hi) active.push_back(segOrder[nextSeg++]);
        auto& cand = scratch.Candidates;
        cand.clear();
        if (active.size() > tests) return false;
        tests -= active.size();
        // Lines come by rising lower ends: a segment that ends below this
        // line's extent meets no later line either.
        for (size_t a = 0; a < active.size();) {
            const uint32_t k = active[a];
            if (seg[k].Hi < ls.Lo) {
                active[a] = active.back();
                active.pop_back();
                continue;
            }
            if (seg[k].Lo <= ls.Hi) cand.push_back(k);
            ++a;
        }
        std::sort(cand.begin(), cand.end());
        from[li] = uint32_t(swept.size());
        FamilyLineHits(b, cand, lines[li], scratch, swept);
        count[li] = uint32_t(swept.size() - from[li]);
        if (swept.size() > maxHits) return false;
    }
    hits.reserve(swept.size());
    for (uint32_t i = 0; i < lines.size(); ++i) {
        hits.insert(hits.end(), swept.begin() + from[i], swept.begin() + from[i] + count[i]);
        ends[i] = uint32_t(hits.size());
    }
    return true;
}
