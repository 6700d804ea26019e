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
    FPipe = std::make_unique<TPiecePipe<TSegmentPiece>>([this](const TSegmentPiece& piece) {
        const int32_t* p = piece.XY.data();
        for (const int32_t* end = p + piece.XY.size(); p != end; p += 4) Format(p[0], p[1], p[2], p[3]);
    });
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

void TTextFile::WriteSegmentSlow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (!FFile) throw EFileError("'" + FPath + "' is not open for writing");
    if (FPipe) {
        // A full piece goes to the writing thread; this one starts the next.
        FPipe->Push(FSegments);
        FSegments.XY.reserve(kPieceInts);
        FSegments.XY.insert(FSegments.XY.end(), {x1, y1, x2, y2});
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
    char* p = FBuf.get() + FLen;
    p = decimal::PutInt32Wide(p, x1);
    *p++ = ';';
    p = decimal::PutInt32Wide(p, y1);
    *p++ = ';';
    p = decimal::PutInt32Wide(p, x2);
    *p++ = ';';
    p = decimal::PutInt32Wide(p, y2);
    *p++ = '\r';
    *p++ = '\n';
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
