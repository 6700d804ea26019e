// Project files: the bytes written, reading them back, entries joined to the
// project's folder, the caption, and the messages for files that cannot be
// written, opened or recognised.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/paths.h"
#include "app/project.h"
#include "app/temp_folder.h"

using namespace std::string_literals;

namespace {
std::vector<std::string> All(const TJobList& j) { return {j.begin(), j.end()}; }

// Little-endian int32 and length-prefixed string, for building files by hand.
std::string I32(uint32_t v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}
std::string Str(const std::string& s) { return I32(uint32_t(s.size())) + s; }
const std::string kTitle = "Bramwick DXF 2 Plandrop 1.0";
}  // namespace

TEST(ProjectFile, EmptyProjectIsExactly47Bytes) {
    TTempFolder t;
    TProject p;
    p.SaveFile(t.Path + "empty.kpj");
    // 27 title bytes, N = 0, folder length 0, layout choice 2 (all), output
    // form 1 (DXF), layout number 1.
    const std::string expected = "Bramwick DXF 2 Plandrop 1.0"
                                 "\0\0\0\0"
                                 "\0\0\0\0"
                                 "\x02\0\0\0"
                                 "\x01\0\0\0"
                                 "\x01\0\0\0"s;
    ASSERT_EQ(expected.size(), 47u);
    EXPECT_EQ(ReadBytes(t.Path + "empty.kpj"), expected);
}

TEST(ProjectFile, FieldsAreWrittenInOrderLittleEndian) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("/a/x.dxf");
    p.Jobs.Add("y.dxf");
    p.Settings.OutputFolder = "/out";
    p.Settings.LayoutChoice = lcSingleLayout;
    p.Settings.OutputForm = ofText;
    p.Settings.LayoutNumber = 300;  // 0x12C
    p.SaveFile(t.Path + "p.kpj");
    const std::string expected = "Bramwick DXF 2 Plandrop 1.0"
                                 "\x02\0\0\0"
                                 "\x08\0\0\0/a/x.dxf"
                                 "\x05\0\0\0y.dxf"
                                 "\x04\0\0\0/out"
                                 "\x06\0\0\0"
                                 "\x02\0\0\0"
                                 "\x2C\x01\0\0"s;
    EXPECT_EQ(ReadBytes(t.Path + "p.kpj"), expected);
    // 27 + 4 + (4 + 8) + (4 + 5) + (4 + 4) + 12
    EXPECT_EQ(expected.size(), 72u);
    EXPECT_EQ(EncodeProject(p.Jobs, p.Settings), expected);
}

TEST(ProjectFile, ZeroEntriesSizeIsTitleCountFolderAndThreeNumbers) {
    TJobList none;
    TConvertSettings s;
    s.OutputFolder = "/home/u/Dokumente";  // 17 bytes
    EXPECT_EQ(EncodeProject(none, s).size(), 27u + 4 + 4 + 17 + 12);
}

TEST(ProjectFile, RoundTripIsByteExact) {
    TTempFolder t;
    TProject p;
    for (const char* e : {"/a/x.dxf", "/a/x.dxf", "/b/Ümlaut \xE4.dxf", "sub/z.dxf", ""}) p.Jobs.Add(e);
    p.Settings = {"/out/", lcSingleLayout, ofText, 7};
    p.SaveFile(t.Path + "one.kpj");

    TProject q;
    q.OpenFile(t.Path + "one.kpj");
    EXPECT_EQ(All(q.Jobs), All(p.Jobs));
    EXPECT_EQ(q.Settings.OutputFolder, "/out/");
    EXPECT_EQ(q.Settings.LayoutChoice, lcSingleLayout);
    EXPECT_EQ(q.Settings.OutputForm, ofText);
    EXPECT_EQ(q.Settings.LayoutNumber, 7);
    q.SaveFile(t.Path + "two.kpj");
    EXPECT_EQ(ReadBytes(t.Path + "two.kpj"), ReadBytes(t.Path + "one.kpj"));
}

TEST(ProjectFile, EntryWithoutFolderIsJoinedToProjectFolder) {
    TTempFolder t;
    // Saved with the job list (/a/x.dxf, y.dxf): the second entry is stored
    // unchanged.
    TProject p;
    p.Jobs.Add("/a/x.dxf");
    p.Jobs.Add("y.dxf");
    p.Jobs.Add("sub/z.dxf");
    p.SaveFile(t.Path + "p.kpj");
    EXPECT_NE(ReadBytes(t.Path + "p.kpj").find(Str("y.dxf")), std::string::npos);

    TProject q;
    q.OpenFile(t.Path + "p.kpj");
    EXPECT_EQ(All(q.Jobs), (std::vector<std::string>{"/a/x.dxf", t.Path + "y.dxf", "sub/z.dxf"}));
}

