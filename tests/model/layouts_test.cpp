// Layouts: reading LAYOUT objects, filing them into the converter's list
// (model at 0, first paper layout at 1, paper layouts with their own blocks
// after), the default layouts, pruning, and agreement with ezdxf.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/layout.h"

#include "dxf_snippets.h"
#include "model/model_helpers.h"

namespace {

std::string Dxf(const std::string& s) { return dxftest::PipeDxf(s); }
std::unique_ptr<TkrDXFConverter> Load(const std::string& text) { return modeltest::LoadDrawable(text); }

// A line of length zero at (x, y): its box is that one point.
std::string Line(double x, double y, bool paper = false) {
    std::string px = std::to_string(x), py = std::to_string(y);
    return std::string("0|LINE|8|0|") + (paper ? "67|1|" : "") + "10|" + px + "|20|" + py + "|30|0|11|" + px +
           "|21|" + py + "|31|0";
}

// Block records 1F *Model_Space, 20 *Paper_Space, 21 *Paper_Space0,
// 22 *Paper_Space1.
const std::string kTables =
    "0|SECTION|2|TABLES|0|TABLE|2|BLOCK_RECORD|0|BLOCK_RECORD|5|1F|2|*Model_Space|0|BLOCK_RECORD|5|20|2|*Paper_Space|"
    "0|BLOCK_RECORD|5|21|2|*Paper_Space0|0|BLOCK_RECORD|5|22|2|*Paper_Space1|0|ENDTAB|0|ENDSEC";

std::string Blk(const std::string& name, const std::string& body) {
    return "0|BLOCK|2|" + name + "|10|0|20|0|30|0" + (body.empty() ? "" : "|" + body) + "|0|ENDBLK";
}

std::string Layout(const std::string& name, const std::string& owner) {
    return "0|LAYOUT|5|99|1|" + name + "|330|" + owner;
}

std::string File(const std::string& blocks, const std::string& entities, const std::string& objects) {
    std::string s = kTables + "|0|SECTION|2|BLOCKS" + (blocks.empty() ? "" : "|" + blocks) + "|0|ENDSEC" +
                    "|0|SECTION|2|ENTITIES" + (entities.empty() ? "" : "|" + entities) + "|0|ENDSEC" +
                    "|0|SECTION|2|OBJECTS" + (objects.empty() ? "" : "|" + objects) + "|0|ENDSEC|0|EOF";
    return Dxf(s);
}

std::vector<std::string> Names(const TkrDXFConverter& c) {
    std::vector<std::string> r;
    for (int i = 0; i < c.LayoutCount(); ++i) r.push_back(c.LayoutAt(i)->Name);
    return r;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(LayoutDefaults, ConverterStartsWithModelAndPaper) {
    TkrDXFConverter c;
    ASSERT_EQ(c.LayoutCount(), 2);
    EXPECT_EQ(c.LayoutAt(0)->Name, "Model");
    EXPECT_EQ(c.LayoutAt(0)->BlockName, "*MODEL_SPACE");
    EXPECT_EQ(c.LayoutAt(1)->Name, "Layout1");
    EXPECT_EQ(c.LayoutAt(1)->BlockName, "*PAPER_SPACE");
    EXPECT_TRUE(IsEmptyBox(c.LayoutAt(0)->GetBox()));
    EXPECT_EQ(c.LayoutAt(2), nullptr);
    EXPECT_EQ(c.LayoutAt(-1), nullptr);
}

TEST(LayoutDefaults, DrawingWithoutLayoutsOrPaperHasOneLayout) {
    auto c = Load(Dxf("0|SECTION|2|ENTITIES|" + Line(1, 2) + "|0|ENDSEC|0|EOF"));
    EXPECT_EQ(c->LayoutCount(), 2);  // while reading
    c->ComputeExtents();
    ASSERT_EQ(c->LayoutCount(), 1);
    EXPECT_EQ(c->LayoutAt(0)->Name, "Model");
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{1, 2, 0, 1, 2, 0}));
}

TEST(LayoutDefaults, PaperEntitiesKeepThePaperLayout) {
    auto c = Load(Dxf("0|SECTION|2|ENTITIES|" + Line(1, 2) + "|" + Line(7, 8, true) + "|0|ENDSEC|0|EOF"));
    c->ComputeExtents();
    ASSERT_EQ(c->LayoutCount(), 2);
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(c->LayoutAt(1)->Box, (TBox3F{7, 8, 0, 7, 8, 0}));
}

