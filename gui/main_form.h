// TMainForm: the program's only working window. A toolbar for project files,
// the first page with the file browser, the favourite folders and the job
// list, the second page with the output settings, the start button and the
// message log Memo1, an about and a quit button, and a status bar whose
// second panel shows the progress of a run.
//
// The job list, the favourites, the project file and the conversion run are
// the application core's (app/); the window shows them and calls them from
// its handlers. Controls carry their designer names as object names.
#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>

#include "app/favourites.h"
#include "app/project.h"
#include "gui/dialogs.h"
#include "gui/form_context.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTreeWidgetItem;
class TFileList;
class TFolderTree;
class TJobListBox;
class TProgressPanel;
class TRunThread;
struct TStoredControls;

// The log line of a run the user stopped, with the layouts converted before.
QString CancelledLine(int converted);

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // dialogs: the message boxes and dialogs (TQtDialogs when none is given).
    explicit TMainForm(TFormContext context, std::unique_ptr<TDialogs> dialogs = nullptr,
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // What the window works on, for the program's scripts and tests.
    const TProject& Project() const { return ProjectState; }
    const TPrefFolders& Favourites() const { return Prefs; }
    const TFormContext& Context() const { return FormContext; }
    bool Running() const { return RunThread != nullptr; }
    // The job list or the project's settings changed since the project was
    // last saved, opened or begun; the caption ends in "*" then.
    bool Modified() const { return ProjectModified; }

    // Handlers of the first page.
    void AddBtnClick();
    void DelBtnClick();
    void FileListDblClick(QTreeWidgetItem* item);
    void ImageListDblClick();
    void PrefListBoxDblClick();
    void AddDroppedDrawings(const QStringList& paths);
    // The files given to the program at start: a project file (*.kpj) is
    // opened as "Öffnen" does, drawings are added to the job list.
    void OpenArguments(const QStringList& paths);
    // Removes the selected favourite (Delete, or the context menu).
    void RemoveFavourite();
    // Project files.
    void NewBtnClick();
    void OpenBtnClick();
    void SaveBtnClick();
    void SaveAsBtnClick();
    void SaveFile(const QString& path);
    void OpenFile(const QString& path);
    // The second page and the bottom bar.
    void ConvertBtnClick();
    void GoBtn1Click();
    void CancelRun();
    void AboutBtnClick();
    void QuitBtnClick();
    void SetProStatus(int percent);
    // The text panel of the status bar (empty: nothing).
    void ShowRunStatus(const QString& text);

signals:
    // A conversion run has ended (completed, failed or cancelled).
    void RunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Controls, by their designer names.
    QPushButton *NewBtn, *OpenBtn, *SaveBtn, *SaveAsBtn;
    QTabWidget* PageControl2;
    QWidget *TabSheet1, *TabSheet4;
    QListWidget* PrefListBox;
    TFolderTree* FolderTree;
    TFileList* FileList;
    QPushButton *AddBtn, *DelBtn, *ConvertBtn;
    TJobListBox* ImageList;
    QPushButton* GoBtn;
    QLineEdit* DirectoryEdit1;
    QRadioButton *RadioButton4, *RadioButton5, *RadioButton2, *RadioButton6;
    QSpinBox* LayoutEd;
    QPlainTextEdit* Memo1;
    QPushButton *AboutBtn, *QuitBtn;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;
    TProgressPanel* StatusPanel1;
    QLabel* StatusPercent;  // the percentage beside the bar during a run
    QSplitter *Splitter1, *Splitter2;

    TFormContext FormContext;
    std::unique_ptr<TDialogs> Dialogs;
    TProject ProjectState;
    TPrefFolders Prefs;
    // Where the project dialogs start: the program folder, then the folder of
    // the project file last chosen in one of them.
    QString ProjectDialogFolder;
    TRunThread* RunThread = nullptr;  // a child of the window while a run goes on
    bool CloseAfterRun = false;
    bool Closed = false;
    bool ProjectModified = false;
    bool GeometryRestored = false;
    // Set while the window itself changes controls (start-up, a project
    // opened): such changes are no edits of the user.
    bool ShowingSettings = false;

    void CreateControls();
    QWidget* CreateToolbar();
    QWidget* CreateFilePage();
    QWidget* CreateConvertPage();
    QWidget* CreateBottomBar();
    void CreateStatusBar();
    void ConnectHandlers();
    void FormCreate();
    void FormDestroy();

    void UpdateListBox();
    void UpdatePrefListBox();
    void SetModified(bool modified);
    void ShowCaption();
    // Asks before unsaved changes are lost; true when there are none or the
    // user chose OK.
    bool MayDiscard(const QString& caption);
    // The window's size, place and splitters, and the folder tree's folder,
    // kept in the settings file beside the five stored settings.
    void RestoreWindowState();
    void StoreWindowState();
    void DelallPics();
    void Setsavedfilename(const std::optional<std::string>& path);
    void OpenFolderInTree(const QString& folder);
    // The settings of the second page to and from the project state.
    void ReadSettingsFromControls();
    void ShowSettings();
    TStoredControls StoredControls() const;
    void StoreSettingsNow();
    bool AskOkCancel(const QString& text, const QString& caption);
    void ShowError(const QString& message);
    TFileDialogOptions ProjectDialog(const QString& title) const;
    void RunEnded();
};
