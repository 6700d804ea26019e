#include "model/entities/hatch.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "platform/plane.h"
#include "platform/scoped.h"

TkrDXFHatch::TkrDXFHatch() : TkrDXFPenLine(TEntityClass::Hatch) {}

TkrDXFHatch::~TkrDXFHatch() = default;

// ---- reading ----

THatchEdge* TkrDXFHatch::LastEdge() { return Edges.empty() || Edges.back().empty() ? nullptr : &Edges.back().back(); }

void TkrDXFHatch::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenLine::ReadProperty(conv);
    // A spline edge reads every group too: control points, knots and the rest.
    if (ReadState == 4)
        if (THatchEdge* e = LastEdge(); e && e->Type == THatchEdge::etSpline) {
            if (!e->Spline) e->Spline = std::make_unique<TkrDXFSpline>();
            // A spline edge gives its degree as 94 and its weights as 42.
            if (conv.Code == 94) e->Spline->Degree = conv.ValueAsInt();
            else if (conv.Code == 42) e->Spline->Weights.push_back(conv.ValueAsFloat());
            else e->Spline->ReadProperty(conv);
        }
    auto addEdge = [&](uint8_t type) -> THatchEdge& {
        THatchEdge e;
        e.Type = type;
        e.Outermost = OutermostFlag;
        Edges.back().push_back(std::move(e));
        return Edges.back().back();
    };
    switch (conv.Code) {
        case 2: PatternName = std::string(conv.Value); break;
        case 10: {
            float v = float(conv.ValueAsFloat());
            if (!BoundaryStarted) Elevation.X = v;
            else if (ReadState <= 3 && RemainingCount > 0 && !Edges.empty()) addEdge(ReadState).X = v;
            break;
        }
        case 20: {
            float v = float(conv.ValueAsFloat());
            if (!BoundaryStarted) {
                Elevation.Y = v;
            } else if (ReadState <= 1) {
                // Line edges and polyline vertices count down the remaining count.
                if (!Edges.empty() && !Edges.back().empty()) {
                    if (RemainingCount > 0) Edges.back().back().Y = v;
                    if (RemainingCount > INT32_MIN) --RemainingCount;
                }
            } else if (ReadState <= 3) {
                if (THatchEdge* e = LastEdge()) e->Y = v;
            }
            break;
        }
        case 30:
            if (!BoundaryStarted) Elevation.Z = float(conv.ValueAsFloat());
            break;
        case 11: {
            float v = float(conv.ValueAsFloat());
            if (ReadState == 1 && !Edges.empty()) addEdge(THatchEdge::etBulgePoint).X = v;
            else if (ReadState == 3)
                if (THatchEdge* e = LastEdge()) e->MajorX = v;
            break;
        }
        case 21: {
            float v = float(conv.ValueAsFloat());
            if (ReadState == 1) {
                if (THatchEdge* e = LastEdge()) e->Y = v;
                ReadState = 5;
            } else if (ReadState == 3) {
                if (THatchEdge* e = LastEdge()) e->MajorY = v;
            }
            break;
        }
        case 40:
        case 42:
        case 50:
        case 51: {
            float v = float(conv.ValueAsFloat());
            if (THatchEdge* e = LastEdge()) {
                if (conv.Code == 40) e->Radius = v;
                else if (conv.Code == 42) e->Bulge = v;
                else if (conv.Code == 50) e->StartAngle = v;
                else e->EndAngle = v;
            }
            break;
        }
        case 70: Solid = (conv.ValueAsInt() & 1) != 0; break;
        case 72: {
            int32_t v = conv.ValueAsInt();
            if (!PathStarted) {
                Edges.emplace_back();
                PathStarted = true;
                ReadState = 0;
            }
            if (v >= 1 && v <= 4) ReadState = uint8_t(v);
            if (v == 4) addEdge(THatchEdge::etSpline);
            break;
        }
        case 73: {
            bool ccw = conv.ValueAsInt() == 1;
            if (THatchEdge* e = LastEdge()) e->CounterClockwise = ccw;
            if (ReadState == 2 || ReadState == 3) ReadState = 5;
            break;
        }
        case 78: PatternLineCount = conv.ValueAsInt(); break;
        case 79: {
            int32_t n = conv.ValueAsInt();
            if (PatternLines.empty()) break;
            THatchPatternLine& pl = PatternLines.back();
            pl.DashCount = n;
            pl.HasDashes = n > 0;
            if (n > 0) pl.Dashes = std::make_unique<TkrLines>();
            else pl.Dashes.reset();
            break;
        }
        case 49: {
            double v = conv.ValueAsFloat();
            if (!PatternLines.empty() && PatternLines.back().Dashes) PatternLines.back().Dashes->AddTick(v);
            break;
        }
        case 53:
            PatternLines.emplace_back();
            PatternLines.back().Angle = float(conv.ValueAsFloat());
            break;
        case 43:
        case 44:
        case 45:
        case 46: {
            float v = float(conv.ValueAsFloat());
            if (PatternLines.empty()) break;
            THatchPatternLine& pl = PatternLines.back();
            (conv.Code == 43 ? pl.BaseX : conv.Code == 44 ? pl.BaseY : conv.Code == 45 ? pl.OffsetX : pl.OffsetY) = v;
            break;
        }
        case 91:
            PathCount = conv.ValueAsInt();
            BoundaryStarted = true;
            break;
        case 92:
            PathFlags = conv.ValueAsInt();
            OutermostFlag = (PathFlags & 16) != 0;
            PathStarted = false;
            break;
        case 93: RemainingCount = conv.ValueAsInt(); break;
        case 97: ReadState = 5; break;
        default: break;
    }
}

