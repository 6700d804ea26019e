#include "model/entities/blocks.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_set>

#include "model/converter.h"
#include "model/entities/layout.h"
#include "model/entities/text.h"
#include "model/entities/viewport.h"
#include "model/entities/xref.h"
#include "model/parsing.h"
#include "platform/scoped.h"

// ---- TkrDXFBlock ----

TkrDXFBlock::~TkrDXFBlock() {
    // A layout that shows this block must not keep a reference to it.
    if (FLayoutOwner)
        for (auto& l : FLayoutOwner->Layouts)
            if (l && l->Block == this) l->Block = nullptr;
}

void TkrDXFBlock::ReadProperty(TkrDXFConverter& conv) {
    // The references counted from here on, up to the block's end, are the
    // ones made inside this block.
    if (PendingAtRead < 0) PendingAtRead = conv.PendingRefs;
    switch (conv.Code) {
        case 1: XrefPath = std::string(TrimBlanks(conv.TextValue())); break;
        case 2: Name = std::string(TrimBlanks(conv.TextValue())); break;
        case 5: Handle = HexHandle(conv.Value); break;
        case 10: BasePoint.X = float(conv.ValueAsFloat()); break;
        case 20: BasePoint.Y = float(conv.ValueAsFloat()); break;
        case 30: BasePoint.Z = float(conv.ValueAsFloat()); break;
        case 70: BlockFlags = uint8_t(conv.ValueAsInt()); break;
        case 330: OwnerHandle = UpperAscii(conv.Value); break;
        default: break;  // a block has no layer (8) and no other codes of its own
    }
}

bool TkrDXFBlock::AddEntity(TkrDXFConverter&, std::unique_ptr<TkrDXFEntity>& child) {
    ++ChildrenOffered;
    if (Finished || child->Class == TEntityClass::Seqend) return false;
    if (child->Is(TEntityClass::Viewport)) Viewports.Number(static_cast<TkrDXFViewport&>(*child));
    Entities.push_back(std::move(child));
    return true;
}

std::string TkrDXFBlock::GetName(const TkrDXFConverter* conv) const {
    return Name.empty() ? TkrDXFEntity::GetName(conv) : Name;
}

bool TkrDXFBlock::ComputeBox(TkrDXFConverter& conv, int depth) {
    // A block that inserts itself (directly or through other blocks) reaches
    // its own box computation again: that inner reference contributes nothing.
    if (FResolving) return false;
    TScopedRestore<bool> reset(FResolving, true);  // false before: checked above
    TBox3F box = EmptyBox;
    // By index: finishing a deferred insert may add to tables while we walk.
    for (size_t i = 0; i < Entities.size(); ++i) {
        TkrDXFEntity* e = Entities[i].get();
        if (!e->Visible) continue;
        if (e->Is(TEntityClass::Insert)) {
            auto* ins = static_cast<TkrDXFInsert*>(e);
            if (ins->Converter) ins->ResolveAt(depth + 1);
        }
        UnionBox(box, ScreenedBox(*e, conv.Bounds));
    }
    Box = box;
    return true;
}

void TkrDXFBlock::Loaded(TkrDXFConverter& conv) {
    if (Finished) return;
    if (IsXref() && !XrefPath.empty() && !FXrefAttached) AttachXref(conv);
    if (PendingAtRead < 0) PendingAtRead = 0;
    if (!Name.empty()) PendingAtRead = conv.PendingRefs - PendingAtRead;
    if (UpperAscii(Name).find("*PAPER_SPACE") != std::string::npos && !Entities.empty()) {
        // A paper-space block is a layout's content: finished at once, even
        // with references still open (a layout completes it, see TkrDXFLayout).
        HasContent = true;
        PaperSpace = false;
        ComputeBox(conv, 0);
        Finished = true;
    } else if (PendingAtRead == 0) {
        ComputeBox(conv, 0);
        Finished = true;
    }
    // Otherwise the box stays empty until an insert of the block resolves it.
}

