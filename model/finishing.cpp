#include "model/finishing.h"

#include "model/converter.h"
#include "model/entity.h"

TFinishingThread::TFinishingThread(TkrDXFConverter& conv) : FConv(conv) { FFilling.reserve(kBatch); }

TFinishingThread::~TFinishingThread() {
    try {
        Drain();
    } catch (...) {
    }
    if (!FThread.joinable()) return;
    {
        std::lock_guard<std::mutex> g(FLock);
        FStop = true;
    }
    FWake.notify_one();
    FThread.join();
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
    FFilling.push_back(&e);
    if (FFilling.size() >= kBatch) HandOver();
}

void TFinishingThread::HandOver() {
    if (FFilling.empty()) return;
    // The thread starts with the first full batch: a drawing whose
    // entities drain it every few entities (or a small one) never starts it.
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
    {
        std::lock_guard<std::mutex> g(FLock);
        FQueue.insert(FQueue.end(), FFilling.begin(), FFilling.end());
        FHanded += FFilling.size();
    }
    FFilling.clear();
    FWake.notify_one();
}

void TFinishingThread::Drain() {
    {
        std::unique_lock<std::mutex> g(FLock);
        FDone.wait(g, [&] { return FFinished == FHanded; });
        if (FError) {
            std::exception_ptr e = std::move(FError);
            FError = nullptr;
            FFilling.clear();
            std::rethrow_exception(e);
        }
    }
    // Everything handed over is finished: the entities not handed over yet
    // are finished here, in their order. Handing them over would cost the
    // thread's waking for every drawing that drains often (one with many
    // hatches or dimensions).
    try {
        for (TkrDXFEntity* e : FFilling) e->Loaded(FConv);
    } catch (...) {
        FFilling.clear();  // none is finished twice
        throw;
    }
    FFilling.clear();
}

void TFinishingThread::Run() {
    std::vector<TkrDXFEntity*> batch;
    std::unique_lock<std::mutex> g(FLock);
    for (;;) {
        FWake.wait(g, [&] { return FStop || !FQueue.empty(); });
        if (FQueue.empty()) return;  // stopped
        batch.swap(FQueue);
        const bool failed = FError != nullptr;
        g.unlock();
        // After an error the rest is only counted: the load ends with it.
        if (!failed) {
            try {
                for (TkrDXFEntity* e : batch) e->Loaded(FConv);
            } catch (...) {
                g.lock();
                FError = std::current_exception();
                g.unlock();
            }
        }
        const size_t n = batch.size();
        batch.clear();
        g.lock();
        FFinished += n;
        if (FFinished == FHanded) FDone.notify_one();
    }
}
