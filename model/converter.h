// TkrDXFConverter turns the text of a DXF file into the drawing model: the
// root section with every SECTION of the file, the LTYPE, LAYER,
// BLOCK_RECORD and STYLE tables, the blocks, the entities and the layouts. It
// reads the file as a stream of groups (a code line and a value line, or a
// binary code and value in a binary DXF file); every 0 group creates an entity
// that reads the groups after it. Of a file read from a stream it holds only
// a window (the current group and what follows it, a few megabytes at a
// time); nothing of the text is kept once the file is loaded.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/entity.h"
#include "model/geometry.h"
#include "model/header_lookup.h"
#include "model/limits.h"
#include "model/objects.h"
#include "platform/font_metrics.h"
#include "platform/scoped.h"

class TkrDXFLayout;
class TkrDXFBlock;
class TkrDXFInsert;
class TkrDXFStyle;
class TXrefLoader;

// Table kinds of GetTable/SetTable/TableCount.
enum : int {
    tkTables = 0, tkBlocks = 1, tkEntities = 2,
    tkLType = 3, tkLayer = 4, tkBlockRecord = 5, tkStyle = 6
};

// The largest text the reader accepts. Offsets into the text are 32-bit, and a
// larger drawing would not fit the model in the memory of a desktop machine.
constexpr size_t kMaxDxfTextSize = size_t(1) << 30;  // 1 GiB
// Refuses a drawing text of size bytes past kMaxDxfTextSize, wherever it is
// read from: ELimitError "WHAT too large: N bytes (at most M are read)".
void CheckDxfTextSize(uint64_t size, const std::string& what = "DXF file");
// Deepest nesting of containers (sections, tables, blocks, entities with
// children) the reader follows; a deeper file is refused with an error.
constexpr int kMaxContainerDepth = 256;
// Bytes the reader takes from a stream at a time. The window holds the
// current group and the bytes after it: this much, or more for a longer line.
constexpr size_t kReadWindow = size_t(4) << 20;  // 4 MiB

class TkrDXFConverter {
public:
    TkrDXFConverter();
    virtual ~TkrDXFConverter();
    TkrDXFConverter(const TkrDXFConverter&) = delete;
    TkrDXFConverter& operator=(const TkrDXFConverter&) = delete;

    // Events (fired only when set).
    std::function<void(TkrDXFConverter&)> OnStart, OnEnd, OnProgress;
    std::function<void(TkrDXFEntity&)> OnCreateEntity;
    std::function<void(TkrDXFInsert&, bool after)> OnInsert;
    std::function<void(TkrDXFEntity& viewport)> OnViewport;

    // Reading state. Position, GroupStart and TextEnd are offsets from the
    // start of the file; TextEnd (the size of the file) stays after loading.
    // Text is a whole text for Load, released by it.
    std::string Text;
    size_t Position = 0;
    size_t GroupStart = 0;
    size_t TextEnd = 0;
    // Bytes taken from a stream at a time (see kReadWindow), and the most
    // bytes the window held during the last load.
    size_t ReadWindow = kReadWindow;
    size_t WindowPeak = 0;
    int32_t LineNumber = 0;
    int32_t Code = 0;
    // The current value line: a view into the window (or onto the end
    // marker "SEQEND" once the text is exhausted), never a copy. Valid until
    // the next group is read: the window may move then.
    std::string_view Value;
    bool Loading = false;
    // The file is binary DXF (see model/binary_dxf.h); set by Load. The
    // group loop then takes its groups from the binary form, and a binary
    // number keeps its exact value (Value holds its text form).
    bool BinarySource = false;
    bool BinaryWideCodes = true;  // 16-bit group codes (release 13 and later)
    // True from the name of an OBJECTS section until the next section names
    // itself: the groups read belong to objects, not entities.
    bool ReadingObjects = false;
    // True from the name of an ENTITIES or BLOCKS section until the next
    // section names itself: an entity of an unknown name read there may
    // carry proxy graphics.
    bool ReadingGraphics = false;
    // Files of release AC1021 and later store their text in UTF-8 (the
    // header's $ACADVER tells), as do files that begin with a UTF-8
    // byte-order mark (Utf8Bom); texts and names are held in Windows-1252.
    bool Utf8Text = false;
    bool Utf8Bom = false;
    // Bounds reached while loading and drawing (see model/limits.h).
    TBoundHits Bounds;

