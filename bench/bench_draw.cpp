// Conversion throughput in MB/s of input, for three stages:
//   load  - load the drawing (read from memory, build the model, extents)
//   text  - load + draw every layout in text mode, lines written to /dev/null
//   dxf   - load + draw every layout in DXF mode + FinishDrawing + SaveToFile
//           (to a temporary file, removed afterwards)
//   bench_draw FILE [RUNS] [load|text|dxf|all]
// Every stage runs in a child process of its own, so that the peak resident
// memory (getrusage) it reports belongs to that stage alone. The file is read
// into memory before the clock starts; the times are medians over the runs.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/draw_layout.h"

namespace {

std::string ReadAll(const char* path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// One conversion of every layout; returns the bytes written. The graphic is
// handed back so that its release falls outside the clock, as in bench_load.
std::size_t Convert(std::string&& text, const std::string& mode, int nullFd, const std::string& tmp,
                    std::unique_ptr<TkrDXFImage>& keep) {
    keep = std::make_unique<TkrDXFImage>();
    TkrDXFImage& g = *keep;
    g.LoadFromText(std::move(text));
    if (mode == "load") return 0;
    std::size_t written = 0;
    for (int i = 0; i < g.LayoutCount(); ++i) {
        g.SetCurrentLayout(g.GetLayout(i));
        if (mode == "text") {
            DrawTextForm(g, nullFd);
        } else {
            DrawDxfForm(g)->SaveToFile(tmp);
            written += std::filesystem::file_size(tmp);
            std::filesystem::remove(tmp);
        }
    }
    return written;
}

void RunStage(const char* path, int runs, const std::string& mode) {
    // The input copy is made before each run, outside the clock, as the
    // loader takes ownership of the text.
    std::string text = ReadAll(path);
    const double mb = text.size() / 1048576.0;
    int nullFd = ::open("/dev/null", O_WRONLY);
    std::string tmp = (std::filesystem::temp_directory_path() / ("bench_draw_" + std::to_string(::getpid()) + ".dxf")).string();
    std::vector<double> secs;
    std::size_t out = 0;
    for (int i = 0; i < runs; ++i) {
        std::string copy = text;
        std::unique_ptr<TkrDXFImage> keep;
        auto t0 = std::chrono::steady_clock::now();
        out = Convert(std::move(copy), mode, nullFd, tmp, keep);
        auto t1 = std::chrono::steady_clock::now();
        keep.reset();
        secs.push_back(std::chrono::duration<double>(t1 - t0).count());
    }
    std::sort(secs.begin(), secs.end());
    const double med = secs[secs.size() / 2];
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const double peak = ru.ru_maxrss / 1024.0;
    std::printf("%-4s %s: %.1f MB in, median %.3f s of %d = %6.1f MB/s of input; peak %.0f MB (%.2f x input, "
                "one extra input copy included)",
                mode.c_str(), path, mb, med, runs, mb / med, peak, peak / mb);
    if (out) std::printf("; DXF %.1f MB", out / 1048576.0);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_draw FILE [RUNS] [load|text|dxf|all]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string which = argc > 3 ? argv[3] : "all";
    std::vector<std::string> modes;
    if (which == "all") modes = {"load", "text", "dxf"};
    else modes = {which};
    int status = 0;
    for (const std::string& mode : modes) {
        pid_t pid = ::fork();
        if (pid == 0) {
            try {
                RunStage(argv[1], runs, mode);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s: %s\n", mode.c_str(), e.what());
                std::_Exit(1);
            }
            std::_Exit(0);
        }
        int st = 0;
        ::waitpid(pid, &st, 0);
        if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) status = 1;
    }
    return status;
}
