// convert --shard I/N and --report: shards run at the same time into one
// folder give exactly the files and names of one run of the whole job list;
// each shard's report lists every output it wrote; a drawing failing in one
// shard leaves the others' results as they were; a shard never overwrites a
// file, and a second try of a shard keeps the files the first one wrote.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dxf_snippets.h"
#include "shell.h"

namespace fs = std::filesystem;

using cli_test::kBinary;
using cli_test::Quote;
using cli_test::Lines;

namespace {



// The model and n paper layouts, layout k (from 2) holding k - 1 lines.
std::string Layouts(int n) {
    std::string records, blocks, objects;
    for (int i = 0; i < n; ++i) {
        const std::string h = std::to_string(100 + i), name = "*Paper_Space" + std::to_string(i);
        records += "0\nBLOCK_RECORD\n5\n" + h + "\n2\n" + name + "\n";
        blocks += "0\nBLOCK\n2\n" + name + "\n67\n1\n";
        for (int k = 0; k <= i; ++k)
            blocks += "0\nLINE\n67\n1\n10\n0\n20\n" + std::to_string(k) + "\n11\n9\n21\n" + std::to_string(k) + "\n";
        blocks += "0\nENDBLK\n";
        objects += "0\nLAYOUT\n1\nSheet " + std::to_string(i) + "\n330\n" + h + "\n";
    }
    return "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n0\nBLOCK_RECORD\n5\n1F\n2\n*Model_Space\n" + records +
           "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\n*Model_Space\n0\nENDBLK\n" + blocks +
           "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n100\n21\n50\n0\nENDSEC\n"
           "0\nSECTION\n2\nOBJECTS\n0\nLAYOUT\n1\nModel\n330\n1F\n" + objects + "0\nENDSEC\n0\nEOF\n";
}

struct TFolder {
    std::map<std::string, std::string> Files;  // name -> bytes
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (auto& [name, bytes] : Files) n.push_back(name);
        return n;
    }
};

TFolder ReadFolder(const fs::path& dir) {
    TFolder f;
    for (auto& e : fs::directory_iterator(dir)) f.Files[e.path().filename().string()] = dxftest::ReadFile(e.path());
    return f;
}

