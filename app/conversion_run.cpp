#include "app/conversion_run.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <thread>

#include "app/output_names.h"
#include "app/run_naming.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "output/layout_output.h"
#include "output/sink.h"
#include "platform/stroke_font.h"
#include "render/dxf_image.h"
#include "platform/scoped.h"

namespace {
class ECancelled : public EkrError {
public:
    ECancelled() : EkrError("Abgebrochen") {}
};
}  // namespace

int32_t TargetBottom(int width, int height) {
    double a = double(width) / double(height);
    double b = std::trunc(kTargetWidth / a);
    if (!(b < double(std::numeric_limits<int32_t>::max()))) return std::numeric_limits<int32_t>::max();
    return int32_t(b);
}

int DefaultJobs() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : int(n);
}

namespace {
void RefineCurves(TkrDXFImage& g, const TConvertSettings& settings) {
    // The tolerance is in target units; the curves are made in drawing
    // units, so it is divided by the largest scale of the layouts to convert
    // (the finest they need), and the drawing is read again with it. Finer
    // curves change the extents, and so the scale, only by a fraction of the
    // tolerance; the 1 % kept in hand covers that.
    double scale = 0;
    for (int i = 0; i < g.LayoutCount(); ++i) {
        if (settings.LayoutChoice == lcSingleLayout && settings.LayoutNumber != i + 1) continue;
        g.SetCurrentLayout(g.GetLayout(i));
        TIntRect rect{0, 0, kTargetWidth, TargetBottom(g.GetWidth(), g.GetHeight())};
        if (std::optional<double> s = g.MappingScale(rect)) scale = std::max(scale, std::fabs(*s));
    }
    if (!(scale > 0) || !std::isfinite(scale)) return;
    g.Converter->ChordTolerance = settings.CurveTolerance / scale * 0.99;
    g.Reload();
}

// The run one file after the other: everything goes straight on, and the
// outcome of the file is noted for OnFileDone.
class TDirectReport : public TFileReport {
public:
    TDirectReport(TConversionRun& run, TLog& log, TOutputNamer& namer, const std::string& folder,
                  TOutputForm form, TRunProgress& progress, TFileOutcome& outcome)
        : Run(run), LogTo(log), Namer(namer), Folder(folder), Form(form), Prog(progress), Outcome(outcome) {}
    void Log(const std::string& line) override { LogTo.Append(line); }
    void Warning(const std::string& message) override {
        Outcome.Warnings.push_back(message);
        if (Run.OnWarning) Run.OnWarning(Outcome.File, message);
    }
    void Progress(int layout, int layoutCount, int percent) override {
        if (!Run.OnProgress) return;
        Prog.Layout = layout;
        Prog.LayoutCount = layoutCount;
        Prog.Percent = percent;
        Run.OnProgress(Prog);
    }
    void Loaded(int layoutCount, int) override { Outcome.LayoutCount = layoutCount; }
    std::string OutputPath() override { return Namer.Next(Folder, Outcome.File, Form); }
    void OutputDone(const std::string& path, int layout, bool complete) override {
        Outcome.Outputs.push_back({layout, path, complete, false});
    }

private:
    TConversionRun& Run;
    TLog& LogTo;
    TOutputNamer& Namer;
    const std::string& Folder;
    TOutputForm Form;
    TRunProgress& Prog;
    TFileOutcome& Outcome;
};
}  // namespace

