#include "model/entity.h"

#include <optional>

#include "model/box_walk.h"
#include "model/colors.h"
#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/dimension.h"
#include "model/entities/image.h"
#include "model/entities/leader.h"
#include "model/entities/table.h"
#include "model/entities/viewport.h"
#include "model/entities/vport.h"
#include "model/entities/xref.h"
#include "model/errors.h"
#include "model/finishing.h"
#include "model/parsing.h"
#include "platform/scoped.h"

namespace {
struct TClassInfo {
    TEntityClass Parent;
    const char* Name;
};
using C = TEntityClass;
constexpr TClassInfo kClasses[] = {
    {C::Entity, "TkrDXFEntity"},        {C::Entity, "TkrDXFSeqend"},
    {C::Entity, "TkrDXFPenEntity"},     {C::PenEntity, "TkrDXFPenTableItem"},
    {C::PenTableItem, "TkrDXFLineType"}, {C::PenTableItem, "TkrDXFLayer"},
    {C::PenTableItem, "TkrDXFBlockRecord"}, {C::PenTableItem, "TkrDXFStyle"},
    {C::Entity, "TkrDXFGroup"},         {C::Group, "TkrDXFTable"},
    {C::Table, "TkrDXFSection"},        {C::Group, "TkrDXFBlock"},
    {C::Group, "TkrDXFPolyline"},       {C::Polyline, "TkrDXFLWPolyline"},
    {C::Polyline, "TkrDXFCircle"},      {C::Circle, "TkrDXFArc"},
    {C::Arc, "TkrDXFEllipse"},          {C::LWPolyline, "TkrDXFSpline"},
    {C::Spline, "TkrDXFLeader"},        {C::Entity, "TkrDXFCustomVertex"},
    {C::CustomVertex, "TkrDXFVertex"},  {C::CustomVertex, "TkrDXFInsert"},
    {C::Insert, "TkrDXFDimension"},     {C::Insert, "TkrDXFMText"},
    {C::CustomVertex, "TkrDXFText"},    {C::Text, "TkrDXFAttdef"},
    {C::Attdef, "TkrDXFAttrib"},        {C::PenEntity, "TkrDXFPenLine"},
    {C::PenLine, "TkrDXFLine"},         {C::Line, "TkrDXFPoint"},
    {C::Line, "TkrDXFSolid"},           {C::Solid, "TkrDXF3dFace"},
    {C::Solid, "TkrDXFImageEnt"},       {C::PenLine, "TkrDXFHatch"},
    {C::PenEntity, "TkrDXFViewport"},   {C::Entity, "TkrDXFVport"},
    {C::Entity, "TkrDXFXref"},          {C::Entity, "TkrDXFImageDef"},
    {C::Entity, "TkrDXFLayout"},        {C::Dimension, "TkrDXFAcadTable"},
    {C::PenEntity, "TkrDXFCompound"},   {C::Compound, "TkrDXFMLeader"},
    {C::Compound, "TkrDXFMLine"},       {C::Compound, "TkrDXFWipeout"},
    {C::Compound, "TkrDXFProxyEntity"}, {C::PenLine, "TkrDXFMesh"},
    {C::PenLine, "TkrDXFXLine"},        {C::Spline, "TkrDXFHelix"},
    {C::Entity, "TkrDXFMLeaderStyle"},  {C::Entity, "TkrDXFMLineStyle"},
    {C::Entity, "TkrDXFWipeoutVars"},
};
static_assert(sizeof(kClasses) / sizeof(kClasses[0]) == size_t(C::Count));

const TkrLines kDefaultPattern{};
}  // namespace

TEntityClass ParentClass(TEntityClass c) { return kClasses[size_t(c)].Parent; }
const char* ClassName(TEntityClass c) { return kClasses[size_t(c)].Name; }

// Every class's own bit and those of its ancestors.
static_assert(size_t(C::Count) <= 64, "the classes are bits of one word");
constexpr std::array<uint64_t, size_t(C::Count)> MakeClassAncestors() {
    std::array<uint64_t, size_t(C::Count)> a{};
    for (size_t i = 0; i < a.size(); ++i)
        for (C c = C(i);; c = kClasses[size_t(c)].Parent) {
            a[i] |= uint64_t(1) << size_t(c);
            if (c == C::Entity) break;
        }
    return a;
}
constexpr std::array<uint64_t, size_t(C::Count)> kClassAncestors = MakeClassAncestors();

