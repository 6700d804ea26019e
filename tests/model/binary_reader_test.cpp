// Binary DXF: groups typed by their code, exact numbers, one-byte codes of
// release 12 files, header variables and type names, and damaged files that
// end in a read error naming the byte.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "model/binary_dxf.h"
#include "model/converter.h"
#include "model/entities/curves.h"
#include "model/entities/linear.h"
#include "model/errors.h"
#include "drawn_points.h"

namespace {

// Builds a binary DXF file group by group.
class TBinary {
public:
    explicit TBinary(bool wide = true) : Wide(wide), Out(kBinaryDxfSentinel) {}
    TBinary& Code(int c) {
        if (Wide) {
            Out += char(c & 0xFF);
            Out += char((c >> 8) & 0xFF);
        } else if (c < 255) {
            Out += char(c);
        } else {
            Out += char(0xFF);
            Out += char(c & 0xFF);
            Out += char((c >> 8) & 0xFF);
        }
        return *this;
    }
    TBinary& Str(int c, const std::string& v) {
        Code(c);
        Out += v;
        Out += '\0';
        return *this;
    }
    TBinary& Real(int c, double v) {
        Code(c);
        char b[8];
        std::memcpy(b, &v, 8);
        Out.append(b, 8);
        return *this;
    }
    TBinary& Int(int c, int64_t v, int bytes) {
        Code(c);
        for (int i = 0; i < bytes; ++i) Out += char((uint64_t(v) >> (8 * i)) & 0xFF);
        return *this;
    }
    TBinary& Chunk(int c, const std::string& bytes) {
        Code(c);
        Out += char(bytes.size());
        Out += bytes;
        return *this;
    }
    bool Wide;
    std::string Out;
};

// SECTION ENTITIES with a LINE on layer "walls" from (0.1, 1/3) to (1e300, -2.5).
TBinary LineFile(bool wide = true) {
    TBinary b(wide);
    b.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "LINE").Str(8, "walls");
    b.Real(10, 0.1).Real(20, 1.0 / 3).Real(11, 1e300).Real(21, -2.5).Int(62, 3, 2);
    b.Str(0, "ENDSEC").Str(0, "EOF");
    return b;
}

std::string LoadError(const std::string& text) {
    TkrDXFConverter conv;
    try {
        conv.LoadFromText(text);
    } catch (const EkrError& e) {
        return e.Message;
    }
    return "(no error)";
}

}  // namespace

TEST(BinaryReader, GroupsAreReadWithTheTypesOfTheirCodes) {
    TBinaryGroup g;
    TBinaryDamage d;
    TBinary b;
    b.Int(70, -2, 2).Int(90, -70000, 4).Int(160, 5000000000, 8).Int(290, 1, 1).Chunk(310, "\x01\xAB").Str(1, "abc");
    const std::string& t = b.Out;
    size_t pos = kBinaryDxfSentinel.size();
    ASSERT_TRUE(ReadBinaryGroup(t, pos, true, g, d));
    EXPECT_EQ(g.Code, 70);
    EXPECT_EQ(g.Integer, -2);
    ASSERT_TRUE(ReadBinaryGroup(t, pos = g.End, true, g, d));
    EXPECT_EQ(g.Integer, -70000);
    ASSERT_TRUE(ReadBinaryGroup(t, pos = g.End, true, g, d));
    EXPECT_EQ(g.Integer, 5000000000);
    ASSERT_TRUE(ReadBinaryGroup(t, pos = g.End, true, g, d));
    EXPECT_EQ(g.Integer, 1);
    ASSERT_TRUE(ReadBinaryGroup(t, pos = g.End, true, g, d));
    std::string text;
    BinaryValueText(g, text);
    EXPECT_EQ(text, "01AB");  // a chunk as the text form writes it
    ASSERT_TRUE(ReadBinaryGroup(t, pos = g.End, true, g, d));
    EXPECT_EQ(g.Bytes, "abc");
    EXPECT_EQ(g.End, t.size());
}

