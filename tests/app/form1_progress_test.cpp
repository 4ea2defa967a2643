// A merge as a new user lives it: the busy cursor and the progress dialog while it runs, 取消,
// and a merge that stops part-way leaving an incomplete workbook that says so.

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <QTimer>

#include "app/merge_progress_dialog.h"
#include "tests/app/form1_test_fixture.h"

namespace tavrio::app {
namespace {

using Names = std::vector<std::string>;

class Form1Progress : public Form1Test {
 protected:
  void Start() {
    Form1Test::Start();
    form_->SetIncompleteMergeHandler([this](const std::string& workbook, const std::string& why) {
      incomplete.push_back(workbook + "|" + why);
    });
    form_->show();
    Click(Option("Option4"));  // by position: the recording application has no sheet names
  }

  int Opened() {
    int opened = 0;
    for (const std::string& call : host_.log().Sequence()) {
      if (testing::OperationOf(call) == "OpenWorkbook") ++opened;
    }
    return opened;
  }

  Names incomplete;
};

TEST_F(Form1Progress, AFailureAtTheThirdFileMarksTheMergedWorkbookIncompleteAndSaysWhere) {
  Start();
  SelectFiles({0, 1, 2});
  host_.log().FailAt("OpenWorkbook", 3, Error(1004, "无法打开文件“销售_一月.xlsx”：文件已损坏"));

  Click(Button("Command1"));

  EXPECT_EQ(incomplete, Names{"工作簿1|合并在第 3 个文件“销售_一月.xlsx”处停止"});
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(
      boxes_.shown[0].text,
      "运行时错误 '1004':\n\n无法打开文件“销售_一月.xlsx”：文件已损坏\n"
      "合并在第 3 个文件“销售_一月.xlsx”处停止，已经合并的行在“工作簿1”中，这个工作簿不完整。");
  EXPECT_FALSE(boxes_.shown[0].busy_cursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Form1Progress, AFailureBeforeAnyRowsWereMergedMarksNothing) {
  Start();
  SelectFiles({0, 1});
  host_.log().FailAtFirst("OpenWorkbook", Error(1004, "无法打开文件“销售_二月.xlsx”：文件不存在"));

  Click(Button("Command1"));

  EXPECT_TRUE(incomplete.empty());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "运行时错误 '1004':\n\n无法打开文件“销售_二月.xlsx”：文件不存在");
}

TEST_F(Form1Progress, CancelStopsAfterTheCurrentFileAndLeavesTheWorkbookMarked) {
  Start();
  form_->SetProgressDelay(0);
  SelectFiles({0, 1, 2});
  bool dialog_seen = false;
  // Runs inside the merge, the first time it lets its dialog respond.
  QTimer::singleShot(0, form_.get(), [&] {
    auto* dialog = form_->findChild<QProgressDialog*>("MergeProgress");
    if (dialog == nullptr) return;
    dialog_seen = dialog->isVisible();
    EXPECT_EQ(dialog->labelText(),
              QStringLiteral("正在合并第 1 个文件（共 3 个）：销售_二月.xlsx\n已合并 0 行"));
    dialog->cancel();
  });

  Click(Button("Command1"));

  EXPECT_TRUE(dialog_seen);
  EXPECT_EQ(Opened(), 1);
  EXPECT_EQ(incomplete, Names{"工作簿1|合并在第 2 个文件之前取消"});
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text,
            "合并在第 2 个文件之前取消，已经合并的行在“工作簿1”中，这个工作簿不完整。");
  EXPECT_EQ(boxes_.shown[0].error_number, 0);
  EXPECT_FALSE(boxes_.shown[0].busy_cursor);
  const Names sequence = host_.log().Sequence();
  EXPECT_EQ(sequence[sequence.size() - 2], "SetScreenUpdating(true)");
  EXPECT_EQ(form_->findChild<QProgressDialog*>("MergeProgress"), nullptr);
}

TEST_F(Form1Progress, AQuickMergeShowsNoDialogAndItsSummaryHasTheUsualCursor) {
  Start();
  SelectFiles({0, 1});
  bool dialog_seen = false;
  QTimer::singleShot(0, form_.get(), [&] {
    dialog_seen = form_->findChild<QProgressDialog*>("MergeProgress") != nullptr;
  });

  Click(Button("Command1"));

  EXPECT_FALSE(dialog_seen);
  EXPECT_TRUE(incomplete.empty());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "已完成，共合并文件2个文件！");
  EXPECT_FALSE(boxes_.shown[0].busy_cursor);
}

TEST(MergeProgressDialog, ShowsTheBusyCursorForItsLifetime) {
  {
    MergeProgressDialog progress(nullptr, 500);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(MergeProgressDialog, LabelNamesTheFileItsPlaceAndTheRowsSoFar) {
  EXPECT_EQ(MergeProgressDialog::LabelText(2, 40, "b.xlsx", 1048575),
            QStringLiteral("正在合并第 2 个文件（共 40 个）：b.xlsx\n已合并 1048575 行"));
}

struct AdviceCase {
  const char* what;
  const char* text2;
  bool advised;
};

class Form1SheetNameAdvice : public Form1Test, public ::testing::WithParamInterface<AdviceCase> {};

TEST_P(Form1SheetNameAdvice, TheInitialTextGetsAdviceOnWhatToDo) {
  Start();
  form_->show();
  Text("Text2")->setText(QString::fromUtf8(GetParam().text2));
  SelectFiles({0});
  const std::string missing =
      std::string("下标越界：文件“销售_二月.xlsx”中没有名为“") + GetParam().text2 + "”的工作表。";
  host_.log().FailAtFirst("SelectSheet", Error(9, missing));

  Click(Button("Command1"));

  ASSERT_EQ(boxes_.shown.size(), 1u);
  const std::string advice =
      "\n请在“工作表(sheet)名称”框中输入要合并的工作表的名称，或选择“工作表(sheet)"
      "序号”按位置选择工作表。";
  EXPECT_EQ(boxes_.shown[0].text,
            "运行时错误 '9':\n\n" + missing + (GetParam().advised ? advice : ""));
}

INSTANTIATE_TEST_SUITE_P(Texts, Form1SheetNameAdvice,
                         ::testing::Values(AdviceCase{"Initial", "请输入工作表名称", true},
                                           AdviceCase{"Typed", "数据", false}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace tavrio::app
