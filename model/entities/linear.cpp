#include "model/entities/linear.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "model/converter.h"
#include "model/entities/curves.h"
#include "model/near_sincos.h"

namespace {
double Dist3(const TPoint3F& a, const TPoint3F& b) {
    double dx = double(b.X) - a.X, dy = double(b.Y) - a.Y, dz = double(b.Z) - a.Z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool Finite(const TPoint3F& p) { return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z); }

double PatternLength(const TkrLines& p) {
    double s = 0;
    for (float t : p.FTicks) s += std::fabs(double(t));
    return s;
}

// Consecutive segments as separate pairs, the way a dashed run is drawn.
void SolidPairs(const std::vector<TPoint3F>& run, bool closed, std::vector<TPoint3F>& out) {
    out.clear();
    if (run.empty()) return;
    if (run.size() == 1) {
        out.assign(2, run[0]);
        return;
    }
    out.reserve(2 * run.size());
    for (size_t i = 0; i + 1 < run.size(); ++i) {
        out.push_back(run[i]);
        out.push_back(run[i + 1]);
    }
    if (closed) {
        out.push_back(run.back());
        out.push_back(run.front());
    }
}

// An upper bound of the points one centred pattern over a run of length len
// produces (the cutting gives up and draws solid beyond 1000 repetitions).
double CutPointsBound(double len, double patternLength, size_t ticks) {
    double reps = len / patternLength;
    if (!(reps <= 1000)) return 2;
    return (std::floor(reps) + 2) * double(ticks) + 4;
}

struct TBulgeArc {
    double CX, CY, R, A1, A2;
};

// The arc of a bulged segment from v to w: centre, radius and the angles of v
// (A1) and w (A2) about the centre, each in [0, 2 pi).
TBulgeArc BulgeArc(const TPoint3F& v, const TPoint3F& w, double b) {
    double mx = (double(v.X) + w.X) / 2, my = (double(v.Y) + w.Y) / 2;
    double dx = v.X - mx, dy = v.Y - my;
    double k = (1 - b * b) / (2 * b);
    TBulgeArc a;
    a.CX = mx + k * dy;
    a.CY = my - k * dx;
    double px = mx + b * -dy, py = my + b * dx;  // the middle of the arc
    a.R = std::sqrt((px - a.CX) * (px - a.CX) + (py - a.CY) * (py - a.CY));
    a.A1 = std::atan2(v.Y - a.CY, v.X - a.CX);
    if (a.A1 < 0) a.A1 += 2 * kPi;
    a.A2 = std::atan2(w.Y - a.CY, w.X - a.CX);
    if (a.A2 < 0) a.A2 += 2 * kPi;
    return a;
}

}  // namespace

// ---- dashing ----

double EffectiveLineTypeScale(TkrDXFConverter& conv, double entityScale) {
    double s = conv.GlobalLineTypeScale() * entityScale;
    return (s > 0 && std::isfinite(s)) ? s : 1.0;
}

bool DashLine(const TkrLines& pattern, double scale, const TPoint3F& s, const TPoint3F& e,
              std::vector<TPoint3F>& out, size_t maxPoints) {
    out.clear();
    double p = PatternLength(pattern);
    double len = Dist3(s, e) / scale;
    bool solid = pattern.IsSolid() || !(p > 0) || !std::isfinite(p) || !Finite(s) || !Finite(e) ||
                 !std::isfinite(len);
    bool bounded = !solid && CutPointsBound(len, p, pattern.FTicks.size()) > double(maxPoints);
    if (solid || bounded) {
        out.push_back(s);
        out.push_back(e);
        return bounded;
    }
    pattern.Line(scale, s, e, out);
    return false;
}

