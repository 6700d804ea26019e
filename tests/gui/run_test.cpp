// The conversion run from GoBtn: output files and the exact log lines in
// Memo1, the messages of a run that cannot start or ends in an error, the
// run off the user-interface thread stopped by Esc or by closing the window,
// and the progress panel.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "gui/progress_panel.h"
#include "gui/run_thread.h"
#include "gui_tests.h"
#include "window_fixture.h"

namespace {
// Starts the run and waits for its end.
void RunToEnd(TWindow& w) {
    QSignalSpy done(&w.Form(), &TMainForm::RunFinished);
    w.Click("GoBtn");
    QVERIFY(done.wait(20000));
}

// The columns of the middle row of a panel painted in the bar's colour.
int BluePixels(QWidget* panel) {
    const QImage image = panel->grab().toImage();
    int blue = 0;
    for (int x = 0; x < image.width(); ++x)
        if (QColor(image.pixel(x, image.height() / 2)) == kProgressColour) ++blue;
    return blue;
}

// A drawing that arrives only when the test writes it: the run waits in
// reading it, while the window goes on handling events.
class TSlowDrawing {
public:
    explicit TSlowDrawing(const QString& path) : Path(path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (::mkfifo(qPrintable(path), 0600) != 0) qFatal("mkfifo failed");
    }
    // Hands the drawing to the run once it has opened the file.
    bool Deliver(const std::string& text) {
        int fd = -1;
        for (int i = 0; i < 1000 && fd < 0; ++i) {
            fd = ::open(qPrintable(Path), O_WRONLY | O_NONBLOCK);
            if (fd < 0) QTest::qWait(10);
        }
        if (fd < 0) return false;
        const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ::close(fd);
        return ok;
    }

private:
    QString Path;
};
}  // namespace

