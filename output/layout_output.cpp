#include "output/layout_output.h"

#include <cstdio>
#include <memory>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/sink.h"
#include "output/text_file.h"
#include "platform/scoped.h"

namespace {
void WriteText(const std::string& path, bool helperThread, TLayoutDrawing& drawing, const std::atomic<bool>* cancel,
               bool& created) {
    TPDFCanvas sink;
    sink.TextMode = true;
    sink.TextFile().Bind(path);
    sink.TextFile().WriteOnThread(helperThread);
    if (helperThread) sink.TextFile().ShareThread(drawing.SideWork());
    sink.TextFile().Rewrite();
    created = true;
    // Removes the partial file when the user interrupted the layout.
    bool finished = false;
    TOnExit removePartial([&] {
        if (finished || !cancel || !cancel->load()) return;
        try {
            sink.TextFile().Close();
        } catch (...) {
        }
        std::remove(path.c_str());
        created = false;
    });
    drawing.Draw(sink);
    drawing.Drawn();
    sink.TextFile().Close();
    finished = true;
}

void WriteDxf(const std::string& path, bool helperThread, TLayoutDrawing& drawing) {
    // What the measuring drawing left out is left out again by the second
    // and reported after it.
    TDxfStreamPlan plan;
    {
        TPDFCanvas probe;
        probe.Exporter = std::make_unique<TkrDXFExport>();
        probe.Exporter->MeasureOnly();
        probe.Exporter->ReadOnThread(helperThread);
        if (helperThread) probe.Exporter->ShareThread(drawing.SideWork());
        drawing.Draw(probe);
        probe.Exporter->FinishDrawing();
        drawing.NoSideWork();
        plan = probe.Exporter->Plan();
        drawing.Again();
    }
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    sink.Exporter->ReadOnThread(helperThread);
    if (!sink.Exporter->StreamDirect(path, plan)) sink.Exporter->StreamTo(path);
    try {
        drawing.Draw(sink);
        drawing.Drawn();
        sink.Exporter->FinishDrawing();
        try {
            sink.Exporter->SaveToFile(path);
        } catch (const EDxfPlanMismatch&) {
            // Only a drawing that draws differently the second time gets here.
            sink.Exporter = std::make_unique<TkrDXFExport>();
            sink.Exporter->ReadOnThread(helperThread);
            sink.Exporter->StreamTo(path);
            drawing.Again();
            drawing.Draw(sink);
            sink.Exporter->FinishDrawing();
            drawing.Drawn();
            sink.Exporter->SaveToFile(path);
        }
    } catch (const EFileError& e) {
        // The writer's message does not say which file (the text file's does).
        throw EFileError(std::string(e.what()) + " (output file '" + path + "')");
    }
}
}  // namespace

void WriteLayout(TLayoutForm form, const std::string& path, bool helperThread, TLayoutDrawing& drawing,
                 const std::atomic<bool>* cancel, bool& created) {
    if (form == TLayoutForm::Text) return WriteText(path, helperThread, drawing, cancel, created);
    WriteDxf(path, helperThread, drawing);
}
