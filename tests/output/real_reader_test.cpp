// Every kind of file this writer produces is opened and audited by a real
// DXF reader (ezdxf through the system Python).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/dxf_writer.h"

namespace fs = std::filesystem;

namespace {

bool HaveEzdxf() {
    return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0;
}

// Draws one of each kind of figure on a recording canvas.
void DrawOnCanvas(TRecordingCanvas& c) {
    c.Pen.Color = 0x0000FF;
    c.Pen.Width = 2;
    c.MoveTo(0, 0);
    c.LineTo(1000, 500);
    c.Pen.Style = psDashDot;
    c.LineTo(1500, -200);
    c.Pen.Style = psDot;
    c.Pen.Width = 0;
    c.LineTo(0, 0);
    c.Pen.Style = psSolid;
    const TPoint tri[] = {{0, 0}, {300, 0}, {150, 300}};
    c.Brush.Color = 0x0000FF;
    c.Polygon(tri);  // same colour: a hatch only
    c.Brush.Color = 0x00FF00;
    const TPoint quad[] = {{400, 0}, {700, 0}, {700, 300}, {400, 300}};
    c.Polygon(quad);  // hatch and outline
    const TPoint big[] = {{-50000, 0}, {50000, 0}, {0, 40000}};
    c.Polygon(big);
    c.Brush.Style = bsClear;
    c.Rectangle(100, 100, 900, 600);
    c.Ellipse(0, 0, 100, 99);
    c.Ellipse(0, 0, 201, 99);
    c.Font.Name = "Arial";
    c.Font.Height = -40;
    c.Font.Italic = true;
    c.Font.Color = 0x00FFFF;
    c.TextOut(10, 20, "Caf\xE9 ABC");
    c.Font.Underline = true;
    c.Font.Escapement = 900;
    c.SetTextAlign(TA_BASELINE | TA_CENTER);
    c.TextOut(100, 200, "Turned");
}

// One recording with everything the canvas draws followed by the shapes the
// canvas never produces directly, read in one conversion.
void DrawEverything(TkrDXFExport& w) {
    TRecordingCanvas c;
    DrawOnCanvas(c);
    TEmfRecording recs = c.Close();
    recs.pop_back();  // the end record; the rest follows
    EMRCREATEPEN pen;
    pen.ihPen = 1;
    pen.lopn.lopnColor = 0xFF0000;
    recs.push_back(pen);
    recs.push_back(EMRSELECTOBJECT{EmrType::EMR_SELECTOBJECT, 1});
    EMRCREATEBRUSHINDIRECT brush;
    brush.ihBrush = 2;
    brush.lb = {BS_HATCHED, 0x808080, HS_DIAGCROSS};
    recs.push_back(brush);
    recs.push_back(EMRSELECTOBJECT{EmrType::EMR_SELECTOBJECT, 2});
    EMRPOLYLINE16 bez;
    bez.iType = EmrType::EMR_POLYBEZIER16;
    bez.apts = {{0, 0}, {100, 200}, {200, 200}, {300, 0}, {400, -200}, {500, -200}, {600, 0}};
    bez.cpts = 7;
    recs.push_back(bez);
    EMRARC arc;
    arc.iType = EmrType::EMR_ARC;
    arc.rclBox = {-100, -100, 99, 99};
    arc.ptlStart = {100, 0};
    arc.ptlEnd = {0, -100};
    recs.push_back(arc);
    arc.iType = EmrType::EMR_PIE;
    arc.rclBox = {-200, -100, 199, 99};
    recs.push_back(arc);
    EMRANGLEARC aa;
    aa.ptlCenter = {50, 50};
    aa.nRadius = 30;
    aa.eStartAngle = 10;
    aa.eSweepAngle = 100;
    recs.push_back(aa);
    EMRROUNDRECT rr;
    rr.rclBox = {0, 0, 300, 200};
    rr.szlCorner = {40, 40};
    recs.push_back(rr);
    recs.push_back(EMRSETPIXELV{EmrType::EMR_SETPIXELV, {7, 7}, 0x00FF00});
    EMRPOLYPOLYLINE16 pp;
    pp.iType = EmrType::EMR_POLYPOLYGON16;
    pp.nPolys = 2;
    pp.aPolyCounts = {4, 3};
    pp.apts = {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {20, 20}, {60, 20}, {40, 60}};
    pp.cpts = 7;
    recs.push_back(pp);
    recs.push_back(EMRRECTANGLE{EmrType::EMR_ELLIPSE, {0, 0, 300, 100}});
    recs.push_back(EMREOF{});
    w.LoadFromMetafile(recs);
}

}  // namespace

TEST(RealReader, EzdxfAcceptsEveryProducedFile) {
    if (!HaveEzdxf()) GTEST_SKIP() << "ezdxf is not installed";
    fs::path dir = fs::temp_directory_path() / "dxf_output_real_reader";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<fs::path> files;
    {
        TkrDXFExport w;
        files.push_back(dir / "empty.dxf");
        w.SaveToFile(files.back().string());
    }
    {
        TkrDXFExport w;
        DrawEverything(w);
        files.push_back(dir / "everything.dxf");
        w.SaveToFile(files.back().string());
    }
    {
        TkrDXFExport w;
        DrawOnCanvas(w.GetCanvas());
        w.FinishDrawing();
        files.push_back(dir / "canvas.dxf");
        w.SaveToFile(files.back().string());
    }
    {
        // Two drawings in a row on one writer: the figures of both are written.
        TkrDXFExport w;
        w.GetCanvas().LineTo(10, 10);
        w.FinishDrawing();
        w.GetCanvas().Pen.Style = psDash;
        w.GetCanvas().LineTo(-10, 30);
        w.FinishDrawing();
        files.push_back(dir / "twice.dxf");
        w.SaveToFile(files.back().string());
    }
    std::string script =
        "import sys, ezdxf\n"
        "bad = 0\n"
        "for name in sys.argv[1:]:\n"
        "    doc = ezdxf.readfile(name)\n"
        "    auditor = doc.audit()\n"
        "    n = len(list(doc.modelspace()))\n"
        "    print(name, 'entities', n, 'errors', len(auditor.errors), 'fixes', len(auditor.fixes))\n"
        "    for e in auditor.errors: print('  error', e.message)\n"
        "    for e in auditor.fixes: print('  fix', e.message)\n"
        "    bad += len(auditor.errors) + len(auditor.fixes)\n"
        "sys.exit(1 if bad else 0)\n";
    fs::path py = dir / "audit.py";
    std::ofstream(py) << script;
    std::string cmd = "/usr/bin/python3 " + py.string();
    for (const auto& f : files) cmd += " " + f.string();
    cmd += " > " + (dir / "audit.log").string() + " 2>&1";
    int rc = std::system(cmd.c_str());
    std::ifstream log(dir / "audit.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(rc, 0) << text;
    EXPECT_NE(text.find("everything.dxf entities"), std::string::npos) << text;
    std::cout << text;
}