bool DashRun(const TkrLines& pattern, double scale, std::vector<TPoint3F>& run, bool closed, bool asCurve,
             std::vector<TPoint3F>& out, size_t maxPoints) {
    out.clear();
    double p = PatternLength(pattern);
    bool solid = pattern.IsSolid() || !(p > 0) || !std::isfinite(p);
    size_t ticks = pattern.FTicks.size();
    if (!solid) {
        for (const TPoint3F& q : run)
            if (!Finite(q)) {
                solid = true;
                break;
            }
    }
    bool bounded = false;
    if (!solid && !run.empty()) {
        size_t n = run.size();
        size_t segs = closed ? n : n - 1;
        double total = 0, bound = 0;
        bool tooLong = false;
        for (size_t i = 0; i < segs; ++i) {
            double d = Dist3(run[i], run[(i + 1) % n]) / scale;
            total += d;
            if (!(d / p <= 1000)) tooLong = true;
            bound += CutPointsBound(d, p, ticks);
        }
        if (asCurve) bound = tooLong ? 2.0 * double(n + 1) : CutPointsBound(total, p, ticks) + 2.0 * double(n + 1);
        if (!std::isfinite(total)) solid = true;
        else bounded = bound > double(maxPoints);
    }
    if (solid || bounded) {
        SolidPairs(run, closed, out);
        return bounded;
    }
    if (asCurve) pattern.Curve(scale, run, out, closed);
    else pattern.Poly(scale, run, out, closed);
    return false;
}

// ---- vertices ----

void TkrDXFVertex::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFCustomVertex::ReadProperty(conv);
    switch (conv.Code) {
        case 40: StartWidth = float(conv.ValueAsFloat()); break;
        case 41: EndWidth = float(conv.ValueAsFloat()); break;
        case 42: Bulge = float(conv.ValueAsFloat()); break;
        case 70: Flags = conv.ValueAsInt(); break;
        case 71:
        case 72:
        case 73:
        case 74: FaceIndex[conv.Code - 71] = conv.ValueAsInt(); break;
        default: break;
    }
}

// ---- source vertices ----

namespace {
// A width that is not +0 (-0 and NaN included) is kept as it stands.
bool HasWidth(float w) { return std::bit_cast<uint32_t>(w) != 0; }
}  // namespace

std::vector<TSourceVertices::TWidthsAndFlags>& TSourceVertices::Extras() {
    if (!FExtras) FExtras = std::make_unique<std::vector<TWidthsAndFlags>>(FPoints.size());
    return *FExtras;
}

void TSourceVertices::push_back(const TPolyVertex& v) {
    const bool plain = !HasWidth(v.StartWidth) && !HasWidth(v.EndWidth) && !v.FaceRecord && v.Visible;
    if (!plain || FExtras) {
        // (Made before the point is added: the list covers the vertices before.)
        Extras().push_back({v.StartWidth, v.EndWidth, v.FaceRecord, v.Visible});
    }
    FPoints.push_back({v.Point, v.Bulge});
}

void TSourceVertices::assign(const TPolyVertex* first, const TPolyVertex* last) {
    FPoints.clear();
    FExtras.reset();
    FPoints.reserve(size_t(last - first));
    for (; first != last; ++first) push_back(*first);
}

TPolyVertex TSourceVertices::operator[](size_t i) const {
    TPolyVertex v;
    v.Point = FPoints[i].Point;
    v.Bulge = FPoints[i].Bulge;
    if (FExtras) {
        const TWidthsAndFlags& x = (*FExtras)[i];
        v.StartWidth = x.StartWidth, v.EndWidth = x.EndWidth, v.FaceRecord = x.FaceRecord, v.Visible = x.Visible;
    }
    return v;
}

void TSourceVertices::SetLastStartWidth(float w) {
    if (HasWidth(w) || FExtras) Extras().back().StartWidth = w;
}

void TSourceVertices::SetLastEndWidth(float w) {
    if (HasWidth(w) || FExtras) Extras().back().EndWidth = w;
}

void TSourceVertices::CopyTo(std::vector<TPolyVertex>& out) const {
    out.resize(FPoints.size());
    for (size_t i = 0; i < FPoints.size(); ++i) out[i] = (*this)[i];
}

// ---- polylines ----