TEST(LayoutReading, GroupsAreRead) {
    auto c = Load(File("", "", "0|LAYOUT|5|3A|8|0|1|Plan A|330|21"));
    // No block with entities: the layout replaced the default paper layout.
    TkrDXFLayout* l = c->LayoutAt(1);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Name, "Plan A");
    EXPECT_EQ(l->OwnerHandle, 0x21u);
    EXPECT_EQ(l->Handle, 0x3Au);
    EXPECT_EQ(l->BlockName, "*PAPER_SPACE0");
    EXPECT_EQ(l->Block, nullptr);
    EXPECT_FALSE(l->IsDefault);
    // The OBJECTS section does not keep the layout among its children.
    for (auto& e : c->RootSection->Entities) {
        auto* s = dynamic_cast<TkrDXFSection*>(e.get());
        if (s && s->Name == "OBJECTS") {
            EXPECT_EQ(s->Count(), 0);
        }
    }
}

TEST(LayoutFiling, EmptyBlockReplacesDefaultPaperLayout) {
    // The record names *Paper_Space0, whose block has no entities.
    auto c = Load(File(Blk("*Paper_Space0", ""), "", Layout("Blatt", "21")));
    EXPECT_EQ(Names(*c), (Strings{"Model", "Blatt"}));
    EXPECT_EQ(c->LayoutAt(1)->Block, nullptr);
}

TEST(LayoutFiling, MixedCaseModelSpaceBecomesModelLayout) {
    auto c = Load(File(Blk("*Model_Space", ""), Line(1, 1), Layout("Modell", "1F")));
    ASSERT_EQ(c->LayoutCount(), 2);
    TkrDXFLayout* m = c->LayoutAt(0);
    EXPECT_EQ(m->Name, "Modell");
    EXPECT_EQ(m->BlockName, "*MODEL_SPACE");
    // The model space block is not the layout's own: the model layout shows
    // the ENTITIES section.
    EXPECT_EQ(m->Block, nullptr);
    EXPECT_EQ(c->LayoutAt(1)->Name, "Layout1");
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{1, 1, 0, 1, 1, 0}));
}

TEST(LayoutFiling, PaperBlockWithContentIsAppended) {
    auto c = Load(File(Blk("*Paper_Space0", Line(1, 2, true) + "|" + Line(3, 4, true)), Line(0, 0),
                       Layout("Model", "1F") + "|" + Layout("Layout1", "20") + "|" + Layout("Zwei", "21")));
    ASSERT_EQ(Names(*c), (Strings{"Model", "Layout1", "Zwei"}));
    TkrDXFLayout* l = c->LayoutAt(2);
    ASSERT_NE(l->Block, nullptr);
    EXPECT_EQ(l->Block->Name, "*Paper_Space0");
    EXPECT_EQ(l->BlockName, "*PAPER_SPACE0");
    EXPECT_EQ(l->Box, (TBox3F{1, 4, 0, 3, 2, 0}));
    EXPECT_FALSE(l->Empty);
    EXPECT_TRUE(l->Block->HasContent);
    // No paper-space entity in ENTITIES: layout 1 goes, the block's layout stays.
    c->ComputeExtents();
    EXPECT_EQ(Names(*c), (Strings{"Model", "Zwei"}));
}

TEST(LayoutFiling, BlockNameComparedUpperCased) {
    // The block is written in lower case, the record in another case.
    auto c = Load(Dxf("0|SECTION|2|TABLES|0|TABLE|2|BLOCK_RECORD|0|BLOCK_RECORD|5|21|2|*PAPER_space7|0|ENDTAB|0|ENDSEC|"
                      "0|SECTION|2|BLOCKS|" +
                      Blk("*paper_space7", Line(5, 5)) + "|0|ENDSEC|0|SECTION|2|OBJECTS|" + Layout("P7", "21") +
                      "|0|ENDSEC|0|EOF"));
    ASSERT_EQ(c->LayoutCount(), 3);
    EXPECT_NE(c->LayoutAt(2)->Block, nullptr);
}