// ---- boundary ----

namespace {
// The angles (degrees) an arc or ellipse edge runs between counter-clockwise,
// start in [-180, 180], and its point count: 16 parts per half turn, at
// least 4 points, and more where a chord tolerance (drawing units; 0 for
// none) asks for them. A count past kMaxEntityPoints stands for "too many".
struct TArcSweep {
    double Start, End;
    size_t Count;
};

TArcSweep ArcSweep(const THatchEdge& e, double tolerance) {
    double start = e.StartAngle, end = e.EndAngle;
    if (!e.CounterClockwise) {
        // A clockwise edge stores its angles mirrored.
        const double s = -end, t = -start;
        start = s, end = t;
    }
    // std::remainder is a - 360 round(a / 360) (ties to even), exactly.
    const double s = std::remainder(start, 360.0);
    double en = std::remainder(end, 360.0);
    if (!(en > s)) en += 360;
    double nd = std::nearbyint(DegToRad(en - s) / kPi * 16);
    if (!(nd >= 4)) nd = 4;  // also a sweep that is not a number
    if (nd > 33) nd = 33;
    // The boundary of a hatch is drawn as its outline is: with a tolerance
    // its arcs get as many points as an ARC or ELLIPSE of the same radius
    // (an ellipse strays at most as a circle of its larger radius does).
    const double a = std::fabs(double(e.Type == THatchEdge::etEllipse ? std::hypot(double(e.MajorX), double(e.MajorY))
                                                                      : double(e.Radius)));
    const double r = e.Type == THatchEdge::etEllipse ? a * std::max(1.0, std::fabs(double(e.Radius))) : a;
    nd = std::max(nd, std::min(ChordPointsForTolerance(r, DegToRad(en - s), tolerance), double(kMaxEntityPoints) + 1));
    return {s, en, size_t(nd)};
}

// The n points of an arc or ellipse edge in the order the boundary runs (n
// is the sweep's count, or 2 for the chord alone).
void ArcEdgePoints(const THatchEdge& e, const TArcSweep& sweep, size_t n, std::vector<TPoint3F>& out) {
    const double s = sweep.Start, en = sweep.End;
    const double cx = e.X, cy = e.Y;
    const bool ellipse = e.Type == THatchEdge::etEllipse;
    const double rot = ellipse ? std::atan2(double(e.MajorY), double(e.MajorX)) : 0;
    const double a = ellipse ? std::hypot(double(e.MajorX), double(e.MajorY)) : double(e.Radius);
    const double b = ellipse ? a * e.Radius : a;
    const double cr = std::cos(rot), sr = std::sin(rot);
    const size_t first = out.size();
    for (size_t k = 0; k < n; ++k) {
        const double t = DegToRad(s + double(k) * (en - s) / double(n - 1));
        const double u = a * std::cos(t), v = b * std::sin(t);
        out.push_back(ellipse ? Point2F(cx + cr * u - sr * v, cy + sr * u + cr * v) : Point2F(cx + u, cy + v));
    }
    if (!e.CounterClockwise) std::reverse(out.begin() + long(first), out.end());
}

// The parts - 1 points (15 without a chord tolerance) a bulge inserts
// between vertex v and the point w where the next edge starts, running from
// v towards w.
void BulgePoints(const TPoint3F& v, const TPoint3F& w, double bulge, size_t parts, std::vector<TPoint3F>& out) {
    const double mx = (double(v.X) + w.X) / 2, my = (double(v.Y) + w.Y) / 2;
    const double dx = v.X - mx, dy = v.Y - my;
    const double m = (1 - bulge * bulge) / (2 * bulge);
    const double cx = mx + m * dy, cy = my - m * dx;
    const double r = std::hypot(v.X - cx, v.Y - cy);
    double a0 = std::atan2(v.Y - cy, v.X - cx), a1 = std::atan2(w.Y - cy, w.X - cx);
    if (a0 < 0) a0 += 2 * kPi;
    if (a1 < 0) a1 += 2 * kPi;
    if (bulge > 0 && a0 > a1) a0 -= 2 * kPi;
    if (bulge < 0 && a0 < a1) a1 -= 2 * kPi;
    for (size_t k = parts - 1; k >= 1; --k) {
        const double a = a1 + double(k) * (a0 - a1) / double(parts);
        out.push_back(Point2F(cx + r * std::cos(a), cy + r * std::sin(a)));
    }
}

double Dist2(const TPoint3F& a, const TPoint3F& b) {
    const double dx = double(a.X) - b.X, dy = double(a.Y) - b.Y;
    return dx * dx + dy * dy;
}
}  // namespace

