// Dimensions, tables, leaders, viewports, the active view and images in the
// model: how each reads its groups and what it is finished into.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "drawn_points.h"
#include "model/converter.h"
#include "model/entities/dimension.h"
#include "model/entities/image.h"
#include "model/entities/layout.h"
#include "model/entities/leader.h"
#include "model/entities/table.h"
#include "model/entities/viewport.h"

#include "dxf_snippets.h"
#include "model/model_helpers.h"

namespace {

std::unique_ptr<TkrDXFConverter> Load(const std::string& pipes) {
    return modeltest::LoadDrawable(dxftest::PipeDxf(pipes));
}

// BLOCKS with the given blocks, ENTITIES with the given entities.
std::unique_ptr<TkrDXFConverter> LoadFile(const std::string& blocks, const std::string& entities,
                                          const std::string& header = "") {
    std::string s;
    if (!header.empty()) s += "0|SECTION|2|HEADER|" + header + "|0|ENDSEC|";
    s += "0|SECTION|2|BLOCKS" + (blocks.empty() ? "" : "|" + blocks) + "|0|ENDSEC|0|SECTION|2|ENTITIES" +
         (entities.empty() ? "" : "|" + entities) + "|0|ENDSEC|0|EOF";
    return Load(s);
}

template <class T>
T* At(TkrDXFConverter& c, int i) {
    TkrDXFEntity* e = c.EntityAt(i);
    return e ? dynamic_cast<T*>(e) : nullptr;
}

void ExpectPoint(const TPoint3F& p, double x, double y, double tol = 1e-5) {
    EXPECT_NEAR(p.X, x, tol);
    EXPECT_NEAR(p.Y, y, tol);
}

// What a walk visits, with the point of each visited pen line under the
// context matrix in force.
struct TVisits {
    TkrDXFConverter* Conv = nullptr;
    std::vector<TkrDXFEntity*> Entities;
    std::vector<TPoint3F> Mapped;
    std::vector<bool> Clipping;
    static void Visit(void* r, TkrDXFEntity& e) {
        auto& v = *static_cast<TVisits*>(r);
        v.Entities.push_back(&e);
        TPoint3F p{};
        if (e.Is(TEntityClass::PenLine)) p = static_cast<TkrDXFPenLine&>(e).Point;
        v.Mapped.push_back(TransformPoint(p, v.Conv->DrawContext->Matrix));
        v.Clipping.push_back(v.Conv->ClipEnabled);
    }
};

TVisits WalkSpace(TkrDXFConverter& c, bool paper) {
    TVisits v;
    v.Conv = &c;
    TDrawContext dc;
    dc.Matrix = IdentityMatrix();
    c.DrawContext = &dc;
    c.CurrentSpace = paper;
    IterateChildren(*c.GetTable(tkEntities), c, TVisits::Visit, &v);
    c.DrawContext = nullptr;
    return v;
}

const std::string kBlockD1 = "0|BLOCK|2|*D1|10|0|20|0|30|0|0|LINE|8|0|10|0|20|0|11|10|21|0|0|ENDBLK";

}  // namespace

// ---- dimensions and tables ----

TEST(Dimension, ReferencesItsBlockAtTheInsertionPointOf12And54Rotates) {
    // 10/20/30 (the definition point) is ignored; 12/22 places the block; 54
    // rotates it by 90 degrees: the block's line (0,0)-(10,0) ends at (5, 17).
    auto c = LoadFile(kBlockD1, "0|DIMENSION|8|DIM|2|*D1|10|100|20|100|30|0|12|5|22|7|32|0|54|90|41|3|50|45");
    auto* d = At<TkrDXFDimension>(*c, 0);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(d->Block, nullptr);
    EXPECT_EQ(d->Block->Name, "*D1");
    ExpectPoint(d->Point, 5, 7);
    EXPECT_FLOAT_EQ(d->Rotation, 90);
    EXPECT_EQ(d->InsertScale, (TPoint3F{1, 1, 1}));  // 41 is not the insert's scale here
    ExpectPoint(TransformPoint({10, 0, 0}, d->Transform), 5, 17);
    EXPECT_EQ(d->Layer->Name, "DIM");
}