TEST(ProjectFile, WindowsEntriesCountAsHavingAFolderPart) {
    TTempFolder t;
    WriteBytes(t.Path + "w.kpj", kTitle + I32(5) + Str("C:\\a\\x.dxf") + Str("sub\\z.dxf") +
                                     Str("D:y.dxf") + Str("") + Str("plain.dxf") + Str("") +
                                     I32(2) + I32(1) + I32(1));
    TProject q;
    q.OpenFile(t.Path + "w.kpj");
    // Only the plain name gets the project's folder; an empty entry stays empty.
    EXPECT_EQ(All(q.Jobs), (std::vector<std::string>{"C:\\a\\x.dxf", "sub\\z.dxf", "D:y.dxf", "",
                                                     t.Path + "plain.dxf"}));
}

TEST(ProjectFile, OtherLayoutChoiceAndFormValuesChangeNothing) {
    TTempFolder t;
    WriteBytes(t.Path + "o.kpj", kTitle + I32(0) + Str("/o") + I32(3) + I32(0) + I32(42));
    TProject q;
    q.Settings = {"/before", lcSingleLayout, ofText, 5};
    q.OpenFile(t.Path + "o.kpj");
    EXPECT_EQ(q.Settings.OutputFolder, "/o");
    EXPECT_EQ(q.Settings.LayoutChoice, lcSingleLayout);
    EXPECT_EQ(q.Settings.OutputForm, ofText);
    EXPECT_EQ(q.Settings.LayoutNumber, 42);

    WriteBytes(t.Path + "v.kpj", kTitle + I32(0) + Str("") + I32(2) + I32(1) + I32(1));
    q.OpenFile(t.Path + "v.kpj");
    EXPECT_EQ(q.Settings.OutputFolder, "");
    EXPECT_EQ(q.Settings.LayoutChoice, lcAllLayouts);
    EXPECT_EQ(q.Settings.OutputForm, ofDXF);
}

TEST(ProjectFile, OpeningReplacesTheJobList) {
    TTempFolder t;
    WriteBytes(t.Path + "a.kpj", kTitle + I32(1) + Str("/n/new.dxf") + Str("") + I32(2) + I32(1) + I32(1));
    TProject q;
    q.Jobs.Add("/old/one.dxf");
    q.OpenFile(t.Path + "a.kpj");
    EXPECT_EQ(All(q.Jobs), (std::vector<std::string>{"/n/new.dxf"}));
}

TEST(ProjectFile, TrailingBytesAreIgnored) {
    TTempFolder t;
    WriteBytes(t.Path + "a.kpj", kTitle + I32(0) + Str("") + I32(2) + I32(2) + I32(9) + "junk");
    TProject q;
    q.OpenFile(t.Path + "a.kpj");
    EXPECT_EQ(q.Settings.OutputForm, ofText);
    EXPECT_EQ(q.Settings.LayoutNumber, 9);
}

TEST(Caption, NonameAtStartThenTheProjectName) {
    TTempFolder t;
    TProject p;
    EXPECT_EQ(p.Caption, "Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]");
    EXPECT_FALSE(p.ProjectPath.has_value());
    p.SaveFile(t.Path + "Haus.kpj");
    EXPECT_EQ(p.Caption, "Bramwick DXF 2 Plandrop 1.0 - [Haus.kpj]");
    EXPECT_EQ(p.ProjectPath, t.Path + "Haus.kpj");

    TProject q;
    q.OpenFile(t.Path + "Haus.kpj");
    EXPECT_EQ(q.Caption, "Bramwick DXF 2 Plandrop 1.0 - [Haus.kpj]");
    EXPECT_EQ(CaptionFor(std::nullopt), "Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]");
}

TEST(Caption, NewProjectEmptiesListKeepsSettings) {
    TProject p;
    p.Jobs.Add("/a/x.dxf");
    p.Settings = {"/out", lcSingleLayout, ofText, 3};
    p.Setsavedfilename("/p/x.kpj");
    p.NewProject();
    EXPECT_TRUE(p.Jobs.Empty());
    EXPECT_FALSE(p.ProjectPath.has_value());
    EXPECT_EQ(p.Caption, "Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]");
    EXPECT_EQ(p.Settings.OutputFolder, "/out");
    EXPECT_EQ(p.Settings.OutputForm, ofText);
}

