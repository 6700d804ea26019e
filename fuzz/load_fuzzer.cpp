// Loads arbitrary bytes as a DXF drawing: any outcome but a read error or a
// model is a finding. Every input is loaded twice: as one text, and through a
// small window of a stream (a few bytes up to a hundred, chosen by the
// input); both loads must give the same model and the same error. An input
// that starts with the byte 0xFF is read as binary DXF: that byte stands for
// the binary sentinel (seeds: fuzz/seeds/load/binary_*). The windowed load
// finishes its entities on a thread of their own, so the two loads also
// check that this gives the same model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/binary_dxf.h"
#include "model/converter.h"
#include "model/entities/layout.h"
#include "model/entities/linear.h"
#include "model/errors.h"

#include "window_load.h"

namespace {

// What a load gave: its error, the entity counts and names, the header
// values and the extents.
std::string Outcome(TkrDXFConverter& conv, const std::string& error) {
    std::string s = error + "\n" + std::to_string(conv.EntityCount) + " " + std::to_string(conv.EntitiesStarted);
    for (int k = tkTables; k <= tkStyle; ++k) s += " " + std::to_string(conv.TableCount(k));
    s += "\n";
    for (int i = 0; i < conv.TableCount(tkEntities); ++i) {
        // The name, the box and the points drawn (which the dash budget
        // spent while finishing decides).
        const TkrDXFEntity& e = *conv.EntityAt(i);
        const TBox3F b = e.GetBox();
        s += e.GetName(&conv) + " " + std::to_string(PointCount(e));
        for (float f : {b.Left, b.Top, b.Z1, b.Right, b.Bottom, b.Z2}) s += " " + std::to_string(f);
        s += ",";
    }
    for (const THeaderVariable& v : kHeaderVariables) s += "\n" + conv.HeaderValue(v.Name, v.Code);
    for (const std::string& m : conv.Bounds.Messages()) s += "\n" + m;
    conv.ComputeExtents();
    s += "\n" + std::to_string(conv.LayoutCount());
    for (int i = 0; i < conv.LayoutCount(); ++i) {
        const TBox3F& b = conv.LayoutAt(i)->Box;
        for (float f : {b.Left, b.Top, b.Z1, b.Right, b.Bottom, b.Z2}) s += " " + std::to_string(f);
    }
    return s;
}

std::string Load(TkrDXFConverter& conv, const std::string& text, size_t window) {
    const size_t size = text.size();
    // Every third input is read with a chord tolerance (in drawing units,
    // as --curve-tolerance hands it on), so that the finer curves are
    // fuzzed too.
    if (size % 3 == 0) conv.ChordTolerance = 0.01;
    conv.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = dhInventory; };
    const std::string error = LoadThroughWindow(conv, text, window);
    return Outcome(conv, error);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && data[0] == 0xFF) text.replace(0, 1, kBinaryDxfSentinel);
    TkrDXFConverter whole, windowed;
    std::string a = Load(whole, text, 0);
    windowed.FinishOnThread = true;
    std::string b = Load(windowed, text, size ? 1 + data[size - 1] % 100 : 1);
    if (a != b) std::abort();  // the window changed what was read
    return 0;
}
