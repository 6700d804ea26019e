// True widths in the text form: the band a wide polyline, a wide geometric
// pen, a solid or a trace covers is drawn as its closed outline (both sides
// of the band, the ends closed), where the text form otherwise keeps only
// the centre line or the polygon without its closing segment.
//
// A polyline's band follows what its centre line follows (the bulge chords
// included, each chord with its share of the segment's change of width) and
// is one outline for every run of consecutive segments that have a width:
// on the inner side of a bend the two sides meet where they cross; on the
// outer side they are mitred into a corner (walls meet square) unless the
// corner would reach farther than twice the half width from the vertex,
// where they are bevelled. A closed polyline wide all round is two closed
// loops. Segments without a width stay centre-line segments. Dashes are not
// cut into bands: a dashed wide polyline is drawn as its whole band.
#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/entities/linear.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"

namespace {

struct TVec {
    double X = 0, Y = 0;
};
TVec operator+(TVec a, TVec b) { return {a.X + b.X, a.Y + b.Y}; }
TVec operator-(TVec a, TVec b) { return {a.X - b.X, a.Y - b.Y}; }
TVec operator*(TVec a, double k) { return {a.X * k, a.Y * k}; }
double Cross(TVec a, TVec b) { return a.X * b.Y - a.Y * b.X; }
double Length(TVec a) { return std::hypot(a.X, a.Y); }

// One segment of a band in target coordinates: its ends and the offsets of
// its two sides at each end (the side points are A +- OffA and B +- OffB).
struct TBandSeg {
    TVec A, B, OffA, OffB;
    bool Wide = false;
};

// The mapped point in target coordinates, unrounded.
TVec MapExactly(const TMatrix4x3F& mat, const TPoint3F& p) {
    const auto& m = mat.M;
    return {double(p.X) * m[0][0] + double(p.Y) * m[1][0] + double(p.Z) * m[2][0] + m[3][0],
            double(p.X) * m[0][1] + double(p.Y) * m[1][1] + double(p.Z) * m[2][1] + m[3][1]};
}

// The drawing-unit vector v mapped by the linear part of the matrix.
TVec MapVector(const TMatrix4x3F& mat, TVec v) {
    const auto& m = mat.M;
    return {v.X * m[0][0] + v.Y * m[1][0], v.X * m[0][1] + v.Y * m[1][1]};
}

// Collects the rounded points of outlines and draws them.
class TOutlines {
public:
    explicit TOutlines(TkrDXFImage& g) : G(g) {
        G.PartList.clear();
        G.PartCounts.clear();
    }
    void Begin() { FFirst = G.PartList.size(); }
    void Add(TVec p) {
        if (!(std::fabs(p.X) < 2147483647.0 && std::fabs(p.Y) < 2147483647.0)) {
            FInRange = false;
            return;
        }
        TPoint q{int32_t(std::nearbyint(p.X)), int32_t(std::nearbyint(p.Y))};
        if (G.PartList.size() > FFirst && G.PartList.back() == q) return;
        G.PartList.push_back(q);
    }
    // Ends an outline; closed: back to its first point.
    void End(bool closed) {
        if (closed && G.PartList.size() > FFirst + 2) G.PartList.push_back(G.PartList[FFirst]);
        size_t n = G.PartList.size() - FFirst;
        if (n >= 2) G.PartCounts.push_back(int(n));
        else G.PartList.resize(FFirst);
    }
    void Draw() {
        if (!FInRange || G.PartCounts.empty()) return;
        if (!G.TakeWork(G.PartList.size() * G.WorkPerPoint)) return;
        G.Sink->PolyPolyline(G.PartList.data(), G.PartCounts.data(), int(G.PartCounts.size()));
    }

private:
    TkrDXFImage& G;
    size_t FFirst = 0;
    bool FInRange = true;
};

// Where one side of two consecutive segments turns: the side of the first
// runs p1 -> p2, of the second q1 -> q2; c is the centre-line vertex and
// reach the most a mitred corner may lie from it.
void Join(TOutlines& out, TVec p1, TVec p2, TVec q1, TVec q2, TVec c, double reach) {
    if (Length(p2 - q1) < 0.5) {
        out.Add((p2 + q1) * 0.5);
        return;
    }
    const TVec d = p2 - p1, e = q2 - q1;
    const double den = Cross(d, e);
    if (std::fabs(den) > 1e-12 * Length(d) * Length(e)) {
        const double t = Cross(q1 - p1, e) / den, u = Cross(q1 - p1, d) / den;
        const TVec x = p1 + d * t;
        const bool inner = t >= 0 && t <= 1 && u >= 0 && u <= 1;
        if (inner || (t > 1 && u < 0 && Length(x - c) <= reach)) {
            out.Add(x);
            return;
        }
    }
    out.Add(p2);
    out.Add(q1);
}

// Draws the bands of segs (in order; closed: the last joins the first).
void DrawBands(TkrDXFImage& g, std::vector<TBandSeg>& segs, bool closed) {
    TOutlines out(g);
    const size_t n = segs.size();
    bool allWide = n > 0;
    for (const TBandSeg& s : segs) allWide = allWide && s.Wide;
    auto reach = [&](const TBandSeg& a, const TBandSeg& b) {
        return 2 * std::max(Length(a.OffB), Length(b.OffA));
    };
    if (closed && allWide) {
        // Two loops: one side all round, then the other.
        for (int side : {1, -1}) {
            out.Begin();
            for (size_t k = 0; k < n; ++k) {
                const TBandSeg& a = segs[(k + n - 1) % n];
                const TBandSeg& b = segs[k];
                Join(out, a.A + a.OffA * side, a.B + a.OffB * side, b.A + b.OffA * side, b.B + b.OffB * side, b.A,
                     reach(a, b));
            }
            out.End(true);
        }
        out.Draw();
        return;
    }
    // A closed polyline starts after a segment without a width, so that no
    // band is cut where the list begins.
    if (closed) {
        size_t k = 0;
        while (k < n && segs[k].Wide) ++k;
        std::rotate(segs.begin(), segs.begin() + std::ptrdiff_t((k + 1) % n), segs.end());
    }
    for (size_t i = 0; i < n;) {
        if (!segs[i].Wide) {
            out.Begin();
            out.Add(segs[i].A);
            out.Add(segs[i].B);
            out.End(false);
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && segs[j].Wide) ++j;
        // Segments i .. j-1: one side forward, the end across, the other
        // side back, the start across.
        out.Begin();
        out.Add(segs[i].A + segs[i].OffA);
        for (size_t k = i; k + 1 < j; ++k) {
            const TBandSeg &a = segs[k], &b = segs[k + 1];
            Join(out, a.A + a.OffA, a.B + a.OffB, b.A + b.OffA, b.B + b.OffB, b.A, reach(a, b));
        }
        out.Add(segs[j - 1].B + segs[j - 1].OffB);
        out.Add(segs[j - 1].B - segs[j - 1].OffB);
        for (size_t k = j - 1; k > i; --k) {
            const TBandSeg &a = segs[k], &b = segs[k - 1];
            Join(out, a.B - a.OffB, a.A - a.OffA, b.B - b.OffB, b.A - b.OffA, a.A, reach(b, a));
        }
        out.Add(segs[i].A - segs[i].OffA);
        out.End(true);
        i = j;
    }
    out.Draw();
}

}  // namespace

