#include "model/entities/proxy_graphic.h"

#include <cmath>
#include <cstring>

#include "model/colors.h"
#include "model/converter.h"
#include "model/entities/mesh.h"
#include "model/parsing.h"
#include "platform/codepage.h"

namespace {

struct TVec {
    double X = 0, Y = 0, Z = 0;
};

TVec Sub(const TVec& a, const TVec& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TVec Add(const TVec& a, const TVec& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TVec Mul(const TVec& a, double s) { return {a.X * s, a.Y * s, a.Z * s}; }
double Dot(const TVec& a, const TVec& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
TVec Cross(const TVec& a, const TVec& b) {
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
double Len(const TVec& a) { return std::sqrt(Dot(a, a)); }
TPoint3F F(const TVec& v) { return Point3F(v.X, v.Y, v.Z); }
TVec V(const TPoint3F& p) { return {p.X, p.Y, p.Z}; }

// An affine transform of column vectors: p' = M (x, y, z, 1).
struct TAffine {
    double M[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    TVec Point(const TVec& p) const {
        return {M[0][0] * p.X + M[0][1] * p.Y + M[0][2] * p.Z + M[0][3],
                M[1][0] * p.X + M[1][1] * p.Y + M[1][2] * p.Z + M[1][3],
                M[2][0] * p.X + M[2][1] * p.Y + M[2][2] * p.Z + M[2][3]};
    }
    TVec Vector(const TVec& v) const {
        return {M[0][0] * v.X + M[0][1] * v.Y + M[0][2] * v.Z, M[1][0] * v.X + M[1][1] * v.Y + M[1][2] * v.Z,
                M[2][0] * v.X + M[2][1] * v.Y + M[2][2] * v.Z};
    }
    // This transform applied after b.
    TAffine After(const TAffine& b) const {
        TAffine r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 4; ++j) {
                double s = j == 3 ? M[i][3] : 0;
                for (int k = 0; k < 3; ++k) s += M[i][k] * b.M[k][j];
                r.M[i][j] = s;
            }
        }
        return r;
    }
};

// The plane axes of a normal (the arbitrary axis rule).
void PlaneAxes(const TVec& n, TVec& ax, TVec& ay) {
    TPoint3F x, y, z;
    ArbitraryAxis(F(n), x, y, z);
    ax = V(x);
    ay = V(y);
}

// The data of one command, read in the stream's order: every value
// little endian and the position aligned to 4 bytes after it. A read past
// the end sets Short and gives zeros.
class TData {
public:
    explicit TData(std::string_view d) : FData(d) {}
    bool Short = false;
    uint32_t U32() {
        unsigned char b[4];
        if (!Take(b, 4)) return 0;
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    int32_t I32() { return int32_t(U32()); }
    double Double() {
        unsigned char b[8];
        if (!Take(b, 8)) return 0;
        uint64_t u = 0;
        for (int i = 7; i >= 0; --i) u = u << 8 | b[i];
        double d;
        std::memcpy(&d, &u, 8);
        return d;
    }
    TVec Point() {
        TVec p;
        p.X = Double();
        p.Y = Double();
        p.Z = Double();
        return p;
    }
    // Room for n more values of size bytes each.
    bool Holds(uint64_t n, uint64_t size) const { return n <= (FData.size() - std::min(FPos, FData.size())) / size; }
    // A string ended by a NUL byte.
    std::string Bytes() {
        size_t e = FData.find('\0', FPos);
        if (e == std::string_view::npos) {
            Short = true;
            FPos = FData.size();
            return {};
        }
        std::string s(FData.substr(FPos, e - FPos));
        Align(e + 1);
        return s;
    }
    // A UTF-16 string ended by a NUL character.
    std::u16string Utf16() {
        std::u16string s;
        for (size_t p = FPos; p + 1 < FData.size(); p += 2) {
            char16_t c = char16_t((unsigned char)FData[p] | (unsigned char)FData[p + 1] << 8);
            if (c == 0) {
                Align(p + 2);
                return s;
            }
            s += c;
        }
        Short = true;
        FPos = FData.size();
        return {};
    }

private:
    std::string_view FData;
    size_t FPos = 0;
    void Align(size_t p) { FPos = std::min(FData.size(), (p + 3) & ~size_t(3)); }
    bool Take(unsigned char* out, size_t n) {
        if (Short || FData.size() - std::min(FPos, FData.size()) < n) {
            Short = true;
            std::memset(out, 0, n);
            return false;
        }
        std::memcpy(out, FData.data() + FPos, n);
        Align(FPos + n);
        return true;
    }
};

class TDecoder {
public:
    TDecoder(TkrDXFConverter& conv, TkrDXFCompound& owner) : FConv(conv), FMake(conv, owner) {}

    // False when the command's counts ran past its data.
    bool Command(uint32_t kind, std::string_view data);
    bool PointsLeft() const { return !FTooMany; }
    bool Nested() const { return FNested; }

private:
    TkrDXFConverter& FConv;
    TPartMaker FMake;
    std::vector<TAffine> FStack;  // the transforms kept
    size_t FIgnored = 0;          // pushes beyond kMaxProxyTransformDepth, not kept
    bool FFill = false;
    bool FNested = false, FTooMany = false;
    size_t FPoints = 0;

    const TAffine* Transform() const { return FStack.empty() ? nullptr : &FStack.back(); }
    TVec P(const TVec& p) const { return Transform() ? Transform()->Point(p) : p; }
    TVec Dir(const TVec& v) const { return Transform() ? Transform()->Vector(v) : v; }
    // The normal of a plane after the transform (kept facing its side: a
    // mirror turns it over), and the scale of lengths in the plane.
    TVec Normal(const TVec& n, double* scale = nullptr) const;
    bool Take(size_t n) {
        if (FPoints + n > kMaxEntityPoints) {
            FTooMany = true;
            return false;
        }
        FPoints += n;
        return true;
    }
    std::string Text(std::string bytes) const {
        return FConv.Utf8Text && !IsAscii(bytes) ? Utf8ToCp1252(bytes) : bytes;
    }
    void Points(TData& d, uint32_t n, std::vector<TPoint3F>& out);
    void Arc3(const TVec& a, const TVec& b, const TVec& c, bool whole);
    void Edges(const std::vector<TPoint3F>& v, const std::vector<std::pair<uint32_t, uint32_t>>& e);
    void TextAt(const TVec& at, const TVec& normal, const TVec& dir, double height, double width, double oblique,
                std::string text);
};

TVec TDecoder::Normal(const TVec& n, double* scale) const {
    double len = Len(n);
    TVec u = len > 0 && std::isfinite(len) ? Mul(n, 1 / len) : TVec{0, 0, 1};
    if (!Transform()) {
        if (scale) *scale = 1;
        return u;
    }
    TVec ax, ay;
    PlaneAxes(u, ax, ay);
    TVec tx = Dir(ax), ty = Dir(ay);
    TVec m = Cross(tx, ty);
    double l = Len(m);
    if (scale) *scale = std::sqrt(l);
    return l > 0 && std::isfinite(l) ? Mul(m, 1 / l) : u;
}

void TDecoder::Points(TData& d, uint32_t n, std::vector<TPoint3F>& out) {
    out.clear();
    if (!d.Holds(n, 24)) {
        d.Short = true;
        return;
    }
    if (!Take(n)) return;
    out.reserve(n);
    for (uint32_t i = 0; i < n; ++i) out.push_back(F(P(d.Point())));
}

void TDecoder::Edges(const std::vector<TPoint3F>& v, const std::vector<std::pair<uint32_t, uint32_t>>& e) {
    FMake.Edges(v, e);
}

void TDecoder::Arc3(const TVec& p1, const TVec& p2, const TVec& p3, bool whole) {
    // The circle through the three points: with a = p1 - p3 and b = p2 - p3,
    // centre = p3 + ((|a|^2 b - |b|^2 a) x (a x b)) / (2 |a x b|^2); the
    // points run counter-clockwise about a x b.
    const TVec a = Sub(p1, p3), b = Sub(p2, p3), n = Cross(a, b);
    const double nn = Dot(n, n);
    if (!(nn > 1e-24 * Dot(a, a) * Dot(b, b)) || !std::isfinite(nn)) {
        // Three points on a line: the arc is its chord.
        if (!whole) {
            std::vector<TPoint3F> line = {F(p1), F(p2), F(p3)};
            FMake.Polyline(line, false);
        }
        return;
    }
    const TVec c = Add(p3, Mul(Cross(Sub(Mul(b, Dot(a, a)), Mul(a, Dot(b, b))), n), 1 / (2 * nn)));
    const double r = Len(Sub(p1, c));
    const TVec u = Mul(n, 1 / std::sqrt(nn));
    if (whole) {
        FMake.Circle(F(c), r, F(u));
        return;
    }
    TVec ax, ay;
    PlaneAxes(u, ax, ay);
    auto angle = [&](const TVec& p) {
        TVec d = Sub(p, c);
        return RadToDeg(std::atan2(Dot(d, ay), Dot(d, ax)));
    };
    FMake.Arc(F(c), r, F(u), angle(p1), angle(p3));
}

void TDecoder::TextAt(const TVec& at, const TVec& normal, const TVec& dir, double height, double width,
                      double oblique, std::string text) {
    double scale = 1;
    const TVec n = Normal(normal, &scale);
    const TVec d = Dir(dir);
    TVec ax, ay;
    PlaneAxes(n, ax, ay);
    const double rot = RadToDeg(std::atan2(Dot(d, ay), Dot(d, ax)));
    FMake.Text(Text(std::move(text)), F(P(at)), height * scale, width, std::isfinite(rot) ? rot : 0,
               RadToDeg(oblique), F(n));
}

bool TDecoder::Command(uint32_t kind, std::string_view bytes) {
    TData d(bytes);
    std::vector<TPoint3F> pts;
    switch (kind) {
        case 2: {  // circle: centre, radius, normal
            TVec c = d.Point();
            double r = d.Double();
            TVec n = d.Point();
            if (d.Short || !Take(1)) break;
            double s = 1;
            TVec nn = Normal(n, &s);
            FMake.Circle(F(P(c)), r * s, F(nn));
            break;
        }
        case 3: case 5: {  // circle or arc through three points
            TVec a = d.Point(), b = d.Point(), c = d.Point();
            if (d.Short || !Take(3)) break;
            Arc3(P(a), P(b), P(c), kind == 3);
            break;
        }
        case 4: {  // arc: centre, radius, normal, start vector, sweep (radians), kind
            TVec c = d.Point();
            double r = d.Double();
            TVec n = d.Point(), sv = d.Point();
            double sweep = d.Double();
            if (d.Short || !Take(1)) break;
            double s = 1;
            TVec nn = Normal(n, &s);
            TVec ax, ay, v = Dir(sv);
            PlaneAxes(nn, ax, ay);
            double a0 = RadToDeg(std::atan2(Dot(v, ay), Dot(v, ax)));
            double sw = RadToDeg(sweep);
            // A mirroring transform turns the plane over with its normal.
            if (!std::isfinite(sw) || !std::isfinite(a0)) break;
            if (std::fabs(sw) >= 360) FMake.Circle(F(P(c)), r * s, F(nn));
            else if (sw >= 0) FMake.Arc(F(P(c)), r * s, F(nn), a0, a0 + sw);
            else FMake.Arc(F(P(c)), r * s, F(nn), a0 + sw, a0);
            break;
        }
        case 6: case 7: case 32: {  // polyline, polygon, polyline with a normal
            uint32_t n = d.U32();
            Points(d, n, pts);
            if (d.Short) break;
            if (kind == 7 && FFill && pts.size() >= 3) {
                std::vector<std::vector<TPolyVertex>> path(1);
                for (const TPoint3F& p : pts) {
                    TPolyVertex v;
                    v.Point = p;
                    path[0].push_back(v);
                }
                FMake.Fill(path);
            } else {
                FMake.Polyline(pts, kind == 7);
            }
            break;
        }
        case 8: {  // mesh: rows, columns, the grid of vertices (traits not read)
            uint32_t rows = d.U32(), cols = d.U32();
            if (d.Short) break;
            const uint64_t n = uint64_t(rows) * cols;
            if (n > UINT32_MAX) {
                d.Short = true;
                break;
            }
            Points(d, uint32_t(n), pts);
            if (d.Short || pts.empty()) break;
            std::vector<std::pair<uint32_t, uint32_t>> e;
            for (uint32_t r = 0; r < rows; ++r)
                for (uint32_t c = 0; c < cols; ++c) {
                    uint32_t i = r * cols + c;
                    if (c + 1 < cols) e.push_back({i, i + 1});
                    if (r + 1 < rows) e.push_back({i, i + cols});
                }
            Edges(pts, e);
            break;
        }
        case 9: {  // shell: vertices, then face entries (a count, negative for a hole, and that many indices)
            uint32_t nv = d.U32();
            Points(d, nv, pts);
            uint32_t entries = d.U32();
            if (d.Short) break;
            if (!d.Holds(entries, 4)) {
                d.Short = true;
                break;
            }
            std::vector<std::pair<uint32_t, uint32_t>> e;
            uint32_t bad = 0;
            for (uint32_t read = 0; read < entries && !d.Short;) {
                int32_t c = d.I32();
                ++read;
                uint32_t k = c == INT32_MIN ? 0 : uint32_t(c < 0 ? -c : c);
                if (k > entries - read) {
                    d.Short = true;
                    break;
                }
                std::vector<uint32_t> face(k);
                for (uint32_t j = 0; j < k; ++j) face[j] = d.U32();
                read += k;
                bool named = true;
                for (uint32_t j = 0; j < k && k >= 2; ++j) {
                    uint32_t a = face[j], b = face[(j + 1) % k];
                    if (a >= pts.size() || b >= pts.size()) {
                        named = false;
                        continue;
                    }
                    e.push_back({a, b});
                }
                if (!named) ++bad;
            }
            FConv.Bounds.MeshFaces += bad;
            RemoveRepeatedEdges(e);
            if (!d.Short) Edges(pts, e);
            break;
        }
        case 10: case 36: {  // text: start, normal, direction, height, width factor, oblique, string
            TVec at = d.Point(), n = d.Point(), dir = d.Point();
            double h = d.Double(), w = d.Double(), ob = d.Double();
            std::string s = kind == 10 ? d.Bytes() : Utf16ToCp1252(d.Utf16());
            if (d.Short || !Take(1)) break;
            TextAt(at, n, dir, h, w, ob, std::move(s));
            break;
        }
        case 11: case 38: {  // text with style: as above, the string first, then the sizes and flags
            TVec at = d.Point(), n = d.Point(), dir = d.Point();
            std::string s = kind == 11 ? d.Bytes() : Utf16ToCp1252(d.Utf16());
            d.I32();  // length
            d.I32();  // raw
            double h = d.Double(), w = d.Double(), ob = d.Double();
            d.Double();  // tracking
            if (d.Short || !Take(1)) break;
            TextAt(at, n, dir, h, w, ob, std::move(s));
            break;
        }
        case 12: case 13: {  // construction line, ray: two points
            TVec a = d.Point(), b = d.Point();
            if (d.Short || !Take(1)) break;
            FMake.XLine(F(P(a)), F(Sub(P(b), P(a))), kind == 13);
            break;
        }
        case 14: {  // colour index
            uint32_t c = d.U32();
            if (d.Short) break;
            FMake.Pen.Color = c == 0 ? FMake.Owner.Color : (c >= 1 && c <= 255) ? ColorFromIndex(int32_t(c)) : clFromLayer;
            break;
        }
        case 16: {  // layer: its index in the LAYER table
            uint32_t i = d.U32();
            if (d.Short) break;
            if (i < uint32_t(FConv.TableCount(tkLayer)))
                if (TkrDXFLayer* l = FConv.LayerAt(int(i))) FMake.Pen.Layer = l;
            break;
        }
        case 18: {  // line type: its index in the LTYPE table
            uint32_t i = d.U32();
            if (d.Short) break;
            if (TkrDXFGroup* t = FConv.GetTable(tkLType))
                if (i < t->Entities.size() && t->Entities[i]->Is(TEntityClass::LineType))
                    FMake.Pen.Pattern = FMake.PatternNamed(static_cast<TkrDXFLineType&>(*t->Entities[i]).Name);
            break;
        }
        case 20: {  // fill
            uint32_t f = d.U32();
            if (!d.Short) FFill = f != 0;
            break;
        }
        case 22: {  // true colour (a raw colour)
            uint32_t c = d.U32();
            if (!d.Short) FMake.Pen.Color = FMake.OwnerColor(ColorFromRaw(int32_t(c)));
            break;
        }
        case 23: {  // line weight in hundredths of a millimetre (negative: by layer, by block, default)
            uint32_t w = d.U32();
            if (!d.Short) FMake.Pen.LineWeight = FMake.WeightOf(int32_t(w));
            break;
        }
        case 29: case 30: {  // push a model transform: 16 doubles, row by row
            double m[16];
            for (double& v : m) v = d.Double();
            if (d.Short) break;
            if (FStack.size() >= size_t(kMaxProxyTransformDepth)) {
                ++FIgnored;
                FNested = true;
                break;
            }
            TAffine t;
            bool finite = true;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 4; ++j) {
                    t.M[i][j] = m[i * 4 + j];
                    finite = finite && std::isfinite(t.M[i][j]);
                }
            // A transform that is not finite changes nothing (but is popped).
            if (!finite) t = TAffine{};
            FStack.push_back(Transform() ? Transform()->After(t) : t);
            break;
        }
        case 31:  // pop
            if (FIgnored > 0) --FIgnored;
            else if (!FStack.empty()) FStack.pop_back();
            break;
        default: break;  // skipped by its size
    }
    return !d.Short;
}

}  // namespace

bool AppendHexBytes(std::string& out, std::string_view hex) {
    hex = TrimBlanks(hex);
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        int h = digit(hex[i]), l = digit(hex[i + 1]);
        if (h < 0 || l < 0) return false;
        out += char(h * 16 + l);
    }
    return hex.size() % 2 == 0;
}

bool DrawProxyGraphic(TkrDXFConverter& conv, TkrDXFCompound& owner, std::string_view bytes) {
    if (bytes.empty()) return true;
    TData head(bytes);
    const uint32_t size = head.U32();
    head.U32();  // the count of commands: the sizes tell where each ends
    bool sound = !head.Short && size >= 8 && size <= bytes.size();
    const size_t end = sound ? size : bytes.size();
    TDecoder dec(conv, owner);
    size_t at = 8;
    while (at + 8 <= end && dec.PointsLeft()) {
        TData h(bytes.substr(at, 8));
        const uint32_t n = h.U32(), kind = h.U32();
        if (n < 8 || n > end - at) {
            sound = false;
            break;
        }
        if (!dec.Command(kind, bytes.substr(at + 8, n - 8))) {
            sound = false;
            break;
        }
        at += n;
    }
    if (at < end && sound && dec.PointsLeft()) sound = false;  // a piece shorter than a command head
    if (!dec.PointsLeft()) ++conv.Bounds.EntityPoints;
    if (dec.Nested()) ++conv.Bounds.ProxyNesting;
    if (!sound) ++conv.Bounds.ProxyGraphics;
    return sound;
}

// ---- the proxy entity ----

void TkrDXFProxyEntity::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 92: case 160:
            // The value (the byte count) is not needed: the stream holds its size.
            if (FRun == TRun::None) FRun = TRun::Graphics;
            else if (FRun == TRun::Graphics) FRun = TRun::Done;
            return;
        case 310:
            if (FRun == TRun::Graphics && !FBadHex) FBadHex = !AppendHexBytes(Graphics, conv.Value);
            return;
        default:
            if (FRun == TRun::Graphics && !Graphics.empty()) FRun = TRun::Done;
            TkrDXFCompound::ReadProperty(conv);
            return;
    }
}

void TkrDXFProxyEntity::Loaded(TkrDXFConverter& conv) {
    ClearParts();
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
    // Bytes that are not hexadecimal end the stream where they start (the
    // stream then falls short of its size, which the decoding reports).
    if (!Graphics.empty() && DrawProxyGraphic(conv, *this, Graphics) && FBadHex) ++conv.Bounds.ProxyGraphics;
    std::string().swap(Graphics);
}
