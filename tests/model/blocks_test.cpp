// Blocks and inserts: reading, deferred block lookup, the insert transform and
// box, attributes, expansion while walking, and the guards against cycles,
// very deep nesting and non-finite placements.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/layout.h"
#include "model/entities/linear.h"
#include "model/entities/text.h"

#include "dxf_snippets.h"
#include "model/model_helpers.h"

namespace {

std::string Dxf(const std::string& s) { return dxftest::PipeDxf(s); }
std::unique_ptr<TkrDXFConverter> Load(const std::string& text) { return modeltest::LoadDrawable(text); }

TkrDXFBlock* BlockAt(TkrDXFConverter& c, int i) {
    TkrDXFEntity* e = c.GetTable(tkBlocks)->GetEntity(i);
    return e && e->Is(TEntityClass::Block) ? static_cast<TkrDXFBlock*>(e) : nullptr;
}

TkrDXFInsert* InsertAt(TkrDXFConverter& c, int i) {
    TkrDXFEntity* e = c.EntityAt(i);
    return e && e->Is(TEntityClass::Insert) ? static_cast<TkrDXFInsert*>(e) : nullptr;
}

// A line of length zero at (x, y): its box is that one point.
std::string Line(double x, double y) {
    std::string px = std::to_string(x), py = std::to_string(y);
    return "0|LINE|8|0|10|" + px + "|20|" + py + "|30|0|11|" + px + "|21|" + py + "|31|0";
}

std::string Block(const std::string& name, const std::string& body, double bx = 0, double by = 0) {
    return "0|BLOCK|2|" + name + "|10|" + std::to_string(bx) + "|20|" + std::to_string(by) + "|30|0" +
           (body.empty() ? "" : "|" + body) + "|0|ENDBLK";
}

std::string Insert(const std::string& name, double x, double y, const std::string& extra = "") {
    return "0|INSERT|8|0|2|" + name + "|10|" + std::to_string(x) + "|20|" + std::to_string(y) + "|30|0" +
           (extra.empty() ? "" : "|" + extra);
}

std::string File(const std::string& blocks, const std::string& entities) {
    return Dxf("0|SECTION|2|BLOCKS" + (blocks.empty() ? "" : "|" + blocks) + "|0|ENDSEC|0|SECTION|2|ENTITIES" +
               (entities.empty() ? "" : "|" + entities) + "|0|ENDSEC|0|EOF");
}

void ExpectPoint(const TPoint3F& p, float x, float y, float z) {
    EXPECT_NEAR(p.X, x, 1e-5);
    EXPECT_NEAR(p.Y, y, 1e-5);
    EXPECT_NEAR(p.Z, z, 1e-5);
}

// Records what a walk visits, with the context in force at each visit.
struct TVisitLog {
    TkrDXFConverter* Conv = nullptr;
    std::vector<TkrDXFEntity*> Entities;
    std::vector<TkrDXFInsert*> Inserts;  // the context's insert at each visit
    std::vector<TColorValue> Colors;          // ResolveColor under that insert
    std::vector<TPoint3F> Mapped;        // the entity's point under the context matrix
    bool ExpandVisitedInserts = false;   // what the insert draw procedure does

    static void Visit(void* r, TkrDXFEntity& e) {
        auto& log = *static_cast<TVisitLog*>(r);
        log.Entities.push_back(&e);
        TDrawContext* d = log.Conv->DrawContext;
        log.Inserts.push_back(d ? d->Insert : nullptr);
        log.Colors.push_back(ResolveColor(e, d ? d->Insert : nullptr));
        TPoint3F p{};
        if (e.Is(TEntityClass::PenLine)) p = static_cast<TkrDXFPenLine&>(e).Point;
        log.Mapped.push_back(d ? TransformPoint(p, d->Matrix) : p);
        if (e.Is(TEntityClass::Insert) && log.ExpandVisitedInserts) {
            auto& ins = static_cast<TkrDXFInsert&>(e);
            ins.Expanding = ins.Block != nullptr;
        }
    }
};

// Walks the ENTITIES section like the drawing graphic: model space, a fresh
// identity context at the top level.
TVisitLog Walk(TkrDXFConverter& c, bool expandInserts = true, bool expandVisited = false) {
    TVisitLog log;
    log.Conv = &c;
    log.ExpandVisitedInserts = expandVisited;
    TDrawContext dc;
    dc.Matrix = IdentityMatrix();
    c.DrawContext = &dc;
    c.ExpandInserts = expandInserts;
    c.CurrentSpace = false;
    IterateChildren(*c.GetTable(tkEntities), c, TVisitLog::Visit, &log);
    c.DrawContext = nullptr;
    return log;
}

}  // namespace

// ---- reading ----

