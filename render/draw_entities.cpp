#include "render/draw_entities.h"

#include <array>
#include <cmath>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/curves.h"
#include "model/entities/hatch.h"
#include "model/entities/linear.h"
#include "model/entities/text.h"
#include "render/draw_annotation.h"
#include "render/draw_hatch.h"
#include "render/draw_mesh_xline.h"
#include "render/dxf_image.h"

namespace {

using TProc = void (*)(TkrDXFImage& g, TkrDXFEntity& e);

TkrDXFImage& Graphic(void* receiver) { return *static_cast<TkrDXFImage*>(receiver); }

bool IsContinuous(const TkrLines* p) { return !p || p->IsSolid(); }

// Pen width of a pen line or a polyline's pen: its line weight in target
// units, or the default.
template <class TPen>
int PenWidthOf(TkrDXFImage& g, const TPen& pen) {
    double w = 0;
    if (pen.PenStyle == 0 && pen.LineWeight != 0) {
        if (g.Converter->DrawContext) CacheScaleAndAngle(*g.Converter->DrawContext);
        w = std::nearbyint(pen.LineWeight / g.LineWeightScale);
        if (!std::isfinite(w) || w > 1e6) w = 0;
    }
    if (w < 1) w = g.DefaultPenWidth;
    return int(w);
}

// The points of a polyline or curve of the layout's top level when the
// writing thread made them ahead (see TkrDXFImage::PointsAhead).
// Inside an insert or a viewport nothing is made ahead.
bool PointsMadeAhead(TkrDXFImage& g, const TkrDXFPolyline& p, std::span<const TPoint3F>& points) {
    if (!g.PointsAhead || g.DrawContext.Insert || g.Converter->ViewportDrawing) return false;
    return g.PointsAhead->Take(p, points);
}

void MapInto(TkrDXFImage& g, std::span<const TPoint3F> pts, std::vector<TPoint>& out) {
    g.WorkDone += pts.size() * g.WorkPerPoint;
    for (const TPoint3F& p : pts) out.push_back(g.MapPoint(p));
}

// ---- procedures ----

void DrawLine(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& l = static_cast<TkrDXFLine&>(e);
    SetEntityPen(g, l);
    g.KeepAllPoints = true;
    if (IsContinuous(l.Pattern)) {
        const TPoint3F ends[2] = {l.Point, l.Point2};
        BuildPointList(g, ends);
    } else if (l.Clipped) {
        // Cut at the clip rectangle: the pairs as cut (see TkrDXFLine::Iterate).
        const TDrawContext* dc = g.Converter->DrawContext;
        BuildPointList(g, dc && dc->CutLinePoints ? std::span<const TPoint3F>(*dc->CutLinePoints)
                                                  : std::span<const TPoint3F>());
    } else {
        l.MakePoints(g.DashScratch);
        BuildPointList(g, g.DashScratch);
        g.DashScratch.clear();
    }
    g.KeepAllPoints = false;
    if (IsContinuous(l.Pattern)) g.Sink->Polyline(g.PointList.data(), int(g.PointList.size()));
    else DrawSegmentPairs(g);
}

void DrawSolid(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& s = static_cast<TkrDXFSolid&>(e);
    SetEntityPen(g, s);
    TPDFCanvas& sink = *g.Sink;
    if (g.TrueWidths && sink.TextMode) {
        DrawSolidOutline(g, s);
        return;
    }
    sink.Pen.Width = 0;
    sink.Brush.Style = bsSolid;
    sink.Brush.Color = sink.Pen.Color;
    g.WorkDone += 4 * g.WorkPerPoint;
    // The fourth corner (group 13) comes before the third (group 12).
    std::array<TPoint, 4> q = {g.MapPoint(s.Point), g.MapPoint(s.Point2), g.MapPoint(s.Point4), g.MapPoint(s.Point3)};
    sink.Polygon(q.data(), 4);
    sink.Brush.Style = bsClear;
}

void Draw3dFace(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& f = static_cast<TkrDXF3dFace&>(e);
    SetEntityPen(g, f);
    // Dashes are cut with the face's own scale (global x the face's line
    // type scale), not with a scale some other entity left behind.
    double scale = EffectiveLineTypeScale(*g.Converter, f.LineTypeScale);
    const TPoint3F c[4] = {f.Point, f.Point2, f.Point3, f.Point4};
    for (int i = 0; i < 4; ++i)
        if (!(f.EdgeFlags & (1 << i))) DrawEdge(g, f.Pattern, scale, c[i], c[(i + 1) % 4]);
}

}  // namespace

