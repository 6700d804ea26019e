// Where the window finds and keeps its files: the program folder, the user's
// configuration and documents folders, the file of the stored settings.
// FromEnvironment asks the system; tests give folders of their own.
#pragma once

#include <QString>

struct TFormContext {
    // The folder of the running program, ending in '/': project dialogs start
    // there, the folder tree selects it, an empty output folder field converts
    // into it, and "folders.dat" lives there while it is writable.
    QString ProgramFolder;
    // The user's configuration folder for this program, ending in '/':
    // "folders.dat" when the program folder is not writable.
    QString UserFolder;
    // The user's documents folder: the output folder of a first start; empty
    // when the system reports none.
    QString DocumentsFolder;
    // The initialisation file of the five stored settings; empty: none.
    QString SettingsFile;

    // The running program's folders. The settings file is named after the
    // executable with ".INI" (dxf2plandrop-gui.INI) and lies in the user's
    // configuration folder ($XDG_CONFIG_HOME, by default ~/.config), the
    // Linux counterpart of the system's folder for such files; "folders.dat"
    // goes into a folder of the same name there.
    static TFormContext FromEnvironment();
};
