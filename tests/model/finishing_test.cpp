// The entities of the ENTITIES section finished on a thread of their own
// while the reader reads on: the model is the one finishing them where they
// are read gives, entity for entity, with the same layers made on demand, the
// same dash budget spent in the same order, the same bounds reached and the
// same error for a file that breaks off.
#include <gtest/gtest.h>

#include <charconv>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hatch_helpers.h"
#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/layout.h"
#include "model/entities/linear.h"
#include "model/entities/text.h"
#include "model/errors.h"
#include "model/finishing.h"
#include "model/limits.h"

namespace {

std::string Num(double v) { return hatchtest::Num(v); }

// A drawing of every kind the thread finishes, mixed with texts, inserts and
// kinds finished by the reader: points, layer-less polylines and hatches
// (which make layer "0" as they are finished). Its fine dashes spend the dash budget
// long before the end, so that which entities still get their dashes
// depends on the order they are finished in.
std::string MixedDrawing(int rounds, bool fine = true) {
    std::string s =
        "0\nSECTION\n2\nHEADER\n9\n$LTSCALE\n40\n1\n0\nENDSEC\n"
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n"
        "0\nLTYPE\n2\nFINE\n70\n0\n73\n2\n40\n0.002\n49\n0.001\n49\n-0.001\n"
        "0\nLTYPE\n2\nDASHED\n70\n0\n73\n2\n40\n1.5\n49\n1\n49\n-0.5\n0\nENDTAB\n"
        "0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nSOLIDS\n70\n0\n62\n1\n6\nCONTINUOUS\n"
        "0\nLAYER\n2\nDASHES\n70\n0\n62\n2\n6\nDASHED\n0\nENDTAB\n0\nENDSEC\n"
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nMARK\n70\n0\n10\n0\n20\n0\n"
        "0\nLINE\n8\nSOLIDS\n10\n-1\n20\n0\n11\n1\n21\n0\n0\nCIRCLE\n8\nDASHES\n10\n0\n20\n0\n40\n1\n"
        "0\nENDBLK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < rounds; ++i) {
        const double x = i % 40 * 3.0, y = i / 40 * 3.0;
        const std::string X = Num(x), Y = Num(y), X1 = Num(x + 1), Y1 = Num(y + 1);
        const std::string layer = i % 3 == 0 ? "SOLIDS" : "DASHES";
        s += "0\nLINE\n8\n" + layer + "\n10\n" + X + "\n20\n" + Y + "\n11\n" + X1 + "\n21\n" + Y1 + "\n";
        // A line without a layer, dashed by its own line type.
        s += "0\nLINE\n6\nDASHED\n10\n" + X + "\n20\n" + Y1 + "\n11\n" + X1 + "\n21\n" + Y + "\n";
        // Fine dashes of lengths that differ from line to line: once the
        // budget is nearly spent, which of them still fit depends on the order.
        if (fine)
            s += "0\nLINE\n8\nSOLIDS\n6\nFINE\n10\n" + X + "\n20\n" + Y + "\n11\n" + Num(x + 0.5 + i * 37 % 140 / 100.0) +
                 "\n21\n" + Y + "\n";
        if (fine && i % 20 == 0) {  // fine dashes: some 800 000 points each
            s += "0\nLWPOLYLINE\n8\nDASHES\n6\nFINE\n90\n400\n70\n0\n";
            for (int k = 0; k < 400; ++k) s += "10\n" + Num(x + k * 1.99) + "\n20\n" + Num(y + k % 2 * 0.1) + "\n";
        }
        s += "0\nCIRCLE\n8\n" + layer + "\n10\n" + X + "\n20\n" + Y + "\n40\n" + Num(0.2 + i % 5 * 0.1) + "\n";
        s += "0\nARC\n8\nDASHES\n10\n" + X + "\n20\n" + Y + "\n40\n1.2\n50\n" + Num(i % 360) + "\n51\n" +
             Num((i * 7) % 360) + "\n";
        s += "0\nLWPOLYLINE\n8\n" + layer + "\n90\n3\n70\n" + std::to_string(i % 2) + "\n10\n" + X + "\n20\n" + Y +
             "\n42\n0.5\n10\n" + X1 + "\n20\n" + Y + "\n40\n0.1\n41\n0.2\n10\n" + X1 + "\n20\n" + Y1 + "\n";
        if (i % 4 == 0)
            s += "0\nELLIPSE\n8\nDASHES\n10\n" + X + "\n20\n" + Y + "\n30\n0\n11\n2\n21\n0.5\n31\n0\n40\n0.4\n41\n0\n42\n" +
                 Num(3 + i % 3) + "\n";
        if (i % 5 == 0)
            s += "0\nSPLINE\n8\nSOLIDS\n70\n8\n71\n3\n72\n8\n73\n4\n40\n0\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n40\n"
                 "1\n10\n" + X + "\n20\n" + Y + "\n10\n" + X1 + "\n20\n" + Y1 + "\n10\n" + Num(x + 2) + "\n20\n" + Y +
                 "\n10\n" + Num(x + 3) + "\n20\n" + Y1 + "\n";
        if (i % 6 == 0)  // an old-style polyline without a layer: finished by the reader
            s += "0\nPOLYLINE\n66\n1\n0\nVERTEX\n10\n" + X + "\n20\n" + Y + "\n42\n1\n0\nVERTEX\n10\n" + X1 + "\n20\n" +
                 Y + "\n0\nSEQEND\n";
        if (i % 6 == 3)
            s += "0\nPOLYLINE\n8\nDASHES\n66\n1\n70\n1\n0\nVERTEX\n10\n" + X + "\n20\n" + Y + "\n0\nVERTEX\n10\n" +
                 X1 + "\n20\n" + Y + "\n0\nVERTEX\n10\n" + X1 + "\n20\n" + Y1 + "\n0\nSEQEND\n";
        s += "0\nTEXT\n8\nSOLIDS\n10\n" + X + "\n20\n" + Y + "\n40\n0.5\n1\nT" + std::to_string(i) + "\n";
        if (i % 3 == 1) s += "0\nINSERT\n8\nDASHES\n2\nMARK\n10\n" + X + "\n20\n" + Y + "\n41\n0.5\n42\n0.5\n";
        if (i % 9 == 2) s += "0\nMTEXT\n10\n" + X + "\n20\n" + Y + "\n40\n0.3\n1\nTwo\\Plines{\\fArial;of text}\n";
        if (i % 11 == 5) {
            std::vector<std::string> h = hatchtest::HatchGroups(
                {hatchtest::PolyPath({{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}})},
                {hatchtest::PatternLine(45, 0, 0, -0.1, 0.1, {0.05, -0.05})});
            for (const std::string& g : h) s += g + "\n";
        }
        if (i % 11 == 8) {
            // A dashed pattern in a boundary with a spline edge: with a layer
            // (finished on the thread, the edge on the hatch's layer) or
            // without one (finished by the reader: the edge makes layer "0").
            std::vector<std::string> edge = {"92", "1", "93", "2", "72", "1", "10", X1, "20", Y, "11", X, "21", Y,
                                             "72", "4", "94", "3", "73", "0", "74", "0", "95", "8", "96", "4"};
            for (const char* k : {"0", "0", "0", "0", "1", "1", "1", "1"}) edge.insert(edge.end(), {"40", k});
            for (const auto& [cx, cy] : {std::pair{X, Y}, {X, Y1}, {X1, Y1}, {X1, Y}})
                edge.insert(edge.end(), {"10", cx, "20", cy});
            edge.insert(edge.end(), {"97", "0"});
            std::vector<std::string> h =
                hatchtest::HatchGroups({edge}, {hatchtest::PatternLine(30, 0, 0, -0.05, 0.05, {0.02, -0.01})});
            if (i % 2) h.erase(h.begin() + 2, h.begin() + 4);  // no layer
            for (const std::string& g : h) s += g + "\n";
        }
        if (i % 13 == 4) s += "0\nPOINT\n8\nSOLIDS\n10\n" + X + "\n20\n" + Y + "\n";
    }
    s += "0\nENDSEC\n0\nEOF\n";
    return s;
}