TEST(BlockReading, GroupsAndName) {
    auto c = Load(Dxf("0|SECTION|2|BLOCKS|0|BLOCK|8|LAYERX|2|  DOOR  |5|1F|10|1.5|20|2.5|30|3|70|4|1| path.dxf |"
                      "330|1a|0|LINE|10|1|20|1|30|0|0|ENDBLK|0|ENDSEC|0|EOF"));
    TkrDXFBlock* b = BlockAt(*c, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Name, "DOOR");  // trimmed
    EXPECT_EQ(b->GetName(c.get()), "DOOR");
    EXPECT_EQ(b->Handle, 0x1Fu);
    ExpectPoint(b->BasePoint, 1.5f, 2.5f, 3);
    EXPECT_EQ(b->BlockFlags, 4);
    EXPECT_TRUE(b->IsXref());
    EXPECT_EQ(b->XrefPath, "path.dxf");
    EXPECT_EQ(b->OwnerHandle, "1A");
    EXPECT_EQ(b->Layer, nullptr);  // a block has no layer
    // A reader without a loader of external drawings loads none: the block
    // gets the text of the path after its own entities.
    ASSERT_EQ(b->Count(), 2);
    EXPECT_EQ(b->GetEntity(1)->Class, TEntityClass::Text);
    EXPECT_EQ(b->Xref, nullptr);
    EXPECT_TRUE(b->Finished);
    EXPECT_EQ(b->PendingAtRead, 0);
    EXPECT_EQ(b->ChildrenOffered, 2);  // the LINE and the ENDBLK
}

TEST(BlockReading, UnnamedBlockUsesClassName) {
    TkrDXFBlock b;
    EXPECT_EQ(b.GetName(nullptr), "BLOCK");
    EXPECT_TRUE(b.HasChildren);
    EXPECT_EQ(b.PendingAtRead, -1);
}

TEST(BlockReading, FinishedBlockRefusesChildren) {
    TkrDXFConverter conv;
    TkrDXFBlock b;
    b.Name = "X";
    std::unique_ptr<TkrDXFEntity> line = std::make_unique<TkrDXFLine>();
    EXPECT_TRUE(b.AddEntity(conv, line));
    b.Loaded(conv);
    EXPECT_TRUE(b.Finished);
    std::unique_ptr<TkrDXFEntity> again = std::make_unique<TkrDXFLine>();
    EXPECT_FALSE(b.AddEntity(conv, again));
    EXPECT_NE(again, nullptr);  // left with the caller
    EXPECT_EQ(b.ChildrenOffered, 2);
    std::unique_ptr<TkrDXFEntity> end = std::make_unique<TkrDXFSeqend>();
    TkrDXFBlock open;
    EXPECT_FALSE(open.AddEntity(conv, end));
}

TEST(BlockReading, BlockBoxIsUnionOfVisibleEntities) {
    // The invisible line (60 = 1) at (100, 100) does not count.
    auto c = Load(File(Block("B", Line(1, 2) + "|" + Line(-3, 5) + "|0|LINE|60|1|10|100|20|100|30|0"), ""));
    TkrDXFBlock* b = BlockAt(*c, 0);
    EXPECT_EQ(b->Box, (TBox3F{-3, 5, 0, 1, 2, 0}));
}

// ---- the transform ----

TEST(InsertTransform, ScaleRotationAndInsertionPoint) {
    // Block base (1, 1); insert at (10, 0), scale (2, 2, 1), rotation 90.
    // (2, 1) - base = (1, 0); scaled (2, 0); rotated by 90 degrees (0, 2);
    // moved to (10, 2).
    auto c = Load(File(Block("B", Line(2, 1), 1, 1), Insert("B", 10, 0, "41|2|42|2|43|1|50|90")));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ASSERT_NE(ins, nullptr);
    ASSERT_EQ(ins->Block, BlockAt(*c, 0));
    ExpectPoint(TransformPoint({2, 1, 0}, ins->Transform), 10, 2, 0);
    EXPECT_NEAR(ins->RotationCos, 0, 1e-12);
    EXPECT_NEAR(ins->RotationSin, 1, 1e-12);
    TBox3F box = ins->GetBox();
    EXPECT_NEAR(box.Left, 10, 1e-5);
    EXPECT_NEAR(box.Right, 10, 1e-5);
    EXPECT_NEAR(box.Top, 2, 1e-5);
    EXPECT_NEAR(box.Bottom, 2, 1e-5);
    EXPECT_EQ(ins->GetName(c.get()), "INSERT B");
}

TEST(InsertTransform, NegativeExtrusionMirrors) {
    // Extrusion (0, 0, -1): the OCS x axis is (-1, 0, 0). The insertion point
    // (5, 0, 0) lies at (-5, 0, 0); block point (1, 0, 0) lands at (-6, 0, 0)
    // and (0, 1, 0) at (-5, 1, 0): mirrored in X.
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 5, 0, "210|0|220|0|230|-1")));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ExpectPoint(ins->Point, -5, 0, 0);
    ExpectPoint(TransformPoint({1, 0, 0}, ins->Transform), -6, 0, 0);
    ExpectPoint(TransformPoint({0, 1, 0}, ins->Transform), -5, 1, 0);
    // Finishing again does not map the point a second time.
    ins->Loaded(*c);
    ExpectPoint(ins->Point, -5, 0, 0);
}