    // Model.
    std::unique_ptr<TkrDXFSection> RootSection;
    std::vector<std::unique_ptr<TkrDXFLayout>> Layouts;
    std::vector<TkrDXFEntity*> ImageDefs;  // not owned: entities of the OBJECTS section
    std::vector<TkrDXFEntity*> XrefsInUse;  // not owned: held by their blocks
    // The style objects entities refer to (see model/objects.h), and whether
    // some entity waits for them to be finished once the file is read.
    TObjectIndex Objects;
    bool ObjectsAwaited = false;

    // Settings.
    int32_t SplineParts = 25;
    int32_t CirclePoints = 16;
    double LTScale = 0;  // 0: not looked up yet
    // Largest distance (drawing units) a chord of a circle, arc, ellipse,
    // bulge or spline may stray from the true curve; 0: the fixed counts
    // (CirclePoints, SplineParts, 16 chords a bulge). A tolerance only adds
    // points: no curve gets fewer than the fixed counts give it. The drawing
    // makes the curves' points again with it: changed only before the text
    // is read (or read again, see Reload).
    double ChordTolerance = 0;

    // View.
    TPoint3F ViewDirection{0, 0, 1};
    float ViewTwist = 0;
    bool ActiveVportRead = false;
    bool NonPlanView = false;
    TMatrix4x3F ViewTransform = IdentityMatrix();
    // With a view that turns the model (NonPlanView, or a twist): the box of
    // the model layout's geometry in view coordinates (ComputeExtents).
    TBox3F ModelViewBox = EmptyBox;

    // Drawing state set by the drawing graphic.
    TDrawContext* DrawContext = nullptr;
    TBox3F ClipBox = EmptyBox;
    bool ClipEnabled = false;
    bool ClipStrict = false;
    bool CurrentSpace = false;
    bool ExpandInserts = true;
    int32_t PendingRefs = 0;
    // True while a viewport draws the model space: a viewport met in that
    // content (inside a block the model inserts) does not draw the model
    // again inside itself.
    bool ViewportDrawing = false;

    // The entities of the ENTITIES section are finished on a thread of their
    // own while the reader reads on (model/finishing.h): set by whoever loads
    // and has a core to spare. The model is the same either way.
    bool FinishOnThread = false;

    // External drawings. The loader (none: nothing is loaded, every
    // reference shows its path) and the folder of the file the text came
    // from are set by whoever loads the drawing; references resolve against
    // that folder, never against the process's current folder. XrefBytes is
    // the size of all external drawings loaded for this drawing.
    TXrefLoader* XrefLoader = nullptr;
    std::string SourceFolder;
    uint64_t XrefBytes = 0;

    // Counters.
    int32_t EntityCount = 0;
    // SECTIONs the file holds at its top level (none: the file is no drawing).
    int32_t SectionsRead = 0;
    int32_t EntitiesStarted = 0;
    int32_t SectionEntities = 0;
    int32_t HighChars1 = 0;  // characters 128..175 met in TEXT values
    int32_t HighChars2 = 0;  // characters 192..223 and 240..255

    // Working list the entities cut their dash pairs into while they are
    // finished, to count them (the pairs are made again when drawn).
    // Emptied after every use.
    std::vector<TPoint3F> DashScratch;
    // Dash points the drawing may still cut (see kDashPointsBase); Load sets
    // it from the size of the text, CountDashScratch counts it down.
    uint64_t DashPointsLeft = kDashPointsBase;
    // The most points the next dashed entity may cut.
    size_t DashPointLimit() const {
        return DashPointsLeft < kMaxEntityPoints ? size_t(DashPointsLeft) : kMaxEntityPoints;
    }
    // The cosines and sines of the last tessellated angle sequence: every
    // full circle of a drawing walks the same angles, so they are computed
    // once per drawing while it is finished. Per converter, not shared.
    TAngleTable AngleTable;
    // Counts the working list's points against the dash budget, then empties
    // it (releasing it when a huge entity made it large).
    void CountDashScratch();

