// The first page: the file list of the folder tree's folder, adding files
// (by button, double-click, Enter and dropping), the favourites, removing
// entries, and the button that only changes the page.
#include <QAction>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include "gui/file_browser.h"
#include "gui/job_list_box.h"
#include "gui_tests.h"
#include "window_fixture.h"

namespace {
QTreeWidgetItem* ItemNamed(TFileList* list, const QString& name) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == name) return list->topLevelItem(i);
    return nullptr;
}

QPoint CentreOf(TFileList* list, const QString& name) {
    return list->visualItemRect(ItemNamed(list, name)).center();
}

QPoint CentreOf(QListWidget* list, int row) { return list->visualItemRect(list->item(row)).center(); }

// A user's double-click: press and release, then the second press.
void DoubleClick(QAbstractItemView* view, QPoint at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// A folder with drawings (in either case of ".dxf"), a file of another kind
// and a sub-folder.
void MakePlans(const TSandbox& box) {
    box.Write("plans/b.dxf", kWideLine);
    box.Write("plans/a.dxf", kTallLine);
    box.Write("plans/C.DXF", kWideLine);
    box.Write("plans/notes.txt", "not a drawing");
    box.Write("plans/sub/d.dxf", kWideLine);
}

std::vector<std::string> Jobs(TWindow& w) {
    const auto& e = w.Form().Project().Jobs.Elements();
    return {e.begin(), e.end()};
}

void Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}
}  // namespace