void DrawPolylineOf(TkrDXFImage& g, TkrDXFPolyline& p) {
    g.PartList.clear();
    g.PartCounts.clear();
    SetEntityPen(g, p.PenLine);
    TPDFCanvas& sink = *g.Sink;
    bool continuous = IsContinuous(p.PenLine.Pattern);
    // Meshes are drawn with a continuous line type only.
    if ((p.IsPolygonMesh() || p.IsPolyfaceMesh()) && !continuous) return;
    TPointWork& work = g.PointWork;
    // Meshes and bands read more of the work than its points.
    const bool bands = g.TrueWidths && sink.TextMode;
    std::span<const TPoint3F> points;
    if (p.IsPolygonMesh() || p.IsPolyfaceMesh() || bands) {
        p.MakePoints(work);
        points = work.Points;
    } else if (!PointsMadeAhead(g, p, points)) {
        points = g.RepeatedPoints.PointsOf(p, g.DrawContext.Insert, work);
    }
    if (p.IsPolygonMesh()) {
        // Rows of N points in vertex order, then columns of M points. A mesh
        // closed in M (flags 1) holds one closing vertex after the M x N grid:
        // it is not drawn as a grid point; instead every column is closed back
        // to its first point (M + 1 points), so counts and points always
        // agree. A mesh closed in N (flags 32) closes every row alike.
        size_t M = size_t(p.MeshM()), N = size_t(p.MeshN());
        bool closed = p.Closed, closedN = (p.PolyFlags & 32) != 0;
        const auto& v = p.GetVertexPoints(work);
        if (v.size() < M * N) return;
        for (size_t i = 0; i < M * N; ++i) g.PartList.push_back(g.MapPoint(v[i]));
        if (closedN) {
            // The grid's rows again, each with its first point at the end.
            for (size_t r = 0; r < M; ++r) {
                for (size_t c = 0; c < N; ++c) g.PartList.push_back(g.PartList[r * N + c]);
                g.PartList.push_back(g.PartList[r * N]);
            }
        }
        for (size_t c = 0; c < N; ++c) {
            for (size_t r = 0; r < M; ++r) g.PartList.push_back(g.PartList[r * N + c]);
            if (closed) g.PartList.push_back(g.PartList[c]);
        }
        // Closed rows are drawn from their copies: the grid goes.
        if (closedN) g.PartList.erase(g.PartList.begin(), g.PartList.begin() + std::ptrdiff_t(M * N));
        // Every point the sink gets costs, the second drawing of a point in
        // the columns too.
        g.WorkDone += g.PartList.size() * g.WorkPerPoint;
        g.PartCounts.assign(M, int(closedN ? N + 1 : N));
        g.PartCounts.insert(g.PartCounts.end(), N, int(closed ? M + 1 : M));
        sink.PolyPolyline(g.PartList.data(), g.PartCounts.data(), int(g.PartCounts.size()));
        return;
    }
    if (p.IsPolyfaceMesh()) {
        // Each face: its vertices (indices 1 to the vertex count; 0 and
        // those out of range are left out), closed back to the first. A
        // negative index is its vertex with the edge that starts there
        // invisible: the face is then drawn as the runs of its visible edges.
        const auto& v = p.GetVertexPoints(work);
        int vertexCount = int(std::min<size_t>(size_t(std::max(p.MeshM(), 0)), v.size()));
        TPoint corner[4];
        bool hidden[4];
        for (size_t f = 0; f + 4 <= p.FaceIndices().size(); f += 4) {
            int n = 0;
            for (size_t k = 0; k < 4; ++k) {
                int64_t i = p.FaceIndices()[f + k];
                if (i < 0) i = -i;
                if (i < 1 || i > vertexCount) continue;
                corner[n] = g.MapPoint(v[size_t(i - 1)]);
                hidden[n++] = p.FaceIndices()[f + k] < 0;
            }
            if (n == 0) continue;  // a face without a valid index adds nothing
            int start = -1;        // the first edge after an invisible one
            for (int k = 0; k < n; ++k)
                if (hidden[k]) start = (k + 1) % n;
            if (start < 0) {
                size_t first = g.PartList.size();
                g.PartList.insert(g.PartList.end(), corner, corner + n);
                g.PartList.push_back(g.PartList[first]);
                g.PartCounts.push_back(n + 1);
                continue;
            }
            // From the vertex after the last invisible edge around the face:
            // every invisible edge ends a run (the last run ends at the vertex
            // that starts that edge).
            size_t first = g.PartList.size();
            for (int k = 0; k < n; ++k) {
                int at = (start + k) % n;
                g.PartList.push_back(corner[at]);
                if (!hidden[at]) continue;
                int count = int(g.PartList.size() - first);
                if (count >= 2) g.PartCounts.push_back(count);
                else g.PartList.resize(first);
                first = g.PartList.size();
            }
        }
        g.WorkDone += g.PartList.size() * g.WorkPerPoint;
        if (!g.PartCounts.empty())
            sink.PolyPolyline(g.PartList.data(), g.PartCounts.data(), int(g.PartCounts.size()));
        return;
    }
    if (p.ConstantWidth != 0) {
        int64_t w = std::llabs(int64_t(g.MapPoint({p.ConstantWidth, 0, 0}).X) - g.MapPoint({0, 0, 0}).X);
        sink.Pen.Width = int(std::clamp<int64_t>(w, 1, INT32_MAX));
    }
    if (sink.Pen.Width > 1) {
        sink.Pen.Geometric = true;
        sink.Pen.Style = psSolid;
    }
    if (bands && DrawPolylineBands(g, p, work, sink.Pen.Geometric ? sink.Pen.Width : 0)) return;
    if (continuous) {
        BuildPointList(g, points);
        sink.Polyline(g.PointList.data(), int(g.PointList.size()));
    } else {
        g.KeepAllPoints = true;
        BuildPointList(g, points);
        g.KeepAllPoints = false;
        DrawSegmentPairs(g);
    }
    if (p.Outline().size() >= 4) {
        g.PartList.clear();
        g.PartCounts.clear();
        size_t n = p.Outline().size() / 4 * 4;
        MapInto(g, std::span<const TPoint3F>(p.Outline().data(), n), g.PartList);
        g.PartCounts.assign(n / 4, 4);
        sink.Brush.Style = bsSolid;
        sink.Brush.Color = sink.Pen.Color;
        sink.PolyPolygon(g.PartList.data(), g.PartCounts.data(), int(g.PartCounts.size()));
        sink.Brush.Style = bsClear;
    }
}