TDrawingTables::TBlockIndex& TDrawingTables::IndexedBlocks() const {
    // The same results as searching the section's blocks in order for the
    // first one of a name (or owner handle), through an index kept in step
    // with the section (blocks are only ever appended to it while a file is
    // read).
    TBlockIndex& idx = FBlockIndex;
    TkrDXFGroup* blocks = GetTable(tkBlocks);
    if (!blocks) return idx = {};
    if (idx.Indexed > blocks->Entities.size()) idx = {};
    for (; idx.Indexed < blocks->Entities.size(); ++idx.Indexed) {
        TkrDXFEntity* e = blocks->Entities[idx.Indexed].get();
        if (e->Is(TEntityClass::Block)) {
            auto* b = static_cast<TkrDXFBlock*>(e);
            idx.Map.emplace(b->Name, b);
            idx.ByOwner.emplace(b->OwnerHandle, b);
            idx.ByUpperName.emplace(UpperAscii(b->Name), b);
        }
    }
    return idx;
}

void TkrDXFBlock::AttachXref(TkrDXFConverter& conv) {
    FXrefAttached = true;
    auto x = std::make_unique<TkrDXFXref>();
    x->Layer = Layer;
    if (x->LoadDrawing(conv, XrefPath)) {
        x->Loaded(conv);
        Xref = x.get();
        Entities.push_back(std::move(x));
        return;
    }
    // A missing drawing shows its path instead.
    x.reset();
    Entities.push_back(MakeXrefPathText(conv, XrefPath));
}

TkrDXFBlock* TDrawingTables::FindBlock(std::string_view name) const {
    TBlockIndex& idx = IndexedBlocks();
    auto it = idx.Map.find(std::string(name));
    return it == idx.Map.end() ? nullptr : it->second;
}

TkrDXFBlock* TDrawingTables::FindBlockUpper(std::string_view upperName) const {
    TBlockIndex& idx = IndexedBlocks();
    auto it = idx.ByUpperName.find(std::string(upperName));
    return it == idx.ByUpperName.end() ? nullptr : it->second;
}

TkrDXFBlock* TDrawingTables::FindBlockByOwner(std::string_view handle) const {
    if (handle.empty()) return nullptr;  // blocks without an owner handle are not found by it
    TBlockIndex& idx = IndexedBlocks();
    auto it = idx.ByOwner.find(std::string(handle));
    return it == idx.ByOwner.end() ? nullptr : it->second;
}

// ---- TkrDXFInsert ----

TkrDXFInsert::TkrDXFInsert(TEntityClass cls) : TkrDXFCustomVertex(cls) {}
TkrDXFInsert::~TkrDXFInsert() = default;

static_assert(sizeof(void*) != 8 || sizeof(TkrDXFInsert) <= 256, "an insert record outgrows 256 bytes");

TkrDXFBlock* TkrDXFInsert::FindBlock(TkrDXFConverter& conv, std::string_view name) {
    Converter = &conv;
    if (TkrDXFBlock* b = conv.FindBlock(name)) {
        // A reference to a block that itself waits for references is open too.
        if (b->PendingAtRead > 0) ++conv.PendingRefs;
        return b;
    }
    if (PendingName.empty()) {
        PendingName = std::string(name);
        ++conv.PendingRefs;
    }
    return nullptr;
}

void TkrDXFInsert::ReadProperty(TkrDXFConverter& conv) {
    TkrDXFCustomVertex::ReadProperty(conv);
    switch (conv.Code) {
        case 2: Block = FindBlock(conv, conv.TextValue()); break;
        case 41: InsertScale.X = float(conv.ValueAsFloat()); break;
        case 42: InsertScale.Y = float(conv.ValueAsFloat()); break;
        case 43: InsertScale.Z = float(conv.ValueAsFloat()); break;
        case 50: {
            double a = conv.ValueAsFloat();
            Rotation = float(a);
            RotationCos = std::cos(DegToRad(a));
            RotationSin = std::sin(DegToRad(a));
            break;
        }
        case 62: Color = conv.ValueAsColor(); break;
        default: break;
    }
    // The array codes belong to INSERT only: dimensions and multi-line texts
    // use 44, 45, 70 and 71 for other things.
    if (Class == TEntityClass::Insert) switch (conv.Code) {
            case 44: ArrayToRead().ColumnSpacing = conv.ValueAsFloat(); break;
            case 45: ArrayToRead().RowSpacing = conv.ValueAsFloat(); break;
            case 70: ArrayToRead().ColumnCount = conv.ValueAsInt(); break;
            case 71: ArrayToRead().RowCount = conv.ValueAsInt(); break;
            default: break;
        }
    switch (conv.Code) {
        case 210: Extrusion.X = float(conv.ValueAsFloat()); break;
        case 220: Extrusion.Y = float(conv.ValueAsFloat()); break;
        case 230: Extrusion.Z = float(conv.ValueAsFloat()); break;
        default: break;
    }
}

