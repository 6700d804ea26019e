// Reading DXF text into the model: group pairing, line ends, end markers,
// errors with line numbers, tables, layers, styles, header variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/linear.h"
#include "model/entities/viewport.h"
#include "model/errors.h"

#include "dxf_snippets.h"

using dxftest::Dxf;
using dxftest::Entities;

namespace {
const std::vector<std::string> kTwoLines = {"0", "LINE", "8", "WALLS", "10", "1", "20", "2",
                                            "0", "LINE", "8", "0",     "10", "3", "20", "4"};

std::string LoadError(const std::string& text) {
    TkrDXFConverter conv;
    try {
        conv.LoadFromText(text);
    } catch (const EkrError& e) {
        return e.what();
    }
    return "";
}
}  // namespace

TEST(Reader, EntitiesOfTheEntitiesSectionAreKept) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(kTwoLines));
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    auto* l = static_cast<TkrDXFLine*>(conv.EntityAt(0));
    ASSERT_EQ(l->Class, TEntityClass::Line);
    EXPECT_EQ(l->Point.X, 1);
    EXPECT_EQ(l->Point.Y, 2);
    EXPECT_EQ(l->Layer->Name, "WALLS");
    EXPECT_EQ(l->GetName(&conv), "LINE");
    EXPECT_EQ(conv.EntityAt(1)->Layer->Name, "0");
}

TEST(Reader, LineEndsLfCrAndCrLfReadAlike) {
    std::vector<std::string> l = {"0", "SECTION", "2", "ENTITIES"};
    l.insert(l.end(), kTwoLines.begin(), kTwoLines.end());
    l.insert(l.end(), {"0", "ENDSEC", "0", "EOF"});
    for (std::string eol : {"\n", "\r", "\r\n"}) {
        TkrDXFConverter conv;
        conv.LoadFromText(Dxf(l, eol));
        EXPECT_EQ(conv.TableCount(tkEntities), 2) << "line end " << int(eol[0]) << " " << eol.size();
    }
}

TEST(Reader, LastLineWithoutLineEndLoadsAlike) {
    std::string text = Entities(kTwoLines);
    text.pop_back();  // "EOF" without its line end
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    EXPECT_EQ(conv.TableCount(tkEntities), 2);
}

TEST(Reader, AUtf8ByteOrderMarkIsPassedOverAndMakesTheTextsUtf8) {
    // Before, the mark made the first code line "\xEF\xBB\xBF0", a read error.
    // The texts of a drawing saved so are UTF-8, whatever its release: the
    // layer "Wände" is held in Windows-1252.
    std::vector<std::string> l = {"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "0", "ENDSEC",
                                  "0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", "W\xC3\xA4nde", "10", "1",
                                  "20", "2", "0", "ENDSEC", "0", "EOF"};
    TkrDXFConverter conv;
    conv.LoadFromText("\xEF\xBB\xBF" + Dxf(l));
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    EXPECT_EQ(conv.EntityAt(0)->Layer->Name, "W\xE4nde");
    EXPECT_EQ(conv.EntityAt(0)->TypeName(&conv), "LINE");
    // Without the mark the same bytes are Windows-1252.
    TkrDXFConverter plain;
    plain.LoadFromText(Dxf(l));
    EXPECT_EQ(plain.EntityAt(0)->Layer->Name, "W\xC3\xA4nde");
}

TEST(Reader, BlankLinesBetweenGroupsAreSkippedAndBlankValuesAreEmpty) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dxf({"", "0", "SECTION", "", "", "2", "ENTITIES", "0", "LINE", "8", "", "10", "5", "0", "ENDSEC",
                           "0", "EOF"}));
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    EXPECT_EQ(conv.EntityAt(0)->Layer->Name, "");
    EXPECT_EQ(static_cast<TkrDXFLine*>(conv.EntityAt(0))->Point.X, 5);
}

TEST(Reader, TextCutOffInsideEntitiesKeepsWhatWasRead) {
    // The value line "4" ends the text: that group is not seen, and no error is raised.
    std::string text = Dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "10", "1", "0", "LINE", "10", "3", "20"}) + "4";
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    auto* second = static_cast<TkrDXFLine*>(conv.EntityAt(1));
    EXPECT_EQ(second->Point.X, 3);
    EXPECT_EQ(second->Point.Y, 0);
}

