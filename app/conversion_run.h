// The conversion run: every layout to convert of every drawing of the job
// list is loaded, drawn onto a drawing sink fitted into a rectangle 600000
// units wide, and written as a simplified DXF file or a text file of
// segments into the output folder, with the log lines of the message log.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/settings.h"
#include "platform/errors.h"

// Width of the target rectangle every layout is drawn into.
constexpr int kTargetWidth = 600000;

// The target rectangle's bottom for a layout of natural size w x h:
// 600000 / (w / h) truncated toward zero. Very tall and narrow layouts
// (h / w above about 3579) would pass the 32-bit range; the bottom is capped
// at the largest 32-bit integer, so the drawing keeps its aspect ratio and is
// scaled to fit that height (every target coordinate stays in range).
int32_t TargetBottom(int width, int height);

struct TRunProgress {
    int FileIndex = 0;  // 0-based
    int FileCount = 0;
    int Layout = 0;     // 1-based layout being converted, 0 while loading
    int LayoutCount = 0;  // layouts of the file, 0 while loading
    int Percent = 0;    // of the file read
    std::string File;
};

class THelperThreads;
class TRunNaming;

// One output file of a drawing, as the run finished it.
struct TOutputFile {
    int Layout = 0;     // 1-based
    std::string Path;   // in the output folder
    // false: a text file an error ended, with the lines written so far.
    bool Complete = true;
    // A shard found the file at its name already, with exactly these bytes
    // (written by an earlier try of the same shard): it was left as it is.
    bool Existed = false;
};

// What became of one drawing of the job list.
struct TFileOutcome {
    size_t Job = 0;  // 0-based place in the whole job list
    std::string File;
    int LayoutCount = -1;  // -1: not loaded
    std::vector<TOutputFile> Outputs;
    std::vector<std::string> Warnings;  // in the order they were reported
    bool Failed = false;
    std::string Error;
};

// Called by a worker thread of a run: the interrupt, terminate and hang-up
// signals go to the calling thread, whose handler sets the cancel flag.
void BlockCancelSignals();

class TConversionRun {
public:
    explicit TConversionRun(TLog& log) : Log(log) {}

    // Converts the job list; returns the number of converted layouts. Without
    // KeepGoing an error ends the whole run (the current layout's clean-up
    // runs, files finished before stay, the count line is not written) and
    // propagates as TRunError. With KeepGoing the error of a file is handed to
    // OnFileError and the run goes on with the next file; the count line is
    // written at the end. An output folder that cannot be made raises
    // EOutputFolderError before anything is converted or logged.
    int Run(const std::vector<std::string>& jobs, const TConvertSettings& settings,
            const std::string& programFolder);

    bool KeepGoing = false;
    // Layouts converted so far by the run: the count line's number, and what
    // was converted before an error or an interrupt ended it.
    int Converted = 0;
    // External references are loaded (false: each shows its path, for
    // drawings from untrusted sources, which could name any file).
    bool LoadXrefs = true;
    int FailedFiles = 0;
    std::function<void(const std::string& file, const std::string& message)> OnFileError;
    std::function<void(const TRunProgress&)> OnProgress;
    // A drawing that converted only in part, or not as asked: the file and a
    // message. A layout that reached the drawing's work bound, and geometry
    // a resource bound left out or simplified (see model/limits.h): while
    // loading (no layout named) or while drawing a layout (named); a layout
    // that draws nothing; a single layout number the drawing does not have.
    // Each comes after the drawing's " geladen..." line.
    std::function<void(const std::string& file, const std::string& message)> OnWarning;
    // Called for each drawing the run took up, in job-list order, when it is
    // done (also for the drawing whose error ends the run, before the error
    // propagates).
    std::function<void(const TFileOutcome&)> OnFileDone;
    // The warnings of the run's own (an empty layout, a missing layout
    // number) in German, for the window's log; the bounds' messages stay as
    // the model gives them.
    bool GermanWarnings = false;
    // Set from outside (a signal) to stop between layouts and entities.
    const std::atomic<bool>* Cancel = nullptr;
    // Files converted at once. With more than one (and more than one file),
    // the files are converted on worker threads and finished in job-list
    // order on the calling thread, so that everything a run one file after
    // the other gives comes out the same: the log lines and warnings in
    // their order, the output names, errors and KeepGoing. Every callback and
    // the log are called on the calling thread only.
    int Jobs = 1;
    // The threads the run may use in all (0: one per processor, and at least
    // Jobs). Those no file needs (more than Jobs, more than the files, or
    // workers that found no more files) finish the entities of the files
    // being read and write out the layouts of the files still converting
    // while they are drawn (see THelperThreads); with as
    // many threads as Jobs, a run with Jobs 1 keeps to one processor.
    int Threads = 0;
    // A share of the job list (ShardCount > 0): only the jobs k with
    // k mod ShardCount == ShardIndex are converted, and each output gets the
    // name a run of the whole list would give it in an empty output folder,
    // whatever other shards write into the folder at the same time (see
    // app/shard_names.h). Every output is written under a temporary name and
    // gets its name only when complete; a name that is taken is never
    // overwritten: a file there with exactly the output's bytes (an earlier
    // try of the same shard) is left as it is, any other file ends the
    // drawing with an error. A layout an error ended leaves no file.
    int ShardIndex = 0;
    int ShardCount = 0;
    // Drawings of other shards a shard read to count their layouts.
    int CountedDrawings = 0;
    // Output names probed in the folder (runs that are no shard).
    int64_t NameProbes() const { return FNameProbes; }