class TRunTest : public QObject {
    Q_OBJECT
private slots:
    void TwoDrawingsInTextFormGiveTheirFilesAndTheLogLines() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        box.Write("plans/tall.dxf", kTallLine);
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "wide.dxf", p + "tall.dxf"});
        w.Click("ConvertBtn");
        QTest::mouseClick(w.Get<QRadioButton>("RadioButton5"), Qt::LeftButton);
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));  // made by the run
        RunToEnd(w);
        const QStringList first = {p + "wide.dxf geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
                                   p + "tall.dxf geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
                                   "2 Dateien/Layout konvertiert..."};
        QCOMPARE(w.Log(), first);
        QCOMPARE(FilesIn(box.Path("out")), QStringList({"tall.txt", "wide.txt"}));
        // (0,0)-(100,50) with a margin of 12.5 x 6.25 around it fills 600000 x
        // 300000 at 4800 per unit; (0,0)-(50,100) fills 600000 x 1200000 at
        // 9600 per unit; y grows downwards.
        QCOMPARE(ReadAll(box.Path("out/wide.txt")), std::string("60000;270000;540000;30000\r\n"));
        QCOMPARE(ReadAll(box.Path("out/tall.txt")), std::string("60000;1080000;540000;120000\r\n"));
        QVERIFY(w.Dialogs().Messages.isEmpty());
        QVERIFY(w.Get<QPushButton>("GoBtn")->isEnabled());

        // A second run appends below and takes the next free names.
        RunToEnd(w);
        QCOMPARE(w.Log(), first + first);
        QCOMPARE(FilesIn(box.Path("out")), QStringList({"tall.txt", "tall0.txt", "wide.txt", "wide0.txt"}));
    }

    void TheSingleLayoutNumberComesFromLayoutEd() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/wide.dxf")});
        w.Get<QRadioButton>("RadioButton6")->setChecked(true);
        w.Get<QSpinBox>("LayoutEd")->setValue(2);
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));
        RunToEnd(w);
        // The drawing has no layout 2: the log says so.
        QCOMPARE(w.Log(), QStringList({box.Path("plans/wide.dxf geladen..."), "1 Layouts gefunden...",
                                       "Warnung: " + box.Path("plans/wide.dxf") +
                                           ": Layout 2 nicht konvertiert: die Zeichnung hat nur 1 Layout",
                                       "0 Dateien/Layout konvertiert..."}));
        QVERIFY(FilesIn(box.Path("out")).isEmpty());
        // The DXF form of layout 1.
        w.Get<QSpinBox>("LayoutEd")->setValue(1);
        RunToEnd(w);
        QCOMPARE(FilesIn(box.Path("out")), QStringList({"wide.dxf"}));
        QVERIFY(ReadAll(box.Path("out/wide.dxf")).rfind("  0\r\nSECTION\r\n", 0) == 0);
    }

    void AnOutputFolderThatCannotBeMadeIsReportedBeforeAnything() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        box.Write("taken", "a file, not a folder");
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/wide.dxf")});
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("taken"));
        RunToEnd(w);
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QCOMPARE(w.Dialogs().Messages[0].Text, QString("Konnte den Ausgabeordner nicht erzeugen!"));
        QVERIFY(w.Dialogs().Messages[0].Icon == TMsgIcon::Error);
        QCOMPARE(w.Dialogs().Messages[0].Caption, QString());
        QVERIFY(w.Log().isEmpty());
    }

    void AnEmptyOutputFolderConvertsIntoTheProgramFolder() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/wide.dxf")});
        w.Get<QLineEdit>("DirectoryEdit1")->setText("");
        RunToEnd(w);
        QVERIFY(FilesIn(box.ProgramFolder()).contains("wide.dxf"));
    }

    void AnErrorEndsTheRunAndIsReported() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "wide.dxf", p + "wide.dxf"});
        QVERIFY(QFile::remove(p + "wide.dxf"));
        box.Write("plans/wide.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nx\n0\nEOF\n");
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));
        RunToEnd(w);
        // The message names the drawing with its full path.
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        QVERIFY2(w.Dialogs().Messages[0].Text.startsWith(p + "wide.dxf: DXF read error on line 8: x"),
                 qPrintable(w.Dialogs().Messages[0].Text));
        QVERIFY(w.Dialogs().Messages[0].Icon == TMsgIcon::Error);
        // The run ended at the first entry: no count, the error in the log
        // on one line.
        QCOMPARE(w.Log().size(), 1);
        QVERIFY2(w.Log()[0].startsWith("Fehler: " + p + "wide.dxf: DXF read error on line 8: x "), qPrintable(w.Log()[0]));
    }

    void EscStopsARunningConversion() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        TSlowDrawing slow(box.Path("plans/slow.dxf"));
        TWindow w(box);
        const QString p = box.Path("plans/");
        // The slow drawing comes first, so the run is waiting in it when Esc
        // arrives. (It is no regular file: a drop would leave it out.)
        w.Form().AddDroppedDrawings({p + "slow.dxf", p + "wide.dxf"});
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));
        QSignalSpy done(&w.Form(), &TMainForm::RunFinished);
        w.Click("GoBtn");
        QVERIFY(w.Form().Running());
        QVERIFY(!w.Get<QPushButton>("GoBtn")->isEnabled());
        // The window handles keys while the run waits for its drawing.
        // While it waits, the status bar names the file and its place in
        // the job list, the percentage stands beside the bar.
        QTRY_COMPARE(w.Get<QLabel>("StatusBar1Panel0")->text(), QString("1/2 slow.dxf wird gelesen..."));
        QCOMPARE(w.Get<QLabel>("StatusBar1Percent")->text(), QString("0 %"));
        QTest::keyClick(&w.Form(), Qt::Key_Escape);
        QVERIFY(slow.Deliver(kWideLine));
        QVERIFY(done.wait(20000));
        // The drawing was read, then the run stopped before its layout; the
        // next drawing is not touched; no count line, no message, but the
        // log says the run was stopped.
        QCOMPARE(w.Log(), QStringList({p + "slow.dxf geladen...", "1 Layouts gefunden...",
                                       "Umwandlung abgebrochen: noch kein Layout konvertiert."}));
        QVERIFY(w.Get<QLabel>("StatusBar1Panel0")->text().isEmpty());
        QVERIFY(w.Get<QLabel>("StatusBar1Percent")->text().isEmpty());
        QVERIFY(FilesIn(box.Path("out")).isEmpty());
        QVERIFY(w.Dialogs().Messages.isEmpty());
        QVERIFY(w.Get<QPushButton>("GoBtn")->isEnabled());
        QCOMPARE(w.Get<TProgressPanel>("StatusBar1Panel1")->Percent(), 0);
    }

    void ClosingDuringARunAsksFirst() {
        TSandbox box;
        TSlowDrawing slow(box.Path("plans/slow.dxf"));
        TWindow w(box);
        w.Form().AddDroppedDrawings({box.Path("plans/slow.dxf")});
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));
        QSignalSpy done(&w.Form(), &TMainForm::RunFinished);
        w.Click("GoBtn");
        // Cancel: the run goes on, the window stays.
        w.Dialogs().Answers << false;
        QVERIFY(!w.Form().close());
        QCOMPARE(w.Dialogs().Messages.size(), 1);
        const TShownMessage question = w.Dialogs().Messages[0];
        QVERIFY(question.Icon == TMsgIcon::Information);
        QVERIFY(question.Buttons == TMsgButtons::OkCancel);
        QCOMPARE(question.Caption, QString("Beenden"));
        QVERIFY(w.Form().isVisible());
        // OK: the run stops and the window closes when it has ended.
        QVERIFY(!w.Form().close());
        QCOMPARE(w.Dialogs().Messages.size(), 2);
        QVERIFY(w.Form().isVisible());
        QVERIFY(slow.Deliver(kWideLine));
        QVERIFY(done.wait(20000));
        QTRY_VERIFY(!w.Form().isVisible());
        QCOMPARE(w.Log().size(), 3);  // read, then stopped before the layout
        QVERIFY(FilesIn(box.Path("out")).isEmpty());
    }

    void WarningsFollowTheirDrawingsLinesAndTheStatusNamesTheLayout() {
        TSandbox box;
        box.Write("plans/wide.dxf", kWideLine);
        // An insert of an external drawing that is not there, and an empty
        // drawing.
        box.Write("plans/xref.dxf", "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nX\n70\n4\n1\nnone.dxf\n10\n0\n20\n0\n0\nENDBLK\n"
                                    "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\nX\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n");
        box.Write("plans/empty.dxf", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
        TWindow w(box);
        const QString p = box.Path("plans/");
        w.Form().AddDroppedDrawings({p + "wide.dxf", p + "xref.dxf", p + "empty.dxf"});
        w.Get<QLineEdit>("DirectoryEdit1")->setText(box.Path("out"));
        RunToEnd(w);
        QCOMPARE(w.Log(), QStringList({p + "wide.dxf geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
                                       p + "xref.dxf geladen...", "1 Layouts gefunden...",
                                       "Warnung: " + p + "xref.dxf: external reference 'none.dxf' not found: shown as its path",
                                       "Konvertiere nun Layout Nummer 1...",
                                       p + "empty.dxf geladen...", "1 Layouts gefunden...", "Konvertiere nun Layout Nummer 1...",
                                       "Warnung: " + p + "empty.dxf: Layout 1 ist leer: es enthält nichts Sichtbares, die "
                                                         "Ausgabe bleibt leer",
                                       "3 Dateien/Layout konvertiert..."}));
        QCOMPARE(FilesIn(box.Path("out")), QStringList({"empty.dxf", "wide.dxf", "xref.dxf"}));
        QVERIFY(w.Get<QLabel>("StatusBar1Panel0")->text().isEmpty());
        // What the text panel can show, by file and layout.
        QCOMPARE(RunStatusText({0, 3, 0, 0, 40, (p + "wide.dxf").toStdString()}), QString("1/3 wide.dxf wird gelesen..."));
        QCOMPARE(RunStatusText({2, 3, 1, 2, 100, (p + "empty.dxf").toStdString()}), QString("3/3 empty.dxf - Layout 1 von 2"));
        QVERIFY(RunStatusText({}).isEmpty());
    }

    void ProgressPanelAtHalfOfFiftyPixelsPaintsTwentyFiveBlue() {
        TSandbox box;
        TWindow w(box);
        auto* panel = w.Get<TProgressPanel>("StatusBar1Panel1");
        QCOMPARE(panel->width(), 50);
        QCOMPARE(BluePixels(panel), 0);
        w.Form().SetProStatus(50);
        QCOMPARE(BluePixels(panel), 25);
        const QImage image = panel->grab().toImage();
        QCOMPARE(QColor(image.pixel(24, image.height() / 2)), kProgressColour);
        QCOMPARE(QColor(image.pixel(25, image.height() / 2)), panel->palette().color(QPalette::Button));
        w.Form().SetProStatus(100);
        QCOMPARE(BluePixels(panel), 50);
        w.Form().SetProStatus(3);  // 50 * 3 / 100 = 1
        QCOMPARE(BluePixels(panel), 1);
        QCOMPARE(ProgressSplit(QRect(10, 0, 50, 20), 99), 10 + 49);
        QCOMPARE(ProgressSplit(QRect(0, 0, 50, 20), 250), 50);
    }

    void RunPercentGivesEachFileAnEqualShare() {
        TRunProgress p;
        QCOMPARE(RunPercent(p), 0);  // no files
        p.FileCount = 4;
        p.FileIndex = 1;
        p.Percent = 50;  // a quarter of the second file's share of 25
        QCOMPARE(RunPercent(p), 31);
        p.Layout = 1;
        p.LayoutCount = 2;  // reading done
        QCOMPARE(RunPercent(p), 37);
        p.Layout = 2;  // the first layout done
        QCOMPARE(RunPercent(p), 43);
        p.FileIndex = 3;
        p.Layout = 3;
        p.LayoutCount = 3;
        QCOMPARE(RunPercent(p), 95);
    }
};

QObject* NewRunTest() { return new TRunTest; }

#include "run_test.moc"