TEST(Reader, CrCrLfShiftsThePairing) {
    // "0" CR, then CR LF gives an empty value line: "SECTION" becomes a code line.
    EXPECT_EQ(LoadError("0\r\r\nSECTION\r\n2\r\nENTITIES\r\n"),
              "DXF read error on line 3: SECTION\r\n'SECTION' ist kein gültiger Integerwert");
}

TEST(Reader, GroupCodeBlanks) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dxf({"  0", "SECTION", "  2", "ENTITIES", "  0", "LINE", " 10", "7", "  0", "EOF"}));
    EXPECT_EQ(conv.TableCount(tkEntities), 1);
    // Codes with leading zeros, a tab or a sign read as their numbers.
    conv.LoadFromText(Dxf({"000", "SECTION", "\t2", "ENTITIES", "+0", "LINE", "010", "7", "\t20", "8", "+11", "9",
                           " 21", "6", "  0", "LINE", "011", "5", "0", "EOF"}));
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    const auto* l = static_cast<TkrDXFLine*>(conv.EntityAt(0));
    EXPECT_EQ(l->Point, (TPoint3F{7, 8, 0}));
    EXPECT_EQ(l->Point2, (TPoint3F{9, 6, 0}));
    EXPECT_EQ(static_cast<TkrDXFLine*>(conv.EntityAt(1))->Point2.X, 5);
    EXPECT_EQ(LoadError(Dxf({"0 ", "SECTION"})), "DXF read error on line 1: 0 \r\n'0 ' ist kein gültiger Integerwert");
}

TEST(Reader, NumberErrorsCarryLineAndValue) {
    EXPECT_EQ(LoadError(Entities({"0", "LINE", "10", "abc"})),
              "DXF read error on line 8: abc\r\n'abc' ist kein gültiger Gleitkommawert");
    EXPECT_EQ(LoadError(Entities({"0", "LINE", "60", "1.5"})),
              "DXF read error on line 8: 1.5\r\n'1.5' ist kein gültiger Integerwert");
    EXPECT_EQ(LoadError(Entities({"0", "LINE", "99999999999", "1"})),
              "DXF read error on line 7: 99999999999\r\n'99999999999' ist kein gültiger Integerwert");
}

TEST(Reader, ErrorKeepsWhatWasReadBefore) {
    TkrDXFConverter conv;
    EXPECT_THROW(conv.LoadFromText(Entities({"0", "LINE", "10", "1", "0", "LINE", "20", "4", "10", "x"})), EkrError);
    // The entity being read when the error came keeps the groups it got.
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    EXPECT_EQ(static_cast<TkrDXFLine*>(conv.EntityAt(0))->Point.X, 1);
    EXPECT_EQ(static_cast<TkrDXFLine*>(conv.EntityAt(1))->Point.Y, 4);
}

TEST(Reader, DecimalCommaReadsAsSeparator) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LINE", "10", "1,5"}));
    EXPECT_EQ(static_cast<TkrDXFLine*>(conv.EntityAt(0))->Point.X, 1.5f);
}

TEST(Reader, UnknownAndLowerCaseNamesArePlainEntities) {
    // Among the entities an unknown name is a proxy entity, which keeps the
    // common codes and draws only proxy graphics it carries (none here);
    // elsewhere (a table, the objects) it is a plain entity.
    TkrDXFConverter conv;
    conv.LoadFromText(dxftest::PipeDxf("0|SECTION|2|ENTITIES|0|line|8|A|10|1|0|LIGHT|5|2F|0|ENDSEC|"
                                       "0|SECTION|2|OBJECTS|0|line|5|30|0|ENDSEC|0|EOF"));
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    EXPECT_EQ(conv.EntityAt(0)->Class, TEntityClass::ProxyEntity);
    EXPECT_EQ(conv.EntityAt(0)->GetName(&conv), "line");
    EXPECT_EQ(conv.EntityAt(0)->Layer->Name, "A");
    EXPECT_TRUE(IsEmptyBox(conv.EntityAt(0)->GetBox()));
    EXPECT_EQ(conv.EntityAt(1)->GetName(&conv), "LIGHT");
    EXPECT_EQ(conv.EntityAt(1)->Handle, 0x2Fu);
    EXPECT_EQ(conv.EntityAt(1)->GetName(nullptr), "PROXYENTITY");
    const TkrDXFGroup* objects = nullptr;
    for (auto& s : conv.RootSection->Entities)
        if (static_cast<TkrDXFSection&>(*s).Name == "OBJECTS") objects = static_cast<TkrDXFSection*>(s.get());
    ASSERT_NE(objects, nullptr);
    ASSERT_EQ(objects->Count(), 1);
    EXPECT_EQ(objects->GetEntity(0)->Class, TEntityClass::Entity);
}

