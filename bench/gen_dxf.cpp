// Writes a large deterministic synthetic DXF drawing for the benchmarks.
//   gen_dxf SIZE_MB OUTPUT [mixed|curves|hatches|patterns|text|annotations]
// mixed:   LINE, LWPOLYLINE with bulges, CIRCLE, ARC, TEXT and INSERTs of nested
//          blocks on several layers, some with a dashed line type.
// curves:  circles, arcs, bulged polylines, ellipses and splines, many dashed.
// hatches: first one huge hatch (an outline of 20000 vertices crossed by
//          about 20000 pattern lines), then pattern hatches with islands,
//          bulged, arc and ellipse edges and dashed patterns, and solid fills.
// patterns: the same hatches without the huge one.
// text:    TEXT (every alignment, turned, with control codes) and MTEXT with
//          formatting codes, braces and word wrap, ten TEXT to one MTEXT;
//          17.4 MB hold 100 000 TEXT and 10 000 MTEXT.
// annotations: linear and aligned DIMENSIONs, each drawn by an anonymous
//          block of its own (extension and dimension lines, arrow solids, the
//          measurement as MTEXT), and LEADERs, straight and splined, with
//          arrowheads sized by $DIMASZ.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <string>

namespace {
struct TRandom {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    double Next() {  // [0, 1)
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return double(s >> 11) / double(1ull << 53);
    }
    double Range(double a, double b) { return a + (b - a) * Next(); }
    int Int(int n) { return int(Next() * n); }
};

// Builds "B3", "LAYER_7" and so on.
std::string Numbered(const char* prefix, long n) {
    std::string s(prefix);
    s += std::to_string(n);
    return s;
}

struct TOut {
    std::string Buf;
    void Pair(int code, const char* v) {
        char c[8];
        std::snprintf(c, sizeof c, "%3d\n", code);
        Buf += c;
        Buf += v;
        Buf += '\n';
    }
    void Pair(int code, const std::string& v) { Pair(code, v.c_str()); }
    void Real(int code, double v) {
        char b[32];
        auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, 4);
        *r.ptr = 0;
        Pair(code, b);
    }
    void Int(int code, long v) { Pair(code, std::to_string(v)); }
};

void Header(TOut& o) {
    o.Pair(0, "SECTION"), o.Pair(2, "HEADER");
    o.Pair(9, "$ACADVER"), o.Pair(1, "AC1015");
    o.Pair(9, "$LTSCALE"), o.Real(40, 5.0);
    o.Pair(9, "$DIMASZ"), o.Real(40, 2.5);
    o.Pair(9, "$DIMSCALE"), o.Real(40, 1.0);
    o.Pair(0, "ENDSEC");
    o.Pair(0, "SECTION"), o.Pair(2, "TABLES");
    o.Pair(0, "TABLE"), o.Pair(2, "LTYPE");
    o.Pair(0, "LTYPE"), o.Pair(2, "CONTINUOUS"), o.Int(70, 0);
    o.Pair(0, "LTYPE"), o.Pair(2, "DASHED"), o.Int(70, 0), o.Int(73, 2), o.Real(40, 19.05), o.Real(49, 12.7),
        o.Real(49, -6.35);
    o.Pair(0, "LTYPE"), o.Pair(2, "DASHDOT"), o.Int(70, 0), o.Int(73, 4), o.Real(40, 25.4), o.Real(49, 12.7),
        o.Real(49, -6.35), o.Real(49, 0), o.Real(49, -6.35);
    o.Pair(0, "ENDTAB");
    o.Pair(0, "TABLE"), o.Pair(2, "LAYER");
    for (int i = 0; i < 12; ++i) {
        o.Pair(0, "LAYER"), o.Pair(2, Numbered("LAYER_", i)), o.Int(70, 0), o.Int(62, 1 + i * 20);
        o.Pair(6, i % 4 == 3 ? "DASHED" : "CONTINUOUS");
    }
    o.Pair(0, "ENDTAB");
    o.Pair(0, "ENDSEC");
}

