// Favourite folders: moving to the top, "folders.dat" written with CR LF
// lines and read back, a file that cannot be written.
#include <gtest/gtest.h>

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