void TPolylinePen::ReadProperty(TkrDXFConverter& conv, TkrDXFEntity& owner) {
    switch (conv.Code) {
        case 5:
        case 8:
        case 67: owner.TkrDXFEntity::ReadProperty(conv); break;
        case 6: Pattern = conv.LineTypePattern(conv.TextValue()); break;
        case 10: Point.X = float(conv.ValueAsFloat()); break;
        case 20: Point.Y = float(conv.ValueAsFloat()); break;
        case 30: Point.Z = float(conv.ValueAsFloat()); break;
        case 39: Thickness = float(conv.ValueAsFloat()); break;
        case 48: LineTypeScale = float(conv.ValueAsFloat()); break;
        case 60: Visible = conv.ValueAsInt() == 0; break;
        case 62: Color = conv.ValueAsColor(); break;
        case 210: Extrusion.X = float(conv.ValueAsFloat()); break;
        case 220: Extrusion.Y = float(conv.ValueAsFloat()); break;
        case 230: Extrusion.Z = float(conv.ValueAsFloat()); break;
        case 370: LineWeight = float(conv.ValueAsInt() / 100.0); break;
        default: break;
    }
}

void TPolylinePen::SetLineType(TkrDXFEntity* entry) { SetPenLineType(Pattern, entry); }

void TPolylinePen::SetLineWeight(int w) { SetPenLineWeight(LineWeight, w); }

void TPolylinePen::WidenByLineWeight(TBox3F& box) const { ::WidenByLineWeight(box, LineWeight); }

void TPolylinePen::PreparePattern(const TkrDXFLayer* layer) {
    if (!Pattern) Pattern = layer && layer->Pattern ? layer->Pattern : DefaultPattern();
    // Normalize changes the shared pattern once: a pattern of zeros becomes continuous.
    const_cast<TkrLines*>(Pattern)->Normalize();
}

TkrDXFPolyline::TkrDXFPolyline(TEntityClass cls) : TkrDXFGroup(cls) {}

TkrDXFPolyline::~TkrDXFPolyline() = default;

TkrDXFPolyline::TExtras& TkrDXFPolyline::Extras() {
    if (!FExtras) FExtras = std::make_unique<TExtras>();
    return *FExtras;
}

// (A count of 0 needs no extras: it is what a polyline without them reads.)
void TkrDXFPolyline::SetMeshM(int32_t m) {
    if (m != 0 || FExtras) Extras().MeshM = m;
}

void TkrDXFPolyline::SetMeshN(int32_t n) {
    if (n != 0 || FExtras) Extras().MeshN = n;
}

void TkrDXFPolyline::SetDefaultWidth(bool start, float w) {
    // A width of 0, the default, needs no room of its own.
    if (w == 0 && !FExtras) return;
    (start ? Extras().DefaultStartWidth : Extras().DefaultEndWidth) = w;
}

const std::vector<TPoint3F>& TkrDXFPolyline::Outline() const {
    static const std::vector<TPoint3F> none;
    return FExtras ? FExtras->Outline : none;
}

const std::vector<int32_t>& TkrDXFPolyline::FaceIndices() const {
    static const std::vector<int32_t> none;
    return FExtras ? FExtras->FaceIndices : none;
}

bool TkrDXFPolyline::IsPolygonMesh() const {
    const int32_t m = MeshM(), n = MeshN();
    if (m <= 1 || n <= 1) return false;
    return int64_t(FVertexCount) - (Closed ? 1 : 0) == int64_t(m) * int64_t(n);
}

void TkrDXFPolyline::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 40: SetDefaultWidth(true, float(conv.ValueAsFloat())); break;
        case 41: SetDefaultWidth(false, float(conv.ValueAsFloat())); break;
        case 43: {
            float w = float(conv.ValueAsFloat());
            ConstantWidth = w >= 1e-6f ? w : 0;  // also 0 for a value that is not a number
            break;
        }
        case 48:
            LineTypeScale = float(conv.ValueAsFloat());
            PenLine.ReadProperty(conv, *this);
            break;
        case 60:
            // The pen takes it, and so does the polyline: an invisible
            // polyline draws nothing, like every other invisible entity.
            PenLine.ReadProperty(conv, *this);
            Visible = conv.ValueAsInt() == 0;
            break;
        case 70:
            PolyFlags = conv.ValueAsInt();
            Closed = (PolyFlags & 1) != 0;
            break;
        case 71:
            if (MeshM() == 0) SetMeshM(conv.ValueAsInt());
            break;
        case 72:
            if (MeshN() == 0) SetMeshN(conv.ValueAsInt());
            break;
        case 73: SetMeshM(conv.ValueAsInt()); break;
        case 74: SetMeshN(conv.ValueAsInt()); break;
        default: PenLine.ReadProperty(conv, *this); break;
    }
}

