// Loads arbitrary bytes as a DXF drawing, draws every layout onto a sink in
// DXF form and writes the simplified DXF text in memory: the whole conversion
// without files, each layout first measured as the conversion run does (the
// measured head and tail must be those of the written file). A read error is
// an expected outcome.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/conversion_run.h"
#include "model/errors.h"
#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/sink.h"
#include "platform/stroke_font.h"
#include "render/dxf_image.h"

#include "memory_xrefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TkrDXFImage g;
    // The entities finished on a thread of their own in every other file.
    g.Converter->FinishOnThread = (size & 1) != 0;
    // Texts drawn as LINEs in every other pair of sizes.
    static const std::shared_ptr<const TStrokeFonts> fonts = LoadStrokeFonts();
    if (size & 2) g.Lettering = fonts.get();
    try {
        // External references never come from the disk here.
        std::string text(reinterpret_cast<const char*>(data), size);
        TMemoryXrefs xrefs(text);
        g.LoadNested(std::move(text), "", &xrefs);
    } catch (const EkrError&) {
        return 0;
    }
    for (int i = 0; i < g.LayoutCount(); ++i) {
        try {
            g.SetCurrentLayout(g.GetLayout(i));
            TIntRect rect{0, 0, kTargetWidth, TargetBottom(g.GetWidth(), g.GetHeight())};
            // First only measured, as the conversion run does before it
            // writes the file straight behind the measured head.
            // The work bound counts all layouts of the drawing together; the
            // written drawing starts from the work before the measuring one,
            // as in the conversion run.
            const uint64_t workBefore = g.WorkDone;
            TDxfStreamPlan plan;
            {
                TPDFCanvas probe;
                probe.Exporter = std::make_unique<TkrDXFExport>();
                probe.Exporter->MeasureOnly();
                // The records read back on a thread of their own or by the
                // drawing thread, every other layout and file.
                probe.Exporter->ReadOnThread(((size + size_t(i)) & 1) != 0);
                g.DrawOnSink(probe, rect);
                probe.Exporter->FinishDrawing();
                plan = probe.Exporter->Plan();
            }
            g.WorkDone = workBefore;
            TPDFCanvas sink;
            sink.Exporter = std::make_unique<TkrDXFExport>();
            g.DrawOnSink(sink, rect);
            sink.Exporter->FinishDrawing();
            std::string out = sink.Exporter->SaveToString();
            // Every file ends with the EOF group, and the measuring drawing
            // gave the head and tail of the written one.
            if (out.size() < 5 || out.compare(out.size() - 5, 5, "EOF\r\n") != 0) __builtin_trap();
            if (out.size() < plan.Head.size() + plan.Tail.size() || out.compare(0, plan.Head.size(), plan.Head) != 0 ||
                out.compare(out.size() - plan.Tail.size(), plan.Tail.size(), plan.Tail) != 0)
                __builtin_trap();
        } catch (const EkrError&) {
        } catch (const EkrExportError&) {
        }
    }
    return 0;
}