bool TkrDXFInsert::AddEntity(TkrDXFConverter&, std::unique_ptr<TkrDXFEntity>& child) {
    if (child->Class != TEntityClass::Attrib) return false;
    Attribs.emplace_back(static_cast<TkrDXFAttrib*>(child.release()));
    return true;
}

int TkrDXFInsert::Count() const { return int(Attribs.size()); }

TkrDXFEntity* TkrDXFInsert::GetEntity(int i) const {
    return i >= 0 && size_t(i) < Attribs.size() ? Attribs[size_t(i)].get() : nullptr;
}

TBox3F TkrDXFInsert::GetBox() const {
    // The deferred lookup changes the insert; inserts are never created const.
    if (Converter) const_cast<TkrDXFInsert*>(this)->Resolve();
    return InsertBox;
}

std::string TkrDXFInsert::GetName(const TkrDXFConverter* conv) const {
    std::string n = TkrDXFCustomVertex::GetName(conv);
    if (Block) n += " " + Block->Name;
    return n;
}

void TkrDXFInsert::ResolveAt(int depth) {
    TkrDXFConverter* conv = Converter;
    if (!conv) return;
    Converter = nullptr;
    if (!PendingName.empty()) {
        Block = FindBlock(*conv, PendingName);
        // While the file is still being read, the block may be defined further
        // down (a paper-space block is boxed before the blocks it inserts):
        // the name is kept so that a later request finds it. Once loading is
        // over, a name that is still missing stays unresolved for good.
        if (Block || !conv->Loading) PendingName.clear();
    }
    // Deeper than kMaxInsertDepth the block's box is not computed; a block
    // already being boxed further up (a cycle) is not entered again.
    if (Block && Block->PendingAtRead > 0) {
        if (depth >= kMaxInsertDepth) ++conv->Bounds.InsertDepth;
        else if (Block->Resolving()) ++conv->Bounds.InsertCycles;
        else if (Block->ComputeBox(*conv, depth)) Block->PendingAtRead = 0;
    }
    Loaded(*conv);
    // The lookup is over (FindBlock set Converter again): an insert left
    // without extents here (cycle, depth bound, missing block) stays so, and
    // a later GetBox does not start a new, unbounded descent. Only a name
    // still awaited while the file is read keeps the converter.
    Converter = !PendingName.empty() && conv->Loading ? conv : nullptr;
}

namespace {
bool SoundCoordinate(float v) { return std::isfinite(v) && std::fabs(v) < kBoxInfinity; }

bool SoundMatrix(const TMatrix4x3F& m) {
    for (auto& row : m.M)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}
}  // namespace