// extra: more blocks, written after the fixed ones.
void Blocks(TOut& o, const std::string& extra = {}) {
    o.Pair(0, "SECTION"), o.Pair(2, "BLOCKS");
    o.Buf += extra;
    // B0: a small symbol; B1 and B2 insert the one below twice (nested blocks).
    o.Pair(0, "BLOCK"), o.Pair(8, "0"), o.Pair(2, "B0"), o.Int(70, 0), o.Real(10, 0), o.Real(20, 0), o.Real(30, 0);
    o.Pair(0, "CIRCLE"), o.Pair(8, "0"), o.Real(10, 0), o.Real(20, 0), o.Real(40, 5);
    o.Pair(0, "LINE"), o.Pair(8, "0"), o.Real(10, -5), o.Real(20, 0), o.Real(11, 5), o.Real(21, 0);
    o.Pair(0, "ARC"), o.Pair(8, "0"), o.Real(10, 0), o.Real(20, 0), o.Real(40, 7), o.Real(50, 0), o.Real(51, 90);
    o.Pair(0, "ENDBLK");
    for (int b = 1; b <= 2; ++b) {
        o.Pair(0, "BLOCK"), o.Pair(8, "0"), o.Pair(2, Numbered("B", b)), o.Int(70, 0), o.Real(10, 0),
            o.Real(20, 0), o.Real(30, 0);
        for (int k = 0; k < 2; ++k) {
            o.Pair(0, "INSERT"), o.Pair(8, "0"), o.Pair(2, Numbered("B", b - 1)), o.Real(10, k * 20.0),
                o.Real(20, 0), o.Real(41, 1), o.Real(42, 1), o.Real(50, k * 45.0);
        }
        o.Pair(0, "LINE"), o.Pair(8, "0"), o.Real(10, 0), o.Real(20, -10), o.Real(11, 20), o.Real(21, -10);
        o.Pair(0, "ENDBLK");
    }
    o.Pair(0, "ENDSEC");
}

// The groups every generated entity starts with: type, handle, layer.
void EntityStart(TOut& o, TRandom& r, long& handle, const char* type) {
    o.Pair(0, type);
    char h[16];
    std::snprintf(h, sizeof h, "%lX", handle++);
    o.Pair(5, h);
    o.Pair(8, Numbered("LAYER_", r.Int(12)));
}

void Mixed(TOut& o, TRandom& r, long& handle) {
    auto common = [&](const char* type) { EntityStart(o, r, handle, type); };
    double x = r.Range(0, 10000), y = r.Range(0, 10000);
    int kind = r.Int(100);
    if (kind < 45) {
        common("LINE");
        o.Real(10, x), o.Real(20, y), o.Real(30, 0), o.Real(11, x + r.Range(-200, 200)), o.Real(21, y + r.Range(-200, 200)),
            o.Real(31, 0);
    } else if (kind < 60) {
        common("LWPOLYLINE");
        int n = 3 + r.Int(6);
        o.Int(90, n), o.Int(70, r.Int(2));
        for (int i = 0; i < n; ++i) {
            o.Real(10, x + r.Range(-300, 300)), o.Real(20, y + r.Range(-300, 300));
            if (r.Int(3) == 0) o.Real(42, r.Range(-1, 1));
        }
    } else if (kind < 72) {
        common("CIRCLE");
        o.Real(10, x), o.Real(20, y), o.Real(30, 0), o.Real(40, r.Range(1, 100));
    } else if (kind < 84) {
        common("ARC");
        o.Real(10, x), o.Real(20, y), o.Real(30, 0), o.Real(40, r.Range(1, 100)), o.Real(50, r.Range(0, 360)),
            o.Real(51, r.Range(0, 360));
    } else if (kind < 94) {
        common("TEXT");
        o.Real(10, x), o.Real(20, y), o.Real(30, 0), o.Real(40, r.Range(2, 10)),
            o.Pair(1, Numbered("Room ", r.Int(1000)));
    } else {
        common("INSERT");
        o.Pair(2, Numbered("B", r.Int(3)));
        o.Real(10, x), o.Real(20, y), o.Real(30, 0), o.Real(41, r.Range(0.5, 2)), o.Real(42, r.Range(0.5, 2)),
            o.Real(50, r.Range(0, 360));
    }
}

