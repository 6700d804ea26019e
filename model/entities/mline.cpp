#include "model/entities/mline.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "model/converter.h"
#include "model/parsing.h"

// ---- the style ----

void TkrDXFMLineStyle::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    switch (conv.Code) {
        case 2: Name = std::string(TrimBlanks(conv.TextValue())); break;
        case 70: Flags = conv.ValueAsInt(); break;
        case 51: StartAngle = conv.ValueAsFloat(); break;
        case 52: EndAngle = conv.ValueAsFloat(); break;
        case 49: Elements.push_back({conv.ValueAsFloat(), clFromBlock, "BYLAYER"}); break;
        case 62:
            // Before the elements the fill colour, then each element's colour.
            if (Elements.empty()) FillColor = conv.ValueAsColor();
            else Elements.back().Color = conv.ValueAsColor();
            break;
        case 6:
            if (!Elements.empty()) Elements.back().LineType = std::string(TrimBlanks(conv.TextValue()));
            break;
        default: break;
    }
}

void TkrDXFMLineStyle::Loaded(TkrDXFConverter& conv) {
    Register(conv);
    if (!Name.empty()) conv.Objects.MLineStyles.emplace(UpperAscii(Name), this);
}

// ---- the multiline ----

void TkrDXFMLine::ReadProperty(TkrDXFConverter& conv) {
    auto last = [&](std::vector<TPoint3F>& list, int axis) {
        if (list.empty()) return;
        float v = float(conv.ValueAsFloat());
        (axis == 0 ? list.back().X : axis == 1 ? list.back().Y : list.back().Z) = v;
    };
    switch (conv.Code) {
        case 2: StyleName = std::string(TrimBlanks(conv.TextValue())); return;
        case 340: StyleHandle = HexHandle(conv.Value); return;
        case 40: Scale = conv.ValueAsFloat(); return;
        case 70: Justification = conv.ValueAsInt(); return;
        case 71: Flags = conv.ValueAsInt(); return;
        case 73: ElementCount = conv.ValueAsInt(); return;
        // The vertex count (the vertices follow), the start point (the first
        // vertex) and the normal (the vertices are world coordinates).
        case 72: case 10: case 20: case 30: case 210: case 220: case 230: return;
        case 11:
            Locations.push_back({float(conv.ValueAsFloat()), 0, 0});
            Directions.push_back({1, 0, 0});
            Miters.push_back({0, 1, 0});
            ParamStart.push_back(uint32_t(Params.size()));
            FParamsLeft = 0;
            return;
        case 21: last(Locations, 1); return;
        case 31: last(Locations, 2); return;
        case 12: last(Directions, 0); return;
        case 22: last(Directions, 1); return;
        case 32: last(Directions, 2); return;
        case 13: last(Miters, 0); return;
        case 23: last(Miters, 1); return;
        case 33: last(Miters, 2); return;
        case 74:
            // An element of the current vertex: its parameters follow. A
            // count is not trusted beyond the values that come.
            if (Locations.empty()) return;
            Params.push_back(NAN);
            FParamsLeft = std::max(0, conv.ValueAsInt());
            FParamIndex = 0;
            return;
        case 41: {
            double v = conv.ValueAsFloat();
            if (Locations.empty() || FParamsLeft <= 0 || Params.size() <= ParamStart.back()) return;
            if (FParamIndex++ == 0) Params.back() = float(v);
            --FParamsLeft;
            return;
        }
        case 75: case 42: return;  // the fill parameters
        default: TkrDXFCompound::ReadProperty(conv); return;
    }
}

void TkrDXFMLine::Loaded(TkrDXFConverter& conv) {
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
    Build(conv, nullptr, false);
    AwaitObjects(conv);
}

