// Damaged project files: truncated, a negative or enormous entry count, a
// string length beyond the file's end. Each ends in a clear message, keeps
// the entries read so far, and never allocates more than the file holds.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/project.h"
#include "app/temp_folder.h"

using namespace std::string_literals;

// The largest single allocation made while gLargestOn is set. Replacing the
// global allocation functions covers std::string and std::vector alike.
namespace {
std::atomic<bool> gLargestOn{false};
std::atomic<size_t> gLargest{0};
}  // namespace

// g++ sees free() on memory from operator new once these are inlined; here
// both sides are malloc/free, so the pairing is right.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t n) {
    if (gLargestOn.load(std::memory_order_relaxed) && n > gLargest.load(std::memory_order_relaxed))
        gLargest.store(n, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
// Every other form too, so that no allocation of this program comes from an
// allocator (a sanitizer's) that the deletes above do not go to: the
// library's temporary buffers (std::stable_sort) use the nothrow form.
void* operator new(size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](size_t n) { return operator new(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {
std::vector<std::string> All(const TJobList& j) { return {j.begin(), j.end()}; }
std::string I32(uint32_t v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}
std::string Str(const std::string& s) { return I32(uint32_t(s.size())) + s; }
const std::string kTitle = "Bramwick DXF 2 Plandrop 1.0";

struct TOpenResult {
    std::string Message;
    size_t Largest = 0;
};

// Opens bytes as a project file in p and reports the error message and the
// largest allocation made while opening.
TOpenResult Open(TProject& p, const std::string& folder, const std::string& bytes) {
    const std::string path = folder + "d.kpj";
    WriteBytes(path, bytes);
    TOpenResult r;
    gLargest = 0;
    gLargestOn = true;
    try {
        p.OpenFile(path);
    } catch (const EProjectError& e) {
        gLargestOn = false;
        r.Message = e.what();
    }
    gLargestOn = false;
    r.Largest = gLargest;
    return r;
}

// Every allocation of OpenFile stays well below this; the stream buffer of
// the file is the largest (a few KiB).
constexpr size_t kSmall = 64 * 1024;
}  // namespace

TEST(DamagedProject, TruncatedInsideAnEntryKeepsEntriesReadSoFar) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("/old/x.dxf");
    const std::string full = kTitle + I32(3) + Str("/a/1.dxf") + Str("/a/2.dxf") + Str("/a/3.dxf") +
                             Str("/out") + I32(6) + I32(2) + I32(4);
    // Cut in the middle of the third entry's text.
    const size_t cut = kTitle.size() + 4 + 12 + 12 + 4 + 3;
    TOpenResult r = Open(p, t.Path, full.substr(0, cut));
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: Textlänge 8 reicht über "
              "das Dateiende hinaus nach 2 von 3 Einträgen !");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/1.dxf", "/a/2.dxf"}));
    // Loading ended before the settings and the project path.
    EXPECT_EQ(p.Settings.OutputForm, ofDXF);
    EXPECT_FALSE(p.ProjectPath.has_value());
    EXPECT_LT(r.Largest, kSmall);
}

TEST(DamagedProject, TruncatedInsideALengthOrTheSettings) {
    TTempFolder t;
    TProject p;
    const std::string head = kTitle + I32(2) + Str("/a/1.dxf");
    TOpenResult r = Open(p, t.Path, head + "\x05\x00"s);  // two bytes of a length
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: unerwartetes Dateiende "
              "nach 1 von 2 Einträgen !");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/1.dxf"}));

    // All entries and the folder are there, the last number is missing: the
    // folder and the choices read so far are applied.
    const std::string body = kTitle + I32(1) + Str("/a/1.dxf") + Str("/out") + I32(6) + I32(2);
    r = Open(p, t.Path, body);
    EXPECT_EQ(r.Message, "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: unerwartetes Dateiende !");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/1.dxf"}));
    EXPECT_EQ(p.Settings.OutputFolder, "/out");
    EXPECT_EQ(p.Settings.LayoutChoice, lcSingleLayout);
    EXPECT_EQ(p.Settings.OutputForm, ofText);
    EXPECT_EQ(p.Settings.LayoutNumber, 1);
    EXPECT_FALSE(p.ProjectPath.has_value());

    // Only the title.
    r = Open(p, t.Path, kTitle);
    EXPECT_EQ(r.Message, "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: unerwartetes Dateiende !");
    EXPECT_TRUE(p.Jobs.Empty());
}