// A path's edges become its points. The points an edge generates count
// against budget (kMaxEntityPoints for the whole hatch); past it arcs and
// ellipses keep their chord, bulges stay straight and splines keep their
// control polygon, and reduced is set.
void TkrDXFHatch::TessellatePath(const TkrDXFConverter& conv, TkrDXFConverter* splines, std::vector<THatchEdge>& edges,
                                 std::vector<TPoint3F>& out, size_t& budget, bool& reduced) {
    const size_t n = edges.size();
    // The points of every edge, as a range of pts.
    std::vector<TPoint3F> pts;
    std::vector<std::pair<size_t, size_t>> run(n);
    pts.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const THatchEdge& e = edges[i];
        const size_t from = pts.size();
        if (e.Type == THatchEdge::etArc || e.Type == THatchEdge::etEllipse) {
            const TArcSweep sweep = ArcSweep(e, conv.ChordTolerance);
            size_t count = sweep.Count;
            if (count > budget) {
                count = 2;
                reduced = true;
            } else {
                budget -= count;
            }
            ArcEdgePoints(e, sweep, count, pts);
        } else if (e.Type != THatchEdge::etSpline) {
            pts.push_back(Point2F(e.X, e.Y));
        }
        run[i] = {from, pts.size() - from};
    }
    // Where the edge after edge i starts: the first point of the next edge
    // that has points, the path being closed; false when there is none.
    auto nextStart = [&](size_t i, TPoint3F& p) {
        for (size_t k = 1; k <= n; ++k) {
            const auto& r = run[(i + k) % n];
            if (r.second != 0) {
                p = pts[r.first];
                return true;
            }
        }
        return false;
    };
    // Splines, from the last edge to the first, so that the edge after a
    // spline already has its points.
    for (size_t i = n; i-- > 0;) {
        THatchEdge& e = edges[i];
        if (e.Type != THatchEdge::etSpline || !e.Spline || !splines) continue;
        TkrDXFSpline& s = *e.Spline;
        // The evaluated points before any line type.
        if (Layer) s.Layer = Layer;
        s.PenLine.Pattern = DefaultPattern();
        s.Loaded(*splines);
        const size_t from = pts.size();
        TPointWork work;
        s.MakePoints(work);
        const std::vector<TPoint3F>& curve = s.GetVertexPoints(work);
        if (curve.size() <= budget) {
            budget -= curve.size();
            for (const TPoint3F& q : curve) pts.push_back({q.X, q.Y, 0});
        } else {
            reduced = true;
            for (size_t k = 0; k < s.SourceVertices.size(); ++k) {
                const TPoint3F& p = s.SourceVertices.Point(k);
                pts.push_back({p.X, p.Y, 0});
            }
        }
        // The spline keeps no copy of what the path now holds.
        s.ReleaseCurve();
        run[i] = {from, pts.size() - from};
        // Reversed when the next edge starts nearer to the spline's first
        // point than to its last. (Deciding on x and y separately, as was
        // done, reversed a correctly ordered spline whose ends share an x or
        // a y value.)
        TPoint3F next;
        const size_t count = pts.size() - from;
        if (count > 1 && i + 1 < n && nextStart(i, next) && Dist2(next, pts[from]) < Dist2(next, pts.back()))
            std::reverse(pts.begin() + long(from), pts.end());
    }
    // The edges in order, each followed by the points of its bulge. A bulge
    // runs towards where the next edge starts: the next vertex, or the first
    // point of an arc, ellipse or spline edge. (The first record itself was
    // taken for the last vertex, which for such an edge is its centre or a
    // point never set.)
    out.clear();
    out.reserve(pts.size());
    for (size_t i = 0; i < n; ++i) {
        const auto& r = run[i];
        out.insert(out.end(), pts.begin() + long(r.first), pts.begin() + long(r.first + r.second));
        const THatchEdge& e = edges[i];
        TPoint3F next;
        if (e.Type != THatchEdge::etBulgePoint || e.Bulge == 0 || !std::isfinite(e.Bulge) || !nextStart(i, next))
            continue;
        size_t parts = 16;
        if (conv.ChordTolerance > 0) {
            // The radius of a bulge b over a chord c is c (1 + b^2) / (4 |b|).
            const double c = std::hypot(double(next.X) - e.X, double(next.Y) - e.Y);
            const double b = e.Bulge, r = c * (1 + b * b) / (4 * std::fabs(b));
            const double k = ChordPointsForTolerance(r, 4 * std::atan(std::fabs(e.Bulge)), conv.ChordTolerance) - 1;
            if (k > 16) parts = k < double(budget) ? size_t(k) : budget + 2;
        }
        if (budget < parts - 1) {
            reduced = true;
            continue;
        }
        budget -= parts - 1;
        BulgePoints(Point2F(e.X, e.Y), next, e.Bulge, parts, out);
    }
}

