// What the window's tests share: dialogs answered from a script, a sandbox
// of folders for one test, and the real window built in it.
#pragma once

#include <QDialog>
#include <QDir>
#include <QList>
#include <QListWidget>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "gui/dialogs.h"
#include "gui/main_form.h"

// One message box as the window asked for it.
struct TShownMessage {
    QString Text, Caption;
    TMsgIcon Icon;
    TMsgButtons Buttons;
};

// What the scripted dialogs were asked, and the answers they give, in order.
// A message box without a scripted answer is answered OK; a file dialog
// without one is cancelled.
struct TDialogScript {
    QList<TShownMessage> Messages;
    QList<bool> Answers;
    QList<TFileDialogOptions> FileDialogs;
    QStringList FileNames;
    QStringList Folders;
    // Title and label texts of each dialog shown modally.
    QList<QStringList> Modal;
};

class TScriptedDialogs : public TDialogs {
public:
    explicit TScriptedDialogs(std::shared_ptr<TDialogScript> script) : Script(std::move(script)) {}
    bool Message(QWidget*, const QString& text, const QString& caption, TMsgIcon icon, TMsgButtons buttons) override;
    QString OpenFileName(QWidget*, const TFileDialogOptions& options) override;
    QString SaveFileName(QWidget*, const TFileDialogOptions& options) override;
    QString ExistingFolder(QWidget*, const QString&) override;
    void ShowModal(QDialog& dialog) override;

private:
    std::shared_ptr<TDialogScript> Script;
};

// A fresh folder for one test, holding the program folder "program/"; the
// user's configuration folder (in the tests' own home folder) starts empty.
class TSandbox {
public:
    TSandbox();
    // A path in the sandbox; "program/" is the program folder.
    QString Path(const QString& relative = {}) const { return Dir.path() + '/' + relative; }
    QString ProgramFolder() const { return Path("program/"); }
    // Writes a file with exactly these bytes (creating its folder).
    void Write(const QString& relative, const std::string& bytes) const;

private:
    QTemporaryDir Dir;
};

std::string ReadAll(const QString& path);
// The texts of a list box's items.
QStringList Items(const QListWidget* list);
// The file names in a folder, sorted.
QStringList FilesIn(const QString& folder);

// The real window of a sandbox, with scripted dialogs; shown and active.
class TWindow {
public:
    explicit TWindow(const TSandbox& box, const QString& programFolder = {});
    TMainForm& Form() { return *Main; }
    TDialogScript& Dialogs() { return *Script; }
    // A control by its object name; a missing one fails the whole program.
    template <class T>
    T* Get(const char* name) {
        T* w = Main->findChild<T*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    void Click(const char* button);
    // The lines of Memo1.
    QStringList Log();

private:
    std::shared_ptr<TDialogScript> Script = std::make_shared<TDialogScript>();
    std::unique_ptr<TMainForm> Main;
};

// A drawing with one line from (0, 0) to (100, 50), and one from (0, 0) to
// (50, 100), in model space.
extern const std::string kWideLine;
extern const std::string kTallLine;
