#include "model/finishing.h"

#include <chrono>
#include <deque>
#include <limits>
#include <thread>
#include <utility>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/hatch.h"
#include "model/entity.h"
#include "model/hatch_clip.h"

TFinishingThread::TFinishingThread(TkrDXFConverter& conv)
    : FConv(conv),
      // The reader never waits to hand a batch over: it runs ahead up to
      // the next Drain. (The converter is the lambda's own: FConv sits on the
      // line of FFilling, which the reader writes with every entity.)
      FPipe([&conv](const TBatch& b) { FinishBatch(conv, b.Entities); }, std::numeric_limits<std::size_t>::max()) {
    FFilling.Entities.reserve(kBatch);
}

namespace {
bool HatchAhead(const TkrDXFEntity* e) {
    return e->Class == TEntityClass::Hatch && static_cast<const TkrDXFHatch*>(e)->ShapeAhead();
}
}  // namespace

void TFinishingThread::FinishBatch(TkrDXFConverter& conv, const std::vector<TkrDXFEntity*>& batch) {
    for (size_t i = 0; i < batch.size(); ++i) {
        TkrDXFEntity* e = batch[i];
        // A hatch whose shape the reader is making: the thread makes those of
        // the hatches after it meanwhile, rather than wait.
        if (e->Class == TEntityClass::Hatch)
            for (size_t j = i + 1; j < batch.size() && static_cast<TkrDXFHatch*>(e)->ShapeMaking(); ++j)
                if (HatchAhead(batch[j])) static_cast<TkrDXFHatch*>(batch[j])->MakeShapeAhead(conv);
        e->Loaded(conv);
    }
}

TFinishingThread::~TFinishingThread() {
    try {
        Drain();
    } catch (...) {
    }
}

bool TFinishingThread::Defers(const TkrDXFEntity& e) {
    switch (e.Class) {
        case TEntityClass::Line: return true;
        case TEntityClass::Polyline:
        case TEntityClass::LWPolyline:
        case TEntityClass::Circle:
        case TEntityClass::Arc:
        case TEntityClass::Ellipse:
        case TEntityClass::Spline:
            // A polyline without a layer is given layer "0" as it is
            // finished: the layer table is the reader's.
            return e.Layer != nullptr;
        case TEntityClass::Hatch: {
            // So is a hatch's spline edge (which otherwise takes the
            // hatch's layer). A pattern line that cannot make a family ends
            // the reading with an error where the hatch ends: such a hatch
            // is finished by the reader.
            if (!e.Layer) return false;
            const auto& h = static_cast<const TkrDXFHatch&>(e);
            if (h.Solid) return true;
            for (const THatchPatternLine& l : h.PatternLines)
                if (!PatternLineSound(l)) return false;
            return true;
        }
        case TEntityClass::Insert: {
            // An insert of a finished block: its finishing reads the block's
            // box and makes its own placement. One with attributes stays with
            // the reader (their boxes count unsound entities, as texts do
            // there), and so do inserts of external references (the reader
            // keeps the list of those in use), inserts whose block is still
            // awaited and ones without a layer.
            if (!e.Layer) return false;
            const auto& ins = static_cast<const TkrDXFInsert&>(e);
            const TkrDXFBlock* b = ins.Block;
            return b && b->Finished && b->PendingAtRead == 0 && !b->Xref && ins.PendingName.empty() &&
                   ins.Attribs.empty();
        }
        default: return false;
    }
}

void TFinishingThread::Finish(TkrDXFEntity& e) {
    if (Defers(e)) {
        Add(e);
        return;
    }
    const TEntityClass c = e.Class;
    if (c != TEntityClass::Text && c != TEntityClass::MText && c != TEntityClass::Insert) Drain();
    e.Loaded(FConv);
}

void TFinishingThread::Add(TkrDXFEntity& e) {
    FFilling.Entities.push_back(&e);
    if (e.Class == TEntityClass::Hatch) {
        auto& h = static_cast<TkrDXFHatch&>(e);
        if (h.ShapeAhead()) FFillingHatches.push_back(&h);
    }
    // The thread starts with the first full batch: a drawing whose
    // entities drain it every few entities (or a small one) never starts it.
    // After an error of the thread the batches are dropped: the load ends
    // with that error at the next Drain.
    if (FFilling.Entities.size() >= kBatch) {
        FPipe.Push(FFilling);
        FHatches.insert(FHatches.end(), FFillingHatches.begin(), FFillingHatches.end());
        FFillingHatches.clear();
    }
}

void TFinishingThread::MakeShapesAhead() {
    // Shapes made and not taken yet, oldest first (with their bytes).
    std::deque<std::pair<const TkrDXFHatch*, size_t>> made;
    size_t bytes = 0;
    for (TkrDXFHatch* h : FHatches) {
        if (FPipe.Idle()) return;
        if (h->ShapeTaken()) continue;
        // Past the bound, the oldest shapes are waited for.
        for (;;) {
            while (!made.empty() && made.front().first->ShapeTaken()) {
                bytes -= made.front().second;
                made.pop_front();
            }
            if (bytes < kShapesAhead) break;
            if (FPipe.Idle()) return;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        if (const size_t n = h->MakeShapeAhead(FConv)) {
            made.emplace_back(h, n);
            bytes += n;
        }
    }
}

void TFinishingThread::Drain() {
    try {
        MakeShapesAhead();
        FHatches.clear();
        FFillingHatches.clear();
        FPipe.Wait();
        // Everything handed over is finished: the entities not handed over
        // yet are finished here, in their order. Handing them over would cost
        // the thread's waking for every drawing that drains often (one with
        // many hatches or dimensions).
        for (TkrDXFEntity* e : FFilling.Entities) e->Loaded(FConv);
    } catch (...) {
        FFilling.Clear();  // none is finished twice
        FHatches.clear();
        FFillingHatches.clear();
        throw;
    }
    FFilling.Clear();
}