std::string Bits(float f) {
    char b[32];
    auto r = std::to_chars(b, b + sizeof b, f);
    return std::string(b, r.ptr);
}

// What a load gave: its error, the counts, the layers in the order they
// were made, every entity's name, layer, box and drawn points, and the
// bounds reached.
std::string Loaded(const std::string& text, bool onThread, uint32_t* dashHits = nullptr) {
    TkrDXFConverter c;
    c.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = dhInventory; };
    c.FinishOnThread = onThread;
    std::string s;
    try {
        c.LoadFromText(text);
    } catch (const EkrError& e) {
        s += std::string("error: ") + e.what() + "\n";
    }
    s += std::to_string(c.EntityCount) + " " + std::to_string(c.TableCount(tkEntities)) + "\n";
    for (int i = 0; i < c.TableCount(tkLayer); ++i) s += c.LayerAt(i)->Name + ",";
    s += "\n";
    for (int i = 0; i < c.TableCount(tkEntities); ++i) {
        const TkrDXFEntity& e = *c.EntityAt(i);
        const TBox3F b = e.GetBox();
        s += e.GetName(&c) + " " + (e.Layer ? e.Layer->Name : "-") + " " + Bits(b.Left) + " " + Bits(b.Top) + " " +
             Bits(b.Right) + " " + Bits(b.Bottom) + " " + std::to_string(PointCount(e));
        if (e.Is(TEntityClass::Hatch)) {
            // The pattern's segments, summed as they lie.
            const auto& h = static_cast<const TkrDXFHatch&>(e);
            double sum = 0;
            for (size_t k = 0; k < h.Segments.size(); ++k) sum += (k + 1) * (double(h.Segments[k].X) - h.Segments[k].Y);
            s += " " + std::to_string(h.Segments.size()) + " " + std::to_string(h.FamilyKind) + " " + Num(sum);
        }
        s += "\n";
    }
    for (const std::string& m : c.Bounds.Messages()) s += m + "\n";
    if (dashHits) *dashHits = c.Bounds.DashPoints;
    return s;
}

}  // namespace

