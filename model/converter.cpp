#include "model/converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/binary_dxf.h"
#include "model/colors.h"
#include "model/entities/blocks.h"
#include "model/entities/curves.h"
#include "model/entities/layout.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "platform/codepage.h"

namespace {
// Case folding of Windows-1252 letters, for the locale-aware comparison of
// line type names.
std::string FoldCp1252(std::string_view s) {
    std::string r(s);
    for (char& ch : r) {
        unsigned char c = (unsigned char)ch;
        if (c >= 'A' && c <= 'Z') c += 32;
        else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) c += 32;
        else if (c == 0x8A || c == 0x8C || c == 0x8E) c += 16;
        else if (c == 0x9F) c = 0xFF;
        ch = char(c);
    }
    return r;
}
}  // namespace

TkrDXFConverter::TkrDXFConverter() {
    for (int k = 0; k < 3; ++k) {
        FSections[k] = std::make_unique<TkrDXFSection>();
        FSections[k]->SlotOwner = this;
        FSectionPtr[k] = FSections[k].get();
    }
    Layouts.push_back(std::make_unique<TkrDXFLayout>("Model", "*MODEL_SPACE"));
    Layouts.push_back(std::make_unique<TkrDXFLayout>("Layout1", "*PAPER_SPACE"));
    RootSection = CreateRootSection();
}

TkrDXFConverter::~TkrDXFConverter() {
    Clear();
    // The root first (it may hold sections read from a file), then the slots.
    RootSection.reset();
    for (auto& s : FSections) s.reset();
    FOwnTables.clear();
}

std::unique_ptr<TkrDXFSection> TkrDXFConverter::CreateRootSection() { return std::make_unique<TkrDXFSection>(); }

void TkrDXFConverter::ForgetTable(TkrDXFTable* t) {
    if (t == FSectionPtr[tkBlocks]) FBlockIndex = {};
    for (int k = 0; k < 3; ++k)
        if (FSectionPtr[k] == t) {
            // The section held in the slot is gone: an empty one takes its place.
            if (FSections[k].get() != t) {
                FSections[k] = std::make_unique<TkrDXFSection>();
                FSections[k]->SlotOwner = this;
                FSectionPtr[k] = FSections[k].get();
            } else {
                FSectionPtr[k] = nullptr;
            }
        }
    for (auto& tab : FTables)
        if (tab == t) tab = nullptr;
}

void TkrDXFConverter::InstallSection(int kind, TkrDXFSection* s) {
    if (FSectionPtr[kind] == s) return;
    if (kind == tkBlocks) FBlockIndex = {};
    // The section held so far is destroyed when it is the slot's own (empty
    // default) section. A section read from the file stays in the root, since
    // the entities of the drawing may still refer to its tables and blocks.
    std::unique_ptr<TkrDXFSection> old = std::move(FSections[kind]);
    FSectionPtr[kind] = s;
    s->SlotOwner = this;
    // Blocks the program made before the file's BLOCKS section began (the
    // arrowhead block of a leader read earlier) move into it: the leaders
    // that insert them keep their blocks.
    if (old && kind == tkBlocks)
        for (auto& e : old->Entities) s->Entities.push_back(std::move(e));
    old.reset();
}

void TkrDXFConverter::SetTable(int kind, TkrDXFEntity* table) {
    kind &= 0x7F;
    if (kind <= 2) {
        if (!table || !table->Is(TEntityClass::Section)) throw EInvalidCast("Ungültige Typumwandlung");
        InstallSection(kind, static_cast<TkrDXFSection*>(table));
    } else if (kind <= 6) {
        if (table && !table->Is(TEntityClass::Table)) throw EInvalidCast("Ungültige Typumwandlung");
        auto* t = static_cast<TkrDXFTable*>(table);
        FTables[kind - 3] = t;
        if (t) t->SlotOwner = this;
    }
}

TkrDXFGroup* TkrDXFConverter::GetTable(int kind) const {
    kind &= 0x7F;
    if (kind <= 2) return FSectionPtr[kind];
    if (kind <= 6) return FTables[kind - 3];
    return nullptr;
}

int TkrDXFConverter::TableCount(int kind) const {
    TkrDXFGroup* g = GetTable(kind);
    return g ? g->Count() : 0;
}