TEST(InsertTransform, ZeroExtrusionIsDefault) {
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 5, 0, "210|0|220|0|230|0")));
    ExpectPoint(TransformPoint({1, 0, 0}, InsertAt(*c, 0)->Transform), 6, 0, 0);
}

TEST(InsertBox, EightCornersOfBlockBox) {
    // Block box (0,0)-(2,1); rotated by 45 degrees about the insert point
    // (0, 0): corners (0,0), (2,0) -> (1.414, 1.414), (0,1) -> (-0.707, 0.707),
    // (2,1) -> (0.707, 2.121).
    auto c = Load(File(Block("B", Line(0, 0) + "|" + Line(2, 1)), Insert("B", 0, 0, "50|45")));
    TBox3F b = InsertAt(*c, 0)->GetBox();
    const double r = std::sqrt(0.5);
    EXPECT_NEAR(b.Left, -r, 1e-5);
    EXPECT_NEAR(b.Right, 2 * r, 1e-5);
    EXPECT_NEAR(b.Bottom, 0, 1e-5);
    EXPECT_NEAR(b.Top, 3 * r, 1e-5);
}

TEST(InsertBox, EmptyBlockGivesNoExtents) {
    auto c = Load(File("0|BLOCK|2|E|10|0|20|0|30|0|0|ENDBLK", Insert("E", 1, 1)));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ASSERT_NE(ins->Block, nullptr);
    EXPECT_TRUE(IsEmptyBox(ins->GetBox()));
}

TEST(InsertBox, InsertGetsLayerZero) {
    auto c = Load(File(Block("B", Line(1, 1)), "0|INSERT|2|B|10|0|20|0|30|0"));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ASSERT_NE(ins->Layer, nullptr);
    EXPECT_EQ(ins->Layer->Name, "0");
}

// ---- block lookup ----

TEST(BlockLookup, NamesMatchCaseSensitively) {
    auto c = Load(File(Block("DOOR", Line(1, 1)), Insert("door", 0, 0)));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    EXPECT_EQ(ins->Block, nullptr);
    EXPECT_EQ(ins->PendingName, "door");
    EXPECT_TRUE(IsEmptyBox(ins->GetBox()));
    EXPECT_EQ(ins->Converter, nullptr);
    EXPECT_EQ(ins->PendingName, "");  // given up once loading is over
    EXPECT_EQ(ins->Block, nullptr);
    // Expanded, it draws nothing of a block.
    TVisitLog log = Walk(*c);
    ASSERT_EQ(log.Entities.size(), 1u);
    EXPECT_EQ(log.Entities[0], ins);
}

TEST(BlockLookup, BlockDefinedAfterTheBlockThatInsertsIt) {
    // OUTER inserts INNER at (1, 0); INNER comes later and holds a line at
    // (3, 4). An insert places OUTER at (100, 0): the line lands at (104, 4).
    auto c = Load(File(Block("OUTER", Insert("INNER", 1, 0)) + "|" + Block("INNER", Line(3, 4)), ""));
    TkrDXFBlock* outer = BlockAt(*c, 0);
    TkrDXFBlock* inner = BlockAt(*c, 1);
    EXPECT_EQ(outer->PendingAtRead, 1);
    EXPECT_FALSE(outer->Finished);
    EXPECT_TRUE(IsEmptyBox(outer->Box));
    EXPECT_TRUE(inner->Finished);
    EXPECT_EQ(inner->PendingAtRead, 0);
    TkrDXFInsert top;
    top.Point = {100, 0, 0};
    top.Block = top.FindBlock(*c, "OUTER");
    EXPECT_EQ(top.Block, outer);
    top.Loaded(*c);
    EXPECT_TRUE(IsEmptyBox(top.InsertBox));  // no extents until asked
    EXPECT_EQ(top.Converter, c.get());
    EXPECT_TRUE(IsEmptyBox(outer->Box));
    TBox3F b = top.GetBox();
    EXPECT_EQ(b, (TBox3F{104, 4, 0, 104, 4, 0}));
    EXPECT_EQ(outer->Box, (TBox3F{4, 4, 0, 4, 4, 0}));
    EXPECT_EQ(outer->PendingAtRead, 0);
    EXPECT_EQ(top.Converter, nullptr);
    auto* nested = static_cast<TkrDXFInsert*>(outer->GetEntity(0));
    EXPECT_EQ(nested->Block, inner);
    EXPECT_EQ(nested->PendingName, "");
    EXPECT_EQ(nested->GetBox(), (TBox3F{4, 4, 0, 4, 4, 0}));
}

TEST(BlockLookup, EntitiesSectionResolvesItsInserts) {
    // Finishing the ENTITIES section asks every entity for its box, which
    // resolves the deferred references of the inserts in it.
    auto c = Load(File(Block("OUTER", Insert("INNER", 1, 0)) + "|" + Block("INNER", Line(3, 4)),
                       Insert("OUTER", 100, 0)));
    EXPECT_EQ(InsertAt(*c, 0)->Converter, nullptr);
    EXPECT_EQ(InsertAt(*c, 0)->InsertBox, (TBox3F{104, 4, 0, 104, 4, 0}));
    EXPECT_EQ(BlockAt(*c, 0)->PendingAtRead, 0);
}