    // Measures text extents for the texts being finished: the built-in
    // advance-width tables unless a caller sets another service.
    const TTextMeasure* Measure = &FOwnMeasure;

    // Nesting of the entity currently being read (bounded by kMaxContainerDepth).
    int ReadDepth = 0;
    // A LAYOUT accepted by its section, until its Loaded files it into Layouts.
    std::unique_ptr<TkrDXFEntity> PendingLayout;

    virtual std::unique_ptr<TkrDXFSection> CreateRootSection();

    // Loads Text, then releases it.
    void Load();
    // Convenience: takes the text and loads it.
    void LoadFromText(std::string text);
    // Loads a text the caller keeps until the call returns; nothing is copied.
    void LoadFromView(std::string_view text);
    // Loads the size bytes the stream holds from where it stands, a window
    // at a time. The stream must be able to seek (a file): header variables
    // asked for while loading may be searched for further on. A stream that
    // ends early ends the load with an error.
    void LoadFromStream(std::istream& in, uint64_t size);
    void Clear();
    void ComputeExtents();

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
    TkrDXFStyle* FindOrCreateStyle(std::string_view name);
    std::string BlockRecordName(uint32_t handle) const;
    TkrDXFBlock* FindBlock(std::string_view name) const;
    // The first block of the BLOCKS section whose upper-cased name equals
    // upperName (which must be upper case too).
    TkrDXFBlock* FindBlockUpper(std::string_view upperName) const;
    // The first block of the BLOCKS section whose owner handle (code 330,
    // upper case) equals handle, which must be upper case too.
    TkrDXFBlock* FindBlockByOwner(std::string_view handle) const;

    // The value of a header variable listed in kHeaderVariables (empty for
    // any other, and when it does not occur): see model/header_lookup.h.
    std::string HeaderValue(std::string_view variable, int code) const;
    // The header variable read as a number (def when it is absent or not a
    // finite number), looked up once per drawing: leaders ask for their
    // arrow size one by one.
    double HeaderNumber(std::string_view variable, int code, double def);
    double GlobalLineTypeScale();

    void SetCirclePoints(int n);
    void SetSplineParts(int n);

    int64_t ProgressPosition() const { return TextEnd == 0 ? 0 : int64_t(Position); }
    int64_t ProgressTotal() const;

    // Group access for entities.
    double ValueAsFloat() const;
    int32_t ValueAsInt() const;
    TColorValue ValueAsColor() const;
    void ValueAsZ(TPoint3F& p) const { p.Z = float(ValueAsFloat()); }
    // The value as text in Windows-1252: decoded from UTF-8 for files that
    // store UTF-8, else the value itself. Valid until the next call or group.
    std::string_view TextValue() const;
    // The value as drawn text (see platform/codepage.h): Windows-1252 that
    // keeps the characters the code page lacks, for the strings texts draw.
    std::string_view DrawnTextValue() const;

