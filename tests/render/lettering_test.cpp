// Texts drawn as lines: the strokes of one turned, aligned text where they
// are computed here by hand, a line of words (umlauts, digits, sharp s,
// euro) rendered into a picture and compared with the glyphs of the font
// placed by hand, and what is left as the texts' own drawing.
//
// Every drawing holds a frame from (-500, -200) to (500, 200), so the scale
// is 480 and a drawing point (x, y) lands on (300000 + 480 x, 120000 - 480 y).
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "platform/font_metrics.h"
#include "platform/stroke_text.h"
#include "render/dxf_image.h"

#include "dxf_snippets.h"
#include "render/render_helpers.h"

namespace {

std::shared_ptr<const TStrokeFonts> Fonts() {
    static std::shared_ptr<const TStrokeFonts> f = LoadStrokeFonts();
    return f;
}

std::string Drawing(std::vector<std::string> body) {
    std::vector<std::string> g = {"0", "LINE", "10", "-500", "20", "-200", "11", "500", "21", "200"};
    g.insert(g.end(), body.begin(), body.end());
    return dxftest::Entities(g);
}

std::vector<std::string> DrawLettered(const std::string& dxf) {
    TkrDXFImage g;
    g.Lettering = Fonts().get();
    return rendertest::DrawText(g, dxf);
}

struct TSeg {
    double X1, Y1, X2, Y2;
};

std::vector<TSeg> Segments(const std::vector<std::string>& lines) {
    std::vector<TSeg> out;
    for (const std::string& l : lines) {
        TSeg s{};
        if (std::sscanf(l.c_str(), "%lf;%lf;%lf;%lf", &s.X1, &s.Y1, &s.X2, &s.Y2) == 4) out.push_back(s);
    }
    return out;
}

// The pixels segments cover on a grid of cell target units.
std::set<std::pair<int, int>> Ink(const std::vector<TSeg>& segs, double cell) {
    std::set<std::pair<int, int>> px;
    for (const TSeg& s : segs) {
        double len = std::hypot(s.X2 - s.X1, s.Y2 - s.Y1);
        int n = int(len / (cell / 4)) + 1;
        for (int i = 0; i <= n; ++i) {
            double t = double(i) / n;
            px.insert({int(std::floor((s.X1 + t * (s.X2 - s.X1)) / cell)), int(std::floor((s.Y1 + t * (s.Y2 - s.Y1)) / cell))});
        }
    }
    return px;
}

// The share of a's pixels that lie within one pixel of b's.
double Covered(const std::set<std::pair<int, int>>& a, const std::set<std::pair<int, int>>& b) {
    if (a.empty()) return 0;
    size_t hit = 0;
    for (auto [x, y] : a) {
        bool near = false;
        for (int dx = -1; dx <= 1 && !near; ++dx)
            for (int dy = -1; dy <= 1 && !near; ++dy) near = b.count({x + dx, y + dy}) > 0;
        hit += near;
    }
    return double(hit) / double(a.size());
}

}  // namespace

TEST(Lettering, ATurnedCentredTextLiesWhereComputedByHand) {
    // "HI", height 10, centred on (100, 50), turned by 90 degrees. Measured
    // (Arial advances at width 64: H 105, I 40): b = 145 x 10 / 100 = 14.5,
    // cell a = 16. The start point is (100, 50) + turn(-7.25, 12.8) =
    // (87.2, 42.75); the baseline 0.8 a = 12.8 below it (turned: to the
    // right) runs along x = 100 from y = 42.75 upwards.
    // The glyphs advance 22 + 8 = 30 units = 30/21 cap heights, stretched to
    // 14.5: 10.15 per cap height, so the centres of H and I lie 5.3167 and
    // 12.5667 along the baseline. The H's stems lie 7/21 x 10 = 3.3333 to
    // either side of its centre, from the cap line (x = 90) down to the
    // baseline (x = 100); its bar at 11/21 x 10 = 5.2381 above the baseline.
    // In target units: x 90 -> 343200, 100 -> 348000, 94.7619 -> 345486;
    // y 44.7333 -> 98528, 51.4 -> 95328, 55.3167 -> 93448.
    auto lines = DrawLettered(Drawing({"0", "TEXT", "8", "0", "10", "0", "20", "0", "11", "100", "21", "50", "40", "10",
                                       "50", "90", "72", "1", "1", "HI"}));
    EXPECT_EQ(lines, (std::vector<std::string>{"60000;216000;540000;24000",
                                               "343200;98528;348000;98528",     // H left stem
                                               "343200;95328;348000;95328",     // H right stem
                                               "345486;98528;345486;95328",     // H bar
                                               "343200;93448;348000;93448"}));  // I
}