TEST(BlockLookup, ComputeExtentsResolvesDeferredReferences) {
    auto c = Load(File(Block("OUTER", Insert("INNER", 1, 0)) + "|" + Block("INNER", Line(3, 4)),
                       Insert("OUTER", 100, 0) + "|" + Line(0, 0)));
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{0, 4, 0, 104, 0, 0}));
}

TEST(BlockLookup, FirstBlockOfANameWins) {
    auto c = Load(File(Block("D", Line(1, 1)) + "|" + Block("D", Line(2, 2)), Insert("D", 0, 0)));
    EXPECT_EQ(InsertAt(*c, 0)->Block, BlockAt(*c, 0));
    EXPECT_EQ(InsertAt(*c, 0)->GetBox(), (TBox3F{1, 1, 0, 1, 1, 0}));
}

TEST(BlockLookup, DestroyedBlocksSectionIsForgotten) {
    // A BLOCKS section inside an insert's children takes the slot while it is
    // read (an insert in it looks Q up there), then is refused and destroyed.
    // The BLOCKS section read later is the one searched.
    auto c = Load(Dxf("0|SECTION|2|ENTITIES|0|INSERT|2|NONE|66|1|0|SECTION|2|BLOCKS|" + Block("Q", Line(1, 1)) + "|" +
                      Block("R", Insert("Q", 0, 0)) + "|0|ENDSEC|0|SEQEND|0|ENDSEC|0|SECTION|2|BLOCKS|" +
                      Block("Q", Line(5, 5)) + "|0|ENDSEC|0|SECTION|2|ENTITIES|" + Insert("Q", 0, 0) +
                      "|0|ENDSEC|0|EOF"));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ASSERT_NE(ins, nullptr);
    ASSERT_EQ(ins->Block, BlockAt(*c, 0));
    EXPECT_EQ(ins->GetBox(), (TBox3F{5, 5, 0, 5, 5, 0}));
}

TEST(BlockLookup, PendingReferencesAreCounted) {
    TkrDXFConverter conv;
    TkrDXFInsert ins;
    int32_t before = conv.PendingRefs;
    EXPECT_EQ(ins.FindBlock(conv, "MISSING"), nullptr);
    EXPECT_EQ(ins.Converter, &conv);
    EXPECT_EQ(ins.PendingName, "MISSING");
    EXPECT_EQ(conv.PendingRefs, before + 1);
    // A second failed lookup keeps the first name and does not count again.
    EXPECT_EQ(ins.FindBlock(conv, "OTHER"), nullptr);
    EXPECT_EQ(ins.PendingName, "MISSING");
    EXPECT_EQ(conv.PendingRefs, before + 1);
}

TEST(BlockLookup, PaperSpaceBlockIsFinishedAtOnce) {
    // *pAPER_sPACE0 inserts a block that is defined later: it is finished at
    // once with HasContent set and its own paper-space flag cleared.
    auto c = Load(File("0|BLOCK|2|*pAPER_sPACE0|67|1|10|0|20|0|30|0|" + Line(2, 3) + "|" + Insert("LATER", 0, 0) +
                           "|0|ENDBLK|" + Block("LATER", Line(9, 9)),
                       ""));
    TkrDXFBlock* p = BlockAt(*c, 0);
    EXPECT_TRUE(p->Finished);
    EXPECT_TRUE(p->HasContent);
    EXPECT_FALSE(p->PaperSpace);
    EXPECT_EQ(p->PendingAtRead, 1);
    EXPECT_EQ(p->Box, (TBox3F{2, 3, 0, 2, 3, 0}));
    // The insert kept its name while the file was read and finds the block later.
    auto* ins = static_cast<TkrDXFInsert*>(p->GetEntity(1));
    EXPECT_EQ(ins->PendingName, "LATER");
    EXPECT_EQ(ins->GetBox(), (TBox3F{9, 9, 0, 9, 9, 0}));
    EXPECT_EQ(ins->Block, BlockAt(*c, 1));
}

TEST(BlockLookup, EmptyPaperSpaceBlockHasNoContent) {
    auto c = Load(File("0|BLOCK|2|*Paper_Space|10|0|20|0|30|0|0|ENDBLK", ""));
    EXPECT_FALSE(BlockAt(*c, 0)->HasContent);
}

// ---- attributes ----

