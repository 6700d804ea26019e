// The state the drawing graphic sets on the converter while it visits a
// layout: the context of the insert being expanded, the clip box, the space
// drawn, and what a viewport in the content may do.
#pragma once

#include <cstdint>

#include "model/geometry.h"  // TBox3F, TDrawContext

// (alignas: it starts a line of its own, so that it never shares the last
// line of the finishing state before it in the converter.)
struct alignas(64) TDrawState {
    TDrawContext* DrawContext = nullptr;
    TBox3F ClipBox = EmptyBox;
    bool ClipEnabled = false;
    bool ClipStrict = false;
    bool CurrentSpace = false;
    bool ExpandInserts = true;
    int32_t PendingRefs = 0;
    // True while a viewport draws the model space: a viewport met in that
    // content (inside a block the model inserts) does not draw the model
    // again inside itself.
    bool ViewportDrawing = false;
};