int TConversionRun::Run(const std::vector<std::string>& jobs, const TConvertSettings& settings,
                        const std::string& programFolder) {
    // The stroke fonts are read once, before anything is made: a run that
    // cannot draw its texts as lines converts nothing.
    FFonts.reset();
    if (settings.TextStrokes) FFonts = LoadStrokeFonts(StrokeFontFolder);
    std::string folder = PrepareOutputFolder(settings.OutputFolder, programFolder);
    FailedFiles = 0;
    CountedDrawings = 0;
    FNameProbes = 0;
    if (ShardCount > 0) return RunShard(jobs, folder, settings);
    const bool parallel = Jobs > 1 && jobs.size() > 1;
    const int workers = parallel ? int(std::min<size_t>(size_t(Jobs), jobs.size())) : 1;
    const int threads = Threads > 0 ? Threads : std::max(DefaultJobs(), Jobs);
    THelperThreads helpers(std::max(threads - workers, 0));
    TOutputNamer namer;
    TOnExit noteProbes([&] { FNameProbes = namer.Probes(); });
    if (parallel) {
        TProbeNaming naming(namer, folder, settings.OutputForm);
        return RunParallel(jobs, folder, settings, helpers, naming);
    }
    Converted = 0;
    int& converted = Converted;
    TRunProgress progress;
    progress.FileCount = int(jobs.size());
    for (size_t f = 0; f < jobs.size(); ++f) {
        progress.FileIndex = int(f);
        progress.File = jobs[f];
        progress.Layout = progress.LayoutCount = progress.Percent = 0;
        TFileOutcome outcome;
        outcome.Job = f;
        outcome.File = jobs[f];
        TDirectReport report(*this, Log, namer, folder, settings.OutputForm, progress, outcome);
        report.German = GermanWarnings;
        // The file's turn is shown before its reading begins (which may wait).
        if (OnProgress) OnProgress(progress);
        try {
            ConvertFile(jobs[f], folder, settings, report, Cancel, LoadXrefs, &helpers, FFonts.get());
            converted += report.Converted;
            if (OnFileDone) OnFileDone(outcome);
        } catch (const std::exception& e) {
            converted += report.Converted;
            outcome.Failed = true;
            outcome.Error = e.what();
            if (OnFileDone) OnFileDone(outcome);
            if (Cancel && Cancel->load()) throw TRunError(jobs[f], e.what());
            if (!KeepGoing) throw TRunError(jobs[f], e.what());
            ++FailedFiles;
            if (OnFileError) OnFileError(jobs[f], e.what());
        }
    }
    Log.Append(std::to_string(converted) + " Dateien/Layout konvertiert...");
    return converted;
}

int LayoutsToConvert(int layoutCount, const TConvertSettings& settings) {
    if (layoutCount < 1) return 0;
    if (settings.LayoutChoice != lcSingleLayout) return layoutCount;
    return settings.LayoutNumber >= 1 && settings.LayoutNumber <= layoutCount ? 1 : 0;
}

int CountOutputs(const std::string& entry, const TConvertSettings& settings, const std::atomic<bool>* cancel,
                 bool loadXrefs) {
    // Loaded as ConvertFile loads it, so that the count is the one its
    // conversion finds. (A curve tolerance reads the drawing once more with
    // finer curves; that changes no layout's emptiness, so it is not done.)
    try {
        TkrDXFImage g;
        g.Cancel = cancel;
        g.LoadXrefs = loadXrefs;
        g.LoadFromFile(entry);
        if (cancel && cancel->load()) throw ECancelled();
        return LayoutsToConvert(g.LayoutCount(), settings);
    } catch (const std::exception&) {
        if (cancel && cancel->load()) throw;
        return 0;  // its conversion fails to load it too and gives nothing
    }
}

