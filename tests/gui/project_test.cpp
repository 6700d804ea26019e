// Project files from the toolbar: saving, "Neu" and opening give back the same
// job list and settings; the questions before, the dialogs, and the messages
// for files that cannot be written, are no project or are damaged.
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "gui_tests.h"
#include "window_fixture.h"

using namespace std::string_literals;

namespace {
std::string I32(uint32_t v) { return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)}; }
std::string Str(const std::string& s) { return I32(uint32_t(s.size())) + s; }

const QString kLoseQuestion = "Alle informationen, die nicht bereits gespeichert sind gehen verloren!";
}  // namespace

class TProjectTest : public QObject {
    Q_OBJECT
private slots:
    void SaveNewAndOpenGiveBackTheSameJobListAndSettings() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        box.Write("plans/b.dxf", kTallLine);
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "a.dxf", p + "b.dxf"});
        w.Get<QRadioButton>("RadioButton5")->setChecked(true);
        w.Get<QRadioButton>("RadioButton6")->setChecked(true);
        w.Get<QSpinBox>("LayoutEd")->setValue(300);
        w.Get<QLineEdit>("DirectoryEdit1")->setText("/srv/out");

        w.Dialogs().FileNames << box.Path("p.kpj");
        w.Click("SaveAsBtn");
        QCOMPARE(w.Dialogs().FileDialogs.size(), 1);
        const TFileDialogOptions save = w.Dialogs().FileDialogs[0];
        QCOMPARE(save.FilterName, QString("KPJ Projekt Dateien"));
        QCOMPARE(save.Pattern, QString("*.KPJ"));
        QCOMPARE(save.DefaultSuffix, QString("kpj"));
        QCOMPARE(save.Directory, box.ProgramFolder());
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]"));
        QVERIFY(!w.Form().Modified());
        const std::string a = p.toStdString() + "a.dxf", b = p.toStdString() + "b.dxf";
        QCOMPARE(ReadAll(box.Path("p.kpj")), "Bramwick DXF 2 Plandrop 1.0"s + I32(2) + Str(a) + Str(b) + Str("/srv/out") +
                                                 I32(6) + I32(2) + I32(300));
        QVERIFY(w.Dialogs().Messages.isEmpty());

        // Everything is saved: "Neu" does not ask.
        w.Click("NewBtn");
        QVERIFY(w.Dialogs().Messages.isEmpty());
        QCOMPARE(w.Get<QListWidget>("ImageList")->count(), 0);
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]"));
        // "Neu" keeps the settings.
        QVERIFY(w.Get<QRadioButton>("RadioButton5")->isChecked());
        QCOMPARE(w.Get<QLineEdit>("DirectoryEdit1")->text(), QString("/srv/out"));

        w.Get<QRadioButton>("RadioButton4")->setChecked(true);
        w.Get<QRadioButton>("RadioButton2")->setChecked(true);
        w.Get<QSpinBox>("LayoutEd")->setValue(1);
        w.Get<QLineEdit>("DirectoryEdit1")->setText("");
        w.Dialogs().FileNames << box.Path("p.kpj");
        // The settings changed since: "Öffnen" asks.
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]*"));
        w.Click("OpenBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        const TShownMessage question = w.Dialogs().Messages[0];
        QCOMPARE(question.Text, kLoseQuestion);
        QCOMPARE(question.Caption, QString("Datei/Öffnen"));
        QVERIFY(question.Icon == TMsgIcon::Information);
        QVERIFY(question.Buttons == TMsgButtons::OkCancel);
        // The open dialog starts where the last project was chosen.
        QCOMPARE(w.Dialogs().FileDialogs.size(), 2);
        QCOMPARE(w.Dialogs().FileDialogs[1].Directory + '/', box.Path(""));
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"a.dxf", "b.dxf"}));
        const auto& jobs = w.Form().Project().Jobs.Elements();
        QCOMPARE(std::vector<std::string>(jobs.begin(), jobs.end()), (std::vector<std::string>{a, b}));
        QVERIFY(w.Get<QRadioButton>("RadioButton5")->isChecked());
        QVERIFY(w.Get<QRadioButton>("RadioButton6")->isChecked());
        QCOMPARE(w.Get<QSpinBox>("LayoutEd")->value(), 300);
        QCOMPARE(w.Get<QLineEdit>("DirectoryEdit1")->text(), QString("/srv/out"));
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]"));

        QVERIFY(!w.Form().Modified());

        // "Speichern" now writes to the project's path without a dialog.
        w.Form().AddDroppedDrawings({p + "a.dxf"});
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]*"));
        w.Click("SaveBtn");
        QCOMPARE(w.Dialogs().FileDialogs.size(), 2);
        QCOMPARE(ReadAll(box.Path("p.kpj")).substr(27, 4), I32(3));
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]"));
    }

    void OnlyUnsavedChangesAreMarkedAndAskedFor() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        TWindow w(box);
        // An untouched window: nothing to lose, no question.
        QVERIFY(!w.Form().Modified());
        w.Click("NewBtn");
        w.Click("OpenBtn");  // the open dialog comes at once (and is cancelled)
        QVERIFY(w.Dialogs().Messages.isEmpty());
        QCOMPARE(w.Dialogs().FileDialogs.size(), 1);
        // Adding, then removing again, is a change all the same.
        w.Form().AddDroppedDrawings({box.Path("plans/a.dxf")});
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]*"));
        w.Get<QListWidget>("ImageList")->selectAll();
        w.Click("DelBtn");
        QVERIFY(w.Form().Modified());
        // "Beenden" asks; Cancel keeps the window.
        w.Dialogs().Answers << false;
        w.Click("QuitBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QCOMPARE(w.Dialogs().Messages[0].Text, kLoseQuestion);
        QCOMPARE(w.Dialogs().Messages[0].Caption, QString("Beenden"));
        QVERIFY(w.Form().isVisible());
        // Saved, then a setting of the project changed: marked again.
        w.Dialogs().FileNames << box.Path("p.kpj");
        w.Click("SaveAsBtn");
        QVERIFY(!w.Form().Modified());
        w.Get<QLineEdit>("DirectoryEdit1")->setText("/srv/out");
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]*"));
        w.Click("SaveBtn");
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [p.kpj]"));
        // Typing a layout number chooses that layout only, and is a change.
        auto* number = w.Get<QSpinBox>("LayoutEd");
        number->setFocus();
        number->selectAll();
        QTest::keyClicks(number, "4");
        QCOMPARE(number->value(), 4);
        QVERIFY(w.Get<QRadioButton>("RadioButton6")->isChecked());
        QVERIFY(w.Form().Modified());
        w.Click("SaveBtn");
        // Nothing unsaved: "Beenden" closes without a question.
        w.Click("QuitBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QVERIFY(!w.Form().isVisible());
        // Opening the project gives back the layout choice it was saved with,
        // unchanged by the number it sets.
        TWindow again(box);
        again.Get<QRadioButton>("RadioButton2")->setChecked(true);
        again.Dialogs().FileNames << box.Path("p.kpj");
        again.Dialogs().Answers << true;
        again.Click("OpenBtn");
        QVERIFY(again.Get<QRadioButton>("RadioButton6")->isChecked());
        QVERIFY(!again.Form().Modified());
    }

    void SaveWithoutAProjectPathAsksForAName() {
        TSandbox box;
        TWindow w(box);
        w.Click("SaveBtn");  // cancelled: nothing written
        QCOMPARE(w.Dialogs().FileDialogs.size(), 1);
        QVERIFY(FilesIn(box.Path("")).isEmpty());
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]"));
    }

    void CancellingTheQuestionKeepsEverything() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/a.dxf")});
        w.Dialogs().Answers << false << false;
        w.Click("NewBtn");
        w.Click("OpenBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 2);
        QVERIFY(w.Dialogs().FileDialogs.isEmpty());
        QCOMPARE(w.Get<QListWidget>("ImageList")->count(), 1);
    }

    void AFileThatIsNoProjectChangesNothing() {
        TSandbox box;
        box.Write("plans/a.dxf", kWideLine);
        box.Write("bad.kpj", "Bramwick DXF 2 Plandrop 0.9" + I32(0) + Str("") + I32(2) + I32(1) + I32(1));
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/a.dxf")});
        w.Get<QRadioButton>("RadioButton5")->setChecked(true);
        w.Dialogs().FileNames << box.Path("bad.kpj");
        w.Click("OpenBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 2);
        const TShownMessage m = w.Dialogs().Messages[1];
        QCOMPARE(m.Text, QString("Dies ist keine gültige KPJ Projekt Datei"));
        QVERIFY(m.Icon == TMsgIcon::Error);
        QVERIFY(m.Buttons == TMsgButtons::Ok);
        QCOMPARE(m.Caption, QString());
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"a.dxf"}));
        QVERIFY(w.Get<QRadioButton>("RadioButton5")->isChecked());
        // The changes before are still not saved.
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]*"));
    }

    void ADamagedProjectKeepsTheEntriesReadBeforeTheDamage() {
        TSandbox box;
        box.Write("t.kpj", "Bramwick DXF 2 Plandrop 1.0"s + I32(3) + Str("/d/x.dxf") + Str("y.dxf") + I32(40));
        TWindow w(box);
        w.Dialogs().FileNames << box.Path("t.kpj");
        w.Click("OpenBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QVERIFY(w.Dialogs().Messages[0].Text.startsWith("KPJ Projekt Datei öffnen: Die Datei t.kpj ist beschädigt"));
        QVERIFY(w.Dialogs().Messages[0].Icon == TMsgIcon::Error);
        // The second entry has no folder: it lies in the project's folder.
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"x.dxf", "y.dxf"}));
        QCOMPARE(w.Form().Project().Jobs[1], box.Path("y.dxf").toStdString());
        // The entries read are saved nowhere.
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]*"));
    }

    void AProjectThatCannotBeWrittenSaysWhich() {
        TSandbox box;
        TWindow w(box);
        w.Dialogs().FileNames << box.Path("missing/p.kpj");
        w.Click("SaveAsBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QCOMPARE(w.Dialogs().Messages[0].Text,
                 QString("KPJ Projekt Datei speichern: Konnte die folgende Datei nicht erstellen: p.kpj !"));
        QVERIFY(w.Dialogs().Messages[0].Icon == TMsgIcon::Error);
        QCOMPARE(w.Form().windowTitle(), QString("Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]"));
    }

    void AProjectThatCannotBeOpenedSaysWhich() {
        TSandbox box;
        TWindow w(box);
        w.Dialogs().FileNames << box.Path("gone.kpj");
        w.Click("OpenBtn");
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QCOMPARE(w.Dialogs().Messages[0].Text,
                 QString("KPJ Projekt Datei öffnen: Konnte folgende Datei nicht öffnen: gone.kpj !"));
        QVERIFY(!w.Form().Modified());
    }
};

QObject* NewProjectTest() { return new TProjectTest; }

#include "project_test.moc"