bool TkrDXFPolyline::AddEntity(TkrDXFConverter&, std::unique_ptr<TkrDXFEntity>& child) {
    if (child->Class != TEntityClass::Vertex) return false;
    const auto& v = static_cast<const TkrDXFVertex&>(*child);
    TPolyVertex pv;
    pv.Point = v.Point;
    pv.Bulge = v.Bulge;
    pv.StartWidth = v.StartWidth;
    pv.EndWidth = v.EndWidth;
    pv.FaceRecord = v.Flags == 128;
    if (pv.FaceRecord) {
        TExtras& x = Extras();
        x.FaceIndices.insert(x.FaceIndices.end(), std::begin(v.FaceIndex), std::end(v.FaceIndex));
        ++x.SourceFaces;
    }
    pv.Visible = v.Visible;
    if (!(v.Point == TPoint3F{})) NonZero = true;
    SourceVertices.push_back(pv);
    Entities.push_back(std::move(child));
    return true;
}

void TkrDXFPolyline::BaseVertices(const TkrDXFConverter&, std::vector<TPolyVertex>& out, TAngleTable&,
                                  TBoundHits*) const {
    SourceVertices.CopyTo(out);
}

void TkrDXFPolyline::Loaded(TkrDXFConverter& conv) {
    // The vertex entities were copied into SourceVertices as they came.
    Entities.clear();
    std::vector<TPolyVertex> verts;
    BaseVertices(conv, verts, conv.AngleTable, &conv.Bounds);
    Finish(conv, verts);
}

void TkrDXFPolyline::Finish(TkrDXFConverter& conv, std::vector<TPolyVertex>& verts, bool makePoints) {
    Converter = &conv;
    Box = EmptyBox;
    // A second run (a resolution change) starts from scratch: the segment
    // entities of the first run are dropped, as are its lists and a mesh
    // made from the thickness.
    FSegmentsBuilt = false;
    FClipStrictAtLoad = conv.ClipStrict;
    if (FExtras) {
        FExtras->SegmentEntities.clear();
        FExtras->Outline.clear();
        FExtras->FaceIndices.resize(4 * size_t(FExtras->SourceFaces));
    }
    FDashLimit = 0;
    if (FMeshFromThickness) {
        SetMeshM(0);
        SetMeshN(0);
        FMeshFromThickness = false;
    }
    PenLine.PreparePattern(Layer);
    // A zero or non-finite extrusion has no direction and reads as the default.
    PenLine.Extrusion = SanitizeExtrusion(PenLine.Extrusion);
    FVertexCount = 0;
    if (verts.empty()) return;
    size_t n = verts.size();

    // Widths: one width everywhere (the closing segment of a closed polyline
    // included) becomes ConstantWidth; otherwise every segment with a width
    // gets its band, made with the bulge points below.
    bool uniform = false, widths = false;
    if (verts[0].StartWidth > 0) {
        float w = verts[0].StartWidth;
        uniform = true;
        for (size_t i = 0; i < (Closed ? n : n - 1); ++i)
            if (verts[i].StartWidth != w || verts[i].EndWidth != w) {
                uniform = false;
                break;
            }
        if (uniform) ConstantWidth = w;
    }
    if (!uniform)
        for (size_t i = 0; i < (Closed ? n : n - 1) && !widths; ++i)
            widths = verts[i].StartWidth != 0 || verts[i].EndWidth != 0;

    std::vector<TPolyVertex> bulged;
    if (ShapeVertices(conv, verts, bulged, &conv.Bounds, widths ? &Extras().Outline : nullptr)) {
        SetMeshN(int32_t(verts.size() / 2));
        SetMeshM(2);
        FMeshFromThickness = true;
        // The raised copies of face records repeat their indices.
        if (FExtras) {
            std::vector<int32_t>& faces = FExtras->FaceIndices;
            const size_t k = faces.size();
            faces.resize(2 * k);
            std::copy_n(faces.begin(), k, faces.begin() + std::ptrdiff_t(k));
        }
    }
    n = verts.size();

    if (!Layer) Layer = conv.FindOrCreateLayer("0");

    // A polyface mesh's face records carry a dummy place (mostly the
    // origin): only the mesh's vertices count for the box.
    for (const TPolyVertex& v : verts) {
        if (!(v.Point == TPoint3F{})) NonZero = true;
        if (v.Visible && !v.FaceRecord) ExpandBox(Box, v.Point);
    }
    PenLine.WidenByLineWeight(Box);
    if (ConstantWidth != 0) {
        double h = double(ConstantWidth) / 2;
        Box.Left = float(Box.Left - h), Box.Right = float(Box.Right + h);
        Box.Bottom = float(Box.Bottom - h), Box.Top = float(Box.Top + h);
    }
    // The width bands reach beyond the vertices by half their width (a width
    // that is no finite number adds nothing).
    for (const TPoint3F& q : Outline())
        if (std::isfinite(q.X) && std::isfinite(q.Y) && std::isfinite(q.Z)) ExpandBox(Box, q);
    if (!NonZero) Box = EmptyBox;

    // Face records give their indices, every other vertex its point.
    std::vector<TPoint3F> run;
    run.reserve(n + 1);
    for (const TPolyVertex& v : verts) {
        if (!v.FaceRecord) run.push_back(v.Point);
    }
    FVertexCount = uint32_t(verts.size());
    if (makePoints) FinishedRun(conv, std::move(run));
}

