// Load throughput: read the file, build the model, compute the extents.
//   bench_load FILE [RUNS] [--whole]
// Reports the median MB/s over the runs and the peak resident memory of the
// process relative to the file size. The file is read as the conversion
// reads it, a window at a time from the file; with --whole it is read into
// one text first and loaded from that (the benchmark then holds one extra
// copy of the text).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "model/converter.h"

namespace {
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_load FILE [RUNS] [--whole]\n");
        return 2;
    }
    int runs = argc > 2 && std::strcmp(argv[2], "--whole") != 0 ? std::atoi(argv[2]) : 5;
    bool whole = false;
    for (int i = 2; i < argc; ++i) whole |= std::strcmp(argv[i], "--whole") == 0;
    std::string text;
    size_t size = 0;
    {
        std::ifstream f(argv[1], std::ios::binary);
        if (!f) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        if (whole) {
            std::stringstream ss;
            ss << f.rdbuf();
            text = ss.str();
            size = text.size();
        } else {
            f.seekg(0, std::ios::end);
            size = size_t(f.tellg());
        }
    }
    double mb = size / 1048576.0;
    std::vector<double> secs;
    int entities = 0;
    for (int i = 0; i < runs; ++i) {
        std::string copy = whole ? text : std::string();
        auto t0 = std::chrono::steady_clock::now();
        {
            TkrDXFConverter conv;
            conv.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = dhInventory; };
            if (whole) {
                conv.LoadFromText(std::move(copy));
            } else {
                std::ifstream f(argv[1], std::ios::binary);
                conv.LoadFromStream(f, size);
            }
            conv.ComputeExtents();
            entities = conv.TableCount(tkEntities);
            auto t1 = std::chrono::steady_clock::now();
            secs.push_back(std::chrono::duration<double>(t1 - t0).count());
        }
    }
    std::sort(secs.begin(), secs.end());
    double med = secs[secs.size() / 2];
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double peak = ru.ru_maxrss / 1024.0;
    std::printf("load %s (%s): %.1f MB, %d entities, median %.3f s over %d runs = %.1f MB/s; peak memory %.1f MB "
                "(%.2f x file)\n",
                argv[1], whole ? "whole text" : "from the file", mb, entities, med, runs, mb / med, peak, peak / mb);
    return 0;
}
