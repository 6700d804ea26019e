// The entity class tree: every object of a loaded drawing, from the root
// section down to a single vertex, is a TkrDXFEntity. Each entity reads its own
// group codes (ReadProperty), finishes itself (Loaded), reports its box
// (GetBox) and is visited for drawing (Iterate). Containers own their children.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/compact_list.h"
#include "model/geometry.h"
#include "model/line_type_pattern.h"

class TkrDXFConverter;
class TDrawingTables;
class TkrDXFEntity;
class TkrDXFLayer;
class TkrDXFViewport;
struct TBoundHits;

// Every class of the tree, so that the drawing side can walk a class's
// ancestors without run-time type queries.
enum class TEntityClass : uint8_t {
    Entity, Seqend, PenEntity, PenTableItem, LineType, Layer, BlockRecord, Style,
    Group, Table, Section, Block, Polyline, LWPolyline, Circle, Arc, Ellipse, Spline, Leader,
    CustomVertex, Vertex, Insert, Dimension, MText, Text, Attdef, Attrib,
    PenLine, Line, Point, Solid, Face3d, ImageEnt, Hatch, Viewport, Vport, Xref, ImageDef, Layout,
    AcadTable,
    // Drawn from parts of their own (multileaders, multilines, wipeouts,
    // proxy graphics), meshes, construction lines, helixes, and the objects
    // of the OBJECTS section they take their styles from.
    Compound, MLeader, MLine, Wipeout, ProxyEntity, Mesh, XLine, Helix,
    MLeaderStyle, MLineStyle, WipeoutVars,
    Count
};

// The base class of a class, or Entity for the root.
TEntityClass ParentClass(TEntityClass c);
// True when c is cls or derives from it.
extern const std::array<uint64_t, size_t(TEntityClass::Count)> kClassAncestors;
inline bool ClassInherits(TEntityClass c, TEntityClass cls) {
    return (kClassAncestors[size_t(c)] >> size_t(cls)) & 1;
}
// "TkrDXFLine" and so on.
const char* ClassName(TEntityClass c);

// A drawing procedure with the object it is called on (the drawing graphic).
struct TDrawEvent {
    void (*Proc)(void* receiver, TkrDXFEntity& e) = nullptr;
    void* Receiver = nullptr;
    explicit operator bool() const { return Proc != nullptr; }
};

// How an entity is drawn, kept in one byte of it rather than as a pointer:
// every entity a graphic attaches its procedure to shares one event, its
// converter's DrawEvent, so the entity only says whether it is drawn.
//   dhNone       no drawing procedure (table entries, seqends, ...);
//   dhGraphic    the procedure of the graphic drawing it (its converter's
//                DrawEvent holds it with its receiver);
//   dhInventory  a reader that loads without drawing (an inventory, a
//                benchmark): nothing is drawn, but the entity counts for
//                extents.
enum TDrawHook : uint8_t { dhNone = 0, dhGraphic, dhInventory };

// What Iterate hands every visited entity to.
using TVisitProc = void (*)(void* receiver, TkrDXFEntity& e);

// The children of a container, in order.
using TEntityList = TCompactList<std::unique_ptr<TkrDXFEntity>>;

// Offsets into the converter's text; kNoPos when not set.
constexpr uint32_t kNoPos = UINT32_MAX;

class TkrDXFEntity {
public:
    explicit TkrDXFEntity(TEntityClass cls = TEntityClass::Entity) : Class(cls) {}
    virtual ~TkrDXFEntity() = default;
    TkrDXFEntity(const TkrDXFEntity&) = delete;
    TkrDXFEntity& operator=(const TkrDXFEntity&) = delete;

    const TEntityClass Class;
    bool Is(TEntityClass cls) const { return ClassInherits(Class, cls); }

    // (Fields ordered by size and the 4-byte ones paired, so that no room
    // goes to padding: every entity object stays small.)
    bool HasChildren = false;
    bool PaperSpace = false;
    bool Visible = true;
    // The entity's box was found unsound (see SoundBox) when the extents of
    // its container or layout were computed: it counts for no extents and
    // is not drawn.
    bool BoxUnsound = false;
    // The draw procedure the entity has, if any (see TDrawHook); the event
    // of dhGraphic outlives the entities that refer to it.
    TDrawHook OnDraw = dhNone;
    // The number of the type name the file wrote for the entity, in its
    // reader's table of names (see TDxfGroupReader::RecordEntityName); set
    // once the entity's groups are read, so that an entity still being read
    // (or whose reading failed) goes by its class name.
    uint16_t NameId = UINT16_MAX;
    uint32_t Handle = 0xFFFFFFFF;
    float LineTypeScale = 1.0f;
    TkrDXFConverter* Converter = nullptr;
    TkrDXFLayer* Layer = nullptr;
    // Where the entity's 0 group starts in the converter's text. (Where its
    // text ends is not kept: nothing reads it, and of the most numerous
    // entities it would cost the allocator's next larger class.)
    uint32_t SourceStart = kNoPos;