TEST(Lettering, ALineOfWordsLooksLikeTheFontsGlyphsPlacedByHand) {
    // "Küche 12 m² Maß 5 €" at (-450, 0), height 40: the baseline is y = 0.
    const std::string s = "K\xFC" "che 12 m\xB2 Ma\xDF 5 \x80";
    auto lines = DrawLettered(Drawing({"0", "TEXT", "8", "0", "10", "-450", "20", "0", "40", "40", "1", s}));
    std::vector<TSeg> drawn = Segments(lines);
    drawn.erase(drawn.begin());  // the frame

    // The expected strokes: each character's glyph (the font's own for
    // ASCII, its composition otherwise) centred in its share of the
    // measured width, 40 units per cap height.
    TFontTableMeasure measure;
    const double h = 40, b = measure.TextWidth(s, "Arial", 160, 64) * h / 100;
    const TStrokeFont& font = Fonts()->Normal;
    std::vector<double> adv;
    for (char c : s) {
        TStrokeText one;
        LayOutStrokes(font, std::string(1, c), false, 1000, one);
        adv.push_back(one.Advance);
    }
    double total = 0;
    for (double a : adv) total += a;
    std::vector<TSeg> expected;
    double at = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double centre = -450 + (at + adv[i] / 2) * b / total;
        at += adv[i];
        auto target = [&](double x, double y) { return std::pair<double, double>{300000 + 480 * x, 120000 - 480 * y}; };
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 128) {
            const TStrokeGlyph& g = *font.Glyph(c);
            const double mid = (g.Left + g.Right) / 2.0;
            size_t p = 0;
            for (uint16_t end : g.PathEnds) {
                for (; p + 1 < end; ++p) {
                    auto [x1, y1] = target(centre + (g.Points[p].X - mid) * h / 21, (9 - g.Points[p].Y) * h / 21);
                    auto [x2, y2] = target(centre + (g.Points[p + 1].X - mid) * h / 21, (9 - g.Points[p + 1].Y) * h / 21);
                    expected.push_back({x1, y1, x2, y2});
                }
                p = end;
            }
        } else {
            TStrokeText one;
            LayOutStrokes(font, std::string(1, s[i]), false, 1000, one);
            size_t p = 0;
            for (uint32_t end : one.PathEnds) {
                for (; p + 1 < end; ++p) {
                    auto [x1, y1] = target(centre + one.Points[p].X * h, one.Points[p].Y * h);
                    auto [x2, y2] = target(centre + one.Points[p + 1].X * h, one.Points[p + 1].Y * h);
                    expected.push_back({x1, y1, x2, y2});
                }
                p = end;
            }
        }
    }
    // A picture of 2 x 2 target units per pixel... of 200 units: the line
    // is about 1900 pixels long and a capital 96 pixels high.
    auto a = Ink(drawn, 200), e = Ink(expected, 200);
    EXPECT_GT(e.size(), 2000u);
    EXPECT_GE(Covered(a, e), 0.995) << "drawn ink where the glyphs are";
    EXPECT_GE(Covered(e, a), 0.995) << "every glyph drawn";
    // The line ends where the measured text ends: its rightmost ink within
    // a pixel of -450 + b (the euro sign's bars reach to its advance's end
    // less a sixth).
    double right = 0;
    for (const TSeg& d : drawn) right = std::max({right, d.X1, d.X2});
    EXPECT_LT(right, 300000 + 480 * (-450 + b));
    EXPECT_GT(right, 300000 + 480 * (-450 + b) - 480 * h * 0.5);
}

TEST(Lettering, TextsTooSmallOrOutOfRangeStayAsTheyAreDrawnWithoutLines) {
    // Height 0.001 maps to a font 0.768 units high: its box (nothing in the
    // text form). A height of 1e30 has no box and leaves the target range:
    // nothing in the text form either, and nothing is squashed at its edge.
    auto lines = DrawLettered(Drawing({"0", "TEXT", "8", "0", "10", "0", "20", "0", "40", "0.001", "1", "tiny", "0",
                                       "TEXT", "8", "0", "10", "0", "20", "0", "40", "1e30", "1", "huge"}));
    EXPECT_EQ(lines, (std::vector<std::string>{"60000;216000;540000;24000"}));
}

TEST(Lettering, MultiLineRunsBoldAndUnderlinedFacesAndTheDiameterSign) {
    // An MTEXT "\fArial|b1;B\P\LU" and the diameter code: the bold B drawn in
    // the duplex font (more strokes than the simplex B), the underlined U
    // with its underline (one more segment), the diameter as O and slash.
    auto count = [](const std::string& text, int code = 1) {
        std::vector<std::string> body = {"0", code == 1 ? "MTEXT" : "TEXT", "8", "0", "10", "0", "20", "0",
                                         "40", "20", "1", text};
        return DrawLettered(Drawing(body)).size() - 1;
    };
    const TStrokeFonts& f = *Fonts();
    auto segments = [](const TStrokeGlyph& g) {
        size_t n = 0, p = 0;
        for (uint16_t e : g.PathEnds) n += e - p - 1, p = e;
        return n;
    };
    EXPECT_EQ(count("B"), segments(*f.Normal.Glyph('B')));
    EXPECT_EQ(count("{\\fArial|b1;B}"), segments(*f.Bold.Glyph('B')));
    EXPECT_EQ(count("\\LU"), segments(*f.Normal.Glyph('U')) + 1);
    EXPECT_EQ(count("%%c", 0), segments(*f.Normal.Glyph('O')) + 1);
}