TEST(Dimension, ArcDimensionsAndTablesDrawThroughTheirBlocks) {
    // An ARC_DIMENSION is read as a dimension; an ACAD_TABLE is placed at the
    // insertion point of its block reference part, and nothing of its table
    // part (which has its own 10 and 41 groups) moves or scales it.
    auto c = LoadFile(kBlockD1,
                      "0|ARC_DIMENSION|2|*D1|10|50|20|50|12|1|22|2|"
                      "0|ACAD_TABLE|100|AcDbEntity|8|0|100|AcDbBlockReference|2|*D1|10|20|20|30|30|0|"
                      "100|AcDbTable|10|999|41|7|2|*X");
    auto* arc = At<TkrDXFDimension>(*c, 0);
    auto* table = At<TkrDXFAcadTable>(*c, 1);
    ASSERT_NE(arc, nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(arc->Class, TEntityClass::Dimension);
    ExpectPoint(arc->Point, 1, 2);
    ASSERT_NE(table->Block, nullptr);
    ExpectPoint(table->Point, 20, 30);
    EXPECT_EQ(table->InsertScale, (TPoint3F{1, 1, 1}));
    EXPECT_EQ(table->GetBox(), (TBox3F{20, 30, 0, 30, 30, 0}));
    EXPECT_EQ(arc->GetName(c.get()), "ARC_DIMENSION *D1");
    EXPECT_EQ(table->TkrDXFEntity::GetName(c.get()), "ACAD_TABLE");
}

TEST(Dimension, AMissingBlockOrOneThatHoldsItselfEndsCleanly) {
    // *D2 holds a dimension naming *D2: the walk expands it once and stops.
    auto c = LoadFile("0|BLOCK|2|*D2|10|0|20|0|0|LINE|10|0|20|0|11|1|21|1|0|DIMENSION|2|*D2|0|ENDBLK",
                      "0|DIMENSION|2|*NOWHERE|0|DIMENSION|2|*D2");
    auto* missing = At<TkrDXFDimension>(*c, 0);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->Block, nullptr);
    EXPECT_TRUE(IsEmptyBox(missing->GetBox()));
    c->ExpandInserts = true;
    TVisits v = WalkSpace(*c, false);
    // The line of *D2 once; the inner dimension is refused as a cycle.
    size_t lines = 0;
    for (auto* e : v.Entities) lines += e->Class == TEntityClass::Line;
    EXPECT_EQ(lines, 1u);
    EXPECT_GE(c->Bounds.InsertCycles, 1u);
}

// ---- leaders ----

namespace {
TkrDXFLeader* LoadLeader(std::unique_ptr<TkrDXFConverter>& c, const std::string& groups,
                         const std::string& header = "", const std::string& blocks = "") {
    c = LoadFile(blocks, "0|LEADER|8|NOTES|" + groups, header);
    return At<TkrDXFLeader>(*c, 0);
}
}  // namespace

TEST(Leader, TheArrowAngleFollowsTheFirstSegment) {
    std::unique_ptr<TkrDXFConverter> c;
    // The first vertex left of the second, same height: the arrow points left.
    auto* l = LoadLeader(c, "10|0|20|0|10|10|20|0");
    ASSERT_NE(l, nullptr);
    EXPECT_FLOAT_EQ(l->ArrowAngle, 180);
    ExpectPoint(l->Tip, 0, 0);
    ExpectPoint(l->End, 10, 0);
    // Pointing down-right: vertex 0 - vertex 1 = (1, -1): -45 degrees.
    l = LoadLeader(c, "10|1|20|-1|10|0|20|0");
    EXPECT_NEAR(l->ArrowAngle, -45, 1e-4);
    // Two vertices at one place have no direction: 0, never NaN.
    l = LoadLeader(c, "10|3|20|3|10|3|20|3|10|8|20|3");
    EXPECT_EQ(l->ArrowAngle, 0);
    EXPECT_TRUE(std::isfinite(l->Arrow->Transform.M[0][0]));
}

