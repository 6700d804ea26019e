#include "platform/stroke_text.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace {

// Compositions are written in the units of the simplex roman font: cap
// height 21, baseline at y = 9, cap top at -12, x-height at -5, descenders
// down to 16, y downwards, x from the glyph's origin. A font of other
// proportions has its glyphs brought to these units by its own baseline and
// cap height.
constexpr double kRefCap = 21, kRefBase = 9;

struct TRef {
    int8_t X, Y;
};
constexpr TRef kUp{127, 127};  // lifts the pen

// Marks over a lower-case letter; over a capital they are raised by kCapRaise.
constexpr TRef kGrave[] = {{-2, -11}, {1, -8}};
constexpr TRef kAcute[] = {{2, -11}, {-1, -8}};
constexpr TRef kCircumflex[] = {{-3, -8}, {0, -11}, {3, -8}};
constexpr TRef kTilde[] = {{-4, -8}, {-3, -10}, {-1, -10}, {1, -8}, {3, -8}, {4, -10}};
constexpr TRef kDiaeresis[] = {{-3, -10}, {-4, -9}, {-3, -8}, {-2, -9}, {-3, -10}, kUp,
                               {3, -10},  {2, -9},  {3, -8},  {4, -9},  {3, -10}};
constexpr TRef kRing[] = {{-1, -12}, {1, -12}, {2, -11}, {2, -9}, {1, -8}, {-1, -8}, {-2, -9}, {-2, -11}, {-1, -12}};
constexpr TRef kCaron[] = {{-3, -11}, {0, -8}, {3, -11}};
constexpr TRef kMacron[] = {{-4, -9}, {4, -9}};
constexpr TRef kCedilla[] = {{0, 9}, {0, 11}, {2, 12}, {1, 14}, {-2, 14}};
constexpr int kCapRaise = -5;

// Signs drawn from strokes of their own.
constexpr TRef kSharpS[] = {{-6, 9}, {-6, -5}, {-5, -9}, {-3, -11}, {0, -12}, {2, -12}, {4, -11}, {5, -9}, {5, -7},
                            {4, -5}, {1, -4},  {4, -3},  {6, -1},   {7, 2},   {6, 5},   {4, 7},   {2, 8},  {-1, 8}};
constexpr TRef kDegree[] = {{-1, -12}, {1, -12}, {3, -10}, {3, -8}, {1, -6}, {-1, -6}, {-3, -8}, {-3, -10}, {-1, -12}};
constexpr TRef kPlusMinus[] = {{0, -10}, {0, 2}, kUp, {-7, -4}, {7, -4}, kUp, {-7, 7}, {7, 7}};
constexpr TRef kEuroBars[] = {{-10, -3}, {3, -3}, kUp, {-10, 1}, {2, 1}};
constexpr TRef kSlashCap[] = {{8, -14}, {-8, 11}};
constexpr TRef kSlashSmall[] = {{5, -6}, {-5, 10}};
constexpr TRef kMicroStem[] = {{-5, -5}, {-5, 16}};
constexpr TRef kEthBar[] = {{-10, -2}, {-2, -2}};
constexpr TRef kCentBar[] = {{0, -8}, {0, 12}};
constexpr TRef kPound[] = {{6, -9}, {5, -11}, {3, -12}, {1, -12}, {-1, -11}, {-2, -9}, {-2, 9},
                           kUp,     {-6, -2}, {3, -2},  kUp,     {-7, 9},   {7, 9}};
constexpr TRef kYenBars[] = {{-5, -1}, {5, -1}, kUp, {-5, 3}, {5, 3}};
constexpr TRef kCurrency[] = {{-2, -6}, {2, -6}, {4, -4}, {4, 0}, {2, 2}, {-2, 2}, {-4, 0}, {-4, -4}, {-2, -6},
                              kUp,      {-4, -6}, {-6, -8}, kUp,  {4, -6}, {6, -8}, kUp,    {4, 2},  {6, 4},
                              kUp,      {-4, 2},  {-6, 4}};