TEST(BinaryReader, NumbersKeepTheirExactValues) {
    TkrDXFConverter conv;
    conv.LoadFromText(LineFile().Out);
    EXPECT_TRUE(conv.BinarySource);
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    auto& l = *static_cast<TkrDXFLine*>(conv.EntityAt(0));
    EXPECT_EQ(l.Point.X, float(0.1));
    EXPECT_EQ(l.Point.Y, float(1.0 / 3));
    EXPECT_EQ(l.Layer->Name, "walls");
    EXPECT_EQ(l.TypeName(&conv), "LINE");
    // Exactly what the text form with the shortest exact digits reads.
    TkrDXFConverter text;
    text.LoadFromText("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\nwalls\n10\n0.1\n20\n0.3333333333333333\n11\n1e+300\n"
                      "21\n-2.5\n62\n3\n0\nENDSEC\n0\nEOF\n");
    auto& t = *static_cast<TkrDXFLine*>(text.EntityAt(0));
    EXPECT_EQ(t.Point, l.Point);
    EXPECT_EQ(t.Color, l.Color);
    EXPECT_FALSE(text.BinarySource);
}

TEST(BinaryReader, ReleaseTwelveFilesHaveOneByteCodes) {
    TBinary b(false);
    b.Str(0, "SECTION").Str(2, "HEADER").Str(9, "$LTSCALE").Real(40, 2.5).Str(0, "ENDSEC");
    b.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "CIRCLE").Real(10, 1).Real(20, 2).Real(40, 3);
    b.Str(1000, "extended data behind code 255").Str(0, "ENDSEC").Str(0, "EOF");
    EXPECT_FALSE(BinaryDxfHasWideCodes(b.Out));
    EXPECT_TRUE(BinaryDxfHasWideCodes(LineFile().Out));
    TkrDXFConverter conv;
    conv.LoadFromText(b.Out);
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    auto& c = *static_cast<TkrDXFCircle*>(conv.EntityAt(0));
    EXPECT_EQ(c.Radius, 3);
    EXPECT_EQ(DrawnPoints(c).size(), 33u);  // 32 points, closed
    EXPECT_EQ(conv.HeaderValue("$LTSCALE", 40), "2.5");
    EXPECT_EQ(conv.GlobalLineTypeScale(), 2.5);
    EXPECT_EQ(conv.HeaderValue("$LTSCALE", 70), "");  // ends at the next 0 group
}

TEST(BinaryReader, AFileEndingAfterAWholeGroupLoadsWhatItHolds) {
    // Cut after the LINE's last group, as a cut text file: no error, and the
    // group that ends the file reads as an end marker.
    TBinary b;
    b.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "LINE").Real(10, 1).Real(20, 1).Real(11, 2).Real(21, 2);
    b.Str(0, "CIRCLE").Real(40, 5);
    TkrDXFConverter conv;
    conv.LoadFromText(b.Out);
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    EXPECT_EQ(DrawnPoints(*static_cast<TkrDXFLine*>(conv.EntityAt(0)))[1], (TPoint3F{2, 2, 0}));
    EXPECT_EQ(static_cast<TkrDXFCircle*>(conv.EntityAt(1))->Radius, 0);  // its last group is not seen
}

TEST(BinaryReader, ADamagedFileEndsInAReadErrorNamingTheByte) {
    std::string whole = LineFile().Out;
    // The group of code 11 starts at byte 22 + 10 + 11 + 7 + 8 + 2 * 10 = 78,
    // its value at 80. Cut after 3 of its 8 bytes:
    const std::string cut = whole.substr(0, 83);
    EXPECT_EQ(LoadError(cut), "DXF read error at byte 78: \r\ndamaged binary DXF: the value of group code 11 at "
                              "byte 80 needs 8 bytes, the file ends after 3");
    // A string that runs to the end without its NUL.
    TBinary s;
    s.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "LINE").Code(8);
    s.Out += "walls, and no end";
    EXPECT_EQ(LoadError(s.Out), "DXF read error at byte 50: \r\ndamaged binary DXF: the string of group code 8 at "
                                "byte 52 has no terminating NUL before the end of the file");
    // A group code cut in half.
    EXPECT_EQ(LoadError(whole.substr(0, 50) + std::string(1, '\x0a')).rfind("DXF read error at byte 50: ", 0), 0u);
    // A chunk that announces more bytes than there are.
    TBinary c;
    c.Str(0, "SECTION").Str(2, "OBJECTS").Code(310);
    c.Out += char(100);
    c.Out += "abc";
    EXPECT_NE(LoadError(c.Out).find("the chunk of group code 310 at byte 44 announces 100 bytes, the file ends after 3"),
              std::string::npos);
}

