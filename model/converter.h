// TkrDXFConverter turns the text of a DXF file into the drawing model: the
// root section with every SECTION of the file, the LTYPE, LAYER,
// BLOCK_RECORD and STYLE tables, the blocks, the entities and the layouts.
// It reads the file as a stream of groups; every 0 group creates an entity
// that reads the groups after it. Nothing of the text is kept once the file
// is loaded.
//
// It is made of parts with headers of their own:
//  - the group reader (model/group_reader.h): the window over the file, the
//    current group and its value, the header variables, the entity names;
//  - the drawing's sections, tables, layouts and their indexes
//    (model/drawing_tables.h);
//  - the read settings (model/read_settings.h): curve points, tolerance;
//  - the finishing state (model/finishing_state.h): what finishing an entity
//    may change besides the entity, the part a finishing thread touches;
//  - the state the drawing graphic sets while it draws (model/draw_state.h).
// What stays here: the events, the load itself, the view, the external
// drawings, the counters and the entities' creation.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "model/draw_state.h"
#include "model/drawing_tables.h"
#include "model/finishing_state.h"
#include "model/group_reader.h"
#include "model/read_settings.h"
#include "platform/scoped.h"

class TkrDXFInsert;
class TXrefLoader;

// The largest text the reader accepts. Offsets into the text are 32-bit, and a
// larger drawing would not fit the model in the memory of a desktop machine.
constexpr size_t kMaxDxfTextSize = size_t(1) << 30;  // 1 GiB
// Refuses a drawing text of size bytes past kMaxDxfTextSize, wherever it is
// read from: ELimitError "WHAT too large: N bytes (at most M are read)".
void CheckDxfTextSize(uint64_t size, const std::string& what = "DXF file");
// Deepest nesting of containers (sections, tables, blocks, entities with
// children) the reader follows; a deeper file is refused with an error.
constexpr int kMaxContainerDepth = 256;

class TkrDXFConverter : public TDxfGroupReader,
                        public TDrawingTables,
                        public TReadSettings,
                        public TFinishingState,
                        public TDrawState {
public:
    TkrDXFConverter();
    virtual ~TkrDXFConverter();
    TkrDXFConverter(const TkrDXFConverter&) = delete;
    TkrDXFConverter& operator=(const TkrDXFConverter&) = delete;

    // Events (fired only when set).
    std::function<void(TkrDXFConverter&)> OnStart, OnEnd, OnProgress;
    std::function<void(TkrDXFEntity&)> OnCreateEntity;
    // The draw procedure the graphic that reads this drawing attaches to the
    // entities it creates: their OnDraw refers to it, and it lives as long
    // as they do.
    TDrawEvent DrawEvent;
    std::function<void(TkrDXFInsert&, bool after)> OnInsert;
    std::function<void(TkrDXFEntity& viewport)> OnViewport;

    // True from the name of an OBJECTS section until the next section names
    // itself: the groups read belong to objects, not entities.
    bool ReadingObjects = false;
    // True from the name of an ENTITIES or BLOCKS section until the next
    // section names itself: an entity of an unknown name read there may
    // carry proxy graphics.
    bool ReadingGraphics = false;
    // Some entity waits for the style objects (Objects) to be finished once
    // the file is read.
    bool ObjectsAwaited = false;

    // View.
    TPoint3F ViewDirection{0, 0, 1};
    float ViewTwist = 0;
    bool ActiveVportRead = false;
    bool NonPlanView = false;
    TMatrix4x3F ViewTransform = IdentityMatrix();
    // With a view that turns the model (NonPlanView, or a twist): the box of
    // the model layout's geometry in view coordinates (ComputeExtents).
    TBox3F ModelViewBox = EmptyBox;

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

    TkrDXFStyle* FindOrCreateStyle(std::string_view name);
    double GlobalLineTypeScale();

    void SetCirclePoints(int n);
    void SetSplineParts(int n);

    int64_t ProgressTotal() const;

    std::unique_ptr<TkrDXFEntity> CreateEntity(std::string_view name);

private:
    void LoadSource();
};

// Hands the current group to a reading as another code: the converter's
// code is the given one while this lives, and is put back on every way out.
class TGroupCodeAs : TScopedRestore<int32_t> {
public:
    TGroupCodeAs(TkrDXFConverter& c, int code) : TScopedRestore(c.Code, code) {}
};
