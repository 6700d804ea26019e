// The writer: line writers, handles, extents, line types and the skeleton.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <cstdio>
#include <random>

#include "output/dxf_writer.h"
#include "output/errors.h"
#include "output/hex.h"
#include "test_helpers.h"

namespace {

// The complete file of a drawing that draws nothing: $HANDSEED 22 (counter
// 32 + 1 layer + 1), limits 0/0, the layer record "0" with handle 20.
const std::string kEmptyFile = Lines({
    "  0", "SECTION", "  2", "HEADER",
    "  9", "$ACADVER", "  1", "AC1015",
    "  9", "$HANDSEED", "  5", "22",
    "  9", "$LIMMIN", " 10", "0", " 20", "0",
    "  9", "$LIMMAX", " 10", "0", " 20", "0",
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "TABLES",
    "  0", "TABLE", "  2", "VPORT", "  5", "  1", "100", "AcDbSymbolTable",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "LTYPE", "  5", "  2", "100", "AcDbSymbolTable",
    "  0", "LTYPE", "  5", "  3", "100", "AcDbSymbolTableRecord", "100", "AcDbLinetypeTableRecord", "  2", "BYBLOCK", " 70", "     0",
    "  0", "LTYPE", "  5", "  4", "100", "AcDbSymbolTableRecord", "100", "AcDbLinetypeTableRecord", "  2", "BYLAYER", " 70", "     0",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "LAYER", "  5", " 1A", "330", "  0", "100", "AcDbSymbolTable",
    "  0", "LAYER", "  5", "20", "330", " 1A", "100", "AcDbSymbolTableRecord", "100", "AcDbLayerTableRecord",
    "  2", "0", " 70", "0", " 62", "7", "  6", "Continuous", "370", "-3", "390", " 19",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "STYLE", "  5", "  5", "100", "AcDbSymbolTable",
    "  0", "STYLE", "  5", "  6", "100", "AcDbSymbolTableRecord", "100", "AcDbTextStyleTableRecord", "  2", "STANDARD",
    " 70", "     0", " 40", "0.0", " 41", "1.0", " 50", "0.0", " 71", "     0", " 42", "10.0", "  3", "txt", "  4", "bigfont",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "VIEW", "  5", "  7", "100", "AcDbSymbolTable",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "UCS", "  5", "  8", "100", "AcDbSymbolTable",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "APPID", "  5", "  9", "100", "AcDbSymbolTable",
    "  0", "APPID", "  5", "  A", "100", "AcDbSymbolTableRecord", "100", "AcDbRegAppTableRecord", "  2", "ACAD", " 70", "0",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "DIMSTYLE", "  5", "  B", "100", "AcDbSymbolTable", " 70", "     1", "100", "AcDbDimStyleTable", " 71", "     0",
    "  0", "ENDTAB",
    "  0", "TABLE", "  2", "BLOCK_RECORD", "  5", "  C", "100", "AcDbSymbolTable",
    "  0", "BLOCK_RECORD", "  5", "  D", "100", "AcDbSymbolTableRecord", "100", "AcDbBlockTableRecord", "  2", "*MODEL_SPACE",
    "  0", "BLOCK_RECORD", "  5", "  E", "100", "AcDbSymbolTableRecord", "100", "AcDbBlockTableRecord", "  2", "*PAPER_SPACE",
    "  0", "ENDTAB",
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "BLOCKS",
    "  0", "BLOCK", "  5", "  F", "330", "  D", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockBegin", "  2", "*MODEL_SPACE", " 70", "     0",
    "  0", "ENDBLK", "  5", " 10", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockEnd",
    "  0", "BLOCK", "  5", " 11", "330", "  E", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockBegin", "  2", "*PAPER_SPACE", " 70", "     0",
    "  0", "ENDBLK", "  5", " 12", "100", "AcDbEntity", "  8", "0", "100", "AcDbBlockEnd",
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "ENTITIES",
    "  0", "ENDSEC",
    "  0", "SECTION", "  2", "OBJECTS",
    "  0", "DICTIONARY", "  5", " 13", "330", "0", "100", "AcDbDictionary", "281", "     1",
    "  3", "ACAD_GROUP", "350", " 14", " 3", "ACAD_MLINESTYLE", "350", " 16",
    "  3", "ACAD_PLOTSETTINGS", "350", " 17", "  3", "ACAD_PLOTSTYLENAME", "350", " 18",
    "  0", "DICTIONARY", "  5", " 14", "330", " 13", "100", "AcDbDictionary", "281", "     1",
    "  0", "DICTIONARY", "  5", " 16", "330", " 13", "100", "AcDbDictionary", "281", "     1",
    "  0", "DICTIONARY", "  5", " 17", "102", "{ACAD_REACTORS", "330", " 13", "102", "}", "330", " 13", "100", "AcDbDictionary", "281", "     1",
    "  0", "ACDBDICTIONARYWDFLT", "  5", " 18", "102", "{ACAD_REACTORS", "330", " 13", "102", "}", "330", " 13", "100", "AcDbDictionary",
    "281", "     1", "  3", "Normal", "350", " 19", "100", "AcDbDictionaryWithDefault", "340", " 19",
    "  0", "ACDBPLACEHOLDER", "  5", " 19", "102", "{ACAD_REACTORS", "330", " 18", "102", "}", "330", " 18",
    "  0", "ENDSEC",
    "  0", "EOF",
});

TdxfExportData LineData(float x1, float y1, float x2, float y2) {
    TdxfExportData d;
    d.Point1 = {x1, y1, 0};
    d.Point2 = {x2, y2, 0};
    d.Color = 7;
    return d;
}

// The line writers append to the entity lines while no save is running.
std::string Written(TkrDXFExport& w) { return w.EntityLines(); }

}  // namespace

