// Favourite folders: moving to the top, "folders.dat" written with CR LF
// lines and read back, a file that cannot be written, and where the file
// lives when the program folder is not writable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/favourites.h"
#include "app/temp_folder.h"

using Folders = std::vector<std::string>;

TEST(Favourites, FirstFolderIsWrittenWithCrLf) {
    TTempFolder t;
    TPrefFolders p(t.Path);
    EXPECT_EQ(p.FilePath(), t.Path + "folders.dat");
    p.AddToPrefFolders("/home/u/plans/");
    EXPECT_EQ(p.Folders, Folders{"/home/u/plans/"});
    EXPECT_EQ(ReadBytes(t.Path + "folders.dat"), "/home/u/plans/\r\n");
}

TEST(Favourites, ThirdFavouriteMovesToTopOthersKeepTheirOrder) {
    TTempFolder t;
    TPrefFolders p(t.Path);
    p.Folders = {"/a/", "/b/", "/c/", "/d/"};
    p.AddToPrefFolders("/c/");
    EXPECT_EQ(p.Folders, (Folders{"/c/", "/a/", "/b/", "/d/"}));
    EXPECT_EQ(ReadBytes(t.Path + "folders.dat"), "/c/\r\n/a/\r\n/b/\r\n/d/\r\n");
}

TEST(Favourites, NewFolderGoesOnTopWithoutLimit) {
    TTempFolder t;
    TPrefFolders p(t.Path);
    for (int i = 0; i < 30; ++i) p.AddToPrefFolders("/f" + std::to_string(i) + "/");
    ASSERT_EQ(p.Folders.size(), 30u);
    EXPECT_EQ(p.Folders.front(), "/f29/");
    EXPECT_EQ(p.Folders.back(), "/f0/");
}

TEST(Favourites, LastEqualPositionCountsAndComparisonIsCaseSensitive) {
    TTempFolder t;
    TPrefFolders p(t.Path);
    p.Folders = {"/x/", "/y/", "/x/", "/X/"};
    p.AddToPrefFolders("/x/");
    // The /x/ at position 2 is removed; the one at position 0 and /X/ stay.
    EXPECT_EQ(p.Folders, (Folders{"/x/", "/x/", "/y/", "/X/"}));
}

TEST(Favourites, ReadsLinesAtStart) {
    TTempFolder t;
    WriteBytes(t.Path + "folders.dat", "/a/\r\n/b b/\r\n\r\n/c/\n/d/");
    TPrefFolders p(t.Path.substr(0, t.Path.size() - 1));  // without trailing '/'
    p.Load();
    // CR LF and LF line ends, an empty line kept, a last line without end.
    EXPECT_EQ(p.Folders, (Folders{"/a/", "/b b/", "", "/c/", "/d/"}));
}

TEST(Favourites, WrittenListReadsBackEqual) {
    TTempFolder t;
    TPrefFolders p(t.Path);
    p.AddToPrefFolders("/one/");
    p.AddToPrefFolders("/two/");
    p.AddToPrefFolders("/one/");
    TPrefFolders q(t.Path);
    q.Load();
    EXPECT_EQ(q.Folders, (Folders{"/one/", "/two/"}));
}

TEST(Favourites, MissingFileGivesEmptyList) {
    TTempFolder t;
    TPrefFolders p(t.Path);
    p.Load();
    EXPECT_TRUE(p.Folders.empty());
}

TEST(Favourites, FileThatCannotBeWrittenIsIgnored) {
    TTempFolder t;
    // The program folder does not exist, so "folders.dat" cannot be created.
    TPrefFolders p(t.Path + "missing/");
    p.Folders = {"/a/", "/b/"};
    EXPECT_NO_THROW(p.AddToPrefFolders("/b/"));
    EXPECT_EQ(p.Folders, (Folders{"/b/", "/a/"}));
    EXPECT_FALSE(p.Save());
}

// An installed program's folder is not writable: the favourites go to the
// user's configuration folder, and are read back from there.
namespace {
bool IsRoot() { return ::geteuid() == 0; }

struct TwoFolders {
    TTempFolder program, user;
    std::string UserDir() const { return user.Path + "conf/"; }  // not there yet
    TPrefFolders Prefs(bool programWritable) const {
        TPrefFolders p(program.Path, UserDir());
        p.Writable = [programWritable](const std::string&) { return programWritable; };
        return p;
    }
};
}  // namespace