const TkrLines* DefaultPattern() { return &kDefaultPattern; }

// ---- TkrDXFEntity ----

bool TkrDXFEntity::IsVisible() const {
    if (Layer && (Layer->Flags & 1)) return false;
    return Visible;
}

bool TkrDXFEntity::InView(TkrDXFConverter& conv) const {
    if (!conv.ClipEnabled) return true;
    TMatrix4x3F m = conv.DrawContext ? conv.DrawContext->Matrix : IdentityMatrix();
    int r = ClassifyBox(GetBox(), conv.ClipBox, m);
    if (r < 0) return false;
    if (r > 0) return true;
    return !conv.ClipStrict;
}

void TkrDXFEntity::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (InView(conv)) visit(receiver, *this);
}

void TkrDXFEntity::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 5: Handle = HexHandle(conv.Value); break;
        case 8:
            // Objects use code 8 for other things (the map file of a MATERIAL,
            // the layer names of a LAYER_FILTER): only entities name layers.
            if (conv.ReadingObjects) break;
            Layer = conv.FindOrCreateLayer(conv.TextValue());
            Layer->Used = true;
            break;
        case 48: LineTypeScale = float(conv.ValueAsFloat()); break;
        case 60: Visible = conv.ValueAsInt() == 0; break;
        case 67: PaperSpace = conv.ValueAsInt() == 1; break;
        default: break;
    }
}

bool TkrDXFEntity::AddEntity(TkrDXFConverter&, std::unique_ptr<TkrDXFEntity>&) { return false; }

void TkrDXFEntity::Changed(TkrDXFConverter& conv) {
    // (Not once the receiver is gone: see TkrDXFImage's destructor.)
    const TDrawEvent& event = conv.DrawEvent;
    if (OnDraw == dhGraphic && event.Proc && event.Receiver) event.Proc(event.Receiver, *this);
}

std::string TkrDXFEntity::GetName(const TkrDXFConverter* conv) const { return TypeName(conv); }

std::string TkrDXFEntity::TypeName(const TkrDXFConverter* conv) const {
    // (NameId is set once the groups are read, see Load: before, it names
    // nothing and the class name stands.)
    if (conv && SourceStart != kNoPos) {
        std::string_view name = conv->EntityName(NameId, SourceStart);
        if (!name.empty()) return std::string(name);
    }
    std::string n = UpperAscii(ClassName(Class));
    if (n.rfind("TKR", 0) == 0) n.erase(0, 6);
    return n;
}

void TkrDXFEntity::EnumCorners(bool allCorners, void (*pointProc)(void*, const TPoint3F&), void* receiver) const {
    TBox3F b = GetBox();
    if (!(b.Right >= b.Left && b.Top >= b.Bottom)) return;
    pointProc(receiver, {b.Left, b.Top, b.Z1});
    pointProc(receiver, {b.Right, b.Bottom, b.Z2});
    if (!allCorners) return;
    pointProc(receiver, {b.Left, b.Top, b.Z2});
    pointProc(receiver, {b.Left, b.Bottom, b.Z1});
    pointProc(receiver, {b.Left, b.Bottom, b.Z2});
    pointProc(receiver, {b.Right, b.Top, b.Z1});
    pointProc(receiver, {b.Right, b.Top, b.Z2});
    pointProc(receiver, {b.Right, b.Bottom, b.Z1});
}

void TkrDXFEntity::Load(TkrDXFConverter& conv) {
    if (conv.ReadDepth >= kMaxContainerDepth)
        throw ELimitError("Containers nested deeper than " + std::to_string(kMaxContainerDepth) + " levels");
    ++conv.ReadDepth;
    TOnExit depth([&conv] { --conv.ReadDepth; });
    SourceStart = uint32_t(conv.GroupStart);
    const uint16_t nameId = conv.RecordEntityName();
    ReadGroups(conv);
    NameId = nameId;
    if (conv.OnProgress) conv.OnProgress(conv);
    if (HasChildren) ReadChildren(conv);
}