TEST(LayoutFiling, LayoutWithBlockWithoutExtentsIsPruned) {
    // The block holds only an invisible line: it has content but no box.
    auto c = Load(File(Blk("*Paper_Space0", "0|LINE|60|1|10|1|20|1|30|0") + "|" + Blk("*Paper_Space1", Line(2, 2)),
                       Line(7, 8, true), Layout("Leer", "21") + "|" + Layout("Voll", "22")));
    ASSERT_EQ(Names(*c), (Strings{"Model", "Layout1", "Leer", "Voll"}));
    EXPECT_TRUE(c->LayoutAt(2)->Empty);
    c->ComputeExtents();
    EXPECT_EQ(Names(*c), (Strings{"Model", "Layout1", "Voll"}));
}

TEST(LayoutFiling, EmptyLayoutDoesNotTakeActiveLayoutsPlace) {
    // Layout1 is the active paper space (*Paper_Space, entities in ENTITIES);
    // "Leer" has an empty block of its own. Whatever the order of the LAYOUT
    // objects, layout 1 keeps the active layout's name.
    const std::string blocks = Blk("*Paper_Space", "") + "|" + Blk("*Paper_Space0", "");
    for (bool activeFirst : {true, false}) {
        std::string objects = activeFirst ? Layout("Layout1", "20") + "|" + Layout("Leer", "21")
                                          : Layout("Leer", "21") + "|" + Layout("Layout1", "20");
        auto c = Load(File(blocks, Line(3, 3, true), objects));
        EXPECT_EQ(c->LayoutAt(1)->Name, "Layout1") << activeFirst;
        c->ComputeExtents();
        EXPECT_EQ(Names(*c), (Strings{"Model", "Layout1"})) << activeFirst;
        EXPECT_EQ(c->LayoutAt(1)->Box, (TBox3F{3, 3, 0, 3, 3, 0}));
    }
}

TEST(LayoutFiling, PaperBlockInsertingLaterBlockGetsFullBox) {
    // *Paper_Space0 comes before the block it inserts; the layout's box still
    // covers the insert: the line (1, 1) of LATE placed at (10, 20).
    auto c = Load(File(Blk("*Paper_Space0", Line(0, 0, true) + "|0|INSERT|8|0|67|1|2|LATE|10|10|20|20|30|0") + "|" +
                           Blk("LATE", Line(1, 1)),
                       "", Layout("Blatt", "21")));
    ASSERT_EQ(c->LayoutCount(), 3);
    EXPECT_EQ(c->LayoutAt(2)->Box, (TBox3F{0, 21, 0, 11, 0, 0}));
    c->ComputeExtents();
    EXPECT_EQ(Names(*c), (Strings{"Model", "Blatt"}));
}

TEST(LayoutFiling, LayoutOutsideASectionIsNotFiled) {
    auto c = Load(Dxf(kTables + "|0|SECTION|2|OBJECTS|0|TABLE|2|X|" + Layout("Innen", "21") + "|0|ENDTAB|0|ENDSEC|0|EOF"));
    EXPECT_EQ(Names(*c), (Strings{"Model", "Layout1"}));
}

TEST(LayoutLifetime, DestroyedBlockIsDroppedFromLayout) {
    TkrDXFConverter conv;
    auto block = std::make_unique<TkrDXFBlock>();
    conv.Layouts.push_back(std::make_unique<TkrDXFLayout>());
    conv.Layouts.back()->Block = block.get();
    block->AttachLayoutOwner(&conv);
    block.reset();
    EXPECT_EQ(conv.Layouts.back()->Block, nullptr);
}

TEST(LayoutLifetime, ReloadStartsFromDefaultLayouts) {
    auto c = Load(File(Blk("*Paper_Space0", Line(1, 2)), Line(5, 5), Layout("Modell", "1F") + "|" + Layout("Zwei", "21")));
    ASSERT_EQ(Names(*c), (Strings{"Modell", "Layout1", "Zwei"}));
    c->ComputeExtents();
    c->LoadFromText(Dxf("0|SECTION|2|ENTITIES|" + Line(1, 1) + "|0|ENDSEC|0|EOF"));
    ASSERT_EQ(Names(*c), (Strings{"Model", "Layout1"}));
    EXPECT_EQ(c->LayoutAt(0)->Block, nullptr);
    c->ComputeExtents();
    EXPECT_EQ(c->LayoutAt(0)->Box, (TBox3F{1, 1, 0, 1, 1, 0}));  // nothing of the first drawing
}