bool TkrDXFHatch::ShapeAhead() const {
    if (Solid) return false;
    for (const std::vector<THatchEdge>& path : Edges)
        for (const THatchEdge& e : path)
            if (e.Type == THatchEdge::etSpline) return false;
    return true;
}

size_t THatchShape::Bytes() const {
    size_t n = sizeof(*this);
    for (const auto& p : Paths) n += p.capacity() * sizeof(TPoint3F);
    for (const auto& p : Pieces) n += p.capacity() * sizeof(THatchPatternPiece);
    return n;
}

void TkrDXFHatch::MakeShape(const TkrDXFConverter& conv, TkrDXFConverter* splines, THatchShape& shape) {
    shape.Paths.assign(Edges.size(), {});
    size_t budget = kMaxEntityPoints;
    for (size_t i = 0; i < Edges.size(); ++i)
        TessellatePath(conv, splines, Edges[i], shape.Paths[i], budget, shape.Reduced);
    for (std::vector<TPoint3F>& p : shape.Paths)
        if (p.size() == 2 && std::fabs(double(p[1].X) - p[0].X) > 1e-6 && std::fabs(double(p[1].Y) - p[0].Y) > 1e-6) {
            const TPoint3F first = p[0];
            p.push_back(first);
        }
    for (const std::vector<TPoint3F>& p : shape.Paths)
        for (const TPoint3F& q : p) ExpandBox(shape.Box, q);
    if (!IsEmptyBox(shape.Box)) ClipPattern(shape);
}