namespace {
std::string ErrorOf(auto&& f) {
    try {
        f();
    } catch (const EProjectError& e) {
        return e.what();
    }
    return "";
}
}  // namespace

TEST(ProjectErrors, FileThatCannotBeCreated) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("/a/x.dxf");
    EXPECT_EQ(ErrorOf([&] { p.SaveFile(t.Path + "no/such/folder/proj.kpj"); }),
              "KPJ Projekt Datei speichern: Konnte die folgende Datei nicht erstellen: proj.kpj !");
    // Nothing else changes.
    EXPECT_FALSE(p.ProjectPath.has_value());
    EXPECT_EQ(p.Caption, "Bramwick DXF 2 Plandrop 1.0 - [noname.kpj]");
    EXPECT_EQ(p.Jobs.Count(), 1);
}

TEST(ProjectErrors, FileThatCannotBeOpened) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("/a/x.dxf");
    EXPECT_EQ(ErrorOf([&] { p.OpenFile(t.Path + "missing.kpj"); }),
              "KPJ Projekt Datei öffnen: Konnte folgende Datei nicht öffnen: missing.kpj !");
    EXPECT_EQ(ErrorOf([&] { p.OpenFile(t.Path); }),  // a folder
              "KPJ Projekt Datei öffnen: Konnte folgende Datei nicht öffnen:  !");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/x.dxf"}));
}

TEST(ProjectErrors, WrongTitleChangesNothing) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("/a/x.dxf");
    p.Settings.OutputFolder = "/keep";
    WriteBytes(t.Path + "bad.kpj", "Bramwick DXF 2 Plandrop 1.1" + I32(0) + Str("") + I32(2) + I32(1) + I32(1));
    WriteBytes(t.Path + "short.kpj", "Bramwick");
    WriteBytes(t.Path + "empty.kpj", "");
    for (const char* f : {"bad.kpj", "short.kpj", "empty.kpj"}) {
        EXPECT_EQ(ErrorOf([&] { p.OpenFile(t.Path + f); }), "Dies ist keine gültige KPJ Projekt Datei")
            << f;
    }
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/a/x.dxf"}));
    EXPECT_EQ(p.Settings.OutputFolder, "/keep");
    EXPECT_FALSE(p.ProjectPath.has_value());
}

TEST(ProjectPaths, RelativeNamesAreJoinedToTheFolderWithoutDotParts) {
    EXPECT_EQ(AbsolutePath("in/a.dxf", "/work/p"), "/work/p/in/a.dxf");
    EXPECT_EQ(AbsolutePath("./in/./a.dxf", "/work/p/"), "/work/p/in/a.dxf");
    EXPECT_EQ(AbsolutePath("a.dxf", "/"), "/a.dxf");
    EXPECT_EQ(AbsolutePath(".", "/work"), "/work");
    EXPECT_EQ(AbsolutePath("out/", "/work"), "/work/out/");
    // ".." is kept: where it leads depends on symbolic links.
    EXPECT_EQ(AbsolutePath("../b/a.dxf", "/work/p"), "/work/p/../b/a.dxf");
    // Absolute, empty and Windows paths stay as they are.
    EXPECT_EQ(AbsolutePath("/x/./a.dxf", "/work"), "/x/./a.dxf");
    EXPECT_EQ(AbsolutePath("", "/work"), "");
    EXPECT_EQ(AbsolutePath("C:\\a\\x.dxf", "/work"), "C:\\a\\x.dxf");
    EXPECT_EQ(AbsolutePath("sub\\z.dxf", "/work"), "sub\\z.dxf");
}

TEST(ProjectPaths, MakeAbsoluteCoversEveryEntryAndTheOutputFolderAndIsSavedSo) {
    TTempFolder t;
    TProject p;
    p.Jobs.Add("in/a.dxf");
    p.Jobs.Add("/abs/b.dxf");
    p.Settings.OutputFolder = "out";
    p.MakeAbsolute("/home/u");
    EXPECT_EQ(All(p.Jobs), (std::vector<std::string>{"/home/u/in/a.dxf", "/abs/b.dxf"}));
    EXPECT_EQ(p.Settings.OutputFolder, "/home/u/out");
    p.SaveFile(t.Path + "p.kpj");
    EXPECT_EQ(ReadBytes(t.Path + "p.kpj"), kTitle + I32(2) + Str("/home/u/in/a.dxf") + Str("/abs/b.dxf") +
                                               Str("/home/u/out") + I32(2) + I32(1) + I32(1));
}