void Curves(TOut& o, TRandom& r, long& handle) {
    auto common = [&](const char* type) {
        EntityStart(o, r, handle, type);
        if (r.Int(2) == 0) o.Pair(6, r.Int(2) ? "DASHED" : "DASHDOT");
    };
    double x = r.Range(0, 10000), y = r.Range(0, 10000);
    int kind = r.Int(100);
    if (kind < 25) {
        common("CIRCLE");
        o.Real(10, x), o.Real(20, y), o.Real(40, r.Range(1, 300));
    } else if (kind < 50) {
        common("ARC");
        o.Real(10, x), o.Real(20, y), o.Real(40, r.Range(1, 300)), o.Real(50, r.Range(0, 360)), o.Real(51, r.Range(0, 360));
    } else if (kind < 70) {
        common("LWPOLYLINE");
        int n = 3 + r.Int(6);
        o.Int(90, n), o.Int(70, r.Int(2));
        for (int i = 0; i < n; ++i) o.Real(10, x + r.Range(-300, 300)), o.Real(20, y + r.Range(-300, 300)), o.Real(42, r.Range(-1, 1));
    } else if (kind < 85) {
        common("ELLIPSE");
        o.Real(10, x), o.Real(20, y), o.Real(11, r.Range(10, 200)), o.Real(21, r.Range(-50, 50)), o.Real(40, r.Range(0.2, 1)),
            o.Real(41, 0), o.Real(42, 6.283185307179586);
    } else {
        common("SPLINE");
        int n = 4 + r.Int(5);
        o.Int(70, 8), o.Int(71, 3), o.Int(72, n + 4), o.Int(73, n);
        for (int i = 0; i < n + 4; ++i) o.Real(40, i < 4 ? 0.0 : i >= n ? double(n - 3) : double(i - 3));
        for (int i = 0; i < n; ++i) o.Real(10, x + i * 50.0), o.Real(20, y + r.Range(-100, 100));
    }
}
// Windows-1252, as the drawing's release (AC1015) stores text.
const char* const kWords[] = {"Wand",  "T\xFCr",         "Fenster",        "Raum",    "K\xFC" "che", "Bad",
                              "Flur",  "Treppe",         "Decke",          "Boden",   "St\xFC" "tze", "\xD6" "ffnung",
                              "Schacht", "Balkon",       "Dach",           "Keller"};

std::string Words(TRandom& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += kWords[r.Int(16)];
    }
    return s;
}

// Every eleventh entity is a multi-line text.
void Texts(TOut& o, TRandom& r, long& handle, long& count) {
    double x = r.Range(0, 10000), y = r.Range(0, 10000);
    if (count++ % 11 == 10) {
        EntityStart(o, r, handle, "MTEXT");
        o.Real(10, x), o.Real(20, y), o.Real(40, r.Range(2, 5)), o.Real(41, r.Range(40, 120));
        o.Int(71, 1 + r.Int(9));
        if (r.Int(4) == 0) o.Real(50, r.Range(0, 360));
        std::string t = "\\A1;{\\C1;" + Words(r, 2) + "} " + Words(r, 6) + "\\P{\\H0.7x;" + Words(r, 4) + "}" +
                        " %%c" + std::to_string(10 + r.Int(90)) + " \\S1/2; " + Words(r, 12) + "\\P\\L" + Words(r, 3) +
                        "\\l " + Words(r, 20);
        // Long texts come in chunks of 250 characters.
        while (t.size() > 250) {
            o.Pair(3, t.substr(0, 250));
            t.erase(0, 250);
        }
        o.Pair(1, t);
        return;
    }
    EntityStart(o, r, handle, "TEXT");
    o.Real(10, x), o.Real(20, y), o.Real(40, r.Range(1, 5));
    int h = r.Int(6), v = r.Int(4);
    if (h || v) {
        o.Int(72, h), o.Int(73, h == 3 || h == 5 ? 0 : v);
        o.Real(11, x + r.Range(5, 50)), o.Real(21, y);
    }
    if (r.Int(3) == 0) o.Real(50, r.Range(0, 360));
    static const char* const kCodes[] = {"", " %%d", " %%p0.5", " \\U+00B2"};
    o.Pair(1, Words(r, 1 + r.Int(4)) + " " + std::to_string(r.Int(1000)) + kCodes[r.Int(4)]);
}

// ---- hatches ----

