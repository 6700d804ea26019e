// The job list: order, duplicates, the current element, what the list box
// shows, removing selected entries and adding files from the browser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/favourites.h"
#include "app/joblist.h"
#include "app/temp_folder.h"

namespace {
TJobList Five() {
    TJobList j;
    for (const char* p : {"/d/a.dxf", "/d/b.dxf", "/d/c.dxf", "/d/d.dxf", "/d/e.dxf"}) j.Add(p);
    return j;
}
std::vector<std::string> All(const TJobList& j) { return {j.begin(), j.end()}; }
}  // namespace

TEST(JobList, KeepsOrderAndDuplicates) {
    TJobList j;
    EXPECT_EQ(j.Add("/d/plan.dxf"), 0);
    EXPECT_EQ(j.Add("/d/plan.dxf"), 1);
    EXPECT_EQ(j.Add("/e/x.dxf"), 2);
    EXPECT_EQ(All(j), (std::vector<std::string>{"/d/plan.dxf", "/d/plan.dxf", "/e/x.dxf"}));
    EXPECT_EQ(j.Count(), 3);
}

TEST(JobList, RemovingItemsOneAndThreeOfFiveLeavesZeroTwoFour) {
    TJobList j = Five();
    DeleteSelected(j, {1, 3});
    EXPECT_EQ(All(j), (std::vector<std::string>{"/d/a.dxf", "/d/c.dxf", "/d/e.dxf"}));
}

TEST(JobList, RemovingIgnoresRepeatedAndOutOfRangePositions) {
    TJobList j = Five();
    // Given unsorted, repeated and out of range: only 3 and 0 go.
    DeleteSelected(j, {3, 0, 3, 7, -1});
    EXPECT_EQ(All(j), (std::vector<std::string>{"/d/b.dxf", "/d/c.dxf", "/d/e.dxf"}));
}

TEST(JobList, DisplayShowsFileNamesAndEnablesRemoveOnlyWhenNotEmpty) {
    TJobList j;
    TJobListView v = UpdateListBox(j);
    EXPECT_TRUE(v.Items.empty());
    EXPECT_FALSE(v.DelBtnEnabled);
    EXPECT_EQ(v.ItemIndex, -1);

    j.Add("/home/u/plans/plan.rev.dxf");
    j.Add("C:\\a\\x.dxf");  // from a project written on Windows
    j.Add("D:y.dxf");
    v = UpdateListBox(j);
    EXPECT_EQ(v.Items, (std::vector<std::string>{"plan.rev.dxf", "x.dxf", "y.dxf"}));
    EXPECT_TRUE(v.DelBtnEnabled);
    EXPECT_EQ(v.ItemIndex, 0);
}

TEST(JobList, CursorFollowsItsElement) {
    TJobList j = Five();
    EXPECT_EQ(j.GetCursor(), -1);
    EXPECT_EQ(j.Current(), nullptr);
    j.SetCursor(3);
    ASSERT_NE(j.Current(), nullptr);
    EXPECT_EQ(*j.Current(), "/d/d.dxf");
    j.Delete(1);  // before the cursor: the cursor moves down with its element
    EXPECT_EQ(j.GetCursor(), 2);
    EXPECT_EQ(*j.Current(), "/d/d.dxf");
    j.Delete(3);  // after the cursor: unchanged
    EXPECT_EQ(*j.Current(), "/d/d.dxf");
    j.Delete(2);  // the current element itself
    EXPECT_EQ(j.GetCursor(), -1);
    EXPECT_EQ(j.Current(), nullptr);
    j.SetCursor(99);
    EXPECT_EQ(j.GetCursor(), -1);
    j.SetCursor(0);
    j.Clear();
    EXPECT_EQ(j.GetCursor(), -1);
    EXPECT_TRUE(j.Empty());
}

TEST(JobList, AddingFilesAppendsFolderAndNameAndMakesFolderTopFavourite) {
    TTempFolder t;
    TPrefFolders prefs(t.Path);
    prefs.Folders = {"/x/", "/y/"};
    TJobList j;
    AddFiles(j, prefs, "/home/u/plans", {"a.dxf", "b.dxf"});
    AddFiles(j, prefs, "/home/u/plans/", {"a.dxf"});
    EXPECT_EQ(All(j), (std::vector<std::string>{"/home/u/plans/a.dxf", "/home/u/plans/b.dxf",
                                                "/home/u/plans/a.dxf"}));
    EXPECT_EQ(prefs.Folders, (std::vector<std::string>{"/home/u/plans/", "/x/", "/y/"}));
}
