// A file-size limit for the lifetime of the object, standing in for a full
// disk: writes past it fail (EFBIG) instead of raising SIGXFSZ. The limit
// before and the signal's handling are put back at the end.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(std::uint64_t bytes) {
        Set = getrlimit(RLIMIT_FSIZE, &Old) == 0;
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = Old;
        small.rlim_cur = rlim_t(bytes);
        Set = Set && setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    // False when the limit could not be set (the test then proves nothing).
    bool Set = false;

private:
    rlimit Old{};
    void (*OldHandler)(int) = SIG_DFL;
};
