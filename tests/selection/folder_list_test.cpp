#include "selection/folder_list.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/temp_folder.h"
#include "tests/selection/user_input.h"

namespace tavrio::selection {
namespace {

std::vector<std::string> Shown(const FolderList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.count(); ++i) names.push_back(list.item(i)->text().toStdString());
  return names;
}

TEST(FolderList, ShowsTheFoldersAboveThenTheCurrentOneThenItsVisibleSubfolders) {
  testing::TempFolder folder;
  for (const char* sub : {"项目/乙", "项目/甲", "项目/.cache"}) folder.AddFolder(sub);
  folder.AddFile("项目/a.xlsx");
  FolderList list;

  list.SetPath(folder.File("项目"));

  EXPECT_EQ(list.Path(), folder.File("项目"));
  std::vector<std::string> expected = {"/"};
  for (const auto& part : std::filesystem::path(folder.File("项目")).relative_path()) {
    expected.push_back(part.string());
  }
  const int current_row = static_cast<int>(expected.size()) - 1;
  expected.insert(expected.end(), {"甲", "乙"});
  EXPECT_EQ(Shown(list), expected);
  EXPECT_EQ(list.currentRow(), current_row);
}

TEST(FolderList, SettingThePathRunsTheChangeHandlerAfterTheListHasMoved) {
  testing::TempFolder folder;
  FolderList list;
  std::vector<std::string> seen;
  list.SetChangeHandler([&] { seen.push_back(list.Path()); });

  list.SetPath(folder.path());
  list.SetPath("/");

  EXPECT_EQ(seen, (std::vector<std::string>{folder.path(), "/"}));
}

TEST(FolderList, AFolderThatCannotBeReadLeavesTheListWhereItWas) {
  testing::TempFolder folder;
  folder.AddFolder("甲");
  FolderList list;
  list.SetPath(folder.path());
  const std::vector<std::string> before = Shown(list);
  int changes = 0;
  list.SetChangeHandler([&] { ++changes; });

  EXPECT_THROW(list.SetPath(folder.File("不存在")), Error);

  EXPECT_EQ(list.Path(), folder.path());
  EXPECT_EQ(Shown(list), before);
  EXPECT_EQ(changes, 0);
}

TEST(FolderList, AFailingChangeHandlerSendsTheListBack) {
  testing::TempFolder folder;
  folder.AddFolder("甲/子");
  FolderList list;
  list.SetPath(folder.path());
  const std::vector<std::string> before = Shown(list);
  list.SetChangeHandler([] { throw Error(68, "设备不可用"); });

  EXPECT_THROW(list.SetPath(folder.File("甲")), Error);

  EXPECT_EQ(list.Path(), folder.path());
  EXPECT_EQ(Shown(list), before);
}

TEST(FolderList, DoubleClickOrEnterAsksToOpenThatFolderWithoutMoving) {
  testing::TempFolder folder;
  folder.AddFolder("甲");
  FolderList list;
  list.resize(300, 400);
  list.show();
  list.SetPath(folder.path());
  QSignalSpy requests(&list, &FolderList::OpenRequested);

  testing::DoubleClickEntry(&list, list.count() - 1);
  list.setCurrentItem(list.item(0));
  QTest::keyClick(&list, Qt::Key_Return);

  ASSERT_EQ(requests.count(), 2);
  EXPECT_EQ(requests.at(0).at(0).value<std::string>(), folder.File("甲"));
  EXPECT_EQ(requests.at(1).at(0).value<std::string>(), "/");
  EXPECT_EQ(list.Path(), folder.path());
}

}  // namespace
}  // namespace tavrio::selection

namespace tavrio::selection {
namespace {

TEST(FolderListLook, TheOpenFolderIsBoldAndEveryEntryHasItsPathAsTooltip) {
  testing::TempFolder folder;
  folder.AddFolder("项目/甲");
  FolderList list;
  list.SetPath(folder.File("项目"));

  QListWidgetItem* open = list.OpenFolderItem();
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->text().toStdString(), "项目");
  EXPECT_TRUE(open->font().bold());
  EXPECT_EQ(open->toolTip().toStdString(), folder.File("项目"));
  for (int row = 0; row < list.count(); ++row) {
    QListWidgetItem* entry = list.item(row);
    SCOPED_TRACE(entry->text().toStdString());
    EXPECT_FALSE(entry->toolTip().isEmpty());
    if (entry != open) {
      EXPECT_FALSE(entry->font().bold());
    }
  }
  EXPECT_EQ(list.item(list.count() - 1)->toolTip().toStdString(), folder.File("项目/甲"));

  // Moving the highlight elsewhere leaves the open folder marked.
  list.setCurrentRow(0);
  EXPECT_EQ(list.OpenFolderItem(), open);
}

TEST(FolderListLook, ADeepOpenFolderIsScrolledIntoViewSideways) {
  testing::TempFolder folder;
  std::string deep = "第一层很长的文件夹名称";
  for (int level = 2; level <= 8; ++level)
    deep += "/第" + std::to_string(level) + "层很长的文件夹名称";
  folder.AddFolder(deep);
  FolderList list;
  list.resize(145, 300);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

  list.SetPath(folder.File(deep));

  const QRect open = list.visualItemRect(list.OpenFolderItem());
  EXPECT_GT(list.horizontalScrollBar()->value(), 0);
  // The name's end is in view.
  EXPECT_LE(open.right(), list.viewport()->width() + 1);
  EXPECT_GT(open.right(), 0);
}

}  // namespace
}  // namespace tavrio::selection