TEST(LayoutPrune, EmptyLayoutsFromIndexTwoAndPaper) {
    TkrDXFConverter c;
    auto add = [&](const char* name, bool empty) {
        auto l = std::make_unique<TkrDXFLayout>();
        l->Name = name;
        if (!empty) l->Box = {0, 1, 0, 1, 0, 0};
        c.Layouts.push_back(std::move(l));
    };
    add("A", true);
    add("B", false);
    add("C", true);
    c.PruneLayouts(false);
    EXPECT_EQ(Names(c), (Strings{"Model", "Layout1", "B"}));
    c.PruneLayouts(true);
    EXPECT_EQ(Names(c), (Strings{"Model", "B"}));
}

TEST(LayoutPrune, SetPaperLayoutOnEmptyListCreatesModel) {
    TkrDXFConverter c;
    c.Layouts.clear();
    auto l = std::make_unique<TkrDXFLayout>();
    l->Name = "P";
    c.SetPaperLayout(std::move(l));
    EXPECT_EQ(Names(c), (Strings{"Model", "P"}));
    auto m = std::make_unique<TkrDXFLayout>();
    m->Name = "M";
    c.SetModelLayout(std::move(m));
    EXPECT_EQ(Names(c), (Strings{"M", "P"}));
}

// ---- agreement with ezdxf ----

namespace {
const char* kPython = "/usr/bin/python3";

// Writes drawings with several paper layouts and, beside each, the layouts
// it should keep after pruning: first the active paper layout when it holds
// something (else an empty line), then the model layout and the paper layouts
// that hold something, sorted, one name per line.
const char* kScript = R"PY(
import os, sys
import ezdxf
out = sys.argv[1]

def save(doc, name):
    path = os.path.join(out, name + '.dxf')
    doc.saveas(path)
    active = doc.layouts.active_layout().name
    keep = []
    for lname in doc.layouts.names_in_taborder():
        if lname == 'Model':
            continue
        lay = doc.layouts.get(lname)
        if len([e for e in lay if e.dxftype() != 'VIEWPORT']) > 0:
            keep.append(lname)
    keep.sort()
    with open(os.path.join(out, name + '.expect'), 'w') as f:
        f.write((active if active in keep else '') + '\n')
        f.write('Model\n')
        for n in keep:
            f.write(n + '\n')

# Active layout with entities, an empty layout, one with a line, one with only
# an insert of a block defined after its layout's block.
doc = ezdxf.new('R2010')
doc.modelspace().add_line((0, 0), (10, 5))
doc.layouts.get('Layout1').add_line((0, 0), (3, 3))
doc.layouts.new('Leer')
doc.layouts.new('Drittes').add_line((1, 1), (4, 9))
nur = doc.layouts.new('NurInsert')
doc.blocks.new('SPAET').add_line((0, 0), (1, 1))
nur.add_blockref('SPAET', (5, 5))
save(doc, 'mixed')

# Nothing on paper at all.
doc = ezdxf.new('R2010')
doc.modelspace().add_line((0, 0), (2, 2))
doc.layouts.new('A')
doc.layouts.new('B')
save(doc, 'nopaper')

# The active layout is empty, a later one holds entities; renamed layouts.
doc = ezdxf.new('R2000')
doc.modelspace().add_line((0, 0), (1, 1))
doc.layouts.rename('Layout1', 'Deckblatt')
doc.layouts.new('Schnitt A-A').add_line((2, 2), (5, 5))
doc.layouts.new('Leer 2')
doc.layouts.new('Details').add_line((1, 1), (2, 1))
save(doc, 'emptyactive')

# Many layouts, every other one with a line.
doc = ezdxf.new('R2018')
doc.modelspace().add_line((0, 0), (1, 1))
for i in range(12):
    lay = doc.layouts.new('Blatt %02d' % i)
    if i % 2 == 0:
        lay.add_line((i, 0), (i, 1))
save(doc, 'many')
)PY";

bool HaveEzdxf() {
    std::string cmd = std::string(kPython) + " -c \"import ezdxf\" >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}
}  // namespace