void TkrDXFMLine::ObjectsLoaded(TkrDXFConverter& conv) {
    // By its handle; else by its name (the two are redundant in the file);
    // else the STANDARD style, which every drawing has.
    bool wrong = false;
    auto* style = static_cast<TkrDXFMLineStyle*>(FindObject(conv, StyleHandle, TEntityClass::MLineStyle, wrong));
    auto byName = [&](const std::string& n) -> TkrDXFMLineStyle* {
        auto it = conv.Objects.MLineStyles.find(UpperAscii(n));
        return it == conv.Objects.MLineStyles.end() ? nullptr : static_cast<TkrDXFMLineStyle*>(it->second);
    };
    if (!style && !StyleName.empty()) style = byName(StyleName);
    if (!style) style = byName("STANDARD");
    if (!style && (StyleHandle != 0 || !StyleName.empty())) ++conv.Bounds.ObjectRefs;
    Build(conv, style, true);
    // The parts hold everything drawn now.
    std::vector<TPoint3F>().swap(Locations);
    std::vector<TPoint3F>().swap(Directions);
    std::vector<TPoint3F>().swap(Miters);
    std::vector<float>().swap(Params);
    std::vector<uint32_t>().swap(ParamStart);
}

namespace {
struct TV2 {
    double X = 0, Y = 0;
};
bool Finite(const TPoint3F& p) { return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z); }
TV2 Unit(double x, double y) {
    double l = std::hypot(x, y);
    return l > 0 && std::isfinite(l) ? TV2{x / l, y / l} : TV2{0, 0};
}
TPolyVertex Vertex(const TPoint3F& p, double bulge = 0) {
    TPolyVertex v;
    v.Point = p;
    v.Bulge = float(bulge);
    return v;
}
// The bulge of a half circle from a to b whose middle lies towards out.
double HalfBulge(const TPoint3F& a, const TPoint3F& b, TV2 out) {
    double dx = (double(a.X) - b.X) / 2, dy = (double(a.Y) - b.Y) / 2;
    return -dy * out.X + dx * out.Y >= 0 ? 1 : -1;
}
const float kNoPoint = NAN;
}  // namespace

