// The AutoCAD colour index table and the colour constants of the model.
#pragma once

#include "model/geometry.h"

TColorValue ColorFromIndex(int32_t n);