TEST(Leader, WithoutHeaderVariablesTheArrowIsTheUnitTriangle) {
    std::unique_ptr<TkrDXFConverter> c;
    auto* l = LoadLeader(c, "10|10|20|0|10|20|20|0");  // pointing left, tip (10, 0)
    ASSERT_NE(l, nullptr);
    TkrDXFInsert& a = *l->Arrow;
    ASSERT_NE(a.Block, nullptr);
    EXPECT_EQ(a.Block->Name, "Filled_arrow_for_leader");
    EXPECT_EQ(a.Block->OwnerHandle, "#NEWBLOCKID");
    EXPECT_EQ(a.InsertScale, (TPoint3F{1, 1, 1}));
    auto* s = dynamic_cast<TkrDXFSolid*>(a.Block->GetEntity(0));
    ASSERT_NE(s, nullptr);
    // Length 1 and width 1/3, rotated by 180 degrees about the tip: the
    // base corners (-1, +-1/6) land at (11, -+1/6).
    ExpectPoint(TransformPoint(s->Point2, a.Transform), 10, 0);
    ExpectPoint(TransformPoint(s->Point, a.Transform), 11, -1.0 / 6);
    ExpectPoint(TransformPoint(s->Point4, a.Transform), 11, 1.0 / 6);
    EXPECT_EQ(a.Layer, l->Layer);
}

TEST(Leader, ArrowSizeFromTheHeaderOrTheExtendedData) {
    std::unique_ptr<TkrDXFConverter> c;
    // $DIMASZ 2.5 x $DIMSCALE 4 = 10.
    auto* l = LoadLeader(c, "10|0|20|0|10|1|20|0", "9|$DIMASZ|40|2.5|9|$DIMSCALE|40|4");
    EXPECT_FLOAT_EQ(l->Arrow->InsertScale.X, 10);
    // Extended data overrides them: variable 41 (arrow size) 0.5, 40 (scale) -3 taken as 3.
    l = LoadLeader(c, "10|0|20|0|10|1|20|0|1001|ACAD|1000|DSTYLE|1002|{|1070|41|1040|0.5|1070|40|1040|-3|1002|}",
                   "9|$DIMASZ|40|2.5|9|$DIMSCALE|40|4");
    EXPECT_FLOAT_EQ(l->ArrowSize, 0.5f);
    EXPECT_FLOAT_EQ(l->DimScale, 3);
    EXPECT_FLOAT_EQ(l->Arrow->InsertScale.X, 1.5f);
}

TEST(Leader, Group71ZeroHasNoArrowhead) {
    std::unique_ptr<TkrDXFConverter> c;
    auto* l = LoadLeader(c, "71|0|10|0|20|0|10|1|20|0");
    EXPECT_FALSE(l->Arrowhead);
    EXPECT_EQ(l->Arrow->Block, nullptr);
    c->ExpandInserts = true;
    TVisits v = WalkSpace(*c, false);
    ASSERT_EQ(v.Entities.size(), 1u);  // the leader only
}

TEST(Leader, TheArrowBlockIsFoundByItsOwnerHandleOrMadeOnceAndShared) {
    std::unique_ptr<TkrDXFConverter> c;
    auto* l = LoadLeader(c, "10|0|20|0|10|1|20|0|1001|ACAD|1005|2a", "",
                         "0|BLOCK|2|_Dot|330|2A|10|0|20|0|0|CIRCLE|10|0|20|0|40|0.5|0|ENDBLK");
    ASSERT_NE(l->Arrow->Block, nullptr);
    EXPECT_EQ(l->Arrow->Block->Name, "_Dot");
    // Two leaders of different colours and layers share one made block; its
    // triangle is BYBLOCK on layer 0, so each arrow draws in its leader's colour.
    c = LoadFile("", "0|LEADER|8|A|62|1|10|0|20|0|10|1|20|0|0|LEADER|8|B|62|5|10|0|20|0|10|1|20|0");
    auto* l1 = At<TkrDXFLeader>(*c, 0);
    auto* l2 = At<TkrDXFLeader>(*c, 1);
    ASSERT_NE(l1->Arrow->Block, nullptr);
    EXPECT_EQ(l1->Arrow->Block, l2->Arrow->Block);
    EXPECT_EQ(c->TableCount(tkBlocks), 1);
    TkrDXFEntity& tri = *l1->Arrow->Block->GetEntity(0);
    EXPECT_EQ(ResolveColor(tri, l1->Arrow.get()), 0x0000FF);
    EXPECT_EQ(ResolveColor(tri, l2->Arrow.get()), 0xFF0000);
    EXPECT_EQ(EffectiveLayer(tri, l2->Arrow.get())->Name, "B");
}

