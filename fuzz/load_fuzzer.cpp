// Loads arbitrary bytes as a DXF drawing: any outcome but a read error or a
// model is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/converter.h"
#include "model/errors.h"

namespace {
void NoDraw(void*, TkrDXFEntity&) {}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TkrDXFConverter conv;
    // Every third input is read with a chord tolerance (in drawing units,
    // as --curve-tolerance hands it on), so that the finer curves are
    // fuzzed too.
    if (size % 3 == 0) conv.ChordTolerance = 0.01;
    conv.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = {NoDraw, nullptr}; };
    try {
        conv.LoadFromText(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const EkrError&) {
    }
    conv.ComputeExtents();
    for (int i = 0; i < conv.TableCount(tkEntities); ++i) conv.EntityAt(i)->GetName(&conv);
    return 0;
}