void TkrDXFEntity::ReadGroups(TkrDXFConverter& conv) {
    ++conv.EntitiesStarted;
    for (;;) {
        conv.ReadGroup();
        if (conv.Code == 0) break;
        if (conv.Code == 66) HasChildren = conv.ValueAsInt() != 0;
        else ReadProperty(conv);
    }
}

void TkrDXFEntity::ReadChildren(TkrDXFConverter& conv) {
    // The entities of the ENTITIES section may be finished on a thread of
    // their own (see model/finishing.h); everything else is finished here.
    std::optional<TFinishingThread> finishing;
    if (conv.FinishOnThread && this == conv.GetTable(tkEntities) && Class == TEntityClass::Section) {
        // The dashes ask for the global line type scale as they are
        // finished; it is looked up here, where the reader may read on in
        // the file for it (what the end of the load does anyway).
        conv.GlobalLineTypeScale();
        finishing.emplace(conv);
    }
    const bool root = this == conv.RootSection.get();
    while (conv.Value != "EOF") {
        // The end-of-text marker (the file ends here) closes every level; an
        // end marker the file itself writes closes one.
        const bool endOfText = conv.TextExhausted();
        std::unique_ptr<TkrDXFEntity> child = conv.CreateEntity(conv.Value);
        if (root && child->Class == TEntityClass::Section) ++conv.SectionsRead;
        try {
            child->Load(conv);
        } catch (...) {
            // The model keeps whatever was read up to the error: the entity being
            // read is still offered to its parent (and finished) before the error
            // goes on.
            TkrDXFEntity* raw = child.get();
            if (AddEntity(conv, child)) {
                try {
                    if (finishing) finishing->Drain();
                    raw->Loaded(conv);
                } catch (...) {
                }
            }
            throw;
        }
        bool isEnd = child->Class == TEntityClass::Seqend;
        TkrDXFEntity* raw = child.get();
        if (AddEntity(conv, child)) {
            if (finishing) finishing->Finish(*raw);
            else raw->Loaded(conv);
            ++conv.EntityCount;
        }
        if (isEnd && root && !endOfText) {
            // An end marker outside any section (a section closed twice: an
            // old DXF library wrote header variables after an early ENDSEC)
            // does not end the file: what follows it is skipped up to the next
            // section, which reads as usual.
            ++conv.Bounds.StrayEnds;
            while (!conv.TextExhausted() && !(conv.Code == 0 && (conv.Value == "SECTION" || conv.Value == "EOF")))
                conv.ReadGroup();
            continue;
        }
        if (isEnd) break;
    }
    if (finishing) finishing->Drain();
}

// ---- pen entities and table items ----

void TkrDXFPenEntity::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    if (conv.Code == 62) Color = conv.ValueAsColor();
}

void TkrDXFPenTableItem::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenEntity::ReadProperty(conv);
    if (conv.Code == 2) Name = conv.TextValue();
}

std::string TkrDXFPenTableItem::GetName(const TkrDXFConverter* conv) const {
    return Name.empty() ? TkrDXFEntity::GetName(conv) : Name;
}

void TkrDXFLineType::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenTableItem::ReadProperty(conv);
    if (conv.Code == 49) Pattern.AddTick(conv.ValueAsFloat());
}

void TkrDXFLayer::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenTableItem::ReadProperty(conv);
    switch (conv.Code) {
        case 70: Flags = uint8_t(conv.ValueAsInt()); break;
        case 6:
            LineTypeName = conv.TextValue();
            Pattern = conv.LineTypePattern(LineTypeName);
            break;
        default: break;
    }
}

void TkrDXFLayer::Loaded(TkrDXFConverter&) {
    if (Color < 0) {
        // A negative colour number marks a layer that is off: treat it like a frozen one.
        Color = ColorFromIndex(Color == INT32_MIN ? INT32_MAX : -Color);
        Flags |= 1;
    }
    LayerVisible = (Flags & 1) == 0;
}