TEST(Leader, AMadeArrowBlockSurvivesABlocksSectionReadAfterIt) {
    // The leader comes before the file's BLOCKS section: the block it made
    // moves into that section when it begins.
    auto c = Load("0|SECTION|2|ENTITIES|0|LEADER|10|0|20|0|10|1|20|0|0|ENDSEC|"
                  "0|SECTION|2|BLOCKS|0|BLOCK|2|X|0|ENDBLK|0|ENDSEC|0|EOF");
    auto* l = At<TkrDXFLeader>(*c, 0);
    ASSERT_NE(l->Arrow->Block, nullptr);
    EXPECT_EQ(c->FindBlock("Filled_arrow_for_leader"), l->Arrow->Block);
    EXPECT_EQ(c->TableCount(tkBlocks), 2);
}

TEST(Leader, TheArrowIsVisitedAfterTheLeaderWithInsertsExpanded) {
    std::unique_ptr<TkrDXFConverter> c;
    LoadLeader(c, "10|5|20|5|10|9|20|5");
    c->ExpandInserts = false;
    // Without a draw procedure marking it, an unexpanded walk visits the
    // leader alone; with expansion the arrow's triangle follows.
    EXPECT_EQ(WalkSpace(*c, false).Entities.size(), 1u);
    c->ExpandInserts = true;
    TVisits v = WalkSpace(*c, false);
    ASSERT_EQ(v.Entities.size(), 2u);
    EXPECT_EQ(v.Entities[1]->Class, TEntityClass::Solid);
    ExpectPoint(v.Mapped[1], 6, 5 - 1.0 / 6);  // corner 1 (-1, 1/6) turned by 180 degrees, at the tip (5, 5)
}

TEST(Leader, ASplinePathPassesThroughEveryVertex) {
    std::unique_ptr<TkrDXFConverter> c;
    // Three vertices: taken as control points they left no span (a straight
    // chord from (0, 0) to (3, 8)); as fit points the curve runs through
    // (3, 4), bulging out beyond x = 3 on the way up.
    auto* l = LoadLeader(c, "72|1|10|0|20|0|10|3|20|4|10|3|20|8");
    EXPECT_TRUE(l->SplinePath);
    EXPECT_TRUE(l->Knots.empty());
    const auto pts = DrawnPoints(*l);
    ASSERT_GT(pts.size(), 40u);
    ExpectPoint(pts.front(), 0, 0);
    ExpectPoint(pts.back(), 3, 8);
    bool through = false;
    float maxX = 0;
    for (const TPoint3F& p : pts) {
        through = through || (std::fabs(p.X - 3) < 1e-4 && std::fabs(p.Y - 4) < 1e-4);
        maxX = std::max(maxX, p.X);
    }
    EXPECT_TRUE(through);
    EXPECT_GT(maxX, 3.1f);
    // Two vertices: the straight line between them.
    l = LoadLeader(c, "72|1|10|0|20|0|10|6|20|8");
    for (const TPoint3F& p : DrawnPoints(*l)) EXPECT_NEAR(p.Y, p.X * 8 / 6, 1e-4);
}

