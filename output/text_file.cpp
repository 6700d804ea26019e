#include "output/text_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <utility>

#include <unistd.h>

#include "output/decimal.h"
#include "output/decimal_fast.h"
#include "output/errors.h"

namespace {
constexpr size_t kBufferSize = 1 << 18;
}

TTextFile::~TTextFile() {
    FPipe.reset();  // its thread writes to the file
    if (FFile) std::fclose(FFile);  // an error path: the run reports the error that got us here
}

void TTextFile::StartThread() {
    FPipe.reset();
    FSegments.Clear();
    FError = nullptr;
    if (!FOnThread) return;
    FSegments.XY.reserve(kPieceInts);
    FRunStart = SIZE_MAX;
    FPipe = std::make_unique<TPiecePipe<TSegmentPiece>>([this](const TSegmentPiece& piece) {
        const int32_t* p = piece.XY.data();
        for (const int32_t* end = p + piece.XY.size(); p != end;) {
            const int32_t n = *p++;
            for (int32_t i = 1; i < n; ++i, p += 2) Format(p[0], p[1], p[2], p[3]);
            p += 2;
        }
    });
    if (FSide) FPipe->ShareWith(*FSide);
}

void TTextFile::Rewrite() {
    FPipe.reset();
    if (FFile) {
        std::fclose(FFile);
        FFile = nullptr;
    }
    // Created exclusively: the caller chose a name that did not exist, and a
    // file that appears under it meanwhile is never overwritten.
    FFile = std::fopen(FPath.c_str(), "wbx");
    if (!FFile) throw EFileError("cannot create '" + FPath + "': " + std::strerror(errno));
    FLen = 0;
    if (!FBuf) FBuf = std::make_unique_for_overwrite<char[]>(kBufferSize);
    StartThread();
}

void TTextFile::RewriteDescriptor(int fd) {
    FPipe.reset();
    if (FFile) {
        std::fclose(FFile);
        FFile = nullptr;
    }
    int own = fd >= 0 ? ::dup(fd) : -1;
    if (own >= 0) FFile = ::fdopen(own, "wb");
    if (!FFile) {
        int err = errno;
        if (own >= 0) ::close(own);
        throw EFileError("cannot write '" + FPath + "': " + std::strerror(err ? err : EBADF));
    }
    FLen = 0;
    if (!FBuf) FBuf = std::make_unique_for_overwrite<char[]>(kBufferSize);
    StartThread();
}

void TTextFile::PushPiece() {
    // A full piece goes to the writing thread; this one starts the next.
    FPipe->Push(FSegments);
    FSegments.XY.reserve(kPieceInts);
    FRunStart = SIZE_MAX;
}

void TTextFile::WritePolyline(const TPoint* p, size_t n) {
    if (n < 2) return;
    if (!FFile) throw EFileError("'" + FPath + "' is not open for writing");
    if (!FPipe) {
        if (FError) return;  // see WriteSegmentSlow
        try {
            for (size_t i = 1; i < n; ++i) Format(p[i - 1].X, p[i - 1].Y, p[i].X, p[i].Y);
        } catch (...) {
            FError = std::current_exception();
        }
        return;
    }
    // Runs as long as the pieces take: a run cut at a piece's end goes on
    // in the next one from the point it ended with.
    std::vector<int32_t>& piece = FSegments.XY;
    while (n >= 2) {
        if (piece.size() + 5 > kPieceInts) PushPiece();
        size_t take = std::min(n, (kPieceInts - piece.size() - 1) / 2);
        ClaimAhead(piece);
        FRunStart = piece.size();
        piece.push_back(int32_t(take));
        const size_t at = piece.size();
        piece.resize(at + 2 * take);
        static_assert(sizeof(TPoint) == 2 * sizeof(int32_t), "a point is its x and y");
        std::memcpy(piece.data() + at, p, take * sizeof(TPoint));
        p += take - 1;
        n -= take - 1;
    }
}

void TTextFile::WriteSegmentSlow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (!FFile) throw EFileError("'" + FPath + "' is not open for writing");
    if (FPipe) {
        PushPiece();
        FRunStart = 0;
        FSegments.XY.insert(FSegments.XY.end(), {2, x1, y1, x2, y2});
        return;
    }
    // Without the thread a write error is kept for Close as well, so that
    // it ends the drawing at the same point either way.
    if (FError) return;
    try {
        Format(x1, y1, x2, y2);
    } catch (...) {
        FError = std::current_exception();
    }
}

void TTextFile::Format(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    // A line is at most 4 x 11 + 3 + 2 = 49 characters; the last number's
    // 8-byte store reaches at most 7 past it, well inside the 64 kept free.
    if (FLen + 64 > kBufferSize) Flush();
    char* p = decimal::PutSegmentLine(FBuf.get() + FLen, x1, y1, x2, y2);
    FLen = size_t(p - FBuf.get());
}

void TTextFile::Flush() {
    if (FLen == 0) return;
    const size_t n = FLen;
    FLen = 0;
    if (std::fwrite(FBuf.get(), 1, n, FFile) != n) {
        int err = errno;
        throw EFileError("cannot write '" + FPath + "': " + std::strerror(err ? err : EIO));
    }
}

void TTextFile::Close() {
    if (!FFile) return;
    std::FILE* f = FFile;
    try {
        if (std::unique_ptr<TPiecePipe<TSegmentPiece>> pipe = std::move(FPipe)) pipe->FinishWith(FSegments);
        if (std::exception_ptr error = std::exchange(FError, nullptr)) std::rethrow_exception(error);
        Flush();
    } catch (...) {
        FFile = nullptr;
        std::fclose(f);
        throw;
    }
    FFile = nullptr;
    if (std::fclose(f) != 0) throw EFileError("cannot write '" + FPath + "': " + std::strerror(errno));
}
