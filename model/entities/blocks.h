// Block definitions (BLOCK ... ENDBLK in the BLOCKS section) and block
// references (INSERT): how a block is finished, how an insert finds its block
// (at once, or later when the block is defined further down the file), the
// transform an insert builds, its extents, and how it expands its block while
// the drawing is walked.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/entity.h"
#include "model/limits.h"

class TkrDXFAttrib;
class TkrDXFXref;

// Deepest nesting of inserts that is followed, both while boxes of blocks
// with deferred references are computed and while blocks are expanded for
// drawing. An insert deeper than this contributes no extents and draws
// nothing of its block; this keeps the recursion (one stack frame chain per
// level) well inside the stack even for files nested thousands of levels deep.
constexpr int kMaxInsertDepth = 256;

class TkrDXFBlock : public TkrDXFGroup {
public:
    TkrDXFBlock() : TkrDXFGroup(TEntityClass::Block) { HasChildren = true; }
    ~TkrDXFBlock() override;

    uint8_t BlockFlags = 0;      // 4 or 32: external reference
    int32_t PendingAtRead = -1;  // PendingRefs at the first group; then the unresolved count
    int32_t ChildrenOffered = 0;
    bool Finished = false;
    std::string Name;
    TPoint3F BasePoint{};
    std::string OwnerHandle;  // code 330, upper-cased
    bool HasContent = false;  // a paper-space block that holds entities
    TkrDXFXref* Xref = nullptr;  // one of the block's entities, when attached
    std::string XrefPath;
    TViewportNumbering Viewports;

    bool IsXref() const { return (BlockFlags & (4 | 32)) != 0; }

    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;
    std::string GetName(const TkrDXFConverter* conv) const override;
    void Loaded(TkrDXFConverter& conv) override;

    // The group's box computation (union of the boxes of the visible
    // entities), where inserts whose lookup was deferred are resolved at
    // nesting level depth + 1. Refuses to run again while it is running
    // further up (a block that inserts itself): returns false then.
    bool ComputeBox(TkrDXFConverter& conv, int depth);
    bool Resolving() const { return FResolving; }

    // Layouts that refer to this block register their converter here, so that
    // the reference is dropped if the block is destroyed before the layout.
    void AttachLayoutOwner(TkrDXFConverter* conv) { FLayoutOwner = conv; }

private:
    bool FResolving = false;
    bool FXrefAttached = false;
    TkrDXFConverter* FLayoutOwner = nullptr;
    // Loads the drawing XrefPath names into an external reference entity,
    // or adds the text of the path when it is missing.
    void AttachXref(TkrDXFConverter& conv);
};

// A name kept on the heap only while it is set: the name of the block an
// insert waits for (few inserts refer to a block not read yet), so that the
// inserts of a drawing stay in the allocator's class of 256 bytes.
class TRareName {
public:
    bool empty() const { return !FText || FText->empty(); }
    void clear() { FText.reset(); }
    TRareName& operator=(std::string_view s) {
        if (s.empty())
            FText.reset();
        else
            FText = std::make_unique<std::string>(s);
        return *this;
    }
    operator std::string_view() const { return FText ? std::string_view(*FText) : std::string_view(); }
    bool operator==(std::string_view s) const { return std::string_view(*this) == s; }

private:
    std::unique_ptr<std::string> FText;
};

class TkrDXFInsert : public TkrDXFCustomVertex {
public:
    explicit TkrDXFInsert(TEntityClass cls = TEntityClass::Insert);
    ~TkrDXFInsert() override;

    float Rotation = 0;  // degrees, code 50
    double RotationCos = 1, RotationSin = 0;
    TCompactList<std::unique_ptr<TkrDXFAttrib>> Attribs;
    TkrDXFBlock* Block = nullptr;  // owned by the BLOCKS section
    TBox3F InsertBox = EmptyBox;
    // The insert's own colour (code 62): what BYBLOCK entities of the block take.
    TColorValue Color = clFromLayer;
    bool Expanding = false;
    TPoint3F Extrusion{0, 0, 1};
    TMatrix4x3F Transform = IdentityMatrix();  // block coordinates to drawing coordinates
    TRareName PendingName;
    TkrDXFInsert* ParentInsert = nullptr;
    TDrawContext* SavedContext = nullptr;  // the caller's context while expanding
    TPoint3F InsertScale{1, 1, 1};
    // An array of copies (an INSERT with codes 70/71 and 44/45): column and
    // row counts as read (0 or less: one) and the spacings, in the insert's
    // rotated frame (not scaled). StepColumn/StepRow is the offset from one
    // column (row) to the next in drawing coordinates, set by Loaded.
    struct TArrayGroups {
        int32_t ColumnCount = 0, RowCount = 0;
        double ColumnSpacing = 0, RowSpacing = 0;
        double StepColumn[3] = {}, StepRow[3] = {};
    };
    // The copies drawn: a direction whose spacing is 0 puts every copy on
    // the first, so it has one.
    int32_t ArrayColumns = 1, ArrayRows = 1;
    // The array's groups; those of a single copy when none were read.
    const TArrayGroups& Array() const;

    TColorValue EntityColor() const override { return Color; }
    void SetColor(TColorValue c) override { Color = c; }
    void ReadProperty(TkrDXFConverter& conv) override;
    bool AddEntity(TkrDXFConverter& conv, std::unique_ptr<TkrDXFEntity>& child) override;
    int Count() const override;
    TkrDXFEntity* GetEntity(int i) const override;
    TBox3F GetBox() const override;
    std::string GetName(const TkrDXFConverter* conv) const override;
    void Loaded(TkrDXFConverter& conv) override;
    void Iterate(TkrDXFConverter& conv, TVisitProc visit, void* receiver) override;

    // Looks the block up by its exact name among the BLOCKS section's blocks;
    // remembers the name (and counts a pending reference) when there is none.
    TkrDXFBlock* FindBlock(TkrDXFConverter& conv, std::string_view name);
    // The deferred lookup, run from GetBox while Converter is still set.
    void Resolve() { ResolveAt(0); }
    // As Resolve, reached at nesting level depth of a box computation.
    void ResolveAt(int depth);

    // The transform of the copy in column c and row r of an array.
    TMatrix4x3F CopyTransform(int32_t c, int32_t r) const;
    // Whether the block may be walked in context dc (a sound placement, no
    // cycle, within the nesting bound); what stops it is counted in hits.
    bool CanDescend(const TDrawContext& dc, TBoundHits& hits) const;

protected:
    // Whether the block has anything to place (an insert of an empty block
    // has no extents), and the walk of the block for one copy, in the
    // drawing context the insert has set up: its entities (IterateChildren).
    // A multi-line text lays out its runs there instead.
    virtual bool BlockHasEntities() const { return !Block->Entities.empty(); }
    virtual void WalkBlock(TkrDXFConverter& conv, TVisitProc visit, void* receiver);

private:
    bool FPointMapped = false;  // Point already mapped from the OCS
    // Made when an array group is read: few inserts are arrays, and the
    // others stay in the allocator's class of 320 bytes (a multi-line text,
    // which derives from an insert, in that of 512).
    std::unique_ptr<TArrayGroups> FArray;
    TArrayGroups& ArrayToRead();
    // Visits the attributes no definition of the block draws, in the
    // container's context outside (while the block is expanded).
    void IterateOwnAttribs(TkrDXFConverter& conv, TVisitProc visit, void* receiver, const TDrawContext& outside);
    void SetArraySteps();
};
