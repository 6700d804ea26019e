#include "output/text_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <unistd.h>

#include "output/errors.h"

namespace {
constexpr size_t kBufferSize = 1 << 16;
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
    FBuf.clear();
    FBuf.reserve(kBufferSize + 64);
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
    FBuf.clear();
    FBuf.reserve(kBufferSize + 64);
}

void TTextFile::WriteSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (!FFile) throw EFileError("'" + FPath + "' is not open for writing");
    char line[64];
    char* p = line;
    p = std::to_chars(p, line + sizeof line, x1).ptr;
    *p++ = ';';
    p = std::to_chars(p, line + sizeof line, y1).ptr;
    *p++ = ';';
    p = std::to_chars(p, line + sizeof line, x2).ptr;
    *p++ = ';';
    p = std::to_chars(p, line + sizeof line, y2).ptr;
    *p++ = '\r';
    *p++ = '\n';
    FBuf.append(line, size_t(p - line));
    if (FBuf.size() >= kBufferSize) Flush();
}

void TTextFile::Flush() {
    if (FBuf.empty()) return;
    if (std::fwrite(FBuf.data(), 1, FBuf.size(), FFile) != FBuf.size()) {
        int err = errno;
        FBuf.clear();
        throw EFileError("cannot write '" + FPath + "': " + std::strerror(err ? err : EIO));
    }
    FBuf.clear();
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