namespace {
// The filled quadrilateral of a band from p (width wp) to q (width wq): its
// corners half a width either side of the segment, the Z of p, p, q, q. A
// segment of no length has none.
void AddBandQuad(std::vector<TPoint3F>& band, const TPoint3F& p, double wp, const TPoint3F& q, double wq) {
    double dx = double(q.X) - p.X, dy = double(q.Y) - p.Y;
    double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0)) return;
    double nx = -dy / len, ny = dx / len;
    band.push_back(Point3F(p.X + nx * wp / 2, p.Y + ny * wp / 2, p.Z));
    band.push_back(Point3F(p.X - nx * wp / 2, p.Y - ny * wp / 2, p.Z));
    band.push_back(Point3F(q.X - nx * wq / 2, q.Y - ny * wq / 2, q.Z));
    band.push_back(Point3F(q.X + nx * wq / 2, q.Y + ny * wq / 2, q.Z));
}
}  // namespace

bool TkrDXFPolyline::ShapeVertices(const TkrDXFConverter& conv, std::vector<TPolyVertex>& verts,
                                   std::vector<TPolyVertex>& out, TBoundHits* bounds,
                                   std::vector<TPoint3F>* band) const {
    size_t n = verts.size();
    if (n == 0) return false;
    // Bulges: 16 points after the start vertex of every bulged segment (the
    // closing one too when closed), more where a chord tolerance asks for
    // them. Built front to back into a new list, which gives the same list
    // as inserting from the back. A polyline whose arcs would pass
    // kMaxEntityPoints keeps straight chords (with a tolerance: first the
    // 16 points, then straight chords).
    size_t segs = Closed ? n : n - 1;
    size_t bulged = 0;
    std::vector<size_t> arcPoints;  // points of each bulge, with a tolerance
    size_t added = 0;
    for (size_t i = 0; i < segs; ++i) {
        if (verts[i].Bulge == 0) continue;
        ++bulged;
        if (conv.ChordTolerance > 0) {
            TBulgeArc a = BulgeArc(verts[i].Point, verts[(i + 1) % n].Point, verts[i].Bulge);
            double sweep = 4 * std::atan(std::fabs(double(verts[i].Bulge)));
            double k = ChordPointsForTolerance(a.R, sweep, conv.ChordTolerance) - 1;
            arcPoints.push_back(k > 16 && k < double(kMaxEntityPoints) ? size_t(k) : k > 16 ? kMaxEntityPoints : 16);
            added += arcPoints.back();
        }
    }
    if (added > 16 * bulged && n + added > std::max(kMaxEntityPoints, n)) {
        arcPoints.clear();
        if (bounds) ++bounds->EntityPoints;
    }
    if (arcPoints.empty()) added = 16 * bulged;
    const bool arcsFit = n + 16 * bulged <= std::max(kMaxEntityPoints, n);
    if (bulged > 0 && !arcsFit && bounds) ++bounds->EntityPoints;
    // Width bands (band set): a segment's band from the start width of its
    // vertex to the end width; along a bulge each chord gets its own, the
    // width interpolated along the arc.
    const bool insertArcs = bulged > 0 && arcsFit;
    auto hasWidth = [](const TPolyVertex& v) { return v.StartWidth != 0 || v.EndWidth != 0; };
    if (band) {
        band->clear();
        if (!insertArcs)
            for (size_t i = 0; i < segs; ++i)
                if (hasWidth(verts[i]))
                    AddBandQuad(*band, verts[i].Point, verts[i].StartWidth, verts[(i + 1) % n].Point, verts[i].EndWidth);
    }
    if (insertArcs) {
        out.clear();
        out.reserve(n + added);
        size_t arc = 0;
        for (size_t i = 0; i < n; ++i) {
            const TPolyVertex v = verts[i];
            out.push_back(v);
            if (i >= segs) continue;
            const TPolyVertex& w = verts[(i + 1) % n];
            if (v.Bulge == 0) {
                if (band && hasWidth(v)) AddBandQuad(*band, v.Point, v.StartWidth, w.Point, v.EndWidth);
                continue;
            }
            const int k = arcPoints.empty() ? 16 : int(arcPoints[arc++]);
            double b = v.Bulge;
            TBulgeArc a = BulgeArc(v.Point, w.Point, b);
            if (b > 0 && a.A1 > a.A2) a.A1 -= 2 * kPi;
            if (b < 0 && a.A1 < a.A2) a.A2 -= 2 * kPi;
            double dz = (double(w.Point.Z) - v.Point.Z) / (k - 1);
            // Each bulge point carries the widths of the chord that starts at
            // it, stepping evenly from the segment's start to its end width
            // (nothing of the finishing reads them; a band drawn along the
            // chords does).
            const double s = v.StartWidth, ds = (double(v.EndWidth) - s) / k;
            const size_t first = out.size();
            auto at = [&a](double c, double s) { return std::pair{a.CX + a.R * c, a.CY + a.R * s}; };
            const TSinCosSigns signs = TurnedEllipseSigns(a.R, a.R, 1, 0);
            for (int j = 0; j < k; ++j) {
                double ang = a.A1 - j * (a.A1 - a.A2) / k;
                TPolyVertex p;
                SinCosPoint(ang, signs, at, p.Point.X, p.Point.Y);
                p.Point.Z = float(v.Point.Z + j * dz);
                p.StartWidth = float(s + j * ds);
                p.EndWidth = float(s + (j + 1) * ds);
                out.push_back(p);
            }
            if (band && hasWidth(v)) {
                // The chords from the first arc point (on v) to w.
                const double s = v.StartWidth, e = v.EndWidth;
                for (int j = 0; j < k; ++j)
                    AddBandQuad(*band, out[first + size_t(j)].Point, s + (e - s) * j / k,
                                j + 1 < k ? out[first + size_t(j) + 1].Point : w.Point, s + (e - s) * (j + 1) / k);
            }
        }
        verts.swap(out);
        n = verts.size();
    }

    // Thickness: a 2 x n mesh of the vertices and their raised copies. The
    // finishing decides (a mesh of its own keeps its vertices); drawing
    // repeats that decision.
    bool raise = FMeshFromThickness;
    if (bounds) {
        raise = PenLine.Thickness != 0 && MeshM() == 0 && MeshN() == 0;
        if (raise && 2 * n > kMaxEntityPoints) {
            ++bounds->EntityPoints;
            raise = false;
        }
    }
    if (raise) {
        verts.reserve(2 * n);
        double t = PenLine.Thickness;
        for (size_t i = 0; i < n; ++i) {
            TPolyVertex c = verts[i];
            c.Point.Z = float(c.Point.Z + t);
            verts.push_back(c);
        }
    }

    // Extrusion (the axes are the same for every vertex), of the bands too.
    if (!IsDefaultExtrusion(PenLine.Extrusion)) {
        TPoint3F ax, ay, az;
        ArbitraryAxis(PenLine.Extrusion, ax, ay, az);
        auto toWorld = [&](const TPoint3F& p) {
            return Point3F(double(p.X) * ax.X + double(p.Y) * ay.X + double(p.Z) * az.X,
                           double(p.X) * ax.Y + double(p.Y) * ay.Y + double(p.Z) * az.Y,
                           double(p.X) * ax.Z + double(p.Y) * ay.Z + double(p.Z) * az.Z);
        };
        for (TPolyVertex& v : verts) v.Point = toWorld(v.Point);
        if (band)
            for (TPoint3F& q : *band) q = toWorld(q);
    }
    return raise;
}