void DrawSplineOf(TkrDXFImage& g, TkrDXFSpline& s) {
    if (s.ControlCount() < s.FitCount()) {
        DrawPolylineOf(g, s);
        return;
    }
    g.PartList.clear();
    SetEntityPen(g, s.PenLine);
    std::span<const TPoint3F> points;
    if (!PointsMadeAhead(g, s, points)) {
        s.MakePoints(g.PointWork);
        points = g.PointWork.Points;
    }
    if (IsContinuous(s.PenLine.Pattern)) {
        BuildPointList(g, points);
        g.Sink->Polyline(g.PointList.data(), int(g.PointList.size()));
    } else {
        g.KeepAllPoints = true;
        BuildPointList(g, points);
        g.KeepAllPoints = false;
        DrawSegmentPairs(g);
    }
}

namespace {

void DrawPolyline(TkrDXFImage& g, TkrDXFEntity& e) { DrawPolylineOf(g, static_cast<TkrDXFPolyline&>(e)); }

void DrawSpline(TkrDXFImage& g, TkrDXFEntity& e) { DrawSplineOf(g, static_cast<TkrDXFSpline&>(e)); }

void DrawInsert(TkrDXFImage&, TkrDXFEntity& e) {
    auto& ins = static_cast<TkrDXFInsert&>(e);
    ins.Expanding = ins.Block != nullptr;
}

// In the text form a run drawn as a string leaves nothing in the file, so a
// multi-line text whose every run would be drawn so need not be laid out
// again: what walking its runs would change (the work done, the entities
// drawn, the layer the walk leaves behind) is taken from what finishing
// recorded of them. True when that is done; false when the runs are to be
// walked (strokes or another form, a viewport's clipping, a run that may be
// too small or too big for a font, out of the target, or past the work
// bound), whose walk then counts whatever it meets.
bool TakeRunsUnwalked(TkrDXFImage& g, TkrDXFMText& m) {
    const TkrDXFMText::TRunSummary& runs = m.Runs();
    TkrDXFConverter& conv = *g.Converter;
    if (!g.Sink->TextMode || g.Lettering || g.WalkEveryRun || !runs.Plain || !m.Block || conv.ClipEnabled ||
        !m.Attribs.empty() || m.ArrayRows != 1 || m.ArrayColumns != 1)
        return false;
    // Only in model space: there the walk of a nested drawing's converter (an
    // external reference draws its model space) walks the runs as well.
    if (m.PaperSpace || conv.CurrentSpace) return false;
    TDrawContext own;
    own.Matrix = IdentityMatrix();
    TDrawContext& outside = conv.DrawContext ? *conv.DrawContext : own;
    TBoundHits scratch;
    if (!m.CanDescend(outside, scratch)) return false;
    // The walk draws the runs under the text as their insert, and leaves the
    // text under the insert it lies in.
    m.ParentInsert = outside.Insert;
    const TkrDXFLayer* l = EffectiveLayerOf(m.RunLayer(), &m);
    const bool visible = !l || (l->IsVisible() && !l->Hidden);
    if (visible && runs.Shown > 0) {
        // Every run that shows a string, in the context it is drawn in,
        // inside the target (its box lies inside the runs' box) and of a
        // font height of 2 or more within the target's range.
        TDrawContext in = outside;
        in.Matrix = MultiplyMatrix(m.Transform, outside.Matrix);
        in.ScaleX = in.ScaleY = 0;
        CacheScaleAndAngle(in);
        if (!TkrDXFImage::BoxInTarget(in.Matrix, m.Block->Box)) return false;
        if (in.ScaleX != 0 && (TextFontHeight(runs.MaxHeight, in.ScaleY) == 0 ||
                               TextFontHeight(runs.MinHeight, in.ScaleY) < 2))
            return false;
    }
    // One unit per run visited, and the own work of the runs that show a
    // string.
    const uint64_t count = m.RunCount();
    const uint64_t work = count + (visible ? g.WorkPerPoint * (kDrawWorkPerText * runs.Shown + runs.TextWork) : 0);
    if (g.WorkDone + work > g.WorkBudget || (g.Cancel && g.Cancel->load(std::memory_order_relaxed))) return false;
    g.WorkDone += work;
    if (visible) g.EntitiesDrawn += count;
    // As the walk's end does: the container's rotation looked at again.
    if (conv.DrawContext) conv.DrawContext->MatrixHasRotation = MatrixHasRotation(conv.DrawContext->Matrix);
    return true;
}

void DrawMText(TkrDXFImage& g, TkrDXFEntity& e) {
    // Its runs are laid out again as they are walked: the codes and braces
    // between them are read again, and paid for (the runs pay for themselves).
    auto& m = static_cast<TkrDXFMText&>(e);
    if (!g.TakeWork(m.LayoutWork() * g.WorkPerPoint)) return;
    if (TakeRunsUnwalked(g, m)) return;
    m.Expanding = m.Block != nullptr;
}

void DrawPoint(TkrDXFImage& g, TkrDXFEntity& e) {
    auto& p = static_cast<TkrDXFPoint&>(e);
    SetEntityPen(g, p);
    // The point becomes a square of one unit: four corners.
    g.WorkDone += 4 * g.WorkPerPoint;
    TPoint q = g.MapPoint(p.Point);
    g.Sink->SetPixel(q.X, q.Y, g.Sink->Pen.Color);
}

// The procedure table, searched from the entity's class up through its
// ancestors; at each level the classes below are compared in this order.
struct TProcEntry {
    TEntityClass Class;
    TProc Proc;
};
constexpr TProcEntry kProcs[] = {
    {TEntityClass::Line, DrawLine},          {TEntityClass::Solid, DrawSolid},
    {TEntityClass::Circle, DrawPolyline},    {TEntityClass::Arc, DrawPolyline},
    {TEntityClass::Ellipse, DrawPolyline},   {TEntityClass::Polyline, DrawPolyline},
    {TEntityClass::LWPolyline, DrawPolyline}, {TEntityClass::Spline, DrawSpline},
    {TEntityClass::Insert, DrawInsert},      {TEntityClass::Dimension, DrawInsert},
    {TEntityClass::MText, DrawMText},        {TEntityClass::Text, DrawText},
    {TEntityClass::Attdef, DrawText},        {TEntityClass::Face3d, Draw3dFace},
    {TEntityClass::Point, DrawPoint},        {TEntityClass::Hatch, DrawHatch},
    {TEntityClass::Attrib, DrawText},        {TEntityClass::ImageEnt, DrawImage},
    {TEntityClass::Viewport, DrawViewport},  {TEntityClass::Leader, DrawLeader},
    // Multileaders, multilines, wipeouts and proxy entities draw their parts;
    // a helix is a spline.
    {TEntityClass::Compound, DrawCompound},  {TEntityClass::Mesh, DrawMesh},
    {TEntityClass::XLine, DrawXLine},
};

TProc FindProc(TEntityClass c) {
    for (;;) {
        for (const auto& p : kProcs)
            if (p.Class == c) return p.Proc;
        if (c == TEntityClass::Entity) return nullptr;
        c = ParentClass(c);
    }
}

void CallProc(void* receiver, TkrDXFEntity& e);

struct TProcTable {
    TProc Procs[size_t(TEntityClass::Count)] = {};
    constexpr TProcTable() {
        for (size_t i = 0; i < size_t(TEntityClass::Count); ++i) Procs[i] = nullptr;
    }
};

const TProcTable& ProcTable() {
    static const TProcTable table = [] {
        TProcTable t;
        for (size_t i = 0; i < size_t(TEntityClass::Count); ++i) t.Procs[i] = FindProc(TEntityClass(i));
        return t;
    }();
    return table;
}

void CallProc(void* receiver, TkrDXFEntity& e) {
    if (TProc p = ProcTable().Procs[size_t(e.Class)]) p(Graphic(receiver), e);
}

// True when e is drawn by its own procedure from its own geometry, so that
// its box tells where it lands: not a reference drawn through what it refers
// to (an insert or what derives from it, a viewport), and not an attribute
// definition (drawn in the context of its insert's container).
bool DrawnFromItsBox(const TkrDXFEntity& e) {
    return e.OnDraw && !e.Is(TEntityClass::Insert) && !e.Is(TEntityClass::Viewport) && !e.Is(TEntityClass::Attdef);
}

bool IsEntityVisible(TkrDXFImage& g, TkrDXFEntity& e) {
    const TkrDXFInsert* insert = g.Converter->DrawContext ? g.Converter->DrawContext->Insert : nullptr;
    TkrDXFLayer* l = EffectiveLayer(e, insert);
    if (!e.Visible) return false;
    if (!l) return true;
    if (l->IsVisible() && !l->Hidden) return true;
    return l->Name == "0" && e.Is(TEntityClass::Insert);
}

}  // namespace