namespace {
// Passes the bounds the model reached (see model/limits.h) on as warnings,
// each prefixed with where, and starts counting afresh. A warning is one
// line: what it quotes from the file has its control bytes escaped.
void ReportBounds(TFileReport& report, TBoundHits& hits, const std::string& where) {
    for (const std::string& m : hits.Messages()) report.Warning(where + EscapeControlBytes(m));
    hits.Clear();
}

// A layout without a visible entity converts all the same (an empty text
// file, a DXF file without entities); the user learns why it is empty.
std::string EmptyLayoutWarning(int number, bool german) {
    const std::string n = std::to_string(number);
    return german ? "Layout " + n + " ist leer: es enthält nichts Sichtbares, die Ausgabe bleibt leer"
                  : "layout " + n + " is empty: it has no visible entity, so its output is empty";
}

// A single layout number beyond the drawing's layouts converts nothing of it.
std::string MissingLayoutWarning(int32_t number, int count, bool german) {
    const std::string n = std::to_string(number), c = std::to_string(count);
    if (german)
        return "Layout " + n + " nicht konvertiert: die Zeichnung hat nur " + c + (count == 1 ? " Layout" : " Layouts");
    return "layout " + n + " not converted: the drawing has only " + c + (count == 1 ? " layout" : " layouts");
}

// One of the run's spare threads while it is held (none when none is free).
struct THelper {
    THelperThreads* From;
    bool Held;
    explicit THelper(THelperThreads* h) : From(h), Held(h && h->TryTake()) {}
    ~THelper() {
        if (Held) From->Give();
    }
    THelper(const THelper&) = delete;
    THelper& operator=(const THelper&) = delete;
};

// Draws layout i of g (current already) for its output, and reports what
// the drawing left out once the drawing that gives the output is done.
class TLayoutRun : public TLayoutDrawing {
public:
    TLayoutRun(TkrDXFImage& g, int i, TFileReport& report, const std::atomic<bool>* cancel)
        : G(g), I(i), Report(report), Cancel(cancel), Rect{0, 0, kTargetWidth, TargetBottom(g.GetWidth(), g.GetHeight())},
          WorkBefore(g.WorkDone) {}
    void Draw(TPDFCanvas& sink) override {
        G.DrawOnSink(sink, Rect);
        if (Cancel && Cancel->load()) throw ECancelled();
    }
    void Again() override {
        if (Reported) {
            G.Converter->Bounds.Clear();
        } else {
            // Entities found unsound while a box was computed for the first
            // time are counted once, when found: those stay for the report.
            const uint32_t unsound = G.Converter->Bounds.UnsoundEntities;
            G.Converter->Bounds.Clear();
            G.Converter->Bounds.UnsoundEntities = unsound;
        }
        G.WorkDone = WorkBefore;
    }
    // Asked only when the writing runs on a thread of its own: that thread
    // makes the points of the layout's polylines and curves ahead of the
    // drawing while it waits for segments (or for records to measure).
    TSideWork* SideWork() override {
        G.PointsAhead = &Ahead;
        return &Ahead;
    }
    void NoSideWork() override { G.PointsAhead = nullptr; }
    ~TLayoutRun() override { G.PointsAhead = nullptr; }
    void Drawn() override {
        if (Reported) {
            G.Converter->Bounds.Clear();  // reported after the drawing before
            return;
        }
        Reported = true;
        ReportBounds(Report, G.Converter->Bounds, "layout " + std::to_string(I + 1) + ": ");
        if (G.EntitiesDrawn == 0) Report.Warning(EmptyLayoutWarning(I + 1, Report.German));
        if (G.DrawTruncated)
            Report.Warning("layout " + std::to_string(I + 1) +
                           " converted only in part: the drawing's layouts need more than " +
                           std::to_string(G.WorkBudget) + " units of work in all (entities and points)");
    }

private:
    TkrDXFImage& G;
    const int I;
    TFileReport& Report;
    const std::atomic<bool>* Cancel;
    const TIntRect Rect;
    // The drawing's work bound counts all its layouts together; every
    // drawing of this layout starts from the work done before it.
    const uint64_t WorkBefore;
    bool Reported = false;
    TPointsAhead Ahead;
};

// Draws layout i of g (current already) into path and finishes the output.
// created is set once a text file exists at path.
void ConvertLayout(TkrDXFImage& g, int i, const std::string& path, const TConvertSettings& settings,
                   TFileReport& report, const std::atomic<bool>* cancel, bool& created, THelperThreads* helpers) {
    // The writing stage of the layout runs on a thread of its own when the
    // run has one to spare; the output is the same either way.
    THelper helper(helpers);
    TLayoutRun run(g, i, report, cancel);
    WriteLayout(settings.OutputForm == ofText ? TLayoutForm::Text : TLayoutForm::SimplifiedDxf, path, helper.Held,
                run, cancel, created);
}

// The steps of ConvertFile; doing tells what the file's conversion is doing.
int ConvertFileSteps(const std::string& entry, const std::string& folder, const TConvertSettings& settings,
                     TFileReport& report, const std::atomic<bool>* cancel, bool loadXrefs, THelperThreads* helpers,
                     const TStrokeFonts* fonts, std::string& doing) {
    auto cancelled = [&] { return cancel && cancel->load(); };
    int converted = 0;
    doing = "reading the stroke fonts";
    std::shared_ptr<const TStrokeFonts> ownFonts;
    if (settings.TextStrokes && !fonts) fonts = (ownFonts = LoadStrokeFonts()).get();
    doing = "reading the drawing";
    TkrDXFImage g;
    g.Lettering = settings.TextStrokes ? fonts : nullptr;
    g.TrueWidths = settings.TrueWidths;
    g.Cancel = cancel;
    g.LoadXrefs = loadXrefs;
    g.OnProgress = [&](TProgressStage, int percent, const std::string&) { report.Progress(0, 0, percent); };
    {
        // The entities are finished on a spare thread while they are read;
        // the thread is given back for the layouts' writing.
        THelper helper(helpers);
        g.Converter->FinishOnThread = helper.Held;
        g.LoadFromFile(entry);
        // A file without a single section (empty, blank lines, any other
        // text) is no drawing: converting it to an empty output would report
        // success for nothing.
        if (g.Converter->SectionsRead == 0) throw EkrError("'" + entry + "' enthält keine DXF-Zeichnung");
        if (settings.CurveTolerance > 0) RefineCurves(g, settings);
        g.Converter->FinishOnThread = false;
    }
    g.OnProgress = nullptr;
    int n = g.LayoutCount();
    report.Loaded(n, LayoutsToConvert(n, settings));
    if (n < 1) {
        report.Log("Fehler: konnte folgende Datei nicht erstellen: " + folder);
        ReportBounds(report, g.Converter->Bounds, "");
        return 0;
    }
    report.Log(entry + " geladen...");
    report.Log(std::to_string(n) + " Layouts gefunden...");
    // What loading left out concerns every layout and is reported below the
    // drawing's own lines; what drawing leaves out is reported with its
    // layout.
    ReportBounds(report, g.Converter->Bounds, "");
    if (settings.LayoutChoice == lcSingleLayout && (settings.LayoutNumber < 1 || settings.LayoutNumber > n))
        report.Warning(MissingLayoutWarning(settings.LayoutNumber, n, report.German));
    for (int i = 0; i < n; ++i) {
        if (settings.LayoutChoice == lcSingleLayout && settings.LayoutNumber != i + 1) continue;
        if (cancelled()) throw ECancelled();
        doing = "converting layout " + std::to_string(i + 1);
        g.SetCurrentLayout(g.GetLayout(i));
        std::string path = report.OutputPath();
        report.Log("Konvertiere nun Layout Nummer " + std::to_string(i + 1) + "...");
        report.Progress(i + 1, n, 100);
        bool created = false;
        try {
            ConvertLayout(g, i, path, settings, report, cancel, created, helpers);
        } catch (...) {
            // A text file an error ended stays with the lines written so far.
            if (created && !cancelled()) report.OutputDone(path, i + 1, false);
            throw;
        }
        report.OutputDone(path, i + 1, true);
        ++converted;
        ++report.Converted;
    }
    doing = "releasing the drawing";
    return converted;
}
}  // namespace

int ConvertFile(const std::string& entry, const std::string& folder, const TConvertSettings& settings,
                TFileReport& report, const std::atomic<bool>* cancel, bool loadXrefs, THelperThreads* helpers,
                const TStrokeFonts* fonts) {
    // Reading and drawing keep their memory in proportion to the file (see
    // the README's limits), but a machine may have less than a drawing needs:
    // the error then says what ran out and while doing what (the run names
    // the file), never only "std::bad_alloc".
    std::string doing;
    try {
        return ConvertFileSteps(entry, folder, settings, report, cancel, loadXrefs, helpers, fonts, doing);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("out of memory while " + doing + ": the drawing needs more memory than is free");
    }
}