TEST(InsertAttributes, AttribsUpToSeqend) {
    auto c = Load(File(Block("B", Line(0, 0)),
                       Insert("B", 0, 0, "66|1|0|ATTRIB|10|50|20|60|30|0|40|10|1|A|0|LINE|10|1|20|1|30|0|0|ATTRIB|10|1|20|1|30|0|"
                                         "0|SEQEND") +
                           "|" + Line(7, 7)));
    ASSERT_EQ(c->TableCount(tkEntities), 2);
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ASSERT_EQ(ins->Count(), 2);  // the LINE child was refused
    EXPECT_EQ(ins->GetEntity(0)->Class, TEntityClass::Attrib);
    EXPECT_EQ(ins->GetEntity(2), nullptr);
    EXPECT_EQ(ins->GetEntity(-1), nullptr);
    // The attribute "A" of height 10 at (50, 60) widens the insert box: cell
    // 16 high, its top 0.8 x 16 above the baseline, "A" 97 / 100 x 10 wide
    // (see the text tests); the second attribute has no text and no box.
    TBox3F b = ins->GetBox();
    EXPECT_FLOAT_EQ(b.Left, 0);
    EXPECT_FLOAT_EQ(b.Bottom, 0);
    EXPECT_FLOAT_EQ(b.Top, 72.8f);
    EXPECT_FLOAT_EQ(b.Right, 59.7f);
}

TEST(InsertAttributes, OnlyExactAttribClassIsTaken) {
    TkrDXFConverter conv;
    TkrDXFInsert ins;
    std::unique_ptr<TkrDXFEntity> def = std::make_unique<TkrDXFAttdef>();
    EXPECT_FALSE(ins.AddEntity(conv, def));
    std::unique_ptr<TkrDXFEntity> end = std::make_unique<TkrDXFSeqend>();
    EXPECT_FALSE(ins.AddEntity(conv, end));
    std::unique_ptr<TkrDXFEntity> att = std::make_unique<TkrDXFAttrib>();
    EXPECT_TRUE(ins.AddEntity(conv, att));
    EXPECT_EQ(att, nullptr);
    EXPECT_EQ(ins.Count(), 1);
}

TEST(InsertAttributes, MissingSeqendSwallowsFollowingEntities) {
    // Without SEQEND the next INSERT and the line are offered to the first
    // insert and destroyed; ENDSEC closes the insert.
    auto c = Load(File(Block("B", Line(0, 0)),
                       Insert("B", 0, 0, "66|1|0|ATTRIB|10|1|20|1|30|0") + "|" + Insert("B", 5, 5) + "|" + Line(7, 7)));
    ASSERT_EQ(c->TableCount(tkEntities), 1);
    EXPECT_EQ(InsertAt(*c, 0)->Count(), 1);
}

// ---- expansion ----

TEST(InsertIterate, WalksBlockUnderComposedTransform) {
    // Top insert of OUTER at (100, 0); OUTER holds a line at (1, 1) and an
    // insert of INNER at (10, 0) rotated by 90; INNER holds a line at (2, 0),
    // which lands at (10, 2) in OUTER and (110, 2) in the drawing.
    auto c = Load(File(Block("INNER", Line(2, 0)) + "|" + Block("OUTER", Line(1, 1) + "|" + Insert("INNER", 10, 0, "50|90")),
                       Insert("OUTER", 100, 0)));
    std::vector<std::pair<TkrDXFInsert*, bool>> events;
    c->OnInsert = [&](TkrDXFInsert& i, bool after) { events.push_back({&i, after}); };
    TkrDXFInsert* top = InsertAt(*c, 0);
    TVisitLog log = Walk(*c);
    ASSERT_EQ(log.Entities.size(), 2u);
    ExpectPoint(log.Mapped[0], 101, 1, 0);
    ExpectPoint(log.Mapped[1], 110, 2, 0);
    EXPECT_EQ(log.Inserts[0], top);
    TkrDXFInsert* nested = log.Inserts[1];
    ASSERT_NE(nested, nullptr);
    EXPECT_NE(nested, top);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], std::make_pair(top, false));
    EXPECT_EQ(events[1], std::make_pair(nested, false));
    EXPECT_EQ(events[2], std::make_pair(nested, true));
    EXPECT_EQ(events[3], std::make_pair(top, true));
    // Afterwards nothing of the walk is left behind.
    EXPECT_FALSE(top->Expanding);
    EXPECT_EQ(top->SavedContext, nullptr);
    EXPECT_EQ(top->ParentInsert, nullptr);
    EXPECT_EQ(nested->ParentInsert, top);  // the restored context's insert
    EXPECT_FALSE(BlockAt(*c, 1)->PaperSpace);
}

TEST(InsertIterate, ContextIsSavedAndRestored) {
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 5, 0, "62|1")));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    TDrawContext dc;
    dc.Matrix = ScaleTranslateMatrix({2, 2, 1}, {0, 0, 0});
    dc.ScaleX = 3;
    dc.ScaleY = 3;
    dc.BlockColor = clFromLayer;
    c->DrawContext = &dc;
    struct TSeen {
        TkrDXFConverter* conv;
        TDrawContext inside;
        TDrawContext* savedRef;
        TkrDXFInsert* ins;
    } seen{c.get(), {}, nullptr, ins};
    ins->Iterate(*c, [](void* r, TkrDXFEntity&) {
        auto& s = *static_cast<TSeen*>(r);
        s.inside = *s.conv->DrawContext;
        s.savedRef = s.ins->SavedContext;
    }, &seen);
    // Inside: block point (1, 0) -> (6, 0) by the insert -> (12, 0) by the context.
    ExpectPoint(TransformPoint({1, 0, 0}, seen.inside.Matrix), 12, 0, 0);
    EXPECT_EQ(seen.inside.Insert, ins);
    EXPECT_EQ(seen.inside.ScaleX, 0);
    EXPECT_EQ(seen.inside.ScaleY, 0);
    EXPECT_EQ(seen.inside.BlockColor, 0x0000FF);
    ASSERT_NE(seen.savedRef, nullptr);
    // Restored.
    EXPECT_EQ(dc.ScaleX, 3);
    EXPECT_EQ(dc.Insert, nullptr);
    EXPECT_EQ(dc.BlockColor, clFromLayer);
    ExpectPoint(TransformPoint({1, 0, 0}, dc.Matrix), 2, 0, 0);
    c->DrawContext = nullptr;
}