void TkrDXFMLine::Build(TkrDXFConverter& conv, const TkrDXFMLineStyle* style, bool final) {
    ClearParts();
    const size_t nv = Locations.size();
    if (nv < 2) return;
    auto count = [&](size_t v) { return size_t((v + 1 < nv ? ParamStart[v + 1] : Params.size()) - ParamStart[v]); };
    size_t ne = style && !style->Elements.empty() ? style->Elements.size()
              : ElementCount > 0                 ? size_t(ElementCount)
                                                 : count(0);
    if (ne > kMaxMLineElements) {
        if (final) ++conv.Bounds.MLineElements;
        ne = kMaxMLineElements;
    }
    if (ne == 0) return;
    // The elements by offset (the style's, else the first vertex's), lowest
    // first: the lowest and the highest are the outer ones.
    std::vector<double> off(ne, 0);
    for (size_t k = 0; k < ne; ++k) {
        if (style && k < style->Elements.size()) off[k] = style->Elements[k].Offset;
        else if (k < count(0) && std::isfinite(Params[ParamStart[0] + k])) off[k] = Params[ParamStart[0] + k];
        if (!std::isfinite(off[k])) off[k] = 0;
    }
    std::vector<size_t> order(ne);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return off[a] < off[b]; });
    const size_t bottom = order.front(), top = order.back();
    double shift = 0;
    if (style && Justification == 0) shift = off[top];
    if (style && Justification == 2) shift = off[bottom];
    const double scale = std::isfinite(Scale) ? Scale : 1;

    // The points of every element at every vertex (element by element); a
    // point that cannot be placed is not finite and breaks its element.
    std::vector<TPoint3F> pts(ne * nv, TPoint3F{kNoPoint, kNoPoint, kNoPoint});
    for (size_t v = 0; v < nv; ++v) {
        const TPoint3F& at = Locations[v];
        TV2 d = Unit(Directions[v].X, Directions[v].Y);
        if (d.X == 0 && d.Y == 0) d = {1, 0};
        TV2 m = Unit(Miters[v].X, Miters[v].Y);
        if (m.X == 0 && m.Y == 0) m = {-d.Y, d.X};
        double sine = std::fabs(d.X * m.Y - d.Y * m.X);
        if (!(sine > 1e-9)) sine = 1;
        const size_t have = count(v);
        for (size_t k = 0; k < ne; ++k) {
            double t = k < have ? double(Params[ParamStart[v] + k]) : NAN;
            if (!std::isfinite(t) && style && k < style->Elements.size()) t = (off[k] - shift) * scale / sine;
            if (!std::isfinite(t)) continue;
            TPoint3F p = Point3F(at.X + m.X * t, at.Y + m.Y * t, at.Z);
            if (Finite(p)) pts[k * nv + v] = p;
        }
    }
    auto point = [&](size_t k, size_t v) -> const TPoint3F& { return pts[k * nv + v]; };

    const bool closed = (Flags & mlClosed) != 0;
    const int32_t sf = style ? style->Flags : 0;
    const bool startCaps = !closed && !(Flags & mlNoStartCaps), endCaps = !closed && !(Flags & mlNoEndCaps);
    // Outwards at the two ends: against the first segment, along the last.
    auto dirAt = [&](size_t a, size_t b) {
        TV2 u = Unit(double(Locations[b].X) - Locations[a].X, double(Locations[b].Y) - Locations[a].Y);
        if (u.X == 0 && u.Y == 0) u = Unit(Directions[a].X, Directions[a].Y);
        return u;
    };
    const TV2 d0 = dirAt(0, 1), dn = dirAt(nv - 2, nv - 1);
    const TV2 outStart{-d0.X, -d0.Y}, outEnd = dn;

    TPartMaker make(conv, *this);
    auto usePen = [&](size_t k) {
        if (style && k < style->Elements.size()) {
            make.Pen.Color = make.OwnerColor(style->Elements[k].Color);
            make.Pen.Pattern = make.PatternNamed(style->Elements[k].LineType);
        } else {
            make.Pen.Color = Color;
            make.Pen.Pattern = Pattern;
        }
    };
    auto samePen = [&](size_t a, size_t b) {
        if (!style || a >= style->Elements.size() || b >= style->Elements.size()) return true;
        return style->Elements[a].Color == style->Elements[b].Color &&
               SameTextAscii(style->Elements[a].LineType, style->Elements[b].LineType);
    };
    // A half circle from element a to element b at vertex v, bulging out;
    // in two quarters when the elements differ in colour or line type.
    auto capArc = [&](size_t a, size_t b, size_t v, TV2 out) {
        const TPoint3F& p = point(a, v);
        const TPoint3F& q = point(b, v);
        if (!Finite(p) || !Finite(q) || p == q || (out.X == 0 && out.Y == 0)) return;
        if (samePen(a, b)) {
            usePen(a);
            const TPolyVertex vs[2] = {Vertex(p, HalfBulge(p, q, out)), Vertex(q)};
            make.BulgePolyline(vs, false);
            return;
        }
        // The middle of the half circle: from the centre, square to the
        // chord on the outer side.
        const double cx = (double(p.X) + q.X) / 2, cy = (double(p.Y) + q.Y) / 2;
        const double r = std::hypot(double(q.X) - p.X, double(q.Y) - p.Y) / 2;
        TV2 n = Unit(-(double(q.Y) - p.Y), double(q.X) - p.X);
        if (n.X * out.X + n.Y * out.Y < 0) n = {-n.X, -n.Y};
        const TPoint3F mid = Point3F(cx + n.X * r, cy + n.Y * r, p.Z);
        const double quarter = std::tan(kPi / 8);
        for (int half = 0; half < 2; ++half) {
            const TPoint3F& s = half == 0 ? p : mid;
            const TPoint3F& e = half == 0 ? mid : q;
            // The quarter bulges away from the centre.
            const double hx = (double(s.X) + e.X) / 2, hy = (double(s.Y) + e.Y) / 2;
            const double sign = HalfBulge(s, e, {hx - cx, hy - cy});
            usePen(half == 0 ? a : b);
            const TPolyVertex vs[2] = {Vertex(s, sign * quarter), Vertex(e)};
            make.BulgePolyline(vs, false);
        }
    };
    // A line across all elements at vertex v: each outer one to their middle,
    // in its own pen. The lines of every vertex are collected per pen (the
    // miters of a long multiline are two parts, not two per vertex).
    struct TAcross {
        std::vector<TPoint3F> Points[2];
        std::vector<std::pair<uint32_t, uint32_t>> Edges[2];
    };
    auto across = [&](size_t v, TAcross& into) {
        const TPoint3F& t = point(top, v);
        const TPoint3F& b = point(bottom, v);
        if (!Finite(t) || !Finite(b)) return;
        const TPoint3F mid = Point3F((double(t.X) + b.X) / 2, (double(t.Y) + b.Y) / 2, (double(t.Z) + b.Z) / 2);
        for (int i = 0; i < 2; ++i) {
            auto& pts = into.Points[i];
            into.Edges[i].push_back({uint32_t(pts.size()), uint32_t(pts.size() + 1)});
            pts.push_back(i == 0 ? t : b);
            pts.push_back(mid);
        }
    };
    auto drawAcross = [&](TAcross& a) {
        for (int i = 0; i < 2; ++i) {
            usePen(i == 0 ? top : bottom);
            make.Edges(std::move(a.Points[i]), std::move(a.Edges[i]));
        }
    };
    auto caps = [&](size_t v, bool start) {
        const int32_t square = start ? TkrDXFMLineStyle::msStartSquare : TkrDXFMLineStyle::msEndSquare;
        const int32_t round = start ? TkrDXFMLineStyle::msStartRound : TkrDXFMLineStyle::msEndRound;
        const int32_t inner = start ? TkrDXFMLineStyle::msStartInner : TkrDXFMLineStyle::msEndInner;
        const TV2 out = start ? outStart : outEnd;
        if (sf & square) {
            TAcross a;
            across(v, a);
            drawAcross(a);
        }
        if (sf & round) start ? capArc(top, bottom, v, out) : capArc(bottom, top, v, out);
        // The inner pairs from the outside in: (1, n - 2), (2, n - 3), ...
        if (sf & inner)
            for (size_t i = 1; 2 * i + 1 < ne; ++i)
                start ? capArc(order[ne - 1 - i], order[i], v, out) : capArc(order[i], order[ne - 1 - i], v, out);
    };

    // The fill between the outer elements (round caps round it off).
    if (sf & TkrDXFMLineStyle::msFill) {
        make.Pen.Color = make.OwnerColor(style->FillColor);
        make.Pen.Pattern = nullptr;
        std::vector<std::vector<TPolyVertex>> paths;
        if (closed) {
            for (size_t k : {bottom, top}) {
                paths.emplace_back();
                for (size_t v = 0; v < nv; ++v) paths.back().push_back(Vertex(point(k, v)));
            }
        } else {
            paths.emplace_back();
            auto& path = paths.back();
            for (size_t v = 0; v < nv; ++v) path.push_back(Vertex(point(bottom, v)));
            if (endCaps && (sf & TkrDXFMLineStyle::msEndRound))
                path.back().Bulge = float(HalfBulge(point(bottom, nv - 1), point(top, nv - 1), outEnd));
            for (size_t v = nv; v-- > 0;) path.push_back(Vertex(point(top, v)));
            if (startCaps && (sf & TkrDXFMLineStyle::msStartRound))
                path.back().Bulge = float(HalfBulge(point(top, 0), point(bottom, 0), outStart));
        }
        make.Fill(paths);
    }
    if (startCaps) caps(0, true);
    std::vector<TPoint3F> line(nv);
    for (size_t k = 0; k < ne; ++k) {
        for (size_t v = 0; v < nv; ++v) line[v] = point(k, v);
        usePen(k);
        make.Polyline(line, closed);
    }
    if (sf & TkrDXFMLineStyle::msMiters) {
        TAcross a;
        for (size_t v = closed ? 0 : 1; v < (closed ? nv : nv - 1); ++v) across(v, a);
        drawAcross(a);
    }
    if (endCaps) caps(nv - 1, false);
}