TEST(BinaryReader, CodesNoEntityReadsAreSkippedWhateverTheirType) {
    TBinary b;
    b.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "LINE").Int(160, int64_t(1) << 40, 8).Str(999, "comment");
    b.Chunk(1004, std::string(255, 'x')).Real(11, 4).Str(0, "ENDSEC").Str(0, "EOF");
    TkrDXFConverter conv;
    conv.LoadFromText(b.Out);
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    EXPECT_EQ(DrawnPoints(*static_cast<TkrDXFLine*>(conv.EntityAt(0)))[1].X, 4);
}

namespace {
// What a load through a window of w bytes gives (0: the whole text): the
// error, the entities' names and points, the header's $LTSCALE.
std::string WindowedLoad(const std::string& text, size_t w) {
    TkrDXFConverter conv;
    std::istringstream in(text);
    std::string r;
    try {
        if (w == 0) {
            conv.LoadFromText(text);
        } else {
            conv.ReadWindow = w;
            conv.LoadFromStream(in, text.size());
        }
    } catch (const EkrError& e) {
        r = e.Message;
    }
    r += '|';
    r += conv.HeaderValue("$LTSCALE", 40);
    for (int i = 0; i < conv.TableCount(tkEntities); ++i) {
        TkrDXFEntity* e = conv.EntityAt(i);
        TBox3F b = e->GetBox();
        r += '|';
        r += e->TypeName(&conv) + " " + std::to_string(b.Left) + " " + std::to_string(b.Top) + " " +
             std::to_string(b.Right) + " " + std::to_string(b.Bottom);
    }
    return r;
}
}  // namespace

TEST(BinaryReader, AWindowOfAnySizeReadsWhatTheWholeFileReads) {
    // Strings, reals and a 255-byte chunk straddle the window borders; the
    // header value (2.5) and the names come out the same.
    TBinary b;
    b.Str(0, "SECTION").Str(2, "HEADER").Str(9, "$LTSCALE").Real(40, 2.5).Str(0, "ENDSEC");
    b.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "LINE").Str(8, "walls").Real(10, 0.1).Real(20, 1).Real(11, 3);
    b.Real(21, 4).Chunk(1004, std::string(255, 'x')).Str(0, "CIRCLE").Real(10, 1).Real(20, 2).Real(40, 3);
    b.Str(0, "ENDSEC").Str(0, "EOF");
    TBinary old(false);
    old.Str(0, "SECTION").Str(2, "ENTITIES").Str(0, "CIRCLE").Real(10, 1).Real(20, 2).Real(40, 3);
    old.Str(1000, "extended data behind code 255").Str(0, "ENDSEC").Str(0, "EOF");
    for (const std::string& text : {b.Out, old.Out, LineFile().Out.substr(0, 83)}) {
        const std::string whole = WindowedLoad(text, 0);
        for (size_t w : {1, 2, 3, 8, 23, 100})
            EXPECT_EQ(WindowedLoad(text, w), whole) << "window " << w;
    }
    EXPECT_EQ(WindowedLoad(b.Out, 5).substr(0, 17), "|2.5|LINE 0.10000");
    // The damaged file: the error names the byte in the file, not in the window.
    EXPECT_EQ(WindowedLoad(LineFile().Out.substr(0, 83), 7).rfind("DXF read error at byte 78: \r\ndamaged binary DXF: "
                                                                  "the value of group code 11 at byte 80 needs 8 bytes",
                                                                  0),
              0u);
}