TEST(Reader, EntitiesKeepTheTypeNamesAsWrittenPastTheNamesTheReaderNumbers) {
    // The reader numbers the first 65534 names it meets; an entity of a later
    // name is answered by its position. Both kinds interleave here: names met
    // early ("LINE", "N7"), later new ones, and a later one met again.
    constexpr int kNames = 65534 + 4;
    std::string text = "0\nSECTION\n2\nENTITIES\n0\nLINE\n";
    for (int i = 1; i < kNames; ++i) text += "0\nN" + std::to_string(i) + "\n";
    const std::vector<std::string> tail = {"LINE", "late", "N7", "late", "N65535", "LINE", "other"};
    for (const std::string& n : tail) text += "0\n" + n + "\n";
    text += "0\nENDSEC\n0\nEOF\n";
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    ASSERT_EQ(conv.TableCount(tkEntities), kNames + int(tail.size()));
    for (int i : {1, 7, 65532, 65533, 65534, 65535, kNames - 1})
        EXPECT_EQ(conv.EntityAt(i)->GetName(&conv), "N" + std::to_string(i)) << i;
    EXPECT_EQ(conv.EntityAt(0)->TypeName(&conv), "LINE");
    for (size_t k = 0; k < tail.size(); ++k)
        EXPECT_EQ(conv.EntityAt(kNames + int(k))->GetName(&conv), tail[k]) << k;
}

TEST(Reader, AllThirtySevenNamesCreateTheirClasses) {
    struct {
        const char* Name;
        TEntityClass Class;
    } names[] = {{"SEQEND", TEntityClass::Seqend},     {"VERTEX", TEntityClass::Vertex},
                 {"LINE", TEntityClass::Line},         {"SOLID", TEntityClass::Solid},
                 {"CIRCLE", TEntityClass::Circle},     {"ARC", TEntityClass::Arc},
                 {"ELLIPSE", TEntityClass::Ellipse},   {"DIMENSION", TEntityClass::Dimension},
                 {"LEADER", TEntityClass::Leader},     {"LTYPE", TEntityClass::LineType},
                 {"LAYER", TEntityClass::Layer},       {"BLOCK_RECORD", TEntityClass::BlockRecord},
                 {"POLYLINE", TEntityClass::Polyline}, {"LWPOLYLINE", TEntityClass::LWPolyline},
                 {"SPLINE", TEntityClass::Spline},     {"HATCH", TEntityClass::Hatch},
                 {"INSERT", TEntityClass::Insert},     {"TEXT", TEntityClass::Text},
                 {"MTEXT", TEntityClass::MText},       {"ATTDEF", TEntityClass::Attdef},
                 {"VIEWPORT", TEntityClass::Viewport}, {"TABLE", TEntityClass::Table},
                 {"BLOCK", TEntityClass::Block},       {"VPORT", TEntityClass::Vport},
                 {"3DFACE", TEntityClass::Face3d},     {"POINT", TEntityClass::Point},
                 {"ATTRIB", TEntityClass::Attrib},     {"SECTION", TEntityClass::Section},
                 {"LAYOUT", TEntityClass::Layout},     {"ENDSEC", TEntityClass::Seqend},
                 {"ENDTAB", TEntityClass::Seqend},     {"ENDBLK", TEntityClass::Seqend},
                 {"EOF", TEntityClass::Seqend},        {"IMAGE", TEntityClass::ImageEnt},
                 {"IMAGEDEF", TEntityClass::ImageDef}, {"STYLE", TEntityClass::Style},
                 {"TRACE", TEntityClass::Solid}};
    for (auto& n : names) EXPECT_EQ(NewEntityByName(n.Name)->Class, n.Class) << n.Name;
    EXPECT_TRUE(NewEntityByName("ELLIPSE")->Is(TEntityClass::Circle));
    EXPECT_TRUE(NewEntityByName("LEADER")->Is(TEntityClass::LWPolyline));
    EXPECT_TRUE(NewEntityByName("ATTRIB")->Is(TEntityClass::Text));
    EXPECT_TRUE(NewEntityByName("IMAGE")->Is(TEntityClass::Solid));
    EXPECT_FALSE(NewEntityByName("VIEWPORT")->Is(TEntityClass::PenLine));
}

