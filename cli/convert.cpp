#include "cli/convert.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>

#include "app/conversion_run.h"
#include "app/output_names.h"
#include "app/printable.h"
#include "app/project.h"
#include "cli/command_line.h"
#include "model/errors.h"
#include "model/geometry.h"

namespace {
std::atomic<bool> gInterrupted{false};

// More files at once than this would only multiply the memory in use.
constexpr int kMaxJobs = 256;

extern "C" void OnInterrupt(int) {
    gInterrupted.store(true);
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process at once
}

// The progress line on a terminal: file i of n, layout, percent read.
class TProgressLine {
public:
    explicit TProgressLine(std::ostream& err) : Err(err), Enabled(::isatty(STDERR_FILENO) == 1) {}
    void Show(const TRunProgress& p) {
        if (!Enabled) return;
        std::string name = std::filesystem::path(p.File).filename().string();
        Err << "\r\033[K[" << p.FileIndex + 1 << "/" << p.FileCount << "] " << name;
        if (p.Layout > 0) Err << "  layout " << p.Layout;
        else Err << "  " << p.Percent << "%";
        Err.flush();
        Shown = true;
    }
    void Clear() {
        if (Shown) Err << "\r\033[K" << std::flush;
        Shown = false;
    }

private:
    std::ostream& Err;
    bool Enabled;
    bool Shown = false;
};
}  // namespace

namespace {
// An option taking a plain decimal 32-bit integer from 1 to max.
void AddNumberOption(CLI::App& cmd, const std::string& name, const std::string& help, std::optional<int32_t>& field,
                     int32_t max, const std::string& error) {
    cmd.add_option_function<std::string>(
           name,
           [&field](const std::string& v) {
               int32_t n = 0;
               ParseInt32(v, n);
               field = n;
           },
           help)
        ->type_name("N")
        ->check(CLI::Validator(
            [max, error](std::string& v) -> std::string {
                int32_t n = 0;
                if (!ParseInt32(v, n) || n < 1 || n > max) return error;
                return {};
            },
            ""));
}
}  // namespace

void AddConvertOptions(CLI::App& cmd, TConvertOptions& o) {
    cmd.add_option_function<std::string>(
        "-o,--output", [&o](const std::string& v) { o.OutputFolder = v; },
        "output folder (default: the current folder, or the project's)")
        ->type_name("DIR");
    cmd.add_option_function<std::string>(
           "--format", [&o](const std::string& v) { o.Form = v; },
           "simplified DXF (default) or text lines x1;y1;x2;y2")
        ->type_name("FORM")
        ->check(CLI::IsMember({"dxf", "text"}));
    // The layout number is read as the project file and the window read it:
    // a plain decimal 32-bit integer, 1 or more.
    AddNumberOption(cmd, "--layout", "convert only layout N (1 = model)", o.Layout, INT32_MAX,
                    "needs a layout number of 1 or more");
    cmd.add_flag("--keep-going", o.KeepGoing, "report a file that fails and go on with the next");
    cmd.add_flag("--no-xref", o.NoXref,
                 "load no external references (each shows its path): for drawings from untrusted sources");
    AddNumberOption(cmd, "-j,--jobs",
                    "use N threads: N files at once, and the threads no file needs finish entities while "
                    "they are read and write out layouts while they are drawn (default: one per processor)",
                    o.Jobs, kMaxJobs,
                    "needs a number of files from 1 to " + std::to_string(kMaxJobs));
    cmd.add_option_function<std::string>(
           "--curve-tolerance",
           [&o](const std::string& v) { ParseDouble(v, o.CurveTolerance); },
           "tessellate circles, arcs, ellipses, bulges and splines so that no chord strays more than U "
           "target units from the curve")
        ->type_name("U")
        ->check(CLI::Validator(
            [](std::string& v) -> std::string {
                double u = 0;
                if (!ParseDouble(v, u) || !std::isfinite(u) || !(u > 0)) return "needs a positive number of target units";
                return {};
            },
            ""));
    cmd.add_flag("--text-strokes", o.TextStrokes,
                 "draw texts as lines in single-stroke fonts (package hershey-fonts-data): in the text form, and "
                 "as LINEs instead of MTEXT in the DXF form");
    cmd.add_flag("--true-widths", o.TrueWidths,
                 "text form: draw wide polylines, wide pens, solids and traces as the closed outlines of their "
                 "bands instead of centre lines and open polygons");
    cmd.add_option_function<std::string>(
           "--project", [&o](const std::string& v) { o.ProjectIn = v; },
           "read the job list and settings of a project file; options override its settings")
        ->type_name("FILE.kpj");
    cmd.add_option_function<std::string>(
           "--save-project", [&o](const std::string& v) { o.ProjectOut = v; },
           "write the job list and settings of this run to a project file")
        ->type_name("FILE.kpj");
    cmd.add_option("FILE", o.Files, "drawings to convert (added to the project's job list)")
        ->type_name("")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd.callback([&o] {
        if (o.Files.empty() && !o.ProjectIn) throw CLI::ValidationError("convert", "no input file");
    });
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> all{"convert"};
    all.insert(all.end(), args.begin(), args.end());
    return RunCommandLine(all, out, err);
}

