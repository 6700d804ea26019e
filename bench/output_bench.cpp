// Writing a simplified DXF of one million LINE figures: records the lines on
// the recording canvas, reads the recording back, builds the file in memory
// and writes it. Reports the output rate and the peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "output/dxf_writer.h"

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::string path =
        (std::filesystem::temp_directory_path() / "bench_output.dxf").string();
    using clock = std::chrono::steady_clock;

    TkrDXFExport w;
    auto t0 = clock::now();
    TRecordingCanvas& c = w.GetCanvas();
    c.Pen.Color = 0x0000FF;
    c.Pen.Width = 1;
    for (int i = 0; i < count; ++i) {
        c.MoveTo(i % 600000, i / 1000);
        c.LineTo(i % 600000 + 1000, i / 1000 + 37);
    }
    auto t1 = clock::now();
    w.FinishDrawing();
    auto t2 = clock::now();
    std::string text = w.SaveToString();
    auto t3 = clock::now();
    w.SaveToFile(path);
    auto t4 = clock::now();

    auto secs = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const double mb = text.size() / 1e6;
    std::printf("lines: %d, figures: %zu, file: %.1f MB\n", count, w.Figures().size(), mb);
    std::printf("record on canvas: %.3f s\n", secs(t0, t1));
    std::printf("read back into figures: %.3f s\n", secs(t1, t2));
    std::printf("build file text: %.3f s (%.1f MB/s)\n", secs(t2, t3), mb / secs(t2, t3));
    std::printf("SaveToFile (build + write): %.3f s (%.1f MB/s)\n", secs(t3, t4),
                mb / secs(t3, t4));
    std::printf("total: %.3f s (%.1f MB/s of output)\n", secs(t0, t4) - secs(t2, t3),
                mb / (secs(t0, t4) - secs(t2, t3)));
    std::printf("peak memory (ru_maxrss): %.1f MB\n", ru.ru_maxrss / 1024.0);
    std::filesystem::remove(path);
    return 0;
}