TkrDXFEntity* TkrDXFConverter::EntityAt(int i) const {
    TkrDXFGroup* g = GetTable(tkEntities);
    return g ? g->GetEntity(i) : nullptr;
}

TkrDXFLayer* TkrDXFConverter::LayerAt(int i) const {
    TkrDXFGroup* g = GetTable(tkLayer);
    TkrDXFEntity* e = g ? g->GetEntity(i) : nullptr;
    return e && e->Is(TEntityClass::Layer) ? static_cast<TkrDXFLayer*>(e) : nullptr;
}

TkrDXFLayout* TkrDXFConverter::LayoutAt(int i) const {
    return i >= 0 && size_t(i) < Layouts.size() ? Layouts[size_t(i)].get() : nullptr;
}

void TkrDXFConverter::SetModelLayout(std::unique_ptr<TkrDXFLayout> layout) {
    if (Layouts.empty()) Layouts.push_back(std::move(layout));
    else Layouts[0] = std::move(layout);
}

void TkrDXFConverter::SetPaperLayout(std::unique_ptr<TkrDXFLayout> layout) {
    // Replaced in place: a drawing may file thousands of paper layouts here.
    if (Layouts.empty()) Layouts.push_back(std::make_unique<TkrDXFLayout>("Model", "*MODEL_SPACE"));
    if (Layouts.size() > 1) Layouts[1] = std::move(layout);
    else Layouts.push_back(std::move(layout));
}

void TkrDXFConverter::PruneLayouts(bool dropPaper) {
    // One pass that keeps the order: erasing one layout at a time would move
    // the rest of the list for each of thousands of empty layouts.
    if (Layouts.size() > 2)
        Layouts.erase(std::remove_if(Layouts.begin() + 2, Layouts.end(),
                                     [](const auto& l) { return IsEmptyBox(l->Box); }),
                      Layouts.end());
    if (dropPaper && Layouts.size() > 1) Layouts.erase(Layouts.begin() + 1);
}

void TkrDXFConverter::Clear() {
    HighChars1 = HighChars2 = 0;
    Utf8Text = Utf8Bom = false;
    Bounds.Clear();
    EntityCount = 0;
    NonPlanView = false;
    ModelViewBox = EmptyBox;
    PendingLayout.reset();
    ImageDefs.clear();
    XrefsInUse.clear();
    Objects.Clear();
    ObjectsAwaited = false;
    XrefBytes = 0;
    ViewportDrawing = false;
    FHeaderNumbers.clear();
    FNames.clear();
    FNameIds.clear();
    FNameRuns.clear();
    std::fill(std::begin(FRecentNames), std::end(FRecentNames), kNoName);
    FBlockIndex = {};
    // The layouts go before the blocks they show: a block destroyed while
    // layouts refer to it looks for them among the layouts.
    Layouts.clear();
    for (int k = 0; k < 3; ++k)
        if (FSectionPtr[k]) FSectionPtr[k]->Entities.clear();
    // Take the three slot sections out of the root (they stay as the slots'
    // own, empty), then destroy everything else the root holds.
    if (RootSection) {
        auto& list = RootSection->Entities;
        for (int k = 0; k < 3; ++k) {
            auto it = std::find_if(list.begin(), list.end(), [&](auto& e) { return e.get() == FSectionPtr[k]; });
            if (it != list.end() && !FSections[k]) {
                FSections[k].reset(static_cast<TkrDXFSection*>(it->release()));
                list.erase(it);
            }
        }
        list.clear();  // sections nested elsewhere re-create their slot through ForgetTable
    }
    for (int k = 0; k < 3; ++k)
        if (!FSectionPtr[k]) {
            FSections[k] = std::make_unique<TkrDXFSection>();
            FSections[k]->SlotOwner = this;
            FSectionPtr[k] = FSections[k].get();
        }
    for (auto& t : FTables) t = nullptr;
    FOwnTables.clear();
    FLayerIndex = {};
    FLayerHandles = {};
    FBlockRecords = {};
    FLastLayer = nullptr;
    FStyleIndex = {};
    FLTypeIndex = {};
    FBlockIndex = {};
    // A new load starts again from the two default layouts, so that nothing
    // of a previous drawing (layout names, boxes, block references) carries
    // over into the next one.
    Layouts.clear();
    Layouts.push_back(std::make_unique<TkrDXFLayout>("Model", "*MODEL_SPACE"));
    Layouts.push_back(std::make_unique<TkrDXFLayout>("Layout1", "*PAPER_SPACE"));
}

