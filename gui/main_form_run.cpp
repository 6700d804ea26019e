// The conversion run of GoBtn: started off the user-interface thread, its
// log lines appended to Memo1, its progress in the status bar, stopped by
// Esc or by closing the window.
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>
#include <QPushButton>
#include <QStatusBar>

#include "gui/main_form.h"
#include "gui/progress_panel.h"
#include "gui/qt_text.h"
#include "gui/run_thread.h"

void TMainForm::GoBtn1Click() {
    if (Running()) return;
    ReadSettingsFromControls();
    RunThread = new TRunThread(ProjectState.Jobs.Elements(), ProjectState.Settings,
                               Local(FormContext.ProgramFolder), this);
    connect(RunThread, &TRunThread::LogLine, Memo1, &QPlainTextEdit::appendPlainText);
    connect(RunThread, &TRunThread::ProgressChanged, this, &TMainForm::SetProStatus);
    connect(RunThread, &TRunThread::StatusChanged, this, &TMainForm::ShowRunStatus);
    connect(RunThread, &QThread::finished, this, &TMainForm::RunEnded);
    GoBtn->setEnabled(false);
    SetProStatus(0);
    RunThread->start();
}

void TMainForm::CancelRun() {
    if (RunThread) RunThread->Cancel();
}

void TMainForm::RunEnded() {
    TRunThread* run = RunThread;
    if (!run) return;
    run->wait();
    RunThread = nullptr;
    const TRunThread::TOutcome outcome = run->Outcome;
    const QString message = run->Message, file = run->File;
    const int converted = run->Converted;
    delete run;
    SetProStatus(0);
    ShowRunStatus(QString());
    GoBtn->setEnabled(true);
    // An output folder that cannot be made has its own message box. Any
    // other error that ended the run goes to the general error report with
    // the drawing's full path, and into the log, which shows where the run
    // stopped. A run the user stopped says so in the log.
    if (outcome == TRunThread::roFolderError) ShowError(message);
    if (outcome == TRunThread::roError) {
        const QString where = file.isEmpty() ? message : file + QStringLiteral(": ") + message;
        QString line = where;
        line.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace('\n', ' ').replace('\r', ' ');
        Memo1->appendPlainText(QStringLiteral("Fehler: ") + line);
        ShowError(where);
    }
    if (outcome == TRunThread::roCancelled) Memo1->appendPlainText(CancelledLine(converted));
    emit RunFinished();
    if (CloseAfterRun) {
        CloseAfterRun = false;
        close();
    }
}

QString CancelledLine(int converted) {
    if (converted == 0) return QStringLiteral("Umwandlung abgebrochen: noch kein Layout konvertiert.");
    if (converted == 1) return QStringLiteral("Umwandlung abgebrochen: 1 Layout wurde vorher konvertiert.");
    return QStringLiteral("Umwandlung abgebrochen: %1 Layouts wurden vorher konvertiert.").arg(converted);
}

void TMainForm::SetProStatus(int percent) {
    if (percent < StatusPanel1->Percent()) StatusBar1->update();
    StatusPanel1->SetProStatus(percent);
    // The percentage beside the bar while a run goes on.
    StatusPercent->setText(Running() ? QStringLiteral("%1 %").arg(std::clamp(percent, 0, 100)) : QString());
}

void TMainForm::ShowRunStatus(const QString& text) {
    // The text panel is 250 wide: a long name is shortened in the middle,
    // the whole text is its tool-tip.
    StatusPanel0->setText(StatusPanel0->fontMetrics().elidedText(text, Qt::ElideMiddle, StatusPanel0->width() - 4));
    StatusPanel0->setToolTip(text);
}
