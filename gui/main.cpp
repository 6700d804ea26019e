// dxf2plandrop-gui: the German desktop window of DXF 2 Plandrop.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "gui/dialogs.h"
#include "gui/form_context.h"
#include "gui/main_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dxf2plandrop-gui"));
    QApplication::setDesktopFileName(QStringLiteral("dxf2plandrop-gui"));
    // The toolkit's own dialogs (file dialogs, their questions) in German too,
    // when the system has Qt's translations.
    QTranslator qtGerman;
    if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);
    TMainForm form(TFormContext::FromEnvironment());
    form.show();
    // dxf2plandrop-gui plan.kpj, dxf2plandrop-gui a.dxf b.dxf (the desktop
    // passes the files opened with it).
    form.OpenArguments(QApplication::arguments().mid(1));
    return app.exec();
}
