// Paper-space viewports, which draw the model space into a rectangle of a
// layout.
#include "model/entities/viewport.h"

#include <algorithm>
#include <cmath>

#include "model/converter.h"
#include "model/parsing.h"
#include "platform/scoped.h"

namespace {
bool Finite(const TBox3F& b) {
    return std::isfinite(b.Left) && std::isfinite(b.Right) && std::isfinite(b.Top) && std::isfinite(b.Bottom);
}

bool FiniteMatrix(const TMatrix4x3F& m) {
    for (auto& row : m.M)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

void SetCoordinate(TPoint3F& p, int axis, float v) { (axis == 0 ? p.X : axis == 1 ? p.Y : p.Z) = v; }
}  // namespace

void IterateTopLevel(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (TDrawContext* d = conv.DrawContext) {
        d->Insert = nullptr;
        d->BlockColor = clFromLayer;
        d->ScaleX = d->ScaleY = 0;
    }
    if (TkrDXFGroup* ents = conv.GetTable(tkEntities)) IterateChildren(*ents, conv, visit, receiver);
}

// ---- VIEWPORT ----

void TkrDXFViewport::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenEntity::ReadProperty(conv);
    auto f = [&] { return float(conv.ValueAsFloat()); };
    switch (conv.Code) {
        case 10: Centre.X = f(); break;
        case 20: Centre.Y = f(); break;
        case 30: Centre.Z = f(); break;
        case 12: ViewCentre.X = f(); break;
        case 22: ViewCentre.Y = f(); break;
        case 16: ViewDirection.X = f(); break;
        case 26: ViewDirection.Y = f(); break;
        case 36: ViewDirection.Z = f(); break;
        case 17: ViewTarget.X = f(); break;
        case 27: ViewTarget.Y = f(); break;
        case 37: ViewTarget.Z = f(); break;
        case 40: Width = f(); break;
        case 41: Height = f(); break;
        case 43: FrontClip = f(); break;
        case 44: BackClip = f(); break;
        case 45: ViewHeight = f(); break;
        case 51: Twist = f(); break;
        case 68: Status = conv.ValueAsInt(); break;
        case 69: Id = conv.ValueAsInt(); break;
        case 90: StatusFlags = conv.ValueAsInt(); break;
        case 340: ClipBoundary = HexHandle(conv.Value); break;
        // Frozen layers: 341, and 331, where CAD programs write them.
        case 331: case 341: FrozenHandles.push_back(HexHandle(conv.Value)); break;
        case 1001: XDataApp = std::string(conv.Value); break;
        default: break;
    }
    if (XDataApp != "ACAD") return;
    // The view of drawings that have no view groups of their own comes in
    // the ACAD extended data: target and direction as the first six points'
    // coordinates, then twist, view height and the view centre.
    switch (conv.Code) {
        case 1003: FrozenLayers.push_back(conv.FindOrCreateLayer(conv.Value)); break;
        case 1010: case 1020: case 1030: {
            float v = f();
            int n = ++XDataPoints;
            if (n <= 3) SetCoordinate(ViewTarget, n - 1, v);
            else if (n <= 6) SetCoordinate(ViewDirection, n - 4, v);
            break;
        }
        case 1040: {
            float v = f();
            switch (++XDataReals) {
                case 1: Twist = v; break;
                case 2: ViewHeight = v; break;
                case 3: ViewCentre.X += v; break;
                case 4: ViewCentre.Y += v; break;
                default: break;
            }
            break;
        }
        default: break;
    }
}

void TkrDXFViewport::Loaded(TkrDXFConverter&) {
    double cx = Centre.X, cy = Centre.Y, cz = Centre.Z;
    Rect = {float(cx - Width / 2.0), float(cy + Height / 2.0), 0, float(cx + Width / 2.0), float(cy - Height / 2.0), 0};
    // A zero height counts as 1, a zero view height as the height: the
    // scale never divides by zero.
    double h = Height == 0 ? 1.0 : double(Height);
    double vh = ViewHeight == 0 ? h : double(ViewHeight);
    double s = h / vh;
    Scale = Point3F(s, s, s);
    TPoint3F t = Point3F(cx - (double(ViewTarget.X) + ViewCentre.X) * s, cy - (double(ViewTarget.Y) + ViewCentre.Y) * s,
                         cz - double(ViewTarget.Z) * s);
    Matrix = MultiplyMatrix(ViewMatrix(ViewDirection, Twist), ScaleTranslateMatrix(Scale, t));
    PaperSpace = true;
    std::sort(FrozenHandles.begin(), FrozenHandles.end());
    FrozenHandles.erase(std::unique(FrozenHandles.begin(), FrozenHandles.end()), FrozenHandles.end());
}