TEST(DamagedProject, NegativeEntryCount) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("/old/x.dxf");
    TOpenResult r = Open(p, t.Path, kTitle + I32(0xFFFFFFFF) + Str("") + I32(2) + I32(1) + I32(1));
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: ungültige Anzahl der "
              "Einträge (-1) !");
    EXPECT_TRUE(p.Jobs.Empty());
    r = Open(p, t.Path, kTitle + I32(0x80000000) + Str(""));
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: ungültige Anzahl der "
              "Einträge (-2147483648) !");
}

TEST(DamagedProject, EnormousEntryCountEndsAtFileEnd) {
    TTempFolder t;
    TProject p;
    TOpenResult r = Open(p, t.Path, kTitle + I32(0x7FFFFFFF) + Str("/a/1.dxf") + Str("/a/2.dxf"));
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: unerwartetes Dateiende "
              "nach 2 von 2147483647 Einträgen !");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/1.dxf", "/a/2.dxf"}));
    EXPECT_LT(r.Largest, kSmall);
}

TEST(DamagedProject, StringLengthBeyondFileEndIsNotAllocated) {
    TTempFolder t;
    TProject p;
    // An entry announcing 2 GiB - 16 bytes in a 60-byte file.
    TOpenResult r = Open(p, t.Path, kTitle + I32(2) + Str("/a/1.dxf") + I32(0x7FFFFFF0) + "abc");
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: Textlänge 2147483632 "
              "reicht über das Dateiende hinaus nach 1 von 2 Einträgen !");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/1.dxf"}));
    EXPECT_LT(r.Largest, kSmall);

    // One byte too long for what is left.
    r = Open(p, t.Path, kTitle + I32(1) + I32(4) + "abc");
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: Textlänge 4 reicht über "
              "das Dateiende hinaus nach 0 von 1 Einträgen !");

    // The output folder's length, too.
    r = Open(p, t.Path, kTitle + I32(0) + I32(0x40000000) + I32(2) + I32(1) + I32(1));
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: Textlänge 1073741824 "
              "reicht über das Dateiende hinaus !");
    EXPECT_LT(r.Largest, kSmall);
}

TEST(DamagedProject, NegativeStringLength) {
    TTempFolder t;
    TProject p;
    TOpenResult r = Open(p, t.Path, kTitle + I32(1) + I32(0xFFFFFFFE) + Str("") + I32(2) + I32(1) + I32(1));
    EXPECT_EQ(r.Message,
              "KPJ Projekt Datei öffnen: Die Datei d.kpj ist beschädigt: ungültige Textlänge (-2) "
              "nach 0 von 1 Einträgen !");
    EXPECT_TRUE(p.Jobs.Empty());
}

TEST(DamagedProject, LargeValidProjectStillOpens) {
    // The checks refuse only what the file cannot hold: 2000 entries load.
    TTempFolder t;
    TProject p;
    for (int i = 0; i < 2000; ++i) p.Jobs.Add("/d/f" + std::to_string(i) + ".dxf");
    p.SaveFile(t.Path + "big.kpj");
    TProject q;
    q.OpenFile(t.Path + "big.kpj");
    ASSERT_EQ(q.Jobs.Count(), 2000);
    EXPECT_EQ(q.Jobs[1999], "/d/f1999.dxf");
}
