// The output names of a share (shard) of the job list: exactly the names a
// run of the whole list gives in an empty output folder, found without
// looking at the folder, so that shards on different machines can write into
// one folder at the same time.
//
// In an empty folder the run one file after the other gives each output the
// first name of its base name (base, base0, base1, ...: probe indices 0, 1,
// 2, ...) that no earlier output took. So the names of job k follow from the
// number of outputs of every earlier job whose names can meet k's: the jobs
// of the same base name, and of base names that are one another's with a
// counter's digits appended ("plan" and "plan0": plan's second output is
// plan0.dxf; "sheet1" and "sheet12": sheet1's fourteenth output is
// sheet12.dxf). Those counts are exact only by loading a drawing; to load as
// few as possible, each job also has a cheap upper bound of its outputs (no
// loading, see LayoutBound), and a job's count is needed only where the
// bounds cannot rule out that its names reach a name in question:
//
//  - The probe index a base D has reached after its jobs before position T
//    is below (outputs of D's jobs before T) + (outputs of the jobs of
//    touching base names before D's last such job): every index D passed was
//    taken by D or, before D passed it, by a job whose names can be D's.
//    With the bounds in place of the outputs this is UBReach(D, T).
//  - A name is taken before job j exactly when one of the base names that
//    can give it (the name itself, or the name without a counter at its end)
//    has reached its probe index for it before j. When UBReach rules that
//    out, the base's jobs need not be known.
//
// Plan finds, from the jobs to be named, every (base, position) whose exact
// stream of names is needed, and so the jobs whose counts are needed; Names
// then replays the run in job-list order over those jobs only. Each step is
// linear in the names looked at; at most kMaxProbeIndex + 1 probe indices of
// one base name are ever looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class TShardNames {
public:
    // bases: the base name of every job of the whole list (OutputBaseName),
    // ext: ".dxf" or ".txt"; bound(k): at most how many outputs job k gives
    // (called at most once per job, only for the jobs whose bound is needed).
    TShardNames(std::vector<std::string> bases, std::string ext, std::function<int(size_t)> bound);

    // The jobs, other than those in mine, whose counts naming the outputs of
    // the jobs in mine needs, in job-list order. Call once, first.
    std::vector<size_t> Plan(const std::vector<size_t>& mine);
    // The number of outputs of job k (one Plan returned, or one of mine),
    // before Names passes it; a count above the job's bound is taken as the
    // bound (see Bound). Returns false then. (The bound of a job whose base
    // name touches no other is never asked: no one reasons with it.)
    bool SetCount(size_t k, int count);
    // The names (base, counter, extension; no folder) of the outputs of job
    // k, one of mine, in order; fewer than its count when the counters run
    // out (kMaxNameCounter). Call for the jobs in mine in job-list order.
    std::vector<std::string> Names(size_t k);
    // The bound of job k (cached).
    int Bound(size_t k);

private:
    struct TBase {
        std::vector<size_t> Jobs;        // positions, ascending
        std::vector<int64_t> BoundSums;  // BoundSums[i]: bounds of Jobs[0..i)
        std::vector<std::string> Touching;  // other base names whose names can be this one's
        std::vector<int64_t> Reach;      // Reach[n]: UBReach with n jobs before; -2 not known
        size_t Need = 0;                 // jobs before this position are replayed
        size_t Planned = 0;              // Need when it was last planned
        int64_t Next = 0;                // replay: next probe index
        int64_t Reached = -1;            // replay: probe index of the last name taken
    };
    TBase* Find(const std::string& base);
    size_t JobsBefore(TBase& b, size_t t);
    int64_t BoundSum(TBase& b, size_t jobs);
    int64_t UBReach(TBase& b, size_t t);
    // Calls f(base, probe index) for every other base name that can give the
    // name stem (a base name followed by a counter or not).
    template <class F>
    void Givers(const std::string& stem, const std::string& self, F&& f);
    bool Taken(const std::string& stem, const std::string& self, size_t j);
    void Replay(size_t j, std::vector<std::string>* names);

    std::vector<std::string> FBases;
    std::string FExt;
    std::function<int(size_t)> FBound;
    std::vector<int> FBounds;   // -1: not asked yet
    std::vector<int> FCounts;   // -1: not known
    std::unordered_map<std::string, TBase> FByBase;
    std::vector<size_t> FReplay;  // the positions replayed, ascending
    size_t FReplayed = 0;         // of FReplay
    std::vector<char> FMine;
};

// A cheap upper bound of the layouts of the drawing at path: 2 (the model
// and the default paper layout) plus the number of times the bytes "LAYOUT"
// occur in the file (every further layout comes from a LAYOUT object, whose
// type name the file spells out, in ASCII and in binary DXF alike). 0 when
// the file cannot be read (it cannot be loaded either).
int LayoutBound(const std::string& path);