TEST(Reader, AnEndMarkerOutsideAnySectionSkipsToTheNextSection) {
    // As an old DXF library writes it: the header closed early, its variables
    // after that ENDSEC, and the header's own ENDSEC then outside any section.
    // The sections after it read as usual, with one warning; what follows a
    // stray marker (here a LINE outside any section) is skipped up to the
    // next section.
    std::vector<std::string> l = {"999", "dxflib", "0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015",
                                  "0", "ENDSEC", "9", "$DIMASZ", "40", "2.5", "9", "$CLAYER", "8", "0",
                                  "0", "ENDSEC", "0", "LINE", "10", "7", "0", "ENDSEC", "0", "ENDTAB"};
    l.insert(l.end(), {"0", "SECTION", "2", "ENTITIES"});
    l.insert(l.end(), kTwoLines.begin(), kTwoLines.end());
    l.insert(l.end(), {"0", "ENDSEC", "0", "EOF"});
    TkrDXFConverter conv;
    conv.LoadFromText(Dxf(l));
    EXPECT_EQ(conv.TableCount(tkEntities), 2);
    EXPECT_EQ(conv.SectionsRead, 2);
    EXPECT_EQ(conv.HeaderValue("$DIMASZ", 40), "2.5");
    // The ENDSEC after the variables; the LINE and the markers after it are
    // skipped with it.
    EXPECT_EQ(conv.RootSection->Entities.size(), 2u);
    EXPECT_EQ(conv.Bounds.StrayEnds, 1u);
    EXPECT_EQ(conv.Bounds.Messages(),
              std::vector<std::string>{"1 end marker(s) outside any section (a section closed twice): the groups "
                                       "after each skipped up to the next section"});
    // A well-formed file and a file that simply ends (the end of the text
    // closes every level) warn of nothing.
    TkrDXFConverter plain;
    plain.LoadFromText(Entities(kTwoLines));
    EXPECT_FALSE(plain.Bounds.Any());
    plain.LoadFromText(Dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "0", "ENDSEC"}));
    EXPECT_FALSE(plain.Bounds.Any());
    EXPECT_EQ(plain.SectionsRead, 1);
}

TEST(Reader, OnCreateEntityFiresBeforeReadingAndProgressAfter) {
    TkrDXFConverter conv;
    std::vector<std::string> events;
    conv.OnCreateEntity = [&](TkrDXFEntity& e) { events.push_back("create " + std::string(ClassName(e.Class))); };
    int progress = 0, starts = 0, ends = 0;
    conv.OnProgress = [&](TkrDXFConverter&) { ++progress; };
    conv.OnStart = [&](TkrDXFConverter&) { ++starts; };
    conv.OnEnd = [&](TkrDXFConverter&) { ++ends; };
    conv.LoadFromText(Entities({"0", "LINE"}));
    // SECTION, LINE, ENDSEC; the last group of the text ("0", "EOF") reads as an
    // end marker, which closes the root.
    EXPECT_EQ(events, (std::vector<std::string>{"create TkrDXFSection", "create TkrDXFLine", "create TkrDXFSeqend",
                                                "create TkrDXFSeqend"}));
    EXPECT_EQ(progress, 5);  // root, section, line, two end markers
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(conv.EntityCount, 2);  // the section and the line; end markers are refused
}

