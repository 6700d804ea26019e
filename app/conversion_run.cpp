#include "app/conversion_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

#include "app/output_names.h"
#include "model/errors.h"
#include "output/errors.h"
#include "output/sink.h"
#include "render/dxf_image.h"

namespace {
class ECancelled : public EkrError {
public:
    ECancelled() : EkrError("Abgebrochen") {}
};

// Passes the bounds the model reached (see model/limits.h) on as warnings,
// each prefixed with where, and starts counting afresh.
void ReportBounds(const TConversionRun& run, const std::string& entry, TBoundHits& hits, const std::string& where) {
    if (run.OnWarning)
        for (const std::string& m : hits.Messages()) run.OnWarning(entry, where + m);
    hits.Clear();
}
}  // namespace

int32_t TargetBottom(int width, int height) {
    double a = double(width) / double(height);
    double b = std::trunc(kTargetWidth / a);
    if (!(b < double(std::numeric_limits<int32_t>::max()))) return std::numeric_limits<int32_t>::max();
    return int32_t(b);
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
}  // namespace

int TConversionRun::Run(const std::vector<std::string>& jobs, const TConvertSettings& settings,
                        const std::string& programFolder) {
    std::string folder = PrepareOutputFolder(settings.OutputFolder, programFolder);
    int converted = 0;
    FailedFiles = 0;
    TRunProgress progress;
    progress.FileCount = int(jobs.size());
    for (size_t f = 0; f < jobs.size(); ++f) {
        progress.FileIndex = int(f);
        progress.File = jobs[f];
        try {
            converted += ConvertFile(jobs[f], folder, settings, progress);
        } catch (const std::exception& e) {
            if (Cancel && Cancel->load()) throw TRunError(jobs[f], e.what());
            if (!KeepGoing) throw TRunError(jobs[f], e.what());
            ++FailedFiles;
            if (OnFileError) OnFileError(jobs[f], e.what());
        }
    }
    Log.Append(std::to_string(converted) + " Dateien/Layout konvertiert...");
    return converted;
}

int TConversionRun::ConvertFile(const std::string& entry, const std::string& folder,
                                const TConvertSettings& settings, TRunProgress& progress) {
    auto cancelled = [&] { return Cancel && Cancel->load(); };
    int converted = 0;
    TkrDXFImage g;
    g.Cancel = Cancel;
    if (OnProgress) {
        g.OnProgress = [&](TProgressStage, int percent, const std::string&) {
            progress.Layout = 0;
            progress.Percent = percent;
            OnProgress(progress);
        };
    }
    g.LoadFromFile(entry);
    if (settings.CurveTolerance > 0) RefineCurves(g, settings);
    g.OnProgress = nullptr;
    // What loading left out concerns every layout; what drawing leaves out is
    // reported with its layout.
    ReportBounds(*this, entry, g.Converter->Bounds, "");
    int n = g.LayoutCount();
    if (n < 1) {
        Log.Append("Fehler: konnte folgende Datei nicht erstellen: " + folder);
        return 0;
    }
    Log.Append(entry + " geladen...");
    Log.Append(std::to_string(n) + " Layouts gefunden...");
    for (int i = 0; i < n; ++i) {
        if (settings.LayoutChoice == lcSingleLayout && settings.LayoutNumber != i + 1) continue;
        if (cancelled()) throw ECancelled();
        g.SetCurrentLayout(g.GetLayout(i));
        TPDFCanvas sink;
        int w = g.GetWidth(), h = g.GetHeight();
        std::string path = OutputFileName(folder, entry, settings.OutputForm);
        Log.Append("Konvertiere nun Layout Nummer " + std::to_string(i + 1) + "...");
        if (OnProgress) {
            progress.Layout = i + 1;
            progress.Percent = 100;
            OnProgress(progress);
        }
        bool text = settings.OutputForm == ofText;
        sink.TextMode = text;
        if (text) sink.TextFile.Bind(path);
        else sink.Exporter = std::make_unique<TkrDXFExport>();
        if (text) sink.TextFile.Rewrite();
        // A text file is written under its final name as it is drawn. When an
        // error ends the layout, the file stays with the lines written so far
        // (the error is reported); when the user interrupts the run, the
        // partial file (created by this run, exclusively) is removed.
        struct RemovePartial {
            TPDFCanvas& sink;
            const std::string& path;
            bool armed;
            const std::atomic<bool>* cancel;
            ~RemovePartial() {
                if (!armed || !cancel || !cancel->load()) return;
                try {
                    sink.TextFile.Close();
                } catch (...) {
                }
                std::remove(path.c_str());
            }
        } removePartial{sink, path, text, Cancel};
        TIntRect rect{0, 0, kTargetWidth, TargetBottom(w, h)};
        g.DrawOnSink(sink, rect);
        if (cancelled()) throw ECancelled();
        ReportBounds(*this, entry, g.Converter->Bounds, "layout " + std::to_string(i + 1) + ": ");
        if (g.DrawTruncated && OnWarning)
            OnWarning(entry, "layout " + std::to_string(i + 1) + " converted only in part: the drawing needs more than " +
                                 std::to_string(g.WorkBudget) + " units of work (entities and points)");
        if (text) {
            sink.TextFile.Close();
            removePartial.armed = false;
        } else {
            sink.Exporter->FinishDrawing();
            try {
                sink.Exporter->SaveToFile(path);
            } catch (const EFileError& e) {
                // The writer's message does not say which file.
                throw EFileError(std::string(e.what()) + " (output file '" + path + "')");
            }
        }
        ++converted;
    }
    return converted;
}
