#include "model/geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>

int32_t FloorInt(double v) {
    // Round to nearest (ties to even), then step down when that overshot.
    double r = std::nearbyint(v);
    if (v < r) r -= 1;
    if (!(r >= -2147483648.0)) return INT32_MIN;  // also NaN
    if (r > 2147483647.0) return INT32_MAX;
    return int32_t(r);
}

TMatrix4x3F IdentityMatrix() {
    TMatrix4x3F m;
    m.M[0][0] = m.M[1][1] = m.M[2][2] = 1;
    return m;
}

TMatrix4x3F ScaleTranslateMatrix(const TPoint3F& s, const TPoint3F& t) {
    TMatrix4x3F m;
    m.M[0][0] = s.X;
    m.M[1][1] = s.Y;
    m.M[2][2] = s.Z;
    m.M[3][0] = t.X;
    m.M[3][1] = t.Y;
    m.M[3][2] = t.Z;
    return m;
}

TPoint3F TransformPoint(const TPoint3F& p, const TMatrix4x3F& m) {
    double r[3];
    for (int j = 0; j < 3; ++j)
        r[j] = double(p.X) * m.M[0][j] + double(p.Y) * m.M[1][j] + double(p.Z) * m.M[2][j] + m.M[3][j];
    return Point3F(r[0], r[1], r[2]);
}

TMatrix4x3F MultiplyMatrix(const TMatrix4x3F& a, const TMatrix4x3F& b) {
    TMatrix4x3F r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            double v = double(a.M[i][0]) * b.M[0][j] + double(a.M[i][1]) * b.M[1][j] + double(a.M[i][2]) * b.M[2][j];
            if (i == 3) v += b.M[3][j];
            r.M[i][j] = float(v);
        }
    return r;
}

bool MatrixHasRotation(const TMatrix4x3F& m) {
    return m.M[0][1] != 0 || m.M[0][2] != 0 || m.M[1][0] != 0 || m.M[1][2] != 0 || m.M[2][0] != 0 ||
           m.M[2][1] != 0;
}

TPoint3F CrossProduct(const TPoint3F& a, const TPoint3F& b) {
    return Point3F(double(a.Y) * b.Z - double(a.Z) * b.Y, double(a.Z) * b.X - double(a.X) * b.Z,
                   double(a.X) * b.Y - double(a.Y) * b.X);
}

TPoint3F NormalizeVector(const TPoint3F& v) {
    double len = std::sqrt(double(v.X) * v.X + double(v.Y) * v.Y + double(v.Z) * v.Z);
    if (len == 0 || !std::isfinite(len)) return v;  // nothing to normalise
    return Point3F(v.X / len, v.Y / len, v.Z / len);
}

TPoint3F SanitizeExtrusion(const TPoint3F& n) {
    if (!std::isfinite(n.X) || !std::isfinite(n.Y) || !std::isfinite(n.Z)) return {0, 0, 1};
    if (n.X == 0 && n.Y == 0 && n.Z == 0) return {0, 0, 1};
    double len = std::sqrt(double(n.X) * n.X + double(n.Y) * n.Y + double(n.Z) * n.Z);
    if (!(len > 0) || !std::isfinite(len)) return {0, 0, 1};
    return n;
}

void ArbitraryAxis(const TPoint3F& nIn, TPoint3F& ax, TPoint3F& ay, TPoint3F& az) {
    TPoint3F n = SanitizeExtrusion(nIn);
    // The arbitrary-axis rule picks Wy when N is near the Z axis.
    TPoint3F w = (std::fabs(n.X) < 0.015625 && std::fabs(n.Y) < 0.015625) ? TPoint3F{0, 1, 0} : TPoint3F{0, 0, 1};
    ax = NormalizeVector(CrossProduct(w, n));
    ay = NormalizeVector(CrossProduct(n, ax));
    az = NormalizeVector(n);
}

static double Dot(const TPoint3F& a, const TPoint3F& b) {
    return double(a.X) * b.X + double(a.Y) * b.Y + double(a.Z) * b.Z;
}

TPoint3F WCSToOCS(const TPoint3F& p, const TPoint3F& n) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(n, ax, ay, az);
    return Point3F(Dot(p, ax), Dot(p, ay), Dot(p, az));
}