TEST(Leader, OneVertexOrAMillionEndCleanly) {
    std::unique_ptr<TkrDXFConverter> c;
    auto* l = LoadLeader(c, "10|4|20|4");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Arrow->Block, nullptr);  // only the spline finishing ran
    // A million vertices along a spline path: the evaluation stops at the
    // point bound of one entity.
    std::string v;
    v.reserve(16'000'000);
    for (int i = 0; i < 1'000'000; ++i) v += "|10|" + std::to_string(i % 1000) + "|20|" + std::to_string(i / 1000);
    l = LoadLeader(c, "72|1" + v);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->ControlCount(), 1'000'000);
    EXPECT_LE(DrawnPoints(*l).size(), kMaxEntityPoints);
    EXPECT_GE(c->Bounds.EntityPoints, 1u);
}

// ---- viewports ----

namespace {
// A paper-space viewport with the given groups after the usual ones.
TkrDXFViewport* LoadViewport(std::unique_ptr<TkrDXFConverter>& c, const std::string& groups,
                             const std::string& model = "0|LINE|10|50|20|25|11|60|21|25") {
    c = LoadFile("", model + "|0|VIEWPORT|5|40|67|1|69|2|" + groups);
    for (int i = 0; i < c->TableCount(tkEntities); ++i)
        if (auto* v = dynamic_cast<TkrDXFViewport*>(c->EntityAt(i))) return v;
    return nullptr;
}
}  // namespace

TEST(Viewport, HeightOverViewHeightIsTheScale) {
    std::unique_ptr<TkrDXFConverter> c;
    // Height 100 showing view height 50 at scale 2; the view centre (50, 25)
    // of the model lands on the viewport centre (200, 150).
    auto* v = LoadViewport(c, "10|200|20|150|40|300|41|100|12|50|22|25|45|50");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Rect, (TBox3F{50, 200, 0, 350, 100, 0}));
    EXPECT_EQ(v->Scale, (TPoint3F{2, 2, 2}));
    ExpectPoint(TransformPoint({50, 25, 0}, v->Matrix), 200, 150);
    ExpectPoint(TransformPoint({60, 25, 0}, v->Matrix), 220, 150);
    EXPECT_TRUE(v->PaperSpace);
    EXPECT_TRUE(v->ViewportVisible());
    EXPECT_EQ(v->GetBox(), v->Rect);
}

TEST(Viewport, ZeroHeightsUseTheirSubstitutes) {
    std::unique_ptr<TkrDXFConverter> c;
    EXPECT_FLOAT_EQ(LoadViewport(c, "41|0|45|50")->Scale.X, 1.0f / 50);   // a zero height counts as 1
    EXPECT_FLOAT_EQ(LoadViewport(c, "41|100|45|0")->Scale.X, 1);          // a zero view height as the height
    EXPECT_FLOAT_EQ(LoadViewport(c, "41|0|45|0")->Scale.X, 1);
}

TEST(Viewport, VisibilityByStatusFlagsAndTheOverallViewport) {
    std::unique_ptr<TkrDXFConverter> c;
    EXPECT_FALSE(LoadViewport(c, "41|10|68|0")->ViewportVisible());
    EXPECT_FALSE(LoadViewport(c, "41|10|90|131072")->ViewportVisible());  // 0x20000
    // Id 1 with number 0 is the overall paper-space viewport.
    auto* overall = LoadViewport(c, "41|10|69|1");
    EXPECT_EQ(overall->Number, 0);
    EXPECT_FALSE(overall->ViewportVisible());
    EXPECT_TRUE(IsEmptyBox(overall->GetBox()));
}

TEST(Viewport, StatusZeroIsVisitedWithoutContentAndFlag0x20000NotAtAll) {
    std::unique_ptr<TkrDXFConverter> c;
    int events = 0;
    auto* v = LoadViewport(c, "10|0|20|0|40|100|41|100|68|0");
    c->OnViewport = [&](TkrDXFEntity&) { ++events; };
    TVisits w = WalkSpace(*c, true);
    ASSERT_EQ(w.Entities.size(), 1u);
    EXPECT_EQ(w.Entities[0], v);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(v->GetBox(), v->Rect);  // status 0 keeps its box
    v = LoadViewport(c, "10|0|20|0|40|100|41|100|90|131072");
    c->OnViewport = [&](TkrDXFEntity&) { ++events; };
    EXPECT_TRUE(WalkSpace(*c, true).Entities.empty());
    EXPECT_EQ(events, 1);
}

