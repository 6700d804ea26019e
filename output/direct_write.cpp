#include "output/direct_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

void TDirectWrite::TFree::operator()(char* p) const { std::free(p); }

TDirectWrite::~TDirectWrite() {
    if (FFd < 0) return;
    Stop();
    ::fcntl(FFd, F_SETFL, FFlags);
}

bool TDirectWrite::Start(int fd, off_t at, std::size_t block) {
    if (FFd >= 0 || fd < 0 || at < 0 || block == 0 || block % kAlign != 0) return false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    // Buffers first, and the part block written so far read back into the
    // first: without them the file is left as it was.
    auto drop = [this] {
        for (auto& b : FBuffers) b.reset();
        return false;
    };
    for (auto& b : FBuffers) {
        b.reset(static_cast<char*>(std::aligned_alloc(kAlign, block)));
        if (!b) return drop();
    }
    const off_t from = at / off_t(kAlign) * off_t(kAlign);
    for (off_t got = from; got < at;) {
        const ssize_t n = ::pread(fd, FBuffers[0].get() + (got - from), std::size_t(at - got), got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return drop();
        got += n;
    }
    if (::fcntl(fd, F_SETFL, flags | O_DIRECT) != 0) return drop();
    FFd = fd;
    FFlags = flags;
    FBlock = block;
    FCurrent = 0;
    FFill = std::size_t(at - from);
    FAt = from;
    try {
        for (int i = 1; i < kBuffers; ++i) FIdle.push_back(i);
        FThread = std::thread([this] { Run(); });
    } catch (...) {
        // No thread to be had: the file goes on through the cache.
        ::fcntl(fd, F_SETFL, flags);
        FFd = -1;
        FIdle.clear();
        return drop();
    }
    return true;
}

int TDirectWrite::Error() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FError;
}

bool TDirectWrite::Append(const char* p, std::size_t n) {
    if (FFd < 0) return false;
    while (n > 0) {
        const std::size_t take = std::min(n, FBlock - FFill);
        std::memcpy(FBuffers[FCurrent].get() + FFill, p, take);
        FFill += take;
        p += take;
        n -= take;
        if (FFill == FBlock) Submit(FBlock);
    }
    return Error() == 0;
}

void TDirectWrite::Submit(std::size_t size) {
    const int filled = FCurrent;
    {
        std::unique_lock<std::mutex> lock(FLock);
        FJobs.push_back({filled, size, FAt});
        FAt += off_t(size);
        FChanged.notify_all();
        // The next buffer is one the disk has taken (after a failed write the
        // thread hands every buffer back unwritten).
        FChanged.wait(lock, [this] { return !FIdle.empty(); });
        FCurrent = FIdle.back();
        FIdle.pop_back();
    }
    // The bytes past the part handed over, which the disk does not read.
    std::memcpy(FBuffers[FCurrent].get(), FBuffers[filled].get() + size, FFill - size);
    FFill -= size;
}

void TDirectWrite::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return !FJobs.empty() || FStopping; });
        if (FJobs.empty()) return;
        const TJob job = FJobs.front();
        FJobs.erase(FJobs.begin());
        const bool failed = FError != 0;
        lock.unlock();
        const bool ok = failed || WriteOut(FFd, FBuffers[job.Buffer].get(), job.Size, job.At);
        const int err = errno;
        lock.lock();
        if (!ok && FError == 0) FError = err ? err : EIO;
        FIdle.push_back(job.Buffer);
        FChanged.notify_all();
    }
}

bool TDirectWrite::WriteOut(int fd, const char* p, std::size_t n, off_t at) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno == EINVAL && FDirect) {
            // The file system took O_DIRECT but not this write: the rest
            // goes through the cache.
            if (::fcntl(fd, F_SETFL, FFlags) != 0) return false;
            FDirect = false;
            continue;
        }
        if (w <= 0) {
            if (w == 0) errno = ENOSPC;
            return false;
        }
        p += w;
        at += w;
        n -= std::size_t(w);
    }
    return true;
}

void TDirectWrite::Stop() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
        FChanged.notify_all();
    }
    if (FThread.joinable()) FThread.join();
}

bool TDirectWrite::Finish() {
    if (FFd < 0) return false;
    Stop();  // the thread writes every full buffer before it stops
    const int fd = FFd;
    FFd = -1;
    bool ok = FError == 0;
    // The rest (not a whole block, so not aligned) through the cache.
    if (::fcntl(fd, F_SETFL, FFlags) != 0) ok = false;
    if (ok && FFill > 0) {
        FDirect = false;
        ok = WriteOut(fd, FBuffers[FCurrent].get(), FFill, FAt);
        if (!ok) FError = errno ? errno : EIO;
    }
    for (auto& b : FBuffers) b.reset();
    return ok;
}
