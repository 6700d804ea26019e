// Reading a file through a window: the model, the entity names, the header
// values and the errors are those of the whole text, whatever the size of
// the window; the window stays small; a file that ends early is an error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/converter.h"
#include "model/entities/layout.h"
#include "model/entities/leader.h"
#include "model/errors.h"

#include "window_load.h"

namespace {


// Everything a loaded entity shows, children included.
void Describe(const TkrDXFConverter& conv, const TkrDXFEntity& e, std::string& out, int depth) {
    TBox3F b = e.GetBox();
    out += std::string(size_t(depth), ' ') + e.GetName(&conv) + " [" + e.TypeName(&conv) + "] " +
           std::to_string(e.SourceStart) + " h" + std::to_string(e.Handle) +
           " " + (e.Layer ? e.Layer->Name : "-") + " c" + std::to_string(e.EntityColor()) + " " +
           std::to_string(b.Left) + "," + std::to_string(b.Bottom) + "," + std::to_string(b.Right) + "," +
           std::to_string(b.Top) + "\n";
    for (int i = 0; i < e.Count(); ++i)
        if (const TkrDXFEntity* c = e.GetEntity(i)) Describe(conv, *c, out, depth + 1);
}

struct TLoad {
    std::string Model;
    std::string Error;
    size_t WindowPeak = 0;
};

// Loads text whole (window 0) or through a window of that many bytes.
TLoad Load(const std::string& text, size_t window) {
    TkrDXFConverter conv;
    conv.OnCreateEntity = [](TkrDXFEntity& e) { e.OnDraw = dhInventory; };
    TLoad r;
    r.Error = LoadThroughWindow(conv, text, window);
    conv.ComputeExtents();
    r.WindowPeak = conv.WindowPeak;
    r.Model = std::to_string(conv.EntityCount) + " entities, " + std::to_string(conv.LineNumber) + " lines\n";
    for (const THeaderVariable& v : kHeaderVariables) r.Model += std::string(v.Name) + "=" + conv.HeaderValue(v.Name, v.Code) + "\n";
    for (int k : {tkLType, tkLayer, tkStyle, tkBlocks, tkEntities})
        if (TkrDXFGroup* g = conv.GetTable(k)) Describe(conv, *g, r.Model, 0);
    for (int i = 0; i < conv.LayoutCount(); ++i) {
        const TBox3F& b = conv.LayoutAt(i)->Box;
        r.Model += conv.LayoutAt(i)->Name + " " + std::to_string(b.Left) + " " + std::to_string(b.Right) + "\n";
    }
    return r;
}

// Expects every window size to give what the whole text gives.
void ExpectSameThroughWindows(const std::string& text) {
    TLoad whole = Load(text, 0);
    for (size_t w : {1, 2, 3, 5, 7, 13, 64, 300, 4096}) {
        TLoad part = Load(text, w);
        EXPECT_EQ(part.Error, whole.Error) << "window " << w;
        EXPECT_EQ(part.Model, whole.Model) << "window " << w;
    }
}

std::string Lines(const std::vector<std::string>& lines, const char* eol = "\n") {
    std::string s;
    for (const std::string& l : lines) s += l + eol;
    return s;
}

// A drawing with a header, tables, a block and entities of several kinds.
std::vector<std::string> Drawing() {
    return {"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "9", "$LTSCALE", "40", "2.5", "9",
            "$MEASUREMENT", "70", "0", "0", "ENDSEC", "0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LTYPE",
            "0", "LTYPE", "2", "DASHED", "70", "0", "73", "2", "40", "3", "49", "2", "49", "-1", "0", "ENDTAB",
            "0", "TABLE", "2", "LAYER", "0", "LAYER", "2", "Walls", "70", "0", "62", "3", "6", "DASHED", "0",
            "ENDTAB", "0", "ENDSEC", "0", "SECTION", "2", "BLOCKS", "0", "BLOCK", "2", "B", "10", "0", "20", "0",
            "0", "CIRCLE", "10", "1", "20", "1", "40", "0.5", "0", "ENDBLK", "0", "ENDSEC", "0", "SECTION", "2",
            "ENTITIES", "0", "LINE", "8", "Walls", "10", "0", "20", "0", "11", "10", "21", "5", "0", "INSERT", "2",
            "B", "10", "3", "20", "4", "0", "LWPOLYLINE", "90", "3", "10", "0", "20", "0", "10", "1", "20", "0",
            "10", "1", "20", "1", "0", "POLYLINE", "66", "1", "0", "VERTEX", "10", "2", "20", "2", "0", "VERTEX",
            "10", "3", "20", "2", "0", "SEQEND", "0", "TEXT", "10", "0", "20", "0", "40", "1", "1",
            std::string(1000, 'x'), "0", "ARC", "10", "5", "20", "5", "40", "2", "50", "0", "51", "90", "0",
            "ENDSEC", "0", "EOF"};
}

TEST(Window, TheModelIsTheWholeTextsForEveryWindowSize) {
    // Groups, values and the 1000-character text value straddle the window
    // borders; a line longer than the window makes it grow.
    ExpectSameThroughWindows(Lines(Drawing()));
    // CR LF line ends: with an odd window, CR and LF fall on either side of
    // a border, and no empty line may come of it.
    ExpectSameThroughWindows(Lines(Drawing(), "\r\n"));
    // Right-aligned codes, blank lines before a code and a file without its
    // last line end.
    std::string odd = Lines({"  0", "SECTION", "  2", "ENTITIES", "", "", "  0", "LINE", " 10", "1", " 20", "2",
                             " 11", "3", " 21", "4", "  0", "ENDSEC", "  0"}) + "EOF";
    ExpectSameThroughWindows(odd);
    TLoad r = Load(odd, 3);
    EXPECT_EQ(r.Error, "");
    EXPECT_NE(r.Model.find("LINE [LINE]"), std::string::npos) << r.Model;
}

TEST(Window, EntityNamesAreKeptAsTheFileWroteThem) {
    // After the load nothing of the text is left: the names come from the
    // table of names. "3DFACE" and "LINE" are written with blanks around
    // them; the names are trimmed, the entities are those the values name.
    std::string text = Lines({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "10", "0", "20", "0", "11", "1", "21",
                              "1", "0", "3DFACE", "10", "0", "20", "0", "11", "1", "21", "0", "12", "1", "22", "1",
                              "13", "0", "23", "1", "0", "LINE", "10", "5", "20", "5", "11", "6", "21", "6", "0",
                              "ENDSEC", "0", "EOF"});
    for (size_t w : {0, 1, 4}) {
        TkrDXFConverter conv;
        std::istringstream in(text);
        conv.ReadWindow = w;
        if (w == 0) conv.LoadFromText(text);
        else conv.LoadFromStream(in, text.size());
        ASSERT_EQ(conv.TableCount(tkEntities), 3) << w;
        EXPECT_EQ(conv.EntityAt(0)->TypeName(&conv), "LINE");
        EXPECT_EQ(conv.EntityAt(1)->TypeName(&conv), "3DFACE");
        EXPECT_EQ(conv.EntityAt(2)->TypeName(&conv), "LINE");
        EXPECT_TRUE(conv.Text.empty());
    }
}

TEST(Window, HeaderValuesComeFromTheWholeFile) {
    // The first "$LTSCALE" of the file is behind the EOF group, so the reader
    // never reads it as a group; the lookup finds it all the same: 3.
    std::string text = Lines({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "10", "0", "20", "0", "11", "1", "21",
                              "1", "0", "ENDSEC", "0", "EOF", "9", "$LTSCALE", "70", "1", "40", "3"});
    ExpectSameThroughWindows(text);
    for (size_t w : {2, 11, 4096}) {
        TkrDXFConverter conv;
        std::istringstream in(text);
        conv.ReadWindow = w;
        conv.LoadFromStream(in, text.size());
        EXPECT_EQ(conv.GlobalLineTypeScale(), 3.0) << w;
        EXPECT_EQ(conv.HeaderValue("$MEASUREMENT", 70), "");  // absent
        EXPECT_EQ(conv.HeaderValue("$LTSCALE", 70), "");       // not a listed pair
    }
    // A leader asks for its arrow size while it is read: the value stands in
    // a second HEADER section after the entities, beyond the window then.
    std::string late = Lines({"0", "SECTION", "2", "ENTITIES", "0", "LEADER", "10", "0", "20", "0", "10", "5",
                              "20", "0", "0", "ENDSEC", "0", "SECTION", "2",
                              "HEADER", "9", "$DIMASZ", "40", "0.75", "9", "$DIMSCALE", "40", "2", "0", "ENDSEC",
                              "0", "EOF"});
    ExpectSameThroughWindows(late);
    for (size_t w : {0, 8}) {
        TkrDXFConverter conv;
        std::istringstream in(late);
        conv.ReadWindow = w;
        if (w == 0) conv.LoadFromText(late);
        else conv.LoadFromStream(in, late.size());
        ASSERT_GE(conv.TableCount(tkEntities), 1);
        auto* d = dynamic_cast<TkrDXFLeader*>(conv.EntityAt(0));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->ArrowSize, 0.75f) << w;
        EXPECT_EQ(d->DimScale, 2.0f) << w;
    }
}

