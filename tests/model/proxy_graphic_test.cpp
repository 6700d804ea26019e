// Proxy graphics: the streams of ACAD_PROXY_ENTITY and of entities of
// unknown names become parts with their traits; damaged streams end where
// the damage starts, with a warning.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/curves.h"
#include "model/entities/hatch.h"
#include "model/entities/mesh.h"
#include "model/entities/proxy_graphic.h"
#include "model/entities/text.h"
#include "model/entities/xline.h"
#include "drawn_points.h"

#include "dxf_snippets.h"
#include "proxy_stream.h"
#include "model/model_helpers.h"

namespace {

std::unique_ptr<TkrDXFConverter> LoadEntities(const std::string& entities) {
    return modeltest::LoadDrawable(dxftest::PipeDxf(
        "0|SECTION|2|TABLES|0|TABLE|2|LAYER|0|LAYER|2|0|70|0|62|7|0|LAYER|2|WALLS|70|0|62|3|0|ENDTAB|0|ENDSEC|"
        "0|SECTION|2|ENTITIES|" + entities + "0|ENDSEC|0|EOF"));
}

template <class T>
std::vector<T*> PartsOf(const TkrDXFCompound& c) {
    std::vector<T*> out;
    for (auto& p : c.Parts)
        if (auto* t = dynamic_cast<T*>(p.get())) out.push_back(t);
    return out;
}

void ExpectPoint(const TPoint3F& p, double x, double y, double tol = 1e-4) {
    EXPECT_NEAR(p.X, x, tol);
    EXPECT_NEAR(p.Y, y, tol);
}

TkrDXFProxyEntity* First(TkrDXFConverter& c) { return dynamic_cast<TkrDXFProxyEntity*>(c.EntityAt(0)); }

}  // namespace

TEST(ProxyGraphic, CommandsAndTraitsBecomePartsOfTheEntity) {
    dxftest::TStream s;
    s.Cmd(1).P(0, 0).P(110, 30);                                 // extents: not needed
    s.Cmd(14).U32(1);                                            // colour 1 (red)
    s.Cmd(6).U32(3).P(0, 0).P(10, 0).P(10, 10);                  // polyline
    s.Cmd(16).U32(1);                                            // layer 1 (WALLS)
    s.Cmd(2).P(5, 5).D(2).P(0, 0, 1);                            // circle
    s.Cmd(999).U32(7).U32(7);                                    // unknown: skipped by its size
    s.Cmd(29);                                                   // push: move by (100, 0)
    for (double v : {1., 0., 0., 100., 0., 1., 0., 0., 0., 0., 1., 0., 0., 0., 0., 1.}) s.D(v);
    s.Cmd(20).U32(1);                                            // fill on
    s.Cmd(7).U32(3).P(0, 0).P(10, 0).P(0, 10);                   // a filled triangle at x + 100
    s.Cmd(31);                                                   // pop
    s.Cmd(14).U32(0);                                            // colour BYBLOCK: the entity's
    s.Cmd(10).P(0, 20).P(0, 0, 1).P(1, 0).D(2.5).D(1).D(0).Str("Hi");  // text
    s.Cmd(13).P(0, 30).P(1, 30);                                 // ray along x
    auto c = LoadEntities("0|AEC_WALL|8|0|62|5|" + s.Groups() + "100|AecDbWall|");
    auto* p = First(*c);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetName(c.get()), "AEC_WALL");
    EXPECT_TRUE(p->Graphics.empty());  // released once drawn
    auto polys = PartsOf<TkrDXFPolyline>(*p);
    ASSERT_GE(polys.size(), 2u);  // the polyline, then the circle
    EXPECT_EQ(polys[0]->EntityColor(), 0x0000FF);
    EXPECT_EQ(polys[0]->Layer->Name, "0");
    auto pts = DrawnPoints(*polys[0]);
    ASSERT_EQ(pts.size(), 3u);
    ExpectPoint(pts[2], 10, 10);
    auto circles = PartsOf<TkrDXFCircle>(*p);
    ASSERT_EQ(circles.size(), 1u);
    ExpectPoint(circles[0]->Centre(), 5, 5);
    EXPECT_FLOAT_EQ(circles[0]->Radius, 2);
    EXPECT_EQ(circles[0]->Layer->Name, "WALLS");
    auto fills = PartsOf<TkrDXFHatch>(*p);
    ASSERT_EQ(fills.size(), 1u);
    ASSERT_EQ(fills[0]->Paths.size(), 1u);
    ExpectPoint(fills[0]->Paths[0][1], 110, 0);
    auto texts = PartsOf<TkrDXFText>(*p);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Text, "Hi");
    ExpectPoint(texts[0]->Point, 0, 20);
    EXPECT_FLOAT_EQ(texts[0]->Height, 2.5f);
    EXPECT_EQ(texts[0]->EntityColor(), 0xFF0000);  // the entity's blue
    auto rays = PartsOf<TkrDXFXLine>(*p);
    ASSERT_EQ(rays.size(), 1u);
    EXPECT_TRUE(rays[0]->Ray);
    EXPECT_TRUE(p->Unbounded);
    // The box: the parts (the ray has none).
    EXPECT_EQ(p->GetBox().Left, 0);
    EXPECT_EQ(p->GetBox().Right, 110);
    EXPECT_FALSE(c->Bounds.Any());
}

