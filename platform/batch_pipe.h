// Hands pieces of work from the thread that makes them to a thread of its
// own that uses them, so that both run at once on two processors: the
// records of a drawing read back into DXF figures, the segments of a text
// file formatted and written, or the entities of a drawing being read
// finished. The pieces are used in the order they were handed over; at most
// a few wait at a time (unless the maker chooses otherwise), so the memory in
// use stays bounded when the using side is the slower one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Work that a pipe's using thread does for another thread while no piece
// waits (the drawing side's points of the entities it comes to next, say):
// Step does a small part of it and is false when there is nothing to do for
// now; Wake, from the thread that hands it the work, says there may be some
// again (the thread that hands the pipe its pieces wakes it). Step runs on
// the using thread only, between pieces; it must not throw (what it leaves
// undone, its owner does itself).
class TSideWork {
public:
    virtual ~TSideWork() = default;
    virtual bool Step() noexcept = 0;
    void Wake() {
        if (FWake) FWake(FHost);
    }

private:
    template <class>
    friend class TPiecePipe;
    void (*FWake)(void* host) = nullptr;
    void* FHost = nullptr;
};

// Piece: movable, default-constructible, with Clear() (emptied pieces are
// kept and handed back, so their memory is reused).
//
// A pipe is on cache lines of its own (alignas): its using thread reads the
// consuming function with every piece (a lambda reads its captures from it
// for every item it works on), and a line shared with the owner's fields that
// the handing thread writes all the time would go back and forth between the
// processors with each of those writes.
template <class Piece>
class alignas(64) TPiecePipe {
public:
    // consume is called on the using thread for every piece, in order.
    // The thread starts with the first piece pushed.
    // maxQueued: the pieces that may wait at once (Push waits while as many
    // wait).
    explicit TPiecePipe(std::function<void(const Piece&)> consume, std::size_t maxQueued = kMaxQueued)
        : FConsume(std::move(consume)), FMaxQueued(maxQueued > 0 ? maxQueued : 1) {}
    // Stops using (pieces still waiting are dropped) and waits for the thread.
    ~TPiecePipe() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FDone = FAbort = true;
        }
        FChanged.notify_all();
        if (FThread.joinable()) FThread.join();
        if (FSide) FSide->FWake = nullptr;
    }
    TPiecePipe(const TPiecePipe&) = delete;
    TPiecePipe& operator=(const TPiecePipe&) = delete;

    // Takes the piece (piece is left empty) and queues it; waits while the
    // queue is full. Once an error has ended using, pieces are dropped: the
    // error is raised by Finish only, so that it ends the work at the same
    // point however the two threads ran.
    void Push(Piece& piece) {
        if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
        std::unique_lock<std::mutex> lock(FMutex);
        FChanged.wait(lock, [&] { return FError || FQueue.size() < FMaxQueued; });
        if (FError) {
            piece.Clear();  // using has ended; Finish reports why
            return;
        }
        Piece next;
        if (!FSpare.empty()) {
            next = std::move(FSpare.back());
            FSpare.pop_back();
        }
        std::swap(next, piece);
        FQueue.push_back(std::move(next));
        FChanged.notify_all();
    }
    // Waits until every piece handed over is used, keeping the thread for
    // more; raises the error that ended using, if one did (again at every
    // call: once using has ended, it stays ended).
    void Wait() {
        std::unique_lock<std::mutex> lock(FMutex);
        FChanged.wait(lock, [&] { return Settled(); });
        if (FError) std::rethrow_exception(FError);
    }
    // True when every piece handed over is used (or an error ended using):
    // Wait would not wait.
    bool Idle() {
        std::lock_guard<std::mutex> lock(FMutex);
        return Settled();
    }
    // Waits until every piece is used and the thread has ended; raises the
    // error that ended using, if one did.
    void Finish() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FDone = true;
        }
        FChanged.notify_all();
        if (FThread.joinable()) FThread.join();
        if (FError) std::rethrow_exception(FError);
    }

    // The last piece, then Finish. When no piece went before, the last one
    // is used on the calling thread: a small output starts no thread.
    void FinishWith(Piece& piece) {
        if (!FThread.joinable()) {
            FConsume(piece);
            piece.Clear();
            return;
        }
        Push(piece);
        Finish();
    }

    // Lends the using thread to side (which must outlive the pipe's thread)
    // for the time no piece waits, from its first Wake on (the thread starts
    // then, if no piece started it). Pieces go first; once Finish is called,
    // side gets no more steps.
    void ShareWith(TSideWork& side) {
        side.FHost = this;
        side.FWake = [](void* host) { static_cast<TPiecePipe*>(host)->WakeSide(); };
        std::lock_guard<std::mutex> lock(FMutex);
        FSide = &side;
    }

    // Pieces that may wait at once.
    static constexpr std::size_t kMaxQueued = 3;

private:
    bool Settled() const { return FError || (FQueue.empty() && !FBusy); }  // under FMutex
    void WakeSide() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FSidePending = true;
            ++FSideWakes;
        }
        FChanged.notify_all();
        if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
    }

    void Run() {
        std::unique_lock<std::mutex> lock(FMutex);
        for (;;) {
            FChanged.wait(lock, [&] { return FAbort || FDone || !FQueue.empty() || FSidePending; });
            if (FAbort || FError) return;
            if (FQueue.empty() && !FDone) {
                // No piece waits: a step of the side work. A wake during the
                // step keeps it pending, so that none is lost.
                const uint64_t wakes = FSideWakes;
                lock.unlock();
                const bool more = FSide->Step();
                lock.lock();
                if (!more && FSideWakes == wakes) FSidePending = false;
                continue;
            }
            if (FQueue.empty()) return;
            Piece piece = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
            lock.unlock();
            std::exception_ptr error;
            try {
                FConsume(piece);
            } catch (...) {
                error = std::current_exception();
            }
            piece.Clear();
            lock.lock();
            FSpare.push_back(std::move(piece));
            FBusy = false;
            if (error) FError = error;
            FChanged.notify_all();
            if (FError) return;
        }
    }

    std::function<void(const Piece&)> FConsume;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<Piece> FQueue;
    std::vector<Piece> FSpare;  // emptied pieces, reused
    const std::size_t FMaxQueued;
    bool FBusy = false;         // a piece is being used
    bool FDone = false;         // no more pieces come
    bool FAbort = false;        // drop what waits
    std::exception_ptr FError;
    TSideWork* FSide = nullptr;  // see ShareWith
    bool FSidePending = false;   // side may have work
    uint64_t FSideWakes = 0;
    std::thread FThread;        // last: starts (with the first piece or wake) once everything above is made
};