void TkrDXFStyle::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenTableItem::ReadProperty(conv);
    switch (conv.Code) {
        case 3: FontFile = std::string(TrimBlanks(conv.TextValue())); break;
        case 4: BigFont = std::string(TrimBlanks(conv.TextValue())); break;
        case 1000: FontFamily = std::string(TrimBlanks(conv.TextValue())); break;
        case 40: FixedHeight = conv.ValueAsFloat(); break;
        case 41: WidthFactor = conv.ValueAsFloat(); break;
        case 42: LastHeight = conv.ValueAsFloat(); break;
        case 50: ObliqueAngle = conv.ValueAsFloat(); break;
        case 70: Flags = conv.ValueAsInt(); break;
        case 71: GenerationFlags = conv.ValueAsInt(); break;
        default: break;
    }
}

void TkrDXFStyle::Loaded(TkrDXFConverter&) {
    if (FontFamily.empty()) {
        size_t dot = FontFile.find('.');
        FontFamily = dot == std::string::npos ? std::string("Arial") : FontFile.substr(0, dot);
    }
}

// ---- containers ----

TBox3F ScreenedBox(TkrDXFEntity& e, TBoundHits& hits) {
    if (e.BoxUnsound) return EmptyBox;
    TBox3F b = e.GetBox();
    if (SoundBox(b)) return b;
    e.BoxUnsound = true;
    ++hits.UnsoundEntities;
    return EmptyBox;
}

void TkrDXFGroup::Loaded(TkrDXFConverter& conv) {
    Box = EmptyBox;
    // A big section (the ENTITIES of a big drawing) is boxed in two halves
    // at once where it can be (see model/box_walk.h).
    if (Class == TEntityClass::Section) {
        TBox3F half[2] = {EmptyBox, EmptyBox};
        if (WalkInHalves(conv, Entities.size(), [&](size_t begin, size_t end, int k, TBoundHits& hits) {
                for (size_t i = begin; i < end; ++i) {
                    TkrDXFEntity& e = *Entities[i];
                    if (!e.Visible) continue;
                    if (!BoxIsReadOnly(e)) return false;
                    UnionBox(half[k], ScreenedBox(e, hits));
                }
                return true;
            })) {
            UnionBox(Box, half[0]);
            UnionBox(Box, half[1]);
            return;
        }
    }
    // By index: a child's box may finish a deferred insert, which can create a
    // layer on demand, and this group may be the LAYER table that receives it.
    for (size_t i = 0; i < Entities.size(); ++i) {
        TkrDXFEntity& e = *Entities[i];
        if (e.Visible) UnionBox(Box, ScreenedBox(e, conv.Bounds));
    }
}

void TViewportNumbering::Number(TkrDXFViewport& vp) {
    vp.Number = ++Count;
    if (!Main) {
        Main = &vp;
    } else if (int32_t(vp.Handle) < int32_t(Main->Handle)) {
        std::swap(vp.Number, Main->Number);
        Main = &vp;
    }
}

void TkrDXFTable::ReadProperty(TkrDXFConverter& conv) {
    if (conv.Code != 2) return;
    Name = UpperAscii(conv.Value);
    int kind = Name == "LTYPE" ? tkLType : Name == "LAYER" ? tkLayer : Name == "BLOCK_RECORD" ? tkBlockRecord
             : Name == "STYLE" ? tkStyle : -1;
    if (kind >= 0) conv.SetTable(kind, this);
}

TkrDXFTable::~TkrDXFTable() {
    // Children first, so that nothing refers to the slot while they go.
    Entities.clear();
    if (SlotOwner) SlotOwner->ForgetTable(this);
}

bool TkrDXFTable::AddEntity(TkrDXFConverter&, std::unique_ptr<TkrDXFEntity>& child) {
    if (child->Class == TEntityClass::Seqend) return false;
    if (child->Is(TEntityClass::Viewport)) Viewports.Number(static_cast<TkrDXFViewport&>(*child));
    Entities.push_back(std::move(child));
    return true;
}

std::string TkrDXFTable::GetName(const TkrDXFConverter* conv) const {
    return Name.empty() ? TkrDXFEntity::GetName(conv) : Name;
}