bool TkrDXFViewport::ViewportVisible() const {
    return (StatusFlags & 0x20000) == 0 && Status > 0 && !(Id == 1 && Number <= 0);
}

bool TkrDXFViewport::ContentDrawable() const {
    return Finite(Rect) && FiniteMatrix(Matrix) && Scale.X != 0;
}

TBox3F TkrDXFViewport::GetBox() const {
    // A rectangle beyond the float range (a width of 1e39) has no extents.
    if ((ViewportVisible() || Status == 0) && Finite(Rect)) return Rect;
    return EmptyBox;
}

void TkrDXFViewport::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (!ViewportVisible()) {
        if (Status != 0) return;
        visit(receiver, *this);
    } else {
        // Walks that expand inserts anyway (not a drawing) show the content
        // too; a drawing decides through the viewport's drawing procedure.
        Expanding = conv.ExpandInserts;
        ContentWalk = uint64_t(conv.TableCount(tkEntities));
        visit(receiver, *this);
        if (Expanding) DrawContent(conv, visit, receiver);
        Expanding = false;
    }
    if (conv.OnViewport) conv.OnViewport(*this);
}

void TkrDXFViewport::DrawContent(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (!ContentDrawable()) return;
    if (conv.ViewportDrawing) {
        // A viewport inside the model space it shows (in a block the model
        // inserts) would draw the model inside itself without end.
        ++conv.Bounds.ViewportNesting;
        return;
    }
    TDrawContext own;
    own.Matrix = IdentityMatrix();
    TDrawContext* dc = conv.DrawContext ? conv.DrawContext : &own;
    // The clip rectangle in target coordinates: the rectangle's corners under
    // the current transform, reordered. Within a clip already in force (a
    // viewport of an external drawing shown in a viewport) only the overlap
    // of both is drawn.
    TBox3F clip = EmptyBox;
    ExpandBox(clip, TransformPoint({Rect.Left, Rect.Top, 0}, dc->Matrix));
    ExpandBox(clip, TransformPoint({Rect.Right, Rect.Bottom, 0}, dc->Matrix));
    if (conv.ClipEnabled) {
        clip.Left = std::max(clip.Left, conv.ClipBox.Left);
        clip.Right = std::min(clip.Right, conv.ClipBox.Right);
        clip.Bottom = std::max(clip.Bottom, conv.ClipBox.Bottom);
        clip.Top = std::min(clip.Top, conv.ClipBox.Top);
        if (IsEmptyBox(clip)) return;
    }
    // Everything changed here is put back on every way out, also when a
    // visit raises an error.
    const TDrawContext saved = *dc;
    const TBox3F clipBox = conv.ClipBox;
    const bool clipEnabled = conv.ClipEnabled, space = conv.CurrentSpace, ownContext = dc == &own;
    std::vector<TkrDXFLayer*> hidden;
    TOnExit restore([&] {
        *dc = saved;
        if (ownContext) conv.DrawContext = nullptr;
        conv.ClipBox = clipBox;
        conv.ClipEnabled = clipEnabled;
        conv.CurrentSpace = space;
        conv.ViewportDrawing = false;
        for (TkrDXFLayer* l : hidden) l->Hidden = false;
    });
    conv.DrawContext = dc;
    conv.ClipEnabled = true;
    conv.ClipBox = clip;
    // The frozen layers are looked up (by handle through the reader's index),
    // never searched for among all layers: a drawing of many layers and many
    // viewports costs no product of both.
    auto hide = [&](TkrDXFLayer& l) {
        if (l.Hidden) return;
        l.Hidden = true;
        hidden.push_back(&l);
    };
    for (uint32_t h : FrozenHandles)
        if (h != 0xFFFFFFFF) conv.ForLayersOfHandle(h, hide);
    for (TkrDXFLayer* l : FrozenLayers) hide(*l);
    dc->Matrix = MultiplyMatrix(Matrix, saved.Matrix);
    dc->MatrixHasRotation = MatrixHasRotation(dc->Matrix);
    dc->Insert = nullptr;
    dc->ScaleX = dc->ScaleY = 0;
    conv.CurrentSpace = false;
    conv.ViewportDrawing = true;
    IterateTopLevel(conv, visit, receiver);
}
