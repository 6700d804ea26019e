// The window's tests. Each run gets a home folder of its own (HOME and the
// XDG folders point into a fresh temporary folder), so the tests never read
// or change the real user's settings, favourites or documents. The first
// argument names the group of tests to run; further ones go to Qt Test.
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "gui_tests.h"

int main(int argc, char** argv) {
    const std::map<std::string, std::function<std::unique_ptr<QObject>()>> groups = {
        {"Startup", [] { return std::unique_ptr<QObject>(NewStartupTest()); }},
        {"FirstPage", [] { return std::unique_ptr<QObject>(NewFirstPageTest()); }},
        {"Project", [] { return std::unique_ptr<QObject>(NewProjectTest()); }},
        {"Run", [] { return std::unique_ptr<QObject>(NewRunTest()); }},
    };
    if (argc < 2 || !groups.count(argv[1])) {
        std::fprintf(stderr, "Usage: test_gui Startup|FirstPage|Project|Run [Qt Test options]\n");
        return 2;
    }
    char homeTemplate[] = "/tmp/dxfgui-home-XXXXXX";
    if (!mkdtemp(homeTemplate)) return 1;
    const QString home = QString::fromLocal8Bit(homeTemplate);
    QDir(home).mkpath(".config");
    QDir(home).mkpath("run");
    QFile::setPermissions(home + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("HOME", homeTemplate, 1);
    setenv("XDG_CONFIG_HOME", qPrintable(home + "/.config"), 1);
    setenv("XDG_DATA_HOME", qPrintable(home + "/.local/share"), 1);
    setenv("XDG_CACHE_HOME", qPrintable(home + "/.cache"), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(home + "/run"), 1);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    int status = 0;
    {
        QApplication app(argc, argv);
        std::unique_ptr<QObject> test = groups.at(argv[1])();
        // Qt Test sees the program name and the options after the group.
        std::vector<char*> args{argv[0]};
        for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
        status = QTest::qExec(test.get(), int(args.size()), args.data());
    }
    QDir(home).removeRecursively();
    return status;
}