TEST(InsertIterate, ByBlockColourComesFromInsert) {
    // The line is BYBLOCK (62 = 0); the insert is blue (5).
    auto c = Load(File(Block("B", "0|LINE|8|0|62|0|10|1|20|1|30|0"), Insert("B", 0, 0, "62|5")));
    TVisitLog log = Walk(*c);
    ASSERT_EQ(log.Colors.size(), 1u);
    EXPECT_EQ(log.Colors[0], 0xFF0000);
    EXPECT_EQ(InsertAt(*c, 0)->Color, 0xFF0000);
    InsertAt(*c, 0)->SetColor(0x123456);
    EXPECT_EQ(InsertAt(*c, 0)->EntityColor(), 0x123456);
}

TEST(InsertIterate, WithoutExpandInsertsTheVisitDecides) {
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 0, 0)));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    // The visit procedure does not ask for expansion: only the insert is visited.
    TVisitLog plain = Walk(*c, false, false);
    ASSERT_EQ(plain.Entities.size(), 1u);
    EXPECT_EQ(plain.Entities[0], ins);
    // The draw procedure sets Expanding: the insert, then its block.
    TVisitLog drawn = Walk(*c, false, true);
    ASSERT_EQ(drawn.Entities.size(), 2u);
    EXPECT_EQ(drawn.Entities[0], ins);
    EXPECT_TRUE(drawn.Entities[1]->Is(TEntityClass::Line));
    EXPECT_FALSE(ins->Expanding);
}

TEST(InsertIterate, PaperSpaceFlagOfInsertPassesToBlock) {
    // A paper-space insert is walked only when paper space is drawn; its
    // block's entities are visited as paper-space entities.
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 0, 0, "67|1")));
    EXPECT_EQ(Walk(*c).Entities.size(), 0u);
    TVisitLog log;
    log.Conv = c.get();
    c->CurrentSpace = true;
    c->ExpandInserts = true;
    TDrawContext dc;
    dc.Matrix = IdentityMatrix();
    c->DrawContext = &dc;
    IterateChildren(*c->GetTable(tkEntities), *c, TVisitLog::Visit, &log);
    c->DrawContext = nullptr;
    ASSERT_EQ(log.Entities.size(), 1u);
    EXPECT_FALSE(BlockAt(*c, 0)->PaperSpace);
    EXPECT_FALSE(log.Entities[0]->PaperSpace);  // restored after the walk
}

TEST(InsertIterate, WorksWithoutCallerContext) {
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 5, 0)));
    TVisitLog log;
    log.Conv = c.get();
    c->ExpandInserts = true;
    InsertAt(*c, 0)->Iterate(*c, TVisitLog::Visit, &log);
    ASSERT_EQ(log.Mapped.size(), 1u);
    ExpectPoint(log.Mapped[0], 6, 0, 0);
    EXPECT_EQ(c->DrawContext, nullptr);
}

// ---- cycles and depth ----

TEST(InsertCycles, BlockInsertingItselfDirectly) {
    // A holds a line at (1, 0) and an insert of itself at (10, 0).
    auto c = Load(File(Block("A", Line(1, 0) + "|" + Insert("A", 10, 0)), Insert("A", 0, 0) + "|" + Line(-5, 0)));
    c->ComputeExtents();
    // Only the line of the outer A counts; the self reference adds nothing.
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{-5, 0, 0, 1, 0, 0}));
    TVisitLog log = Walk(*c);
    // The line of A once (the inner A is not entered), then the top-level line.
    ASSERT_EQ(log.Entities.size(), 2u);
    ExpectPoint(log.Mapped[0], 1, 0, 0);
    ExpectPoint(log.Mapped[1], -5, 0, 0);
    // With the visit procedure deciding, the inner insert is visited but not entered.
    TVisitLog drawn = Walk(*c, false, true);
    ASSERT_EQ(drawn.Entities.size(), 4u);
    EXPECT_TRUE(drawn.Entities[0]->Is(TEntityClass::Insert));
    EXPECT_TRUE(drawn.Entities[1]->Is(TEntityClass::Line));
    EXPECT_TRUE(drawn.Entities[2]->Is(TEntityClass::Insert));
    EXPECT_TRUE(drawn.Entities[3]->Is(TEntityClass::Line));
}