void TkrDXFPolyline::PointsFromRun(std::vector<TPoint3F>& run, bool closeRun, std::vector<TPoint3F>& out,
                                   size_t limit) const {
    const TkrLines& pattern = PenLine.Pattern ? *PenLine.Pattern : *DefaultPattern();
    out.clear();
    if (pattern.IsSolid()) {
        out.assign(run.begin(), run.end());
        if (closeRun && Closed && !out.empty()) out.push_back(out.front());
        return;
    }
    DashRun(pattern, EffectiveLineTypeScale(*Converter, LineTypeScale), run, Closed, DashAsCurve(), out, limit);
}

void TkrDXFPolyline::FinishedRun(TkrDXFConverter& conv, std::vector<TPoint3F>&& run, bool) {
    const TkrLines& pattern = PenLine.Pattern ? *PenLine.Pattern : *DefaultPattern();
    if (pattern.IsSolid()) return;
    // The dash pairs are cut once here to count them against the budget;
    // MakePoints cuts the same pairs whenever the polyline is drawn.
    FDashLimit = uint32_t(conv.DashPointLimit());
    if (DashRun(pattern, EffectiveLineTypeScale(conv, LineTypeScale), run, Closed, DashAsCurve(), conv.DashScratch,
                FDashLimit))
        ++conv.Bounds.DashPoints;
    conv.CountDashScratch();
}