void TkrDXFInsert::Loaded(TkrDXFConverter& conv) {
    InsertBox = EmptyBox;
    if (!Block || !BlockHasEntities() || Block->PendingAtRead >= 1) return;
    if (Block->Xref) {
        auto& inUse = conv.XrefsInUse;
        TkrDXFEntity* x = static_cast<TkrDXFEntity*>(Block->Xref);
        if (std::find(inUse.begin(), inUse.end(), x) == inUse.end()) inUse.push_back(x);
    }
    Converter = nullptr;
    InsertBox = Block->Box;
    Extrusion = SanitizeExtrusion(Extrusion);
    if (!IsDefaultExtrusion(Extrusion) && !FPointMapped) {
        Point = OCSToWCS(Point, Extrusion);
        FPointMapped = true;
    }
    const TPoint3F& b = Block->BasePoint;
    TMatrix4x3F m = ScaleTranslateMatrix({1, 1, 1}, {-b.X, -b.Y, -b.Z});
    m = MultiplyMatrix(m, ScaleTranslateMatrix(InsertScale, {0, 0, 0}));
    m = MultiplyMatrix(m, ExtrusionMatrix(Extrusion, Rotation));
    m = MultiplyMatrix(m, ScaleTranslateMatrix({1, 1, 1}, Point));
    Transform = m;
    SetArraySteps();
    if (!(InsertBox.Right >= InsertBox.Left && InsertBox.Top >= InsertBox.Bottom)) return;
    const TBox3F bb = InsertBox;
    TBox3F box = EmptyBox;
    bool sound = true;
    // The copies of an array are shifted copies of the first: the corner
    // copies of the grid hold the extremes of all of them.
    const int32_t lastC = ArrayColumns - 1, lastR = ArrayRows - 1;
    for (auto [c, r] : {std::pair{0, 0}, std::pair{lastC, 0}, std::pair{0, lastR}, std::pair{lastC, lastR}}) {
        const TMatrix4x3F mc = CopyTransform(c, r);
        for (float x : {bb.Left, bb.Right})
            for (float y : {bb.Top, bb.Bottom})
                for (float z : {bb.Z1, bb.Z2}) {
                    TPoint3F p = TransformPoint({x, y, z}, mc);
                    sound = sound && SoundCoordinate(p.X) && SoundCoordinate(p.Y) && SoundCoordinate(p.Z);
                    ExpandBox(box, p);
                }
    }
    // An insert whose placement is not a finite, representable box (a NaN or
    // infinite scale, or one so large that the corners leave the float range
    // of a box) has an unsound box: its container leaves it out of the
    // extents and out of the drawing, so that it cannot turn the drawing's
    // extents into NaN or swamp them.
    if (sound) {
        InsertBox = box;
        for (auto& a : Attribs) UnionBox(InsertBox, ScreenedBox(*a, conv.Bounds));
    } else {
        InsertBox = UnsoundBox;
    }
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
}

const TkrDXFInsert::TArrayGroups& TkrDXFInsert::Array() const {
    static const TArrayGroups kSingle;
    return FArray ? *FArray : kSingle;
}

TkrDXFInsert::TArrayGroups& TkrDXFInsert::ArrayToRead() {
    if (!FArray) FArray = std::make_unique<TArrayGroups>();
    return *FArray;
}

void TkrDXFInsert::SetArraySteps() {
    // A count of 0 or less means one copy (what files without the codes say),
    // and a direction whose spacing is 0 (or not a number) has one copy: the
    // others would lie on it. The counts are read as 32-bit values; the
    // drawing of the copies is bounded by the drawing's work, and extents
    // need only the corner copies.
    ArrayColumns = ArrayRows = 1;
    if (!FArray) return;  // one copy, no steps
    TArrayGroups& a = *FArray;
    const bool cols = a.ColumnSpacing != 0 && std::isfinite(a.ColumnSpacing);
    const bool rows = a.RowSpacing != 0 && std::isfinite(a.RowSpacing);
    ArrayColumns = cols && a.ColumnCount > 1 ? a.ColumnCount : 1;
    ArrayRows = rows && a.RowCount > 1 ? a.RowCount : 1;
    // The grid lies in the insert's plane, turned by its rotation: its axes
    // are the first two rows of the extrusion matrix.
    const TMatrix4x3F e = ExtrusionMatrix(Extrusion, Rotation);
    for (int k = 0; k < 3; ++k) {
        a.StepColumn[k] = ArrayColumns > 1 ? a.ColumnSpacing * e.M[0][k] : 0;
        a.StepRow[k] = ArrayRows > 1 ? a.RowSpacing * e.M[1][k] : 0;
    }
}

TMatrix4x3F TkrDXFInsert::CopyTransform(int32_t c, int32_t r) const {
    TMatrix4x3F m = Transform;
    if (c == 0 && r == 0) return m;
    const TArrayGroups& a = Array();
    for (int k = 0; k < 3; ++k) m.M[3][k] = float(double(m.M[3][k]) + c * a.StepColumn[k] + r * a.StepRow[k]);
    return m;
}

void TkrDXFInsert::WalkBlock(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    IterateChildren(*Block, conv, visit, receiver);
}

