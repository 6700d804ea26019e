// The names of a shard's outputs: those a run of the whole job list gives in
// an empty folder, found from the counts of only the jobs that can matter.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "app/output_names.h"
#include "app/shard_names.h"
#include "app/temp_folder.h"
#include "model/binary_dxf.h"

namespace {
// The run one file after the other in an empty folder: each output takes
// the first of base, base0, base1, ... that no earlier output took.
std::vector<std::vector<std::string>> WholeRun(const std::vector<std::string>& bases, const std::vector<int>& counts) {
    std::set<std::string> taken;
    std::vector<std::vector<std::string>> names(bases.size());
    for (size_t k = 0; k < bases.size(); ++k)
        for (int o = 0; o < counts[k]; ++o)
            for (int p = 0;; ++p)
                if (taken.insert(CandidateStem(bases[k], p) + ".dxf").second) {
                    names[k].push_back(CandidateStem(bases[k], p) + ".dxf");
                    break;
                }
    return names;
}

struct TShardOutcome {
    std::vector<std::vector<std::string>> Names;  // of the shard's jobs; others empty
    std::vector<size_t> Counted;                  // the other jobs whose counts were needed
    int BoundsAsked = 0;
};

// Names the jobs k with k mod n == i, giving the counts only of the jobs
// Plan asks for (a count it did not ask for but needs ends in an exception).
TShardOutcome Shard(const std::vector<std::string>& bases, const std::vector<int>& counts,
                    const std::vector<int>& bounds, size_t i, size_t n) {
    TShardOutcome out;
    TShardNames names(bases, ".dxf", [&](size_t k) {
        ++out.BoundsAsked;
        return bounds[k];
    });
    std::vector<size_t> mine;
    for (size_t k = i; k < bases.size(); k += n) mine.push_back(k);
    out.Names.resize(bases.size());
    out.Counted = names.Plan(mine);
    for (size_t k : out.Counted) names.SetCount(k, counts[k]);
    for (size_t k : mine) {
        names.SetCount(k, counts[k]);
        out.Names[k] = names.Names(k);
    }
    return out;
}
}  // namespace

TEST(ShardNames, EveryShardGivesTheNamesOfTheWholeRun) {
    // Base names that meet in every way: the same base in several folders,
    // one that is another's name with a counter (plan0, plan1), one whose
    // names meet those of both (plan00 = plan0 + "0"), and one that meets
    // none (plan01: plan's counters never start with 0).
    const std::vector<std::string> pool = {"plan", "plan0", "plan1", "plan00", "plan01", "plan10", "p", "p1", "x"};
    std::mt19937 random(29);
    for (int round = 0; round < 300; ++round) {
        const size_t m = 1 + random() % 24;
        std::vector<std::string> bases;
        std::vector<int> counts, bounds;
        for (size_t k = 0; k < m; ++k) {
            bases.push_back(pool[random() % pool.size()]);
            counts.push_back(int(random() % 14));
            bounds.push_back(counts.back() + int(random() % 3));  // a bound at or above the count
        }
        const auto whole = WholeRun(bases, counts);
        for (size_t n : {1u, 2u, 3u, 5u})
            for (size_t i = 0; i < n; ++i) {
                const TShardOutcome s = Shard(bases, counts, bounds, i, n);
                for (size_t k = i; k < m; k += n) ASSERT_EQ(s.Names[k], whole[k]) << "round " << round << " job " << k;
            }
    }
}

