// The window driving the embedded engine on generated sample workbooks: what a user sees after
// pressing the merge button, for a run that succeeds and one that fails half-way.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/form1.h"
#include "app/message_boxes.h"
#include "automation/base/error.h"
#include "automation/engine_host.h"
#include "bench/workbook_generator.h"
#include "selection/file_list.h"
#include "tests/support/temp_folder.h"

namespace tavrio::app {
namespace {

class NotedMessageBoxes : public MessageBoxes {
 public:
  void Inform(QWidget*, const QString& text) override { shown.push_back(text.toStdString()); }
  void ReportError(QWidget*, const Error& error) override { shown.push_back(FormatError(error)); }
  std::vector<std::string> shown;
};

class Form1Engine : public ::testing::Test {
 protected:
  Form1Engine() {
    bench::GenerateSamples(folder_.path());
    form_ = std::make_unique<Form1>(host_, boxes_, folder_.path());
    form_->show();
  }

  void SelectAllFiles() const { form_->findChild<selection::FileList*>("File1")->selectAll(); }
  void Press(const char* button) const { form_->findChild<QPushButton*>(button)->click(); }
  std::vector<std::string> OpenWorkbooks() { return host_.engine().WorkbookNames(); }

  testing::TempFolder folder_;
  automation::EngineHost host_;
  NotedMessageBoxes boxes_;
  std::unique_ptr<Form1> form_;
};

TEST_F(Form1Engine, MergesTheSelectedSamplesIntoOneNewWorkbook) {
  form_->findChild<QLineEdit*>("Text2")->setText("Sheet1");
  SelectAllFiles();

  Press("Command1");

  ASSERT_EQ(boxes_.shown, (std::vector<std::string>{"已完成，共合并文件4个文件！"}));
  EXPECT_EQ(OpenWorkbooks(), (std::vector<std::string>{"工作簿1"}));
  EXPECT_TRUE(host_.engine().ScreenUpdating());
  EXPECT_EQ(host_.engine().ActiveWorkbookName(), "工作簿1");
  // One header row, then every sample's data rows.
  EXPECT_GT(host_.engine().ActiveSheetLastUsedRow(), 4 * 10);
}

TEST_F(Form1Engine, ASheetNameNoWorkbookHasStopsAtTheFirstFileAndTheWindowStaysIdle) {
  SelectAllFiles();  // Text2 still holds its initial text, which names no sheet

  Press("Command1");

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "运行时错误 '9':\n\n下标越界：文件“" + folder_.path() +
                                 "/销售_2024年01月.xlsx”中没有名为“请输入工作表名称”的工作表。\n"
                                 "请在“工作表(sheet)名称”框中输入要合并的工作表的名称，"
                                 "或选择“工作表(sheet)序号”按位置选择工作表。");
  EXPECT_TRUE(host_.engine().ScreenUpdating());
  const std::vector<std::string> open = OpenWorkbooks();
  EXPECT_EQ(open, (std::vector<std::string>{"销售_2024年01月.xlsx"}));
  EXPECT_EQ(form_->findChild<selection::FileList*>("File1")->selectedItems().size(), 4);
  EXPECT_TRUE(form_->isVisible());
}

}  // namespace
}  // namespace tavrio::app