// The groups of a HATCH up to its paths.
void HatchStart(TOut& o, TRandom& r, long& handle, const char* pattern, int paths) {
    EntityStart(o, r, handle, "HATCH");
    o.Real(10, 0), o.Real(20, 0), o.Real(30, 0), o.Real(210, 0), o.Real(220, 0), o.Real(230, 1);
    o.Pair(2, pattern), o.Int(70, pattern[0] == 'S' ? 1 : 0), o.Int(71, 0), o.Int(91, paths);
}

// A pattern line as pattern files give it: the offset to the next line
// along the line and across it.
struct TPatternLine {
    double Angle, Along, Across;
    std::initializer_list<double> Dashes;
};

// The groups after the paths: a solid fill without pattern lines.
void HatchEnd(TOut& o, std::initializer_list<TPatternLine> lines, double scale) {
    o.Int(75, 0), o.Int(76, 1);
    if (lines.size() != 0) {
        o.Real(52, 0), o.Real(41, scale), o.Int(77, 0), o.Int(78, long(lines.size()));
        for (const TPatternLine& l : lines) {
            const double a = l.Angle * 3.141592653589793 / 180, c = std::cos(a), sn = std::sin(a);
            o.Real(53, l.Angle), o.Real(43, 0), o.Real(44, 0);
            o.Real(45, (l.Along * c - l.Across * sn) * scale), o.Real(46, (l.Along * sn + l.Across * c) * scale);
            o.Int(79, long(l.Dashes.size()));
            for (double d : l.Dashes) o.Real(49, d * scale);
        }
    }
    o.Int(98, 0);
}

void PolyPath(TOut& o, int flags, std::initializer_list<std::pair<double, double>> pts) {
    o.Int(92, flags), o.Int(72, 0), o.Int(73, 1), o.Int(93, long(pts.size()));
    for (auto [x, y] : pts) o.Real(10, x), o.Real(20, y);
    o.Int(97, 0);
}

// An outline of 20000 vertices, wavy like a coastline, crossed by about 20000
// lines at 30 degrees: most lines meet it a few times, and every one of them
// meets only a few of its 20000 segments.
void HugeHatch(TOut& o, TRandom& r, long& handle) {
    HatchStart(o, r, handle, "USER", 1);
    const int n = 20000;
    o.Int(92, 2), o.Int(72, 0), o.Int(73, 1), o.Int(93, n);
    for (int i = 0; i < n; ++i) {
        double a = 6.283185307179586 * i / n;
        double rad = 4000 + 300 * std::sin(7 * a) + 150 * std::sin(23 * a + 1) + r.Range(-2, 2);
        o.Real(10, 5000 + rad * std::cos(a)), o.Real(20, 5000 + rad * std::sin(a));
    }
    o.Int(97, 0);
    // 0.59 apart across the 11700 units the box spans at 30 degrees.
    HatchEnd(o, {{30, 0, 0.59, {}}}, 1);
}