bool DrawPolylineBands(TkrDXFImage& g, const TkrDXFPolyline& p, const TPointWork& work, int penWidth) {
    // The finished vertices (bulge points included, each with the widths of
    // the chord it starts), face records left out.
    std::vector<const TPolyVertex*> v;
    v.reserve(work.Vertices.size());
    for (const TPolyVertex& x : work.Vertices)
        if (!x.FaceRecord) v.push_back(&x);
    const size_t n = v.size();
    if (n < 2) return false;
    const size_t count = p.Closed ? n : n - 1;
    const TMatrix4x3F& m = g.DrawContext.Matrix;
    const double cw = std::fabs(double(p.ConstantWidth));
    std::vector<TBandSeg> segs;
    segs.reserve(count);
    bool anyWidth = false;
    for (size_t i = 0; i < count; ++i) {
        const TPolyVertex& a = *v[i];
        const TPolyVertex& b = *v[(i + 1) % n];
        // A segment's widths are its start vertex's (the closing segment's
        // too, which the filled quadrilaterals leave out); one without
        // widths of its own is as wide as the constant width, as the wide
        // pen draws it in the simplified DXF form.
        double s = std::fabs(double(a.StartWidth)), e = std::fabs(double(a.EndWidth));
        if (s == 0 && e == 0) s = e = cw;
        if (!std::isfinite(s) || !std::isfinite(e)) s = e = 0;
        TBandSeg seg;
        seg.A = MapExactly(m, a.Point);
        seg.B = MapExactly(m, b.Point);
        const TVec d{double(b.Point.X) - a.Point.X, double(b.Point.Y) - a.Point.Y};
        const double len = Length(d);
        if (!(len > 0) || Length(seg.B - seg.A) < 1e-6) continue;  // carries nothing of the band
        const TVec nrm{-d.Y / len, d.X / len};
        seg.OffA = MapVector(m, nrm * (s / 2));
        seg.OffB = MapVector(m, nrm * (e / 2));
        seg.Wide = s > 0 || e > 0;
        anyWidth = anyWidth || seg.Wide;
        segs.push_back(seg);
    }
    if (!anyWidth) {
        // A wide pen: a band of the pen's width in target units.
        if (penWidth <= 1) return false;
        for (TBandSeg& seg : segs) {
            const TVec d = seg.B - seg.A;
            const TVec nrm = TVec{-d.Y, d.X} * (penWidth / 2.0 / Length(d));
            seg.OffA = seg.OffB = nrm;
            seg.Wide = true;
        }
    }
    if (segs.empty()) return false;
    for (const TBandSeg& seg : segs)
        if (!std::isfinite(seg.A.X + seg.A.Y + seg.B.X + seg.B.Y + seg.OffA.X + seg.OffA.Y + seg.OffB.X + seg.OffB.Y))
            return false;
    DrawBands(g, segs, p.Closed);
    return true;
}

void DrawSolidOutline(TkrDXFImage& g, const TkrDXFSolid& s) {
    // The fourth corner (group 13) comes before the third (group 12).
    TOutlines out(g);
    out.Begin();
    for (const TPoint3F& c : {s.Point, s.Point2, s.Point4, s.Point3}) out.Add(MapExactly(g.DrawContext.Matrix, c));
    out.End(true);
    out.Draw();
}
