// The floor of every conversion figure: the bare scan that any reader of a
// DXF file must do. Maps the file (populated at once), finds every line end
// with memchr, reads every group code line as an integer and only the values
// of the real-number group codes (10-59, 110-149, 210-239, 1010-1059) as
// doubles with std::from_chars. Nothing is kept; a checksum of what was read
// is printed so that no step can be left out.
//   bench_floor FILE
// Prints the lines scanned and the checksum on standard output.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
bool RealCode(int code) {
    return (code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
           (code >= 1010 && code <= 1059);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_floor FILE\n");
        return 2;
    }
    int fd = ::open(argv[1], O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const size_t size = size_t(st.st_size);
    const char* p = "";
    void* map = nullptr;
    if (size > 0) {
        map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (map == MAP_FAILED) {
            std::perror(argv[1]);
            return 1;
        }
        p = static_cast<const char*>(map);
    }
    ::close(fd);
    const char* const end = p + size;
    uint64_t lines = 0, codes = 0, numbers = 0;
    double sum = 0;
    bool codeLine = true;
    int code = 0;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* e = nl ? nl : end;
        const char* v = e > p && e[-1] == '\r' ? e - 1 : e;
        const char* b = p;
        while (b < v && *b == ' ') ++b;
        if (codeLine) {
            code = 0;
            std::from_chars(b, v, code);
            codes += uint64_t(code);
        } else if (RealCode(code)) {
            double d = 0;
            if (std::from_chars(b, v, d).ec == std::errc()) {
                sum += d;
                ++numbers;
            }
        }
        codeLine = !codeLine;
        ++lines;
        p = nl ? nl + 1 : end;
    }
    if (map) ::munmap(map, size);
    std::printf("%llu lines, %llu real values, checksum %llu %.6g\n", (unsigned long long)lines,
                (unsigned long long)numbers, (unsigned long long)codes, sum);
    return 0;
}
