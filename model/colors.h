// The AutoCAD colour index table and the colour constants of the model.
#pragma once

#include "model/geometry.h"

TColorValue ColorFromIndex(int32_t n);

// A colour written as a "raw" 32-bit value (multileaders, proxy graphics):
// its top byte says how the rest reads. 0xC0 by layer, 0xC1 by block, 0xC2
// a true colour 0x00RRGGBB, 0xC3 a colour index in the low byte; anything
// else (0xC8 "window background", or no such byte) reads as by block.
TColorValue ColorFromRaw(int32_t raw);
