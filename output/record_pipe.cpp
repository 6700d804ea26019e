#include "output/record_pipe.h"

#include <utility>

TRecordPipe::TRecordPipe(std::function<void(const TEmfRecordBuffer&)> consume)
    : FConsume(std::move(consume)), FThread([this] { Run(); }) {}

TRecordPipe::~TRecordPipe() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FDone = FAbort = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
}

void TRecordPipe::Run() {
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [&] { return FAbort || FDone || !FQueue.empty(); });
        if (FAbort || FError || FQueue.empty()) return;
        TEmfRecordBuffer piece = std::move(FQueue.front());
        FQueue.pop_front();
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
        if (error) FError = error;
        FChanged.notify_all();
        if (FError) return;
    }
}

void TRecordPipe::Push(TEmfRecordBuffer& records) {
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [&] { return FError || FQueue.size() < kMaxQueued; });
    if (FError) {
        records.Clear();  // reading has ended; Finish reports why
        return;
    }
    TEmfRecordBuffer piece;
    if (!FSpare.empty()) {
        piece = std::move(FSpare.back());
        FSpare.pop_back();
    }
    std::swap(piece, records);
    FQueue.push_back(std::move(piece));
    FChanged.notify_all();
}

void TRecordPipe::Finish() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FDone = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
    if (FError) std::rethrow_exception(FError);
}