TEST(Viewport, DrawsTheModelClippedAndHidesItsFrozenLayers) {
    // Layer FURN (handle 12) frozen in the viewport through 331, layer OLD
    // through the ACAD extended data; the viewport shows model (0..100, 0..50)
    // at scale 2 in paper (0..200, 0..100).
    auto c = Load("0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|5|12|2|FURN|70|0|0|ENDTAB|0|ENDSEC|"
                  "0|SECTION|2|ENTITIES|0|LINE|8|WALLS|10|10|20|10|11|20|21|10|"
                  "0|LINE|8|FURN|10|30|20|10|11|40|21|10|0|LINE|8|OLD|10|1|20|1|11|2|21|2|"
                  "0|VIEWPORT|5|40|67|1|69|2|10|100|20|50|40|200|41|100|12|50|22|25|45|50|331|12|"
                  "1001|ACAD|1000|MVIEW|1002|{|1002|{|1003|OLD|1002|}|1002|}|0|ENDSEC|0|EOF");
    TkrDXFLayer* furn = c->FindOrCreateLayer("FURN");
    struct TLog {
        TkrDXFConverter* Conv;
        std::vector<std::string> Seen;
        TBox3F Clip{};
        static void Visit(void* r, TkrDXFEntity& e) {
            auto& l = *static_cast<TLog*>(r);
            if (e.Is(TEntityClass::Viewport)) return;
            bool hidden = e.Layer && e.Layer->Hidden;
            l.Seen.push_back(e.Layer->Name + (hidden ? " hidden" : ""));
            l.Clip = l.Conv->ClipBox;
        }
    } log{c.get(), {}, {}};
    TDrawContext dc;
    dc.Matrix = IdentityMatrix();
    c->DrawContext = &dc;
    c->CurrentSpace = true;
    IterateChildren(*c->GetTable(tkEntities), *c, TLog::Visit, &log);
    EXPECT_EQ(log.Seen, (std::vector<std::string>{"WALLS", "FURN hidden", "OLD hidden"}));
    EXPECT_EQ(log.Clip, (TBox3F{0, 100, 0, 200, 0, 0}));
    // Everything is back: clip off, layers shown, paper space, context.
    EXPECT_FALSE(c->ClipEnabled);
    EXPECT_TRUE(IsEmptyBox(c->ClipBox));
    EXPECT_FALSE(furn->Hidden);
    EXPECT_TRUE(c->CurrentSpace);
    EXPECT_EQ(dc.Matrix.M[0][0], 1);
}

TEST(Viewport, TheAcadExtendedDataGivesTheView) {
    std::unique_ptr<TkrDXFConverter> c;
    // Target (1, 2, 3), direction (0, 0, 1), twist 0, view height 40, centre
    // increased by (5, 6): 1010/1020/1030 counted together, 1040 in order.
    auto* v = LoadViewport(c, "41|20|12|1|22|1|1001|ACAD|1000|MVIEW|1002|{|1070|16|"
                              "1010|1|1020|2|1030|3|1010|0|1020|0|1030|1|1040|0|1040|40|1040|5|1040|6|1040|50|1002|}");
    EXPECT_EQ(v->ViewTarget, (TPoint3F{1, 2, 3}));
    EXPECT_EQ(v->ViewDirection, (TPoint3F{0, 0, 1}));
    EXPECT_FLOAT_EQ(v->ViewHeight, 40);
    EXPECT_EQ(v->ViewCentre, (TPoint3F{6, 7, 0}));
    EXPECT_FLOAT_EQ(v->Scale.X, 0.5f);
}

