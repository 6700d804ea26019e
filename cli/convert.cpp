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
#include "app/paths.h"
#include "app/printable.h"
#include "app/project.h"
#include "cli/command_line.h"
#include "cli/run_report.h"
#include "cli/shard_option.h"
#include "model/errors.h"
#include "model/parsing.h"

namespace {
std::atomic<bool> gInterrupted{false};

// More files at once than this would only multiply the memory in use.
constexpr int kMaxJobs = 256;

extern "C" void OnInterrupt(int) {
    gInterrupted.store(true);
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process at once
}

// The progress line on a terminal: file i of n, layout, percent read. Log
// and warning lines go to the same terminal: each is written with the line
// cleared and the progress drawn again below it (Print), so the two never
// run into each other.
class TProgressLine {
public:
    explicit TProgressLine(std::ostream& err, bool enabled = ::isatty(STDERR_FILENO) == 1)
        : Err(err), Enabled(enabled) {}
    void Show(const TRunProgress& p) {
        if (!Enabled) return;
        std::string line = "[" + std::to_string(p.FileIndex + 1) + "/" + std::to_string(p.FileCount) + "] " +
                           std::filesystem::path(p.File).filename().string();
        if (p.Layout > 0) line += "  layout " + std::to_string(p.Layout);
        else line += "  " + std::to_string(p.Percent) + "%";
        Text = Printable(line);
        Err << "\r\033[K" << Text << std::flush;
        Shown = true;
    }
    void Clear() {
        if (Shown) Err << "\r\033[K" << std::flush;
        Shown = false;
    }
    // Writes a line to out (standard output or error) with the progress line
    // out of its way, then shows the progress again.
    void Print(std::ostream& out, const std::string& line) {
        const bool again = Shown;
        Clear();
        out << Printable(line) << '\n' << std::flush;
        if (again) {
            Err << Text << std::flush;
            Shown = true;
        }
    }

private:
    std::ostream& Err;
    bool Enabled;
    bool Shown = false;
    std::string Text;
};

// The run's log on standard output, kept clear of the progress line.
class TProgressLog : public TLog {
public:
    TProgressLog(std::ostream& out, TProgressLine& progress) : Out(out), Progress(progress) {}
    void Append(const std::string& line) override { Progress.Print(Out, line); }

private:
    std::ostream& Out;
    TProgressLine& Progress;
};

// Why an output folder cannot be made, in words.
std::string FolderFailure(const std::string& folder) {
    if (folder.empty()) return "no output folder";
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
        return "cannot create the output folder: it is a file";
    std::filesystem::create_directories(folder, ec);
    return "cannot create the output folder" + (ec ? ": " + ec.message() : std::string());
}
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
    AddShardOptions(cmd, o);
    cmd.add_option("FILE", o.Files, "drawings to convert (added to the project's job list)")
        ->type_name("")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd.callback([&o] {
        if (o.Files.empty() && !o.ProjectIn && !o.FilesFrom) throw CLI::ValidationError("convert", "no input file");
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
    } catch (const EProjectError& e) {
        err << Printable("dxf2plandrop: " + AbsolutePath(*o.ProjectIn, cwd) + ": cannot read the project: " +
                         e.Reason)
            << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << Printable("dxf2plandrop: " + AbsolutePath(*o.ProjectIn, cwd) + ": " + e.what()) << "\n";
        return 1;
    }
    for (const auto& f : o.Files) project.Jobs.Add(f);
    if (o.FilesFrom && !AddFilesFrom(*o.FilesFrom, project.Jobs, err)) return 1;
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
        } catch (const EProjectError& e) {
            err << Printable("dxf2plandrop: " + AbsolutePath(*o.ProjectOut, cwd) + ": cannot save the project: " +
                             e.Reason)
                << "\n";
            return 1;
        } catch (const std::exception& e) {
            err << Printable("dxf2plandrop: " + AbsolutePath(*o.ProjectOut, cwd) + ": " + e.what()) << "\n";
            return 1;
        }
    }

    TProgressLine progress(err);
    TProgressLog log(out, progress);
    TConversionRun run(log);
    run.ShardIndex = o.ShardIndex;
    run.ShardCount = o.ShardCount;
    TRunReport report;
    if (o.Report) run.OnFileDone = [&](const TFileOutcome& f) { report.Add(f); };
    std::string runError;
    run.KeepGoing = o.KeepGoing;
    run.LoadXrefs = !o.NoXref;
    run.Jobs = o.Jobs ? *o.Jobs : DefaultJobs();
    run.Threads = run.Jobs;
    run.Cancel = &gInterrupted;
    run.OnProgress = [&](const TRunProgress& p) { progress.Show(p); };
    run.OnWarning = [&](const std::string& file, const std::string& msg) {
        progress.Print(err, "dxf2plandrop: " + file + ": warning: " + msg);
    };
    run.OnFileError = [&](const std::string& file, const std::string& msg) {
        progress.Print(err, "dxf2plandrop: " + file + ": " + msg);
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
    } catch (const EOutputFolderError&) {
        // The message (the window's) says neither which folder nor why.
        progress.Clear();
        const std::string& failed = s.OutputFolder.empty() ? cwd : s.OutputFolder;
        runError = FolderFailure(failed);
        err << Printable("dxf2plandrop: " + failed + ": " + runError) << "\n";
        status = 1;
    } catch (const TRunError& e) {
        progress.Clear();
        // An interrupt is reported once, below.
        if (!gInterrupted.load()) err << Printable("dxf2plandrop: " + e.File + ": " + e.Message) << "\n";
        status = 1;
    } catch (const std::exception& e) {
        progress.Clear();
        err << Printable(std::string("dxf2plandrop: ") + e.what()) << "\n";
        status = 1;
    }
    progress.Clear();
    ReportCountedDrawings(run, project.Jobs.Elements().size(), err);
    std::signal(SIGINT, previous);
    std::signal(SIGXFSZ, previousXfsz);
    if (gInterrupted.load()) {
        err << "dxf2plandrop: interrupted\n";
        status = 130;
    }
    if (o.Report) {
        TReportedRun r;
        r.Jobs = &project.Jobs.Elements();
        r.ShardIndex = o.ShardIndex;
        r.ShardCount = o.ShardCount;
        r.OutputFolder = WithTrailingSlash(s.OutputFolder);
        r.Form = s.OutputForm;
        r.ExitStatus = status;
        r.CountedDrawings = run.CountedDrawings;
        r.Error = runError;
        try {
            report.Write(*o.Report, r);
        } catch (const std::exception& e) {
            err << Printable(std::string("dxf2plandrop: ") + e.what()) << "\n";
            if (status == 0) status = 1;
        }
    }
    return status;
}