TEST(ProxyGraphic, ADamagedStreamEndsWhereTheDamageStarts) {
    auto polyline = [](dxftest::TStream& s, double y) { s.Cmd(6).U32(2).P(0, y).P(10, y); };
    // A command whose size runs past the data.
    dxftest::TStream a;
    polyline(a, 0);
    a.Cmd(6).U32(2).P(0, 1).P(10, 1).ForceSize(100000);
    polyline(a, 2);
    // A polyline announcing a million points in a command of two.
    dxftest::TStream b;
    polyline(b, 0);
    b.Cmd(6).U32(1000000).P(0, 1).P(10, 1);
    polyline(b, 2);
    // A command size below its head, and a shell naming vertex 1000000000.
    dxftest::TStream d;
    polyline(d, 0);
    d.Cmd(9).U32(3).P(0, 0).P(1, 0).P(0, 1).U32(4).U32(3).U32(0).U32(1).U32(1000000000);
    d.Cmd(6).ForceSize(4);
    for (dxftest::TStream* s : {&a, &b, &d}) {
        auto c = LoadEntities("0|ACAD_PROXY_ENTITY|8|0|100|AcDbProxyEntity|90|498|91|500|" + s->Groups() +
                              "93|32|310|00000000|");
        auto* p = First(*c);
        ASSERT_NE(p, nullptr);
        auto polys = PartsOf<TkrDXFPolyline>(*p);
        ASSERT_GE(polys.size(), 1u);
        ExpectPoint(DrawnPoints(*polys[0])[0], 0, 0);
        EXPECT_EQ(polys.size(), 1u);
        EXPECT_EQ(c->Bounds.ProxyGraphics, 1u);
        if (s == &d) {
            // The shell's face loses its edges to the missing vertex only.
            auto meshes = PartsOf<TkrDXFMesh>(*p);
            ASSERT_EQ(meshes.size(), 1u);
            EXPECT_EQ(meshes[0]->Edges, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}}));
            EXPECT_EQ(c->Bounds.MeshFaces, 1u);
        }
    }
    // Bytes that are not hexadecimal end the stream there.
    dxftest::TStream e;
    polyline(e, 0);
    std::string g = e.Groups();
    g.insert(g.rfind('|'), "ZZ");
    auto c = LoadEntities("0|AEC_DOOR|" + g);
    EXPECT_EQ(PartsOf<TkrDXFPolyline>(*First(*c)).size(), 1u);
    EXPECT_EQ(c->Bounds.ProxyGraphics, 1u);
}

TEST(ProxyGraphic, TransformsNestedEndlesslyAreBounded) {
    // 100 pushes of a move by (1, 0), each on top of the others; only the
    // first 64 are kept, the polyline lands 64 further; the pops match.
    dxftest::TStream s;
    for (int i = 0; i < 100; ++i) {
        s.Cmd(30);
        for (double v : {1., 0., 0., 1., 0., 1., 0., 0., 0., 0., 1., 0., 0., 0., 0., 1.}) s.D(v);
    }
    s.Cmd(6).U32(2).P(0, 0).P(1, 0);
    for (int i = 0; i < 100; ++i) s.Cmd(31);
    s.Cmd(6).U32(2).P(0, 5).P(1, 5);
    auto c = LoadEntities("0|AEC_GRID|" + s.Groups(160));
    auto polys = PartsOf<TkrDXFPolyline>(*First(*c));
    ASSERT_EQ(polys.size(), 2u);
    ExpectPoint(DrawnPoints(*polys[0])[0], double(kMaxProxyTransformDepth), 0);
    ExpectPoint(DrawnPoints(*polys[1])[0], 0, 5);
    EXPECT_EQ(c->Bounds.ProxyNesting, 1u);
    EXPECT_EQ(c->Bounds.ProxyGraphics, 0u);
}
