// A large file written straight to the disk, past the system's file cache.
//
// A simplified DXF holds some 20 times the bytes of its drawing. Copied into
// the file cache, each of its pages is one the system must find, fill and
// later write: for the 1 GB file of a 50 MB drawing that took 0.65 s of a
// processor, on a machine whose two processors both had the drawing to do.
// Written with O_DIRECT, the disk takes the bytes from a few buffers used
// again and again, and the processor is free; a thread of its own waits for
// the disk while the next buffer fills.
//
// A file is begun through the cache and goes on past it (a small file is
// best left to the cache, which writes it when it likes); the block it has
// begun is read back and written again whole. The file's bytes are the same
// either way. Where the file system does not write past its cache (a file
// system in memory), Start says so and nothing changes; a write it refuses
// all the same goes through the cache instead.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TDirectWrite {
public:
    // What the disk is given at a time, and how the buffers and the writes
    // are aligned (the strictest block size of the disks in use).
    static constexpr std::size_t kBlock = std::size_t(1) << 20;
    static constexpr std::size_t kAlign = 4096;
    // Buffers in all: one filling, the others with the disk or waiting.
    static constexpr int kBuffers = 3;

    TDirectWrite() = default;
    TDirectWrite(const TDirectWrite&) = delete;
    TDirectWrite& operator=(const TDirectWrite&) = delete;
    // Waits for the write underway and stops the thread; a file not
    // finished is left incomplete (its writer removes it).
    ~TDirectWrite();

    // Goes on writing the file fd (not owned), which holds at bytes written
    // through the cache, block bytes at a time (a multiple of kAlign; tests
    // make it small). False where the file system does not write past its
    // cache: then nothing changed and fd is written as before.
    bool Start(int fd, off_t at = 0, std::size_t block = kBlock);
    // Appends n bytes to the file; false once a write failed.
    bool Append(const char* p, std::size_t n);
    // The same without a copy: room for n bytes (at most the block less
    // kAlign) after those appended, to be written there and then taken with
    // Appended (k <= n, nothing else appended in between). The room stays
    // the buffer's until then.
    char* Room(std::size_t n) {
        if (FBlock - FFill < n) Submit(FFill / kAlign * kAlign);
        return FBuffers[FCurrent].get() + FFill;
    }
    void Appended(std::size_t k) {
        FFill += k;
        if (FFill == FBlock) Submit(FBlock);
    }
    // Writes what is left, waits for the disk and gives fd back as it was
    // opened (so that it reads and writes anywhere again); false if any
    // write failed. The file then holds exactly the bytes appended.
    bool Finish();
    // The errno of the write that failed, or 0.
    int Error() const;

private:
    struct TJob {
        int Buffer;
        std::size_t Size;
        off_t At;
    };
    void Run();
    // Hands the first size bytes of the buffer filling (a multiple of
    // kAlign) to the disk; the rest begins the next buffer.
    void Submit(std::size_t size);
    bool WriteOut(int fd, const char* p, std::size_t n, off_t at);
    void Stop();

    int FFd = -1;
    int FFlags = 0;  // fd's flags as opened
    std::size_t FBlock = kBlock;
    struct TFree {
        void operator()(char* p) const;
    };
    std::unique_ptr<char, TFree> FBuffers[kBuffers];
    // The buffer filling and its size, and where in the file it goes.
    int FCurrent = 0;
    std::size_t FFill = 0;
    off_t FAt = 0;
    // Shared with the thread, under FLock.
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TJob> FJobs;
    std::vector<int> FIdle;
    bool FStopping = false;
    bool FDirect = true;  // false once the system refused a write past its cache
    int FError = 0;
    std::thread FThread;
};