TEST(Viewport, HugeAndDegenerateViewsShowNoContentAndNoNaN) {
    std::unique_ptr<TkrDXFConverter> c;
    // A width of 1e38 is a finite rectangle: it keeps its box.
    auto* v = LoadViewport(c, "40|1e38|41|100|45|100");
    EXPECT_TRUE(v->ContentDrawable());
    EXPECT_FALSE(IsEmptyBox(v->GetBox()));
    // 1e39 is past the float range: no box, no content.
    v = LoadViewport(c, "40|1e39|41|100|45|100");
    EXPECT_TRUE(IsEmptyBox(v->GetBox()));
    EXPECT_FALSE(v->ContentDrawable());
    // A scale of 1e42 or 1e-60 is no view of the model; nor is a NaN twist.
    EXPECT_FALSE(LoadViewport(c, "40|10|41|100|45|1e-40")->ContentDrawable());
    v = LoadViewport(c, "40|10|41|1e-30|45|1e30");
    EXPECT_FALSE(v->ContentDrawable());
    EXPECT_TRUE(WalkSpace(*c, true).Entities.size() == 1);  // the viewport, no model line
    EXPECT_FALSE(LoadViewport(c, "40|10|41|10|51|1e39")->ContentDrawable());  // an infinite twist
    // A zero view direction reads as the plan view.
    v = LoadViewport(c, "40|10|41|10|45|10|16|0|26|0|36|0");
    EXPECT_TRUE(v->ContentDrawable());
}

TEST(Viewport, AViewportInsideTheModelItShowsIsNotDrawnAgain) {
    // Block B holds a viewport; the model inserts B. Drawing the paper
    // viewport draws the model, whose insert meets the inner viewport: that
    // one does not draw the model inside itself.
    auto c = LoadFile("0|BLOCK|2|B|10|0|20|0|0|VIEWPORT|69|3|10|0|20|0|40|10|41|10|0|ENDBLK",
                      "0|INSERT|2|B|10|0|20|0|0|LINE|10|0|20|0|11|1|21|1|"
                      "0|VIEWPORT|5|40|67|1|69|2|10|0|20|0|40|10|41|10");
    c->ExpandInserts = true;
    TVisits v = WalkSpace(*c, true);
    size_t viewports = 0;
    for (auto* e : v.Entities) viewports += e->Is(TEntityClass::Viewport);
    EXPECT_EQ(viewports, 2u);
    EXPECT_EQ(c->Bounds.ViewportNesting, 1u);
}

// ---- VPORT ----

TEST(Vport, OnlyTheFirstActiveEntryGivesTheViewDirection) {
    auto c = Load("0|SECTION|2|TABLES|0|TABLE|2|VPORT|"
                  "0|VPORT|2|*Other|16|1|26|0|36|0|"
                  "0|VPORT|2|*Active|16|0|26|-1|36|1|51|30|"
                  "0|VPORT|2|*ACTIVE|16|1|26|1|36|1|51|60|0|ENDTAB|0|ENDSEC|0|EOF");
    EXPECT_EQ(c->ViewDirection, (TPoint3F{0, -1, 1}));
    EXPECT_FLOAT_EQ(c->ViewTwist, 30);
    EXPECT_TRUE(c->ActiveVportRead);
    EXPECT_TRUE(c->NonPlanView);
}

TEST(Vport, ATwistThatIsNoNumberCountsAsNone) {
    auto c = Load("0|SECTION|2|TABLES|0|TABLE|2|VPORT|0|VPORT|2|*ACTIVE|51|1e300|0|ENDTAB|0|ENDSEC|0|EOF");
    EXPECT_EQ(c->ViewTwist, 0);
}

// ---- images ----

