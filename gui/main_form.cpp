// Start-up and shut-down of the main window, the first page's handlers: the
// file browser, the favourite folders and the job list.
#include "gui/main_form.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>

#include "app/joblist.h"
#include "gui/file_browser.h"
#include "gui/job_list_box.h"
#include "gui/qt_text.h"
#include "gui/run_thread.h"
#include "gui/stored_settings.h"

TMainForm::TMainForm(TFormContext context, std::unique_ptr<TDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      FormContext(std::move(context)),
      Dialogs(dialogs ? std::move(dialogs) : std::make_unique<TQtDialogs>()),
      Prefs(Local(FormContext.ProgramFolder), Local(FormContext.UserFolder)) {
    CreateControls();
    FormCreate();
    ConnectHandlers();
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() {
    // A run still going is stopped before the controls it reports to go.
    if (RunThread) {
        RunThread->Cancel();
        RunThread->wait();
    }
    if (!Closed) FormDestroy();
}

// The start-up steps, in order; the stored settings are applied last.
void TMainForm::FormCreate() {
    if (!FormContext.ProgramFolder.isEmpty() && !FormContext.ProgramFolder.endsWith('/'))
        FormContext.ProgramFolder += '/';
    ProjectDialogFolder = FormContext.ProgramFolder;
    OpenFolderInTree(FormContext.ProgramFolder);
    Setsavedfilename(std::nullopt);
    Prefs.Load();
    UpdatePrefListBox();
    DirectoryEdit1->setText(FormContext.DocumentsFolder);
    RestoreSettings(FormContext.SettingsFile, StoredControls());
}

// The job list is emptied when the window closes.
void TMainForm::FormDestroy() { DelallPics(); }

void TMainForm::ConnectHandlers() {
    connect(NewBtn, &QPushButton::clicked, this, &TMainForm::NewBtnClick);
    connect(OpenBtn, &QPushButton::clicked, this, &TMainForm::OpenBtnClick);
    connect(SaveBtn, &QPushButton::clicked, this, &TMainForm::SaveBtnClick);
    connect(SaveAsBtn, &QPushButton::clicked, this, &TMainForm::SaveAsBtnClick);
    connect(AddBtn, &QPushButton::clicked, this, &TMainForm::AddBtnClick);
    connect(DelBtn, &QPushButton::clicked, this, &TMainForm::DelBtnClick);
    connect(ConvertBtn, &QPushButton::clicked, this, &TMainForm::ConvertBtnClick);
    connect(GoBtn, &QPushButton::clicked, this, &TMainForm::GoBtn1Click);
    connect(AboutBtn, &QPushButton::clicked, this, &TMainForm::AboutBtnClick);
    connect(QuitBtn, &QPushButton::clicked, this, &TMainForm::QuitBtnClick);
    connect(FileList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { FileListDblClick(item); });
    connect(ImageList, &QListWidget::itemDoubleClicked, this, [this] { ImageListDblClick(); });
    connect(PrefListBox, &QListWidget::itemDoubleClicked, this, [this] { PrefListBoxDblClick(); });
    connect(ImageList, &TJobListBox::DrawingsDropped, this, &TMainForm::AddDroppedDrawings);
    connect(FolderTree, &TFolderTree::FolderSelected, FileList, &TFileList::OpenFolder);
    for (QWidget* w : {static_cast<QWidget*>(FileList), static_cast<QWidget*>(PrefListBox),
                       static_cast<QWidget*>(ImageList)})
        w->installEventFilter(this);
    // The stored settings are written whenever one of them changes.
    connect(DirectoryEdit1, &QLineEdit::textChanged, this, &TMainForm::StoreSettingsNow);
    for (QRadioButton* r : {RadioButton4, RadioButton5, RadioButton6, RadioButton2})
        connect(r, &QRadioButton::toggled, this, &TMainForm::StoreSettingsNow);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName("CancelShortcut");
    connect(escape, &QShortcut::activated, this, &TMainForm::CancelRun);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == FileList && enter) {
        // FileListKeyPress: Enter acts as the double-click (no item name is
        // ever edited in the list).
        FileListDblClick(FileList->currentItem());
        return true;
    }
    if (watched == PrefListBox && enter) {
        PrefListBoxDblClick();
        return true;
    }
    if (watched == ImageList && enter) {  // ImageListKeyDown
        ImageListDblClick();
        return true;
    }
    if (watched == ImageList && key == Qt::Key_Delete) {
        DelBtnClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::AddBtnClick() {
    const QStringList names = FileList->SelectedFileNames();
    std::vector<std::string> local;
    for (const QString& n : names) local.push_back(Local(n));
    AddFiles(ProjectState.Jobs, Prefs, Local(FolderTree->SelectedFolder()), local);
    UpdateListBox();
    UpdatePrefListBox();
}

void TMainForm::AddDroppedDrawings(const QStringList& paths) {
    for (const QString& p : paths) {
        const QFileInfo info(p);
        AddFiles(ProjectState.Jobs, Prefs, Local(info.absolutePath()), {Local(info.fileName())});
    }
    UpdateListBox();
    UpdatePrefListBox();
}

void TMainForm::DelBtnClick() {
    std::vector<int32_t> selected;
    for (int row : ImageList->SelectedPositions()) selected.push_back(row);
    DeleteSelected(ProjectState.Jobs, selected);
    UpdateListBox();
}

void TMainForm::FileListDblClick(QTreeWidgetItem* item) {
    if (!item) return;
    if (TFileList::IsFolder(item)) OpenFolderInTree(TFileList::PathOf(item));
    else AddBtnClick();
}

// Makes the selected entry the job list's current element.
void TMainForm::ImageListDblClick() { ProjectState.Jobs.SetCursor(ImageList->currentRow()); }

void TMainForm::PrefListBoxDblClick() {
    const int i = PrefListBox->currentRow();
    if (i >= 0 && i < PrefListBox->count()) OpenFolderInTree(PrefListBox->item(i)->text());
}

void TMainForm::OpenFolderInTree(const QString& folder) {
    // The tree's selection opens the folder in the file list.
    if (FolderTree->SetSelectedFolder(folder)) FileList->OpenFolder(FolderTree->SelectedFolder());
}

void TMainForm::UpdateListBox() {
    const TJobListView view = ::UpdateListBox(ProjectState.Jobs);
    ImageList->clear();
    for (const std::string& name : view.Items) ImageList->addItem(Shown(name));
    DelBtn->setEnabled(view.DelBtnEnabled);
    if (view.ItemIndex >= 0) ImageList->setCurrentRow(view.ItemIndex);
}

void TMainForm::UpdatePrefListBox() {
    PrefListBox->clear();
    for (const std::string& f : Prefs.Folders) PrefListBox->addItem(Shown(f));
}

void TMainForm::DelallPics() { ProjectState.DelallPics(); }

void TMainForm::Setsavedfilename(const std::optional<std::string>& path) {
    ProjectState.Setsavedfilename(path);
    setWindowTitle(Shown(ProjectState.Caption));
}

void TMainForm::ConvertBtnClick() { PageControl2->setCurrentIndex(1); }

void TMainForm::QuitBtnClick() { close(); }

TStoredControls TMainForm::StoredControls() const {
    return {DirectoryEdit1, RadioButton4, RadioButton5, RadioButton6, RadioButton2};
}

void TMainForm::StoreSettingsNow() { StoreSettings(FormContext.SettingsFile, StoredControls()); }

void TMainForm::closeEvent(QCloseEvent* event) {
    if (Running()) {
        // Closing during a run asks first; on OK the run is stopped and the
        // window closes once it has ended.
        event->ignore();
        if (!CloseAfterRun &&
            AskOkCancel(QStringLiteral("Die Dateien werden noch umgewandelt. Soll die Umwandlung abgebrochen und "
                                       "das Programm beendet werden?"),
                        QStringLiteral("Beenden"))) {
            CloseAfterRun = true;
            CancelRun();
        }
        return;
    }
    StoreSettingsNow();
    FormDestroy();
    Closed = true;
    event->accept();
}
