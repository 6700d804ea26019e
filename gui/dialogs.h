// The message boxes and dialogs of the window go through TDialogs, so the
// window's tests can answer them without a modal loop; TQtDialogs shows the
// real ones.
#pragma once

#include <QString>

class QDialog;
class QWidget;

// The application's title: the caption of message boxes without a caption
// of their own and the name the desktop shows.
inline const char* const kApplicationTitle = "DXF 2 Plandrop";

enum class TMsgIcon { Information, Error };
enum class TMsgButtons { Ok, OkCancel };

// A project file dialog (OpenDialog1, SaveDialog1).
struct TFileDialogOptions {
    QString Title;
    QString FilterName;     // "KPJ Projekt Dateien"
    QString Pattern;        // "*.KPJ"
    QString DefaultSuffix;  // "kpj"
    QString Directory;      // where it starts
};

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A message box; an empty caption shows the application's title. Returns
    // true for OK.
    virtual bool Message(QWidget* parent, const QString& text, const QString& caption, TMsgIcon icon,
                         TMsgButtons buttons) = 0;
    // The chosen file's path, or an empty text when the dialog was cancelled.
    // Saving asks before an existing file is overwritten.
    virtual QString OpenFileName(QWidget* parent, const TFileDialogOptions& options) = 0;
    virtual QString SaveFileName(QWidget* parent, const TFileDialogOptions& options) = 0;
    // A folder chosen for the output folder field, or an empty text.
    virtual QString ExistingFolder(QWidget* parent, const QString& start) = 0;
    // Shows a dialog modally (the about box).
    virtual void ShowModal(QDialog& dialog) = 0;
};

class TQtDialogs : public TDialogs {
public:
    bool Message(QWidget* parent, const QString& text, const QString& caption, TMsgIcon icon,
                 TMsgButtons buttons) override;
    QString OpenFileName(QWidget* parent, const TFileDialogOptions& options) override;
    QString SaveFileName(QWidget* parent, const TFileDialogOptions& options) override;
    QString ExistingFolder(QWidget* parent, const QString& start) override;
    void ShowModal(QDialog& dialog) override;
};