constexpr TRef kBrokenBar[] = {{0, -12}, {0, -4}, kUp, {0, 1}, {0, 9}};
constexpr TRef kNot[] = {{-7, -3}, {7, -3}, {7, 2}};
constexpr TRef kTimes[] = {{-5, -7}, {5, 3}, kUp, {5, -7}, {-5, 3}};
constexpr TRef kDivide[] = {{-7, -2}, {7, -2}, kUp, {0, -8}, {-1, -7}, {0, -6}, {1, -7}, {0, -8},
                            kUp,      {0, 2},  {-1, 3}, {0, 4},  {1, 3},  {0, 2}};
constexpr TRef kDagger[] = {{0, -12}, {0, 9}, kUp, {-5, -6}, {5, -6}};
constexpr TRef kDoubleDagger[] = {{0, -12}, {0, 9}, kUp, {-5, -6}, {5, -6}, kUp, {-5, 3}, {5, 3}};
constexpr TRef kBullet[] = {{-1, -4}, {1, -4}, {2, -3}, {2, -1}, {1, 0}, {-1, 0}, {-2, -1}, {-2, -3}, {-1, -4},
                            kUp,      {-1, -2}, {1, -2}};
constexpr TRef kEnDash[] = {{-7, 0}, {7, 0}};
constexpr TRef kEmDash[] = {{-12, 0}, {12, 0}};
constexpr TRef kFractionSlash[] = {{6, -12}, {-6, 9}};
constexpr TRef kOrdinalBar[] = {{-4, -2}, {4, -2}};
constexpr TRef kDotlessI[] = {{0, -5}, {0, 9}};
constexpr TRef kBox[] = {{-4, -8}, {4, -8}, {4, 9}, {-4, 9}, {-4, -8}};
// A circle of radius 10 about the middle of the capitals (copyright, registered).
constexpr TRef kBigCircle[] = {{0, -12}, {5, -10}, {9, -6}, {10, -2}, {9, 3}, {5, 7}, {0, 9},  {-5, 7},
                               {-9, 3},  {-10, -2}, {-9, -6}, {-5, -10}, {0, -12}};

template <size_t N>
std::span<const TRef> Of(const TRef (&a)[N]) {
    return std::span<const TRef>(a, N);
}

// Builds the strokes of one character in reference units, then hands them
// to the line in cap heights.
class TCharBuilder {
public:
    TCharBuilder(const TStrokeFont& font, TStrokeText& out) : F(font), Out(out) {}

    // Glyph c of the font, scaled by (sx, sy) and moved by (dx, dy); the
    // first glyph placed gives the character's advance unless Bounds sets it.
    void Glyph(unsigned char c, double sx = 1, double sy = 1, double dx = 0, double dy = 0) {
        const TStrokeGlyph* g = F.Glyph(c);
        if (!g) return;
        const double k = kRefCap / F.CapHeight();
        if (!FHasBounds) {
            const double a = g->Left * k * sx + dx, b = g->Right * k * sx + dx;
            SetBounds(std::min(a, b), std::max(a, b));
        }
        size_t p = 0;
        for (uint16_t end : g->PathEnds) {
            for (; p < end; ++p) {
                const TGlyphPoint q = g->Points[p];
                const double x = q.X * k, y = kRefBase - (F.BaseY() - q.Y) * k;
                Add(x * sx + dx, y * sy + dy);
            }
            Lift();
        }
    }
    // Strokes of our own, moved by (dx, dy).
    void Path(std::span<const TRef> pts, double dx = 0, double dy = 0) {
        for (const TRef& r : pts) {
            if (r.X == kUp.X && r.Y == kUp.Y) Lift();
            else Add(r.X + dx, r.Y + dy);
        }
        Lift();
    }
    void SetBounds(double left, double right) {
        FLeft = left, FRight = right;
        FHasBounds = true;
    }
    // Hands the character to the line.
    void Finish() {
        Lift();
        if (!FHasBounds) SetBounds(-7, 7);
        const double centre = (FLeft + FRight) / 2, adv = (FRight - FLeft) / kRefCap;
        for (size_t i = FFirst; i < Out.Points.size(); ++i) Out.Points[i].X = float(Out.Points[i].X - centre / kRefCap);
        Out.Chars.push_back({uint32_t(Out.PathEnds.size()), Out.Advance + adv / 2});
        Out.Advance += adv;
    }

private:
    void Add(double x, double y) {
        Out.Points.push_back({float(x / kRefCap), float((kRefBase - y) / kRefCap)});
        FOpen = true;
    }
    void Lift() {
        if (FOpen) Out.PathEnds.push_back(uint32_t(Out.Points.size()));
        FOpen = false;
    }
    const TStrokeFont& F;
    TStrokeText& Out;
    size_t FFirst = Out.Points.size();
    double FLeft = 0, FRight = 0;
    bool FHasBounds = false;
    bool FOpen = false;
};

