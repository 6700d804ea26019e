#include "gui/run_thread.h"

#include <algorithm>

#include "app/log.h"
#include "app/output_names.h"
#include "gui/qt_text.h"

int RunPercent(const TRunProgress& p) {
    if (p.FileCount <= 0) return 0;
    const double inFile = p.Layout == 0 ? std::clamp(p.Percent, 0, 100) / 200.0
                                        : 0.5 + 0.5 * (p.Layout - 1) / std::max(1, p.LayoutCount);
    return std::clamp(int((p.FileIndex + inFile) * 100.0 / p.FileCount), 0, 100);
}

QString RunStatusText(const TRunProgress& p) {
    if (p.FileCount <= 0) return {};
    const std::string& f = p.File;
    const size_t slash = f.find_last_of('/');
    QString text = QStringLiteral("%1/%2 %3").arg(p.FileIndex + 1).arg(p.FileCount).arg(Shown(slash == std::string::npos ? f : f.substr(slash + 1)));
    if (p.Layout > 0) return text + QStringLiteral(" - Layout %1 von %2").arg(p.Layout).arg(p.LayoutCount);
    return text + QStringLiteral(" wird gelesen...");
}

namespace {
// The run's log: each line becomes a signal of the thread.
class TSignalLog : public TLog {
public:
    explicit TSignalLog(TRunThread& thread) : Thread(thread) {}
    void Append(const std::string& line) override { emit Thread.LogLine(Shown(line)); }

private:
    TRunThread& Thread;
};
}  // namespace

TRunThread::TRunThread(std::vector<std::string> jobs, TConvertSettings settings, std::string programFolder,
                       QObject* parent)
    : QThread(parent), Jobs(std::move(jobs)), Settings(std::move(settings)), ProgramFolder(std::move(programFolder)) {}

TRunThread::~TRunThread() {
    Cancel();
    wait();
}

void TRunThread::run() {
    TSignalLog log(*this);
    TConversionRun conversion(log);
    conversion.Cancel = &CancelFlag;
    conversion.GermanWarnings = true;
    int shown = -1;
    QString status;
    conversion.OnProgress = [&](const TRunProgress& p) {
        const int percent = RunPercent(p);
        if (percent != shown) emit ProgressChanged(shown = percent);
        const QString text = RunStatusText(p);
        if (text != status) emit StatusChanged(status = text);
    };
    // A drawing converted only in part says so in the log, below the lines
    // of its file.
    conversion.OnWarning = [&](const std::string& file, const std::string& message) {
        emit LogLine(Shown("Warnung: " + file + ": " + message));
    };
    try {
        conversion.Run(Jobs, Settings, ProgramFolder);
        Outcome = roCompleted;
    } catch (const EOutputFolderError& e) {
        Outcome = roFolderError;
        Message = Shown(e.what());
    } catch (const TRunError& e) {
        Outcome = CancelFlag.load() ? roCancelled : roError;
        Message = Shown(e.Message);
        File = Shown(e.File);
    } catch (const std::exception& e) {
        Outcome = CancelFlag.load() ? roCancelled : roError;
        Message = Shown(e.what());
    } catch (...) {
        Outcome = CancelFlag.load() ? roCancelled : roError;
        Message = QStringLiteral("Unbekannter Fehler");
    }
    Converted = conversion.Converted;
}
