// Start-up and shut-down of the window: the first start, the German texts of
// every control, "folders.dat" beside the program or in the user's
// configuration folder, and the five settings kept from one start to the
// next.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include "gui/file_browser.h"
#include "gui_tests.h"
#include "window_fixture.h"

namespace {
QString ConfigFolder() { return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/'; }
QString SettingsFile() { return ConfigFolder() + "test_gui.INI"; }
}  // namespace

class TStartupTest : public QObject {
    Q_OBJECT
private slots:
    void FirstStartHasNoFavouritesAndTheDocumentsFolderAsOutput() {
        TSandbox box;
        TWindow w(box);
        QCOMPARE(w.Get<QListWidget>("PrefListBox")->count(), 0);
        QCOMPARE(w.Get<QLineEdit>("DirectoryEdit1")->text(), QDir::homePath() + "/Documents");
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]"));
        QCOMPARE(w.Form().size(), QSize(750, 550));
        QCOMPARE(w.Get<QTabWidget>("PageControl2")->currentIndex(), 0);
        // The folder tree starts in the documents folder, here the home
        // folder as there is none; the file list shows it.
        QCOMPARE(w.Get<TFolderTree>("FolderTree")->SelectedFolder(), QDir::homePath());
        QCOMPARE(w.Get<TFileList>("FileList")->Folder(), QDir::homePath());
        QVERIFY(!w.Get<QPushButton>("DelBtn")->isEnabled());
        QVERIFY(w.Get<QRadioButton>("RadioButton4")->isChecked());
        QVERIFY(w.Get<QRadioButton>("RadioButton2")->isChecked());
        auto* layout = w.Get<QSpinBox>("LayoutEd");
        QCOMPARE(layout->value(), 1);
        QCOMPARE(layout->minimum(), 1);
        QCOMPARE(layout->maximum(), 10000);
        // Nothing written at start.
        QVERIFY(FilesIn(box.ProgramFolder()).isEmpty());
    }

    void DocumentsFolderComesFromTheUsersFolderSettings() {
        TSandbox box;
        QDir().mkpath(ConfigFolder());
        QFile dirs(ConfigFolder() + "user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
        dirs.close();
        QDir().mkpath(QDir::homePath() + "/Dokumente");
        TWindow w(box);
        QCOMPARE(w.Get<QLineEdit>("DirectoryEdit1")->text(), QDir::homePath() + "/Dokumente");
        QCOMPARE(w.Get<TFolderTree>("FolderTree")->SelectedFolder(), QDir::homePath() + "/Dokumente");
        QDir(QDir::homePath() + "/Dokumente").removeRecursively();
    }

    void SizePlaceSplittersAndTheFolderAreKeptForTheNextStart() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        QList<int> browser;
        {
            TWindow w(box);
            w.Form().resize(900, 650);
            auto* split = w.Get<QSplitter>("Splitter1");
            split->setSizes({300, split->width() - 300 - split->handleWidth()});
            browser = split->sizes();
            w.Get<TFolderTree>("FolderTree")->SetSelectedFolder(box.Path("plans"));
            w.Click("QuitBtn");
        }
        TWindow w(box);
        QCOMPARE(w.Form().size(), QSize(900, 650));
        QCOMPARE(w.Get<QSplitter>("Splitter1")->sizes(), browser);
        QCOMPARE(w.Get<TFolderTree>("FolderTree")->SelectedFolder(), box.Path("plans"));
        QCOMPARE(w.Get<TFileList>("FileList")->topLevelItem(0)->text(0), QString("a.dxf"));
    }

    void TheLogGrowsWithTheWindow() {
        TSandbox box;
        TWindow w(box);
        w.Click("ConvertBtn");
        QTest::qWait(20);
        auto* memo = w.Get<QWidget>("Memo1");
        const int first = memo->height();
        QVERIFY2(first >= 73, qPrintable(QString::number(first)));
        w.Form().resize(750, 800);
        QTest::qWait(20);
        QCOMPARE(memo->height(), first + 250);
    }