size_t TkrDXFHatch::MakeShapeAhead(const TkrDXFConverter& conv) {
    uint8_t none = kShapeNone;
    if (!FShapeState.compare_exchange_strong(none, kShapeMaking, std::memory_order_acq_rel)) return 0;
    size_t bytes = 0;
    try {
        auto shape = std::make_unique<THatchShape>();
        MakeShape(conv, nullptr, *shape);
        bytes = shape->Bytes();
        FShape = std::move(shape);
    } catch (...) {
        // (Memory ran out.) Loaded makes the shape itself.
    }
    FShapeState.store(kShapeMade, std::memory_order_release);
    FShapeState.notify_all();
    return bytes;
}

void TkrDXFHatch::Loaded(TkrDXFConverter& conv) {
    // The shape made ahead on another thread, if that one came first (it is
    // waited for while it is being made); otherwise it is made here, and
    // nothing is made ahead any more.
    std::unique_ptr<THatchShape> ahead;
    uint8_t state = FShapeState.load(std::memory_order_acquire);
    while (state != kShapeTaken) {
        if (state == kShapeMaking) {
            FShapeState.wait(kShapeMaking, std::memory_order_acquire);
        } else if (FShapeState.compare_exchange_weak(state, kShapeTaken, std::memory_order_acq_rel)) {
            if (state == kShapeMade) ahead = std::move(FShape);
            break;
        }
        state = FShapeState.load(std::memory_order_acquire);
    }
    Converter = &conv;
    // Sanitizes the extrusion (a zero one reads as the default) and moves the
    // pen line's point.
    TkrDXFPenLine::Loaded(conv);
    ObjectMatrix = IdentityMatrix();
    if (!IsDefaultExtrusion(Extrusion))
        ObjectMatrix = MultiplyMatrix(ScaleTranslateMatrix({1, 1, 1}, Elevation), ExtrusionMatrix(Extrusion, 0));
    THatchShape own;
    THatchShape& shape = ahead ? *ahead : own;
    if (!ahead) MakeShape(conv, &conv, shape);
    if (shape.Reduced) ++conv.Bounds.EntityPoints;
    Paths = std::move(shape.Paths);
    Box = shape.Box;
    Segments.clear();
    FamilyKind = fkNone;
    if (IsEmptyBox(Box)) return;
    CutPattern(conv, shape);
}

TBox3F TkrDXFHatch::GetBox() const {
    if (IsEmptyBox(Box) || IsDefaultExtrusion(Extrusion)) return Box;
    // The boundary lies in object coordinates; the box of the drawing (its
    // extents and the clipping) is in world coordinates.
    TBox3F w = EmptyBox;
    for (float x : {Box.Left, Box.Right})
        for (float y : {Box.Top, Box.Bottom}) ExpandBox(w, TransformPoint({x, y, 0}, ObjectMatrix));
    return w;
}

// ---- drawing ----

namespace {
using TXY = TPlanePoint;

TXY Transformed(const TPoint3F& p, const TMatrix4x3F& m) {
    return {double(p.X) * m.M[0][0] + double(p.Y) * m.M[1][0] + double(p.Z) * m.M[2][0] + m.M[3][0],
            double(p.X) * m.M[0][1] + double(p.Y) * m.M[1][1] + double(p.Z) * m.M[2][1] + m.M[3][1]};
}

// The part of a closed polygon inside the rectangle (Sutherland-Hodgman):
// the filled area is cut exactly, the outline runs along the rectangle where
// the polygon leaves it.
std::vector<TXY> ClipPolygon(std::vector<TXY> poly, const TPlaneRect& r) {
    std::vector<TXY> work;
    ClipPolygonToRect(poly, work, r, TClipStart::FirstVertex, [](const TXY& a, const TXY& b, TRectEdge edge, double v) {
        if (edge == TRectEdge::MinX || edge == TRectEdge::MaxX) return TXY{v, a.Y + (b.Y - a.Y) * (v - a.X) / (b.X - a.X)};
        return TXY{a.X + (b.X - a.X) * (v - a.Y) / (b.Y - a.Y), v};
    });
    return poly;
}

TPoint3F Stored(const TXY& p) { return Point2F(p.X, p.Y); }
TPoint2F StoredFlat(const TXY& p) { return {float(p.X), float(p.Y)}; }
}  // namespace

