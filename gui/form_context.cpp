#include "gui/form_context.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

TFormContext TFormContext::FromEnvironment() {
    TFormContext c;
    c.ProgramFolder = QCoreApplication::applicationDirPath();
    if (!c.ProgramFolder.endsWith('/')) c.ProgramFolder += '/';
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!config.isEmpty() && !config.endsWith('/')) config += '/';
    c.UserFolder = config.isEmpty() ? QString() : config + exe + '/';
    // Without a configuration folder nothing is stored.
    c.SettingsFile = config.isEmpty() ? QString() : config + exe + ".INI";
    c.DocumentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return c;
}
