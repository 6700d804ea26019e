// Project files from the toolbar: new, open, save, save as, and the settings
// of the second page they carry.
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "gui/about_box.h"
#include "gui/main_form.h"
#include "gui/qt_text.h"

bool TMainForm::AskOkCancel(const QString& text, const QString& caption) {
    return Dialogs->Message(this, text, caption, TMsgIcon::Information, TMsgButtons::OkCancel);
}

// The application's general error report, and the error boxes without a
// caption of their own.
void TMainForm::ShowError(const QString& message) {
    Dialogs->Message(this, message, QString(), TMsgIcon::Error, TMsgButtons::Ok);
}

TFileDialogOptions TMainForm::ProjectDialog(const QString& title) const {
    return {title, QStringLiteral("KPJ Projekt Dateien"), QStringLiteral("*.KPJ"), QStringLiteral("kpj"),
            ProjectDialogFolder};
}

// "Neu" and "Öffnen" ask only when there are unsaved changes.
void TMainForm::NewBtnClick() {
    if (!MayDiscard(QStringLiteral("Datei/Neu"))) return;
    DelallPics();
    UpdateListBox();
    ProjectModified = false;
    Setsavedfilename(std::nullopt);
}

void TMainForm::OpenBtnClick() {
    if (!MayDiscard(QStringLiteral("Datei/Öffnen"))) return;
    const QString path = Dialogs->OpenFileName(this, ProjectDialog(QStringLiteral("Öffnen")));
    if (path.isEmpty()) return;
    ProjectDialogFolder = QFileInfo(path).absolutePath();
    OpenFile(path);
}

void TMainForm::SaveBtnClick() {
    if (ProjectState.ProjectPath) SaveFile(Shown(*ProjectState.ProjectPath));
    else SaveAsBtnClick();
}

void TMainForm::SaveAsBtnClick() {
    const QString path = Dialogs->SaveFileName(this, ProjectDialog(QStringLiteral("Speichern unter")));
    if (path.isEmpty()) return;
    ProjectDialogFolder = QFileInfo(path).absolutePath();
    SaveFile(path);
}

void TMainForm::SaveFile(const QString& path) {
    ReadSettingsFromControls();
    try {
        ProjectState.SaveFile(Local(path));
    } catch (const EProjectError& e) {
        ShowError(Shown(e.what()));
        return;
    }
    SetModified(false);
}

void TMainForm::OpenFile(const QString& path) {
    // Fields a damaged file does not reach keep the values of the controls.
    ReadSettingsFromControls();
    const auto jobsBefore = ProjectState.Jobs.Elements();
    const TConvertSettings settingsBefore = ProjectState.Settings;
    try {
        ProjectState.OpenFile(Local(path));
    } catch (const EProjectError& e) {
        // A file that cannot be opened or is no project changes nothing; a
        // damaged one keeps the entries and settings read before the damage,
        // which are then changes not saved anywhere.
        const bool changed = ProjectState.Jobs.Elements() != jobsBefore || ProjectModified;
        ShowSettings();
        UpdateListBox();
        SetModified(changed || ProjectState.Settings.OutputFolder != settingsBefore.OutputFolder ||
                    ProjectState.Settings.LayoutChoice != settingsBefore.LayoutChoice ||
                    ProjectState.Settings.OutputForm != settingsBefore.OutputForm ||
                    ProjectState.Settings.LayoutNumber != settingsBefore.LayoutNumber);
        ShowError(Shown(e.what()));
        return;
    }
    ShowSettings();
    ProjectModified = false;
    Setsavedfilename(ProjectState.ProjectPath);
    UpdateListBox();
}

void TMainForm::ReadSettingsFromControls() {
    TConvertSettings& s = ProjectState.Settings;
    s.OutputFolder = Local(DirectoryEdit1->text());
    s.LayoutChoice = RadioButton6->isChecked() ? lcSingleLayout : lcAllLayouts;
    s.OutputForm = RadioButton5->isChecked() ? ofText : ofDXF;
    s.LayoutNumber = LayoutEd->value();
}

void TMainForm::ShowSettings() {
    // Not an edit of the user's: the modified mark is set by the caller.
    const bool showing = ShowingSettings;
    ShowingSettings = true;
    const TConvertSettings& s = ProjectState.Settings;
    DirectoryEdit1->setText(Shown(s.OutputFolder));
    (s.LayoutChoice == lcSingleLayout ? RadioButton6 : RadioButton2)->setChecked(true);
    (s.OutputForm == ofText ? RadioButton5 : RadioButton4)->setChecked(true);
    // The spin edit keeps its range 1..10000.
    LayoutEd->setValue(s.LayoutNumber);
    ShowingSettings = showing;
}

void TMainForm::AboutBtnClick() {
    TAboutBox box(this);
    Dialogs->ShowModal(box);
}
