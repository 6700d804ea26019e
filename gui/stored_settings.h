// The five settings of the second page kept from one start of the window to
// the next, in an initialisation file (QSettings' INI format):
//
//   [MainForm]
//   DirectoryEdit1.Text=/home/u/Dokumente
//   RadioButton4.Checked=true
//   RadioButton5.Checked=false
//   RadioButton6.Checked=false
//   RadioButton2.Checked=true
//
// The section is named after the window (its object name "MainForm"), the
// keys after control and property. The window restores them at the end of
// its start-up, so a stored output folder wins over the documents folder of
// a first start, and stores them whenever one of them changes and when the
// window closes: a program that is killed keeps what the user chose.
#pragma once

#include <QByteArray>
#include <QString>

class QLineEdit;
class QRadioButton;

struct TStoredControls {
    QLineEdit* DirectoryEdit1;
    QRadioButton* RadioButton4;
    QRadioButton* RadioButton5;
    QRadioButton* RadioButton6;
    QRadioButton* RadioButton2;
};

inline const char* const kSettingsSection = "MainForm";

// Applies what the file holds; a missing file or key leaves the control as it
// is. Of two option buttons stored as both selected the later one in the
// order above wins; a group stored with none selected keeps its selection.
void RestoreSettings(const QString& file, const TStoredControls& c);

// Writes all five; a file that cannot be written is ignored.
void StoreSettings(const QString& file, const TStoredControls& c);

// The window's own state, in the same section of the same file: its size
// and place ("MainForm.Geometry"), the splitters of the first page
// ("Splitter1.State", "Splitter2.State") and the folder tree's folder
// ("FolderTree.Folder"). Written when the window closes, read at start-up;
// empty values for a first start.
struct TWindowState {
    QByteArray Geometry, Splitter1, Splitter2;
    QString Folder;
};

TWindowState ReadWindowState(const QString& file);
void WriteWindowState(const QString& file, const TWindowState& state);
