#include "selection/side_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/base/error.h"
#include "selection/file_list.h"
#include "tests/support/temp_folder.h"

namespace tavrio::selection {
namespace {

using Names = std::vector<std::string>;

Names Entries(const SideList& side) {
  Names names;
  for (int i = 0; i < side.count(); ++i) names.push_back(side.item(i)->text().toStdString());
  return names;
}

// A file list of a.xlsx ... e.xlsx with the given entries selected.
class SideListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx", "d.xlsx", "e.xlsx"}) {
      folder_.AddFile(name);
    }
    files_.SetPath(folder_.path());
  }

  void SelectFiles(const std::vector<int>& rows) {
    files_.clearSelection();
    for (int row : rows) files_.item(row)->setSelected(true);
  }

  void SelectSide(const std::vector<int>& rows) {
    side_.clearSelection();
    for (int row : rows) side_.item(row)->setSelected(true);
  }

  testing::TempFolder folder_;
  FileList files_;
  SideList side_;
};

struct AddCase {
  const char* label;
  std::vector<int> selected;
  AddOrder order;
  Names added;
};

class SideListAdd : public SideListTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(SideListAdd, AppendsTheSelectedNamesInTheAskedOrderAndKeepsTheSelection) {
  side_.addItem("已有.xlsx");
  SelectFiles(GetParam().selected);

  AddSelectedFiles(files_, side_, GetParam().order);

  Names expected = {"已有.xlsx"};
  expected.insert(expected.end(), GetParam().added.begin(), GetParam().added.end());
  EXPECT_EQ(Entries(side_), expected);
  for (int row = 0; row < files_.count(); ++row) {
    const bool selected = std::count(GetParam().selected.begin(), GetParam().selected.end(), row);
    EXPECT_EQ(files_.Selected(static_cast<std::int16_t>(row)), selected) << row;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SideListAdd,
    ::testing::Values(
        AddCase{"TopToBottom", {0, 1, 2}, AddOrder::kTopToBottom, {"a.xlsx", "b.xlsx", "c.xlsx"}},
        AddCase{"BottomToTop", {0, 1, 2}, AddOrder::kBottomToTop, {"c.xlsx", "b.xlsx", "a.xlsx"}},
        AddCase{"GapsTopToBottom", {4, 1}, AddOrder::kTopToBottom, {"b.xlsx", "e.xlsx"}},
        AddCase{"GapsBottomToTop", {4, 1}, AddOrder::kBottomToTop, {"e.xlsx", "b.xlsx"}},
        AddCase{"NothingSelected", {}, AddOrder::kTopToBottom, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SideListTest, AddingTwiceAddsTheNamesTwice) {
  SelectFiles({3});
  AddSelectedFiles(files_, side_, AddOrder::kTopToBottom);
  AddSelectedFiles(files_, side_, AddOrder::kTopToBottom);
  EXPECT_EQ(Entries(side_), (Names{"d.xlsx", "d.xlsx"}));
}

TEST_F(SideListTest, EachAddedNameHasItsFullPathAsTooltip) {
  SelectFiles({1, 3});
  AddSelectedFiles(files_, side_, AddOrder::kTopToBottom);
  ASSERT_EQ(side_.count(), 2);
  EXPECT_EQ(side_.item(0)->toolTip().toStdString(), folder_.File("b.xlsx"));
  EXPECT_EQ(side_.item(1)->toolTip().toStdString(), folder_.File("d.xlsx"));
}

struct RemoveCase {
  const char* label;
  std::vector<int> selected;
  Names left;
};

class SideListRemove : public SideListTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(SideListRemove, RemovesExactlyTheSelectedEntries) {
  for (const char* name : {"0", "1", "2", "3", "4"}) side_.addItem(name);
  SelectSide(GetParam().selected);

  RemoveSelectedEntries(side_);

  EXPECT_EQ(Entries(side_), GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Selections, SideListRemove,
                         ::testing::Values(RemoveCase{"OneAndThree", {1, 3}, {"0", "2", "4"}},
                                           RemoveCase{"Neighbours", {1, 2}, {"0", "3", "4"}},
                                           RemoveCase{"FirstAndLast", {0, 4}, {"1", "2", "3"}},
                                           RemoveCase{"All", {0, 1, 2, 3, 4}, {}},
                                           RemoveCase{"None", {}, {"0", "1", "2", "3", "4"}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(SideListTest, RemovingFromAnEmptyListChangesNothing) {
  RemoveSelectedEntries(side_);
  EXPECT_EQ(side_.count(), 0);
}

TEST_F(SideListTest, AFullListTakesNothingMoreAndSaysHowManyWouldNotFit) {
  QStringList filler;
  for (int i = 0; i < 32766; ++i) filler << QString::number(i);
  side_.addItems(filler);
  SelectFiles({0});
  AddSelectedFiles(files_, side_, AddOrder::kTopToBottom);  // the 32767th entry still fits
  ASSERT_EQ(side_.count(), 32767);
  SelectFiles({1, 2});

  try {
    AddSelectedFiles(files_, side_, AddOrder::kTopToBottom);
    FAIL() << "the side list grew past 32767 entries";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 6);
    EXPECT_EQ(error.description(),
              "右侧列表最多容纳 32767 项，已有 32767 项，放不下所选的 2 个文件");
  }
  EXPECT_EQ(side_.count(), 32767);
  EXPECT_EQ(side_.item(32766)->text(), "a.xlsx");
}

TEST_F(SideListTest, RemovingAnEntryThatIsNotThereIsAnError) {
  side_.addItem("a");
  try {
    side_.RemoveItem(1);
    FAIL();
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 381);
    EXPECT_EQ(error.description(), "无效的属性数组索引：列表中没有第 1 项");
  }
  EXPECT_EQ(side_.count(), 1);
}

}  // namespace
}  // namespace tavrio::selection
