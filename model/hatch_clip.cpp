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
        const double t = (qx * (d - P.Y) - qy * (c - P.X)) / A;
        const double u = (ldx * (d - P.Y) - ldy * (c - P.X)) / A;
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
}  // namespace

bool ClipFamily(const THatchClipBoundary& b, std::span<const THatchFamilyLine> lines, double nx, double ny,
                size_t& tests, size_t maxHits, std::vector<TPoint3F>& hits, std::vector<uint32_t>& ends) {
    const uint32_t ns = uint32_t(b.Points.size());
    hits.clear();
    ends.assign(lines.size(), 0);
    THatchClipScratch scratch;
    // A small family (most hatches) tests every segment against every line:
    // the same points without the cost of sorting.
    if (uint64_t(ns) * lines.size() <= kDirectTests) {
        auto& all = scratch.Candidates;
        all.resize(ns);
        for (uint32_t k = 0; k < ns; ++k) all[k] = k;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (ns > tests) return false;
            tests -= ns;
            FamilyLineHits(b, all, lines[i], scratch, hits);
            if (hits.size() > maxHits) return false;
            ends[i] = uint32_t(hits.size());
        }
        return true;
    }
    auto w = [&](double x, double y) { return nx * x + ny * y; };
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