class TFirstPageTest : public QObject {
    Q_OBJECT
private slots:
    void FileListShowsFoldersThenDrawingsOfTheTreesFolder() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        QVERIFY(w.Get<TFolderTree>("FolderTree")->SetSelectedFolder(box.Path("plans")));
        auto* files = w.Get<TFileList>("FileList");
        QStringList names;
        for (int i = 0; i < files->topLevelItemCount(); ++i) names << files->topLevelItem(i)->text(0);
        QCOMPARE(names, QStringList({"sub", "a.dxf", "b.dxf", "C.DXF"}));
        QVERIFY(TFileList::IsFolder(files->topLevelItem(0)));
        QVERIFY(!TFileList::IsFolder(files->topLevelItem(1)));
    }

    void AddingSelectedFilesAppendsThemAndMakesTheirFolderTheTopFavourite() {
        TSandbox box;
        MakePlans(box);
        box.Write("program/folders.dat", "/x/\r\n");
        TWindow w(box);
        w.Get<TFolderTree>("FolderTree")->SetSelectedFolder(box.Path("plans"));
        auto* files = w.Get<TFileList>("FileList");
        // The folder selected too is skipped; the list's order counts.
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, CentreOf(files, "C.DXF"));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::ControlModifier, CentreOf(files, "sub"));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::ControlModifier, CentreOf(files, "a.dxf"));
        w.Click("AddBtn");
        const std::string plans = box.Path("plans/").toStdString();
        QCOMPARE(Jobs(w), (std::vector<std::string>{plans + "a.dxf", plans + "C.DXF"}));
        auto* jobs = w.Get<QListWidget>("ImageList");
        QCOMPARE(Items(jobs), QStringList({"a.dxf", "C.DXF"}));
        QCOMPARE(jobs->currentRow(), 0);
        QVERIFY(w.Get<QPushButton>("DelBtn")->isEnabled());
        QCOMPARE(Items(w.Get<QListWidget>("PrefListBox")), QStringList({box.Path("plans/"), "/x/"}));
        QCOMPARE(ReadAll(box.ProgramFolder() + "folders.dat"), plans + "\r\n/x/\r\n");
        // Adding the same file again gives a second entry.
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, CentreOf(files, "a.dxf"));
        w.Click("AddBtn");
        QCOMPARE(Items(jobs), QStringList({"a.dxf", "C.DXF", "a.dxf"}));
    }

    void DoubleClickOpensAFolderAndAddsAFile() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        auto* tree = w.Get<TFolderTree>("FolderTree");
        auto* files = w.Get<TFileList>("FileList");
        tree->SetSelectedFolder(box.Path("plans"));
        DoubleClick(files, CentreOf(files, "sub"));
        QCOMPARE(tree->SelectedFolder(), box.Path("plans/sub"));
        QCOMPARE(files->Folder(), box.Path("plans/sub"));
        DoubleClick(files, CentreOf(files, "d.dxf"));
        QCOMPARE(Jobs(w), std::vector<std::string>{box.Path("plans/sub/d.dxf").toStdString()});
        // Enter acts as the double-click.
        tree->SetSelectedFolder(box.Path("plans"));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, CentreOf(files, "b.dxf"));
        QTest::keyClick(files, Qt::Key_Return);
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"d.dxf", "b.dxf"}));
    }

    void AFavouriteOpensItsFolderByDoubleClickOrEnter() {
        TSandbox box;
        MakePlans(box);
        box.Write("program/folders.dat", (box.Path("plans/") + "\r\n" + box.Path("plans/sub/") + "\r\n").toStdString());
        TWindow w(box);
        auto* prefs = w.Get<QListWidget>("PrefListBox");
        auto* tree = w.Get<TFolderTree>("FolderTree");
        DoubleClick(prefs, CentreOf(prefs, 1));
        QCOMPARE(tree->SelectedFolder(), box.Path("plans/sub"));
        QCOMPARE(w.Get<TFileList>("FileList")->topLevelItem(0)->text(0), QString("d.dxf"));
        prefs->setCurrentRow(0);
        QTest::keyClick(prefs, Qt::Key_Return);
        QCOMPARE(tree->SelectedFolder(), box.Path("plans"));
        // Opening a favourite does not reorder the favourites.
        QCOMPARE(Items(prefs), QStringList({box.Path("plans/"), box.Path("plans/sub/")}));
    }

    void OpeningAFavouriteShowsAllOfItsFilesWhateverWasSelected() {
        TSandbox box;
        MakePlans(box);
        box.Write("plans/sub/e.dxf", kTallLine);
        // Enough drawings in the first folder that the list scrolls to the
        // one selected.
        for (int i = 10; i < 60; ++i) box.Write(QString("plans/p%1.dxf").arg(i), kWideLine);
        box.Write("program/folders.dat", (box.Path("plans/sub/") + "\r\n" + box.Path("plans/") + "\r\n").toStdString());
        TWindow w(box);
        auto* tree = w.Get<TFolderTree>("FolderTree");
        auto* files = w.Get<TFileList>("FileList");
        tree->SetSelectedFolder(box.Path("plans"));
        files->scrollToItem(ItemNamed(files, "p50.dxf"));
        QTest::qWait(20);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, CentreOf(files, "p50.dxf"));
        auto* prefs = w.Get<QListWidget>("PrefListBox");
        DoubleClick(prefs, CentreOf(prefs, 0));
        QCOMPARE(tree->SelectedFolder(), box.Path("plans/sub"));
        QStringList names;
        for (int i = 0; i < files->topLevelItemCount(); ++i) names << files->topLevelItem(i)->text(0);
        QCOMPARE(names, QStringList({"d.dxf", "e.dxf"}));
        // What the screen shows is the new folder's list: every row drawn
        // anew, not only the one that was selected.
        auto screenShowsTheList = [&] {
            QTest::qWait(50);
            const QRect r(files->viewport()->mapTo(&w.Form(), QPoint(0, 0)), files->viewport()->size());
            const QImage shown = w.Form().screen()->grabWindow(w.Form().winId()).toImage().copy(r);
            const QImage fresh = files->viewport()->grab().toImage();
            return shown.convertToFormat(QImage::Format_RGB32) == fresh.convertToFormat(QImage::Format_RGB32);
        };
        QVERIFY(screenShowsTheList());
        QVERIFY(files->selectedItems().isEmpty());
        // Double-clicking a row adds the file it shows.
        DoubleClick(files, CentreOf(files, "e.dxf"));
        QCOMPARE(Jobs(w), std::vector<std::string>{box.Path("plans/sub/e.dxf").toStdString()});
        // Enter on a favourite, with a file of the list selected: the list
        // starts at its top, nothing selected.
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, CentreOf(files, "d.dxf"));
        prefs->setFocus();
        prefs->setCurrentRow(1);
        QTest::keyClick(prefs, Qt::Key_Return);
        QCOMPARE(files->Folder(), box.Path("plans"));
        QCOMPARE(files->topLevelItemCount(), 54);  // sub, a, b, C and p10 to p59
        QVERIFY(files->selectedItems().isEmpty());
        QCOMPARE(files->verticalScrollBar()->value(), 0);
        QVERIFY(screenShowsTheList());
    }

    void AFavouriteIsRemovedByDeleteOrItsMenuAndAVanishedOneOnOpening() {
        TSandbox box;
        MakePlans(box);
        const QString p = box.Path("plans/"), gone = box.Path("gone/");
        box.Write("program/folders.dat", (p + "\r\n" + gone + "\r\n" + p + "sub/\r\n/x/\r\n").toStdString());
        TWindow w(box);
        auto* prefs = w.Get<QListWidget>("PrefListBox");
        // A folder that is no more is shown as such.
        QCOMPARE(prefs->item(1)->toolTip(), QString("Dieser Ordner existiert nicht mehr"));
        QVERIFY(prefs->item(0)->toolTip().isEmpty());
        prefs->setCurrentRow(3);
        QTest::keyClick(prefs, Qt::Key_Delete);
        QCOMPARE(Items(prefs), QStringList({p, gone, p + "sub/"}));
        QCOMPARE(ReadAll(box.ProgramFolder() + "folders.dat"), (p + "\r\n" + gone + "\r\n" + p + "sub/\r\n").toStdString());
        prefs->setCurrentRow(2);
        auto* remove = prefs->findChild<QAction*>("RemoveFavouriteAction");
        QVERIFY(prefs->actions().contains(remove));
        QCOMPARE(remove->text(), QString("Aus den Lieblings Ordnern entfernen"));
        remove->trigger();
        QCOMPARE(Items(prefs), QStringList({p, gone}));
        // Opening the vanished one says so and removes it; the tree stays.
        const QString before = w.Get<TFolderTree>("FolderTree")->SelectedFolder();
        DoubleClick(prefs, CentreOf(prefs, 1));
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QCOMPARE(w.Dialogs().Messages[0].Text,
                 "Der Ordner \"" + gone + "\" existiert nicht mehr. Er wird aus den Lieblings Ordnern entfernt.");
        QCOMPARE(Items(prefs), QStringList({p}));
        QCOMPARE(ReadAll(box.ProgramFolder() + "folders.dat"), (p + "\r\n").toStdString());
        QCOMPARE(w.Get<TFolderTree>("FolderTree")->SelectedFolder(), before);
    }

    void TheJobListShowsEachEntrysFullPathAsItsToolTip() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "a.dxf", p + "sub/d.dxf"});
        auto* jobs = w.Get<QListWidget>("ImageList");
        QCOMPARE(jobs->item(0)->toolTip(), p + "a.dxf");
        QCOMPARE(jobs->item(1)->toolTip(), p + "sub/d.dxf");
    }

    void RemovingTheSelectedEntries() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "a.dxf", p + "b.dxf", p + "C.DXF", p + "sub/d.dxf", p + "a.dxf"});
        auto* jobs = w.Get<QListWidget>("ImageList");
        QTest::mouseClick(jobs->viewport(), Qt::LeftButton, {}, CentreOf(jobs, 1));
        QTest::mouseClick(jobs->viewport(), Qt::LeftButton, Qt::ControlModifier, CentreOf(jobs, 3));
        w.Click("DelBtn");
        QCOMPARE(Items(jobs), QStringList({"a.dxf", "C.DXF", "a.dxf"}));
        // Delete in the list removes too; an empty list disables the button.
        jobs->selectAll();
        QTest::keyClick(jobs, Qt::Key_Delete);
        QCOMPARE(jobs->count(), 0);
        QVERIFY(w.Form().Project().Jobs.Empty());
        QVERIFY(!w.Get<QPushButton>("DelBtn")->isEnabled());
    }

    void EnterAndDoubleClickMakeTheSelectedEntryCurrent() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "a.dxf", p + "b.dxf", p + "C.DXF"});
        auto* jobs = w.Get<QListWidget>("ImageList");
        QCOMPARE(w.Form().Project().Jobs.GetCursor(), -1);
        DoubleClick(jobs, CentreOf(jobs, 2));
        QCOMPARE(w.Form().Project().Jobs.GetCursor(), 2);
        jobs->setCurrentRow(1);
        QTest::keyClick(jobs, Qt::Key_Return);
        QCOMPARE(w.Form().Project().Jobs.GetCursor(), 1);
        QCOMPARE(jobs->count(), 3);
    }

    void DrawingsDroppedOntoTheJobListAreAdded() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        const QString p = box.Path("plans/");
        Drop(w.Get<QListWidget>("ImageList")->viewport(),
             {QUrl::fromLocalFile(p + "b.dxf"), QUrl::fromLocalFile(p + "notes.txt"), QUrl::fromLocalFile(p + "sub"),
              QUrl::fromLocalFile(p + "sub/d.dxf"), QUrl("https://example.org/x.dxf"), QUrl::fromLocalFile(p + "C.DXF")});
        QCOMPARE(Items(w.Get<QListWidget>("ImageList")), QStringList({"b.dxf", "d.dxf", "C.DXF"}));
        // Each drawing's folder became the top favourite in its turn.
        QCOMPARE(Items(w.Get<QListWidget>("PrefListBox")), QStringList({p, p + "sub/"}));
    }

    void ConvertBtnOnlyChangesThePage() {
        TSandbox box;
        MakePlans(box);
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/a.dxf")});
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));
        w.Click("ConvertBtn");
        QCOMPARE(w.Get<QTabWidget>("PageControl2")->currentIndex(), 1);
        QVERIFY(!w.Form().Running());
        QTest::qWait(50);
        QVERIFY(w.Log().isEmpty());
        QVERIFY(!QFileInfo::exists(box.Path("out")));
        QCOMPARE(w.Get<QListWidget>("ImageList")->count(), 1);
    }
};

QObject* NewFirstPageTest() { return new TFirstPageTest; }

#include "first_page_test.moc"
