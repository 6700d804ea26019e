#include "model/entities/compound.h"

#include <cmath>
#include <cstdio>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/curves.h"
#include "model/entities/hatch.h"
#include "model/entities/mesh.h"
#include "model/entities/text.h"
#include "model/entities/xline.h"
#include "model/parsing.h"

namespace {
bool Finite(const TPoint3F& p) { return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z); }

TPoint3F InPlane(const TPoint3F& p, const TPoint3F& normal) {
    return IsDefaultExtrusion(normal) ? p : WCSToOCS(p, normal);
}
}  // namespace

// ---- the compound ----

TkrDXFCompound::TkrDXFCompound(TEntityClass cls) : TkrDXFPenEntity(cls) {}
TkrDXFCompound::~TkrDXFCompound() = default;

void TkrDXFCompound::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenEntity::ReadProperty(conv);
    switch (conv.Code) {
        case 6: {
            // BYLAYER is the layer's line type; BYBLOCK is the layer's too
            // for a compound that is not inside a block.
            std::string_view name = TrimBlanks(conv.TextValue());
            Pattern = SameTextAscii(name, "BYLAYER") || SameTextAscii(name, "BYBLOCK") ? nullptr
                                                                                       : conv.LineTypePattern(name);
            break;
        }
        case 370: {
            int32_t w = conv.ValueAsInt();
            LineWeight = w > 0 ? float(w / 100.0) : 0;
            break;
        }
        default: break;
    }
}

bool TkrDXFCompound::InView(TkrDXFConverter& conv) const {
    return Unbounded || TkrDXFEntity::InView(conv);
}

void TkrDXFCompound::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (!InView(conv)) return;
    Expanding = false;
    visit(receiver, *this);
    if (!ShowParts || !(Expanding || conv.ExpandInserts)) return;
    Expanding = false;
    for (auto& p : Parts) {
        // The parts belong to the compound's space (a block being expanded
        // gives its entities the space of the insert).
        p->PaperSpace = PaperSpace;
        p->Iterate(conv, visit, receiver);
    }
}

void TkrDXFCompound::ClearParts() {
    Parts.clear();
    Box = EmptyBox;
    Unbounded = false;
}

void TkrDXFCompound::AwaitObjects(TkrDXFConverter& conv) {
    AwaitsObjects = true;
    conv.ObjectsAwaited = true;
}

// ---- making parts ----

TPartMaker::TPartMaker(TkrDXFConverter& conv, TkrDXFCompound& owner) : Conv(conv), Owner(owner) {
    Pen.Color = owner.Color;
    Pen.Pattern = owner.Pattern;
    Pen.LineWeight = owner.LineWeight;
    Pen.Layer = owner.Layer;
}

const TkrLines* TPartMaker::PatternNamed(std::string_view name) const {
    name = TrimBlanks(name);
    if (name.empty() || SameTextAscii(name, "BYLAYER")) return nullptr;
    if (SameTextAscii(name, "BYBLOCK")) return Owner.Pattern;
    return Conv.LineTypePattern(name);
}

const TkrLines* TPartMaker::PatternOfHandle(uint32_t handle) const {
    if (handle == 0) return nullptr;
    if (TkrDXFGroup* t = Conv.GetTable(tkLType))
        for (auto& e : t->Entities)
            if (e->Is(TEntityClass::LineType) && e->Handle == handle)
                return PatternNamed(static_cast<TkrDXFLineType&>(*e).Name);
    return nullptr;
}

float TPartMaker::WeightOf(int32_t w) const {
    if (w == -2) return Owner.LineWeight;
    return w > 0 ? float(w / 100.0) : 0;
}

template <class T>
std::unique_ptr<T> TPartMaker::New() {
    auto e = std::make_unique<T>();
    if (Conv.OnCreateEntity) Conv.OnCreateEntity(*e);
    return e;
}

void TPartMaker::PenOf(TPolylinePen& pen) const {
    pen.Color = Pen.Color;
    pen.Pattern = Pen.Pattern;
    pen.LineWeight = Pen.LineWeight;
}

void TPartMaker::PenOf(TkrDXFPenLine& pen) const {
    pen.Color = Pen.Color;
    pen.Pattern = Pen.Pattern;
    pen.LineWeight = Pen.LineWeight;
}

TkrDXFEntity& TPartMaker::Add(std::unique_ptr<TkrDXFEntity> part) {
    part->Layer = Pen.Layer ? Pen.Layer : Owner.Layer;
    if (!part->Layer) part->Layer = Conv.FindOrCreateLayer("0");
    part->LineTypeScale = Owner.LineTypeScale;
    part->Loaded(Conv);
    UnionBox(Owner.Box, part->GetBox());
    Owner.Parts.push_back(std::move(part));
    return *Owner.Parts.back();
}

