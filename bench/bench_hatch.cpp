// One huge hatch: an outline of N vertices (a wavy closed curve like a
// coastline) crossed by about N pattern lines at 30 degrees.
//   bench_hatch [N] [RUNS]       (defaults 20000 and 5)
// Reports the median time of loading the drawing (reading and finishing the
// hatch: boundary, family, clipping), and checks once that the points are
// those of the plain test of every boundary segment against every line,
// timing that too.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/hatch_clip.h"

namespace {
double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string HugeHatch(int n) {
    std::string s = "0\nSECTION\n2\nENTITIES\n0\nHATCH\n8\n0\n2\nUSER\n70\n0\n91\n1\n92\n2\n72\n0\n73\n1\n93\n" +
                    std::to_string(n) + "\n";
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto noise = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return double(seed >> 11) / double(1ull << 53) * 4 - 2;
    };
    char b[96];
    for (int i = 0; i < n; ++i) {
        double a = 6.283185307179586 * i / n;
        double r = 4000 + 300 * std::sin(7 * a) + 150 * std::sin(23 * a + 1) + noise();
        std::snprintf(b, sizeof b, "10\n%.4f\n20\n%.4f\n", 5000 + r * std::cos(a), 5000 + r * std::sin(a));
        s += b;
    }
    // Lines 0.59 apart across the 11700 units the outline spans at 30 degrees.
    const double step = 0.59;
    std::snprintf(b, sizeof b, "97\n0\n75\n0\n76\n1\n78\n1\n53\n30\n43\n0\n44\n0\n45\n%.6f\n46\n%.6f\n79\n0\n",
                  -step * 0.5, step * 0.8660254037844386);
    s += b;
    s += "0\nENDSEC\n0\nEOF\n";
    return s;
}
}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string text = HugeHatch(n);
    std::vector<double> secs;
    std::vector<TPoint2F> segments;
    TBox3F box{};
    for (int i = 0; i < runs; ++i) {
        TkrDXFConverter conv;
        std::string copy = text;
        auto t0 = std::chrono::steady_clock::now();
        conv.LoadFromText(std::move(copy));
        secs.push_back(Seconds(t0));
        auto* h = static_cast<TkrDXFHatch*>(conv.EntityAt(0));
        if (i == 0) segments = h->Segments, box = h->Box;
    }
    std::sort(secs.begin(), secs.end());

    // The same family, clipped by testing every segment against every line.
    THatchPatternLine pl;
    pl.Angle = 30;
    pl.OffsetX = float(-0.59 * 0.5);
    pl.OffsetY = float(0.59 * 0.8660254037844386);
    std::vector<THatchFamilyLine> lines;
    GenerateFamily(pl, box, kMaxHatchLines, lines);
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    const auto& path = static_cast<TkrDXFHatch*>(conv.EntityAt(0))->Paths[0];
    std::vector<TPoint3F> boundary = {{float(path.size() + 1), 0, 0}};
    boundary.insert(boundary.end(), path.begin(), path.end());
    boundary.push_back(path[0]);
    auto t0 = std::chrono::steady_clock::now();
    std::vector<TPoint2F> plain;
    for (const THatchFamilyLine& l : lines) {
        const float l4[4] = {l.X1, l.Y1, l.X2, l.Y2};
        std::vector<TPoint3F> hits = ParseLinesHatch(boundary, l4);
        for (size_t k = 0; k + 1 < hits.size(); k += 2)
            plain.insert(plain.end(), {{hits[k].X, hits[k].Y}, {hits[k + 1].X, hits[k + 1].Y}});
    }
    double plainSecs = Seconds(t0);
    std::printf("hatch of %d boundary segments, %zu family lines, %zu pieces: load median %.3f s over %d runs "
                "(min %.3f, max %.3f); every segment against every line %.2f s; points %s\n",
                n, lines.size(), segments.size() / 2, secs[secs.size() / 2], runs, secs.front(), secs.back(),
                plainSecs, plain == segments ? "identical" : "DIFFERENT");
    return plain == segments ? 0 : 1;
}
