// A conversion run off the user-interface thread: the window stays
// responsive and repaints while the run loads, draws and writes. The run is
// the application core's TConversionRun; its log lines, progress and
// warnings arrive as signals in the window's thread, in the order the run
// gave them, and the outcome is read after finished().
#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "app/settings.h"

// The progress of a whole run in percent: each file an equal share, the
// first half of a file's share for reading it, the second half split evenly
// among its layouts (a layout's part counts once the next one starts).
int RunPercent(const TRunProgress& p);

// What the status bar's text panel shows during a run: the file's place in
// the job list, its name, and the layout being converted ("2/5 plan.dxf -
// Layout 1 von 3") or that it is being read.
QString RunStatusText(const TRunProgress& p);

class TRunThread : public QThread {
    Q_OBJECT
public:
    enum TOutcome {
        roCompleted,    // the count line was written
        roFolderError,  // the output folder could not be made: nothing was done
        roError,        // an error ended the run: Message
        roCancelled,    // the user stopped it
    };

    TRunThread(std::vector<std::string> jobs, TConvertSettings settings, std::string programFolder,
               QObject* parent = nullptr);
    ~TRunThread() override;

    // Asks the run to stop between entities and layouts; a file being
    // written is completed first, a partial text file is removed.
    void Cancel() { CancelFlag.store(true); }

    // Valid after finished(). File: the drawing an error ended the run in
    // (empty when the error concerns no drawing); Converted: the layouts
    // converted before the run ended.
    TOutcome Outcome = roCompleted;
    QString Message;
    QString File;
    int Converted = 0;

signals:
    void LogLine(const QString& line);
    void ProgressChanged(int percent);
    void StatusChanged(const QString& text);

protected:
    void run() override;

private:
    const std::vector<std::string> Jobs;
    const TConvertSettings Settings;
    const std::string ProgramFolder;
    std::atomic<bool> CancelFlag{false};
};