void TPartMaker::Polyline(std::span<const TPoint3F> points, bool closed) {
    // Runs of finite points; a point that is not finite breaks the line.
    size_t i = 0;
    const size_t n = points.size();
    while (i < n) {
        while (i < n && !Finite(points[i])) ++i;
        size_t j = i;
        while (j < n && Finite(points[j])) ++j;
        if (j - i >= 2) {
            const bool whole = closed && i == 0 && j == n && n > 2;
            auto p = New<TkrDXFPolyline>();
            PenOf(p->PenLine);
            p->PolyFlags = 8 | (whole ? 1 : 0);
            p->Closed = whole;
            p->SourceVertices.reserve(j - i);
            for (size_t k = i; k < j; ++k) {
                TPolyVertex v;
                v.Point = points[k];
                p->SourceVertices.push_back(v);
            }
            Add(std::move(p));
        }
        i = j;
    }
}

void TPartMaker::BulgePolyline(std::span<const TPolyVertex> vertices, bool closed) {
    if (vertices.size() < 2) return;
    for (const TPolyVertex& v : vertices)
        if (!Finite(v.Point) || !std::isfinite(v.Bulge)) return;
    auto p = New<TkrDXFLWPolyline>();
    PenOf(p->PenLine);
    p->Elevation = vertices[0].Point.Z;
    p->PolyFlags = closed ? 1 : 0;
    p->Closed = closed;
    p->SourceVertices.assign(vertices.data(), vertices.data() + vertices.size());
    Add(std::move(p));
}

void TPartMaker::FitSpline(std::span<const TPoint3F> fit, const TPoint3F& startTangent, const TPoint3F& endTangent) {
    std::vector<TPoint3F> pts;
    pts.reserve(fit.size());
    for (const TPoint3F& p : fit)
        if (Finite(p)) pts.push_back(p);
    if (pts.size() < 3) {
        Polyline(pts, false);
        return;
    }
    auto s = New<TkrDXFSpline>();
    PenOf(s->PenLine);
    s->FitPoints = pts;
    s->SourceVertices.reserve(pts.size());
    for (const TPoint3F& p : pts) {
        TPolyVertex v;
        v.Point = p;
        s->SourceVertices.push_back(v);
    }
    if (Finite(startTangent)) s->StartTangent = startTangent;
    if (Finite(endTangent)) s->EndTangent = endTangent;
    Add(std::move(s));
}

void TPartMaker::Solid(const TPoint3F& a, const TPoint3F& b, const TPoint3F& c, const TPoint3F& d) {
    if (!Finite(a) || !Finite(b) || !Finite(c) || !Finite(d)) return;
    auto s = New<TkrDXFSolid>();
    PenOf(*s);
    s->Point = a;
    s->Point2 = b;
    s->Point3 = c;
    s->Point4 = d;
    Add(std::move(s));
}

void TPartMaker::Fill(const std::vector<std::vector<TPolyVertex>>& paths) {
    auto h = New<TkrDXFHatch>();
    PenOf(*h);
    h->Solid = true;
    for (const auto& path : paths) {
        std::vector<THatchEdge> edges;
        edges.reserve(path.size());
        for (const TPolyVertex& v : path) {
            if (!Finite(v.Point) || !std::isfinite(v.Bulge)) continue;
            THatchEdge e;
            e.X = v.Point.X;
            e.Y = v.Point.Y;
            e.Bulge = v.Bulge;
            e.Type = v.Bulge != 0 ? THatchEdge::etBulgePoint : THatchEdge::etPoint;
            edges.push_back(std::move(e));
        }
        if (edges.size() >= 3) h->Edges.push_back(std::move(edges));
    }
    if (h->Edges.empty()) return;
    h->PathCount = int32_t(h->Edges.size());
    Add(std::move(h));
}

void TPartMaker::Circle(const TPoint3F& centre, double radius, const TPoint3F& normal) {
    const TPoint3F n = SanitizeExtrusion(normal);
    const TPoint3F c = InPlane(centre, n);
    if (!Finite(c) || !std::isfinite(radius) || !(radius > 0)) return;
    auto e = New<TkrDXFCircle>();
    PenOf(e->PenLine);
    e->PenLine.Extrusion = n;
    e->SetCentre(c);
    e->Radius = float(radius);
    Add(std::move(e));
}

void TPartMaker::Arc(const TPoint3F& centre, double radius, const TPoint3F& normal, double startDeg,
                     double endDeg) {
    const TPoint3F n = SanitizeExtrusion(normal);
    const TPoint3F c = InPlane(centre, n);
    if (!Finite(c) || !std::isfinite(radius) || !(radius > 0) || !std::isfinite(startDeg) || !std::isfinite(endDeg))
        return;
    auto e = New<TkrDXFArc>();
    PenOf(e->PenLine);
    e->PenLine.Extrusion = n;
    e->SetCentre(c);
    e->Radius = float(radius);
    e->StartAngle = float(startDeg);
    e->EndAngle = float(endDeg);
    Add(std::move(e));
}

