#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool HasNul(const std::string& path) { return path.find('\0') != std::string::npos; }
}  // namespace

TFileInfo InspectFile(const std::string& path) {
    TFileInfo info;
    struct stat st {};
    // A path with a NUL byte would name a different (shorter) path.
    if (path.empty() || HasNul(path) || ::stat(path.c_str(), &st) != 0) return info;
    info.Kind = S_ISREG(st.st_mode) ? TFileKind::fkRegular : TFileKind::fkOther;
    info.Id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    info.Size = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    return info;
}

bool ReadRegularFile(const std::string& path, uint64_t maxSize, std::string& text, TFileIdentity& id,
                     std::string& error) {
    text.clear();
    if (path.empty() || HasNul(path)) {
        error = "no such file";
        return false;
    }
    // Non-blocking: opening a FIFO without a writer (or a device) must not
    // wait; such a file is refused once open.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } close{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    uint64_t size = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    if (size > maxSize) {
        error = "larger than " + std::to_string(maxSize) + " bytes";
        return false;
    }
    // The file may grow while it is read: at most maxSize + 1 bytes are
    // taken, and more than maxSize is refused.
    text.resize(size_t(size));
    size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (text.size() > maxSize) break;
            text.resize(std::min<size_t>(size_t(maxSize) + 1, text.size() + 65536));
        }
        ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            text.clear();
            return false;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    text.resize(got);
    if (got > maxSize) {
        error = "larger than " + std::to_string(maxSize) + " bytes";
        text.clear();
        return false;
    }
    return true;
}
