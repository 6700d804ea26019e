// Start-up and shut-down of the main window, the first page's handlers: the
// file browser, the favourite folders and the job list.
#include "gui/main_form.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
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
    // Centred on the screen, unless the window comes back where it was.
    if (!GeometryRestored)
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
    ShowingSettings = true;
    if (!FormContext.ProgramFolder.isEmpty() && !FormContext.ProgramFolder.endsWith('/'))
        FormContext.ProgramFolder += '/';
    ProjectDialogFolder = FormContext.ProgramFolder;
    Setsavedfilename(std::nullopt);
    Prefs.Load();
    UpdatePrefListBox();
    DirectoryEdit1->setText(FormContext.DocumentsFolder);
    RestoreSettings(FormContext.SettingsFile, StoredControls());
    // The folder tree starts in the folder last used, not in the program's
    // folder (/usr/bin when installed): on a first start in the documents
    // folder, or the home folder without one.
    RestoreWindowState();
    ShowingSettings = false;
    SetModified(false);
}

void TMainForm::RestoreWindowState() {
    const TWindowState w = ReadWindowState(FormContext.SettingsFile);
    GeometryRestored = !w.Geometry.isEmpty() && restoreGeometry(w.Geometry);
    if (!w.Splitter1.isEmpty()) Splitter1->restoreState(w.Splitter1);
    if (!w.Splitter2.isEmpty()) Splitter2->restoreState(w.Splitter2);
    for (const QString& folder : {w.Folder, FormContext.DocumentsFolder, QDir::homePath(), QStringLiteral("/")})
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
            OpenFolderInTree(folder);
            break;
        }
}