TPoint3F OCSToWCS(const TPoint3F& p, const TPoint3F& n) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(n, ax, ay, az);
    return Point3F(double(p.X) * ax.X + double(p.Y) * ay.X + double(p.Z) * az.X,
                   double(p.X) * ax.Y + double(p.Y) * ay.Y + double(p.Z) * az.Y,
                   double(p.X) * ax.Z + double(p.Y) * ay.Z + double(p.Z) * az.Z);
}

TMatrix4x3F ExtrusionMatrix(const TPoint3F& n, double angleDeg) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(NormalizeVector(SanitizeExtrusion(n)), ax, ay, az);
    TMatrix4x3F e;
    e.M[0][0] = ax.X, e.M[0][1] = ax.Y, e.M[0][2] = ax.Z;
    e.M[1][0] = ay.X, e.M[1][1] = ay.Y, e.M[1][2] = ay.Z;
    e.M[2][0] = az.X, e.M[2][1] = az.Y, e.M[2][2] = az.Z;
    double a = DegToRad(angleDeg), c = std::cos(a), s = std::sin(a);
    TMatrix4x3F r;
    r.M[0][0] = float(c), r.M[0][1] = float(s);
    r.M[1][0] = float(-s), r.M[1][1] = float(c);
    r.M[2][2] = 1;
    return MultiplyMatrix(r, e);
}

TPoint3F RotateAroundAxis(const TPoint3F& v, const TPoint3F& kIn, double theta) {
    if (std::fabs(theta) < 1e-6) return v;
    float r = float(double(kIn.X) * kIn.X + double(kIn.Y) * kIn.Y + double(kIn.Z) * kIn.Z);
    if (r == 0) return v;
    double kx = kIn.X, ky = kIn.Y, kz = kIn.Z;
    if (r != 1) {
        double l = std::sqrt(double(r));
        kx /= l, ky /= l, kz /= l;
    }
    double c = std::cos(theta), s = std::sin(theta);
    double cx = ky * v.Z - kz * v.Y, cy = kz * v.X - kx * v.Z, cz = kx * v.Y - ky * v.X;
    double d = (kx * v.X + ky * v.Y + kz * v.Z) * (1 - c);
    return Point3F(v.X * c + cx * s + kx * d, v.Y * c + cy * s + ky * d, v.Z * c + cz * s + kz * d);
}

TMatrix4x3F ViewMatrix(const TPoint3F& n, double twistDeg) {
    TPoint3F ax, ay, az;
    ArbitraryAxis(n, ax, ay, az);
    TPoint3F ax2 = RotateAroundAxis(ax, az, DegToRad(-twistDeg));
    TPoint3F ay2 = RotateAroundAxis(ay, az, DegToRad(-twistDeg));
    TMatrix4x3F m;
    m.M[0][0] = ax2.X, m.M[1][0] = ax2.Y, m.M[2][0] = ax2.Z;
    m.M[0][1] = ay2.X, m.M[1][1] = ay2.Y, m.M[2][1] = ay2.Z;
    m.M[0][2] = az.X, m.M[1][2] = az.Y, m.M[2][2] = az.Z;
    return m;
}

TPoint3F RotatePoint2D(const TPoint3F& p, double angleDeg) {
    double a = DegToRad(angleDeg), c = std::cos(a), s = std::sin(a);
    return Point3F(p.X * c - p.Y * s, p.X * s + p.Y * c, p.Z);
}


void OffsetBox(TBox3F& b, double dx, double dy, double dz) {
    b.Left = float(b.Left + dx), b.Right = float(b.Right + dx);
    b.Top = float(b.Top + dy), b.Bottom = float(b.Bottom + dy);
    b.Z1 = float(b.Z1 + dz), b.Z2 = float(b.Z2 + dz);
}

void RotateBox(TBox3F& b, double angleDeg) {
    if (angleDeg == 0) return;
    TBox3F r = EmptyBox;
    for (float x : {b.Left, b.Right})
        for (float y : {b.Top, b.Bottom})
            for (float z : {b.Z1, b.Z2}) ExpandBox(r, RotatePoint2D({x, y, z}, angleDeg));
    b = r;
}

