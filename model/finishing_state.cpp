#include "model/finishing_state.h"

#include <algorithm>

void TFinishingState::CountDashScratch() {
    DashPointsLeft -= std::min<uint64_t>(DashPointsLeft, DashScratch.size());
    DashScratch.clear();
    // A working list grown past 64 Ki points (a huge dashed entity) is not
    // kept for the rest of the drawing.
    if (DashScratch.capacity() > 65536) std::vector<TPoint3F>().swap(DashScratch);
}