TEST(Finishing, TheModelIsTheSameWithAndWithoutTheThread) {
    const std::string text = MixedDrawing(400);
    uint32_t dashHits = 0;
    const std::string alone = Loaded(text, false, &dashHits);
    const std::string helped = Loaded(text, true);
    EXPECT_EQ(alone, helped);
    // The budget ran out part of the way: later fine dashes are drawn solid.
    EXPECT_GT(dashHits, 0u);
    EXPECT_LT(dashHits, 1500u);  // of some 2200 dashed entities
    EXPECT_EQ(alone.find("error"), std::string::npos);
    // Layer "0" was made on demand by the polylines and texts without a layer.
    EXPECT_NE(alone.find("SOLIDS,DASHES,0,"), std::string::npos);
}

TEST(Finishing, AFileThatBreaksOffGivesTheSameModelAndError) {
    const std::string text = MixedDrawing(60, false);
    const size_t entities = text.find("ENTITIES");
    ASSERT_NE(entities, std::string::npos);
    // Cut at many places inside the entities (a group code cut in two reads
    // as another code or as no number), and one bad code line.
    for (size_t cut = entities + 20; cut < text.size(); cut += 499) {
        const std::string part = text.substr(0, cut);
        EXPECT_EQ(Loaded(part, false), Loaded(part, true)) << "cut at " << cut;
    }
    std::string bad = text;
    const size_t at = bad.find("0\nHATCH\n");
    ASSERT_NE(at, std::string::npos);
    bad[at] = 'x';
    const std::string alone = Loaded(bad, false);
    EXPECT_NE(alone.find("error: DXF read error on line"), std::string::npos);
    EXPECT_EQ(alone, Loaded(bad, true));
    // A hatch whose pattern line makes no progress (offset 0, 0) ends the
    // reading where it ends, whichever thread would have finished it.
    std::string refused = text;
    std::string h;
    for (const std::string& g : hatchtest::HatchGroups({hatchtest::PolyPath({{0, 0}, {5, 0}, {5, 5}})},
                                                       {hatchtest::PatternLine(30, 0, 0, 0, 0)}))
        h += g + "\n";
    refused.insert(refused.find("0\nLINE\n", text.size() / 2), h);
    const std::string stopped = Loaded(refused, false);
    EXPECT_NE(stopped.find("Hatch parameters error"), std::string::npos);
    EXPECT_EQ(stopped, Loaded(refused, true));
}

