// True widths in the text form: the closed outlines of wide polylines
// (constant and per-vertex widths, bulges), of wide pens and of solids,
// computed here by hand; without the option the centre lines as before.
//
// Every drawing holds a frame from (-500, -200) to (500, 200), so the scale
// is 480 and a drawing point (x, y) lands on (300000 + 480 x, 120000 - 480 y).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "render/dxf_image.h"

#include "dxf_snippets.h"
#include "render/render_helpers.h"

namespace {

std::string Drawing(std::vector<std::string> body) {
    std::vector<std::string> g = {"0", "LINE", "10", "-500", "20", "-200", "11", "500", "21", "200"};
    g.insert(g.end(), body.begin(), body.end());
    return dxftest::Entities(g);
}

std::vector<std::string> Draw(const std::string& dxf, bool trueWidths = true, int penWidth = 0) {
    TkrDXFImage g;
    g.TrueWidths = trueWidths;
    g.DefaultPenWidth = penWidth;
    auto lines = rendertest::DrawText(g, dxf);
    lines.erase(lines.begin());  // the frame
    return lines;
}

// An LWPOLYLINE through the points (x, y[, start width, end width, bulge]).
std::vector<std::string> LwPolyline(std::vector<std::vector<double>> pts, bool closed, double width = 0) {
    std::vector<std::string> g = {"0", "LWPOLYLINE", "8", "0", "70", closed ? "1" : "0", "43", std::to_string(width)};
    for (auto& p : pts) {
        g.insert(g.end(), {"10", std::to_string(p[0]), "20", std::to_string(p[1])});
        if (p.size() > 2) g.insert(g.end(), {"40", std::to_string(p[2]), "41", std::to_string(p[3])});
        if (p.size() > 4) g.insert(g.end(), {"42", std::to_string(p[4])});
    }
    return g;
}

}  // namespace

TEST(TrueWidths, AClosedWallIsTwoClosedLoopsWithSquareCorners) {
    // The square (0,0)-(100,100) with width 10: the outer loop through
    // (-5,-5), (105,-5), (105,105), (-5,105), the inner one through (5,5),
    // (95,5), (95,95), (5,95). Target: x -5 -> 297600, 5 -> 302400,
    // 95 -> 345600, 105 -> 350400; y likewise 122400, 117600, 74400, 69600.
    auto lines = Draw(Drawing(LwPolyline({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true, 10)));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "302400;117600;345600;117600", "345600;117600;345600;74400", "345600;74400;302400;74400",
                         "302400;74400;302400;117600",  // the inner side, from (5,5) on
                         "297600;122400;350400;122400", "350400;122400;350400;69600", "350400;69600;297600;69600",
                         "297600;69600;297600;122400"}));  // the outer side, from (-5,-5) on
    // Without the option: the centre line, four segments.
    EXPECT_EQ(Draw(Drawing(LwPolyline({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true, 10)), false).size(), 4u);
}

TEST(TrueWidths, AnOpenBandIsClosedAtItsEndsAndTapersWithItsWidths) {
    // (0,0) -> (100,0) width 10 falling to 0: the band's corners (0,5),
    // (100,0), (0,-5): one closed triangle of three segments (the two points
    // at the tip are one). Target: (300000,117600), (348000,120000),
    // (300000,122400).
    auto lines = Draw(Drawing(LwPolyline({{0, 0, 10, 0}, {100, 0}}, false)));
    EXPECT_EQ(lines, (std::vector<std::string>{"300000;117600;348000;120000", "348000;120000;300000;122400",
                                               "300000;122400;300000;117600"}));
    // A segment without a width after it stays a centre-line segment:
    // (100,0) -> (200,0) is 348000..396000 on y 120000.
    lines = Draw(Drawing(LwPolyline({{0, 0, 10, 0}, {100, 0, 0, 0}, {200, 0}}, false)));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "348000;120000;396000;120000");
}

TEST(TrueWidths, ABulgedBandFollowsTheArcOnBothSides) {
    // A half circle from (0,0) to (100,0) (bulge 1: centre (50,0), radius
    // 50) with width 10: every outline point lies 45 or 55 from the centre,
    // 21600 or 26400 target units from (324000, 120000), except the two
    // ends' corners, which are also on those circles.
    auto lines = Draw(Drawing(LwPolyline({{0, 0, 10, 10, 1}, {100, 0}}, false)));
    ASSERT_GT(lines.size(), 30u);
    for (const std::string& l : lines) {
        double x1, y1, x2, y2;
        ASSERT_EQ(std::sscanf(l.c_str(), "%lf;%lf;%lf;%lf", &x1, &y1, &x2, &y2), 4);
        for (auto [x, y] : {std::pair{x1, y1}, std::pair{x2, y2}}) {
            double r = std::hypot(x - 324000, y - 120000);
            EXPECT_TRUE(std::fabs(r - 21600) < 60 || std::fabs(r - 26400) < 60) << l;
        }
    }
}

TEST(TrueWidths, AWidePenIsABandOfItsWidthAndASolidIsClosed) {
    // A polyline (0,0)-(100,0) drawn with a pen 6 target units wide: the
    // band y 119997..120003 from 300000 to 348000.
    auto lines = Draw(Drawing(LwPolyline({{0, 0}, {100, 0}}, false)), true, 6);
    EXPECT_EQ(lines, (std::vector<std::string>{"300000;120003;348000;120003", "348000;120003;348000;119997",
                                               "348000;119997;300000;119997", "300000;119997;300000;120003"}));
    // A solid (0,0), (10,0), (0,10), (10,10) is the square in the order
    // 1, 2, 4, 3, closed: four segments (without the option three).
    std::vector<std::string> solid = {"0",  "SOLID", "8",  "0", "10", "0",  "20", "0", "11", "10",
                                      "21", "0",     "12", "0", "22", "10", "13", "10", "23", "10"};
    EXPECT_EQ(Draw(Drawing(solid)), (std::vector<std::string>{"300000;120000;304800;120000", "304800;120000;304800;115200",
                                                              "304800;115200;300000;115200",
                                                              "300000;115200;300000;120000"}));
    EXPECT_EQ(Draw(Drawing(solid), false).size(), 3u);
}