    virtual bool IsVisible() const;
    virtual void SetVisible(bool) {}
    virtual TBox3F GetBox() const { return EmptyBox; }
    virtual int Count() const { return 0; }
    virtual TkrDXFEntity* GetEntity(int) const { return nullptr; }
    virtual void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver);
    virtual bool InView(TkrDXFConverter& conv) const;
    virtual void Loaded(TkrDXFConverter&) {}
    virtual void ReadProperty(TkrDXFConverter& conv);
    // Offers a child: true takes ownership (child is moved from); false leaves
    // it with the caller, which destroys it.
    virtual bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child);
    // Runs the entity's drawing procedure (conv's DrawEvent), if it has one.
    virtual void Changed(TkrDXFConverter& conv);
    // The DXF type name as the file wrote it (conv gives the source text), or
    // the class name without its "TkrDXF" prefix.
    virtual std::string GetName(const TkrDXFConverter* conv) const;
    // The DXF type name as the file wrote it, whatever GetName adds (the
    // block name of an insert, the name of a table entry); as GetName without
    // the source.
    std::string TypeName(const TkrDXFConverter* conv) const;
    // The colour the entity is drawn with before BYLAYER/BYBLOCK resolution.
    virtual TColorValue EntityColor() const { return clForeground; }
    virtual void EnumCorners(bool allCorners, void (*pointProc)(void* receiver, const TPoint3F& p),
                             void* receiver) const;
    virtual void SetColor(TColorValue) {}
    virtual void SetLineType(TkrDXFEntity*) {}
    virtual void SetLineWeight(int) {}

    // Reads this entity's groups and children from the converter's text.
    void Load(TkrDXFConverter& conv);
    void ReadGroups(TkrDXFConverter& conv);
    void ReadChildren(TkrDXFConverter& conv);
};

// SEQEND, ENDSEC, ENDTAB, ENDBLK and EOF: each closes one level.
class TkrDXFSeqend : public TkrDXFEntity {
public:
    TkrDXFSeqend() : TkrDXFEntity(TEntityClass::Seqend) {}
};

class TkrDXFPenEntity : public TkrDXFEntity {
public:
    explicit TkrDXFPenEntity(TEntityClass cls = TEntityClass::PenEntity) : TkrDXFEntity(cls) {}
    TColorValue Color = clFromLayer;
    void ReadProperty(TkrDXFConverter& conv) override;
    void SetColor(TColorValue c) override { Color = c; }
    TColorValue EntityColor() const override { return Color; }
};

class TkrDXFPenTableItem : public TkrDXFPenEntity {
public:
    explicit TkrDXFPenTableItem(TEntityClass cls = TEntityClass::PenTableItem) : TkrDXFPenEntity(cls) {}
    std::string Name;
    void ReadProperty(TkrDXFConverter& conv) override;
    std::string GetName(const TkrDXFConverter* conv) const override;
};

class TkrDXFLineType : public TkrDXFPenTableItem {
public:
    TkrDXFLineType() : TkrDXFPenTableItem(TEntityClass::LineType) {}
    TkrLines Pattern;
    void ReadProperty(TkrDXFConverter& conv) override;
};

class TkrDXFLayer : public TkrDXFPenTableItem {
public:
    TkrDXFLayer() : TkrDXFPenTableItem(TEntityClass::Layer) {}
    uint8_t Flags = 0;  // 1: frozen (or off, once finished)
    bool Hidden = false;
    const TkrLines* Pattern = nullptr;
    std::string LineTypeName;  // code 6 as written
    bool Used = false;
    bool LayerVisible = true;
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    bool IsVisible() const override { return LayerVisible; }
    void SetVisible(bool v) override { LayerVisible = v; }
};

class TkrDXFBlockRecord : public TkrDXFPenTableItem {
public:
    TkrDXFBlockRecord() : TkrDXFPenTableItem(TEntityClass::BlockRecord) {}
};

class TkrDXFStyle : public TkrDXFPenTableItem {
public:
    TkrDXFStyle() : TkrDXFPenTableItem(TEntityClass::Style) { Name = "STANDARD"; }
    std::string BigFont;
    int32_t Flags = 0;
    double FixedHeight = 0;
    std::string FontFamily;
    double LastHeight = 2.5;
    double ObliqueAngle = 0;
    std::string FontFile = "txt";
    int32_t GenerationFlags = 0;
    double WidthFactor = 1.0;
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
};

class TkrDXFGroup : public TkrDXFEntity {
public:
    explicit TkrDXFGroup(TEntityClass cls = TEntityClass::Group) : TkrDXFEntity(cls) {}
    TBox3F Box = EmptyBox;
    TEntityList Entities;

