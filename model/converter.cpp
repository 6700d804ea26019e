#include "model/converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/binary_dxf.h"
#include "model/box_walk.h"
#include "model/colors.h"
#include "model/entities/blocks.h"
#include "model/entities/curves.h"
#include "model/entities/layout.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "platform/codepage.h"

TkrDXFConverter::TkrDXFConverter() { RootSection = CreateRootSection(); }

TkrDXFConverter::~TkrDXFConverter() {
    Clear();
    DestroyTables();
}

std::unique_ptr<TkrDXFSection> TkrDXFConverter::CreateRootSection() { return std::make_unique<TkrDXFSection>(); }

void TkrDXFConverter::Clear() {
    HighChars1 = HighChars2 = 0;
    ClearReader();
    Bounds.Clear();
    EntityCount = 0;
    NonPlanView = false;
    ModelViewBox = EmptyBox;
    PendingLayout.reset();
    ObjectsAwaited = false;
    XrefBytes = 0;
    ViewportDrawing = false;
    ClearTables();
}

int64_t TkrDXFConverter::ProgressTotal() const {
    int64_t t = Loading ? int64_t(TextEnd) : EntityCount;
    return t < 1 ? 1 : t;
}

std::unique_ptr<TkrDXFEntity> TkrDXFConverter::CreateEntity(std::string_view name) {
    std::unique_ptr<TkrDXFEntity> e = NewEntityByName(name);
    // An entity the converter has no class for may carry the graphics its
    // program drew it with: it is read as a proxy entity.
    if (e->Class == TEntityClass::Entity && ReadingGraphics) e = NewProxyEntity();
    if (OnCreateEntity) OnCreateEntity(*e);
    return e;
}

// ---- lookups ----

TkrDXFStyle* TkrDXFConverter::FindOrCreateStyle(std::string_view name) {
    TkrDXFTable* t = &OwnTable(tkStyle, "STYLE");
    if (auto* e = Lookup(FStyleIndex, t, name, false, TEntityClass::Style)) return static_cast<TkrDXFStyle*>(e);
    auto style = std::make_unique<TkrDXFStyle>();
    style->Name = std::string(name);
    style->Loaded(*this);
    TkrDXFStyle* raw = style.get();
    t->Entities.push_back(std::move(style));
    return raw;
}

// ---- extents ----

void TkrDXFConverter::ComputeExtents() {
    TBox3F l0 = Layouts.empty() ? EmptyBox : Layouts[0]->Box;
    bool hasL1 = Layouts.size() > 1;
    TBox3F l1 = hasL1 ? Layouts[1]->Box : EmptyBox;
    ViewTransform = ViewMatrix(ViewDirection, ViewTwist);
    // A view that turns the model (a view direction other than the plan, or
    // a twist) fits the model layout to the box of its projected geometry:
    // the union of every entity's box projected (its eight corners), not the
    // projection of the whole model box, which is larger.
    const bool turned = NonPlanView || ViewTwist != 0;
    auto project = [&](TBox3F& view, const TBox3F& b) {
        if (IsEmptyBox(b)) return;
        for (float x : {b.Left, b.Right})
            for (float y : {b.Top, b.Bottom})
                for (float z : {b.Z1, b.Z2}) {
                    TPoint3F q = TransformPoint({x, y, z}, ViewTransform);
                    if (std::isfinite(q.X) && std::isfinite(q.Y) && std::isfinite(q.Z)) ExpandBox(view, q);
                }
    };
    // The model's and the paper's box, and the model's box in the view.
    struct TExtents {
        TBox3F Model = EmptyBox, Paper = EmptyBox, View = EmptyBox;
    };
    // Adds entities [begin, end) to x; false at the first one whose box
    // is not to be read on another thread (only asked when split).
    auto walk = [&](const TEntityList& list, size_t begin, size_t end, TExtents& x,
                    TBoundHits& hits, bool split) {
        for (size_t i = begin; i < end; ++i) {
            TkrDXFEntity& e = *list[i];
            if (!e.OnDraw) continue;
            if (e.Layer && e.Layer->Name != "0" && !e.Layer->IsVisible()) continue;
            if (split && !BoxIsReadOnly(e)) return false;
            // A point counts for no extents, but is screened like the rest.
            const TBox3F b = ScreenedBox(e, hits);
            if (e.Is(TEntityClass::Point)) continue;
            UnionBox(e.PaperSpace ? x.Paper : x.Model, b);
            if (turned && !e.PaperSpace) project(x.View, b);
        }
        return true;
    };
    TExtents all;
    if (TkrDXFGroup* ents = GetTable(tkEntities)) {
        // Split in two halves where it can be (see model/box_walk.h).
        TExtents half[2];
        if (WalkInHalves(*this, ents->Entities.size(), [&](size_t begin, size_t end, int k, TBoundHits& hits) {
                return walk(ents->Entities, begin, end, half[k], hits, true);
            })) {
            for (const TExtents& x : half) {
                UnionBox(all.Model, x.Model);
                UnionBox(all.Paper, x.Paper);
                UnionBox(all.View, x.View);
            }
        } else {
            walk(ents->Entities, 0, ents->Entities.size(), all, Bounds, false);
        }
    }
    TBox3F m = all.Model, p = all.Paper;
    ModelViewBox = all.View;
    if (turned) project(ModelViewBox, l0);
    auto widen = [](TBox3F& b, const TBox3F& l) {
        b.Left = std::min(b.Left, l.Left);
        b.Bottom = std::min(b.Bottom, l.Bottom);
        b.Z1 = std::min(b.Z1, l.Z1);
        b.Right = std::max(b.Right, l.Right);
        b.Top = std::max(b.Top, l.Top);
        b.Z2 = std::max(b.Z2, l.Z2);
    };
    widen(m, l0);
    if (hasL1) widen(p, l1);
    if (!Layouts.empty()) Layouts[0]->Box = m;
    if (hasL1) Layouts[1]->Box = p;
    PruneLayouts(IsEmptyBox(p));
}

// ---- resolution changes ----

namespace {
template <class F>
void ForEachModelEntity(TkrDXFConverter& conv, F f) {
    if (TkrDXFGroup* ents = conv.GetTable(tkEntities))
        for (auto& e : ents->Entities) f(*e);
    if (TkrDXFGroup* blocks = conv.GetTable(tkBlocks))
        for (auto& b : blocks->Entities)
            if (b->Is(TEntityClass::Block))
                for (auto& e : static_cast<TkrDXFBlock*>(b.get())->Entities) f(*e);
}
}  // namespace

void TkrDXFConverter::SetCirclePoints(int n) {
    CirclePoints = n;
    ForEachModelEntity(*this, [&](TkrDXFEntity& e) {
        if (e.Is(TEntityClass::Circle) || e.Is(TEntityClass::Xref)) e.Loaded(*this);
    });
}

void TkrDXFConverter::SetSplineParts(int n) {
    SplineParts = n;
    ForEachModelEntity(*this, [&](TkrDXFEntity& e) {
        if (e.Is(TEntityClass::Spline) || e.Is(TEntityClass::Xref)) e.Loaded(*this);
    });
}