bool TkrDXFInsert::CanDescend(const TDrawContext& dc, TBoundHits& hits) const {
    // An insert with a non-finite placement draws nothing of its block.
    if (!SoundMatrix(Transform)) return false;
    // Walk the inserts being expanded further up: a block that is already
    // being expanded there would be expanded again and again (a block that
    // inserts itself), and the nesting is bounded by kMaxInsertDepth.
    int level = 1;
    for (const TkrDXFInsert* j = dc.Insert; j; j = j->ParentInsert) {
        if (j->Block == Block || j == this) {
            ++hits.InsertCycles;
            return false;
        }
        if (++level > kMaxInsertDepth) {
            ++hits.InsertDepth;
            return false;
        }
    }
    return true;
}

void TkrDXFInsert::IterateOwnAttribs(TkrDXFConverter& conv, TVisitProc visit, void* receiver,
                                     const TDrawContext& outside) {
    // The block's definitions draw the attributes of their tags. An attribute
    // whose tag no definition of the block has (the block was redefined
    // after the insert was made) is drawn as itself, at its own place: in the
    // coordinates of the insert's container, the insert still its insert.
    std::unordered_set<std::string_view> defined;
    for (const auto& e : Block->Entities)
        if (e->Class == TEntityClass::Attdef) defined.insert(static_cast<const TkrDXFAttdef&>(*e).Tag);
    TDrawContext& d = *conv.DrawContext;
    const TDrawContext inBlock = d;
    d.Matrix = outside.Matrix;
    d.ScaleX = d.ScaleY = 0;
    d.MatrixHasRotation = outside.MatrixHasRotation;
    for (const auto& a : Attribs)
        if (!defined.contains(a->Tag)) a->Iterate(conv, visit, receiver);
    d = inBlock;
}

void TkrDXFInsert::Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) {
    if (Converter) Resolve();
    Expanding = conv.ExpandInserts && Block;
    if (!Expanding) {
        // The visit procedure decides whether the insert is drawn; its draw
        // procedure sets Expanding when the block is to be walked.
        visit(receiver, *this);
        if (!Expanding) return;
    }
    // Without a context of the caller's, the walk runs in an identity context.
    TDrawContext own;
    own.Matrix = IdentityMatrix();
    const bool ownContext = conv.DrawContext == nullptr;
    TOnExit ctxGuard([&] {
        if (ownContext) conv.DrawContext = nullptr;
    });
    if (ownContext) conv.DrawContext = &own;
    TDrawContext& d = *conv.DrawContext;
    if (!Block || !CanDescend(d, conv.Bounds)) {
        Expanding = false;
        return;
    }
    TDrawContext saved = d;
    SavedContext = &saved;
    ParentInsert = d.Insert;
    d.Matrix = MultiplyMatrix(Transform, d.Matrix);
    d.Insert = this;
    d.ScaleX = d.ScaleY = 0;
    d.BlockColor = Color;
    {
        // Restored on every way out, also when a visit raises an error.
        TkrDXFBlock& block = *Block;
        const bool blockPaper = Block->PaperSpace;
        TOnExit restore([&] {
            block.PaperSpace = blockPaper;
            SavedContext = nullptr;
            d = saved;
            ParentInsert = d.Insert;
            Expanding = false;
        });
        if (conv.OnInsert) conv.OnInsert(*this, false);
        Block->PaperSpace = PaperSpace;
        const TDrawContext first = d;
        WalkBlock(conv, visit, receiver);
        if (!Attribs.empty()) IterateOwnAttribs(conv, visit, receiver, saved);
        // The further copies of an array. Each is offered to the visit
        // procedure again in the caller's context, as the insert itself was:
        // the drawing counts it against its work bound and stops the copies
        // (leaving Expanding unset) once the bound or a cancel is reached.
        bool more = true;
        for (int32_t r = 0; more && r < ArrayRows; ++r)
            for (int32_t c = r == 0 ? 1 : 0; more && c < ArrayColumns; ++c) {
                if (!conv.ExpandInserts) {
                    d = saved;
                    Expanding = false;
                    visit(receiver, *this);
                    more = Expanding;
                    if (!more) break;
                }
                // The first copy's context, moved to this copy.
                d = first;
                d.Matrix = MultiplyMatrix(CopyTransform(c, r), saved.Matrix);
                WalkBlock(conv, visit, receiver);
            }
    }
    if (conv.OnInsert) conv.OnInsert(*this, true);
}