bool SoundBox(const TBox3F& b) {
    // Every coordinate inside the range (a NaN fails the comparison), or an
    // empty box of numbers no farther out than its bounds (EmptyBox).
    auto within = [&](auto in) {
        return in(b.Left) && in(b.Top) && in(b.Z1) && in(b.Right) && in(b.Bottom) && in(b.Z2);
    };
    if (within([](float v) { return std::fabs(v) < kBoxInfinity; })) return true;
    return within([](float v) { return std::fabs(v) <= kBoxInfinity; }) && IsEmptyBox(b);
}

int ClassifyBox(const TBox3F& b, const TBox3F& c, const TMatrix4x3F& m) {
    if (IsEmptyBox(b) || IsEmptyBox(c)) return -1;
    TPoint3F p1 = TransformPoint({b.Left, b.Top, b.Z1}, m);
    TPoint3F p2 = TransformPoint({b.Right, b.Bottom, b.Z2}, m);
    float minX = std::min(p1.X, p2.X), maxX = std::max(p1.X, p2.X);
    float minY = std::min(p1.Y, p2.Y), maxY = std::max(p1.Y, p2.Y);
    if (c.Left > maxX || !(c.Right >= minX) || c.Bottom > maxY || !(c.Top >= minY)) return -1;
    if (c.Left > minX || !(maxX <= c.Right) || c.Bottom > minY) return 0;
    return maxY <= c.Top ? 1 : 0;
}

int SegmentInBox(const TPoint3F& a, const TPoint3F& b, const TBox3F& c, const TMatrix4x3F& m, bool withZ) {
    if (IsEmptyBox(c)) return -1;
    TPoint3F p = TransformPoint(a, m), q = TransformPoint(b, m);
    auto in = [&](const TPoint3F& t) {
        return t.X >= c.Left && t.X <= c.Right && t.Y >= c.Bottom && t.Y <= c.Top &&
               (!withZ || (t.Z >= c.Z1 && t.Z <= c.Z2));
    };
    return in(p) && in(q) ? 1 : -1;
}

void CacheScaleAndAngle(TDrawContext& d) {
    if (d.ScaleX != 0 || d.ScaleY != 0) return;
    const auto& m = d.Matrix.M;
    double sx = std::hypot(double(m[0][0]), double(m[0][1]));
    double sy = std::hypot(double(m[1][0]), double(m[1][1]));
    if (std::fabs(sx) < 1e-10) sx = 0;
    if (double(m[0][1]) * m[1][0] > double(m[0][0]) * m[1][1]) sx = -sx;
    d.ScaleX = float(sx);
    d.ScaleY = float(sy);
    d.Rotation = float(std::atan2(double(m[0][1]), double(m[0][0])) * 57.29577951308232);
}

// ---- strings and numbers ----

std::string UpperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return r;
}

std::string LowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    // Blanks are spaces and control characters, as the DXF writers use them.
    size_t b = 0, e = s.size();
    while (b < e && (unsigned char)s[b] <= ' ') ++b;
    while (e > b && (unsigned char)s[e - 1] <= ' ') --e;
    return s.substr(b, e - b);
}

std::string ReplaceTextCI(std::string s, std::string_view what, std::string_view with) {
    if (what.empty()) return s;
    std::string lw = LowerAscii(what);
    // A replacement that contains the searched text would never end.
    if (LowerAscii(with).find(lw) != std::string::npos) return s;
    for (;;) {
        size_t p = LowerAscii(s).find(lw);
        if (p == std::string::npos) return s;
        s.replace(p, what.size(), with);
    }
}

std::string DiameterSubstitute(const std::string& s) { return s == "n" ? std::string("\\U+2205") : s; }

uint32_t HexHandle(std::string_view s) {
    s = TrimBlanks(s);
    if (s.empty() || s.size() > 8) return 0;
    uint32_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || p != s.data() + s.size()) return 0;
    return v;
}

bool ParseInt32(std::string_view s, int32_t& out) {
    // Fast path: one to nine plain digits after leading blanks, as nearly
    // every group code (written right-aligned, "  8") and integer value is.
    // It gives what the general path below gives for such text.
    size_t lead = 0;
    while (lead < s.size() && (s[lead] == ' ' || s[lead] == '\t')) ++lead;
    if (lead < s.size() && s.size() - lead <= 9) {
        int32_t v = 0;
        size_t i = lead;
        for (; i < s.size(); ++i) {
            unsigned d = unsigned(s[i]) - '0';
            if (d > 9) break;
            v = v * 10 + int32_t(d);
        }
        if (i == s.size()) {
            out = v;
            return true;
        }
    }
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') base = 16, ++i;
    else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) base = 16, i += 2;
    if (i >= s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        int d;
        char c = s[i];
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * base + d;
        if (v > int64_t(INT32_MAX) + 1 && !(base == 16 && v <= int64_t(UINT32_MAX))) return false;
    }
    if (neg) v = -v;
    if (base == 16 && !neg && v > INT32_MAX && v <= int64_t(UINT32_MAX)) v = int32_t(uint32_t(v));
    if (v > INT32_MAX || v < INT32_MIN) return false;
    out = int32_t(v);
    return true;
}