bool TkrDXFHatch::StrictlyClipped(TkrDXFConverter& conv) const {
    if (!conv.ClipEnabled || !conv.ClipStrict || TkrDXFEntity::InView(conv)) return false;
    const TMatrix4x3F m = conv.DrawContext ? conv.DrawContext->Matrix : IdentityMatrix();
    if (ClassifyBox(GetBox(), conv.ClipBox, m) < 0) return false;
    return !Paths.empty() && !Segments.empty();
}

bool TkrDXFHatch::InView(TkrDXFConverter& conv) const { return TkrDXFEntity::InView(conv) || StrictlyClipped(conv); }

void TkrDXFHatch::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    const bool clip = StrictlyClipped(conv);
    if (!clip && !TkrDXFEntity::InView(conv)) return;
    TDrawContext* dc = conv.DrawContext;
    const bool extruded = !IsDefaultExtrusion(Extrusion);
    if (!dc || (!clip && !extruded)) {
        visit(receiver, *this);
        return;
    }
    // What the visit changes is put back afterwards, also when an error
    // passes: the whole context, and the full paths and segments in place of
    // the clipped ones.
    const TDrawContext savedContext = *dc;
    std::vector<std::vector<TPoint3F>> fullPaths;
    std::vector<TPoint2F> fullSegments;
    bool clipped = false;
    TOnExit restore([&] {
        *dc = savedContext;
        if (clipped) {
            Paths.swap(fullPaths);
            Segments.swap(fullSegments);
        }
    });
    // The object matrix first for a hatch in an object coordinate system.
    // The context keeps its insert: colours and layers of a hatch inside a
    // block resolve through the insert as for every other entity.
    const TMatrix4x3F m = extruded ? MultiplyMatrix(ObjectMatrix, dc->Matrix) : dc->Matrix;
    if (clip) {
        // Cut in canvas coordinates, drawn under an identity matrix.
        fullPaths.swap(Paths);
        fullSegments.swap(Segments);
        clipped = true;
        const TBox3F& c = conv.ClipBox;
        const TPlaneRect r{std::min<double>(c.Left, c.Right), std::min<double>(c.Bottom, c.Top),
                          std::max<double>(c.Left, c.Right), std::max<double>(c.Bottom, c.Top)};
        for (const std::vector<TPoint3F>& path : fullPaths) {
            std::vector<TXY> poly;
            poly.reserve(path.size());
            for (const TPoint3F& q : path) poly.push_back(Transformed(q, m));
            poly = ClipPolygon(std::move(poly), r);
            if (poly.empty()) continue;
            Paths.emplace_back();
            for (const TXY& q : poly) Paths.back().push_back(Stored(q));
        }
        const std::vector<TPoint2F>& all = fullSegments;
        for (size_t i = 0; i + 1 < all.size(); i += 2) {
            TXY a = Transformed({all[i].X, all[i].Y, 0}, m), b = Transformed({all[i + 1].X, all[i + 1].Y, 0}, m);
            if (!ClipSegment(r, a, b)) continue;
            Segments.push_back(StoredFlat(a));
            Segments.push_back(StoredFlat(b));
        }
        dc->Matrix = IdentityMatrix();
    } else {
        dc->Matrix = m;
    }
    dc->MatrixHasRotation = MatrixHasRotation(dc->Matrix);
    dc->ScaleX = dc->ScaleY = 0;
    visit(receiver, *this);
}