void TkrDXFSection::ReadProperty(TkrDXFConverter& conv) {
    if (Name == "HEADER") {
        // The release tells how the file stores its text: AC1021 and later in UTF-8.
        if (conv.Code == 9) {
            FAtVersion = TrimBlanks(conv.Value) == "$ACADVER";
        } else if (conv.Code == 1 && FAtVersion) {
            std::string_view v = TrimBlanks(conv.Value);
            int32_t release = 0;
            conv.Utf8Text = conv.Utf8Bom || (v.size() > 2 && UpperAscii(v.substr(0, 2)) == "AC" &&
                                             ParseInt32(v.substr(2), release) && release >= 1021);
            FAtVersion = false;
        }
    }
    if (conv.Code != 2 || !Name.empty()) return;
    Name = UpperAscii(conv.Value);
    conv.ReadingObjects = Name == "OBJECTS";
    conv.ReadingGraphics = Name == "ENTITIES" || Name == "BLOCKS";
    int kind = Name == "TABLES" ? tkTables : Name == "BLOCKS" ? tkBlocks : Name == "ENTITIES" ? tkEntities : -1;
    if (kind >= 0) conv.InstallSection(kind, this);
    if (kind == tkEntities) {
        conv.EntitiesStarted = 0;
        conv.SectionEntities = 0;
    }
}

bool TkrDXFSection::AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) {
    if (child->Class == TEntityClass::Layout) {
        // The layout files itself into the converter's layouts when finished;
        // the section keeps no reference.
        conv.PendingLayout = std::move(child);
        return true;
    }
    return TkrDXFTable::AddEntity(conv, child);
}

void TkrDXFCustomVertex::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFEntity::ReadProperty(conv);
    switch (conv.Code) {
        case 10: Point.X = float(conv.ValueAsFloat()); break;
        case 20: Point.Y = float(conv.ValueAsFloat()); break;
        case 30: Point.Z = float(conv.ValueAsFloat()); break;
        default: break;
    }
}

// ---- pen lines ----

void TkrDXFPenLine::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFPenEntity::ReadProperty(conv);
    switch (conv.Code) {
        case 6: Pattern = conv.LineTypePattern(conv.TextValue()); break;
        case 10: Point.X = float(conv.ValueAsFloat()); break;
        case 20: Point.Y = float(conv.ValueAsFloat()); break;
        case 30: Point.Z = float(conv.ValueAsFloat()); break;
        case 39: Thickness = float(conv.ValueAsFloat()); break;
        case 210: Extrusion.X = float(conv.ValueAsFloat()); break;
        case 220: Extrusion.Y = float(conv.ValueAsFloat()); break;
        case 230: Extrusion.Z = float(conv.ValueAsFloat()); break;
        case 370: LineWeight = float(conv.ValueAsInt() / 100.0); break;
        default: break;
    }
}

void TkrDXFPenLine::Loaded(TkrDXFConverter&) {
    // A zero (or non-finite) extrusion has no direction and reads as the default.
    Extrusion = SanitizeExtrusion(Extrusion);
    if (!IsDefaultExtrusion(Extrusion)) Point = OCSToWCS(Point, Extrusion);
}

void SetPenLineType(const TkrLines*& pattern, TkrDXFEntity* entry) {
    if (!entry) pattern = DefaultPattern();
    else if (entry->Is(TEntityClass::LineType)) pattern = &static_cast<TkrDXFLineType*>(entry)->Pattern;
}

void SetPenLineWeight(float& lineWeight, int w) {
    if (lineWeight == 0) lineWeight = float(w / 100.0);
}

void WidenByLineWeight(TBox3F& box, float lineWeight) {
    if (lineWeight > 0) {
        float h = lineWeight / 2;
        box.Left -= h, box.Bottom -= h, box.Top += h, box.Right += h;
    }
}

void TkrDXFPenLine::SetLineType(TkrDXFEntity* entry) { SetPenLineType(Pattern, entry); }

void TkrDXFPenLine::SetLineWeight(int w) { SetPenLineWeight(LineWeight, w); }

void TkrDXFPenLine::WidenByLineWeight(TBox3F& box) const { ::WidenByLineWeight(box, LineWeight); }

void TkrDXFPenLine::PreparePattern() {
    if (!Pattern) Pattern = Layer && Layer->Pattern ? Layer->Pattern : DefaultPattern();
    // Normalize changes the shared pattern once: a pattern of zeros becomes continuous.
    const_cast<TkrLines*>(Pattern)->Normalize();
}
