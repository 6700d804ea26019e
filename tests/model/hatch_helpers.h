// Small HATCH entities written inline in tests.
#pragma once

#include <array>
#include <charconv>
#include <memory>
#include <string>
#include <vector>

#include "dxf_snippets.h"
#include "model/entities/hatch.h"
#include "model_helpers.h"

namespace hatchtest {

using TGroups = std::vector<std::string>;

inline std::string Num(double v) {
    char b[32];
    auto r = std::to_chars(b, b + sizeof b, v);
    return std::string(b, r.ptr);
}

// A polyline path (92 = 2) through the points, without bulges.
inline TGroups PolyPath(const std::vector<std::array<double, 2>>& pts) {
    TGroups g = {"92", "2", "72", "0", "73", "1", "93", Num(double(pts.size()))};
    for (auto& p : pts) g.insert(g.end(), {"10", Num(p[0]), "20", Num(p[1])});
    g.insert(g.end(), {"97", "0"});
    return g;
}

// A polyline path with a bulge (third number) at every vertex.
inline TGroups BulgePath(const std::vector<std::array<double, 3>>& pts) {
    TGroups g = {"92", "2", "72", "1", "73", "1", "93", Num(double(pts.size()))};
    for (auto& p : pts) g.insert(g.end(), {"10", Num(p[0]), "20", Num(p[1]), "42", Num(p[2])});
    g.insert(g.end(), {"97", "0"});
    return g;
}

// One pattern line: angle, base, offset and its dash lengths.
inline TGroups PatternLine(double angle, double bx, double by, double ox, double oy,
                           const std::vector<double>& dashes = {}) {
    TGroups g = {"53", Num(angle), "43", Num(bx), "44", Num(by), "45", Num(ox), "46", Num(oy),
                 "79", Num(double(dashes.size()))};
    for (double d : dashes) g.insert(g.end(), {"49", Num(d)});
    return g;
}

// The groups of a HATCH entity (after "0", "HATCH"): paths, then the pattern
// lines (none: a solid fill), then one seed point, as writers order them.
inline TGroups HatchGroups(const std::vector<TGroups>& paths, const std::vector<TGroups>& lines,
                           const TGroups& extra = {}) {
    const bool solid = lines.empty();
    TGroups g = {"0", "HATCH", "8", "0"};
    g.insert(g.end(), extra.begin(), extra.end());
    g.insert(g.end(), {"10", "0", "20", "0", "30", "0", "2", solid ? "SOLID" : "USER", "70", solid ? "1" : "0",
                       "71", "0", "91", Num(double(paths.size()))});
    for (auto& p : paths) g.insert(g.end(), p.begin(), p.end());
    g.insert(g.end(), {"75", "0", "76", "1"});
    if (!solid) {
        g.insert(g.end(), {"52", "0", "41", "1", "77", "0", "78", Num(double(lines.size()))});
        for (auto& l : lines) g.insert(g.end(), l.begin(), l.end());
    }
    g.insert(g.end(), {"98", "1", "10", "3", "20", "3"});
    return g;
}

inline std::string HatchDxf(const std::vector<TGroups>& paths, const std::vector<TGroups>& lines,
                            const TGroups& extra = {}) {
    return dxftest::Entities(HatchGroups(paths, lines, extra));
}

// The first entity of a loaded drawing as a hatch (the converter owns it).
struct TLoaded {
    std::unique_ptr<TkrDXFConverter> Conv;
    TkrDXFHatch* Hatch = nullptr;
};

inline TLoaded LoadHatch(const std::string& text) {
    TLoaded l;
    l.Conv = modeltest::LoadDrawable(text);
    TkrDXFEntity* e = l.Conv->EntityAt(0);
    if (e && e->Is(TEntityClass::Hatch)) l.Hatch = static_cast<TkrDXFHatch*>(e);
    return l;
}

// The segments as pairs of points, for comparing.
using TSeg = std::array<float, 4>;
template <class Point>
std::vector<TSeg> Pairs(const std::vector<Point>& s) {
    std::vector<TSeg> r;
    for (size_t i = 0; i + 1 < s.size(); i += 2) r.push_back({s[i].X, s[i].Y, s[i + 1].X, s[i + 1].Y});
    return r;
}

}  // namespace hatchtest