TEST(Skeleton, EmptyDrawingGivesTheExactFile) {
    TkrDXFExport w;
    EXPECT_EQ(w.SaveToString(), kEmptyFile);
}

TEST(Skeleton, FinishDrawingWithoutCanvasKeepsTheFileEmpty) {
    TkrDXFExport w;
    w.FinishDrawing();
    EXPECT_TRUE(w.Figures().empty());
    EXPECT_EQ(w.SaveToString(), kEmptyFile);
}

TEST(Skeleton, SaveToStreamWritesTheSameBytes) {
    TkrDXFExport w;
    std::ostringstream os;
    w.SaveToStream(os);
    EXPECT_EQ(os.str(), kEmptyFile);
}

TEST(Skeleton, HandleSeedAndLimitsFollowTheEntities) {
    TkrDXFExport w;
    w.AddLine(LineData(-10, 5, 30, -40));
    std::string f = w.SaveToString();
    // LINE gets handle 20, the layer 21, the seed is 23.
    EXPECT_NE(f.find(Lines({"  9", "$HANDSEED", "  5", "23"})), std::string::npos);
    EXPECT_NE(f.find(Lines({"  9", "$LIMMIN", " 10", "-10", " 20", "-40",
                            "  9", "$LIMMAX", " 10", "30", " 20", "5"})),
              std::string::npos);
    EXPECT_NE(f.find(Lines({"  0", "LAYER", "  5", "21"})), std::string::npos);
}

TEST(Skeleton, ExtentsAlwaysHoldTheOrigin) {
    TkrDXFExport w;
    w.AddLine(LineData(10, -5, 20, -7));
    w.SaveToString();
    EXPECT_EQ(w.Extents.MinX, 0);
    EXPECT_EQ(w.Extents.MaxX, 20);
    EXPECT_EQ(w.Extents.MinY, -7);
    EXPECT_EQ(w.Extents.MaxY, 0);  // the drawing lies below the X axis
}

TEST(Skeleton, SavingTwiceWritesTheSameFileTwice) {
    TkrDXFExport w;
    w.AddLine(LineData(1, 2, 3, 4));
    std::string first = w.SaveToString();
    EXPECT_EQ(w.SaveToString(), first);
}

TEST(LineWriters, GroupCodesAreRightAlignedInThreeCharacters) {
    TkrDXFExport w;
    w.AddPair(0, "LINE");
    w.AddPair(10, std::int32_t(-3));
    w.AddPair(370, 2.5);
    w.AddPair(1071, std::int32_t(0));
    EXPECT_EQ(Written(w), Lines({"  0", "LINE", " 10", "-3", "370", "2.5", "1071", "0"}));
}

TEST(LineWriters, HandlesAreUpperCaseHex) {
    TkrDXFExport w;
    EXPECT_EQ(w.HandleCounter, 32);
    w.AddHandle();
    w.HandleCounter = 47;
    w.AddHandle();
    w.HandleCounter = 256;
    w.AddHandle();
    EXPECT_EQ(Written(w), Lines({"  5", "20", "  5", "2F", "  5", "100"}));
    EXPECT_EQ(w.HandleCounter, 257);
}