TEST(Finishing, OnlyCurvesPolylinesHatchesAndPlainInsertsGoToTheThread) {
    // Lines always; polylines, curves and hatches when they name a layer
    // (without one they make layer "0"); inserts of a finished block without
    // attributes; nothing else.
    TkrDXFLine line;
    EXPECT_TRUE(TFinishingThread::Defers(line));
    TkrDXFLWPolyline poly;
    EXPECT_FALSE(TFinishingThread::Defers(poly));
    TkrDXFLayer layer;
    poly.Layer = &layer;
    EXPECT_TRUE(TFinishingThread::Defers(poly));
    TkrDXFEntity point(TEntityClass::Point);
    point.Layer = &layer;
    EXPECT_FALSE(TFinishingThread::Defers(point));
    // Hatches as polylines (a spline edge of one without a layer makes "0"),
    // unless a pattern line cannot make a family (its error ends the reading).
    TkrDXFHatch hatch;
    hatch.PatternLines.resize(1);
    hatch.PatternLines[0].OffsetY = 1;
    EXPECT_FALSE(TFinishingThread::Defers(hatch));
    hatch.Layer = &layer;
    EXPECT_TRUE(TFinishingThread::Defers(hatch));
    hatch.PatternLines[0].OffsetY = 0;
    EXPECT_FALSE(TFinishingThread::Defers(hatch));
    // An insert whose attributes' boxes count unsound entities, or whose block
    // is not finished (its box may still change), stays with the reader.
    TkrDXFBlock block;
    block.PendingAtRead = 0;
    block.Finished = true;
    TkrDXFInsert insert;
    insert.Layer = &layer;
    EXPECT_FALSE(TFinishingThread::Defers(insert));  // no block
    insert.Block = &block;
    EXPECT_TRUE(TFinishingThread::Defers(insert));
    block.Finished = false;
    EXPECT_FALSE(TFinishingThread::Defers(insert));
    block.Finished = true;
    insert.Attribs.push_back(std::make_unique<TkrDXFAttrib>());
    EXPECT_FALSE(TFinishingThread::Defers(insert));
}