bool TkrDXFPolyline::MakeRun(TPointWork& w) const {
    w.Run.clear();
    BaseVertices(*Converter, w.Vertices, w.Angles, nullptr);
    ShapeVertices(*Converter, w.Vertices, w.Bulged, nullptr);
    for (const TPolyVertex& v : w.Vertices)
        if (!v.FaceRecord) w.Run.push_back(v.Point);
    return true;
}

bool TkrDXFPolyline::Dashed() const { return PenLine.Pattern && !PenLine.Pattern->IsSolid(); }

void TkrDXFPolyline::MakePoints(TPointWork& w) const {
    w.Run.clear();
    w.Points.clear();
    if (!Converter) return;
    bool closeRun = MakeRun(w);
    PointsFromRun(w.Run, closeRun, w.Points, FDashLimit);
}

const std::vector<std::unique_ptr<TkrDXFEntity>>& TkrDXFPolyline::SegmentEntities() {
    auto& segments = Extras().SegmentEntities;
    if (FSegmentsBuilt || !Converter) return segments;
    FSegmentsBuilt = true;
    TkrDXFConverter& conv = *Converter;
    std::vector<TPolyVertex> base;
    BaseVertices(conv, base, conv.AngleTable, &conv.Bounds);
    size_t n = base.size();
    if (n == 0) return segments;
    size_t segs = Closed ? n : n - 1;
    bool continuous = !PenLine.Pattern || PenLine.Pattern->IsSolid();
    segments.reserve(segs);
    // Last segment first, the order in which the bulges are worked off.
    for (size_t i = segs; i-- > 0;) {
        const TPolyVertex& v = base[i];
        const TPolyVertex& w = base[(i + 1) % n];
        double b = v.Bulge;
        if (b == 0) {
            auto line = std::make_unique<TkrDXFLine>();
            line->Point = v.Point;
            line->Point2 = w.Point;
            line->Loaded(conv);
            segments.push_back(std::move(line));
            continue;
        }
        if (!continuous && !FClipStrictAtLoad) continue;
        TBulgeArc a = BulgeArc(v.Point, w.Point, b);
        // An arc runs counter-clockwise from its start to its end angle.
        double start = RadToDeg(a.A2), end = RadToDeg(a.A1);
        if (b > 0) std::swap(start, end);
        auto arc = std::make_unique<TkrDXFArc>();
        arc->PenLine.Pattern = PenLine.Pattern;
        arc->SetCentre(Point3F(a.CX, a.CY, 0));
        arc->Radius = float(a.R);
        arc->StartAngle = float(start);
        arc->EndAngle = float(end);
        arc->Loaded(conv);
        segments.push_back(std::move(arc));
    }
    return segments;
}

