// Lines, points, solids and 3D faces: the entities of fixed corners. A line
// is cut to the clip rectangle of a strictly clipped viewport here.
#include "model/entities/linear.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "platform/scoped.h"

namespace {
// ---- clipping of a line to the clip rectangle ----

struct TD3 {
    double X, Y, Z;
};

struct TRect {
    double Left, Bottom, Right, Top;
};

TRect ClipRect(const TBox3F& c) {
    return {std::min<double>(c.Left, c.Right), std::min<double>(c.Bottom, c.Top), std::max<double>(c.Left, c.Right),
            std::max<double>(c.Bottom, c.Top)};
}

// Moves the ends of p1-p2 that lie beyond an edge the segment crosses onto
// that edge: left, right, bottom, top in this order, each on the points as
// moved so far. True when an end moved.
bool ClipSegment(TD3& p1, TD3& p2, const TRect& r) {
    bool moved = false;
    auto crossX = [&](double x, double& y) {
        if (!((p1.X < x && p2.X > x) || (p1.X > x && p2.X < x))) return false;
        y = p1.Y + (p2.Y - p1.Y) * (x - p1.X) / (p2.X - p1.X);
        return r.Bottom <= y && y <= r.Top;
    };
    auto crossY = [&](double y, double& x) {
        if (!((p1.Y < y && p2.Y > y) || (p1.Y > y && p2.Y < y))) return false;
        x = p1.X + (p2.X - p1.X) * (y - p1.Y) / (p2.Y - p1.Y);
        return r.Left <= x && x <= r.Right;
    };
    double v;
    if (crossX(r.Left, v)) {
        TD3& q = p1.X >= r.Left ? p2 : p1;
        q.X = r.Left, q.Y = v, moved = true;
    }
    if (crossX(r.Right, v)) {
        TD3& q = p2.X > r.Right ? p2 : p1;
        q.X = r.Right, q.Y = v, moved = true;
    }
    if (crossY(r.Bottom, v)) {
        TD3& q = p1.Y >= r.Bottom ? p2 : p1;
        q.X = v, q.Y = r.Bottom, moved = true;
    }
    if (crossY(r.Top, v)) {
        TD3& q = p2.Y > r.Top ? p2 : p1;
        q.X = v, q.Y = r.Top, moved = true;
    }
    return moved;
}

TD3 Transform(const TPoint3F& p, const TMatrix4x3F& m) {
    double r[3];
    for (int j = 0; j < 3; ++j)
        r[j] = double(p.X) * m.M[0][j] + double(p.Y) * m.M[1][j] + double(p.Z) * m.M[2][j] + m.M[3][j];
    return {r[0], r[1], r[2]};
}

bool Inside(const TD3& p, const TRect& r) {
    return p.X >= r.Left && p.X <= r.Right && p.Y >= r.Bottom && p.Y <= r.Top;
}

TPoint3F ToPoint(const TD3& p) { return Point3F(p.X, p.Y, p.Z); }

TMatrix4x3F CurrentMatrix(const TkrDXFConverter& conv) {
    return conv.DrawContext ? conv.DrawContext->Matrix : IdentityMatrix();
}
}  // namespace

// ---- lines ----

void TkrDXFLine::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenLine::ReadProperty(conv);
    switch (conv.Code) {
        case 11: Point2.X = float(conv.ValueAsFloat()); break;
        case 21: Point2.Y = float(conv.ValueAsFloat()); break;
        case 31: Point2.Z = float(conv.ValueAsFloat()); break;
        default: break;
    }
}

TBox3F TkrDXFLine::GetBox() const {
    TBox3F b{Point.X, Point.Y, Point.Z, Point.X, Point.Y, Point.Z};
    ExpandBox(b, Point2);
    WidenByLineWeight(b);
    return b;
}

void TkrDXFLine::Loaded(TkrDXFConverter& conv) {
    // Line points are world coordinates: the extrusion is not applied.
    Converter = &conv;
    PreparePattern();
    DashLimit = 0;
    if (Pattern->IsSolid()) return;
    // The dash pairs are cut once here to count them against the budget;
    // MakePoints cuts the same pairs whenever the line is drawn.
    DashLimit = uint32_t(conv.DashPointLimit());
    if (DashLine(*Pattern, EffectiveLineTypeScale(conv, LineTypeScale), Point, Point2, conv.DashScratch, DashLimit))
        ++conv.Bounds.DashPoints;
    conv.CountDashScratch();
}

void TkrDXFLine::MakePoints(std::vector<TPoint3F>& out) const {
    out.clear();
    if (!Pattern || Pattern->IsSolid() || !Converter) {
        out.push_back(Point);
        out.push_back(Point2);
        return;
    }
    DashLine(*Pattern, EffectiveLineTypeScale(*Converter, LineTypeScale), Point, Point2, out, DashLimit);
}

void TkrDXFLine::EnumCorners(bool, void (*pointProc)(void*, const TPoint3F&), void* receiver) const {
    pointProc(receiver, Point);
    pointProc(receiver, Point2);
}

