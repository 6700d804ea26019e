// Hands pieces of a recording from the thread that draws to a thread of its
// own that reads them, so that drawing a layout and turning its records into
// file text run at once on two processors. The pieces are read in the order
// they were handed over; at most a few wait at a time, so the memory in use
// stays bounded when reading is the slower side.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/emf_records.h"

class TRecordPipe {
public:
    // consume is called on the reading thread for every piece, in order.
    explicit TRecordPipe(std::function<void(const TEmfRecordBuffer&)> consume);
    // Stops reading (pieces still waiting are dropped) and waits for the thread.
    ~TRecordPipe();
    TRecordPipe(const TRecordPipe&) = delete;
    TRecordPipe& operator=(const TRecordPipe&) = delete;

    // Takes the records (records is left empty) and queues them; waits while
    // the queue is full. Once an error has ended reading, the records are
    // dropped: the error is raised by Finish only, so that it ends a drawing
    // at the same point however the two threads ran.
    void Push(TEmfRecordBuffer& records);
    // Waits until every piece is read and the thread has ended; raises the
    // error that ended reading, if one did.
    void Finish();

    // Pieces that may wait at once.
    static constexpr std::size_t kMaxQueued = 3;

private:
    void Run();
    std::function<void(const TEmfRecordBuffer&)> FConsume;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TEmfRecordBuffer> FQueue;
    std::vector<TEmfRecordBuffer> FSpare;  // emptied pieces, reused
    bool FDone = false;     // no more pieces come
    bool FAbort = false;    // drop what waits
    std::exception_ptr FError;
    std::thread FThread;
};
