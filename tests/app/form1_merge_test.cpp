// The merge button: a run from the file selection to the summary message, and failures that
// return the window to idle with everything the user set kept.

#include <algorithm>

#include "tests/app/form1_test_fixture.h"

namespace tavrio::app {
namespace {

using Form1Merge = Form1Test;
using Names = std::vector<std::string>;

Names Opened(testing::CallLog& log) {
  Names opened;
  for (const std::string& call : log.Sequence()) {
    if (testing::OperationOf(call) == "OpenWorkbook") opened.push_back(call);
  }
  return opened;
}

TEST_F(Form1Merge, MergesTheSelectedFilesInListOrderAndShowsTheSummary) {
  Start();
  form_->show();
  SelectFiles({2, 0});

  Click(Button("Command1"));

  EXPECT_EQ(Opened(host_.log()), (Names{"OpenWorkbook(" + folder_.path() + "/销售_二月.xlsx)",
                                        "OpenWorkbook(" + folder_.path() + "/销售_一月.xlsx)"}));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "已完成，共合并文件2个文件！");
  EXPECT_EQ(boxes_.shown[0].error_number, 0);
  EXPECT_EQ(File1()->selectedItems().size(), 2);
}

// What the run announces to the engine as the next file: the next selected entry of File1,
// in the folder FilePath answers, skipping entries not selected.
TEST_F(Form1Merge, PeekTellsTheNextSelectedEntry) {
  Start();
  form_->show();
  SelectFiles({2, 0});
  const auto next = form_->PeekNextSelectedFile(0);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->index, 2);
  EXPECT_EQ(next->folder, form_->FilePath());
  EXPECT_EQ(next->name, File1()->List(2));
  EXPECT_FALSE(form_->PeekNextSelectedFile(2));
  EXPECT_TRUE(File1()->Selected(0));
  EXPECT_FALSE(File1()->Selected(1));
}

TEST_F(Form1Merge, TheOptionsReachTheRunAsSet) {
  Start();
  form_->show();
  Click(Option("Option2"));
  Text("Text1")->setText("3");
  Click(Option("Option4"));
  Text("Text3")->setText("2");
  SelectFiles({0});

  form_->CombineWorkbooks();

  const Names sequence = host_.log().Sequence();
  EXPECT_NE(std::find(sequence.begin(), sequence.end(), "SelectSheet(2)"), sequence.end());
  EXPECT_NE(std::find(sequence.begin(), sequence.end(), "SelectRows(3:3)"), sequence.end());
  EXPECT_EQ(boxes_.shown.back().text, "已完成，共合并文件1个文件！");
}

TEST_F(Form1Merge, WithNothingSelectedTheSummarySaysZero) {
  Start();
  form_->show();
  Click(Button("Command1"));
  EXPECT_TRUE(Opened(host_.log()).empty());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "已完成，共合并文件0个文件！");
}

TEST_F(Form1Merge, AFailedMergeIsReportedAndTheWindowKeepsEverythingTheUserSet) {
  Start();
  form_->show();
  Click(Option("Option2"));
  Text("Text1")->setText("2");
  Text("Text2")->setText("明细");
  SelectFiles({0, 1});
  List1()->addItems({"甲.xlsx", "乙.xlsx"});
  List1()->item(1)->setSelected(true);
  host_.log().FailAtFirst("SelectSheet",
                          Error(9, "工作簿“销售_二月.xlsx”中没有名为“明细”的工作表"));

  Click(Button("Command1"));

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].error_number, 9);
  EXPECT_EQ(boxes_.shown[0].text,
            "运行时错误 '9':\n\n工作簿“销售_二月.xlsx”中没有名为“明细”的工作表");
  EXPECT_EQ(host_.log().Sequence().back(), "SetScreenUpdating(true)");
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(Option("Option2")->isChecked());
  EXPECT_TRUE(Option("Option3")->isChecked());
  EXPECT_TRUE(Text("Text1")->isEnabled());
  EXPECT_EQ(Text("Text1")->text().toStdString(), "2");
  EXPECT_EQ(Text("Text2")->text().toStdString(), "明细");
  EXPECT_TRUE(File1()->Selected(0));
  EXPECT_TRUE(File1()->Selected(1));
  EXPECT_FALSE(File1()->Selected(2));
  EXPECT_EQ(SideEntries(), (Names{"甲.xlsx", "乙.xlsx"}));
  EXPECT_TRUE(List1()->item(1)->isSelected());

  // Back to idle: the next press runs a whole merge again.
  Click(Button("Command1"));
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[1].text, "已完成，共合并文件2个文件！");
}

TEST_F(Form1Merge, ATypedSheetPositionThatIsNotANumberStopsTheRunBeforeAnyOpen) {
  Start();
  form_->show();
  Click(Option("Option4"));
  Text("Text3")->setText("abc");
  SelectFiles({0});

  Click(Button("Command1"));

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "运行时错误 '13':\n\n类型不匹配：“abc”不是工作表(sheet)序号。");
  EXPECT_TRUE(Opened(host_.log()).empty());
  EXPECT_EQ(host_.log().Sequence().back(), "SetScreenUpdating(true)");
}

TEST_F(Form1Merge, ASpreadsheetApplicationThatCannotStartIsReportedOnce) {
  Start();
  form_->show();
  host_.log().FailAtCall(1, Error(429, "无法启动电子表格程序"));

  Click(Button("Command1"));

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "运行时错误 '429':\n\n无法启动电子表格程序");
}

TEST_F(Form1Merge, ExitClosesTheWindowWithoutTouchingTheSpreadsheetApplication) {
  Start();
  form_->show();
  List1()->addItems({"a"});
  Click(Button("Command4"));
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(host_.log().calls().empty());
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Form1Merge, TheCloseButtonEndsLikeExit) {
  Start();
  form_->show();
  EXPECT_TRUE(form_->close());
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(host_.log().calls().empty());
}

}  // namespace
}  // namespace tavrio::app
