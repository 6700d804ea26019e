#include "model/entities/image.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/parsing.h"
#include "model/xref.h"

TkrDXFImageDef::~TkrDXFImageDef() {
    if (!FOwner) return;
    auto& defs = FOwner->ImageDefs;
    defs.erase(std::remove(defs.begin(), defs.end(), this), defs.end());
}

void TkrDXFImageDef::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    if (conv.Code == 1) FileName = std::string(conv.Value);
}

void TkrDXFImageDef::Loaded(TkrDXFConverter& conv) {
    if (FOwner) return;
    // Registered with the reader for the images' lookup; a definition
    // destroyed before the reader (one inside a refused container) takes
    // itself off the list again.
    FOwner = &conv;
    conv.ImageDefs.push_back(this);
    PictureFound = conv.XrefLoader && !FileName.empty() && conv.XrefLoader->ImageFileExists(conv, FileName);
}

void TkrDXFImageEnt::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFSolid::ReadProperty(conv);
    switch (conv.Code) {
        case 340: ImageDefHandle = HexHandle(conv.Value); break;
        case 280: Clipping = conv.ValueAsInt() == 1; break;
        case 14: ClipBoundary.push_back({float(conv.ValueAsFloat()), 0, 0}); break;
        case 24:
            if (!ClipBoundary.empty()) ClipBoundary.back().Y = float(conv.ValueAsFloat());
            break;
        default: break;
    }
}

TBox3F TkrDXFImageEnt::GetBox() const {
    if (IsEmptyBox(ClipBox)) return TkrDXFSolid::GetBox();
    TBox3F b = ClipBox;
    WidenByLineWeight(b);
    return b;
}

void TkrDXFImageEnt::Loaded(TkrDXFConverter& conv) {
    // Read as a solid: 10 the insertion point, 11 the u vector, 12 the v
    // vector, 13 the size in pixels.
    const TPoint3F p0 = Point, u = Point2, v = Point3;
    const double w = Point4.X, h = Point4.Y;
    // The clip boundary's pixels count from the image's top-left corner
    // downwards, pixel centres on whole numbers: (-0.5, -0.5) is the top-left
    // corner of the image, (w - 0.5, h - 0.5) its bottom-right one. Two
    // points are opposite corners of a rectangle.
    std::vector<TPoint3F> clip;
    if (Clipping && ClipBoundary.size() >= 2) {
        std::vector<TPoint3F> px = ClipBoundary;
        if (px.size() == 2) px = {px[0], {px[1].X, px[0].Y, 0}, px[1], {px[0].X, px[1].Y, 0}};
        for (const TPoint3F& q : px) {
            const double a = double(q.X) + 0.5, b = h - q.Y - 0.5;
            clip.push_back(Point3F(p0.X + u.X * a + v.X * b, p0.Y + u.Y * a + v.Y * b, p0.Z + u.Z * a + v.Z * b));
        }
    }
    Point2 = Point3F(p0.X + u.X * w, p0.Y + u.Y * w, p0.Z + u.Z * w);
    Point3 = Point3F(p0.X + v.X * h, p0.Y + v.Y * h, p0.Z + v.Z * h);
    Point4 = Point3F(Point2.X + v.X * h, Point2.Y + v.Y * h, Point2.Z + v.Z * h);
    // An image whose corners are no finite numbers (NaN vectors) has no area.
    for (const TPoint3F* c : {&Point, &Point2, &Point3, &Point4})
        if (!std::isfinite(c->X) || !std::isfinite(c->Y) || !std::isfinite(c->Z)) {
            TPoint3F q = std::isfinite(p0.X) && std::isfinite(p0.Y) && std::isfinite(p0.Z) ? p0 : TPoint3F{};
            Point = Point2 = Point3 = Point4 = q;
            break;
        }
    FReader = &conv;
    TkrDXFSolid::Loaded(conv);
    ClipBox = EmptyBox;
    for (TPoint3F q : clip) {
        if (!IsDefaultExtrusion(Extrusion)) q = OCSToWCS(q, Extrusion);
        if (std::isfinite(q.X) && std::isfinite(q.Y) && std::isfinite(q.Z)) ExpandBox(ClipBox, q);
    }
    std::vector<TPoint3F>().swap(ClipBoundary);  // only its box is needed
}

bool TkrDXFImageEnt::LookUpPicture() {
    if (LookedUp) return HasPicture;
    LookedUp = true;
    HasPicture = false;
    if (!FReader) return false;
    for (const TkrDXFEntity* e : FReader->ImageDefs)
        if (e->Handle == ImageDefHandle) {
            HasPicture = static_cast<const TkrDXFImageDef*>(e)->PictureFound;
            break;
        }
    return HasPicture;
}