TEST(Tables, LayersLineTypesAndStyles) {
    std::string text = Dxf({"0", "SECTION", "2", "TABLES",
                            "0", "TABLE", "2", "LTYPE", "0", "LTYPE", "2", "DASHED", "49", "12.7", "49", "-6.35",
                            "0", "ENDTAB",
                            "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "Walls", "62", "1", "6", "dashed",
                            "0", "LAYER", "2", "Off", "62", "-7", "0", "ENDTAB",
                            "0", "TABLE", "2", "STYLE", "0", "STYLE", "2", "ROMAN", "3", " romans.shx ",
                            "0", "STYLE", "2", "PLAIN", "0", "ENDTAB",
                            "0", "ENDSEC", "0", "EOF"});
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    ASSERT_EQ(conv.TableCount(tkLayer), 2);
    TkrDXFLayer* walls = conv.FindOrCreateLayer("WALLS");  // ASCII case folded
    EXPECT_EQ(walls, conv.LayerAt(0));
    EXPECT_EQ(walls->Color, 0x0000FF);
    EXPECT_TRUE(walls->IsVisible());
    ASSERT_NE(conv.FindLineType("Dashed"), nullptr);
    EXPECT_EQ(walls->Pattern, &conv.FindLineType("DASHED")->Pattern);
    EXPECT_EQ(conv.FindLineType("DASHED")->Pattern.FTicks, (std::vector<float>{12.7f, -6.35f}));
    TkrDXFLayer* off = conv.LayerAt(1);
    EXPECT_EQ(off->Color, clForeground);
    EXPECT_FALSE(off->IsVisible());
    EXPECT_EQ(off->Flags & 1, 1);
    auto* roman = conv.FindOrCreateStyle("roman");
    EXPECT_EQ(roman->FontFile, "romans.shx");
    EXPECT_EQ(roman->FontFamily, "romans");
    EXPECT_EQ(conv.FindOrCreateStyle("PLAIN")->FontFamily, "Arial");
    EXPECT_EQ(conv.TableCount(tkStyle), 2);
}

TEST(Tables, LayersNamedOnlyByEntitiesAreCreatedWithTheDefaultPattern) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "LINE", "8", "Doors", "0", "LINE", "8", "DOORS"}));
    ASSERT_EQ(conv.TableCount(tkLayer), 1);
    TkrDXFLayer* l = conv.LayerAt(0);
    EXPECT_EQ(l->Name, "Doors");
    EXPECT_EQ(l->Pattern, DefaultPattern());
    EXPECT_TRUE(l->Used);
    EXPECT_EQ(conv.EntityAt(1)->Layer, l);
}

TEST(Tables, SetTableChecksTheClass) {
    TkrDXFConverter conv;
    TkrDXFLine line;
    EXPECT_THROW(conv.SetTable(tkLayer, &line), EInvalidCast);
    TkrDXFTable table;
    EXPECT_THROW(conv.SetTable(tkEntities, &table), EInvalidCast);
    EXPECT_EQ(conv.GetTable(7), nullptr);
    EXPECT_EQ(conv.GetTable(0x80 | tkEntities), conv.GetTable(tkEntities));  // only the low 7 bits count
}

TEST(Tables, ViewportWithTheSmallestHandleBecomesNumberZero) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities({"0", "VIEWPORT", "5", "30", "0", "VIEWPORT", "5", "20", "0", "VIEWPORT", "5", "25"}));
    auto vp = [&](int i) { return static_cast<TkrDXFViewport*>(conv.EntityAt(i)); };
    EXPECT_EQ(vp(1)->Number, 0);
    EXPECT_EQ(vp(0)->Number, 1);
    EXPECT_EQ(vp(2)->Number, 2);
}

TEST(Tables, ASecondTablesSectionKeepsTheLayersOfTheFirstAlive) {
    std::string text = Dxf({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "A",
                            "0", "ENDTAB", "0", "ENDSEC", "0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", "A",
                            "0", "ENDSEC", "0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER",
                            "2", "B", "0", "ENDTAB", "0", "ENDSEC", "0", "EOF"});
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    EXPECT_EQ(conv.EntityAt(0)->Layer->Name, "A");  // still a live object
    EXPECT_EQ(conv.LayerAt(0)->Name, "B");
}

