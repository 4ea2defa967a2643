// The side list's buttons and double-clicks, and Enter and Esc on the buttons.

#include <QTest>

#include "tests/app/form1_test_fixture.h"

namespace tavrio::app {
namespace {

using Form1SideList = Form1Test;
using Names = std::vector<std::string>;

TEST_F(Form1SideList, Command2AddsTheSelectedFilesTopToBottomEveryTimeItIsPressed) {
  Start();
  form_->show();
  SelectFiles({0, 1, 2});
  Click(Button("Command2"));
  Click(Button("Command2"));
  EXPECT_EQ(SideEntries(), (Names{"销售_二月.xlsx", "销售_三月.xlsx", "销售_一月.xlsx",
                                  "销售_二月.xlsx", "销售_三月.xlsx", "销售_一月.xlsx"}));
  EXPECT_EQ(File1()->selectedItems().size(), 3);
}

TEST_F(Form1SideList, Command2WithNothingSelectedAddsNothing) {
  Start();
  form_->show();
  Click(Button("Command2"));
  EXPECT_EQ(List1()->count(), 0);
}

TEST_F(Form1SideList, File1DblClickAddsTheSelectedFilesBottomToTop) {
  Start();
  SelectFiles({0, 1, 2});
  emit File1()->DblClick();
  EXPECT_EQ(SideEntries(), (Names{"销售_一月.xlsx", "销售_三月.xlsx", "销售_二月.xlsx"}));
}

TEST_F(Form1SideList, ADoubleClickOnAFileAddsJustThatFile) {
  Start();
  form_->show();
  SelectFiles({0, 2});
  DoubleClickEntry(File1(), 1);
  EXPECT_EQ(SideEntries(), (Names{"销售_三月.xlsx"}));
}

TEST_F(Form1SideList, Command3RemovesTheSelectedEntries) {
  Start();
  form_->show();
  List1()->addItems({"0", "1", "2", "3", "4"});
  List1()->item(1)->setSelected(true);
  List1()->item(3)->setSelected(true);
  Click(Button("Command3"));
  EXPECT_EQ(SideEntries(), (Names{"0", "2", "4"}));
}

TEST_F(Form1SideList, ADoubleClickOnAnEntryRemovesJustThatEntry) {
  Start();
  form_->show();
  List1()->addItems({"0", "1", "2"});
  List1()->item(0)->setSelected(true);
  DoubleClickEntry(List1(), 2);
  EXPECT_EQ(SideEntries(), (Names{"0", "1"}));
}

TEST_F(Form1SideList, Command6EmptiesTheListAndTheMergeNeverReadsIt) {
  Start();
  form_->show();
  List1()->addItems({"a", "b"});
  Click(Button("Command6"));
  EXPECT_EQ(List1()->count(), 0);
  Click(Button("Command6"));
  EXPECT_EQ(List1()->count(), 0);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Form1SideList, EnterClicksTheFocusedButtonOnlyAndEscClicksNothing) {
  Start();
  form_->show();
  SelectFiles({0});
  Button("Command2")->setFocus();
  QTest::keyClick(Button("Command2"), Qt::Key_Return);
  QTest::keyClick(Button("Command2"), Qt::Key_Escape);
  EXPECT_EQ(SideEntries(), (Names{"销售_二月.xlsx"}));
  EXPECT_TRUE(host_.log().calls().empty()) << "Enter must not start a merge from Command2";
  EXPECT_TRUE(form_->isVisible());
}

}  // namespace
}  // namespace tavrio::app