void TMainForm::StoreWindowState() {
    WriteWindowState(FormContext.SettingsFile,
                     {saveGeometry(), Splitter1->saveState(), Splitter2->saveState(), FolderTree->SelectedFolder()});
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
    // The stored settings are written whenever one of them changes; a
    // change by the user is a change of the project.
    auto edited = [this] {
        if (!ShowingSettings) SetModified(true);
    };
    connect(DirectoryEdit1, &QLineEdit::textChanged, this, &TMainForm::StoreSettingsNow);
    connect(DirectoryEdit1, &QLineEdit::textChanged, this, edited);
    for (QRadioButton* r : {RadioButton4, RadioButton5, RadioButton6, RadioButton2}) {
        connect(r, &QRadioButton::toggled, this, &TMainForm::StoreSettingsNow);
        connect(r, &QRadioButton::toggled, this, edited);
    }
    // A layout number typed or spun means that layout only.
    connect(LayoutEd, &QSpinBox::valueChanged, this, [this, edited] {
        if (!ShowingSettings) RadioButton6->setChecked(true);
        edited();
    });
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
    if (watched == PrefListBox && key == Qt::Key_Delete) {
        RemoveFavourite();
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
    if (!local.empty()) SetModified(true);
    UpdateListBox();
    UpdatePrefListBox();
}

void TMainForm::AddDroppedDrawings(const QStringList& paths) {
    for (const QString& p : paths) {
        const QFileInfo info(p);
        AddFiles(ProjectState.Jobs, Prefs, Local(info.absolutePath()), {Local(info.fileName())});
    }
    if (!paths.isEmpty()) SetModified(true);
    UpdateListBox();
    UpdatePrefListBox();
}

void TMainForm::OpenArguments(const QStringList& paths) {
    QStringList drawings, missing;
    for (const QString& p : paths) {
        const QFileInfo info(p);
        if (!info.isFile()) missing << p;
        else if (info.suffix().compare(QStringLiteral("kpj"), Qt::CaseInsensitive) == 0) {
            ProjectDialogFolder = info.absolutePath();
            OpenFile(info.absoluteFilePath());
        } else
            drawings << info.absoluteFilePath();
    }
    if (!drawings.isEmpty()) AddDroppedDrawings(drawings);
    if (!missing.isEmpty())
        ShowError((missing.size() == 1 ? QStringLiteral("Diese Datei wurde nicht gefunden:\n")
                                       : QStringLiteral("Diese Dateien wurden nicht gefunden:\n")) +
                  missing.join('\n'));
}

void TMainForm::RemoveFavourite() {
    const int i = PrefListBox->currentRow();
    if (i < 0 || i >= int(Prefs.Folders.size())) return;
    Prefs.Remove(size_t(i));
    UpdatePrefListBox();
    if (PrefListBox->count() > 0) PrefListBox->setCurrentRow(std::min(i, PrefListBox->count() - 1));
}

void TMainForm::DelBtnClick() {
    std::vector<int32_t> selected;
    for (int row : ImageList->SelectedPositions()) selected.push_back(row);
    DeleteSelected(ProjectState.Jobs, selected);
    if (!selected.empty()) SetModified(true);
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
    if (i < 0 || i >= PrefListBox->count()) return;
    const QString folder = PrefListBox->item(i)->text();
    if (QFileInfo(folder).isDir()) {
        OpenFolderInTree(folder);
        return;
    }
    // A favourite whose folder is gone is taken off the list.
    Dialogs->Message(this,
                     QStringLiteral("Der Ordner \"%1\" existiert nicht mehr. Er wird aus den Lieblings Ordnern entfernt.")
                         .arg(folder),
                     QStringLiteral("Lieblings Ordner"), TMsgIcon::Information, TMsgButtons::Ok);
    Prefs.Remove(size_t(i));
    UpdatePrefListBox();
}

void TMainForm::OpenFolderInTree(const QString& folder) {
    // The tree's selection opens the folder in the file list.
    if (FolderTree->SetSelectedFolder(folder)) FileList->OpenFolder(FolderTree->SelectedFolder());
}

void TMainForm::UpdateListBox() {
    const TJobListView view = ::UpdateListBox(ProjectState.Jobs);
    ImageList->clear();
    for (size_t i = 0; i < view.Items.size(); ++i) {
        ImageList->addItem(Shown(view.Items[i]));
        ImageList->item(int(i))->setToolTip(Shown(ProjectState.Jobs[int32_t(i)]));  // the full path
    }
    DelBtn->setEnabled(view.DelBtnEnabled);
    if (view.ItemIndex >= 0) ImageList->setCurrentRow(view.ItemIndex);
}

void TMainForm::UpdatePrefListBox() {
    PrefListBox->clear();
    for (const std::string& f : Prefs.Folders) {
        auto* item = new QListWidgetItem(Shown(f), PrefListBox);
        if (!QFileInfo(item->text()).isDir()) {
            // Shown as gone; a double-click removes it.
            item->setForeground(PrefListBox->palette().brush(QPalette::Disabled, QPalette::Text));
            item->setToolTip(QStringLiteral("Dieser Ordner existiert nicht mehr"));
        }
    }
}

void TMainForm::DelallPics() { ProjectState.DelallPics(); }

void TMainForm::Setsavedfilename(const std::optional<std::string>& path) {
    ProjectState.Setsavedfilename(path);
    ShowCaption();
}

void TMainForm::ShowCaption() {
    setWindowTitle(Shown(ProjectState.Caption) + (ProjectModified ? QStringLiteral("*") : QString()));
}

void TMainForm::SetModified(bool modified) {
    ProjectModified = modified;
    ShowCaption();
}

bool TMainForm::MayDiscard(const QString& caption) {
    return !ProjectModified ||
           AskOkCancel(QStringLiteral("Alle informationen, die nicht bereits gespeichert sind gehen verloren!"), caption);
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
    // Unsaved changes of the job list or the settings: asked first.
    if (!MayDiscard(QStringLiteral("Beenden"))) {
        event->ignore();
        return;
    }
    StoreSettingsNow();
    StoreWindowState();
    FormDestroy();
    Closed = true;
    event->accept();
}