TEST(Window, ErrorsNameTheSameLineAndValue) {
    // A value that is no number on line 10, behind several window borders.
    std::string text = Lines({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "10", "0", "20", "zwei", "0", "ENDSEC",
                              "0", "EOF"});
    TLoad whole = Load(text, 0);
    EXPECT_EQ(whole.Error, "DXF read error on line 10: zwei\r\n'zwei' ist kein gültiger Gleitkommawert");
    ExpectSameThroughWindows(text);
    // A code line that is no number.
    ExpectSameThroughWindows(Lines({"0", "SECTION", "2", "ENTITIES", "x0", "LINE", "0", "EOF"}));
}

TEST(Window, TheWindowStaysSmallAndGrowsOnlyForALongLine) {
    // 2000 lines of about 10 bytes each: a window of 256 bytes holds the
    // current group and the bytes read after it, never the whole text.
    std::vector<std::string> lines = {"0", "SECTION", "2", "ENTITIES"};
    for (int i = 0; i < 200; ++i)
        for (const char* s : {"0", "LINE", "10", "1.5", "20", "2.5", "11", "3.5", "21", "4.5"}) lines.push_back(s);
    for (const char* s : {"0", "ENDSEC", "0", "EOF"}) lines.push_back(s);
    std::string text = Lines(lines);
    ASSERT_GT(text.size(), 2000u);
    TLoad r = Load(text, 256);
    EXPECT_EQ(r.Error, "");
    EXPECT_LE(r.WindowPeak, 512u);
    EXPECT_EQ(r.Model, Load(text, 0).Model);
    // A text value of 10000 characters must be held whole.
    lines.insert(lines.end() - 4, {"0", "TEXT", "40", "1", "1", std::string(10000, 'y')});
    r = Load(Lines(lines), 256);
    EXPECT_GE(r.WindowPeak, 10000u);
    EXPECT_LE(r.WindowPeak, 2 * 10000u + 512);
}