namespace {
// The plain "[-]digits[.digits]" form nearly every value of a drawing has
// (also with "," as the separator), read in one pass: when the digits
// without the separator form an integer m <= 2^53 and there are f <= 22
// decimals, both m and 10^f are exact doubles and the one division m / 10^f
// is correctly rounded, the very value from_chars gives. False (out
// untouched) for anything else, which the general path then reads.
bool ParsePlainDouble(std::string_view s, double& out) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = s.data();
    const char* e = p + s.size();
    bool neg = p < e && *p == '-';
    if (neg) ++p;
    const char* d = p;
    uint64_t m = 0;
    while (p < e && unsigned(*p - '0') <= 9) m = m * 10 + unsigned(*p++ - '0');
    size_t intDigits = size_t(p - d), fracDigits = 0;
    if (intDigits == 0) return false;
    if (p < e && (*p == '.' || *p == ',')) {
        const char* f = ++p;
        while (p < e && unsigned(*p - '0') <= 9) m = m * 10 + unsigned(*p++ - '0');
        fracDigits = size_t(p - f);
        if (fracDigits == 0) return false;
    }
    // At most 19 digits, so that m did not wrap around.
    if (p != e || intDigits + fracDigits > 19 || m > (uint64_t(1) << 53) || fracDigits > 22) return false;
    double v = double(m) / kPow10[fracDigits];
    out = neg ? -v : v;
    return true;
}
}  // namespace

bool ParseDouble(std::string_view s, double& out) {
    if (ParsePlainDouble(s, out)) return true;
    s = TrimBlanks(s);
    if (s.empty()) return false;
    // Only plain decimal numbers: an optional sign, digits with "." or ","
    // as the decimal separator, an optional exponent. No "inf", "nan" or
    // hexadecimal floats.
    bool neg = false;
    size_t i = 0;
    if (s[0] == '+' || s[0] == '-') neg = s[i++] == '-';
    bool digits = false, comma = false;
    for (size_t k = i; k < s.size(); ++k) {
        char c = s[k];
        if (c >= '0' && c <= '9') digits = true;
        else if (c == ',') comma = true;
        else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return false;
    }
    if (!digits || i == s.size() || s[i] == '+' || s[i] == '-') return false;
    const char* b = s.data() + i;
    const char* e = s.data() + s.size();
    std::string copy;
    if (comma) {  // the comma is the decimal separator of this value
        copy.assign(b, e);
        for (char& c : copy)
            if (c == ',') c = '.';
        b = copy.data();
        e = b + copy.size();
    }
    double v = 0;
    auto [p, ec] = std::from_chars(b, e, v, std::chars_format::general);
    if (p != e) return false;
    if (ec == std::errc::result_out_of_range) {
        // Too large becomes infinite, too small becomes zero.
        const char* ex = std::find_if(b, e, [](char c) { return c == 'e' || c == 'E'; });
        bool negExp = ex != e && ex + 1 < e && ex[1] == '-';
        v = negExp ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        return false;
    }
    out = neg ? -v : v;
    return true;
}

double TextToFloatDef(std::string_view s, double def) {
    double v;
    return ParseDouble(s, v) ? v : def;
}

double ChordPointsForTolerance(double r, double sweep, double tolerance) {
    if (!(tolerance > 0) || !(r > tolerance) || !std::isfinite(r) || !std::isfinite(sweep)) return 0;
    const double a = 4 * std::asin(std::sqrt(tolerance / (2 * r)));
    return std::ceil(std::fabs(sweep) / a) + 1;
}

std::string EscapeControlBytes(std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        const unsigned char c = (unsigned char)ch;
        switch (c) {
            case '\b': out += "\\b"; continue;
            case '\f': out += "\\f"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}
