#include "model/colors.h"

#include <cmath>

namespace {
// Hue ramp of the 24 hues of indices 10..249, read at an offset per channel.
constexpr int kHue[24] = {0,    0,    0,    0,    0,    0,    0,    0,    0,    0x33, 0x66, 0xCC,
                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xCC, 0x66, 0x33};

int Component(int pos, bool pastel, int k) {
    int c = kHue[pos % 24];
    if (pastel && c < 204) c += 102;
    return int(std::lround(double(c) * k / 5.0));  // halves away from zero
}
}  // namespace

TColorValue ColorFromIndex(int32_t n) {
    if (n < 0) return n;  // layer-off marker stays until the layer is finished
    if (n == 256) return clFromLayer;
    int i = n & 0xFF;
    switch (i) {
        case 0: return clFromBlock;
        case 1: return 0x0000FF;
        case 2: return 0x00FFFF;
        case 3: return 0x00FF00;
        case 4: return 0xFFFF00;
        case 5: return 0xFF0000;
        case 6: return 0xFF00FF;
        case 7: return clForeground;
        case 8: return 0x808080;
        case 9: return 0xC0C0C0;
        case 250: return clFromBlock;
        case 251: return 0x282828;
        case 252: return 0x505050;
        case 253: return 0x787878;
        case 254: return 0xA0A0A0;
        case 255: return 0xFFFFFF;
        default: break;
    }
    int h = i / 10 - 1, s = i % 10, k = 5 - s / 2;
    bool pastel = s % 2 == 1;
    int r = Component(h + 16, pastel, k), g = Component(h + 8, pastel, k), b = Component(h, pastel, k);
    TColorValue v = r + g * 256 + b * 65536;
    if (v != 0) v |= clIndexFlag;
    return v;
}

TColorValue ColorFromRaw(int32_t raw) {
    const uint32_t v = uint32_t(raw);
    switch (v >> 24) {
        case 0xC0: return clFromLayer;
        case 0xC2: {
            // 0x00RRGGBB as the model's 0x00BBGGRR.
            const uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
            return TColorValue(r | (g << 8) | (b << 16));
        }
        case 0xC3: {
            const int32_t i = int32_t(v & 0xFF);
            return i == 0 ? clFromBlock : ColorFromIndex(i);
        }
        default: return clFromBlock;
    }
}