int64_t TkrDXFConverter::ProgressTotal() const {
    int64_t t = Loading ? int64_t(TextEnd) : EntityCount;
    return t < 1 ? 1 : t;
}

void TkrDXFConverter::CountDashScratch() {
    DashPointsLeft -= std::min<uint64_t>(DashPointsLeft, DashScratch.size());
    DashScratch.clear();
    // A working list grown past 64 Ki points (a huge dashed entity) is not
    // kept for the rest of the drawing.
    if (DashScratch.capacity() > 65536) std::vector<TPoint3F>().swap(DashScratch);
}

double TkrDXFConverter::ValueAsFloat() const {
    if (FNumberKind == TNumberKind::Real) return FReal;
    if (FNumberKind == TNumberKind::Integer) return double(FInteger);
    double v;
    if (!ParseDouble(Value, v)) throw EConvertError("'" + Cp1252ToUtf8(Value) + "' ist kein gültiger Gleitkommawert");
    return v;
}

int32_t TkrDXFConverter::ValueAsInt() const {
    // A binary integer beyond 32 bits is refused as its text would be.
    if (FNumberKind == TNumberKind::Integer && FInteger == int64_t(int32_t(FInteger))) return int32_t(FInteger);
    int32_t v;
    if (!ParseInt32(TrimBlanks(Value), v))
        throw EConvertError("'" + Cp1252ToUtf8(Value) + "' ist kein gültiger Integerwert");
    return v;
}

TColorValue TkrDXFConverter::ValueAsColor() const { return ColorFromIndex(ValueAsInt()); }

std::string_view TkrDXFConverter::TextValue() const {
    if (!Utf8Text || IsAscii(Value)) return Value;
    FDecoded = Utf8ToCp1252(Value);
    return FDecoded;
}

