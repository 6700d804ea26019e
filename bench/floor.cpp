// The floor of every conversion figure: a bare scan of a DXF file. Reads the
// whole file into memory (as the converter does), finds every line with
// memchr and reads every value with std::from_chars, an integer for the code
// lines and a number (where one parses) for the value lines. Nothing is kept;
// a checksum of what was read is printed so that no step can be left out.
//   bench_floor FILE
// Prints the lines scanned and the checksum on standard output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

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
    auto text = std::make_unique_for_overwrite<char[]>(size + 1);
    for (size_t done = 0; done < size;) {
        ssize_t n = ::read(fd, text.get() + done, size - done);
        if (n <= 0) {
            std::perror(argv[1]);
            return 1;
        }
        done += size_t(n);
    }
    ::close(fd);
    const char* p = text.get();
    const char* const end = p + size;
    uint64_t lines = 0, codes = 0, numbers = 0;
    double sum = 0;
    bool codeLine = true;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* e = nl ? nl : end;
        const char* v = e > p && e[-1] == '\r' ? e - 1 : e;
        const char* b = p;
        while (b < v && *b == ' ') ++b;
        if (codeLine) {
            int code = 0;
            std::from_chars(b, v, code);
            codes += uint64_t(code);
        } else {
            double d = 0;
            if (std::from_chars(b, v, d).ec == std::errc() && d == d && d - d == 0) {
                sum += d;
                ++numbers;
            }
        }
        codeLine = !codeLine;
        ++lines;
        p = nl ? nl + 1 : end;
    }
    std::printf("%llu lines, %llu finite numbers, checksum %llu %.6g\n", (unsigned long long)lines,
                (unsigned long long)numbers, (unsigned long long)codes, sum);
    return 0;
}
