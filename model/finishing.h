// Finishing the entities of a drawing's ENTITIES section on a thread of its
// own while the reader reads on. Finishing a curve or polyline (its points
// for the box, the dash pairs counted against the budget) costs about as
// much as reading it; overlapping the two lets one big drawing use a second
// core during its load.
//
// The model is the same as when every entity is finished where it is read:
//  - Only entities whose finishing touches nothing but the entity itself, the
//    read-only tables and the converter's finishing state (TFinishingState,
//    model/finishing_state.h: the dash budget and its working list, the angle
//    table, the bound counters of curves and hatches, the text measure) go
//    to the thread: lines, and polylines, circles, arcs, ellipses, splines
//    and hatches that name their layer (one without a layer is given layer
//    "0" as it is finished, or its spline edges are, and the layer table is
//    the reader's; see Defers). A hatch's pattern (its family lines clipped
//    to the boundary and dashed) is the costliest finishing of all. A hatch
//    with a pattern line that cannot make a family stays with the reader:
//    its error ends the reading where the hatch ends.
//    So are inserts of a finished block without attributes (their placement
//    and box). They are finished there in the order they were read, so the
//    dash budget runs down in entity order.
//  - Texts, multi-line texts and the other inserts are finished by the
//    reader at once: none of them touches what the thread touches.
//  - Every other entity first waits until the thread has finished all
//    entities before it (Drain), then is finished by the reader.
//  - The section's end drains as well: its box and everything after it see
//    finished entities only.
// The thread starts with the first full batch handed over: a small drawing,
// or one that drains every few entities, never starts it.
// While the reader waits for the thread (Drain), it makes the shapes of the
// pattern hatches handed over (their paths and the inside pieces of their
// family lines, which touch nothing but the hatch) ahead of the thread, which
// then only cuts their dashes against the budget, in order. It keeps at most
// kShapesAhead bytes of shapes the thread has not taken yet.

#pragma once

#include <cstddef>
#include <vector>

#include "platform/batch_pipe.h"

class TkrDXFConverter;
class TkrDXFEntity;
class TkrDXFHatch;

class TFinishingThread {
public:
    explicit TFinishingThread(TkrDXFConverter& conv);
    // Drains (an error of an entity is dropped: the reader's own error is
    // on its way) and ends the thread.
    ~TFinishingThread();
    TFinishingThread(const TFinishingThread&) = delete;
    TFinishingThread& operator=(const TFinishingThread&) = delete;

    // True when e is finished on the thread (see the rules above).
    static bool Defers(const TkrDXFEntity& e);
    // Finishes e by the rules above: hands it over (it is finished after
    // every entity handed over before it, and the reader does not touch it
    // again until Drain returns), or finishes it here, after a Drain where
    // the rules ask for one.
    void Finish(TkrDXFEntity& e);
    // Waits until every entity handed over is finished, and finishes those
    // not handed over yet itself. An exception of a finishing (only an
    // internal fault or exhausted memory) comes out here.
    void Drain();

    static constexpr size_t kShapesAhead = size_t(32) << 20;

private:
    struct TBatch {
        std::vector<TkrDXFEntity*> Entities;
        void Clear() { Entities.clear(); }
    };
    void Add(TkrDXFEntity& e);
    TkrDXFConverter& FConv;
    // Entities handed over a batch at a time, so that the lock is taken
    // once per batch rather than per entity.
    static constexpr size_t kBatch = 256;
    TBatch FFilling;  // the reader's, not yet handed over
    void MakeShapesAhead();
    static void FinishBatch(TkrDXFConverter& conv, const std::vector<TkrDXFEntity*>& batch);
    // The pattern hatches of FFilling, and those handed over since the last
    // Drain, in order (the reader's).
    std::vector<TkrDXFHatch*> FFillingHatches, FHatches;
    // Last: its thread finishes entities into the converter.
    TPiecePipe<TBatch> FPipe;
};
