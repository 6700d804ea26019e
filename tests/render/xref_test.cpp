// External references loaded from files next to the referencing drawing:
// where they are looked for, how they are drawn, and the guards (cycles,
// nesting, number of drawings, regular files only, bad paths, broken
// drawings) that keep loading them bounded and safe.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/binary_dxf.h"
#include "model/entities/blocks.h"
#include "model/entities/image.h"
#include "model/entities/text.h"
#include "model/entities/layout.h"
#include "model/entities/xref.h"
#include "render/dxf_image.h"
#include "render/loading.h"

#include "dxf_snippets.h"
#include "render/render_helpers.h"

namespace fs = std::filesystem;

namespace {
std::string Dxf(const std::string& pipes) { return dxftest::PipeDxf(pipes); }

// A drawing whose blocks refer to the given paths (block Xi for path i) and
// inserts each of them at (100 i, 0), plus extra entities.
std::string Referring(const std::vector<std::string>& paths, const std::string& extra = "") {
    std::string s = "0|SECTION|2|BLOCKS";
    for (size_t i = 0; i < paths.size(); ++i)
        s += "|0|BLOCK|2|X" + std::to_string(i) + "|70|4|1|" + paths[i] + "|10|0|20|0|0|ENDBLK";
    s += "|0|ENDSEC|0|SECTION|2|ENTITIES";
    for (size_t i = 0; i < paths.size(); ++i) s += "|0|INSERT|2|X" + std::to_string(i) + "|10|" + std::to_string(100 * i) + "|20|0";
    if (!extra.empty()) s += "|" + extra;
    return Dxf(s + "|0|ENDSEC|0|EOF");
}

// A drawing of one line (0, 0)-(w, h).
std::string LineDrawing(int w, int h) {
    return Dxf("0|SECTION|2|ENTITIES|0|LINE|10|0|20|0|11|" + std::to_string(w) + "|21|" + std::to_string(h) +
               "|0|ENDSEC|0|EOF");
}

class Xref : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("xref_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Put(const std::string& name, const std::string& text) {
        fs::path p = dir / name;
        fs::create_directories(p.parent_path());
        dxftest::WriteFile(p, text);
        return p.string();
    }
    // The block Xi of a loaded drawing.
    static TkrDXFBlock* Block(TkrDXFImage& g, int i) {
        std::string name = "X";  // (appended: g++ 12 warns wrongly about "X" + std::to_string(i))
        name += std::to_string(i);
        return g.Converter->FindBlock(name);
    }
    static std::vector<std::string> Warnings(TkrDXFImage& g) { return g.Converter->Bounds.Messages(); }
    static bool Says(TkrDXFImage& g, const std::string& what) {
        for (auto& w : Warnings(g))
            if (w.find(what) != std::string::npos) return true;
        return false;
    }
    // The segments of layout 0 in text form.
    static std::vector<std::string> Draw(TkrDXFImage& g) { return rendertest::DrawLoaded(g); }
    fs::path dir;
};
}  // namespace

TEST_F(Xref, LoadsNextToTheReferringFileAndDrawsAsItsBlock) {
    // a.dxf refers to sub/b.dxf; the current folder is elsewhere and stays so.
    Put("sub/b.dxf", LineDrawing(10, 5));
    std::string a = Put("a.dxf", Referring({"sub/b.dxf"}));
    fs::path cwd = fs::current_path();
    TkrDXFImage g;
    g.LoadFromFile(a);
    EXPECT_EQ(fs::current_path(), cwd);
    TkrDXFBlock* b = Block(g, 0);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->Xref, nullptr);
    EXPECT_EQ(b->Xref->Name, "b");
    EXPECT_EQ(b->Box, (TBox3F{0, 5, 0, 10, 0, 0}));  // the nested drawing's extents
    EXPECT_EQ(g.Converter->XrefBytes, LineDrawing(10, 5).size());
    EXPECT_TRUE(Warnings(g).empty());
    // Drawn exactly as a block that holds the line itself.
    TkrDXFImage inline_;
    inline_.LoadFromText(Dxf("0|SECTION|2|BLOCKS|0|BLOCK|2|X0|10|0|20|0|0|LINE|10|0|20|0|11|10|21|5|0|ENDBLK|0|ENDSEC|"
                             "0|SECTION|2|ENTITIES|0|INSERT|2|X0|10|0|20|0|0|ENDSEC|0|EOF"));
    auto lines = Draw(g);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines, Draw(inline_));
}