void InstallDrawEvent(TkrDXFImage& g) { g.Converter->DrawEvent = {CallProc, &g}; }

void AttachDrawProcedure(TkrDXFImage&, TkrDXFEntity& e) {
    if (ProcTable().Procs[size_t(e.Class)]) e.OnDraw = dhGraphic;
}

void EntityCallback(void* receiver, TkrDXFEntity& e) {
    TkrDXFImage& g = Graphic(receiver);
    if (!g.TakeWork(1)) return;
    // An entity whose box is not sound counts for no extents and is not
    // drawn (counted when it was found).
    if (e.BoxUnsound) return;
    // The entity's procedure draws on this graphic: the entities of an
    // external drawing were made by the graphic that loaded it, but are
    // drawn through the graphic of the drawing that refers to them.
    auto draw = [&] {
        if (e.OnDraw == dhGraphic) CallProc(&g, e);
    };
    bool visible = IsEntityVisible(g, e);
    if (e.Is(TEntityClass::Viewport)) {
        draw();
        return;
    }
    if (!visible) return;
    TkrDXFConverter& conv = *g.Converter;
    // Geometry that maps outside the 32-bit range of the target (a copy of an
    // array spaced 1e38 apart, a point far outside the extents) is left out
    // rather than drawn at the edges of the range, where its ends would land
    // on coordinates that mean nothing. Inside a viewport's frame what
    // crosses the frame is cut at it and drawn.
    if (!conv.ClipEnabled && DrawnFromItsBox(e) && conv.DrawContext) {
        const TBox3F box = e.GetBox();
        if (!IsEmptyBox(box) && !TkrDXFImage::BoxInTarget(conv.DrawContext->Matrix, box)) {
            ++conv.Bounds.OutOfRange;
            return;
        }
    }
    if (e.OnDraw && ProcTable().Procs[size_t(e.Class)] != DrawInsert) ++g.EntitiesDrawn;
    const TkrDXFInsert* insert = conv.DrawContext ? conv.DrawContext->Insert : nullptr;
    TColorValue c = ResolveColor(e, insert);
    TPDFCanvas& sink = *g.Sink;
    sink.Pen.Color = c == clForeground ? g.DefaultColor : TColor(c);
    sink.Pen.Geometric = false;
    if (e.Is(TEntityClass::Text) || e.Is(TEntityClass::MText)) sink.Font.Color = sink.Pen.Color;
    // Inside a viewport everything is clipped at its frame (the clip box is
    // in target coordinates): what lies wholly inside is drawn unchanged.
    sink.Clipping = conv.ClipEnabled;
    if (conv.ClipEnabled)
        sink.ClipRect = {conv.ClipBox.Left, conv.ClipBox.Bottom, conv.ClipBox.Right, conv.ClipBox.Top};
    draw();
}

