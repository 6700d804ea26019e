#include "cli/convert.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>

#include "app/conversion_run.h"
#include "app/output_names.h"
#include "app/printable.h"
#include "app/project.h"
#include "model/errors.h"
#include "model/geometry.h"

const char* const kConvertUsage =
    "  convert [-o DIR] [--format dxf|text] [--layout N] [--keep-going] [-j N]\n"
    "          [--project FILE.kpj] [--save-project FILE.kpj] FILE...\n"
    "                          convert every layout of every drawing (or only\n"
    "                          layout N, 1 = model) into DIR (default: the\n"
    "                          current folder) as simplified DXF (default) or as\n"
    "                          text lines x1;y1;x2;y2; -j N converts N files at\n"
    "                          once (default: one per processor)\n";

namespace {
std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted.store(true);
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process at once
}

// More files at once than this would only multiply the memory in use.
constexpr int kMaxJobs = 256;

struct TUsageError {
    std::string Message;
};

std::string NeedValue(const std::vector<std::string>& args, size_t& i) {
    if (i + 1 >= args.size()) throw TUsageError{"option '" + args[i] + "' needs a value"};
    return args[++i];
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

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> outDir, form, projectIn, projectOut;
    std::optional<int32_t> layout;
    bool keepGoing = false;
    int jobs = DefaultJobs();
    std::vector<std::string> files;
    try {
        bool options = true;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (options && a == "--") options = false;
            else if (options && (a == "-o" || a == "--output")) outDir = NeedValue(args, i);
            else if (options && a == "--format") {
                form = NeedValue(args, i);
                if (*form != "dxf" && *form != "text") throw TUsageError{"--format must be dxf or text"};
            } else if (options && a == "--layout") {
                std::string v = NeedValue(args, i);
                int32_t n = 0;
                if (!ParseInt32(v, n) || n < 1) throw TUsageError{"--layout needs a layout number of 1 or more"};
                layout = n;
            } else if (options && (a == "-j" || a == "--jobs" || (a.size() > 2 && a.rfind("-j", 0) == 0))) {
                std::string v = a.size() > 2 && a[1] == 'j' ? a.substr(2) : NeedValue(args, i);
                int32_t n = 0;
                if (!ParseInt32(v, n) || n < 1 || n > kMaxJobs)
                    throw TUsageError{"-j needs a number of files from 1 to " + std::to_string(kMaxJobs)};
                jobs = n;
            } else if (options && a == "--keep-going") keepGoing = true;
            else if (options && a == "--project") projectIn = NeedValue(args, i);
            else if (options && a == "--save-project") projectOut = NeedValue(args, i);
            else if (options && a.size() > 1 && a[0] == '-') throw TUsageError{"unknown option '" + a + "'"};
            else files.push_back(a);
        }
        if (files.empty() && !projectIn) throw TUsageError{"convert: no input file"};
    } catch (const TUsageError& u) {
        err << "dxf2plandrop: " << u.Message << "\nUsage: dxf2plandrop\n" << kConvertUsage;
        return 2;
    }

    TProject project;
    std::string cwd = std::filesystem::current_path().string();
    try {
        if (projectIn) project.OpenFile(*projectIn);
    } catch (const std::exception& e) {
        err << Printable("dxf2plandrop: " + *projectIn + ": " + e.what()) << "\n";
        return 1;
    }
    for (auto& f : files) project.Jobs.Add(f);
    TConvertSettings& s = project.Settings;
    if (!projectIn) s.OutputFolder = cwd;
    if (outDir) s.OutputFolder = *outDir;
    if (form) s.OutputForm = *form == "text" ? ofText : ofDXF;
    if (layout) {
        s.LayoutChoice = lcSingleLayout;
        s.LayoutNumber = *layout;
    }
    if (projectOut) {
        try {
            project.SaveFile(*projectOut);
        } catch (const std::exception& e) {
            err << Printable(std::string("dxf2plandrop: ") + e.what()) << "\n";
            return 1;
        }
    }

    TStreamLog log(out);
    TConversionRun run(log);
    run.KeepGoing = keepGoing;
    run.Jobs = jobs;
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