// A Latin letter with a mark: the letter and the mark over (or under) it.
struct TAccented {
    unsigned char Code;
    char Base;  // 'i' stands for the dotless i
    const TRef* Mark;
    size_t MarkSize;
};
#define ACC(code, base, mark) {code, base, mark, sizeof(mark) / sizeof(TRef)}
constexpr TAccented kAccented[] = {
    ACC(0xC0, 'A', kGrave), ACC(0xC1, 'A', kAcute), ACC(0xC2, 'A', kCircumflex), ACC(0xC3, 'A', kTilde),
    ACC(0xC4, 'A', kDiaeresis), ACC(0xC5, 'A', kRing), ACC(0xC7, 'C', kCedilla), ACC(0xC8, 'E', kGrave),
    ACC(0xC9, 'E', kAcute), ACC(0xCA, 'E', kCircumflex), ACC(0xCB, 'E', kDiaeresis), ACC(0xCC, 'I', kGrave),
    ACC(0xCD, 'I', kAcute), ACC(0xCE, 'I', kCircumflex), ACC(0xCF, 'I', kDiaeresis), ACC(0xD1, 'N', kTilde),
    ACC(0xD2, 'O', kGrave), ACC(0xD3, 'O', kAcute), ACC(0xD4, 'O', kCircumflex), ACC(0xD5, 'O', kTilde),
    ACC(0xD6, 'O', kDiaeresis), ACC(0xD9, 'U', kGrave), ACC(0xDA, 'U', kAcute), ACC(0xDB, 'U', kCircumflex),
    ACC(0xDC, 'U', kDiaeresis), ACC(0xDD, 'Y', kAcute), ACC(0xE0, 'a', kGrave), ACC(0xE1, 'a', kAcute),
    ACC(0xE2, 'a', kCircumflex), ACC(0xE3, 'a', kTilde), ACC(0xE4, 'a', kDiaeresis), ACC(0xE5, 'a', kRing),
    ACC(0xE7, 'c', kCedilla), ACC(0xE8, 'e', kGrave), ACC(0xE9, 'e', kAcute), ACC(0xEA, 'e', kCircumflex),
    ACC(0xEB, 'e', kDiaeresis), ACC(0xEC, 'i', kGrave), ACC(0xED, 'i', kAcute), ACC(0xEE, 'i', kCircumflex),
    ACC(0xEF, 'i', kDiaeresis), ACC(0xF1, 'n', kTilde), ACC(0xF2, 'o', kGrave), ACC(0xF3, 'o', kAcute),
    ACC(0xF4, 'o', kCircumflex), ACC(0xF5, 'o', kTilde), ACC(0xF6, 'o', kDiaeresis), ACC(0xF9, 'u', kGrave),
    ACC(0xFA, 'u', kAcute), ACC(0xFB, 'u', kCircumflex), ACC(0xFC, 'u', kDiaeresis), ACC(0xFD, 'y', kAcute),
    ACC(0xFF, 'y', kDiaeresis), ACC(0x8A, 'S', kCaron), ACC(0x8E, 'Z', kCaron), ACC(0x9A, 's', kCaron),
    ACC(0x9E, 'z', kCaron), ACC(0x9F, 'Y', kDiaeresis),
};
#undef ACC

// A small copy of a glyph whose top lies at the cap top (superscripts,
// ordinals, the parts of fractions and of the trade mark).
void Small(TCharBuilder& k, unsigned char c, double s, double dx, double top) {
    k.Glyph(c, s, s, dx, top + 12 * s);
}

// Two copies of a glyph side by side (double quotes, guillemets).
void Twice(TCharBuilder& k, unsigned char c, double s, double sy, double dy, double gap) {
    k.Glyph(c, s, sy, -gap, dy);
    k.Glyph(c, s, sy, gap, dy);
}

