#include "output/text_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <unistd.h>

#include "output/decimal.h"
#include "output/errors.h"

namespace {
constexpr size_t kBufferSize = 1 << 18;
}

TTextFile::~TTextFile() {
    if (FFile) std::fclose(FFile);  // an error path: the run reports the error that got us here
}

void TTextFile::Rewrite() {
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
}

void TTextFile::RewriteDescriptor(int fd) {
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
}

using decimal::PutInt;

void TTextFile::WriteSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (!FFile) throw EFileError("'" + FPath + "' is not open for writing");
    // A line is at most 4 x 11 + 3 + 2 = 49 characters.
    if (FLen + 64 > kBufferSize) Flush();
    char* p = FBuf.get() + FLen;
    p = PutInt(p, x1);
    *p++ = ';';
    p = PutInt(p, y1);
    *p++ = ';';
    p = PutInt(p, x2);
    *p++ = ';';
    p = PutInt(p, y2);
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
        Flush();
    } catch (...) {
        FFile = nullptr;
        std::fclose(f);
        throw;
    }
    FFile = nullptr;
    if (std::fclose(f) != 0) throw EFileError("cannot write '" + FPath + "': " + std::strerror(errno));
}