class Shards : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("shards_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        for (const char* d : {"a", "b", "c", "d"}) fs::create_directories(dir / "in" / d);
        auto put = [&](const std::string& name, const std::string& text) {
            dxftest::WriteFile(dir / "in" / name, text);
            return (dir / "in" / name).string();
        };
        // One base name in four folders, base names that are another's with
        // a counter (plan0, plan1: plan's 2nd and 3rd names; sheet10 and
        // sheet11: the 2nd and 3rd of sheet1, which has 13 layouts), a
        // warning, a read error, a large file, and real drawings.
        jobs = {put("a/plan.dxf", Layouts(2)),   put("sheet1.dxf", Layouts(12)), put("b/plan.dxf", Lines(3)),
                put("plan0.dxf", Lines(5)),      put("c/plan1.dxf", Layouts(2)), put("sheet10.dxf", Layouts(1)),
                put("broken.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nx\n0\nENDSEC\n0\nEOF\n"),
                put("sheet11.dxf", Lines(2)),    put("big.dxf", Lines(20000)),   put("c/plan.dxf", Lines(1))};
        std::vector<fs::path> library;
        if (fs::is_directory("/usr/share/librecad/library"))
            for (auto& e : fs::recursive_directory_iterator("/usr/share/librecad/library"))
                if (e.path().extension() == ".dxf") library.push_back(e.path());
        std::sort(library.begin(), library.end());
        for (size_t i = 0; i < library.size() && i < 6 * 40; i += 40) jobs.push_back(library[i].string());
        jobs.push_back(put("d/plan.dxf", Layouts(3)));
    }
    void TearDown() override { fs::remove_all(dir); }

    // The jobs on the command line, or (viaList) in a list file, one per
    // line, with an empty line that is skipped.
    std::string Command(const std::string& options, const fs::path& out) const {
        std::string cmd = Quote(kBinary) + " convert " + options + " -o " + Quote(out.string());
        if (viaList) {
            std::string list;
            for (auto& j : jobs) list += j + (&j == &jobs[3] ? "\n\n" : "\n");
            dxftest::WriteFile(dir / "list", list);
            return cmd + " --files-from " + Quote((dir / "list").string());
        }
        for (auto& j : jobs) {
            cmd += ' ';
            cmd += Quote(j);
        }
        return cmd;
    }
    // Runs shards 0 .. n-1 at the same time into out (n = 0: one run of the
    // whole list); prefix[i] goes before shard i's command. Returns each
    // one's exit status.
    std::vector<int> Run(int n, const std::string& options, const fs::path& out,
                         const std::map<int, std::string>& prefix = {}) {
        fs::create_directories(out);
        std::string script;
        const int runs = std::max(n, 1);
        for (int i = 0; i < runs; ++i) {
            const std::string tag = out.filename().string() + std::to_string(i);
            std::string opt = options;
            if (n > 0) opt += " --shard " + std::to_string(i) + "/" + std::to_string(n);
            opt += " --report " + Quote((dir / (tag + ".json")).string());
            std::string p = prefix.count(i) ? prefix.at(i) : "";
            script += "(" + p + " " + Command(opt, out) + " >" + Quote((dir / (tag + ".out")).string()) + " 2>" +
                      Quote((dir / (tag + ".err")).string()) + "; echo $? >" + Quote((dir / (tag + ".st")).string()) +
                      ") & ";
        }
        script += "wait";
        EXPECT_EQ(std::system(("sh -c " + Quote(script)).c_str()), 0);
        std::vector<int> status;
        for (int i = 0; i < runs; ++i)
            status.push_back(std::atoi(dxftest::ReadFile(dir / (out.filename().string() + std::to_string(i) + ".st")).c_str()));
        return status;
    }
    nlohmann::json Report(const fs::path& out, int i) const {
        return nlohmann::json::parse(dxftest::ReadFile(dir / (out.filename().string() + std::to_string(i) + ".json")));
    }
    std::string Err(const fs::path& out, int i) const {
        return dxftest::ReadFile(dir / (out.filename().string() + std::to_string(i) + ".err"));
    }
    void ExpectSameFiles(const TFolder& a, const TFolder& b, const std::string& what) {
        EXPECT_EQ(a.Names(), b.Names()) << what;
        for (auto& [n, t] : a.Files)
            if (b.Files.count(n)) {
                EXPECT_TRUE(b.Files.at(n) == t) << what << ": " << n << " differs";
            }
    }

    fs::path dir;
    std::vector<std::string> jobs;
    bool viaList = false;
};

// The entities ezdxf reads from each DXF file (its model space; -1 when it
// cannot read the file or audit finds errors).
std::map<std::string, long> EzdxfEntities(const std::vector<std::string>& paths, const fs::path& scratch) {
    std::string list;
    for (auto& p : paths) list += p + "\n";
    dxftest::WriteFile(scratch / "paths", list);
    const std::string script =
        "import sys, ezdxf\n"
        "for p in open(sys.argv[1]).read().split('\\n'):\n"
        "    if not p: continue\n"
        "    try:\n"
        "        d = ezdxf.readfile(p); a = d.audit()\n"
        "        print(len(d.modelspace()) if not a.has_errors else -1)\n"
        "    except Exception:\n"
        "        print(-1)\n";
    dxftest::WriteFile(scratch / "count.py", script);
    const std::string cmd = "/usr/bin/python3 " + Quote((scratch / "count.py").string()) + " " +
                            Quote((scratch / "paths").string()) + " >" + Quote((scratch / "counts").string());
    std::map<std::string, long> counts;
    if (std::system(cmd.c_str()) != 0) return counts;
    std::istringstream in(dxftest::ReadFile(scratch / "counts"));
    for (auto& p : paths) in >> counts[p];
    return counts;
}

// Job k belongs to shard k mod n; the broken drawing is job 6.
int ShardOf(size_t k, int n) { return int(k % size_t(n)); }
}  // namespace

