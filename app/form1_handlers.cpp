// The event handlers of Form1, each named after its control and event, and the one place where
// a failure in any of them is turned into a message.

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <new>
#include <optional>

#include "app/form1.h"
#include "app/merge_progress_dialog.h"
#include "app/message_boxes.h"
#include "automation/base/error.h"
#include "merge/combine_workbooks.h"
#include "selection/file_list.h"
#include "selection/folder_list.h"
#include "selection/side_list.h"

namespace tavrio::app {
namespace {

std::string FailedAt(const MergeProgressDialog& progress) {
  return "合并在第 " + std::to_string(progress.file()) + " 个文件“" + progress.file_name() +
         "”处停止";
}

std::string CancelledBefore(const MergeProgressDialog& progress) {
  return "合并在第 " + std::to_string(progress.file() + 1) + " 个文件之前取消";
}

std::string WhereTheRowsAre(const std::string& merged_name) {
  return "已经合并的行在“" + merged_name + "”中，这个工作簿不完整。";
}

// Numbers for the failures that do not come as tavrio::Error.
using error_number::kInternalError;
using error_number::kOutOfMemory;

void ConnectOption(QRadioButton* option, const std::function<void()>& on_click) {
  // An option button raises Click when it is turned on, by the user or by code.
  QObject::connect(option, &QRadioButton::toggled, option, [on_click](bool on) {
    if (on) on_click();
  });
}

}  // namespace

void Form1::ConnectHandlers() {
  connect(command1_, &QPushButton::clicked, this, [this] {
    RunHandler([this] { Command1_Click(); }, [this] { SwitchScreenUpdatingBackOn(); });
  });
  connect(command2_, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Command2_Click(); }); });
  connect(command3_, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Command3_Click(); }); });
  connect(command4_, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Command4_Click(); }); });
  connect(command6_, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Command6_Click(); }); });
  connect(drive1_, &selection::DriveList::Change, this, [this] {
    RunHandler([this] { Drive1_Change(); }, [this] { drive1_->ShowDriveOf(dir1_->Path()); });
  });
  connect(dir1_, &selection::FolderList::OpenRequested, this, [this](const std::string& folder) {
    RunHandler([this, folder] {
      dir1_->SetPath(folder);
      drive1_->ShowDriveOf(dir1_->Path());
    });
  });
  connect(file1_, &selection::FileList::DblClick, this,
          [this] { RunHandler([this] { File1_DblClick(); }); });
  connect(list1_, &selection::SideList::DblClick, this,
          [this] { RunHandler([this] { List1_DblClick(); }); });
  ConnectOption(option1_, [this] { RunHandler([this] { Option1_Click(); }); });
  ConnectOption(option2_, [this] { RunHandler([this] { Option2_Click(); }); });
  ConnectOption(option3_, [this] { RunHandler([this] { Option3_Click(); }); });
  ConnectOption(option4_, [this] { RunHandler([this] { Option4_Click(); }); });
}

void Form1::RunHandler(const std::function<void()>& handler, const std::function<void()>& recover) {
  std::optional<Error> failure;
  try {
    handler();
    return;
  } catch (const Error& error) {
    failure = error;
  } catch (const std::bad_alloc&) {
    failure = Error(kOutOfMemory, "内存不足");
  } catch (const std::exception& error) {
    failure = Error(kInternalError, std::string("内部错误：") + error.what());
  }
  if (recover) recover();
  boxes_.ReportError(this, *failure);
}

void Form1::SwitchScreenUpdatingBackOn() {
  // The run switched it off first thing; left off, the spreadsheet windows would stop showing
  // what they hold. When the application itself cannot be reached there is nothing to switch.
  try {
    host_.GlobalContext().SetScreenUpdating(true);
  } catch (const Error&) {
  }
}

void Form1::CombineWorkbooks() {
  MergeProgressDialog progress(this, progress_delay_ms_);
  // The run reads File1 by index; its entries must not move under it.
  file1_->HoldChanges(true);
  progress_ = &progress;
  struct Release {
    Form1* form;
    ~Release() {
      form->file1_->HoldChanges(false);
      form->progress_ = nullptr;
    }
  } release{this};
  try {
    merge::CombineWorkbooks(*this, host_, &progress);
  } catch (const Error& error) {
    const std::string& merged = progress.merged_name();
    if (merged.empty()) throw;
    ReportIncomplete(merged, FailedAt(progress));
    throw Error(error.number(),
                error.description() + "\n" + FailedAt(progress) + "，" + WhereTheRowsAre(merged));
  } catch (...) {
    // Out of memory or a fault of our own: the workbook is no less incomplete for it.
    if (!progress.merged_name().empty())
      ReportIncomplete(progress.merged_name(), FailedAt(progress));
    throw;
  }
  if (!progress.stopped()) return;
  ReportIncomplete(progress.merged_name(), CancelledBefore(progress));
  progress.Finish();
  boxes_.Inform(this, QString::fromStdString(CancelledBefore(progress) + "，" +
                                             WhereTheRowsAre(progress.merged_name())));
}

void Form1::ReportIncomplete(const std::string& workbook, const std::string& reason) {
  if (incomplete_merge_) incomplete_merge_(workbook, reason);
}

std::string Form1::SheetNameAdvice(const std::string& name) {
  if (name != kText2InitialText) return {};
  return "请在“工作表(sheet)名称”框中输入要合并的工作表的名称，或选择“工作表(sheet)"
         "序号”按位置选择工作表。";
}

void Form1::Form_Load() {
  option1_->setChecked(true);
  option2_->setChecked(false);
  option3_->setChecked(true);
  option4_->setChecked(false);
  text1_->setEnabled(false);
  text2_->setEnabled(true);
  text3_->setEnabled(false);
}

void Form1::Command1_Click() { CombineWorkbooks(); }

void Form1::Command2_Click() {
  selection::AddSelectedFiles(*file1_, *list1_, selection::AddOrder::kTopToBottom);
}

void Form1::File1_DblClick() {
  selection::AddSelectedFiles(*file1_, *list1_, selection::AddOrder::kBottomToTop);
}

void Form1::Command3_Click() { selection::RemoveSelectedEntries(*list1_); }

void Form1::List1_DblClick() { selection::RemoveSelectedEntries(*list1_); }

void Form1::Command6_Click() { list1_->clear(); }

// The window goes at once. The spreadsheet windows a merge left open stay until the user closes
// them, and the program ends with the last window.
void Form1::Command4_Click() { close(); }

void Form1::Drive1_Change() { dir1_->SetPath(drive1_->Drive()); }

void Form1::Dir1_Change() { file1_->SetPath(dir1_->Path()); }

void Form1::Option1_Click() { text1_->setEnabled(false); }

void Form1::Option2_Click() { text1_->setEnabled(true); }

void Form1::Option3_Click() {
  text2_->setEnabled(true);
  text3_->setEnabled(false);
}

void Form1::Option4_Click() {
  text2_->setEnabled(false);
  text3_->setEnabled(true);
}

}  // namespace tavrio::app
