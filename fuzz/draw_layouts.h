// What the drawing fuzz targets share: load a text as a drawing and draw
// every layout in text form into a scratch file, the way the conversion run
// does, external references from memory only (memory_xrefs.h). A read or
// write error is an expected outcome; a crash, hang, leak or huge allocation
// is a finding.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "app/conversion_run.h"
#include "model/errors.h"
#include "output/errors.h"
#include "output/sink.h"
#include "output/text_file.h"
#include "platform/stroke_font.h"
#include "render/dxf_image.h"

#include "memory_xrefs.h"

inline void DrawEveryLayoutAsText(std::string text, const char* target) {
    static const std::string scratch =
        std::string("/tmp/") + target + "." + std::to_string(::getpid()) + ".txt";
    TkrDXFImage g;
    // The lines written on a thread of their own or by the drawing thread,
    // every other layout and file; the entities finished on a thread of
    // their own in every other file.
    const size_t size = text.size();
    g.Converter->FinishOnThread = (size & 1) != 0;
    // Texts drawn as lines and true widths in every other pair of sizes (the
    // fonts read once for the whole fuzzing run).
    static const std::shared_ptr<const TStrokeFonts> fonts = LoadStrokeFonts();
    if (size & 2) {
        g.Lettering = fonts.get();
        g.TrueWidths = true;
    }
    try {
        // External references never come from the disk here.
        TMemoryXrefs xrefs(text);
        g.LoadNested(std::move(text), "", &xrefs);
    } catch (const EkrError&) {
        return;
    }
    for (int i = 0; i < g.LayoutCount(); ++i) {
        std::remove(scratch.c_str());
        try {
            g.SetCurrentLayout(g.GetLayout(i));
            TPDFCanvas sink;
            sink.TextMode = true;
            sink.TextFile().Bind(scratch);
            sink.TextFile().WriteOnThread(((size + size_t(i)) & 1) != 0);
            sink.TextFile().Rewrite();
            TIntRect rect{0, 0, kTargetWidth, TargetBottom(g.GetWidth(), g.GetHeight())};
            g.DrawOnSink(sink, rect);
            sink.TextFile().Close();
        } catch (const EkrError&) {
        } catch (const EkrExportError&) {
        }
    }
    std::remove(scratch.c_str());
}