TEST(Finishing, TheBoxesOfABigSectionAreTheSameWalkedInTwoHalves) {
    // More entities than a walk splits at. The smallest X is 0 in both
    // halves, -0 in the first: a box takes the first bound of its value, so
    // -0 it is, however the halves are joined. An unsound line in each half
    // is counted once; a line in paper space and a turned view give the
    // paper's box and the view's box.
    const int n = 70000;
    std::string s = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < n; ++i) {
        const std::string x = i == 10 ? "-0.0" : i == n - 10 ? "0.0" : Num(1 + i % 997);
        const std::string y = Num(i % 1009), y2 = i == n / 2 + 3 ? "1e39" : i == 7 ? "-1e39" : Num(5 + i % 31);
        s += "0\nLINE\n8\nA\n" + std::string(i % 5000 == 17 ? "67\n1\n" : "") + "10\n" + x + "\n20\n" + y +
             "\n11\n" + Num(2 + i % 991) + "\n21\n" + y2 + "\n";
    }
    s += "0\nENDSEC\n0\nEOF\n";
    auto boxes = [&](const std::string& text, bool onThread) {
        TkrDXFConverter c;
        c.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = dhInventory; };
        c.FinishOnThread = onThread;
        c.LoadFromText(text);
        c.NonPlanView = true;
        c.ViewDirection = {1, 2, 3};
        c.ComputeExtents();
        auto bits = [](const TBox3F& b) {
            return Bits(b.Left) + " " + Bits(b.Top) + " " + Bits(b.Right) + " " + Bits(b.Bottom) + " " + Bits(b.Z1) +
                   " " + Bits(b.Z2) + "\n";
        };
        std::string r = bits(c.GetTable(tkEntities)->GetBox()) + bits(c.ModelViewBox);
        for (int i = 0; i < c.LayoutCount(); ++i) r += bits(c.LayoutAt(i)->Box);
        for (const std::string& m : c.Bounds.Messages()) r += m + "\n";
        return r;
    };
    const std::string alone = boxes(s, false);
    EXPECT_EQ(alone.substr(0, 3), "-0 ");
    EXPECT_NE(alone.find("\n2 entities left out"), std::string::npos) << alone;  // the unsound lines
    EXPECT_EQ(alone, boxes(s, true));
    // An insert still waiting for its block (defined after the entities)
    // stops the walk in halves: the section is walked whole.
    std::string pending = s;
    pending.insert(pending.find("0\nLINE\n", s.size() * 3 / 4), "0\nINSERT\n8\nA\n2\nLATER\n10\n-5\n20\n-5\n");
    pending.replace(pending.rfind("0\nEOF"), 5,
                    "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nLATER\n10\n0\n20\n0\n0\nLINE\n8\nA\n10\n-9\n20\n0\n11\n"
                    "0\n21\n0\n0\nENDBLK\n0\nENDSEC\n0\nEOF");
    const std::string waited = boxes(pending, false);
    EXPECT_NE(waited, alone);
    EXPECT_EQ(waited, boxes(pending, true));
}

namespace {
// A square of side 1 at x with a square hole, hatched with a dashed pattern
// line offset by step (a step of 1e-6 passes the bound of lines).
std::unique_ptr<TkrDXFHatch> SquareHatch(TkrDXFLayer& layer, double x, double step) {
    auto h = std::make_unique<TkrDXFHatch>();
    h->Layer = &layer;
    for (auto [x0, y0, side] : {std::tuple{x, 0.0, 1.0}, {x + 0.3, 0.3, 0.4}}) {
        std::vector<THatchEdge>& path = h->Edges.emplace_back();
        for (auto [dx, dy] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
            THatchEdge& e = path.emplace_back();
            e.X = float(x0 + dx * side), e.Y = float(y0 + dy * side);
        }
    }
    THatchPatternLine& l = h->PatternLines.emplace_back();
    l.Angle = 30, l.OffsetX = float(-step), l.OffsetY = float(step);
    l.Dashes = std::make_unique<TkrLines>();
    l.Dashes->FTicks = {0.05f, -0.02f};
    l.HasDashes = true, l.DashCount = 2;
    h->PatternLineCount = 1;
    return h;
}

std::string Finished(const TkrDXFHatch& h, const TkrDXFConverter& c) {
    std::string s = std::to_string(h.FamilyKind) + " " + std::to_string(c.DashPointsLeft) + " " + Bits(h.Box.Left) +
                    " " + Bits(h.Box.Top) + "\n";
    for (const auto& p : h.Paths)
        for (const TPoint3F& q : p) s += Bits(q.X) + "," + Bits(q.Y) + " ";
    s += "\n";
    for (const TPoint2F& q : h.Segments) s += Bits(q.X) + "," + Bits(q.Y) + " ";
    for (const std::string& m : c.Bounds.Messages()) s += "\n" + m;
    return s;
}
}  // namespace