TEST(ShardNames, OnlyDrawingsWhoseNamesCanMeetAreCounted) {
    // sheet1 .. sheet200 in order, one output at most each (--layout N): a
    // name sheetN can only be taken by sheetN itself.
    std::vector<std::string> bases;
    for (int i = 1; i <= 200; ++i) bases.push_back("sheet" + std::to_string(i));
    std::vector<int> counts(bases.size(), 1), bounds(bases.size(), 1);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(Shard(bases, counts, bounds, i, 3).Counted.empty()) << i;

    // Up to 5 outputs each: sheetA's 2nd to 5th names are sheetA0 .. sheetA3,
    // so sheetA's count is needed for those, and only those: the names of
    // sheet57 (sheet5's 9th) or sheet102 (sheet1 + "02" is no counter) are
    // out of the others' reach. Shard 1 of 2 holds the even numbers: it
    // counts the odd A from 1 to 19 for A0 and A2 (sheet11 for sheet110 and
    // sheet112).
    counts.assign(bases.size(), 3);
    bounds.assign(bases.size(), 5);
    counts[0] = 5;  // sheet1 takes sheet10 and sheet11 ...
    const auto whole = WholeRun(bases, counts);
    EXPECT_EQ(whole[9], (std::vector<std::string>{"sheet100.dxf", "sheet101.dxf", "sheet102.dxf"}));  // ... from sheet10
    const TShardOutcome s = Shard(bases, counts, bounds, 1, 2);
    EXPECT_EQ(s.Counted, (std::vector<size_t>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18}));
    for (size_t k = 1; k < bases.size(); k += 2) EXPECT_EQ(s.Names[k], whole[k]) << k;

    // Drawings of one base name in many folders: each needs the counts of
    // all before it, and no bound (no file is read for one).
    std::vector<std::string> same(12, "plan");
    std::vector<int> c(12, 2), b(12, 4);
    const TShardOutcome p = Shard(same, c, b, 0, 4);
    EXPECT_EQ(p.Counted, (std::vector<size_t>{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(p.BoundsAsked, 0);
}

TEST(ShardNames, TheLayoutBoundCountsLayoutObjectsAndTheTwoDefaults) {
    TTempFolder t;
    // Two LAYOUT objects in ASCII (one at the very start of the file, one
    // across the 1 MiB chunks the file is read in, at its very end), one in
    // binary form; "ACAD_LAYOUT" and "LAYOUTS" are none.
    std::string text = "LAYOUT\r\n1\r\nModel\r\n0\nDICTIONARY\n3\nACAD_LAYOUT\n1\nLAYOUTS\n";
    text += std::string("\0\0LAYOUT\0", 10);
    text += std::string((1 << 20) - text.size() - 3, ' ') + "\nLAYOUT";
    WriteBytes(t.Path + "d.dxf", text);
    EXPECT_EQ(LayoutBound(t.Path + "d.dxf"), 2 + 3);
    WriteBytes(t.Path + "e.dxf", text + "\n0\nLAYOUT\n");
    EXPECT_EQ(LayoutBound(t.Path + "e.dxf"), 2 + 4);
    EXPECT_EQ(LayoutBound(t.Path + "missing.dxf"), 0);
}

TEST(ShardNames, NoDrawingAtHandHasMoreLayoutsThanItsBound) {
    // Other shards rely on the bound without loading the drawing: every
    // drawing of the repository (fuzz seeds, binary ones behind their
    // sentinel, the golden and example drawings) and of LibreCAD's library
    // loads into at most that many layouts.
    TTempFolder t;
    std::vector<std::string> files;
    const std::string src = DXF_SOURCE_DIR;
    for (const std::string d : {"/fuzz/seeds/load", "/fuzz/seeds/draw_text", "/fuzz/seeds/draw_dxf",
                                "/fuzz/seeds/draw_binary", "/tests/golden/drawings", "/tests/data/fuzz", "/examples"})
        for (auto& e : std::filesystem::directory_iterator(src + d)) {
            if (d != "/fuzz/seeds/draw_binary") {
                files.push_back(e.path().string());
                continue;
            }
            files.push_back(t.Path + e.path().filename().string());
            WriteBytes(files.back(), std::string(kBinaryDxfSentinel) + ReadBytes(e.path().string()));
        }
    if (std::filesystem::is_directory("/usr/share/librecad/library"))
        for (auto& e : std::filesystem::recursive_directory_iterator("/usr/share/librecad/library"))
            if (e.path().extension() == ".dxf") files.push_back(e.path().string());
    TConvertSettings all;
    int several = 0;
    for (const std::string& f : files) {
        const int layouts = CountOutputs(f, all, nullptr, false);
        EXPECT_LE(layouts, LayoutBound(f)) << f;
        several += layouts >= 2;
    }
    EXPECT_GE(files.size(), 1500u);
    EXPECT_GE(several, 5);  // drawings with paper layouts among them
}