TEST(InsertCycles, BlocksInsertingEachOther) {
    // A -> B -> A: A holds a line at (1, 0) and an insert of B at (0, 10);
    // B holds a line at (2, 0) and an insert of A at (0, 100).
    auto c = Load(File(Block("A", Line(1, 0) + "|" + Insert("B", 0, 10)) + "|" +
                           Block("B", Line(2, 0) + "|" + Insert("A", 0, 100)),
                       Insert("A", 0, 0)));
    c->ComputeExtents();
    // A's line (1, 0) and B's line at (2, 10); the inner A adds nothing.
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{1, 10, 0, 2, 0, 0}));
    TVisitLog log = Walk(*c);
    ASSERT_EQ(log.Entities.size(), 2u);
    ExpectPoint(log.Mapped[0], 1, 0, 0);
    ExpectPoint(log.Mapped[1], 2, 10, 0);
}

TEST(InsertCycles, CycleThroughDirectIterateOfBlock) {
    // A top-level insert of B, where B inserts A and A inserts B: started from
    // B, the walk stops when B comes round again.
    auto c = Load(File(Block("A", Insert("B", 0, 0) + "|" + Line(1, 0)) + "|" + Block("B", Insert("A", 0, 0)),
                       Insert("B", 0, 0)));
    TVisitLog log = Walk(*c);
    ASSERT_EQ(log.Entities.size(), 1u);
    EXPECT_EQ(BlockAt(*c, 1)->Box, (TBox3F{1, 0, 0, 1, 0, 0}));
}

namespace {
// Blocks B0..B(n-1); Bi holds a line at (0, 0) and an insert of B(i+1) at
// (1, 0), so level k (1-based) draws its line at x = k - 1. reversed: the
// blocks are written innermost first, so every reference is found at once.
std::string DeepChain(int n, bool reversed) {
    std::string blocks;
    for (int k = 0; k < n; ++k) {
        int i = reversed ? n - 1 - k : k;
        std::string body = Line(0, 0);
        std::string name = "B", next = "B";
        name += std::to_string(i);
        next += std::to_string(i + 1);
        if (i + 1 < n) {
            body += '|';
            body += Insert(next, 1, 0);
        }
        if (!blocks.empty()) blocks += '|';
        blocks += Block(name, body);
    }
    return File(blocks, Insert("B0", 0, 0));
}
}  // namespace

TEST(InsertDepth, DeepDeferredChainIsBounded) {
    // 3000 levels, each defined after its user: resolving descends at most
    // kMaxInsertDepth levels, so the levels 1..256 (x = 0..255) count.
    auto c = Load(DeepChain(3000, false));
    c->ComputeExtents();
    TBox3F b = c->LayoutAt(0)->Box;
    EXPECT_EQ(b.Left, 0);
    EXPECT_EQ(b.Right, float(kMaxInsertDepth - 1));
    TVisitLog log = Walk(*c);
    EXPECT_EQ(log.Entities.size(), size_t(kMaxInsertDepth));
    ExpectPoint(log.Mapped.back(), float(kMaxInsertDepth - 1), 0, 0);
}

TEST(InsertDepth, DeepImmediateChainDrawsBoundedDepth) {
    // Defined innermost first: every block is finished as it is read, and the
    // extents cover all 3000 levels; drawing stops after kMaxInsertDepth.
    auto c = Load(DeepChain(3000, true));
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box.Right, 2999.0f);
    TVisitLog log = Walk(*c);
    EXPECT_EQ(log.Entities.size(), size_t(kMaxInsertDepth));
}

// ---- non-finite placements ----

TEST(InsertSanity, InfiniteScaleGivesNoExtents) {
    // 1e39 does not fit a float (infinite); 1e400 does not fit a double.
    for (const char* s : {"1e39", "1e400", "-1e400"}) {
        auto c = Load(File(Block("B", Line(1, 1) + "|" + Line(2, 2)),
                           Insert("B", 0, 0, std::string("41|") + s) + "|" + Line(5, 6)));
        c->ComputeExtents();
        TBox3F b = c->LayoutAt(0)->Box;
        EXPECT_EQ(b, (TBox3F{5, 6, 0, 5, 6, 0})) << s;
        EXPECT_TRUE(IsEmptyBox(InsertAt(*c, 0)->GetBox())) << s;
        // Nor is its block drawn with a non-finite transform.
        TVisitLog log = Walk(*c);
        EXPECT_EQ(log.Entities.size(), 1u) << s;
    }
}

TEST(InsertSanity, HugeScaleGivesNoExtents) {
    // 1e30 x 1 is beyond the range of a box (1e20).
    auto c = Load(File(Block("B", Line(1, 1)), Insert("B", 0, 0, "41|1e30|42|1e30") + "|" + Line(5, 6)));
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{5, 6, 0, 5, 6, 0}));
}