TEST(Image, CornersFromTheVectorsAndTheSize) {
    // u (0.5, 0) x 200 pixels, v (0, 0.25) x 100 pixels from (10, 20).
    auto c = LoadFile("", "0|IMAGE|5|50|10|10|20|20|11|0.5|21|0|12|0|22|0.25|13|200|23|100|340|4A");
    auto* img = At<TkrDXFImageEnt>(*c, 0);
    ASSERT_NE(img, nullptr);
    ExpectPoint(img->Point, 10, 20);
    ExpectPoint(img->Point2, 110, 20);
    ExpectPoint(img->Point3, 10, 45);
    ExpectPoint(img->Point4, 110, 45);
    EXPECT_EQ(img->GetBox(), (TBox3F{10, 45, 0, 110, 20, 0}));
    EXPECT_EQ(img->ImageDefHandle, 0x4Au);
}

TEST(Image, AClipBoundaryIsTheBoxOfTheImage) {
    // The image of the test above (x 10..110, y 20..45; 200 x 100 pixels of
    // 0.5 x 0.25), clipped. Pixels count from the top-left corner downwards,
    // (-0.5, -0.5) the corner itself: pixel (x, y) lies at
    // (10 + 0.5 (x + 0.5), 20 + 0.25 (100 - y - 0.5)).
    const std::string image = "0|IMAGE|10|10|20|20|11|0.5|21|0|12|0|22|0.25|13|200|23|100";
    // A rectangle from pixel (19.5, 39.5) to (59.5, 79.5): x 20..40, y 25..35.
    auto c = LoadFile("", image + "|280|1|71|1|91|2|14|19.5|24|39.5|14|59.5|24|79.5");
    EXPECT_EQ(At<TkrDXFImageEnt>(*c, 0)->GetBox(), (TBox3F{20, 35, 0, 40, 25, 0}));
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{20, 35, 0, 40, 25, 0}));
    // A triangle: (-0.5, 99.5) is the bottom-left corner (10, 20).
    c = LoadFile("", image + "|280|1|71|2|91|3|14|-0.5|24|99.5|14|39.5|24|99.5|14|39.5|24|59.5");
    EXPECT_EQ(At<TkrDXFImageEnt>(*c, 0)->GetBox(), (TBox3F{10, 30, 0, 30, 20, 0}));
    // Clipping off, or fewer than two points: the whole image.
    c = LoadFile("", image + "|280|0|71|1|91|2|14|19.5|24|39.5|14|59.5|24|79.5");
    EXPECT_EQ(At<TkrDXFImageEnt>(*c, 0)->GetBox(), (TBox3F{10, 45, 0, 110, 20, 0}));
    c = LoadFile("", image + "|280|1|91|1|14|19.5|24|39.5");
    EXPECT_EQ(At<TkrDXFImageEnt>(*c, 0)->GetBox(), (TBox3F{10, 45, 0, 110, 20, 0}));
}

TEST(Image, NaNVectorsLeaveNoArea) {
    // A u vector beyond the float range times a width of 0 pixels: NaN.
    auto c = LoadFile("", "0|IMAGE|10|1|20|2|11|1e39|21|0|12|0|22|1|13|0|23|10");
    auto* img = At<TkrDXFImageEnt>(*c, 0);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->GetBox(), (TBox3F{1, 2, 0, 1, 2, 0}));
    c->ComputeExtents();
    EXPECT_TRUE(std::isfinite(c->LayoutAt(0)->Box.Right));
}

TEST(Image, ThePictureIsLookedUpByHandleOnceAndNeverLoadedWithoutALoader) {
    auto c = Load("0|SECTION|2|ENTITIES|0|IMAGE|10|0|20|0|340|7|0|ENDSEC|"
                  "0|SECTION|2|OBJECTS|0|IMAGEDEF|5|6|1|a.png|0|IMAGEDEF|5|7|1|/etc/hostname|0|ENDSEC|0|EOF");
    ASSERT_EQ(c->ImageDefs.size(), 2u);
    auto* img = At<TkrDXFImageEnt>(*c, 0);
    // No loader: no file is looked at, so no definition has a picture.
    EXPECT_FALSE(static_cast<TkrDXFImageDef*>(c->ImageDefs[1])->PictureFound);
    EXPECT_FALSE(img->LookUpPicture());
    EXPECT_TRUE(img->LookedUp);
}
