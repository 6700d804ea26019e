// The conversion run of GoBtn: started off the user-interface thread, its
// log lines appended to Memo1, its progress in the status bar, stopped by
// Esc or by closing the window.
#include <QPlainTextEdit>
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
    const QString message = run->Message;
    delete run;
    SetProStatus(0);
    GoBtn->setEnabled(true);
    // An output folder that cannot be made has its own message box; any other
    // error that ended the run goes to the general error report. A run the
    // user stopped ends without a message.
    if (outcome == TRunThread::roFolderError || outcome == TRunThread::roError) ShowError(message);
    emit RunFinished();
    if (CloseAfterRun) {
        CloseAfterRun = false;
        close();
    }
}

void TMainForm::SetProStatus(int percent) {
    if (percent < StatusPanel1->Percent()) StatusBar1->update();
    StatusPanel1->SetProStatus(percent);
}
