// The parts of a drawing the reader files what it reads into: the root
// section with every SECTION of the file, the slots of the TABLES, BLOCKS
// and ENTITIES sections and of the LTYPE, LAYER, BLOCK_RECORD and STYLE
// tables, the layouts, the objects entities refer to, and the indexes that
// find tables' entries and blocks by name or handle. The indexes are kept in
// step with their tables (entries are only appended while a drawing is read).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/entity.h"
#include "model/objects.h"

class TkrDXFLayout;
class TkrDXFBlock;
class TkrDXFStyle;

// Table kinds of GetTable/SetTable/TableCount.
enum : int {
    tkTables = 0, tkBlocks = 1, tkEntities = 2,
    tkLType = 3, tkLayer = 4, tkBlockRecord = 5, tkStyle = 6
};

class TDrawingTables {
public:
    // Empty slots and the two default layouts ("Model", "Layout1").
    TDrawingTables();
    ~TDrawingTables();
    TDrawingTables(const TDrawingTables&) = delete;
    TDrawingTables& operator=(const TDrawingTables&) = delete;

    std::unique_ptr<TkrDXFSection> RootSection;
    std::vector<std::unique_ptr<TkrDXFLayout>> Layouts;
    std::vector<TkrDXFEntity*> ImageDefs;  // not owned: entities of the OBJECTS section
    std::vector<TkrDXFEntity*> XrefsInUse;  // not owned: held by their blocks
    // The style objects entities refer to (see model/objects.h).
    TObjectIndex Objects;

    TkrDXFGroup* GetTable(int kind) const;
    void SetTable(int kind, TkrDXFEntity* table);
    int TableCount(int kind) const;
    TkrDXFSection* Section(int kind) const { return static_cast<TkrDXFSection*>(GetTable(kind & 3)); }
    TkrDXFEntity* EntityAt(int i) const;
    TkrDXFLayer* LayerAt(int i) const;
    TkrDXFLayout* LayoutAt(int i) const;
    int LayoutCount() const { return int(Layouts.size()); }
    void SetModelLayout(std::unique_ptr<TkrDXFLayout> layout);
    void SetPaperLayout(std::unique_ptr<TkrDXFLayout> layout);
    void PruneLayouts(bool dropPaper);

    TkrDXFLayer* FindOrCreateLayer(std::string_view name);
    // Calls f with every layer of the LAYER table whose handle is h.
    template <class F>
    void ForLayersOfHandle(uint32_t h, F&& f) const {
        auto [from, to] = LayersByHandle().equal_range(h);
        for (auto it = from; it != to; ++it) f(*it->second);
    }
    TkrDXFLineType* FindLineType(std::string_view name) const;
    const TkrLines* LineTypePattern(std::string_view name) const;
    std::string BlockRecordName(uint32_t handle) const;
    TkrDXFBlock* FindBlock(std::string_view name) const;
    // The first block of the BLOCKS section whose upper-cased name equals
    // upperName (which must be upper case too).
    TkrDXFBlock* FindBlockUpper(std::string_view upperName) const;
    // The first block of the BLOCKS section whose owner handle (code 330,
    // upper case) equals handle, which must be upper case too.
    TkrDXFBlock* FindBlockByOwner(std::string_view handle) const;

    // Installs a section read from the file into slot kind (0..2), destroying
    // the section held there so far. The section stays owned by the root.
    void InstallSection(int kind, TkrDXFSection* s);
    // Called by a table or section that a slot refers to when it is destroyed.
    void ForgetTable(TkrDXFTable* t);

protected:
    // Destroys everything read: the layouts first, then the sections and
    // tables, and starts again from empty slots and the default layouts.
    void ClearTables();
    // Destroys the root and the slots (the end of the drawing).
    void DestroyTables();
    // The table of a kind, made empty (named name) when the drawing has none.
    TkrDXFTable& OwnTable(int kind, const char* name);

    // Name indexes of the LAYER, STYLE and LTYPE tables.
    struct TNameIndex {
        const TkrDXFTable* Table = nullptr;
        size_t Indexed = 0;
        std::unordered_map<std::string, TkrDXFEntity*> Map;
    };
    mutable TNameIndex FStyleIndex;
    TkrDXFEntity* Lookup(TNameIndex& idx, const TkrDXFTable* table, std::string_view name, bool firstWins,
                         TEntityClass cls) const;

private:
    // Slots: the sections TABLES, BLOCKS, ENTITIES (owned here while they are
    // not children of the root) and the tables (owned by the TABLES section).
    std::unique_ptr<TkrDXFSection> FSections[3];
    TkrDXFSection* FSectionPtr[3] = {};
    TkrDXFTable* FTables[4] = {};
    // Tables made on demand before (or without) a TABLES section.
    std::vector<std::unique_ptr<TkrDXFTable>> FOwnTables;

    mutable TNameIndex FLayerIndex, FLTypeIndex;
    // Layers by handle (a viewport's frozen layers).
    struct THandleIndex {
        const TkrDXFTable* Table = nullptr;
        size_t Indexed = 0;
        std::unordered_multimap<uint32_t, TkrDXFLayer*> Map;
    };
    mutable THandleIndex FLayerHandles;
    const std::unordered_multimap<uint32_t, TkrDXFLayer*>& LayersByHandle() const;
    // The first BLOCK_RECORD entry of each handle: a drawing of many layouts
    // looks one up per layout.
    struct TRecordIndex {
        const TkrDXFTable* Table = nullptr;
        size_t Indexed = 0;
        std::unordered_map<uint32_t, const TkrDXFBlockRecord*> Map;
    };
    mutable TRecordIndex FBlockRecords;
    // Blocks of the BLOCKS section by exact name (the first block of a name
    // wins), extended as blocks are appended and reset whenever the section
    // slot changes or the model is cleared, so that it never refers to a
    // destroyed block.
    struct TBlockIndex {
        size_t Indexed = 0;
        std::unordered_map<std::string, TkrDXFBlock*> Map;
        std::unordered_map<std::string, TkrDXFBlock*> ByOwner;
        std::unordered_map<std::string, TkrDXFBlock*> ByUpperName;
    };
    mutable TBlockIndex FBlockIndex;
    TBlockIndex& IndexedBlocks() const;
    // The last layer looked up by name, since entities mostly come in runs
    // on one layer.
    std::string FLastLayerName;
    TkrDXFLayer* FLastLayer = nullptr;
};
