#include "model/drawing_tables.h"

#include <algorithm>

#include "model/entities/blocks.h"
#include "model/entities/layout.h"
#include "model/errors.h"
#include "model/parsing.h"

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


TDrawingTables::TDrawingTables() {
    for (int k = 0; k < 3; ++k) {
        FSections[k] = std::make_unique<TkrDXFSection>();
        FSections[k]->SlotOwner = this;
        FSectionPtr[k] = FSections[k].get();
    }
    Layouts.push_back(std::make_unique<TkrDXFLayout>("Model", "*MODEL_SPACE"));
    Layouts.push_back(std::make_unique<TkrDXFLayout>("Layout1", "*PAPER_SPACE"));
}

TDrawingTables::~TDrawingTables() = default;

void TDrawingTables::DestroyTables() {
    // The root first (it may hold sections read from a file), then the slots.
    RootSection.reset();
    for (auto& s : FSections) s.reset();
    FOwnTables.clear();
}

TkrDXFTable& TDrawingTables::OwnTable(int kind, const char* name) {
    if (!FTables[kind - 3]) {
        FOwnTables.push_back(std::make_unique<TkrDXFTable>());
        FOwnTables.back()->Name = name;
        SetTable(kind, FOwnTables.back().get());
    }
    return *FTables[kind - 3];
}

void TDrawingTables::ForgetTable(TkrDXFTable* t) {
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

void TDrawingTables::InstallSection(int kind, TkrDXFSection* s) {
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

void TDrawingTables::SetTable(int kind, TkrDXFEntity* table) {
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

TkrDXFGroup* TDrawingTables::GetTable(int kind) const {
    kind &= 0x7F;
    if (kind <= 2) return FSectionPtr[kind];
    if (kind <= 6) return FTables[kind - 3];
    return nullptr;
}

int TDrawingTables::TableCount(int kind) const {
    TkrDXFGroup* g = GetTable(kind);
    return g ? g->Count() : 0;
}

TkrDXFEntity* TDrawingTables::EntityAt(int i) const {
    TkrDXFGroup* g = GetTable(tkEntities);
    return g ? g->GetEntity(i) : nullptr;
}

TkrDXFLayer* TDrawingTables::LayerAt(int i) const {
    TkrDXFGroup* g = GetTable(tkLayer);
    TkrDXFEntity* e = g ? g->GetEntity(i) : nullptr;
    return e && e->Is(TEntityClass::Layer) ? static_cast<TkrDXFLayer*>(e) : nullptr;
}

TkrDXFLayout* TDrawingTables::LayoutAt(int i) const {
    return i >= 0 && size_t(i) < Layouts.size() ? Layouts[size_t(i)].get() : nullptr;
}

void TDrawingTables::SetModelLayout(std::unique_ptr<TkrDXFLayout> layout) {
    if (Layouts.empty()) Layouts.push_back(std::move(layout));
    else Layouts[0] = std::move(layout);
}

void TDrawingTables::SetPaperLayout(std::unique_ptr<TkrDXFLayout> layout) {
    // Replaced in place: a drawing may file thousands of paper layouts here.
    if (Layouts.empty()) Layouts.push_back(std::make_unique<TkrDXFLayout>("Model", "*MODEL_SPACE"));
    if (Layouts.size() > 1) Layouts[1] = std::move(layout);
    else Layouts.push_back(std::move(layout));
}

void TDrawingTables::PruneLayouts(bool dropPaper) {
    // One pass that keeps the order: erasing one layout at a time would move
    // the rest of the list for each of thousands of empty layouts.
    if (Layouts.size() > 2)
        Layouts.erase(std::remove_if(Layouts.begin() + 2, Layouts.end(),
                                     [](const auto& l) { return IsEmptyBox(l->Box); }),
                      Layouts.end());
    if (dropPaper && Layouts.size() > 1) Layouts.erase(Layouts.begin() + 1);
}

void TDrawingTables::ClearTables() {
    ImageDefs.clear();
    XrefsInUse.clear();
    Objects.Clear();
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

TkrDXFEntity* TDrawingTables::Lookup(TNameIndex& idx, const TkrDXFTable* table, std::string_view name,
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

const std::unordered_multimap<uint32_t, TkrDXFLayer*>& TDrawingTables::LayersByHandle() const {
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

TkrDXFLayer* TDrawingTables::FindOrCreateLayer(std::string_view name) {
    TkrDXFTable* t = &OwnTable(tkLayer, "LAYER");
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

TkrDXFLineType* TDrawingTables::FindLineType(std::string_view name) const {
    return static_cast<TkrDXFLineType*>(Lookup(FLTypeIndex, FTables[tkLType - 3], name, true, TEntityClass::LineType));
}

const TkrLines* TDrawingTables::LineTypePattern(std::string_view name) const {
    TkrDXFLineType* lt = FindLineType(name);
    return lt ? &lt->Pattern : nullptr;
}

std::string TDrawingTables::BlockRecordName(uint32_t handle) const {
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

