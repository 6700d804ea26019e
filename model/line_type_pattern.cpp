#include "model/line_type_pattern.h"

#include <cstring>

void TkrLines::Normalize() {
    for (float t : FTicks) {
        uint32_t bits;
        std::memcpy(&bits, &t, sizeof bits);
        if (bits != 0) return;
    }
    FTicks.clear();
}