void TkrDXFPolyline::EnumCorners(bool allCorners, void (*pointProc)(void*, const TPoint3F&), void* receiver) const {
    if (allCorners && Box.Right >= Box.Left) {
        TPointWork work;
        MakePoints(work);
        if (work.Points.size() < 9) {
            for (const TPoint3F& p : work.Points) pointProc(receiver, p);
            return;
        }
    }
    TkrDXFGroup::EnumCorners(allCorners, pointProc, receiver);
}

void TkrDXFLWPolyline::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 10: {
            TPolyVertex v;
            v.Point.X = float(conv.ValueAsFloat());
            v.Point.Z = Elevation;
            SourceVertices.push_back(v);
            break;
        }
        case 20: {
            float y = float(conv.ValueAsFloat());
            if (!SourceVertices.empty()) SourceVertices.SetLastY(y);
            break;
        }
        case 38: Elevation = float(conv.ValueAsFloat()); break;
        case 90: {
            // The announced vertex count sizes the vertex list once, so that it
            // does not keep the spare room of growing. A count larger than the
            // rest of the text could hold (a vertex takes at least 10
            // characters) reserves only that much.
            int32_t n = conv.ValueAsInt();
            size_t fit = (conv.TextEnd - std::min(conv.Position, conv.TextEnd)) / 10;
            if (n > 0 && SourceVertices.empty()) SourceVertices.reserve(std::min(size_t(n), fit));
            TkrDXFPolyline::ReadProperty(conv);
            break;
        }
        case 40: {
            float w = float(conv.ValueAsFloat());
            SetDefaultWidth(true, w);
            if (!SourceVertices.empty()) SourceVertices.SetLastStartWidth(w);
            break;
        }
        case 41: {
            float w = float(conv.ValueAsFloat());
            SetDefaultWidth(false, w);
            if (!SourceVertices.empty()) SourceVertices.SetLastEndWidth(w);
            break;
        }
        case 42: {
            float b = float(conv.ValueAsFloat());
            if (!SourceVertices.empty()) SourceVertices.SetLastBulge(b);
            break;
        }
        default: TkrDXFPolyline::ReadProperty(conv); break;
    }
}

size_t PointCount(const TkrDXFEntity& e) {
    if (e.Is(TEntityClass::Line)) {
        std::vector<TPoint3F> points;
        static_cast<const TkrDXFLine&>(e).MakePoints(points);
        return points.size();
    }
    if (e.Is(TEntityClass::Polyline)) {
        TPointWork work;
        static_cast<const TkrDXFPolyline&>(e).MakePoints(work);
        return work.Points.size();
    }
    return 0;
}