void Hatch(TOut& o, TRandom& r, long& handle) {
    double x = r.Range(0, 10000), y = r.Range(0, 10000), w = r.Range(50, 400), h = r.Range(50, 400);
    double s = r.Range(2, 10);
    int kind = r.Int(100);
    if (kind < 40) {
        // A rectangle with a rectangular island, ANSI31.
        HatchStart(o, r, handle, "ANSI31", 2);
        PolyPath(o, 3, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
        PolyPath(o, 18, {{x + w / 4, y + h / 4}, {x + w / 2, y + h / 4}, {x + w / 2, y + h / 2}, {x + w / 4, y + h / 2}});
        HatchEnd(o, {{45, 0, 1, {}}}, s);
    } else if (kind < 60) {
        // A bulged polyline path, NET.
        HatchStart(o, r, handle, "NET", 1);
        o.Int(92, 3), o.Int(72, 1), o.Int(73, 1), o.Int(93, 4);
        o.Real(10, x), o.Real(20, y), o.Real(42, r.Range(-0.6, 0.6));
        o.Real(10, x + w), o.Real(20, y), o.Real(42, 0);
        o.Real(10, x + w), o.Real(20, y + h), o.Real(42, r.Range(-0.6, 0.6));
        o.Real(10, x), o.Real(20, y + h), o.Real(42, 0);
        o.Int(97, 0);
        HatchEnd(o, {{0, 0, 1, {}}, {90, 0, 1, {}}}, s);
    } else if (kind < 75) {
        // A line, an arc and two lines, hatched with dashes and dots (at a
        // coarser scale: every dash is two points of the output).
        s *= 2.5;
        HatchStart(o, r, handle, "DASHDOT", 1);
        o.Int(92, 1), o.Int(93, 4);
        o.Int(72, 1), o.Real(10, x), o.Real(20, y), o.Real(11, x + w), o.Real(21, y);
        o.Int(72, 2), o.Real(10, x + w), o.Real(20, y + h / 2), o.Real(40, h / 2), o.Real(50, -90), o.Real(51, 90),
            o.Int(73, 1);
        o.Int(72, 1), o.Real(10, x + w), o.Real(20, y + h), o.Real(11, x), o.Real(21, y + h);
        o.Int(72, 1), o.Real(10, x), o.Real(20, y + h), o.Real(11, x), o.Real(21, y);
        o.Int(97, 0);
        HatchEnd(o, {{r.Range(0, 180), 0.5, 1, {1.2, -0.4, 0, -0.4}}}, s);
    } else if (kind < 90) {
        // A solid circle or triangle.
        HatchStart(o, r, handle, "SOLID", 1);
        if (r.Int(2)) {
            o.Int(92, 1), o.Int(93, 1), o.Int(72, 2), o.Real(10, x), o.Real(20, y), o.Real(40, w / 2), o.Real(50, 0),
                o.Real(51, 360), o.Int(73, 1), o.Int(97, 0);
        } else {
            PolyPath(o, 3, {{x, y}, {x + w, y}, {x + w / 2, y + h}});
        }
        HatchEnd(o, {}, 1);
    } else {
        // A half ellipse closed by its axis, ANSI37.
        HatchStart(o, r, handle, "ANSI37", 1);
        o.Int(92, 1), o.Int(93, 2);
        o.Int(72, 3), o.Real(10, x), o.Real(20, y), o.Real(11, w), o.Real(21, 0), o.Real(40, 0.5), o.Real(50, 0),
            o.Real(51, 180), o.Int(73, 1);
        o.Int(72, 1), o.Real(10, x - w), o.Real(20, y), o.Real(11, x + w), o.Real(21, y);
        o.Int(97, 0);
        HatchEnd(o, {{45, 0, 1, {}}, {135, 0, 1, {}}}, s);
    }
}
// As EntityStart, with the subclass markers readers of annotations want.
void AnnotationStart(TOut& o, TRandom& r, long& handle, const char* type, const char* subclass) {
    o.Pair(0, type);
    char h[16];
    std::snprintf(h, sizeof h, "%lX", handle++);
    o.Pair(5, h);
    o.Pair(100, "AcDbEntity");
    o.Pair(8, Numbered("LAYER_", r.Int(12)));
    o.Pair(100, subclass);
}

// One dimension (its block into blocks, the DIMENSION into o) or one leader.
void Annotation(TOut& o, TOut& blocks, TRandom& r, long& handle, long& dims) {
    double x = r.Range(0, 10000), y = r.Range(0, 10000);
    if (r.Int(100) < 70) {
        // A dimension of the distance from (x, y) to (x + l cos a, y + l sin a),
        // its line d above the measured points.
        double l = r.Range(5, 200), a = r.Int(4) == 0 ? r.Range(0, 3.14159) : 0, d = r.Range(5, 30);
        double c = std::cos(a), sn = std::sin(a), nx = -sn, ny = c;
        double x2 = x + l * c, y2 = y + l * sn;
        double ax = x + d * nx, ay = y + d * ny, bx = x2 + d * nx, by = y2 + d * ny;
        std::string name = Numbered("*D", ++dims);
        blocks.Pair(0, "BLOCK"), blocks.Pair(8, "0"), blocks.Pair(2, name), blocks.Int(70, 1), blocks.Real(10, 0),
            blocks.Real(20, 0), blocks.Real(30, 0), blocks.Pair(3, name);
        auto line = [&](double x0, double y0, double x1, double y1) {
            blocks.Pair(0, "LINE"), blocks.Pair(8, "0"), blocks.Real(10, x0), blocks.Real(20, y0), blocks.Real(11, x1),
                blocks.Real(21, y1);
        };
        line(x, y, ax + 1.25 * nx, ay + 1.25 * ny);
        line(x2, y2, bx + 1.25 * nx, by + 1.25 * ny);
        line(ax, ay, bx, by);
        for (int e = 0; e < 2; ++e) {
            double px = e ? bx : ax, py = e ? by : ay, s = e ? -1 : 1;
            blocks.Pair(0, "SOLID"), blocks.Pair(8, "0"), blocks.Real(10, px), blocks.Real(20, py),
                blocks.Real(11, px + s * 2.5 * c + 0.4 * nx), blocks.Real(21, py + s * 2.5 * sn + 0.4 * ny),
                blocks.Real(12, px + s * 2.5 * c - 0.4 * nx), blocks.Real(22, py + s * 2.5 * sn - 0.4 * ny),
                blocks.Real(13, px + s * 2.5 * c - 0.4 * nx), blocks.Real(23, py + s * 2.5 * sn - 0.4 * ny);
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", l);
        blocks.Pair(0, "MTEXT"), blocks.Pair(100, "AcDbEntity"), blocks.Pair(8, "0"), blocks.Pair(100, "AcDbMText"),
            blocks.Real(10, (ax + bx) / 2 + 1.5 * nx),
            blocks.Real(20, (ay + by) / 2 + 1.5 * ny), blocks.Real(40, 2.5), blocks.Real(41, 0), blocks.Int(71, 8),
            blocks.Pair(1, text), blocks.Real(50, a * 180 / 3.14159265358979);
        blocks.Pair(0, "ENDBLK");
        AnnotationStart(o, r, handle, "DIMENSION", "AcDbDimension");
        o.Pair(2, name), o.Real(10, bx), o.Real(20, by), o.Real(11, (ax + bx) / 2), o.Real(21, (ay + by) / 2),
            o.Int(70, a == 0 ? 32 : 33), o.Pair(1, ""), o.Real(42, l), o.Pair(3, "Standard"),
            o.Pair(100, "AcDbAlignedDimension"), o.Real(13, x), o.Real(23, y), o.Real(14, x2), o.Real(24, y2);
        if (a == 0) o.Real(50, 0), o.Pair(100, "AcDbRotatedDimension");
    } else {
        AnnotationStart(o, r, handle, "LEADER", "AcDbLeader");
        o.Pair(3, "Standard");
        int n = 2 + r.Int(4);
        o.Int(71, 1), o.Int(72, r.Int(3) == 0 ? 1 : 0), o.Int(76, n);
        for (int k = 0; k < n; ++k) o.Real(10, x + k * r.Range(3, 20)), o.Real(20, y + k * r.Range(-10, 10));
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: gen_dxf SIZE_MB OUTPUT [mixed|curves|hatches|patterns|text|annotations]\n");
        return 2;
    }
    double mb = std::atof(argv[1]);
    std::string kind = argc > 3 ? argv[3] : "mixed";
    size_t target = size_t(mb * 1024 * 1024);
    TOut o;
    o.Buf.reserve(target + (1 << 20));
    TRandom r;
    long handle = 0x100, texts = 0, dims = 0;
    Header(o);
    if (kind == "annotations") {
        // The dimension blocks come before the entities that name them.
        TOut ents, blocks;
        while (o.Buf.size() + ents.Buf.size() + blocks.Buf.size() < target) Annotation(ents, blocks, r, handle, dims);
        Blocks(o, blocks.Buf);
        o.Pair(0, "SECTION"), o.Pair(2, "ENTITIES");
        o.Buf += ents.Buf;
    } else {
        Blocks(o);
        o.Pair(0, "SECTION"), o.Pair(2, "ENTITIES");
        if (kind == "hatches") HugeHatch(o, r, handle);
        while (o.Buf.size() < target) {
            if (kind == "curves") Curves(o, r, handle);
            else if (kind == "hatches" || kind == "patterns") Hatch(o, r, handle);
            else if (kind == "text") Texts(o, r, handle, texts);
            else Mixed(o, r, handle);
        }
    }
    o.Pair(0, "ENDSEC");
    o.Pair(0, "EOF");
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(o.Buf.data(), 1, o.Buf.size(), f) != o.Buf.size() || std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%s: %.1f MB, %ld entities\n", argv[2], o.Buf.size() / 1048576.0, handle - 0x100);
    return 0;
}