TEST(InsertSanity, NaNScaleGivesNoExtents) {
    auto c = Load(File(Block("B", Line(1, 1)), Insert("B", 0, 0) + "|" + Line(5, 6)));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    ins->InsertScale.Y = std::nanf("");
    ins->Loaded(*c);
    EXPECT_TRUE(IsEmptyBox(ins->GetBox()));
    c->ComputeExtents();
    TBox3F b = c->LayoutAt(0)->Box;
    EXPECT_FALSE(std::isnan(b.Left) || std::isnan(b.Right) || std::isnan(b.Top) || std::isnan(b.Bottom));
    EXPECT_EQ(b, (TBox3F{5, 6, 0, 5, 6, 0}));
}

// ---- lifetimes ----

TEST(InsertLifetime, RefusedBlockAndInsertLeaveNothingBehind) {
    // A BLOCK and an INSERT as children of an insert with 66 = 1 are refused
    // and destroyed; the rest of the drawing still loads and draws.
    auto c = Load(File(Block("B", Line(1, 0)),
                       Insert("B", 0, 0, "66|1|" + Block("X", Line(3, 3)) + "|" + Insert("X", 0, 0) + "|0|SEQEND") +
                           "|" + Insert("X", 2, 0) + "|" + Insert("B", 10, 0)));
    ASSERT_EQ(c->TableCount(tkEntities), 3);
    EXPECT_EQ(InsertAt(*c, 1)->Block, nullptr);  // X never reached the BLOCKS section
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{1, 0, 0, 11, 0, 0}));
    EXPECT_EQ(Walk(*c).Entities.size(), 3u);
}

TEST(InsertLifetime, ReloadForgetsPreviousBlocks) {
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 0, 0)));
    c->LoadFromText(File("", Insert("B", 0, 0)));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    EXPECT_EQ(ins->Block, nullptr);
    c->ComputeExtents();
    EXPECT_TRUE(IsEmptyBox(c->LayoutAt(0)->Box));
}

// ---- insert arrays (70/71 counts, 44/45 spacings) ----

TEST(InsertArray, ThreeByTwoCopiesInTheRotatedFrameBoxTheWholeGrid) {
    // Block: points (0,0) and (1,0). Insert at (10, 20), scale 2, rotated
    // 90 degrees, 3 columns 5 apart, 2 rows 2 apart. The grid turns with the
    // insert but is not scaled: copy (c, r) sits at (10 - 2r, 20 + 5c) and
    // its points run 2 units up from there. So x 8..10, y 20..32.
    auto c = Load(File(Block("B", Line(0, 0) + "|" + Line(1, 0)),
                       Insert("B", 10, 20, "41|2|42|2|50|90|70|3|71|2|44|5|45|2")));
    TkrDXFInsert* ins = InsertAt(*c, 0);
    EXPECT_EQ(ins->ArrayColumns, 3);
    EXPECT_EQ(ins->ArrayRows, 2);
    ExpectPoint(TransformPoint({1, 0, 0}, ins->CopyTransform(0, 0)), 10, 22, 0);
    ExpectPoint(TransformPoint({1, 0, 0}, ins->CopyTransform(2, 1)), 8, 32, 0);
    TBox3F b = ins->GetBox();
    EXPECT_NEAR(b.Left, 8, 1e-5);
    EXPECT_NEAR(b.Right, 10, 1e-5);
    EXPECT_NEAR(b.Bottom, 20, 1e-5);
    EXPECT_NEAR(b.Top, 32, 1e-5);
}

TEST(InsertArray, ZeroSpacingOrCountsBelowTwoGiveOneCopyAndOtherClassesIgnoreTheCodes) {
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 0, 0, "70|1000|71|1000|44|0|45|3") + "|" +
                                                   Insert("B", 0, 0, "70|-4|71|0|44|5|45|5")));
    EXPECT_EQ(InsertAt(*c, 0)->ArrayColumns, 1);  // spacing 0: all on the first
    EXPECT_EQ(InsertAt(*c, 0)->ArrayRows, 1000);
    EXPECT_EQ(InsertAt(*c, 1)->ArrayColumns, 1);
    EXPECT_EQ(InsertAt(*c, 1)->ArrayRows, 1);
    // An MTEXT's 71 is its attachment point and 44 its line spacing.
    auto m = Load(Dxf("0|SECTION|2|ENTITIES|0|MTEXT|8|0|10|0|20|0|71|5|44|2|0|ENDSEC|0|EOF"));
    auto* t = static_cast<TkrDXFInsert*>(m->EntityAt(0));
    EXPECT_EQ(t->Array().RowCount, 0);
    EXPECT_EQ(t->Array().ColumnSpacing, 0);
}

TEST(InsertArray, AHugeGridIsBoxedFromItsCornerCopies) {
    // 100000 x 100000 copies of (1,0) one unit apart: the box is computed
    // from four copies, (1,0)..(100000, 99999), at once.
    auto c = Load(File(Block("B", Line(1, 0)), Insert("B", 0, 0, "70|100000|71|100000|44|1|45|1")));
    TBox3F b = InsertAt(*c, 0)->GetBox();
    EXPECT_EQ(b.Left, 1);
    EXPECT_EQ(b.Right, 100000);
    EXPECT_EQ(b.Bottom, 0);
    EXPECT_EQ(b.Top, 99999);
}