TEST_F(Xref, TheNameWithoutItsFolderIsTriedNext) {
    // A path of the machine that made the drawing: found as b.dxf beside it.
    Put("b.dxf", LineDrawing(3, 4));
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"C:\\Projects\\old\\b.dxf"})));
    ASSERT_NE(Block(g, 0)->Xref, nullptr);
    EXPECT_EQ(Block(g, 0)->Xref->FileName, "C:\\Projects\\old\\b.dxf");
}

TEST_F(Xref, AMissingFileShowsItsPathAsAText) {
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"gone/b.dxf"})));
    TkrDXFBlock* b = Block(g, 0);
    ASSERT_EQ(b->Count(), 1);
    EXPECT_EQ(b->Xref, nullptr);
    ASSERT_TRUE(b->GetEntity(0)->Is(TEntityClass::Text));
    auto* t = static_cast<TkrDXFText*>(b->GetEntity(0));
    EXPECT_EQ(t->Text, "gone/b.dxf");
    EXPECT_FLOAT_EQ(t->Height, 0.2f);
    EXPECT_EQ(t->Converted, nullptr);
    EXPECT_FALSE(IsEmptyBox(t->GetBox()));  // measured: the block's extents hold it
    EXPECT_EQ(b->Box, t->GetBox());
    EXPECT_TRUE(Says(g, "external reference 'gone/b.dxf' not found: shown as its path"));
    // A Windows path keeps its backslashes: "\L" of a folder is no underline.
    TkrDXFImage w;
    w.LoadFromFile(Put("w.dxf", Referring({"C:\\Lager\\U+0041\\b.dxf"})));
    auto* wt = static_cast<TkrDXFText*>(Block(w, 0)->GetEntity(0));
    EXPECT_EQ(wt->Converted, nullptr);
    EXPECT_EQ(wt->Text, "C:\\Lager\\U+0041\\b.dxf");
}

TEST_F(Xref, ACycleOfTwoFilesOrAFileReferringToItselfIsCut) {
    std::string a = Put("a.dxf", Referring({"b.dxf"}, "0|LINE|10|0|20|0|11|1|21|1"));
    Put("b.dxf", Referring({"a.dxf"}, "0|LINE|10|0|20|0|11|2|21|0"));
    TkrDXFImage g;
    g.LoadFromFile(a);
    // a shows b, and b shows a's path: a is being loaded.
    TkrDXFXref* x = Block(g, 0)->Xref;
    ASSERT_NE(x, nullptr);
    TkrDXFConverter& nested = x->Drawing->Reader();
    TkrDXFBlock* back = nested.FindBlock("X0");
    EXPECT_EQ(back->Xref, nullptr);
    EXPECT_TRUE(back->GetEntity(0)->Is(TEntityClass::Text));
    EXPECT_TRUE(Says(g, "external reference 'a.dxf' refers back to a drawing that is being loaded (a cycle)"));
    EXPECT_EQ(Draw(g).size(), 2u);  // a's line and b's line

    TkrDXFImage self;
    self.LoadFromFile(Put("s.dxf", Referring({"./s.dxf"})));
    EXPECT_EQ(Block(self, 0)->Xref, nullptr);
    EXPECT_TRUE(Says(self, "a cycle"));
}

TEST_F(Xref, NestingIsBoundedAt16Levels) {
    // f0 -> f1 -> ... -> f20: f1 to f16 load, f16's reference to f17 does not.
    for (int i = 0; i <= 20; ++i)
        Put(std::string("f").append(std::to_string(i)) + ".dxf",
            Referring({std::string("f").append(std::to_string(i + 1)) + ".dxf"}));
    TkrDXFImage g;
    g.LoadFromFile((dir / "f0.dxf").string());
    int levels = 0;
    for (TkrDXFConverter* c = g.Converter.get(); c;) {
        TkrDXFXref* x = c->FindBlock("X0")->Xref;
        if (!x) break;
        ++levels;
        c = &x->Drawing->Reader();
    }
    EXPECT_EQ(levels, kMaxXrefDepth);
    EXPECT_TRUE(Says(g, "external reference 'f17.dxf' nested deeper than 16 levels: shown as its path"));
}