std::string_view TkrDXFConverter::DrawnTextValue() const {
    if (Utf8Text && !IsAscii(Value)) FDecoded = Utf8ToDrawnText(Value);
    else if (HasDrawnTextMark(Value)) FDecoded = Cp1252ToDrawnText(Value);
    else return Value;
    return FDecoded;
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

TkrDXFEntity* TkrDXFConverter::Lookup(TNameIndex& idx, const TkrDXFTable* table, std::string_view name,
                                      bool firstWins, TEntityClass cls) const {
    if (!table) return nullptr;
    if (idx.Table != table || idx.Indexed > table->Entities.size()) {
        idx.Table = table;
        idx.Indexed = 0;
        idx.Map.clear();
    }
    auto fold = [&](std::string_view s) { return cls == TEntityClass::LineType ? FoldCp1252(s) : LowerAscii(s); };
    for (; idx.Indexed < table->Entities.size(); ++idx.Indexed) {
        TkrDXFEntity* e = table->Entities[idx.Indexed].get();
        if (!e->Is(cls)) continue;
        std::string key = fold(static_cast<TkrDXFPenTableItem*>(e)->Name);
        if (firstWins) idx.Map.emplace(std::move(key), e);
        else idx.Map[std::move(key)] = e;
    }
    auto it = idx.Map.find(fold(name));
    return it == idx.Map.end() ? nullptr : it->second;
}

const std::unordered_multimap<uint32_t, TkrDXFLayer*>& TkrDXFConverter::LayersByHandle() const {
    THandleIndex& idx = FLayerHandles;
    const TkrDXFTable* table = FTables[tkLayer - 3];
    if (idx.Table != table || (table && idx.Indexed > table->Entities.size())) idx = {table, 0, {}};
    if (!table) return idx.Map;
    for (; idx.Indexed < table->Entities.size(); ++idx.Indexed) {
        TkrDXFEntity* e = table->Entities[idx.Indexed].get();
        if (e->Is(TEntityClass::Layer)) idx.Map.emplace(e->Handle, static_cast<TkrDXFLayer*>(e));
    }
    return idx.Map;
}

TkrDXFLayer* TkrDXFConverter::FindOrCreateLayer(std::string_view name) {
    if (!FTables[tkLayer - 3]) {
        FOwnTables.push_back(std::make_unique<TkrDXFTable>());
        FOwnTables.back()->Name = "LAYER";
        SetTable(tkLayer, FOwnTables.back().get());
    }
    TkrDXFTable* t = FTables[tkLayer - 3];
    if (FLastLayer && FLayerIndex.Table == t && FLayerIndex.Indexed == t->Entities.size() && name == FLastLayerName)
        return FLastLayer;
    if (auto* e = Lookup(FLayerIndex, t, name, false, TEntityClass::Layer)) {
        if (FLayerIndex.Indexed == t->Entities.size()) FLastLayerName.assign(name), FLastLayer = static_cast<TkrDXFLayer*>(e);
        return static_cast<TkrDXFLayer*>(e);
    }
    auto layer = std::make_unique<TkrDXFLayer>();
    layer->Name = std::string(name);
    layer->Pattern = DefaultPattern();
    TkrDXFLayer* raw = layer.get();
    t->Entities.push_back(std::move(layer));
    return raw;
}

TkrDXFStyle* TkrDXFConverter::FindOrCreateStyle(std::string_view name) {
    if (!FTables[tkStyle - 3]) {
        FOwnTables.push_back(std::make_unique<TkrDXFTable>());
        FOwnTables.back()->Name = "STYLE";
        SetTable(tkStyle, FOwnTables.back().get());
    }
    TkrDXFTable* t = FTables[tkStyle - 3];
    if (auto* e = Lookup(FStyleIndex, t, name, false, TEntityClass::Style)) return static_cast<TkrDXFStyle*>(e);
    auto style = std::make_unique<TkrDXFStyle>();
    style->Name = std::string(name);
    style->Loaded(*this);
    TkrDXFStyle* raw = style.get();
    t->Entities.push_back(std::move(style));
    return raw;
}

TkrDXFLineType* TkrDXFConverter::FindLineType(std::string_view name) const {
    return static_cast<TkrDXFLineType*>(Lookup(FLTypeIndex, FTables[tkLType - 3], name, true, TEntityClass::LineType));
}

const TkrLines* TkrDXFConverter::LineTypePattern(std::string_view name) const {
    TkrDXFLineType* lt = FindLineType(name);
    return lt ? &lt->Pattern : nullptr;
}

std::string TkrDXFConverter::BlockRecordName(uint32_t handle) const {
    // The first entry of the handle, as a search of the table in order finds it.
    TRecordIndex& idx = FBlockRecords;
    const TkrDXFTable* t = FTables[tkBlockRecord - 3];
    if (idx.Table != t || (t && idx.Indexed > t->Entities.size())) idx = {t, 0, {}};
    if (!t) return {};
    for (; idx.Indexed < t->Entities.size(); ++idx.Indexed) {
        const TkrDXFEntity* e = t->Entities[idx.Indexed].get();
        if (e->Is(TEntityClass::BlockRecord)) idx.Map.emplace(e->Handle, static_cast<const TkrDXFBlockRecord*>(e));
    }
    auto it = idx.Map.find(handle);
    return it == idx.Map.end() ? std::string() : UpperAscii(it->second->Name);
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
    ModelViewBox = EmptyBox;
    auto project = [&](const TBox3F& b) {
        if (IsEmptyBox(b)) return;
        for (float x : {b.Left, b.Right})
            for (float y : {b.Top, b.Bottom})
                for (float z : {b.Z1, b.Z2}) {
                    TPoint3F q = TransformPoint({x, y, z}, ViewTransform);
                    if (std::isfinite(q.X) && std::isfinite(q.Y) && std::isfinite(q.Z)) ExpandBox(ModelViewBox, q);
                }
    };
    TBox3F m = EmptyBox, p = EmptyBox;
    if (TkrDXFGroup* ents = GetTable(tkEntities))
        for (auto& e : ents->Entities) {
            if (!e->OnDraw) continue;
            if (e->Layer && e->Layer->Name != "0" && !e->Layer->IsVisible()) continue;
            // A point counts for no extents, but is screened like the rest.
            const TBox3F b = ScreenedBox(*e, Bounds);
            if (e->Is(TEntityClass::Point)) continue;
            UnionBox(e->PaperSpace ? p : m, b);
            if (turned && !e->PaperSpace) project(b);
        }
    if (turned) project(l0);
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
