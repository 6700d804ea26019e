#include "window_fixture.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace {
std::string DrawingWithLine(const char* x2, const char* y2) {
    std::string s;
    for (const char* l : {"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", "0", "10", "0", "20", "0", "11", x2, "21", y2,
                          "0", "ENDSEC", "0", "EOF"})
        s += std::string(l) + "\n";
    return s;
}
}  // namespace

const std::string kWideLine = DrawingWithLine("100", "50");
const std::string kTallLine = DrawingWithLine("50", "100");

bool TScriptedDialogs::Message(QWidget*, const QString& text, const QString& caption, TMsgIcon icon,
                               TMsgButtons buttons) {
    Script->Messages.append({text, caption, icon, buttons});
    return Script->Answers.isEmpty() ? true : Script->Answers.takeFirst();
}

QString TScriptedDialogs::OpenFileName(QWidget*, const TFileDialogOptions& options) {
    Script->FileDialogs.append(options);
    return Script->FileNames.isEmpty() ? QString() : Script->FileNames.takeFirst();
}

QString TScriptedDialogs::SaveFileName(QWidget*, const TFileDialogOptions& options) {
    Script->FileDialogs.append(options);
    return Script->FileNames.isEmpty() ? QString() : Script->FileNames.takeFirst();
}

QString TScriptedDialogs::ExistingFolder(QWidget*, const QString&) {
    return Script->Folders.isEmpty() ? QString() : Script->Folders.takeFirst();
}

void TScriptedDialogs::ShowModal(QDialog& dialog) {
    QStringList seen{dialog.windowTitle()};
    for (const QLabel* l : dialog.findChildren<QLabel*>())
        if (!l->text().isEmpty()) seen << l->text();
    Script->Modal.append(seen);
}

TSandbox::TSandbox() {
    QDir().mkpath(ProgramFolder());
    // Nothing stored by an earlier test. The configuration folder is the
    // tests' own (gui_test_main.cpp); any other is left alone.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!config.contains("/dxfgui-home-")) qFatal("the tests run with the real configuration folder %s", qPrintable(config));
    QDir(config).removeRecursively();
}

void TSandbox::Write(const QString& relative, const std::string& bytes) const {
    QDir().mkpath(QFileInfo(Path(relative)).absolutePath());
    QFile f(Path(relative));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(Path(relative)));
    f.write(bytes.data(), qint64(bytes.size()));
}

std::string ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

TWindow::TWindow(const TSandbox& box, const QString& programFolder) {
    TFormContext context = TFormContext::FromEnvironment();
    context.ProgramFolder = programFolder.isEmpty() ? box.ProgramFolder() : programFolder;
    Main = std::make_unique<TMainForm>(context, std::make_unique<TScriptedDialogs>(Script));
    Main->show();
    QApplication::setActiveWindow(Main.get());
    if (!QTest::qWaitForWindowActive(Main.get())) qWarning("the window did not become active");
}

void TWindow::Click(const char* button) { QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton); }

QStringList TWindow::Log() {
    const QString text = Get<QPlainTextEdit>("Memo1")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}