int RunConvert(const TConvertOptions& o, std::ostream& out, std::ostream& err) {
    TProject project;
    std::string cwd = std::filesystem::current_path().string();
    try {
        if (o.ProjectIn) project.OpenFile(*o.ProjectIn);
    } catch (const std::exception& e) {
        err << Printable("dxf2plandrop: " + *o.ProjectIn + ": " + e.what()) << "\n";
        return 1;
    }
    for (const auto& f : o.Files) project.Jobs.Add(f);
    TConvertSettings& s = project.Settings;
    if (!o.ProjectIn) s.OutputFolder = cwd;
    if (o.OutputFolder) s.OutputFolder = *o.OutputFolder;
    // The job list holds full paths: names given relative to the current
    // folder (on the command line or in a project) are made absolute as they
    // enter it, so the log shows them in full and a saved project works from
    // any folder.
    project.MakeAbsolute(cwd);
    if (o.Form) s.OutputForm = *o.Form == "text" ? ofText : ofDXF;
    s.CurveTolerance = o.CurveTolerance;
    s.TextStrokes = o.TextStrokes;
    s.TrueWidths = o.TrueWidths;
    if (o.Layout) {
        s.LayoutChoice = lcSingleLayout;
        s.LayoutNumber = *o.Layout;
    }
    if (o.ProjectOut) {
        try {
            project.SaveFile(*o.ProjectOut);
        } catch (const std::exception& e) {
            err << Printable(std::string("dxf2plandrop: ") + e.what()) << "\n";
            return 1;
        }
    }

    TStreamLog log(out);
    TConversionRun run(log);
    run.KeepGoing = o.KeepGoing;
    run.LoadXrefs = !o.NoXref;
    run.Jobs = o.Jobs ? *o.Jobs : DefaultJobs();
    run.Threads = run.Jobs;
    run.Cancel = &gInterrupted;
    TProgressLine progress(err);
    run.OnProgress = [&](const TRunProgress& p) { progress.Show(p); };
    run.OnWarning = [&](const std::string& file, const std::string& msg) {
        progress.Clear();
        err << Printable("dxf2plandrop: " + file + ": warning: " + msg) << "\n";
    };
    run.OnFileError = [&](const std::string& file, const std::string& msg) {
        progress.Clear();
        err << Printable("dxf2plandrop: " + file + ": " + msg) << "\n";
    };
    gInterrupted.store(false);
    auto previous = std::signal(SIGINT, OnInterrupt);
    // A file-size limit (ulimit -f) makes a write fail with EFBIG instead of
    // ending the process in the middle of a file: the run reports it like a
    // full disk and removes what it was writing.
    auto previousXfsz = std::signal(SIGXFSZ, SIG_IGN);
    int status = 0;
    try {
        run.Run(project.Jobs.Elements(), s, cwd);
        if (run.FailedFiles > 0) status = 1;
    } catch (const EOutputFolderError& e) {
        // The message does not say which folder.
        progress.Clear();
        err << Printable("dxf2plandrop: " + s.OutputFolder + ": " + e.what()) << "\n";
        status = 1;
    } catch (const TRunError& e) {
        progress.Clear();
        err << Printable("dxf2plandrop: " + e.File + ": " + e.Message) << "\n";
        status = 1;
    } catch (const std::exception& e) {
        progress.Clear();
        err << Printable(std::string("dxf2plandrop: ") + e.what()) << "\n";
        status = 1;
    }
    progress.Clear();
    std::signal(SIGINT, previous);
    std::signal(SIGXFSZ, previousXfsz);
    if (gInterrupted.load()) {
        err << "dxf2plandrop: interrupted\n";
        return 130;
    }
    return status;
}
