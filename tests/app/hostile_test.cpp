// The malformed-input battery: tests/data/make_hostile.py writes a few dozen
// small hostile drawings; each must end in its exact read error or convert
// exactly as stated (layouts, text lines per layout, drawn in part or not),
// with no crash, hang or unbounded memory (the sanitizer build runs it too).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "app/conversion_run.h"
#include "model/errors.h"
#include "output/errors.h"
#include "output/sink.h"
#include "output/text_file.h"
#include "render/dxf_image.h"

namespace fs = std::filesystem;

namespace {
fs::path gDir;

// The bounds reached since the last call, as "[points=1 cycles=2]" (empty
// when none), and counting starts afresh.
std::string TakeHits(TkrDXFImage& g) {
    TBoundHits& h = g.Converter->Bounds;
    std::string r;
    auto add = [&](const char* what, uint32_t n) {
        if (!n) return;
        r += r.empty() ? '[' : ' ';
        r.append(what).append(1, '=').append(std::to_string(n));
    };
    add("points", h.EntityPoints);
    add("dash", h.DashPoints);
    add("depth", h.InsertDepth);
    add("cycles", h.InsertCycles);
    add("hatch", h.HatchPatterns);
    add("braces", h.TextBraces);
    add("runs", h.TextRuns);
    add("unsound", h.UnsoundEntities);
    add("range", h.OutOfRange);
    h.Clear();
    return r.empty() ? r : r + "]";
}

// "error: <message>" or "layouts=N lines=a,b,..." with "+partial" after a
// layout that reached the drawing work bound; the bounds reached while
// loading follow "layouts=N", those of a layout its line count.
std::string Outcome(const std::string& name) {
    TkrDXFImage g;
    try {
        g.LoadFromFile((gDir / (name + ".dxf")).string());
    } catch (const EkrError& e) {
        std::string m = e.what();
        for (char& c : m)
            if (c == '\r' || c == '\n' || c == '\0') c = '|';
        return "error: " + m;
    }
    std::string r = "layouts=" + std::to_string(g.LayoutCount()) + TakeHits(g) + " lines=";
    fs::path out = gDir / ("out_" + std::to_string(::getpid()) + ".txt");
    for (int i = 0; i < g.LayoutCount(); ++i) {
        fs::remove(out);
        g.SetCurrentLayout(g.GetLayout(i));
        TPDFCanvas sink;
        sink.TextMode = true;
        sink.TextFile().Bind(out.string());
        sink.TextFile().Rewrite();
        try {
            g.DrawOnSink(sink, {0, 0, kTargetWidth, TargetBottom(g.GetWidth(), g.GetHeight())});
            sink.TextFile().Close();
        } catch (const std::exception& e) {
            return r + "draw error: " + e.what();
        }
        std::ifstream f(out, std::ios::binary);
        size_t n = 0;
        for (std::string l; std::getline(f, l);) ++n;
        if (i) r += ',';
        r += std::to_string(n);
        if (g.DrawTruncated) r += "+partial";
        r += TakeHits(g);
    }
    fs::remove(out);
    return r;
}

class Hostile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gDir = fs::temp_directory_path() / ("hostile_" + std::to_string(::getpid()));
        fs::remove_all(gDir);
        std::string cmd = "python3 '" + std::string(DXF_SOURCE_DIR) + "/tests/data/make_hostile.py' '" + gDir.string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    static void TearDownTestSuite() { fs::remove_all(gDir); }
};

}  // namespace