void SetEntityPen(TkrDXFImage& g, const TkrDXFPenLine& pen) {
    g.Sink->Pen.Width = PenWidthOf(g, pen);
    g.Sink->Pen.Geometric = false;
}

void SetEntityPen(TkrDXFImage& g, const TPolylinePen& pen) {
    g.Sink->Pen.Width = PenWidthOf(g, pen);
    g.Sink->Pen.Geometric = false;
}

namespace {
TPoint3F SpacePoint(const TPoint3F& p) { return p; }
TPoint3F SpacePoint(const TPoint2F& p) { return {p.X, p.Y, 0}; }

template <class Point>
void BuildPointListOf(TkrDXFImage& g, std::span<const Point> points) {
    auto& list = g.PointList;
    list.clear();
    g.WorkDone += points.size() * g.WorkPerPoint;
    const TkrDXFImage::TMapper map(g.DrawContext.Matrix);
    TPoint prev{};
    for (size_t i = 0; i < points.size(); ++i) {
        TPoint raw = map(SpacePoint(points[i]));
        TPoint q = raw;
        // A zero-length pair becomes one unit long.
        if ((i & 1) && raw == prev && q.X < INT32_MAX) q.X += 1;
        prev = raw;
        if (!g.KeepAllPoints && list.size() >= 2) {
            auto near = [&](const TPoint& a) {
                return std::llabs(int64_t(q.X) - a.X) <= 1 && std::llabs(int64_t(q.Y) - a.Y) <= 1;
            };
            if (near(list[list.size() - 1]) && near(list[list.size() - 2])) continue;
        }
        list.push_back(q);
    }
}
}  // namespace