void TPartMaker::Text(std::string text, const TPoint3F& at, double height, double widthFactor, double rotationDeg,
                      double obliqueDeg, const TPoint3F& normal) {
    const TPoint3F n = SanitizeExtrusion(normal);
    const TPoint3F p = InPlane(at, n);
    if (!Finite(p) || !std::isfinite(height) || !std::isfinite(rotationDeg)) return;
    auto t = New<TkrDXFText>();
    t->SetColor(Pen.Color);
    t->Point = p;
    t->Extrusion = n;
    t->Height = float(height);
    t->WidthFactor = std::isfinite(widthFactor) && widthFactor != 0 ? float(widthFactor) : 1.0f;
    t->Rotation = float(rotationDeg);
    t->ObliqueAngle = std::isfinite(obliqueDeg) ? float(obliqueDeg) : 0.0f;
    t->Text = ReplaceControlCodes(text);
    Add(std::move(t));
}

TkrDXFMText& TPartMaker::MText(std::string text, const TPoint3F& at, double height, const TPoint3F& direction,
                               double refWidth, int attachment, const TPoint3F& normal) {
    auto m = New<TkrDXFMText>();
    m->SetColor(Pen.Color);
    // The insertion point is in world coordinates; the block reference the
    // text is drawn through places it in the plane of the normal.
    const TPoint3F n = SanitizeExtrusion(normal);
    m->Extrusion = n;
    m->Point = Finite(at) ? InPlane(at, n) : TPoint3F{};
    m->Height = std::isfinite(height) ? float(height) : 0.0f;
    if (Finite(direction) && (direction.X != 0 || direction.Y != 0)) m->Direction = direction;
    m->RefWidth = std::isfinite(refWidth) && refWidth > 0 ? float(refWidth) : 0.0f;
    m->Attachment = uint8_t(attachment >= 1 && attachment <= 9 ? attachment : 1);
    m->Text = std::move(text);
    return static_cast<TkrDXFMText&>(Add(std::move(m)));
}

TkrDXFInsert* TPartMaker::Insert(TkrDXFBlock* block, const TPoint3F& at, const TPoint3F& scale, double rotationDeg,
                                 const TPoint3F& normal) {
    const TPoint3F n = SanitizeExtrusion(normal);
    const TPoint3F p = InPlane(at, n);
    if (!block || !Finite(p)) return nullptr;
    auto ins = New<TkrDXFInsert>();
    ins->Block = block;
    // A block whose box waits for blocks defined later is completed when the
    // part is first asked for its box.
    if (block->PendingAtRead > 0) ins->Converter = &Conv;
    ins->SetColor(Pen.Color);
    ins->Point = p;
    ins->Extrusion = n;
    ins->InsertScale = scale;
    const double r = std::isfinite(rotationDeg) ? rotationDeg : 0;
    ins->Rotation = float(r);
    ins->RotationCos = std::cos(DegToRad(r));
    ins->RotationSin = std::sin(DegToRad(r));
    return static_cast<TkrDXFInsert*>(&Add(std::move(ins)));
}

void TPartMaker::Edges(std::vector<TPoint3F> vertices, std::vector<std::pair<uint32_t, uint32_t>> edges) {
    if (edges.empty()) return;
    auto m = New<TkrDXFMesh>();
    PenOf(*m);
    m->Vertices = std::move(vertices);
    m->Edges = std::move(edges);
    Add(std::move(m));
}

void TPartMaker::XLine(const TPoint3F& at, const TPoint3F& direction, bool ray) {
    auto x = New<TkrDXFXLine>();
    PenOf(*x);
    x->Point = at;
    x->Direction = direction;
    x->Ray = ray;
    Add(std::move(x));
    Owner.Unbounded = true;
}

// ---- block records ----

std::string BlockRecordNameOf(const TkrDXFConverter& conv, uint32_t handle) {
    if (TkrDXFGroup* t = conv.GetTable(tkBlockRecord))
        for (auto& e : t->Entities)
            if (e->Is(TEntityClass::BlockRecord) && e->Handle == handle)
                return static_cast<TkrDXFBlockRecord&>(*e).Name;
    return {};
}

TkrDXFBlock* BlockOfRecord(TkrDXFConverter& conv, uint32_t handle) {
    if (handle == 0 || handle == 0xFFFFFFFF) return nullptr;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", unsigned(handle));
    if (TkrDXFBlock* b = conv.FindBlockByOwner(hex)) return b;
    std::string name = BlockRecordNameOf(conv, handle);
    return name.empty() ? nullptr : conv.FindBlock(name);
}