TEST(LayoutEzdxf, LayoutsAgreeWithEzdxf) {
    if (!HaveEzdxf()) GTEST_SKIP() << "python3 with ezdxf is not available";
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("dxf2plandrop_layouts_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        std::ofstream(dir / "gen.py") << kScript;
    }
    std::string cmd = std::string(kPython) + " \"" + (dir / "gen.py").string() + "\" \"" + dir.string() + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    int files = 0;
    for (const char* name : {"mixed", "nopaper", "emptyactive", "many"}) {
        SCOPED_TRACE(name);
        std::string text = ReadFile(dir / (std::string(name) + ".dxf"));
        ASSERT_FALSE(text.empty());
        std::istringstream ex(ReadFile(dir / (std::string(name) + ".expect")));
        std::string active;
        std::getline(ex, active);
        Strings expected;
        for (std::string line; std::getline(ex, line);) expected.push_back(line);
        auto c = Load(text);
        c->ComputeExtents();
        Strings got = Names(*c);
        // The active paper layout, when it holds something, is layout 1; the
        // others follow the order of the LAYOUT objects in the file, so the
        // paper layouts are compared as a set.
        if (!active.empty()) {
            ASSERT_GE(got.size(), 2u);
            EXPECT_EQ(got[1], active);
        }
        std::sort(got.begin() + 1, got.end());
        EXPECT_EQ(got, expected);
        for (int i = 0; i < c->LayoutCount(); ++i) EXPECT_FALSE(IsEmptyBox(c->LayoutAt(i)->Box)) << i;
        ++files;
    }
    EXPECT_EQ(files, 4);
    fs::remove_all(dir);
}

// ---- work linear in the number of layouts ----

// The LinearWork suites run under a short timeout (tests/CMakeLists.txt):
// these drawings took minutes while every layout searched the blocks and the
// block records one by one, and load in well under a second now.
TEST(LinearWork, HundredThousandLayoutsLoadInTimeLinearInTheirNumber) {
    // n layouts, each naming a block record of its own, whose blocks hold a
    // line (even i) or nothing (odd i); then n layouts of the active paper
    // space (record "ABC"), which has no block with content, each replacing
    // layout 1.
    const int n = 100000;
    auto handle = [](int i) { return std::to_string(0x1000 + i); };  // hex digits, one per layout
    std::string s = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n0\nBLOCK_RECORD\n5\nABC\n2\n*Paper_Space\n";
    for (int i = 0; i < n; ++i)
        s += "0\nBLOCK_RECORD\n5\n" + handle(i) + "\n2\n*Paper_Space" + std::to_string(i) + "\n";
    s += "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n";
    for (int i = 0; i < n; ++i) {
        s += "0\nBLOCK\n2\n*PAPER_SPACE" + std::to_string(i) + "\n";  // found in any letter case
        if (i % 2 == 0) s += "0\nLINE\n10\n0\n20\n0\n11\n" + std::to_string(i + 1) + "\n21\n1\n";
        s += "0\nENDBLK\n";
    }
    s += "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n100\n21\n50\n67\n1\n0\nENDSEC\n";
    s += "0\nSECTION\n2\nOBJECTS\n";
    for (int i = 0; i < n; ++i) s += "0\nLAYOUT\n1\nL" + std::to_string(i) + "\n330\n" + handle(i) + "\n";
    for (int i = 0; i < n; ++i) s += "0\nLAYOUT\n1\nP" + std::to_string(i) + "\n330\nABC\n";
    s += "0\nENDSEC\n0\nEOF\n";
    auto c = Load(s);
    c->ComputeExtents();
    // The model; the last layout of the active paper space (the paper-space
    // line gives it extents); then the layouts with content in file order.
    // The empty ones are pruned.
    ASSERT_EQ(c->LayoutCount(), 2 + n / 2);
    EXPECT_EQ(c->LayoutAt(1)->Name, "P" + std::to_string(n - 1));
    for (int k = 0; k < n / 2; ++k) {
        const TkrDXFLayout& l = *c->LayoutAt(2 + k);
        ASSERT_EQ(l.Name, "L" + std::to_string(2 * k));
        ASSERT_EQ(l.BlockName, "*PAPER_SPACE" + std::to_string(2 * k));
        // The block's line runs from (0, 0) to (i + 1, 1).
        ASSERT_EQ(l.Box.Right, float(2 * k + 1));
    }
}
