// gui_screenshot PROGRAM_FOLDER DRAWINGS_FOLDER OUTPUT_FOLDER: takes the
// pictures of the window for the README. The window starts as if installed
// in PROGRAM_FOLDER; it collects the drawings of DRAWINGS_FOLDER into the job
// list from the file browser, converts them into $HOME/Dokumente/Plandrop and
// writes screenshot-files.png, screenshot-progress.png (while the last
// drawing, a large one, is read) and screenshot-convert.png into
// OUTPUT_FOLDER. tools/make-screenshots runs it under Xvfb with a HOME of its
// own.
#include <QLabel>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "gui/file_browser.h"
#include "gui/main_form.h"

namespace {
bool Save(QWidget& w, const QString& path) {
    QApplication::processEvents();
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "gui_screenshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "Usage: gui_screenshot PROGRAM_FOLDER DRAWINGS_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const QString drawings = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QString out = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
    TFormContext context = TFormContext::FromEnvironment();
    context.ProgramFolder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + '/';
    TMainForm form(context);
    form.show();
    Settle(300);

    auto* tree = form.findChild<TFolderTree*>("FolderTree");
    auto* files = form.findChild<TFileList*>("FileList");
    tree->SetSelectedFolder(drawings);
    Settle(300);
    for (int i = 0; i < files->topLevelItemCount(); ++i) files->topLevelItem(i)->setSelected(true);
    form.AddBtnClick();
    Settle(300);
    if (!Save(form, out + "/screenshot-files.png")) return 1;

    form.ConvertBtnClick();
    form.findChild<QLineEdit*>("DirectoryEdit1")->setText(QDir::homePath() + "/Dokumente/Plandrop");
    QEventLoop done;
    QObject::connect(&form, &TMainForm::RunFinished, &done, &QEventLoop::quit);
    // The status bar while the last drawing is read.
    const int count = int(form.Project().Jobs.Count());
    auto* status = form.findChild<QLabel*>("StatusBar1Panel0");
    auto* percent = form.findChild<QLabel*>("StatusBar1Percent");
    bool progressTaken = false, progressSaved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (progressTaken || !status->text().startsWith(QStringLiteral("%1/%1 ").arg(count)) ||
            !status->text().endsWith(QStringLiteral("wird gelesen...")) || percent->text().isEmpty())
            return;
        progressTaken = true;
        progressSaved = Save(form, out + "/screenshot-progress.png");
    });
    poll.start(5);
    form.GoBtn1Click();
    done.exec();
    poll.stop();
    if (!progressSaved) {
        std::fprintf(stderr, "gui_screenshot: the run ended before its last drawing could be seen being read\n");
        return 1;
    }
    Settle(300);
    if (!Save(form, out + "/screenshot-convert.png")) return 1;
    // Not closed: the job list made here is not to be saved, and closing
    // would ask about it.
    return 0;
}
