// External references and raster images: the two kinds of entities that
// name other files.
#include <algorithm>
#include <cmath>
#include <functional>

#include "model/converter.h"
#include "model/entities/annotation.h"
#include "model/entities/layout.h"
#include "model/entities/text.h"
#include "model/parsing.h"
#include "platform/codepage.h"
#include "platform/scoped.h"

namespace {
// The name of a file without its folder (either slash) and its extension.
std::string Stem(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}
}  // namespace

// ---- external references ----

bool TkrDXFXref::LoadDrawing(TkrDXFConverter& conv, const std::string& fileName) {
    FileName = fileName;
    Drawing.reset();
    if (!conv.XrefLoader) return false;
    TXrefLoadResult r = conv.XrefLoader->LoadXref(conv, fileName);
    if (r.Kind == TXrefLoadResult::xrMissing) return false;
    Drawing = std::move(r.Drawing);
    Name = Stem(fileName);
    return true;
}

void TkrDXFXref::Loaded(TkrDXFConverter& conv) {
    if (!Drawing) return;
    TkrDXFConverter& n = Drawing->Reader();
    n.LTScale = conv.LTScale;
    // Re-finishing every curve of the nested drawing is only needed when the
    // resolution differs.
    if (n.SplineParts != conv.SplineParts) n.SetSplineParts(conv.SplineParts);
    if (n.CirclePoints != conv.CirclePoints) n.SetCirclePoints(conv.CirclePoints);
}

TBox3F TkrDXFXref::GetBox() const {
    if (!Drawing) return TkrDXFEntity::GetBox();
    const TkrDXFLayout* model = Drawing->Reader().LayoutAt(0);
    return model ? model->Box : EmptyBox;
}

void TkrDXFXref::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (!Drawing || FDrawing) return;
    TkrDXFConverter& n = Drawing->Reader();
    TDrawContext own;
    own.Matrix = IdentityMatrix();
    TDrawContext* dc = conv.DrawContext ? conv.DrawContext : &own;
    // The nested drawing is drawn with the parent's context, clip and
    // insert expansion; what is changed is put back on every way out, and
    // the bounds the nested drawing reached are the parent's.
    const TDrawContext saved = *dc;
    const bool space = n.CurrentSpace, clipEnabled = n.ClipEnabled, expand = n.ExpandInserts;
    const TBox3F clipBox = n.ClipBox;
    TDrawContext* const context = n.DrawContext;
    std::function<void(TkrDXFInsert&, bool)> onInsert = std::move(n.OnInsert);
    TOnExit restore([&] {
        *dc = saved;
        n.CurrentSpace = space;
        n.ClipEnabled = clipEnabled;
        n.ClipBox = clipBox;
        n.ExpandInserts = expand;
        n.DrawContext = context;
        n.OnInsert = std::move(onInsert);
        FDrawing = false;
        conv.Bounds.Add(n.Bounds);
        n.Bounds.Clear();
    });
    FDrawing = true;
    n.CurrentSpace = false;
    n.ClipEnabled = conv.ClipEnabled;
    n.ClipBox = conv.ClipBox;
    n.ExpandInserts = conv.ExpandInserts;
    n.DrawContext = dc;
    n.OnInsert = conv.OnInsert;
    IterateTopLevel(n, visit, receiver);
}

// ---- raster images ----

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

// ---- the text of a missing external drawing ----

std::unique_ptr<TkrDXFEntity> MakeXrefPathText(TkrDXFConverter& conv, const std::string& path) {
    auto t = std::make_unique<TkrDXFText>();
    if (conv.OnCreateEntity) conv.OnCreateEntity(*t);
    t->Height = 0.2f;
    t->Text = Cp1252ToDrawnText(path);
    // A Windows path is full of backslashes: "..\Lageplan\a.dxf" would read
    // as an underline code if the text were converted; it is shown as written.
    t->LoadedAsIs(conv);
    return t;
}