TEST_F(Shards, TwoAndThreeShardsAtOnceGiveTheFilesOfOneRun) {
    for (const char* form : {"dxf", "text"}) {
        const std::string options = std::string("--keep-going -j 1 --format ") + form;
        const std::string ext = form == std::string("dxf") ? ".dxf" : ".txt";
        const fs::path single = dir / (std::string("single") + form);
        EXPECT_EQ(Run(0, options, single), std::vector<int>{1});  // the broken drawing
        const TFolder one = ReadFolder(single);
        // Hand-computed from the rule: a/plan (3 layouts) plan, plan0,
        // plan1; sheet1 (13) sheet1, sheet10 .. sheet19, sheet110, sheet111;
        // b/plan plan2; plan0 meets plan0 taken: plan00; c/plan1 (3) meets
        // plan1: plan10, plan11, plan12; sheet10 (2) sheet100, sheet101;
        // sheet11 meets sheet11, sheet110, sheet111: sheet112; big; c/plan
        // plan3; d/plan (4) plan4 .. plan7.
        for (const char* n : {"plan", "plan0", "plan1", "plan2", "plan00", "plan10", "plan12", "sheet1", "sheet10",
                              "sheet19", "sheet111", "sheet100", "sheet101", "sheet112", "plan3", "plan7", "big"})
            EXPECT_EQ(one.Files.count(n + ext), 1u) << n << ext;
        for (const char* n : {"plan8", "plan13", "sheet113", "sheet102"}) EXPECT_EQ(one.Files.count(n + ext), 0u) << n;

        for (int n : {2, 3}) {
            const fs::path out = dir / (std::string("shards") + std::to_string(n) + form);
            // With two shards each converts two files at once; three read
            // the job list from a file: the names stay.
            viaList = n == 3;
            const std::vector<int> status = Run(n, n == 2 ? options + " -j 2" : options, out);
            viaList = false;
            for (int i = 0; i < n; ++i) EXPECT_EQ(status[size_t(i)], i == ShardOf(6, n) ? 1 : 0) << form << n << i;
            const TFolder shards = ReadFolder(out);
            ExpectSameFiles(one, shards, std::string(form) + " " + std::to_string(n) + " shards");

            // Together the reports list every file of the folder, each once,
            // with the lines of a text file or the entities of a DXF file.
            std::set<std::string> listed;
            std::map<std::string, long> entities;  // DXF path -> entities the report gives
            int counted = 0;
            for (int i = 0; i < n; ++i) {
                nlohmann::json r = Report(out, i);
                EXPECT_EQ(r["shard"]["index"], i);
                EXPECT_EQ(r["shard"]["count"], n);
                counted += r["drawings_counted"].get<int>();
                for (auto& d : r["drawings"]) {
                    EXPECT_EQ(ShardOf(d["job"].get<size_t>(), n), i);
                    EXPECT_EQ(d["file"], jobs[d["job"].get<size_t>()]);
                    if (d["job"] == 6) {
                        EXPECT_EQ(d["status"], "failed");
                        EXPECT_NE(d["error"].get<std::string>().find("DXF read error on line 8"), std::string::npos);
                        continue;
                    }
                    EXPECT_EQ(d["status"], "converted") << d;
                    for (auto& l : d["layouts"]) {
                        const std::string path = l["path"];
                        EXPECT_TRUE(listed.insert(path).second) << path;
                        EXPECT_EQ(l["form"], form);
                        EXPECT_EQ(l["complete"], true);
                        const std::string bytes = shards.Files.at(fs::path(path).filename().string());
                        if (ext == ".txt")
                            EXPECT_EQ(l["segments"], std::count(bytes.begin(), bytes.end(), '\n')) << path;
                        else
                            entities[path] = l["entities"].get<long>();
                    }
                }
            }
            EXPECT_EQ(listed.size(), shards.Files.size());
            // A real reader finds the same entities in each DXF file.
            if (ext == ".dxf" && n == 3) {
                std::vector<std::string> paths;
                for (auto& [p, n] : entities) paths.push_back(p);
                const std::map<std::string, long> read = EzdxfEntities(paths, dir);
                for (auto& [p, n] : entities) EXPECT_EQ(read.count(p) ? read.at(p) : -2, n) << p;
            }
            // b/plan.dxf (3 lines) gives 3 segments and 3 LINE entities.
            nlohmann::json b = Report(out, ShardOf(2, n))["drawings"];
            for (auto& d : b)
                if (d["job"] == 2) {
                    EXPECT_EQ(d["layouts"][0][ext == ".txt" ? "segments" : "entities"], 3) << d;
                }
            // Some drawings were read only to count their layouts: sheet1
            // for sheet10 and sheet11, and plans for later plans.
            EXPECT_GT(counted, 0);
        }
    }
}