TEST(FavouritesLocation, CanWriteFileTellsWritableFoldersAndLeavesNoProbe) {
    TTempFolder t;
    EXPECT_TRUE(CanWriteFile(t.Path + "folders.dat"));
    EXPECT_FALSE(std::filesystem::exists(t.Path + "folders.dat"));
    WriteBytes(t.Path + "folders.dat", "/a/\r\n");
    EXPECT_TRUE(CanWriteFile(t.Path + "folders.dat"));
    EXPECT_EQ(ReadBytes(t.Path + "folders.dat"), "/a/\r\n");
    EXPECT_FALSE(CanWriteFile(t.Path + "missing/folders.dat"));
    // Not even the superuser creates files in /proc.
    EXPECT_FALSE(CanWriteFile("/proc/folders.dat"));
}

TEST(FavouritesLocation, CanWriteFileRefusesAReadOnlyFolder) {
    if (IsRoot()) GTEST_SKIP() << "the superuser writes into read-only folders";
    TTempFolder t;
    WriteBytes(t.Path + "folders.dat", "/a/\r\n");
    std::filesystem::permissions(t.Path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(CanWriteFile(t.Path + "other.dat"));
    EXPECT_TRUE(CanWriteFile(t.Path + "folders.dat"));  // the file itself is still writable
    std::filesystem::permissions(t.Path, std::filesystem::perms::owner_all);
}

TEST(FavouritesLocation, ReadOnlyProgramFolderStartsFromItsListAndWritesToTheUserFolder) {
    TwoFolders f;
    WriteBytes(f.program.Path + "folders.dat", "/shipped/\r\n");
    TPrefFolders p = f.Prefs(false);
    p.Load();
    EXPECT_EQ(p.Folders, Folders{"/shipped/"});
    EXPECT_EQ(p.FilePath(), f.UserDir() + "folders.dat");
    p.AddToPrefFolders("/home/u/plans/");
    EXPECT_EQ(ReadBytes(f.UserDir() + "folders.dat"), "/home/u/plans/\r\n/shipped/\r\n");
    EXPECT_EQ(ReadBytes(f.program.Path + "folders.dat"), "/shipped/\r\n");

    // The next start reads the user's list, not the one beside the program.
    TPrefFolders q = f.Prefs(false);
    q.Load();
    EXPECT_EQ(q.Folders, (Folders{"/home/u/plans/", "/shipped/"}));
}

TEST(FavouritesLocation, WritableProgramFolderKeepsItsFile) {
    TwoFolders f;
    std::filesystem::create_directories(f.UserDir());
    WriteBytes(f.UserDir() + "folders.dat", "/stale/\r\n");
    WriteBytes(f.program.Path + "folders.dat", "/a/\r\n");
    TPrefFolders p = f.Prefs(true);
    p.Load();
    EXPECT_EQ(p.Folders, Folders{"/a/"});
    p.AddToPrefFolders("/b/");
    EXPECT_EQ(ReadBytes(f.program.Path + "folders.dat"), "/b/\r\n/a/\r\n");
    EXPECT_EQ(ReadBytes(f.UserDir() + "folders.dat"), "/stale/\r\n");
}

TEST(FavouritesLocation, NoListAnywhereStartsEmptyAndCreatesTheUserFolder) {
    TwoFolders f;
    TPrefFolders p = f.Prefs(false);
    p.Load();
    EXPECT_TRUE(p.Folders.empty());
    p.AddToPrefFolders("/x/");
    EXPECT_EQ(ReadBytes(f.UserDir() + "folders.dat"), "/x/\r\n");
    EXPECT_FALSE(std::filesystem::exists(f.program.Path + "folders.dat"));
}

TEST(FavouritesLocation, AFailedWriteBesideTheProgramMovesTheListToTheUserFolder) {
    TTempFolder user;
    // Load found the file writable, but the folder is gone when writing.
    TPrefFolders p(user.Path + "gone/", user.Path + "conf");
    p.Writable = [](const std::string&) { return true; };
    p.Load();
    p.AddToPrefFolders("/x/");
    EXPECT_EQ(p.FilePath(), user.Path + "conf/folders.dat");
    EXPECT_EQ(ReadBytes(user.Path + "conf/folders.dat"), "/x/\r\n");
}

TEST(FavouritesLocation, RealReadOnlyProgramFolder) {
    if (IsRoot()) GTEST_SKIP() << "the superuser writes into read-only folders";
    TTempFolder program, user;
    WriteBytes(program.Path + "folders.dat", "/shipped/\r\n");
    std::filesystem::permissions(program.Path + "folders.dat", std::filesystem::perms::owner_read);
    std::filesystem::permissions(program.Path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TPrefFolders p(program.Path, user.Path);
    p.Load();
    p.AddToPrefFolders("/new/");
    std::filesystem::permissions(program.Path, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadBytes(user.Path + "folders.dat"), "/new/\r\n/shipped/\r\n");
    EXPECT_EQ(ReadBytes(program.Path + "folders.dat"), "/shipped/\r\n");
}
