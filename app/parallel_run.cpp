// The conversion run with several files converted at once. Worker threads
// take the files of the job list in order and convert each into temporary
// files in the output folder, keeping its log lines, warnings and error. The
// calling thread finishes the files strictly in job-list order: it passes
// the file's log lines and warnings on, gives each of its outputs the name a
// run one file after the other would give at that point (the folder then
// holds exactly what that run would have written so far) and renames the
// temporary file to it, and then handles the file's error as that run would.
// When an error ends the run or the user interrupts it, the workers stop and
// every output not yet named is removed. A shard converts its share of the
// job list the same way, its outputs taking the names planned for them
// (TRunNaming, app/shard_run.cpp) instead.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "app/conversion_run.h"
#include "app/output_names.h"
#include "app/run_naming.h"
#include "output/errors.h"

namespace {

// One step of a file's conversion, kept until the file's turn comes.
struct TEvent {
    enum { evLog, evWarning, evLoaded, evName, evOutput } Kind;
    std::string Text;  // the line, the message, or the temporary path
    int Layout = 0;    // evLoaded: the layouts found; evOutput: the layout
    int Count = 0;     // evLoaded: the layouts to convert; evOutput: 1 complete, 0 not
};

struct TFileState {
    std::vector<TEvent> Events;
    int Converted = 0;
    bool Done = false;
    bool Failed = false;
    std::string Error;
    int Layout = 0, LayoutCount = 0, Percent = 0;  // progress
    int Temporaries = 0;
};

struct TShared {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<TFileState> Files;
    std::atomic<bool> Stop{false};
};

// The machine and the process, for temporary names in a folder that
// processes on other machines (shards) may write into at the same time.
std::string ProcessTag() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::string tag;
    for (const char* c = host; *c && tag.size() < 64; ++c)
        tag += (std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' || *c == '.') ? *c : '_';
    return tag + "-" + std::to_string(::getpid());
}

// Collects what one file's conversion reports; outputs go to temporary
// files named after the machine, the process and the file's place in the
// whole job list, so that no two processes ever make the same one.
class TQueuedReport : public TFileReport {
public:
    TQueuedReport(TShared& shared, size_t index, size_t job, const std::string& folder, const std::string& tag)
        : Shared(shared), Index(index), Job(job), Folder(folder), Tag(tag) {}
    void Log(const std::string& line) override { Add(TEvent::evLog, line); }
    void Warning(const std::string& message) override { Add(TEvent::evWarning, message); }
    void Progress(int layout, int layoutCount, int percent) override {
        std::lock_guard<std::mutex> lock(Shared.Mutex);
        Shared.Files[Index].Layout = layout;
        Shared.Files[Index].LayoutCount = layoutCount;
        Shared.Files[Index].Percent = percent;
    }
    void Loaded(int layoutCount, int toConvert) override { Add({TEvent::evLoaded, "", layoutCount, toConvert}); }
    std::string OutputPath() override {
        // Ends in ".tmp", so it is never a name the run gives an output.
        std::string path =
            Folder + ".dxf2plandrop-" + Tag + "-" + std::to_string(Job) + "-" + std::to_string(++Count) + ".tmp";
        Add(TEvent::evName, path);
        return path;
    }
    void OutputDone(const std::string& path, int layout, bool complete) override {
        Add({TEvent::evOutput, path, layout, complete ? 1 : 0});
    }

private:
    void Add(decltype(TEvent::Kind) kind, const std::string& text) { Add({kind, text}); }
    void Add(TEvent e) {
        std::lock_guard<std::mutex> lock(Shared.Mutex);
        Shared.Files[Index].Events.push_back(std::move(e));
    }
    TShared& Shared;
    size_t Index;
    size_t Job;
    const std::string& Folder;
    const std::string& Tag;
    int Count = 0;
};

// Renames from to to unless to exists.
bool RenameNoReplace(const std::string& from, const std::string& to, int& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    error = errno;
    if (error != EINVAL && error != ENOSYS) return false;
    // A file system without the flag: a hard link fails as well when to exists.
    if (::link(from.c_str(), to.c_str()) != 0) {
        error = errno;
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

// Whether the regular file at path (not a link) holds exactly the bytes of
// the file at other.
bool SameBytes(const std::string& other, const std::string& path) {
    struct stat a {}, b {};
    if (::lstat(path.c_str(), &a) != 0 || !S_ISREG(a.st_mode) || ::stat(other.c_str(), &b) != 0 ||
        a.st_size != b.st_size)
        return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::FILE* g = f ? std::fopen(other.c_str(), "rb") : nullptr;
    bool same = f && g;
    static constexpr size_t kChunk = 1 << 16;
    std::vector<char> x(same ? kChunk : 0), y(same ? kChunk : 0);
    while (same) {
        size_t n = std::fread(x.data(), 1, kChunk, f), m = std::fread(y.data(), 1, kChunk, g);
        if (n != m || std::memcmp(x.data(), y.data(), n) != 0) same = false;
        if (n < kChunk) {
            if (std::ferror(f) || std::ferror(g)) same = false;
            break;
        }
    }
    if (f) std::fclose(f);
    if (g) std::fclose(g);
    return same;
}

std::string ReplaceAll(std::string s, const std::string& what, const std::string& with) {
    for (size_t at = 0; !what.empty() && (at = s.find(what, at)) != std::string::npos; at += with.size())
        s.replace(at, what.size(), with);
    return s;
}

void RemoveTemporaries(const TFileState& f) {
    for (const TEvent& e : f.Events)
        if (e.Kind == TEvent::evName) std::remove(e.Text.c_str());
}

}  // namespace

void BlockCancelSignals() {
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &block, nullptr);
}

int TConversionRun::RunParallel(const std::vector<std::string>& jobs, const std::string& folder,
                                const TConvertSettings& settings, THelperThreads& helpers, TRunNaming& naming) {
    TShared shared;
    shared.Files.resize(jobs.size());
    std::atomic<size_t> next{0};
    const std::string tag = ProcessTag();
    auto work = [&] {
        BlockCancelSignals();
        for (size_t k; !shared.Stop.load() && (k = next.fetch_add(1)) < jobs.size();) {
            TQueuedReport report(shared, k, naming.Job(k), folder, tag);
            report.German = GermanWarnings;
            int converted = 0;
            bool failed = false;
            std::string error;
            try {
                converted = ConvertFile(jobs[k], folder, settings, report, &shared.Stop, LoadXrefs, &helpers, FFonts.get());
            } catch (const std::exception& e) {
                failed = true;
                error = e.what();
            } catch (...) {
                failed = true;
                error = "unknown error";
            }
            std::lock_guard<std::mutex> lock(shared.Mutex);
            TFileState& f = shared.Files[k];
            f.Converted = converted;
            f.Failed = failed;
            f.Error = std::move(error);
            f.Done = true;
            shared.Changed.notify_all();
        }
        // No file left for this worker: its processor goes to the writing
        // stages of the files still converting.
        helpers.Give();
    };
    std::vector<std::thread> workers;
    size_t count = std::min<size_t>(size_t(Jobs), jobs.size());
    for (size_t i = 0; i < count; ++i) workers.emplace_back(work);
    // Stops the workers and removes every output not named yet, also when an
    // error passes.
    size_t committed = 0;
    struct TFinish {
        TShared& s;
        std::vector<std::thread>& w;
        size_t& committed;
        ~TFinish() {
            s.Stop.store(true);
            for (auto& t : w) t.join();
            for (size_t k = committed; k < s.Files.size(); ++k) RemoveTemporaries(s.Files[k]);
        }
    } finish{shared, workers, committed};

    Converted = 0;
    int& converted = Converted;
    TRunProgress progress;
    progress.FileCount = int(jobs.size());
    for (size_t k = 0; k < jobs.size(); ++k) {
        const std::string& entry = jobs[k];
        progress.FileIndex = int(k);
        progress.File = entry;
        TFileState file;
        {
            std::unique_lock<std::mutex> lock(shared.Mutex);
            int shownLayout = -1, shownPercent = -1;
            while (!shared.Files[k].Done) {
                if (Cancel && Cancel->load()) break;
                TFileState& f = shared.Files[k];
                if (OnProgress && (f.Layout != shownLayout || f.Percent != shownPercent)) {
                    progress.Layout = shownLayout = f.Layout;
                    progress.LayoutCount = f.LayoutCount;
                    progress.Percent = shownPercent = f.Percent;
                    lock.unlock();
                    OnProgress(progress);
                    lock.lock();
                    continue;
                }
                shared.Changed.wait_for(lock, std::chrono::milliseconds(50));
            }
            if (Cancel && Cancel->load()) {
                // Interrupted: nothing more is named; TFinish removes the rest.
                shared.Stop.store(true);
                lock.unlock();
                if (OnFileDone) {
                    TFileOutcome outcome;
                    outcome.Job = naming.Job(k);
                    outcome.File = entry;
                    outcome.Failed = true;
                    outcome.Error = "Abgebrochen";
                    OnFileDone(outcome);
                }
                throw TRunError(entry, "Abgebrochen");
            }
            file = std::move(shared.Files[k]);
            shared.Files[k] = TFileState{};
        }
        // The file's turn: its outputs take their names now, in order.
        TFileOutcome outcome;
        outcome.Job = naming.Job(k);
        outcome.File = entry;
        int toConvert = 0;
        for (const TEvent& e : file.Events)
            if (e.Kind == TEvent::evLoaded) toConvert = e.Count;
        std::map<std::string, std::string> names;  // temporary path -> name
        std::string renameError = naming.Begin(k, entry, toConvert);
        for (const TEvent& e : file.Events) {
            if (!renameError.empty()) {
                if (e.Kind == TEvent::evName || e.Kind == TEvent::evOutput) std::remove(e.Text.c_str());
                continue;
            }
            switch (e.Kind) {
                case TEvent::evLog: Log.Append(e.Text); break;
                case TEvent::evWarning:
                    outcome.Warnings.push_back(e.Text);
                    if (OnWarning) OnWarning(entry, e.Text);
                    break;
                case TEvent::evLoaded: outcome.LayoutCount = e.Layout; break;
                case TEvent::evName:
                    try {
                        names[e.Text] = naming.Next();
                    } catch (const std::exception& ex) {
                        renameError = ex.what();
                        std::remove(e.Text.c_str());
                    }
                    break;
                case TEvent::evOutput: {
                    const std::string& name = names[e.Text];
                    const bool complete = e.Count != 0;
                    if (!complete && !naming.KeepPartial()) {
                        std::remove(e.Text.c_str());
                        break;
                    }
                    int error = 0;
                    bool existed = false;
                    if (!RenameNoReplace(e.Text, name, error)) {
                        const bool planned = error == EEXIST && complete && naming.AcceptIdentical();
                        existed = planned && SameBytes(e.Text, name);
                        if (!existed)
                            renameError = "cannot create '" + name + "': " + std::strerror(error) +
                                          (planned ? " (with other bytes than this output)" : "");
                        std::remove(e.Text.c_str());
                        if (!existed) break;
                    }
                    outcome.Outputs.push_back({e.Layout, name, complete, existed});
                    break;
                }
            }
        }
        // Outputs named but never completed (a DXF layout an error ended) are
        // removed; their names appear in the error as such.
        for (const auto& [tmp, name] : names) std::remove(tmp.c_str());
        committed = k + 1;
        bool failed = file.Failed || !renameError.empty();
        if (!failed) {
            converted += file.Converted;
            if (OnFileDone) OnFileDone(outcome);
            continue;
        }
        std::string message = renameError.empty() ? file.Error : renameError;
        for (const auto& [tmp, name] : names) message = ReplaceAll(message, tmp, name);
        outcome.Failed = true;
        outcome.Error = message;
        if (OnFileDone) OnFileDone(outcome);
        if (!KeepGoing) throw TRunError(entry, message);
        ++FailedFiles;
        if (OnFileError) OnFileError(entry, message);
    }
    Log.Append(std::to_string(converted) + " Dateien/Layout konvertiert...");
    return converted;
}