// The strokes of a character the font has no glyph for.
void Compose(TCharBuilder& k, unsigned char c) {
    for (const TAccented& a : kAccented) {
        if (a.Code != c) continue;
        const bool capital = a.Base >= 'A' && a.Base <= 'Z';
        if (a.Base == 'i') {
            // The dotless i: the stem of the i with the advance of the i.
            k.SetBounds(-5, 5);
            k.Path(Of(kDotlessI));
        } else {
            k.Glyph((unsigned char)a.Base);
        }
        k.Path(std::span<const TRef>(a.Mark, a.MarkSize), 0,
               capital && a.Mark != kCedilla ? kCapRaise : 0);
        return;
    }
    switch (c) {
        case 0xA0: k.Glyph(' '); return;  // no-break space
        case 0xAD: k.Glyph('-'); return;  // soft hyphen
        case 0xDF: k.SetBounds(-9, 10), k.Path(Of(kSharpS)); return;
        case 0x80: k.Glyph('C'), k.SetBounds(-11, 10), k.Path(Of(kEuroBars)); return;
        case 0xB0: k.SetBounds(-6, 6), k.Path(Of(kDegree)); return;
        case 0xB1: k.SetBounds(-10, 10), k.Path(Of(kPlusMinus)); return;
        case 0xD8: k.Glyph('O'), k.Path(Of(kSlashCap)); return;
        case 0xF8: k.Glyph('o'), k.Path(Of(kSlashSmall)); return;
        case 0xB5: k.Glyph('u'), k.Path(Of(kMicroStem)); return;
        case 0xB2: case 0xB3: case 0xB9:
            k.SetBounds(-6, 6), Small(k, c == 0xB2 ? '2' : c == 0xB3 ? '3' : '1', 0.55, 0, -12);
            return;
        case 0xBC: case 0xBD: case 0xBE:
            k.SetBounds(-11, 11);
            Small(k, c == 0xBE ? '3' : '1', 0.45, -5, -12);
            k.Path(Of(kFractionSlash));
            Small(k, c == 0xBD ? '2' : '4', 0.45, 5, 9 - 21 * 0.45);
            return;
        case 0x85: k.SetBounds(-15, 15), k.Glyph('.', 1, 1, -8), k.Glyph('.'), k.Glyph('.', 1, 1, 8); return;
        case 0x84: k.SetBounds(-7, 7), Twice(k, ',', 1, 1, 0, 3); return;
        case 0x82: k.Glyph(','); return;
        case 0x91: k.SetBounds(-5, 5), k.Glyph('\'', -1, -1, 0, -19); return;  // the apostrophe turned
        case 0x92: k.Glyph('\''); return;
        case 0x93: k.SetBounds(-7, 7), Twice(k, '\'', -1, -1, -19, 3); return;
        case 0x94: k.SetBounds(-7, 7), Twice(k, '\'', 1, 1, 0, 3); return;
        case 0x8B: k.SetBounds(-6, 6), k.Glyph('<', 0.5, 0.5, 0, -2); return;
        case 0x9B: k.SetBounds(-6, 6), k.Glyph('>', 0.5, 0.5, 0, -2); return;
        case 0xAB: k.SetBounds(-8, 8), Twice(k, '<', 0.5, 0.5, -2, 3); return;
        case 0xBB: k.SetBounds(-8, 8), Twice(k, '>', 0.5, 0.5, -2, 3); return;
        case 0x96: k.SetBounds(-8, 8), k.Path(Of(kEnDash)); return;
        case 0x97: k.SetBounds(-13, 13), k.Path(Of(kEmDash)); return;
        case 0x95: k.SetBounds(-5, 5), k.Path(Of(kBullet)); return;
        case 0xB7: k.SetBounds(-5, 5), k.Glyph('.', 1, 1, 0, -9); return;
        case 0x83: k.Glyph('f'); return;
        case 0x88: k.SetBounds(-5, 5), k.Path(Of(kCircumflex), 0, kCapRaise); return;
        case 0x98: k.SetBounds(-6, 6), k.Path(Of(kTilde), 0, kCapRaise); return;
        case 0xA8: k.SetBounds(-6, 6), k.Path(Of(kDiaeresis), 0, kCapRaise); return;
        case 0xB4: k.SetBounds(-5, 5), k.Path(Of(kAcute), 0, kCapRaise); return;
        case 0xAF: k.SetBounds(-6, 6), k.Path(Of(kMacron), 0, kCapRaise); return;
        case 0xB8: k.SetBounds(-5, 5), k.Path(Of(kCedilla)); return;
        case 0x86: k.SetBounds(-7, 7), k.Path(Of(kDagger)); return;
        case 0x87: k.SetBounds(-7, 7), k.Path(Of(kDoubleDagger)); return;
        case 0x89: k.Glyph('%'), k.SetBounds(-12, 16), k.Glyph('o', 0.5, 0.5, 12, 4.5); return;
        case 0x99:
            k.SetBounds(-11, 13), Small(k, 'T', 0.45, -5, -12), Small(k, 'M', 0.45, 5, -12);
            return;
        case 0xA1: k.Glyph('!', -1, -1, 0, -3); return;  // turned: the point above
        case 0xBF: k.Glyph('?', -1, -1, 0, -3); return;
        case 0xA2: k.Glyph('c'), k.Path(Of(kCentBar)); return;
        case 0xA3: k.SetBounds(-9, 9), k.Path(Of(kPound)); return;
        case 0xA4: k.SetBounds(-9, 9), k.Path(Of(kCurrency)); return;
        case 0xA5: k.Glyph('Y'), k.Path(Of(kYenBars)); return;
        case 0xA6: k.SetBounds(-4, 4), k.Path(Of(kBrokenBar)); return;
        case 0xAC: k.SetBounds(-10, 10), k.Path(Of(kNot)); return;
        case 0xD7: k.SetBounds(-8, 8), k.Path(Of(kTimes)); return;
        case 0xF7: k.SetBounds(-10, 10), k.Path(Of(kDivide)); return;
        case 0xA9: case 0xAE:
            k.SetBounds(-12, 12), k.Path(Of(kBigCircle)), k.Glyph(c == 0xA9 ? 'C' : 'R', 0.5, 0.5, 0, -0.75);
            return;
        case 0xAA: case 0xBA:
            k.SetBounds(-6, 6), Small(k, c == 0xAA ? 'a' : 'o', 0.55, 0, -12 - 7 * 0.55), k.Path(Of(kOrdinalBar));
            return;
        case 0xC6: k.SetBounds(-10, 21), k.Glyph('A', 1, 1, 0), k.Glyph('E', 1, 1, 12); return;
        case 0xE6: k.SetBounds(-9, 19), k.Glyph('a', 1, 1, 0), k.Glyph('e', 1, 1, 10); return;
        case 0x8C: k.SetBounds(-11, 21), k.Glyph('O', 1, 1, 0), k.Glyph('E', 1, 1, 12); return;
        case 0x9C: k.SetBounds(-9, 19), k.Glyph('o', 1, 1, 0), k.Glyph('e', 1, 1, 10); return;
        case 0xD0: k.Glyph('D'), k.Path(Of(kEthBar)); return;
        default: break;
    }
    // Unassigned codes, control characters and the few letters no glyph
    // part makes (thorn, eth, section, pilcrow): a small box.
    k.SetBounds(-7, 7);
    k.Path(Of(kBox));
}

}  // namespace

void LayOutStrokes(const TStrokeFont& font, std::string_view text, bool symbolFace, size_t maxPoints,
                   TStrokeText& out) {
    out.Clear();
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const size_t before = out.Points.size(), paths = out.PathEnds.size();
        TCharBuilder k(font, out);
        if (symbolFace && c == 0xC6) {
            // The diameter sign of the Symbol face.
            k.Glyph('O');
            k.Path(Of(kSlashCap));
        } else if (c >= 32 && c < 127) {
            k.Glyph(c);
        } else {
            Compose(k, c);
        }
        if (out.Points.size() > maxPoints) {
            out.Points.resize(before);
            out.PathEnds.resize(paths);
            out.Truncated = true;
            return;
        }
        k.Finish();
    }
}