TEST(Window, AFileThatEndsEarlyIsAnErrorNotACrash) {
    // The stream holds fewer bytes than the size announced (the file shrank
    // while it was read): the load ends with an error saying so.
    std::string text = Lines(Drawing());
    for (size_t w : {size_t(7), size_t(300), kReadWindow}) {
        TkrDXFConverter conv;
        std::istringstream in(text.substr(0, 500));
        conv.ReadWindow = w;
        try {
            conv.LoadFromStream(in, text.size());
            ADD_FAILURE() << "no error with window " << w;
        } catch (const EkrError& e) {
            EXPECT_EQ(std::string(e.what()), "cannot read the drawing: the file changed while it was read: it ends "
                                             "after 500 of its " + std::to_string(text.size()) + " bytes");
        }
        EXPECT_FALSE(conv.Loading);
    }
    // A file that grew: only the bytes of its size are read, as a file cut
    // there (the LINE after them is not seen).
    std::string first = Lines({"0", "SECTION", "2", "ENTITIES", "0", "CIRCLE", "10", "0", "20", "0", "40", "1"});
    std::string grown = first + Lines({"0", "LINE", "10", "0", "20", "0", "11", "1", "21", "1", "0", "ENDSEC"});
    TkrDXFConverter conv;
    std::istringstream in(grown);
    conv.ReadWindow = 5;
    conv.LoadFromStream(in, first.size());
    ASSERT_EQ(conv.TableCount(tkEntities), 1);
    EXPECT_EQ(conv.EntityAt(0)->TypeName(&conv), "CIRCLE");
}

TEST(Window, TheLibreCadDrawingsLoadAlikeThroughASmallWindow) {
    namespace fs = std::filesystem;
    const fs::path root = "/usr/share/librecad/library";
    if (!fs::exists(root)) GTEST_SKIP() << "librecad-data is not installed";
    std::vector<fs::path> files;
    for (auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".dxf") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 100u);
    // Every tenth drawing, through a window of 509 bytes.
    for (size_t i = 0; i < files.size(); i += 10) {
        std::ifstream f(files[i], std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        TLoad whole = Load(text, 0), part = Load(text, 509);
        EXPECT_EQ(part.Error, whole.Error) << files[i];
        EXPECT_EQ(part.Model, whole.Model) << files[i];
        EXPECT_LT(part.WindowPeak, std::max<size_t>(text.size(), 4096)) << files[i];
    }
}

}  // namespace

namespace {
TEST(Window, AfterAReadErrorTheHeaderValuesAreThoseOfTheWholeFile) {
    // The code line "11DER" ends the load; the header variables stand after
    // it and are still found ("2" and "AC1010"), as in the whole text.
    std::string text = Lines({"0", "SECTION", "2", "ENTITIES", "0", "CIRCLE", "10", "5", "20", "5", "40", "3",
                              "11DER", "9", "$LTSCALE", "40", "2", "9", "$ACADVER", "1", "AC1010", "EOF"});
    for (size_t w : {0, 4}) {
        TkrDXFConverter conv;
        std::istringstream in(text);
        conv.ReadWindow = w;
        EXPECT_THROW(w == 0 ? conv.LoadFromText(text) : conv.LoadFromStream(in, text.size()), EConvertError);
        EXPECT_EQ(conv.HeaderValue("$LTSCALE", 40), "2") << w;
        EXPECT_EQ(conv.HeaderValue("$ACADVER", 1), "AC1010") << w;
    }
    ExpectSameThroughWindows(text);
}
}  // namespace
