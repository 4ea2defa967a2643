#include "selection/file_list.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/temp_folder.h"
#include "tests/selection/user_input.h"

namespace tavrio::selection {
namespace {

std::vector<std::string> Entries(const FileList& list) {
  std::vector<std::string> names;
  for (std::int16_t i = 0; i < list.ListCount(); ++i) names.push_back(list.List(i));
  return names;
}

TEST(FileList, ListsTheVisibleFilesOfTheFolderWithNoneSelected) {
  testing::TempFolder folder;
  for (const char* name : {"销售_三月.xlsx", "销售_一月.xlsx", "销售_二月.xlsx", ".隐藏.xlsx"}) {
    folder.AddFile(name);
  }
  folder.AddFolder("子文件夹");
  FileList list;

  list.SetPath(folder.path() + "/");

  EXPECT_EQ(list.Path(), folder.path());
  EXPECT_EQ(Entries(list),
            (std::vector<std::string>{"销售_二月.xlsx", "销售_三月.xlsx", "销售_一月.xlsx"}));
  for (std::int16_t i = 0; i < list.ListCount(); ++i) EXPECT_FALSE(list.Selected(i));
}

TEST(FileList, RootPathKeepsItsSlash) {
  FileList list;
  list.SetPath("/");
  EXPECT_EQ(list.Path(), "/");
}

TEST(FileList, MovingToAnotherFolderDropsTheSelection) {
  testing::TempFolder folder;
  folder.AddFile("one/a.xlsx");
  folder.AddFile("two/a.xlsx");
  FileList list;
  list.SetPath(folder.File("one"));
  list.item(0)->setSelected(true);

  list.SetPath(folder.File("two"));

  ASSERT_EQ(list.ListCount(), 1);
  EXPECT_FALSE(list.Selected(0));
}

TEST(FileList, AFolderThatCannotBeReadLeavesTheListingAndSelectionAsTheyWere) {
  testing::TempFolder folder;
  folder.AddFile("a.xlsx");
  folder.AddFile("b.xlsx");
  FileList list;
  list.SetPath(folder.path());
  list.item(1)->setSelected(true);

  EXPECT_THROW(list.SetPath(folder.File("gone")), Error);

  EXPECT_EQ(list.Path(), folder.path());
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"a.xlsx", "b.xlsx"}));
  EXPECT_TRUE(list.Selected(1));
}

TEST(FileList, MoreFilesThanAListCanHoldIsRefused) {
  testing::TempFolder folder;
  folder.AddFile("small/a.xlsx");
  for (int i = 0; i <= 32767; ++i) folder.AddFile("big/" + std::to_string(i));
  FileList list;
  list.SetPath(folder.File("small"));

  try {
    list.SetPath(folder.File("big"));
    FAIL() << "32768 files were listed";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 6);
    EXPECT_EQ(error.description(), "文件夹“" + folder.File("big") +
                                       "”中有 32768 个文件，超过了文件列表最多能列出的 32767 个");
  }
  EXPECT_EQ(list.Path(), folder.File("small"));
}

TEST(FileList, AnIndexPastTheEndIsAnError) {
  testing::TempFolder folder;
  folder.AddFile("a.xlsx");
  FileList list;
  list.SetPath(folder.path());
  for (std::int16_t index : {std::int16_t{1}, std::int16_t{-1}}) {
    SCOPED_TRACE(index);
    try {
      list.List(index);
      FAIL();
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 381);
      EXPECT_EQ(error.description(),
                "无效的属性数组索引：文件列表中没有第 " + std::to_string(index) + " 项");
    }
    EXPECT_THROW(list.Selected(index), Error);
  }
}

TEST(FileList, ADoubleClickNarrowsTheSelectionToThatEntryBeforeRaisingDblClick) {
  testing::TempFolder folder;
  for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx"}) folder.AddFile(name);
  FileList list;
  list.resize(200, 200);
  list.show();
  list.SetPath(folder.path());
  list.selectAll();
  std::vector<bool> selection_at_dblclick;
  QObject::connect(&list, &FileList::DblClick, [&] {
    for (std::int16_t i = 0; i < list.ListCount(); ++i) {
      selection_at_dblclick.push_back(list.Selected(i));
    }
  });

  testing::DoubleClickEntry(&list, 1);

  EXPECT_EQ(selection_at_dblclick, (std::vector<bool>{false, true, false}));
}

}  // namespace
}  // namespace tavrio::selection

namespace tavrio::selection {
namespace {

// Waits until the list shows `expected`, as it does a moment after its folder changed.
bool ShowsSoon(const FileList& list, const std::vector<std::string>& expected) {
  return QTest::qWaitFor([&] { return Entries(list) == expected; }, 5000);
}

TEST(FileListFollowing, FilesAddedAndRemovedShowAndTheRemainingKeepTheirSelection) {
  testing::TempFolder folder;
  for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx"}) folder.AddFile(name);
  FileList list;
  list.SetPath(folder.path());
  list.item(0)->setSelected(true);  // a
  list.item(2)->setSelected(true);  // c

  folder.AddFile("ab.xlsx");
  std::filesystem::remove(folder.File("c.xlsx"));

  ASSERT_TRUE(ShowsSoon(list, {"a.xlsx", "ab.xlsx", "b.xlsx"}))
      << ::testing::PrintToString(Entries(list));
  EXPECT_TRUE(list.Selected(0));
  EXPECT_FALSE(list.Selected(1));
  EXPECT_FALSE(list.Selected(2));
  EXPECT_EQ(list.item(1)->toolTip().toStdString(), folder.File("ab.xlsx"));
}

TEST(FileListFollowing, ChangesWhileHeldWaitUntilReleased) {
  testing::TempFolder folder;
  folder.AddFile("a.xlsx");
  FileList list;
  list.SetPath(folder.path());
  list.HoldChanges(true);

  folder.AddFile("b.xlsx");
  QTest::qWait(600);
  EXPECT_EQ(Entries(list), std::vector<std::string>{"a.xlsx"});

  list.HoldChanges(false);
  EXPECT_TRUE(ShowsSoon(list, {"a.xlsx", "b.xlsx"}));
}

TEST(FileListFollowing, AFolderThatGoesKeepsItsLastListing) {
  testing::TempFolder folder;
  folder.AddFile("子/a.xlsx");
  FileList list;
  list.SetPath(folder.File("子"));
  list.item(0)->setSelected(true);

  std::filesystem::remove_all(folder.File("子"));
  QTest::qWait(600);

  EXPECT_EQ(Entries(list), std::vector<std::string>{"a.xlsx"});
  EXPECT_TRUE(list.Selected(0));
}

TEST(FileListFollowing, AFolderLeftIsNoLongerFollowed) {
  testing::TempFolder folder;
  folder.AddFile("一/a.xlsx");
  folder.AddFile("二/b.xlsx");
  FileList list;
  list.SetPath(folder.File("一"));
  list.SetPath(folder.File("二"));

  folder.AddFile("一/c.xlsx");
  QTest::qWait(600);

  EXPECT_EQ(Entries(list), std::vector<std::string>{"b.xlsx"});
}

}  // namespace
}  // namespace tavrio::selection