    // Where the stroke fonts for TextStrokes are read (empty: the installed
    // package's folder, see LoadStrokeFonts). They are read once per run.
    std::string StrokeFontFolder;

private:
    TLog& Log;
    int64_t FNameProbes = 0;
    std::shared_ptr<const struct TStrokeFonts> FFonts;
    int RunParallel(const std::vector<std::string>& jobs, const std::string& folder,
                    const TConvertSettings& settings, THelperThreads& helpers, TRunNaming& naming);
    int RunShard(const std::vector<std::string>& jobs, const std::string& folder,
                 const TConvertSettings& settings);
};

// The number of files a run converts at once by default: one per processor.
int DefaultJobs();

// The threads a run may start beside those converting files, counted down
// and up again from any thread: a file being read takes one to finish its
// entities, and a layout being written one for its writing stage
// (formatting the text lines, reading the DXF records back), while one is
// free; otherwise the file's own thread does that work itself. A run with
// Jobs threads converts at most Jobs files at once and gives the rest of its
// threads to these stages, so "-j 1" keeps to one processor.
class THelperThreads {
public:
    explicit THelperThreads(int free) : FFree(free) {}
    bool TryTake() {
        int n = FFree.load();
        while (n > 0)
            if (FFree.compare_exchange_weak(n, n - 1)) return true;
        return false;
    }
    void Give() { FFree.fetch_add(1); }
    int Free() const { return FFree.load(); }

private:
    std::atomic<int> FFree;
};

// What the conversion of one file reports and where its outputs go: the run
// one file after the other passes everything straight on, the parallel run
// keeps it until the file's turn comes.
class TFileReport {
public:
    virtual ~TFileReport() = default;
    // The run's own warnings in German (TConversionRun::GermanWarnings).
    bool German = false;
    // Layouts of the file converted so far (ConvertFile counts them, also
    // when an error ends the file later).
    int Converted = 0;
    virtual void Log(const std::string& line) = 0;
    virtual void Warning(const std::string& message) = 0;
    // layout: 1-based layout being converted, 0 while loading; layoutCount:
    // the file's layouts, 0 while loading.
    virtual void Progress(int layout, int layoutCount, int percent) = 0;
    // The drawing is loaded: its layouts, and how many of them are to be
    // converted (the outputs it is to give).
    virtual void Loaded(int layoutCount, int toConvert) {
        (void)layoutCount;
        (void)toConvert;
    }
    // The path the next layout's output is written to (its name is chosen
    // now, as the layout begins).
    virtual std::string OutputPath() = 0;
    // The output of layout (1-based) at path is complete, or (complete
    // false: a text file an error ended) keeps the lines written so far.
    virtual void OutputDone(const std::string& path, int layout, bool complete) = 0;
};

// The number of outputs a drawing of layoutCount layouts gives with the
// settings' layout choice.
int LayoutsToConvert(int layoutCount, const TConvertSettings& settings);

// The outputs a drawing gives with these settings, found by loading it as
// ConvertFile does (nothing is drawn or written); 0 when it cannot be loaded.
// Raises only when cancel is set.
int CountOutputs(const std::string& entry, const TConvertSettings& settings, const std::atomic<bool>* cancel,
                 bool loadXrefs);

// Converts the layouts to convert of one drawing; returns their number.
// Raises the error that ended the file (ECancelled-like "Abgebrochen" when
// cancel is set).
// External references are loaded unless loadXrefs is false.
// helpers: the threads the file may take to finish its entities while it
// is read and for its layouts' writing stages (none when null); the files
// are the same either way. fonts: the stroke fonts of the run for
// settings.TextStrokes (none: the file reads them itself).
int ConvertFile(const std::string& entry, const std::string& folder, const TConvertSettings& settings,
                TFileReport& report, const std::atomic<bool>* cancel, bool loadXrefs = true,
                THelperThreads* helpers = nullptr, const struct TStrokeFonts* fonts = nullptr);

// The machine ran out of memory while a file was converted; the message says
// while doing what.
class EOutOfMemory : public EPlandropError {
public:
    using EPlandropError::EPlandropError;
};

// The error that ended a run: the message of the error raised, and the file.
class TRunError : public EPlandropError {
public:
    TRunError(std::string file, std::string message) : EPlandropError(std::move(message)), File(std::move(file)) {}
    std::string File;
};
