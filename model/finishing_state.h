// What finishing an entity may change besides the entity itself: the bound
// counters, the dash budget and its working list, the angle table and the
// text measure. The entities of the ENTITIES section that are finished on a
// thread of their own (model/finishing.h) touch only this of the converter
// (and read-only tables), and are finished there in the order they were
// read, so the budget runs down as it would on the reader's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/geometry.h"
#include "model/limits.h"
#include "platform/font_metrics.h"

// (alignas: on lines of its own, as the settings are. The finishing thread
// writes it while the reading thread works on the converter's other parts.)
class alignas(64) TFinishingState {
public:
    TFinishingState() = default;
    TFinishingState(const TFinishingState&) = delete;
    TFinishingState& operator=(const TFinishingState&) = delete;

    // Bounds reached while loading and drawing (see model/limits.h).
    TBoundHits Bounds;

    // Working list the entities cut their dash pairs into while they are
    // finished, to count them (the pairs are made again when drawn).
    // Emptied after every use.
    std::vector<TPoint3F> DashScratch;
    // Dash points the drawing may still cut (see kDashPointsBase); Load sets
    // it from the size of the text, CountDashScratch counts it down.
    uint64_t DashPointsLeft = kDashPointsBase;
    // The most points the next dashed entity may cut.
    size_t DashPointLimit() const {
        return DashPointsLeft < kMaxEntityPoints ? size_t(DashPointsLeft) : kMaxEntityPoints;
    }
    // Counts the working list's points against the dash budget, then empties
    // it (releasing it when a huge entity made it large).
    void CountDashScratch();
    // The cosines and sines of the last tessellated angle sequence: every
    // full circle of a drawing walks the same angles, so they are computed
    // once per drawing while it is finished. Per converter, not shared.
    TAngleTable AngleTable;

    // Measures text extents for the texts being finished: the built-in
    // advance-width tables unless a caller sets another service.
    const TTextMeasure* Measure = &FOwnMeasure;

private:
    TFontTableMeasure FOwnMeasure;
};