TEST_F(Shards, AFailingDrawingInOneShardLeavesTheOtherShardsUntouched) {
    const fs::path single = dir / "single";
    EXPECT_EQ(Run(0, "--keep-going --format text", single), std::vector<int>{1});
    const TFolder one = ReadFolder(single);
    // big.dxf (job 8, shard 2 of 3) cannot be written whole: at most 64 KB
    // per file there.
    const fs::path out = dir / "shards";
    const std::vector<int> status = Run(3, "--keep-going --format text", out, {{2, "ulimit -f 128;"}});
    EXPECT_EQ(status, (std::vector<int>{1, 0, 1}));  // broken.dxf is job 6, in shard 0
    const TFolder shards = ReadFolder(out);
    EXPECT_NE(Err(out, 2).find("big.dxf: cannot write"), std::string::npos) << Err(out, 2);
    // No part of big.txt, and every other file as one run gives it: the
    // drawings after big.dxf keep their names.
    EXPECT_EQ(shards.Files.count("big.txt"), 0u);
    TFolder rest = one;
    rest.Files.erase("big.txt");
    ExpectSameFiles(rest, shards, "with big.dxf failing");
    const nlohmann::json failing = Report(out, 2);
    for (auto& d : failing["drawings"])
        if (d["job"] == 8) {
            EXPECT_EQ(d["status"], "failed");
            EXPECT_EQ(d["layouts"].size(), 0u);
            EXPECT_NE(d["error"].get<std::string>().find("File too large"), std::string::npos) << d;
        }
}

TEST_F(Shards, AShardNeverOverwritesAndASecondTryKeepsWhatTheFirstWrote) {
    const fs::path out = dir / "out";
    EXPECT_EQ(Run(2, "--keep-going", out), (std::vector<int>{1, 0}));
    const TFolder first = ReadFolder(out);
    // Shard 1 again: every output is there with its bytes, so the run
    // succeeds and leaves the files as they are.
    const fs::path again = dir / "again";
    fs::rename(out, again);
    EXPECT_EQ(Run(0, "--keep-going --shard 1/2", again), std::vector<int>{0});
    ExpectSameFiles(first, ReadFolder(again), "second try");
    const nlohmann::json second = Report(again, 0);
    for (auto& d : second["drawings"])
        for (auto& l : d["layouts"]) EXPECT_EQ(l["existed"], true) << l;

    // Another file at one of shard 1's names (job 5, sheet10.dxf: sheet100
    // and sheet101) stays, and that drawing fails; the other drawings of
    // the shard are converted as before.
    dxftest::WriteFile(again / "sheet101.dxf", "someone else's");
    EXPECT_EQ(Run(0, "--keep-going --shard 1/2", again), std::vector<int>{1});
    EXPECT_EQ(dxftest::ReadFile(again / "sheet101.dxf"), "someone else's");
    EXPECT_NE(Err(again, 0).find("sheet10.dxf: cannot create '" + (again / "sheet101.dxf").string() +
                                 "': File exists (with other bytes than this output)"),
              std::string::npos)
        << Err(again, 0);
    const nlohmann::json third = Report(again, 0);
    for (auto& d : third["drawings"])
        EXPECT_EQ(d["status"], d["job"] == 5 ? "failed" : "converted") << d;

    // Without --keep-going a failure ends the shard: the drawings after it
    // are listed as not converted.
    const fs::path stop = dir / "stop";
    EXPECT_EQ(Run(0, "--shard 0/2", stop), std::vector<int>{1});
    nlohmann::json r = Report(stop, 0);
    for (auto& d : r["drawings"]) {
        const size_t k = d["job"];
        EXPECT_EQ(d["status"], k < 6 ? "converted" : k == 6 ? "failed" : "not converted") << d;
    }
    EXPECT_EQ(r["exit_status"], 1);
    EXPECT_EQ(r["drawings_failed"], 1);
}

TEST_F(Shards, AShareIsIOfNWithIBelowN) {
    const fs::path out = dir / "out";
    fs::create_directories(out);
    for (const char* s : {"2/2", "-1/2", "1/0", "1", "a/b", "1/2/3", " 1/2", "0x1/2"})
        EXPECT_EQ(WEXITSTATUS(std::system((Command(std::string("--shard '") + s + "'", out) + " >/dev/null 2>&1").c_str())), 2)
            << s;
    // More shares than jobs: the shards past the list convert nothing.
    EXPECT_EQ(WEXITSTATUS(std::system((Command("--shard 40/41", out) + " >/dev/null 2>&1").c_str())), 0);
    EXPECT_TRUE(fs::is_empty(out));
}
