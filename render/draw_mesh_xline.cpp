#include "render/draw_mesh_xline.h"

#include <cmath>

#include "model/converter.h"
#include "model/entities/linear.h"
#include "model/entities/mesh.h"
#include "model/entities/xline.h"
#include "render/draw_entities.h"
#include "render/dxf_image.h"

void DrawMesh(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& m = static_cast<TkrDXFMesh&>(e);
    SetEntityPen(g, m);
    if (m.Edges.empty()) return;
    if (m.Pattern && !m.Pattern->IsSolid()) {
        const double scale = EffectiveLineTypeScale(*g.Converter, m.LineTypeScale);
        for (const auto& [a, b] : m.Edges) DrawEdge(g, m.Pattern, scale, m.Vertices[a], m.Vertices[b]);
        return;
    }
    // Every edge one two-point line of a single call.
    g.PartList.clear();
    g.WorkDone += 2 * m.Edges.size() * g.WorkPerPoint;
    for (const auto& [a, b] : m.Edges) {
        g.PartList.push_back(g.MapPoint(m.Vertices[a]));
        g.PartList.push_back(g.MapPoint(m.Vertices[b]));
    }
    g.PartCounts.assign(m.Edges.size(), 2);
    g.Sink->PolyPolyline(g.PartList.data(), g.PartCounts.data(), int(g.PartCounts.size()));
}

void DrawXLine(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& x = static_cast<TkrDXFXLine&>(e);
    if (!x.Drawable()) return;
    SetEntityPen(g, x);
    // The line in target coordinates, a(t) = A + t D for the drawing's point
    // P + t Direction, cut at the target rectangle (Liang-Barsky): what lies
    // inside is one segment, from t0 to t1.
    const auto& m = g.DrawContext.Matrix.M;
    const TPoint3F& p = x.Point;
    const TPoint3F& d = x.Direction;
    const double ax = double(p.X) * m[0][0] + double(p.Y) * m[1][0] + double(p.Z) * m[2][0] + m[3][0];
    const double ay = double(p.X) * m[0][1] + double(p.Y) * m[1][1] + double(p.Z) * m[2][1] + m[3][1];
    const double dx = double(d.X) * m[0][0] + double(d.Y) * m[1][0] + double(d.Z) * m[2][0];
    const double dy = double(d.X) * m[0][1] + double(d.Y) * m[1][1] + double(d.Z) * m[2][1];
    const TIntRect& r = g.TargetRect;
    double t0 = x.Ray ? 0 : -INFINITY, t1 = INFINITY;
    auto clip = [&](double q, double s, double lo, double hi) {
        // lo <= q + t s <= hi
        if (s == 0) return q >= lo && q <= hi;
        double a = (lo - q) / s, b = (hi - q) / s;
        if (a > b) std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        return t0 <= t1;
    };
    if (!(std::isfinite(ax) && std::isfinite(ay) && std::isfinite(dx) && std::isfinite(dy))) return;
    if (dx == 0 && dy == 0) return;  // seen end on
    if (!clip(ax, dx, r.Left, r.Right) || !clip(ay, dy, std::min(r.Top, r.Bottom), std::max(r.Top, r.Bottom)))
        return;
    const TPoint3F a = Point3F(p.X + t0 * d.X, p.Y + t0 * d.Y, p.Z + t0 * d.Z);
    const TPoint3F b = Point3F(p.X + t1 * d.X, p.Y + t1 * d.Y, p.Z + t1 * d.Z);
    g.WorkDone += 2 * g.WorkPerPoint;
    DrawEdge(g, x.Pattern, EffectiveLineTypeScale(*g.Converter, x.LineTypeScale), a, b);
}