TEST(LineWriters, PointsWidenTheExtentsPerAxis) {
    TkrDXFExport w;
    w.AddPoint(10, 5.5f, -2.0f);
    w.AddPoint3(10, {-1, 3, 0});
    EXPECT_EQ(Written(w), Lines({" 10", "5.5", " 20", "-2", " 10", "-1", " 20", "3", " 30", "0"}));
    EXPECT_EQ(w.Extents.MinX, -1);
    EXPECT_EQ(w.Extents.MaxX, 5.5);
    EXPECT_EQ(w.Extents.MinY, -2);
    EXPECT_EQ(w.Extents.MaxY, 3);
}

// A line's points written at once are the two points written one by one,
// extents included, for whole and other values alike.
TEST(LineWriters, LinePointsAsTwoPoints) {
    const float inf = std::numeric_limits<float>::infinity();
    const float edges[] = {0.0f, -0.0f, 1, -1, 7, 99999999.0f, 1e8f, -1e8f, 99999992.0f, -99999992.0f,
                           123456.5f, -0.25f, 2147483520.0f, -2147483648.0f, 3e9f, 1e-30f, inf, -inf,
                           std::nanf(""), 600000, -600000, 10, 100, 1000, 10000000};
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, int(std::size(edges)) - 1), whole(-700000, 700000);
    TkrDXFExport together, apart;
    together.AddLinePoints({1, -2, 0}, {-5, 9, 0});
    apart.AddPoint(10, 1, -2);
    apart.AddPoint(11, -5, 9);
    EXPECT_EQ(together.Extents.MinX, -5);
    EXPECT_EQ(together.Extents.MaxX, 1);
    EXPECT_EQ(together.Extents.MinY, -2);
    EXPECT_EQ(together.Extents.MaxY, 9);
    for (int i = 0; i < 4000; ++i) {
        float v[4];
        for (float& x : v) x = i % 3 == 0 ? edges[std::size_t(pick(rng))] : float(whole(rng));
        if (i % 5 == 0) v[i % 4] = edges[std::size_t(pick(rng))];
        together.AddLinePoints({v[0], v[1], 0}, {v[2], v[3], 0});
        apart.AddPoint(10, v[0], v[1]);
        apart.AddPoint(11, v[2], v[3]);
    }
    EXPECT_EQ(Written(together), Written(apart));
    EXPECT_EQ(together.Extents.MinX, apart.Extents.MinX);
    EXPECT_EQ(together.Extents.MaxX, apart.Extents.MaxX);
    EXPECT_EQ(together.Extents.MinY, apart.Extents.MinY);
    EXPECT_EQ(together.Extents.MaxY, apart.Extents.MaxY);
}

TEST(LineWriters, ValuesNeverSplitIntoTwoLines) {
    TkrDXFExport w;
    w.AddPair(1, "a\r\nb");
    EXPECT_EQ(Written(w), Lines({"  1", "a  b"}));
}

TEST(LineWriters, RecordHeadOfAnEntity) {
    TkrDXFExport w;
    w.BeginRecord("LINE", "AcDbLine");
    w.BeginRecord("HATCH", "AcDbHatch");
    EXPECT_EQ(Written(w), Lines({"  0", "LINE", "  5", "20", "330", "1F", "100", "AcDbEntity",
                                 "  8", "0", "100", "AcDbLine",
                                 "  0", "HATCH", "  5", "21", "100", "AcDbEntity", "  8", "0",
                                 "100", "AcDbHatch"}));
}

constexpr TRecordKind kTestLine{"LINE", "AcDbLine"};
constexpr TRecordKind kTestArc{"ARC", "AcDbCircle"};