    void FilesGivenAtStartAreOpenedOrAdded() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        box.Write("plans/b.DXF", kTallLine);
        // A project with the entry x.dxf beside it.
        const std::string entry = "x.dxf";
        box.Write("p.kpj", std::string("Bramwick DXF 2 Plandrop 1.0") + std::string("\x01\0\0\0\x05\0\0\0", 8) + entry +
                               std::string("\0\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\0\0", 16));
        TWindow w(box);
        w.Form().OpenArguments({box.Path("p.kpj")});
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]"));
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"x.dxf"}));
        QVERIFY(w.Get<QRadioButton>("RadioButton5")->isChecked());
        QVERIFY(w.Dialogs().Messages.isEmpty());
        // Drawings (by any name, relative ones too) join the job list; a
        // file that is not there is named.
        QDir::setCurrent(box.Path("plans"));
        w.Form().OpenArguments({"a.dxf", box.Path("plans/b.DXF"), box.Path("plans/none.dxf")});
        QDir::setCurrent(QDir::homePath());
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"x.dxf", "a.dxf", "b.DXF"}));
        QCOMPARE(w.Form().Project().Jobs[1], box.Path("plans/a.dxf").toStdString());
        QVERIFY(w.Form().Modified());
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QCOMPARE(w.Dialogs().Messages[0].Text, "Diese Datei wurde nicht gefunden:\n" + box.Path("plans/none.dxf"));
        QVERIFY(w.Dialogs().Messages[0].Icon == TMsgIcon::Error);
    }

    void TheDesktopEntryPassesFilesAndNamesTheirTypes() {
        const std::string entry = ReadAll(DXF_BINARY_DIR "/gui/dxf2plandrop-gui.desktop");
        for (const char* line : {"\nExec=dxf2plandrop-gui %F\n", "\nMimeType=image/vnd.dxf;application/x-dxf2plandrop-project;\n",
                                 "\nComment[de]=Wandelt DXF-Zeichnungen in vereinfachte DXF-Dateien oder in Textdateien aus "
                                 "Linien um\n",
                                 "\nKeywords[de]=DXF;CAD;umwandeln;konvertieren;Zeichnung;Plan;\n",
                                 "\nX-AppVersion=" DXF2PLANDROP_TEST_VERSION "\n"})
            QVERIFY2(entry.find(line) != std::string::npos, line);
        // The project file's type: its glob and its first bytes.
        const std::string mime = ReadAll(DXF_SOURCE_DIR "/gui/dxf2plandrop-project.xml");
        for (const char* part : {"<mime-type type=\"application/x-dxf2plandrop-project\">", "<glob pattern=\"*.kpj\"/>",
                                 "value=\"Bramwick DXF 2 Plandrop 1.0\""})
            QVERIFY2(mime.find(part) != std::string::npos, part);
    }

    void EveryControlShowsItsGermanText() {
        TSandbox box;
        TWindow w(box);
        const QList<std::pair<const char*, QString>> buttons = {
            {"NewBtn", "&Neu"},
            {"OpenBtn", "&Öffnen"},
            {"SaveBtn", "&Speichern"},
            {"SaveAsBtn", "Speichern &unter..."},
            {"AddBtn", "&Hinzufügen"},
            {"DelBtn", "&Von Liste entfernen"},
            {"ConvertBtn", "&Dateien konvertieren"},
            {"GoBtn", "&Dateien konvertieren!"},
            {"AboutBtn", "Über"},
            {"QuitBtn", "Beenden"},
            {"RadioButton4", "Vereinfachte DXF Datei erzeugen"},
            {"RadioButton5", "Textdatei erzeugen (Jede Zeile eine Linie (6 Koordinaten): von x;von y;bis x;bis y)"},
            {"RadioButton2", "Alle Layouts konvertieren, jedes in eine eigene Datei"},
            {"RadioButton6", "Nur das Layout mit dieser Nummer konvertieren:"},
        };
        for (const auto& [name, text] : buttons) QCOMPARE(w.Get<QAbstractButton>(name)->text(), text);
        const QList<std::pair<const char*, QString>> hints = {
            {"NewBtn", "Neues Projekt erstellen"},
            {"OpenBtn", "Projekt Datei öffnen..."},
            {"SaveBtn", "Projekt Datei speichern"},
            {"SaveAsBtn", "Projekt Datei speichern unter..."},
        };
        for (const auto& [name, hint] : hints) {
            QCOMPARE(w.Get<QPushButton>(name)->toolTip(), hint);
            QCOMPARE(w.Get<QPushButton>(name)->width(), 121);
        }
        auto* pages = w.Get<QTabWidget>("PageControl2");
        QCOMPARE(pages->count(), 2);
        QCOMPARE(pages->tabText(0), QString("DXF Dateien auswählen"));
        QCOMPARE(pages->tabText(1), QString("Dateien umwandeln"));
        QCOMPARE(pages->widget(0)->objectName(), QString("TabSheet1"));
        QCOMPARE(pages->widget(1)->objectName(), QString("TabSheet4"));
        QStringList labels;
        for (const QLabel* l : w.Form().findChildren<QLabel*>())
            if (!l->text().isEmpty()) labels << l->text();
        for (const QString& text : {QString("DXF auswählen - Wählen Sie die Datei aus und klicken Sie auf \"Hinzufügen\""),
                                    QString("Lieblings Ordner:"), QString("Ausgabe Ordner:"), QString("Meldungen:"),
                                    QString("Dateien umwandeln..."),
                                    QString("Dateien umwandeln - wählen Sie die Größe und klicken Sie auf "
                                            "\"Dateien konvertieren!\"")})
            QVERIFY2(labels.contains(text), qPrintable(text));
        QStringList groups;
        for (const QGroupBox* g : w.Form().findChildren<QGroupBox*>()) groups << g->title();
        groups.sort();
        QCOMPARE(groups, QStringList({"Ausgabeformat", "Layouts"}));
        QCOMPARE(w.Get<QWidget>("StatusBar1Panel0")->width(), 250);
        QCOMPARE(w.Get<QWidget>("StatusBar1Panel1")->width(), 50);
        QCOMPARE(w.Get<QListWidget>("ImageList")->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    void AboutBoxShowsInfo() {
        TSandbox box;
        TWindow w(box);
        w.Click("AboutBtn");
        QCOMPARE(w.Dialogs().Modal.size(), 1);
        const QStringList about = w.Dialogs().Modal[0];
        QCOMPARE(about.value(0), QString("Info"));
        QVERIFY(about.contains("Bramwick DXF 2 Plandrop"));
        // The project's version with the build number 0.
        QVERIFY(about.contains("Version 1.0.0.0"));
        QVERIFY(about.contains("Version " DXF2PLANDROP_TEST_VERSION ".0"));
    }

    void FavouritesAreReadFromBesideTheProgram() {
        TSandbox box;
        box.Write("program/folders.dat", "/a/\r\n/b b/\r\n");
        TWindow w(box);
        auto* prefs = w.Get<QListWidget>("PrefListBox");
        QCOMPARE(prefs->count(), 2);
        QCOMPARE(prefs->item(0)->text(), QString("/a/"));
        QCOMPARE(prefs->item(1)->text(), QString("/b b/"));
    }

    // An installed program's folder is not writable: the favourites go to the
    // user's configuration folder and come back from there at the next start.
    // /proc/self/ is readable and refuses new files even to the superuser.
    void FavouritesOfAProgramInAReadOnlyFolderSurviveARestart() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        {
            TWindow w(box, "/proc/self/");
            w.Form().AddDroppedDrawings({box.Path("plans/a.dxf")});
            QCOMPARE(w.Get<QListWidget>("PrefListBox")->count(), 1);
            w.Click("QuitBtn");
        }
        QCOMPARE(ReadAll(ConfigFolder() + "test_gui/folders.dat"), (box.Path("plans/") + "\r\n").toStdString());
        TWindow again(box, "/proc/self/");
        auto* prefs = again.Get<QListWidget>("PrefListBox");
        QCOMPARE(prefs->count(), 1);
        QCOMPARE(prefs->item(0)->text(), box.Path("plans/"));
    }

    void TextFormAndOutputFolderAreKeptForTheNextStart() {
        TSandbox box;
        {
            TWindow w(box);
            w.Click("ConvertBtn");
            QTest::mouseClick(w.Get<QRadioButton>("RadioButton5"), Qt::LeftButton);
            QTest::mouseClick(w.Get<QRadioButton>("RadioButton6"), Qt::LeftButton);
            w.Get<QLineEdit>("DirectoryEdit1")->setText("/srv/plans out");
            w.Get<QSpinBox>("LayoutEd")->setValue(7);  // travels only in project files
            w.Click("QuitBtn");
            QVERIFY(!w.Form().isVisible());
        }
        const std::string ini = ReadAll(SettingsFile());
        QVERIFY2(ini.rfind("[MainForm]\n", 0) == 0, ini.c_str());
        for (const char* line : {"\nDirectoryEdit1.Text=/srv/plans out\n", "\nRadioButton4.Checked=false\n",
                                 "\nRadioButton5.Checked=true\n", "\nRadioButton6.Checked=true\n",
                                 "\nRadioButton2.Checked=false\n"})
            QVERIFY2(ini.find(line) != std::string::npos, line);
        QVERIFY(ini.find("LayoutEd") == std::string::npos);

        TWindow w(box);
        QVERIFY(w.Get<QRadioButton>("RadioButton5")->isChecked());
        QVERIFY(!w.Get<QRadioButton>("RadioButton4")->isChecked());
        QVERIFY(w.Get<QRadioButton>("RadioButton6")->isChecked());
        QCOMPARE(w.Get<QLineEdit>("DirectoryEdit1")->text(), QString("/srv/plans out"));
        QCOMPARE(w.Get<QSpinBox>("LayoutEd")->value(), 1);
    }

    // The settings are written as they change: a window that never closes
    // (the program killed) keeps them too.
    void ASettingIsStoredWhenItChanges() {
        TSandbox box;
        TWindow w(box);
        w.Click("ConvertBtn");
        QTest::mouseClick(w.Get<QRadioButton>("RadioButton5"), Qt::LeftButton);
        QVERIFY(ReadAll(SettingsFile()).find("RadioButton5.Checked=true") != std::string::npos);
    }

    void HandEditedSettingsWithBothButtonsOfAGroupKeepOneSelected() {
        TSandbox box;
        QDir().mkpath(ConfigFolder());
        QFile f(SettingsFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[MainForm]\nRadioButton4.Checked=true\nRadioButton5.Checked=true\n"
                "RadioButton6.Checked=false\nRadioButton2.Checked=false\n");
        f.close();
        TWindow w(box);
        QVERIFY(w.Get<QRadioButton>("RadioButton5")->isChecked());
        QVERIFY(!w.Get<QRadioButton>("RadioButton4")->isChecked());
        // None stored as selected: the start-up default stays.
        QVERIFY(w.Get<QRadioButton>("RadioButton2")->isChecked());
        // No output folder stored: the documents folder.
        QCOMPARE(w.Get<QLineEdit>("DirectoryEdit1")->text(), QDir::homePath() + "/Documents");
    }
};

QObject* NewStartupTest() { return new TStartupTest; }

#include "startup_test.moc"