void BuildPointList(TkrDXFImage& g, std::span<const TPoint3F> points) { BuildPointListOf(g, points); }
void BuildPointList(TkrDXFImage& g, std::span<const TPoint2F> points) { BuildPointListOf(g, points); }

void DrawSegmentPairs(TkrDXFImage& g) {
    size_t pairs = g.PointList.size() / 2;
    if (pairs == 0) return;
    g.PartCounts.assign(pairs, 2);
    g.Sink->PolyPolyline(g.PointList.data(), g.PartCounts.data(), int(pairs));
}

void DrawEdge(TkrDXFImage& g, const TkrLines* pattern, double scale, const TPoint3F& a, const TPoint3F& b) {
    if (IsContinuous(pattern)) {
        g.WorkDone += 2 * g.WorkPerPoint;
        g.PointList.clear();
        g.PointList.push_back(g.MapPoint(a));
        g.PointList.push_back(g.MapPoint(b));
        g.Sink->Polyline(g.PointList.data(), 2);
        return;
    }
    g.DashScratch.clear();
    if (DashLine(*pattern, scale, a, b, g.DashScratch)) ++g.Converter->Bounds.DashPoints;
    BuildPointList(g, g.DashScratch);
    DrawSegmentPairs(g);
    g.DashScratch.clear();
}