// A record kind's kept head is the head its names give, whatever came
// before: the same kind on another layer, another kind, the same names
// given as text, a hatch between.
TEST(LineWriters, RecordHeadOfAKindAsOfItsNames) {
    TkrDXFExport byKind, byName;
    auto layer = [&](const char* name) {
        byKind.SetCurrentLayer(std::make_unique<TkrExpDXFLayer>(name));
        byName.SetCurrentLayer(std::make_unique<TkrExpDXFLayer>(name));
    };
    auto line = [&] { byKind.BeginRecord<kTestLine>(), byName.BeginRecord("LINE", "AcDbLine"); };
    auto arc = [&] { byKind.BeginRecord<kTestArc>(), byName.BeginRecord("ARC", "AcDbCircle"); };
    auto named = [&](const char* type, const char* subclass) {
        byKind.BeginRecord(type, subclass), byName.BeginRecord(type, subclass);
    };
    line(), line(), layer("Walls"), line(), arc(), line(), named("LINE", "AcDbLine"), line();
    named("POINT", "AcDbPoint"), line(), layer("0"), arc(), named("HATCH", "AcDbHatch"), arc();
    layer("Doors"), named("ARC", "AcDbCircle"), arc(), line();
    const std::string lines = Written(byKind);
    EXPECT_EQ(lines, Written(byName));
    // 15 records, five of them "LINE" on layer "Walls".
    std::size_t records = 0, wallLines = 0;
    for (std::size_t at = lines.find("  0\r\n"); at != std::string::npos; at = lines.find("  0\r\n", at + 1)) ++records;
    for (std::size_t at = lines.find("LINE\r\n"); at != std::string::npos; at = lines.find("LINE\r\n", at + 1))
        if (lines.compare(lines.find("  8\r\n", at) + 5, 7, "Walls\r\n") == 0) ++wallLines;
    EXPECT_EQ(records, 15u);
    EXPECT_EQ(wallLines, 5u);
    // Names as long as the kept head takes, and one longer (written pair by pair).
    for (std::size_t n : {std::size_t(102), std::size_t(103)}) {
        TkrDXFExport w;
        const std::string layerName(n, 'L'), type(n, 'T'), subclass(n, 'S');
        w.SetCurrentLayer(std::make_unique<TkrExpDXFLayer>(layerName));
        w.BeginRecord(type, subclass);
        w.BeginRecord(type, subclass);
        EXPECT_EQ(Written(w), Lines({"  0", type.c_str(), "  5", "20", "330", "1F", "100", "AcDbEntity", "  8", layerName.c_str(),
                                     "100", subclass.c_str(), "  0", type.c_str(), "  5", "21", "330", "1F", "100", "AcDbEntity",
                                     "  8", layerName.c_str(), "100", subclass.c_str()}));
    }
}

TEST(LineWriters, ColourIndicesZeroAnd256AreNotWritten) {
    TkrDXFExport w;
    TdxfExportData d;
    d.Color = 0;
    w.AddColor(d);
    d.Color = 256;
    w.AddColor(d);
    d.Color = 1;
    w.AddColor(d);
    EXPECT_EQ(Written(w), Lines({" 62", "1"}));
}

namespace {
std::string WeightOf(float width, const char* lineType = "") {
    TkrDXFExport w;
    TdxfExportData d;
    d.PenWidth = width;
    d.Text = lineType;
    w.AddLineTypeAndWeight(d);
    return w.EntityLines();
}
}  // namespace

TEST(LineWeight, StepsOfTheStandardList) {
    EXPECT_EQ(WeightOf(0), "");              // 0 < 5: no group 370
    EXPECT_EQ(WeightOf(0.4f), "");           // rounds to 0
    EXPECT_EQ(WeightOf(1), Lines({"370", "9"}));    // 10 -> 9
    EXPECT_EQ(WeightOf(2), Lines({"370", "20"}));
    EXPECT_EQ(WeightOf(11), Lines({"370", "106"}));
    EXPECT_EQ(WeightOf(13), Lines({"370", "120"}));
    EXPECT_EQ(WeightOf(16), Lines({"370", "158"}));
    EXPECT_EQ(WeightOf(19), Lines({"370", "158"}));
    EXPECT_EQ(WeightOf(20), Lines({"370", "200"}));
    // 21 units = 210, the largest entry not above it is 200 (the steps hold).
    EXPECT_EQ(WeightOf(21), Lines({"370", "200"}));
    EXPECT_EQ(WeightOf(22), Lines({"370", "211"}));
    EXPECT_EQ(WeightOf(25), Lines({"370", "211"}));
    EXPECT_EQ(WeightOf(2.5f), Lines({"370", "20"}));  // ties to even: 2
    EXPECT_EQ(WeightOf(3.5f), Lines({"370", "40"}));  // ties to even: 4
    EXPECT_EQ(WeightOf(-3), "");
    // Beyond the 32-bit range the weight is 100.
    EXPECT_EQ(WeightOf(1e12f), Lines({"370", "100"}));
    // One writer gives each width, after any other, what a fresh one gives;
    // so for colours.
    const float widths[] = {0, 1, 1, 2, 2.5f, 3, 3.5f, 0, -0.0f, 13, 13, 0.4f, 1e12f, 1, std::nanf(""), 22, 0};
    const std::int32_t colours[] = {1, 1, 5, 256, 5, 0, 300, 1, -2, 7, 7, 1, 0, 1, 12, 12, 3};
    static_assert(std::size(widths) == std::size(colours));
    TkrDXFExport one;
    std::string fresh;
    for (std::size_t i = 0; i < std::size(widths); ++i) {
        TdxfExportData d;
        d.PenWidth = widths[i];
        d.Color = colours[i];
        one.AddColor(d);
        one.AddLineTypeAndWeight(d);
        TkrDXFExport w;
        w.AddColor(d);
        fresh += w.EntityLines() + WeightOf(widths[i]);
    }
    EXPECT_EQ(one.EntityLines(), fresh);
}