TEST_F(Xref, AConversionReadsAtMost64DrawingsAndEachOnce) {
    std::vector<std::string> paths;
    for (int i = 0; i < 70; ++i)
        paths.push_back(Put(std::string("d").append(std::to_string(i)) + ".dxf", LineDrawing(1, i + 1)));
    paths.push_back(paths[0]);  // d0 once more: the drawing read for the first reference
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring(paths)));
    int loaded = 0;
    for (int i = 0; i < 70; ++i) loaded += Block(g, i)->Xref != nullptr;
    EXPECT_EQ(loaded, kMaxXrefDrawings);
    ASSERT_NE(Block(g, 70)->Xref, nullptr);
    EXPECT_EQ(Block(g, 70)->Xref->Drawing, Block(g, 0)->Xref->Drawing);
    EXPECT_TRUE(Says(g, "left out: a conversion reads at most 64 external drawings"));
}

TEST_F(Xref, OnlyRegularFilesAreOpened) {
    // A FIFO without a writer would block a plain open; a folder cannot be read.
    ASSERT_EQ(::mkfifo((dir / "fifo.dxf").c_str(), 0600), 0);
    fs::create_directories(dir / "folder.dxf");
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"fifo.dxf", "folder.dxf", "/dev/null"})));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Block(g, i)->Xref, nullptr);
    EXPECT_TRUE(Says(g, "external reference 'fifo.dxf' is not a regular file: shown as its path"));
    EXPECT_TRUE(Says(g, "external reference 'folder.dxf' is not a regular file"));
    EXPECT_TRUE(Says(g, "external reference '/dev/null' is not a regular file"));
}

TEST_F(Xref, APathOf10000CharactersIsMissingAndShownCut) {
    std::string path(10000, 'p');
    path += ".dxf";
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({path})));
    EXPECT_EQ(Block(g, 0)->Xref, nullptr);
    ASSERT_EQ(Warnings(g).size(), 1u);
    EXPECT_LT(Warnings(g)[0].size(), 300u);
    EXPECT_NE(Warnings(g)[0].find("...' not found"), std::string::npos);
}

TEST_F(Xref, AWarningQuotesControlBytesAndLineBreaksEscaped) {
    // A binary DXF string may hold any byte: the path of this reference has
    // a line break and a terminal escape sequence. The warning stays one
    // line and shows them as JSON does (before, they went out raw).
    std::string b(kBinaryDxfSentinel);
    auto str = [&](int code, const std::string& v) { b += char(code), b += '\0', b += v, b += '\0'; };
    auto real = [&](int code) { b += char(code), b += '\0', b.append(8, '\0'); };
    str(0, "SECTION"), str(2, "BLOCKS"), str(0, "BLOCK"), str(2, "X0");
    b += char(70), b += '\0', b += char(4), b += '\0';  // an external reference
    str(1, "a\nb\x1b[2J\x7f.dxf"), real(10), real(20), str(0, "ENDBLK"), str(0, "ENDSEC");
    str(0, "SECTION"), str(2, "ENTITIES"), str(0, "INSERT"), str(2, "X0"), real(10), real(20);
    str(0, "ENDSEC"), str(0, "EOF");
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", b));
    ASSERT_EQ(Warnings(g).size(), 1u);
    EXPECT_EQ(Warnings(g)[0], "external reference 'a\\nb\\u001b[2J\\u007f.dxf' not found: shown as its path");
}

TEST_F(Xref, ADwgFileLoadsNothingAndShowsNothing) {
    Put("b.DWG", "AC1018 and binary");
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"b.DWG"})));
    TkrDXFBlock* b = Block(g, 0);
    ASSERT_NE(b->Xref, nullptr);
    EXPECT_EQ(b->Xref->Drawing, nullptr);
    EXPECT_EQ(b->Count(), 1);  // no text of the path
    EXPECT_TRUE(Says(g, "external reference 'b.DWG' is not a DXF drawing: not drawn"));
}