    TBox3F GetBox() const override { return Box; }
    int Count() const override { return int(Entities.size()); }
    TkrDXFEntity* GetEntity(int i) const override {
        return i >= 0 && size_t(i) < Entities.size() ? Entities[size_t(i)].get() : nullptr;
    }
    void Loaded(TkrDXFConverter& conv) override;
};

// The viewports among the children of a table or block, numbered as they are
// added so that the one of the smallest handle ends up number 0 (Main).
// Kept by those containers only: the polylines and curves, which are
// groups too, stay small.
struct TViewportNumbering {
    int32_t Count = -1;
    TkrDXFViewport* Main = nullptr;
    void Number(TkrDXFViewport& vp);
};

class TkrDXFTable : public TkrDXFGroup {
public:
    explicit TkrDXFTable(TEntityClass cls = TEntityClass::Table) : TkrDXFGroup(cls) { HasChildren = true; }
    ~TkrDXFTable() override;
    std::string Name;
    // The drawing tables whose slot refers to this table or section; the slot is
    // cleared when the table is destroyed (a table inside a refused container).
    TDrawingTables* SlotOwner = nullptr;
    TViewportNumbering Viewports;
    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;
    std::string GetName(const TkrDXFConverter* conv) const override;
};

class TkrDXFSection : public TkrDXFTable {
public:
    TkrDXFSection() : TkrDXFTable(TEntityClass::Section) {}
    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;

private:
    bool FAtVersion = false;  // in the HEADER, the last variable named was $ACADVER
};

class TkrDXFCustomVertex : public TkrDXFEntity {
public:
    explicit TkrDXFCustomVertex(TEntityClass cls = TEntityClass::CustomVertex) : TkrDXFEntity(cls) {}
    TPoint3F Point{};
    TBox3F GetBox() const override { return {Point.X, Point.Y, Point.Z, Point.X, Point.Y, Point.Z}; }
    void ReadProperty(TkrDXFConverter& conv) override;
};

class TkrDXFPenLine : public TkrDXFPenEntity {
public:
    explicit TkrDXFPenLine(TEntityClass cls = TEntityClass::PenLine) : TkrDXFPenEntity(cls) {}
    TPoint3F Extrusion{0, 0, 1};
    const TkrLines* Pattern = nullptr;
    TPoint3F Point{};
    float LineWeight = 0;  // millimetres
    float Thickness = 0;
    uint8_t PenStyle = 0;  // the entity's pen style; 0 (solid) is the only one the reader sets

    TBox3F GetBox() const override { return {Point.X, Point.Y, Point.Z, Point.X, Point.Y, Point.Z}; }
    void ReadProperty(TkrDXFConverter& conv) override;
    void Loaded(TkrDXFConverter& conv) override;
    void SetLineType(TkrDXFEntity* entry) override;
    void SetLineWeight(int w) override;

    void WidenByLineWeight(TBox3F& box) const;
    void PreparePattern();
};

// The pen steps shared by pen lines and polyline pens: a line type entry's
// pattern (none: continuous), a line weight in hundredths of a millimetre
// where none is set, and a box widened by half the line weight.
void SetPenLineType(const TkrLines*& pattern, TkrDXFEntity* entry);
void SetPenLineWeight(float& lineWeight, int w);
void WidenByLineWeight(TBox3F& box, float lineWeight);

// The process-wide continuous pattern: no elements, never changed after start.
const TkrLines* DefaultPattern();

// Colour and layer resolution used by the drawing side.
TColorValue ResolveColor(const TkrDXFEntity& e, const class TkrDXFInsert* insert);
TkrDXFLayer* EffectiveLayer(const TkrDXFEntity& e, const class TkrDXFInsert* insert);
// The same for an entity on the layer own.
TkrDXFLayer* EffectiveLayerOf(TkrDXFLayer* own, const class TkrDXFInsert* insert);
void IterateChildren(TkrDXFGroup& g, TkrDXFConverter& conv, TVisitProc visit, void* receiver);
// The box e adds to the extents of its container or layout: its own box, or
// none when that box is unsound (see SoundBox: a coordinate that is not a
// finite number of the float range). Every box computation over entities
// goes through here, whatever the entity's kind: an unsound entity is marked
// (BoxUnsound, so that it is not drawn either) and counted in hits once.
TBox3F ScreenedBox(TkrDXFEntity& e, TBoundHits& hits);

// Creates the entity for a 0-group name; a plain TkrDXFEntity for an unknown name.
std::unique_ptr<TkrDXFEntity> NewEntityByName(std::string_view name);
// An entity of an unknown name read among the entities: drawn from the proxy
// graphics it carries, if any.
std::unique_ptr<TkrDXFEntity> NewProxyEntity();
