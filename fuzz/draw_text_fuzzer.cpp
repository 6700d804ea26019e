// Loads arbitrary bytes as a DXF drawing and draws every layout in text form
// (see draw_layouts.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "draw_layouts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DrawEveryLayoutAsText(std::string(reinterpret_cast<const char*>(data), size), "draw_text_fuzzer");
    return 0;
}
