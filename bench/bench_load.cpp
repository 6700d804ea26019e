// Load throughput: read the file, build the model, compute the extents.
//   bench_load FILE [RUNS]
// Reports the median MB/s over the runs and the peak resident memory of the
// process relative to the file size.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "model/converter.h"

namespace {
void NoDraw(void*, TkrDXFEntity&) {}
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_load FILE [RUNS]\n");
        return 2;
    }
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::string text;
    {
        std::ifstream f(argv[1], std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        text = ss.str();
    }
    double mb = text.size() / 1048576.0;
    std::vector<double> secs;
    int entities = 0;
    for (int i = 0; i < runs; ++i) {
        std::string copy = text;
        auto t0 = std::chrono::steady_clock::now();
        {
            TkrDXFConverter conv;
            conv.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = {NoDraw, nullptr}; };
            conv.Text = std::move(copy);
            conv.Load();
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
    // The benchmark holds one extra copy of the text; subtract it for the loader's own peak.
    std::printf("load %s: %.1f MB, %d entities, median %.3f s over %d runs = %.1f MB/s; peak memory %.1f MB "
                "(%.2f x file; loader alone about %.2f x)\n",
                argv[1], mb, entities, med, runs, mb / med, peak, peak / mb, (peak - mb) / mb);
    return 0;
}
