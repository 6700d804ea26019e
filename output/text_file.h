// The text output of the drawing sink: one "x1;y1;x2;y2" line per straight
// segment, CR LF line ends, written through one buffer (no flush per line).
// On request the lines are formatted and written on a thread of their own
// while the drawing goes on; the file is the same byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/batch_pipe.h"
#include "platform/plane.h"
#include "platform/write_ahead.h"

class TTextFile {
public:
    TTextFile() = default;
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    // Binds the file to a path; nothing is opened yet.
    void Bind(std::string path) { FPath = std::move(path); }
    const std::string& Path() const { return FPath; }
    // Creates the bound file, empty, for writing; throws EFileError when it
    // cannot be created or already exists.
    void Rewrite();
    // Writes to an already open descriptor instead (for example standard
    // output or /dev/null); the descriptor is duplicated, so Close leaves the
    // caller's own descriptor open. Throws EFileError when it is unusable.
    void RewriteDescriptor(int fd);
    bool IsOpen() const { return FFile != nullptr; }
    // Set before Rewrite: the segments are handed in pieces to a thread of
    // this file's own, which formats and writes them. Either way a write
    // error stops the writing (nothing after it is written) and is raised by
    // Close, whenever it happened: the drawing goes on to its end meanwhile.
    void WriteOnThread(bool on) { FOnThread = on; }
    // Set before Rewrite, with WriteOnThread: the writing thread also does
    // side's work while it waits for segments (side outlives the file's
    // Close).
    void ShareThread(TSideWork* side) { FSide = side; }
    void WriteSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        if (FPipe && FSegments.XY.size() + 5 <= kPieceInts) {
            std::vector<int32_t>& xy = FSegments.XY;
            ClaimAhead(xy);
            // A segment that starts where the one before ended continues its run.
            if (FRunStart < xy.size() && xy.end()[-2] == x1 && xy.end()[-1] == y1) {
                xy.insert(xy.end(), {x2, y2});
                ++xy[FRunStart];
            } else {
                FRunStart = xy.size();
                xy.insert(xy.end(), {2, x1, y1, x2, y2});
            }
            return;
        }
        WriteSegmentSlow(x1, y1, x2, y2);
    }
    // The n - 1 segments from each of the n points p to the next, as
    // WriteSegment writes them one by one.
    void WritePolyline(const TPoint* p, size_t n);
    // Writes what is buffered and closes the file; throws EFileError when a
    // write fails (a full disk, a file-size limit).
    void Close();

private:
    // The segments as runs of points, each segment from a point of its run
    // to the next: the point count n (at least 2), then x, y of each point.
    struct TSegmentPiece {
        std::vector<int32_t> XY;
        void Clear() { XY.clear(); }
    };
    // Segments handed over at a time: 256 KiB of integers.
    static constexpr size_t kPieceInts = 4 * 16384;
    void PushPiece();
    // The piece's room ahead of its end, for writing (a piece comes back
    // from the writing thread: see write_ahead.h).
    static void ClaimAhead(const std::vector<int32_t>& xy) {
        const char* at = reinterpret_cast<const char*>(xy.data() + xy.size());
        write_ahead::ClaimAhead(at, reinterpret_cast<const char*>(xy.data() + xy.capacity()));
    }
    void WriteSegmentSlow(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void Format(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void Flush();
    void StartThread();
    std::string FPath;
    std::FILE* FFile = nullptr;
    bool FOnThread = false;
    TSideWork* FSide = nullptr;
    std::exception_ptr FError;  // the write error that stopped writing
    TSegmentPiece FSegments;  // not yet handed over
    size_t FRunStart = SIZE_MAX;  // the count of its last run
    // The writing thread's, changed with every line it formats: on a line of
    // their own (alignas, here and below), since the drawing thread reads the
    // fields above with every segment, and a line one thread writes while the
    // other reads it goes back and forth between the processors each time.
    alignas(64) std::unique_ptr<char[]> FBuf;  // lines not yet written
    size_t FLen = 0;
    alignas(64) std::unique_ptr<TPiecePipe<TSegmentPiece>> FPipe;  // last: its thread uses the buffer
};
