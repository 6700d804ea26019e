// The two ways the benchmarks draw the current layout of a loaded graphic,
// fitted into the conversion's target rectangle as a run does.
#pragma once

#include <memory>

#include "app/conversion_run.h"
#include "output/dxf_writer.h"
#include "output/text_file.h"
#include "render/dxf_image.h"

inline TIntRect BenchTargetRect(const TkrDXFImage& g) {
    return {0, 0, kTargetWidth, TargetBottom(g.GetWidth(), g.GetHeight())};
}

// Text form, every line written to the open descriptor fd (/dev/null).
inline void DrawTextForm(TkrDXFImage& g, int fd) {
    TPDFCanvas sink;
    sink.TextMode = true;
    sink.TextFile().Bind("/dev/null");
    sink.TextFile().RewriteDescriptor(fd);
    g.DrawOnSink(sink, BenchTargetRect(g));
    sink.TextFile().Close();
}

// Simplified DXF form: the writer, its drawing finished and ready to save.
inline std::unique_ptr<TkrDXFExport> DrawDxfForm(TkrDXFImage& g) {
    TPDFCanvas sink;
    sink.Exporter = std::make_unique<TkrDXFExport>();
    g.DrawOnSink(sink, BenchTargetRect(g));
    sink.Exporter->FinishDrawing();
    return std::move(sink.Exporter);
}