TEST(Tables, ATableInsideARefusedEntityLeavesNoDanglingSlot) {
    // A LINE with children refuses them all; the LAYER table read inside it is destroyed.
    std::string text = Entities({"0", "LINE", "66", "1", "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "X", "0",
                                 "ENDTAB", "0", "SEQEND", "0", "LINE", "8", "Y"});
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    ASSERT_EQ(conv.TableCount(tkEntities), 2);
    EXPECT_EQ(conv.EntityAt(1)->Layer->Name, "Y");
    EXPECT_EQ(conv.TableCount(tkLayer), 1);
}

TEST(Header, ValuesAreFoundByTextSearch) {
    std::string text = Dxf({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "9", "$LTSCALE", "40",
                            "2.5", "9", "$ODD", "70", "1", "9", "$NEXT", "40", "3", "0", "ENDSEC", "0", "EOF"});
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    EXPECT_EQ(conv.HeaderValue("$ACADVER", 1), "AC1015");
    EXPECT_EQ(conv.HeaderValue("$MISSING", 40), "");
    EXPECT_EQ(conv.HeaderValue("$ODD", 40), "");  // another code, then a 9 group
    EXPECT_EQ(conv.GlobalLineTypeScale(), 2.5);
    TkrDXFConverter none;
    none.LoadFromText(Entities({}));
    EXPECT_EQ(none.GlobalLineTypeScale(), 1.0);
}

TEST(Lifecycle, LoadReplacesThePreviousModel) {
    TkrDXFConverter conv;
    conv.LoadFromText(Entities(kTwoLines));
    conv.LoadFromText(Entities({"0", "CIRCLE"}));
    EXPECT_EQ(conv.TableCount(tkEntities), 1);
    EXPECT_EQ(conv.EntityAt(0)->Class, TEntityClass::Circle);
    // Only the layer "0" the finished circle is put on; WALLS is gone.
    ASSERT_EQ(conv.TableCount(tkLayer), 1);
    EXPECT_EQ(conv.LayerAt(0)->Name, "0");
    EXPECT_EQ(conv.LayoutCount(), 2);
}

TEST(HostileInput, DeepNestingEndsInAnError) {
    std::vector<std::string> l;
    for (int i = 0; i < 100000; ++i) l.insert(l.end(), {"0", "BLOCK", "2", "B"});
    std::string err = LoadError(Dxf(l));
    EXPECT_NE(err.find("Containers nested deeper than 256 levels"), std::string::npos) << err;
}

TEST(HostileInput, BlankOnlyEmptyAndGarbageTexts) {
    EXPECT_EQ(LoadError(std::string(100000, '\n')), "");
    EXPECT_EQ(LoadError(""), "");
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += char((i * 7919) & 0xFF);
    EXPECT_NE(LoadError(garbage), "");  // not a group code
    // NULs trail a value as blanks do, but make a group code line invalid.
    const char nulValue[] = "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n1\0\0\n0\nEOF\n";
    EXPECT_EQ(LoadError(std::string(nulValue, sizeof nulValue - 1)), "");
    const char nulCode[] = "0\nSECTION\n2\nENTITIES\n0\nLINE\n1\0\n1\n0\nEOF\n";
    EXPECT_NE(LoadError(std::string(nulCode, sizeof nulCode - 1)), "");
}

TEST(HostileInput, AVeryLongLineIsReadOnce) {
    std::string text = Dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "1"}) + std::string(10 << 20, 'x') + "\n" +
                       Dxf({"0", "ENDSEC", "0", "EOF"});
    TkrDXFConverter conv;
    conv.LoadFromText(text);
    EXPECT_EQ(conv.TableCount(tkEntities), 1);
}

TEST(HostileInput, LoneZeroAtTheEndAndHugeHandles) {
    TkrDXFConverter conv;
    conv.LoadFromText(Dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "5",
                           "1234567890ABCDEF1234567890ABCDEF12345678"}) + "0");
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    EXPECT_EQ(conv.EntityAt(0)->Handle, 0u);
}
