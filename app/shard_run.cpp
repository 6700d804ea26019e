// A shard of the job list (TConversionRun::ShardCount): the jobs k with
// k mod N == I are converted as a run of several files at once converts
// them (app/parallel_run.cpp), but their outputs take the names planned by
// TShardNames instead of probing the folder. Before converting, the shard
// reads the drawings of other shards whose layout counts the names need
// (CountOutputs), several at once.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "app/conversion_run.h"
#include "app/output_names.h"
#include "app/run_naming.h"
#include "app/shard_names.h"

namespace {

class TPlannedNaming : public TRunNaming {
public:
    TPlannedNaming(TShardNames& plan, const std::vector<size_t>& mine, const std::string& folder, const char* ext)
        : Plan(plan), Mine(mine), Folder(folder), Ext(ext) {}
    std::string Begin(size_t k, const std::string& entry, int toConvert) override {
        Entry = entry;
        Index = 0;
        const size_t job = Mine[k];
        const bool within = Plan.SetCount(job, toConvert);
        Names = Plan.Names(job);
        // The other shards took this drawing to give at most its bound of
        // outputs; more would meet their names. (A bound that does not hold
        // is a fault of LayoutBound: the drawing is refused, not misnamed.)
        if (!within)
            return "has " + std::to_string(toConvert) + " layouts to convert, more than the " +
                   std::to_string(Plan.Bound(job)) + " its output names were planned for";
        return {};
    }
    std::string Next() override {
        if (Index < Names.size()) return Folder + Names[Index++];
        throw EOutputNameError("Fehler: konnte folgende Datei nicht erstellen: " + Folder + OutputBaseName(Entry) +
                               Ext);
    }
    bool KeepPartial() const override { return false; }
    bool AcceptIdentical() const override { return true; }
    size_t Job(size_t k) const override { return Mine[k]; }

private:
    TShardNames& Plan;
    const std::vector<size_t>& Mine;
    const std::string& Folder;
    const char* Ext;
    std::string Entry;
    std::vector<std::string> Names;
    size_t Index = 0;
};


}  // namespace

int TConversionRun::RunShard(const std::vector<std::string>& jobs, const std::string& folder,
                             const TConvertSettings& settings) {
    std::vector<size_t> mine;
    for (size_t k = size_t(ShardIndex); k < jobs.size(); k += size_t(ShardCount)) mine.push_back(k);
    std::vector<std::string> bases;
    bases.reserve(jobs.size());
    for (const std::string& j : jobs) bases.push_back(OutputBaseName(j));
    const char* ext = settings.OutputForm == ofText ? ".txt" : ".dxf";
    const bool single = settings.LayoutChoice == lcSingleLayout;
    const int singleBound = settings.LayoutNumber >= 1 ? 1 : 0;
    TShardNames plan(std::move(bases), ext,
                     [&](size_t k) { return single ? singleBound : LayoutBound(jobs[k]); });
    const std::vector<size_t> others = plan.Plan(mine);

    // The counts of the other shards' drawings the names need, Jobs at once.
    CountedDrawings = int(others.size());
    std::vector<int> counts(others.size(), 0);
    std::atomic<size_t> next{0};
    std::atomic<size_t> stopped{others.size()};  // the drawing whose counting was interrupted
    auto countAll = [&] {
        for (size_t i; stopped.load() == others.size() && (i = next.fetch_add(1)) < others.size();) {
            try {
                counts[i] = CountOutputs(jobs[others[i]], settings, Cancel, LoadXrefs);
            } catch (...) {
                stopped.store(i);  // only an interrupt raises
            }
        }
    };
    {
        std::vector<std::thread> threads;
        const size_t n = std::min<size_t>(size_t(std::max(Jobs, 1)), others.size());
        for (size_t i = 1; i < n; ++i)
            threads.emplace_back([&] {
                BlockCancelSignals();
                countAll();
            });
        countAll();  // the calling thread counts too; the signals stay its own
        for (auto& t : threads) t.join();
    }
    if (stopped.load() < others.size()) throw TRunError(jobs[others[stopped.load()]], "Abgebrochen");
    for (size_t i = 0; i < others.size(); ++i) plan.SetCount(others[i], counts[i]);

    std::vector<std::string> entries;
    entries.reserve(mine.size());
    for (size_t k : mine) entries.push_back(jobs[k]);
    const int workers = int(std::max<size_t>(std::min<size_t>(size_t(std::max(Jobs, 1)), entries.size()), 1));
    const int threads = Threads > 0 ? Threads : std::max(DefaultJobs(), Jobs);
    THelperThreads helpers(std::max(threads - workers, 0));
    TPlannedNaming naming(plan, mine, folder, ext);
    return RunParallel(entries, folder, settings, helpers, naming);
}
