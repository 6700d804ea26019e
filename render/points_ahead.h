// The points of the polylines and curves a layout draws at its top level,
// made ahead of the drawing on the writing thread while that one waits for
// segments: the drawing thread then only maps them. The points are the ones
// MakePoints gives (they depend on the entity alone), so the output is the
// same whichever thread made them; an entity the other thread has not come
// to yet is made by the drawing thread as always.
//
// The drawing thread names the entities at Begin, in the order they are
// drawn, and takes the points of each as it comes to it (Take). The other
// thread (Step) makes them in that order into a ring of points, at most
// kSlots - 1 entities ahead of the drawing, and skips to where the drawing
// is when it has fallen behind. Neither waits for the other. All memory is
// taken by the drawing thread at Begin and given back at End.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "model/entities/linear.h"
#include "platform/batch_pipe.h"

class TkrDXFGroup;

class TPointsAhead : public TSideWork {
public:
    // Drawing thread: the polylines and curves among the children of top
    // (in their order; of a section only those of the space drawn) are made
    // ahead from now on. top's list of children stays as it is until End.
    void Begin(const TkrDXFGroup& top, bool paperSpace);
    // Drawing thread: no more (the other thread's step in progress ends
    // first). Begin may follow.
    void End();
    // Drawing thread: true with the points p.MakePoints gives in points when
    // they were made ahead; false when the drawing is to make them itself.
    // They stay valid until the next Take or End.
    bool Take(const TkrDXFPolyline& p, std::span<const TPoint3F>& points);
    // The writing thread: makes the next few entities' points.
    bool Step() noexcept override;

    // Children made ahead at most (of any kind: other kinds take no room),
    // and the room for their points (384 KiB; an entity of more than a
    // quarter of it is left to the drawing).
    static constexpr size_t kSlots = 1024;
    static constexpr size_t kRingPoints = size_t(1) << 15;
    // Entities looked through for the one being drawn: one not found among
    // the next kLookAhead is made by the drawing thread.
    static constexpr size_t kLookAhead = 64;

private:
    struct TSlot {
        // The entry whose points are at Offset, once they are complete
        // (SIZE_MAX while they are made).
        std::atomic<size_t> Ready{SIZE_MAX};
        uint32_t Offset = 0, Count = 0;
    };
    // Place the points made for entry FNext (in FWork) in the ring; false
    // when there is no room until the drawing takes more.
    bool Place(size_t taken);
    // Child i of the top, when the drawing takes its points.
    const TkrDXFPolyline* Entry(size_t i) const;
    const TEntityList* FTop = nullptr;
    int FSpace = -1;  // of a section: the space drawn (-1: any)
    std::vector<TPoint3F> FRing;
    std::array<TSlot, kSlots> FSlots;
    // The first entry the drawing may still take (the entry before it is
    // the one in use): the other thread makes entries below FTaken +
    // kSlots - 1 only.
    std::atomic<size_t> FTaken{0};
    // The other thread has stopped for want of room until FTaken reaches
    // FWakeAt, and waits for a Wake.
    std::atomic<bool> FWaiting{false};
    std::atomic<size_t> FWakeAt{0};
    // Drawing thread only: the next entry to look at, and the FTaken last
    // stored (see Take).
    size_t FCursor = 0;
    size_t FPublished = 0;
    static constexpr size_t kPublishEvery = 16;
    // The other thread only (under FStep): the next entry to make (its
    // points in FWork when FMade), where the next points go in the ring,
    // and the entries placed there that the drawing may still take, oldest
    // first (FLive[FLiveHead % kSlots] on, FLiveCount of them).
    size_t FNext = 0;
    bool FMade = false;
    size_t FWrite = 0;
    std::array<size_t, kSlots> FLive{};
    size_t FLiveHead = 0, FLiveCount = 0;
    TPointWork FWork;
    // Held by every step, and by Begin and End while they change the list.
    std::mutex FStep;
    bool FActive = false;
};