TEST(Finishing, AHatchShapedAheadOnAnotherThreadIsFinishedAsOneShapedInPlace) {
    // The shape is made while the hatch is finished (taken, waited for, or
    // made in place, as the two threads meet), or wholly before; with the
    // dash budget to spare or running out within the hatch, and with a
    // pattern past the bound of lines.
    TkrDXFLayer layer;
    layer.Name = "0";
    for (uint64_t budget : {kDashPointsBase, uint64_t(200)})
        for (double step : {0.01, 1e-6})
            for (int round = 0; round < 20; ++round) {
                SCOPED_TRACE(std::to_string(budget) + " " + std::to_string(step) + " " + std::to_string(round));
                TkrDXFConverter inPlace, during, before;
                inPlace.DashPointsLeft = during.DashPointsLeft = before.DashPointsLeft = budget;
                auto a = SquareHatch(layer, round, step), b = SquareHatch(layer, round, step),
                     c = SquareHatch(layer, round, step);
                a->Loaded(inPlace);
                const std::string expected = Finished(*a, inPlace);
                EXPECT_EQ(a->MakeShapeAhead(inPlace), 0u);  // finished: nothing more is made
                std::thread other([&] { b->MakeShapeAhead(during); });
                b->Loaded(during);
                other.join();
                EXPECT_EQ(Finished(*b, during), expected);
                EXPECT_GT(c->MakeShapeAhead(before), 0u);
                EXPECT_EQ(c->MakeShapeAhead(before), 0u);  // made once
                EXPECT_FALSE(c->ShapeTaken());
                c->Loaded(before);
                EXPECT_TRUE(c->ShapeTaken());
                EXPECT_EQ(Finished(*c, before), expected);
                if (round == 0) {
                    EXPECT_EQ(!a->Segments.empty(), step > 1e-3);
                    EXPECT_EQ(expected.find("dash") != std::string::npos, budget < 1000 && step > 1e-3) << expected;
                }
            }
}

TEST(Finishing, PatternHatchesShapedWhileTheReaderWaitsGiveTheSameModel) {
    // Costly patterns at the end of the section and before a point (both
    // make the reader wait for the thread, which it spends shaping the
    // hatches ahead), and fine dashes that spend the budget among them.
    std::string text = MixedDrawing(40);
    text.erase(text.rfind("0\nENDSEC"));
    for (int i = 0; i < 300; ++i) {
        const double x = i % 30 * 2.0, y = i / 30 * 2.0;
        for (const std::string& g : hatchtest::HatchGroups(
                 {hatchtest::PolyPath({{x, y}, {x + 1.5, y}, {x + 1.5, y + 1.5}, {x, y + 1.5}}),
                  hatchtest::PolyPath({{x + 0.5, y + 0.5}, {x + 1, y + 0.5}, {x + 1, y + 1}})},
                 {hatchtest::PatternLine(i % 90, 0, 0, -0.004, 0.004, {0.01, -0.005}),
                  hatchtest::PatternLine(90 + i % 45, 0, 0, -0.006, 0.006)}))
            text += g + "\n";
        text += "0\nLINE\n8\nSOLIDS\n6\nFINE\n10\n" + Num(x) + "\n20\n" + Num(y) + "\n11\n" + Num(x + 0.7) +
                "\n21\n" + Num(y) + "\n";
        if (i == 150) text += "0\nPOINT\n8\nSOLIDS\n10\n0\n20\n0\n";
    }
    text += "0\nENDSEC\n0\nEOF\n";
    uint32_t dashHits = 0;
    const std::string alone = Loaded(text, false, &dashHits);
    EXPECT_GT(dashHits, 0u);
    for (int run = 0; run < 3; ++run) EXPECT_EQ(Loaded(text, true), alone);
}