TEST_F(Hostile, EveryFileHasItsOutcome) {
    // Expected outcomes, by file.
    const std::map<std::string, std::string> expected = {
        {"arc_huge_sweep", "layouts=1 lines=10"},
        {"attrib_chain_no_seqend", "layouts=1 lines=0"},
        {"binary_dxf_sentinel", "error: DXF read error at byte 52: ||damaged binary DXF: the string of group code 0 at byte 54 has no terminating NUL before the end of the file"},
        {"binary_nan_infinity", "layouts=1[unsound=8] lines=1"},
        {"cr_cr_lf", "error: DXF read error on line 3: SECTION||'SECTION' ist kein gültiger Integerwert"},
        {"cr_only", "layouts=1 lines=1"},
        {"crlf", "layouts=1 lines=1"},
        {"dash_points_bomb", "layouts=1[dash=192] lines=496002+partial"},
        {"ellipse_huge_params", "layouts=1 lines=9"},
        {"empty_file", "layouts=1 lines=0"},
        {"group_code_int32_max_plus_one", "error: DXF read error on line 17: 2147483648||'2147483648' ist kein gültiger Integerwert"},
        {"group_code_negative", "layouts=1 lines=1"},
        {"group_code_not_a_number", "error: DXF read error on line 17: 1O||'1O' ist kein gültiger Integerwert"},
        {"group_code_overflow", "error: DXF read error on line 17: 99999999999||'99999999999' ist kein gültiger Integerwert"},
        {"handle_40_hex_digits", "layouts=1 lines=1"},
        {"hatch_box_1e38", "layouts=1[hatch=1 unsound=1] lines=1"},
        {"hatch_comb_teeth", "layouts=1[hatch=1] lines=4000"},
        {"hatch_counts_lie", "layouts=1 lines=1"},
        {"hatch_lines_billion", "layouts=1[hatch=1] lines=4"},
        {"hatch_no_progress_270", "error: DXF read error on line 52: LINE||Hatch parameters error"},
        {"hatch_single_dash", "layouts=1 lines=9"},
        {"hatch_spline_knots_absurd", "layouts=1 lines=39"},
        {"huge_coordinates", "layouts=1[unsound=1] lines=1"},
        {"insert_array_32767", "layouts=1 lines=63980+partial"},
        {"insert_array_spacing_1e38", "layouts=1[unsound=1] lines=1"},
        {"insert_chain_3000", "layouts=1[depth=1] lines=0[depth=1]"},
        {"insert_cycle", "layouts=1[cycles=1] lines=2[cycles=1]"},
        {"insert_fanout_billion", "layouts=1 lines=81452+partial"},
        {"insert_missing_block", "layouts=1 lines=1"},
        {"insert_self", "layouts=1[cycles=1] lines=1[cycles=1]"},
        {"int_overflow_flags", "error: DXF read error on line 8: 2147483648||'2147483648' ist kein gültiger Integerwert"},
        {"lone_zero_at_end", "layouts=1 lines=1"},
        {"lone_zero_no_newline", "layouts=1 lines=1"},
        {"ltype_tiny_dashes", "layouts=1 lines=1"},
        {"lwpolyline_bulges_1e9", "layouts=1 lines=34"},
        {"lwpolyline_count_lies", "layouts=1 lines=1"},
        {"many_huge_ellipses", "layouts=1 lines=1800"},
        {"mesh_size_huge", "layouts=1 lines=0"},
        {"missing_value_after_code", "layouts=1 lines=1"},
        {"missing_values_in_line", "error: DXF read error on line 8: ||'' ist kein gültiger Gleitkommawert"},
        {"mtext_broken_codes", "layouts=1 lines=1"},
        {"mtext_codes_cut_off", "layouts=1 lines=1"},
        {"mtext_height_codes_huge", "layouts=1[unsound=6] lines=1"},
        {"mtext_million_newlines", "layouts=1 lines=1"},
        {"mtext_nested_braces", "layouts=1[braces=1] lines=1"},
        {"mtext_runs_120000", "layouts=1[braces=1 runs=1] lines=1"},
        {"mtext_wrap_narrow_long", "layouts=1 lines=1"},
        {"nan_inf_values", "error: DXF read error on line 8: nan||'nan' ist kein gültiger Gleitkommawert"},
        {"nested_blocks_100000", "error: DXF read error on line 1022: BLOCK||Containers nested deeper than 256 levels"},
        {"nested_sections_1000", "error: DXF read error on line 1022: SECTION||Containers nested deeper than 256 levels"},
        {"no_endsec_no_eof", "layouts=1 lines=1"},
        {"nul_byte_code_line", "error: DXF read error on line 13: 1\\x001||'1\\x001' ist kein gültiger Integerwert"},
        {"nul_bytes_in_values", "layouts=1 lines=1"},
        {"only_eof", "layouts=1 lines=0"},
        {"point_far_outside", "layouts=1 lines=1[range=1]"},
        {"polyline_without_seqend", "layouts=1 lines=1"},
        {"spline_degree_huge", "layouts=1 lines=1"},
        {"spline_no_knots", "layouts=1 lines=3"},
        {"style_named_by_100000_texts", "layouts=1 lines=1"},
        {"ten_mb_line_no_newline", "layouts=1 lines=0"},
        {"ten_mb_single_line", "layouts=1 lines=1"},
        {"text_extreme_values", "layouts=1[unsound=2] lines=2"},
        {"texts_1e30_high", "layouts=1[unsound=2] lines=1"},
        {"utf8_bom", "layouts=1 lines=1"},
        {"utf8_text_broken", "layouts=1 lines=1"},
        {"vertex_outside_polyline", "layouts=1 lines=1"},
    };
    size_t files = 0;
    for (auto& e : fs::directory_iterator(gDir))
        if (e.path().extension() == ".dxf") ++files;
    EXPECT_EQ(files, expected.size()) << "make_hostile.py and the expectations disagree";
    for (const auto& [name, outcome] : expected) EXPECT_EQ(Outcome(name), outcome) << name;
}

TEST_F(Hostile, PrintOutcomes) {
    if (!std::getenv("HOSTILE_PRINT")) GTEST_SKIP() << "set HOSTILE_PRINT=1 to list the outcomes";
    for (auto& e : fs::directory_iterator(gDir))
        if (e.path().extension() == ".dxf") {
            std::string n = e.path().stem().string();
            std::printf("    {\"%s\", \"%s\"},\n", n.c_str(), Outcome(n).c_str());
        }
}