TEST_F(Xref, ABrokenDrawingIsMissingAndTheReferringOneStillLoads) {
    Put("b.dxf", Dxf("0|SECTION|2|ENTITIES|0|LINE|10|x|0|ENDSEC|0|EOF"));
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"b.dxf"}, "0|LINE|10|0|20|0|11|5|21|5")));
    EXPECT_EQ(Block(g, 0)->Xref, nullptr);
    EXPECT_TRUE(Says(g, "external reference 'b.dxf' cannot be read (DXF read error on line 8: x"));
    EXPECT_EQ(g.Converter->TableCount(tkEntities), 2);
}

TEST_F(Xref, WithoutLoadingEveryReferenceShowsItsPathWithoutAWarning) {
    Put("b.dxf", LineDrawing(1, 1));
    TkrDXFImage g;
    g.LoadXrefs = false;
    g.LoadFromFile(Put("a.dxf", Referring({"b.dxf"})));
    EXPECT_EQ(Block(g, 0)->Xref, nullptr);
    EXPECT_TRUE(Block(g, 0)->GetEntity(0)->Is(TEntityClass::Text));
    EXPECT_TRUE(Warnings(g).empty());
    EXPECT_EQ(g.Converter->XrefBytes, 0u);
}

TEST_F(Xref, TheNestedDrawingTakesOverTheResolutions) {
    Put("b.dxf", Dxf("0|SECTION|2|ENTITIES|0|CIRCLE|10|0|20|0|40|1|0|ENDSEC|0|EOF"));
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"b.dxf"})));
    TkrDXFConverter& nested = Block(g, 0)->Xref->Drawing->Reader();
    EXPECT_EQ(PointCount(*nested.EntityAt(0)), 33u);  // 32 and the closing point
    g.Converter->SetCirclePoints(8);
    EXPECT_EQ(nested.CirclePoints, 8);
    EXPECT_EQ(PointCount(*nested.EntityAt(0)), 17u);
}

TEST_F(Xref, AReloadWithAChordToleranceReadsTheReferencesAgainWithIt) {
    // --curve-tolerance reads a drawing twice (the scale first); the second
    // reading loads its references too, and their curves follow the tolerance.
    Put("b.dxf", Dxf("0|SECTION|2|ENTITIES|0|CIRCLE|10|0|20|0|40|100|0|ENDSEC|0|EOF"));
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Referring({"b.dxf"})));
    g.Converter->ChordTolerance = 0.01;
    g.Reload();
    ASSERT_NE(Block(g, 0)->Xref, nullptr);
    ASSERT_NE(Block(g, 0)->Xref->Drawing, nullptr);
    TkrDXFConverter& nested = Block(g, 0)->Xref->Drawing->Reader();
    EXPECT_EQ(nested.ChordTolerance, 0.01);
    // A sagitta of 0.01 on a radius of 100 needs chords of about 2.8: over 200.
    EXPECT_GT(PointCount(*nested.EntityAt(0)), 200u);
    EXPECT_TRUE(Warnings(g).empty());
    EXPECT_EQ(Draw(g).size(), PointCount(*nested.EntityAt(0)) - 1);
}

TEST_F(Xref, AnImageFileIsOnlyCheckedToExistAsARegularFile) {
    Put("img/photo.png", "not even a picture");
    fs::create_directories(dir / "folder.png");
    TkrDXFImage g;
    g.LoadFromFile(Put("a.dxf", Dxf("0|SECTION|2|ENTITIES|0|IMAGE|10|0|20|0|11|1|22|1|13|2|23|2|340|A|0|ENDSEC|"
                                    "0|SECTION|2|OBJECTS|0|IMAGEDEF|5|A|1|D:\\scans\\photo.png|"
                                    "0|IMAGEDEF|5|B|1|img/photo.png|0|IMAGEDEF|5|C|1|folder.png|0|ENDSEC|0|EOF")));
    auto& defs = g.Converter->ImageDefs;
    ASSERT_EQ(defs.size(), 3u);
    EXPECT_FALSE(static_cast<TkrDXFImageDef*>(defs[0])->PictureFound);  // photo.png is not beside a.dxf
    EXPECT_TRUE(static_cast<TkrDXFImageDef*>(defs[1])->PictureFound);
    EXPECT_FALSE(static_cast<TkrDXFImageDef*>(defs[2])->PictureFound);
    EXPECT_TRUE(Draw(g).empty());  // nothing of an image reaches the sink
}