    // Reading primitives.
    void ReadGroup();
    // The 0 group's name at an entity's SourceStart, as the file wrote it
    // (trimmed), in either form; empty when there is none. Answered from the
    // names RecordEntityName kept, since the text is gone after loading.
    std::string_view EntityNameAt(size_t pos) const;
    // Keeps the name of the current group for the entity starting there.
    void RecordEntityName();
    bool TextExhausted() const { return Position >= TextEnd; }
    std::unique_ptr<TkrDXFEntity> CreateEntity(std::string_view name);

private:
    // The group loop's binary source (model/binary_dxf.cpp).
    void ReadBinaryGroup();
    // The window: the bytes of the file from FWindowStart on that are in
    // memory (the whole text, or FBuffer filled from FSource).
    void LoadSource();
    bool Refill();
    bool ReadLineInWindow();
    void ReadLineAcrossWindow();
    void ReleaseWindow();
    // Reads on for the header lookups (one, or all with kHeaderVariableCount)
    // until they end, without moving the window.
    void FinishHeader(size_t lookup) const;
    std::string_view GroupNameAt(size_t pos) const;
    std::string_view FWindow;
    size_t FWindowStart = 0;
    std::unique_ptr<char[]> FBuffer;
    size_t FBufferSize = 0, FBufferCapacity = 0;
    std::istream* FSource = nullptr;
    // The code line of the current group read "0" exactly (after trimming).
    bool FPlainZero = false;
    std::streamoff FSourceStart = 0;
    mutable THeaderLookups FHeader;
    // Names of the 0 groups that started entities, and runs of positions
    // that share one (position of the first, name index or kNoName).
    static constexpr uint32_t kNoName = UINT32_MAX;
    std::vector<std::string> FNames;
    std::unordered_map<std::string, uint32_t> FNameIds;
    std::vector<std::pair<uint32_t, uint32_t>> FNameRuns;
    uint32_t FRecentNames[8] = {kNoName, kNoName, kNoName, kNoName, kNoName, kNoName, kNoName, kNoName};
    // The value of the current binary group when it is a number; FValueText
    // holds the text form of numbers and chunks.
    enum class TNumberKind : uint8_t { None, Integer, Real } FNumberKind = TNumberKind::None;
    int64_t FInteger = 0;
    double FReal = 0;
    std::string FValueText;

    TFontTableMeasure FOwnMeasure;
    mutable std::string FDecoded;  // the last value TextValue decoded
    // Slots: the sections TABLES, BLOCKS, ENTITIES (owned here while they are
    // not children of the root) and the tables (owned by the TABLES section).
    std::unique_ptr<TkrDXFSection> FSections[3];
    TkrDXFSection* FSectionPtr[3] = {};
    TkrDXFTable* FTables[4] = {};
    // Tables made on demand before (or without) a TABLES section.
    std::vector<std::unique_ptr<TkrDXFTable>> FOwnTables;

    friend class TkrDXFSection;
    friend class TkrDXFTable;

public:
    // Installs a section read from the file into slot kind (0..2), destroying
    // the section held there so far. The section stays owned by the root.
    void InstallSection(int kind, TkrDXFSection* s);
    // Called by a table or section that a slot refers to when it is destroyed.
    void ForgetTable(TkrDXFTable* t);

private:
    // Name indexes of the LAYER and STYLE tables, kept in step with the table
    // (entries are only appended while a drawing is read).
    struct TNameIndex {
        const TkrDXFTable* Table = nullptr;
        size_t Indexed = 0;
        std::unordered_map<std::string, TkrDXFEntity*> Map;
    };
    mutable TNameIndex FLayerIndex, FStyleIndex, FLTypeIndex;
    // Layers by handle (a viewport's frozen layers), kept in step like the
    // name indexes.
    struct THandleIndex {
        const TkrDXFTable* Table = nullptr;
        size_t Indexed = 0;
        std::unordered_multimap<uint32_t, TkrDXFLayer*> Map;
    };
    mutable THandleIndex FLayerHandles;
    const std::unordered_multimap<uint32_t, TkrDXFLayer*>& LayersByHandle() const;
    // The first BLOCK_RECORD entry of each handle, kept in step like the
    // name indexes: a drawing of many layouts looks one up per layout.
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
    // HeaderNumber's values (NaN: absent or not a number), emptied by Clear.
    std::unordered_map<std::string, double> FHeaderNumbers;
    // The last layer looked up by name, since entities mostly come in runs
    // on one layer.
    std::string FLastLayerName;
    TkrDXFLayer* FLastLayer = nullptr;
    TkrDXFEntity* Lookup(TNameIndex& idx, const TkrDXFTable* table, std::string_view name, bool firstWins,
                         TEntityClass cls) const;
};

// Hands the current group to a reading as another code: the converter's
// code is the given one while this lives, and is put back on every way out.
class TGroupCodeAs : TScopedRestore<int32_t> {
public:
    TGroupCodeAs(TkrDXFConverter& c, int code) : TScopedRestore(c.Code, code) {}
};