bool TkrDXFLine::InView(TkrDXFConverter& conv) const {
    bool r = TkrDXFEntity::InView(conv);
    if (!conv.ClipStrict || r) return r;
    TMatrix4x3F m = CurrentMatrix(conv);
    if (ClassifyBox(GetBox(), conv.ClipBox, m) != 0) return r;
    TD3 a = Transform(Point, m), b = Transform(Point2, m);
    return ClipSegment(a, b, ClipRect(conv.ClipBox));
}

void TkrDXFLine::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    bool clip = false;
    TMatrix4x3F m{};
    TD3 a{}, b{};
    TRect rect{};
    if (conv.ClipEnabled && conv.ClipStrict && !Clipped && !TkrDXFEntity::InView(conv)) {
        m = CurrentMatrix(conv);
        if (ClassifyBox(GetBox(), conv.ClipBox, m) == 0) {
            a = Transform(Point, m), b = Transform(Point2, m);
            rect = ClipRect(conv.ClipBox);
            clip = ClipSegment(a, b, rect);
        }
    }
    if (!clip) {
        TkrDXFEntity::Iterate(conv, visit, receiver);
        return;
    }
    // The line is cut at the clip rectangle: its points become canvas
    // coordinates for the visit, drawn under an identity matrix. The dash
    // pairs are cut alike (pairs wholly outside are dropped) into a list the
    // drawing context points to during the visit. What is changed is saved here
    // and put back when the visit ends.
    std::vector<TPoint3F> cut;
    if (Pattern && !Pattern->IsSolid()) {
        std::vector<TPoint3F> dashes;
        MakePoints(dashes);
        for (size_t i = 0; i + 1 < dashes.size(); i += 2) {
            TD3 p = Transform(dashes[i], m), q = Transform(dashes[i + 1], m);
            ClipSegment(p, q, rect);
            if (Inside(p, rect) && Inside(q, rect)) {
                cut.push_back(ToPoint(p));
                cut.push_back(ToPoint(q));
            }
        }
    }
    const TPoint3F savedPoint = Point, savedPoint2 = Point2;
    TDrawContext savedContext{};
    if (conv.DrawContext) savedContext = *conv.DrawContext;
    TOnExit restore([&] {
        Point = savedPoint, Point2 = savedPoint2;
        if (conv.DrawContext) *conv.DrawContext = savedContext;
        Clipped = false;
    });
    Clipped = true;
    Point = ToPoint(a), Point2 = ToPoint(b);
    if (conv.DrawContext) {
        if (Pattern && !Pattern->IsSolid()) conv.DrawContext->CutLinePoints = &cut;
        conv.DrawContext->Matrix = IdentityMatrix();
        conv.DrawContext->ScaleX = conv.DrawContext->ScaleY = 0;
        conv.DrawContext->MatrixHasRotation = false;
    }
    visit(receiver, *this);
}

void TkrDXFPoint::Loaded(TkrDXFConverter& conv) {
    Point2 = Point;
    TkrDXFLine::Loaded(conv);
}

void TkrDXFPoint::EnumCorners(bool, void (*pointProc)(void*, const TPoint3F&), void* receiver) const {
    pointProc(receiver, Point);
}

void TkrDXFSolid::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFLine::ReadProperty(conv);
    switch (conv.Code) {
        case 12: Point3.X = float(conv.ValueAsFloat()); break;
        case 22: Point3.Y = float(conv.ValueAsFloat()); break;
        case 32: Point3.Z = float(conv.ValueAsFloat()); break;
        case 13: Point4.X = float(conv.ValueAsFloat()); break;
        case 23: Point4.Y = float(conv.ValueAsFloat()); break;
        case 33: Point4.Z = float(conv.ValueAsFloat()); break;
        default: break;
    }
}

TBox3F TkrDXFSolid::GetBox() const {
    TBox3F b = TkrDXFLine::GetBox();
    ExpandBox(b, Point3);
    ExpandBox(b, Point4);
    WidenByLineWeight(b);
    return b;
}

void TkrDXFSolid::Loaded(TkrDXFConverter& conv) {
    TkrDXFLine::Loaded(conv);
    Extrusion = SanitizeExtrusion(Extrusion);
    if (!IsDefaultExtrusion(Extrusion)) {
        Point = OCSToWCS(Point, Extrusion);
        Point2 = OCSToWCS(Point2, Extrusion);
        Point3 = OCSToWCS(Point3, Extrusion);
        Point4 = OCSToWCS(Point4, Extrusion);
    }
}

void TkrDXFSolid::EnumCorners(bool allCorners, void (*pointProc)(void*, const TPoint3F&), void* receiver) const {
    TkrDXFLine::EnumCorners(allCorners, pointProc, receiver);
    pointProc(receiver, Point3);
    pointProc(receiver, Point4);
}

void TkrDXF3dFace::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFSolid::ReadProperty(conv);
    if (conv.Code == 70) EdgeFlags = conv.ValueAsInt();
}
