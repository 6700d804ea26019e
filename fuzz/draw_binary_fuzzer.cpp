// Arbitrary bytes after the sentinel of binary DXF: loaded as a binary
// drawing and every layout drawn in text form (see draw_layouts.h). The
// first two bytes decide between 16-bit and 8-bit group codes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "draw_layouts.h"
#include "model/binary_dxf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(kBinaryDxfSentinel);
    text.append(reinterpret_cast<const char*>(data), size);
    DrawEveryLayoutAsText(std::move(text), "draw_binary_fuzzer");
    return 0;
}