TEST(LineWeight, LineTypeNameComesFirst) {
    EXPECT_EQ(WeightOf(1, "_DOT"), Lines({"  6", "_DOT", "370", "9"}));
}

TEST(LineTypes, RecordOfADashType) {
    TkrDXFExport w;
    const float dash[] = {8, -2};
    w.AddLineType("_DASH", dash);
    EXPECT_EQ(w.LineTypeLines(),
              Lines({"  0", "LTYPE", "  5", "20", "330", "1F", "100", "AcDbSymbolTableRecord",
                     "100", "AcDbLinetypeTableRecord", "  2", "_DASH", "  3", "", " 70", "0",
                     " 72", "65", " 73", "2", " 40", "10", " 49", "8", " 74", "0", " 49", "-2",
                     " 74", "0"}));
    EXPECT_EQ(w.EntityLines(), "");  // the target is restored
    // Line types hold the first handles, entities follow.
    w.AddLine(LineData(0, 0, 1, 1));
    std::string f = w.SaveToString();
    EXPECT_NE(f.find(Lines({"  0", "LINE", "  5", "21"})), std::string::npos);
    EXPECT_NE(f.find(Lines({"  9", "$HANDSEED", "  5", "24"})), std::string::npos);
    EXPECT_EQ(LineTypesOf(f), w.LineTypeLines());
}

TEST(SaveToFile, WritesTheFileAndLeavesNoTemporary) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / "dxf_output_save_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path file = dir / "out.dxf";
    {
        std::ofstream old(file);
        old << "old content";
    }
    TkrDXFExport w;
    w.SaveToFile(file.string());
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, kEmptyFile);
    int count = 0;
    for (auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++count;
    }
    EXPECT_EQ(count, 1);
    fs::remove_all(dir);
}

TEST(SaveToFile, AFolderThatDoesNotExistIsAnError) {
    TkrDXFExport w;
    EXPECT_THROW(w.SaveToFile("/nonexistent-folder-xyz/out.dxf"), EFileError);
}

// Handles are upper-case hexadecimal of at least two digits ("%02llX"), up
// to all sixteen digits of 64 bits.
TEST(WriterHandles, HexDigitsAsPrintfGivesThem) {
    std::vector<std::uint64_t> values = {0, 1, 9, 10, 15, 16, 0x1F, 0xFF, 0x100, 0xABCDEF, 0xFFFFFFFF,
                                         0x100000000, ~std::uint64_t(0)};
    for (int b = 0; b < 64; ++b) values.push_back(std::uint64_t(1) << b), values.push_back((std::uint64_t(1) << b) - 1);
    std::mt19937_64 rng(5);
    for (int i = 0; i < 1000; ++i) values.push_back(rng() >> (rng() % 64));
    for (std::uint64_t v : values) {
        char expected[32], got[32];
        std::snprintf(expected, sizeof expected, "%02llX", static_cast<unsigned long long>(v));
        char* end = PutHex(got, v);
        ASSERT_EQ(std::string(got, std::size_t(end - got)), expected) << v;
        if (v > 0xFFFFFFFF) continue;
        end = PutHex32(got, std::uint32_t(v));
        ASSERT_EQ(std::string(got, std::size_t(end - got)), expected) << v;
    }
}
