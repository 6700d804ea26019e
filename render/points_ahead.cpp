#include "render/points_ahead.h"

#include <algorithm>

namespace {
// Entities one step makes at most, so that a piece of segments waits little.
constexpr int kStepEntities = 8;
// Entries left to the drawing when the making has fallen behind it.
constexpr size_t kLead = 4;
// Room the working lists get at Begin: enough for the usual entity, so that
// the other thread seldom allocates (memory it took would stay with it).
constexpr size_t kWorkRoom = 1024;
}  // namespace

void TPointsAhead::Begin(const TkrDXFGroup& top, bool paperSpace) {
    {
        std::lock_guard<std::mutex> lock(FStep);
        FTop = &top.Entities;
        // Of a section only one space is drawn. (The children of a block are
        // drawn whatever their space says; the drawing sets that while it
        // visits them, so it is not looked at here.)
        FSpace = top.Class == TEntityClass::Section ? int(paperSpace) : -1;
        FActive = !FTop->empty();
        if (FActive) {
            FRing.resize(kRingPoints);
            FWork.Vertices.reserve(kWorkRoom);
            FWork.Bulged.reserve(kWorkRoom);
            FWork.Run.reserve(kWorkRoom);
            FWork.Points.reserve(kWorkRoom);
            FWork.Angles.Cos.reserve(kWorkRoom);
            FWork.Angles.Sin.reserve(kWorkRoom);
        }
        for (TSlot& s : FSlots) s.Ready.store(SIZE_MAX, std::memory_order_relaxed);
        FTaken.store(0);
        FWaiting.store(false);
        FCursor = FPublished = FNext = FWrite = FLiveHead = FLiveCount = 0;
        FMade = false;
    }
    if (FActive) Wake();
}

const TkrDXFPolyline* TPointsAhead::Entry(size_t i) const {
    const TkrDXFEntity* e = (*FTop)[i].get();
    // Only what the drawing takes the points of.
    if (!e || !e->Is(TEntityClass::Polyline) || e->BoxUnsound || !e->IsVisible()) return nullptr;
    if (FSpace >= 0 && e->PaperSpace != bool(FSpace)) return nullptr;
    const auto* p = static_cast<const TkrDXFPolyline*>(e);
    return p->IsPolygonMesh() || p->IsPolyfaceMesh() ? nullptr : p;
}

void TPointsAhead::End() {
    std::lock_guard<std::mutex> lock(FStep);
    FActive = false;
    FTop = nullptr;
    std::vector<TPoint3F>().swap(FRing);
    FWork = TPointWork();
    FCursor = FPublished = 0;
}

bool TPointsAhead::Take(const TkrDXFPolyline& p, std::span<const TPoint3F>& points) {
    if (!FTop) return false;
    const auto& top = *FTop;
    const size_t limit = std::min(top.size(), FCursor + kLookAhead);
    size_t j = FCursor;
    while (j < limit && top[j].get() != &p) ++j;
    if (j >= limit) return false;
    FCursor = j + 1;
    // Entries before j are free, j is in use until the next Take. The other
    // thread is told so every kPublishEvery entries, or at once while it
    // waits: a store at every entry would take the line it reads from that
    // thread's cache each time. What it has not been told it still holds in
    // use, so it only makes less ahead.
    if (j + 1 >= FPublished + kPublishEvery || FWaiting.load(std::memory_order_seq_cst)) {
        FPublished = j + 1;
        FTaken.store(j + 1, std::memory_order_seq_cst);
        if (FWaiting.load(std::memory_order_seq_cst) && j + 1 >= FWakeAt.load(std::memory_order_relaxed)) {
            FWaiting.store(false, std::memory_order_relaxed);
            Wake();
        }
    }
    const TSlot& s = FSlots[j % kSlots];
    if (s.Ready.load(std::memory_order_acquire) != j) return false;
    points = std::span<const TPoint3F>(FRing.data() + s.Offset, s.Count);
    return true;
}

bool TPointsAhead::Place(size_t taken) {
    // The entries before the one in use are passed: their room is free.
    while (FLiveCount > 0 && FLive[FLiveHead % kSlots] + 1 < taken) ++FLiveHead, --FLiveCount;
    const size_t n = FWork.Points.size();
    if (n > kRingPoints / 4) return true;  // the drawing makes it itself
    size_t at = 0;
    if (FLiveCount > 0) {
        // In use: from the oldest entry's points up to FWrite, around the
        // ring's end when FWrite lies before them.
        const size_t start = FSlots[FLive[FLiveHead % kSlots] % kSlots].Offset;
        if (FWrite >= start && FWrite + n <= kRingPoints) at = FWrite;
        else if (FWrite >= start && n < start) at = 0;
        else if (FWrite < start && FWrite + n < start) at = FWrite;
        else return false;
    }
    std::copy(FWork.Points.begin(), FWork.Points.end(), FRing.begin() + std::ptrdiff_t(at));
    TSlot& s = FSlots[FNext % kSlots];
    s.Offset = uint32_t(at);
    s.Count = uint32_t(n);
    s.Ready.store(FNext, std::memory_order_release);
    FLive[(FLiveHead + FLiveCount++) % kSlots] = FNext;
    FWrite = at + n;
    return true;
}

bool TPointsAhead::Step() noexcept {
    std::lock_guard<std::mutex> lock(FStep);
    if (!FActive) return false;
    // No room until the drawing has taken up to entry at: a Take wakes us.
    auto wait = [&](size_t at) {
        FWakeAt.store(at, std::memory_order_relaxed);
        FWaiting.store(true, std::memory_order_seq_cst);
        if (FTaken.load(std::memory_order_seq_cst) < at) return true;
        FWaiting.store(false, std::memory_order_relaxed);
        return false;
    };
    for (int made = 0; made < kStepEntities;) {
        const size_t taken = FTaken.load(std::memory_order_seq_cst);
        if (FNext < taken) {
            // Fallen behind: on a few entries past where the drawing is, so
            // as not to make what the drawing makes meanwhile itself.
            FNext = taken + kLead;
            FMade = false;
        }
        if (FNext >= FTop->size()) return false;
        if (FNext + 1 >= taken + kSlots) {
            if (wait(taken + kSlots / 4)) return false;
            continue;
        }
        const TkrDXFPolyline* p = FMade ? nullptr : Entry(FNext);
        if (!FMade && !p) {
            ++FNext;  // nothing the drawing takes points of
            continue;
        }
        if (!FMade) {
            try {
                p->MakePoints(FWork);
            } catch (...) {
                // (Out of memory, say.) The drawing makes the rest itself,
                // and meets the error there if it is one of the drawing's.
                FActive = false;
                return false;
            }
            FMade = true;
        }
        if (!Place(taken)) {
            if (wait(taken + 16)) return false;
            continue;
        }
        FMade = false;
        ++FNext;
        ++made;
    }
    return true;
}
