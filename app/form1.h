#pragma once

// Form1, the program's one window: the folder browser and side list on the left, the merge
// options, the merge button and EXIT on the right, a credit line along the bottom. It is also
// what the merge run reads its options and file selection from.

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "automation/spreadsheet_application.h"
#include "merge/merge_controls.h"
#include "selection/drive_list.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavrio::selection {
class FileList;
class FolderList;
class SideList;
}  // namespace tavrio::selection

namespace tavrio::app {

class MergeProgressDialog;
class MessageBoxes;

// What the sheet-name box holds until the user types: a prompt, yet read as a sheet name.
inline constexpr char kText2InitialText[] = "请输入工作表名称";

class Form1 : public QWidget, public merge::MergeControls {
  Q_OBJECT

 public:
  // Builds the window and its controls, browses `start_folder` (falling back to the home
  // folder, then the root, when it cannot be read) and runs Form_Load. Merge runs reach the
  // spreadsheet application through `host`; every message goes through `boxes`.
  Form1(automation::ApplicationHost& host, MessageBoxes& boxes, const std::string& start_folder,
        selection::DriveList::Provider drives = selection::SystemDrives, QWidget* parent = nullptr);

  // Told when a merge ends before its last file (it failed, or the user pressed 取消) after it
  // had created the merged workbook: its name and why it is incomplete.
  using IncompleteMergeHandler =
      std::function<void(const std::string& workbook, const std::string& reason)>;
  void SetIncompleteMergeHandler(IncompleteMergeHandler handler) {
    incomplete_merge_ = std::move(handler);
  }
  // How long a merge runs before its progress dialog shows (scripts and tests shorten it).
  void SetProgressDelay(int milliseconds) { progress_delay_ms_ = milliseconds; }

  // The merge run over the current options and file selection. Returns once the summary has
  // been dismissed; a failure propagates as tavrio::Error. A run that stops after creating the
  // merged workbook has it reported as incomplete, and its error says where the rows are.
  void CombineWorkbooks();

  // merge::MergeControls, read by the merge run.
  bool Option1() override;
  bool Option2() override;
  bool Option3() override;
  bool Option4() override;
  std::string Text1() override;
  std::string Text2() override;
  std::string Text3() override;
  std::string FilePath() override;
  std::int16_t FileListCount() override;
  std::string FileName(std::int16_t index) override;
  bool FileSelected(std::int16_t index) override;
  std::optional<ListedFile> PeekNextSelectedFile(std::int16_t index) override;
  void ShowSummary(const std::string& message) override;
  std::string SheetNameAdvice(const std::string& name) override;

 private:
  void CreateControls(selection::DriveList::Provider drives);
  void PlaceControls();
  void SetTabOrder();
  void ConnectHandlers();
  void BrowseStartFolder(const std::string& start_folder);

  // Runs one event handler. A failure stops it where it stands; `recover` puts the window back
  // into a consistent idle state, then the error is shown and the window stays as the user set
  // it.
  void RunHandler(const std::function<void()>& handler, const std::function<void()>& recover = {});
  void SwitchScreenUpdatingBackOn();
  void ReportIncomplete(const std::string& workbook, const std::string& reason);

  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command6_Click();
  void Drive1_Change();
  void Dir1_Change();
  void File1_DblClick();
  void List1_DblClick();
  void Option1_Click();
  void Option2_Click();
  void Option3_Click();
  void Option4_Click();

  automation::ApplicationHost& host_;
  MessageBoxes& boxes_;
  IncompleteMergeHandler incomplete_merge_;
  int progress_delay_ms_ = 500;
  MergeProgressDialog* progress_ = nullptr;  // while a merge runs

  QGroupBox* frame3_ = nullptr;
  selection::DriveList* drive1_ = nullptr;
  selection::FolderList* dir1_ = nullptr;
  selection::FileList* file1_ = nullptr;
  QPushButton* command2_ = nullptr;
  QPushButton* command3_ = nullptr;
  QPushButton* command6_ = nullptr;
  selection::SideList* list1_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  QRadioButton* option1_ = nullptr;
  QRadioButton* option2_ = nullptr;
  QLineEdit* text1_ = nullptr;
  QGroupBox* frame1_ = nullptr;
  QRadioButton* option3_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QRadioButton* option4_ = nullptr;
  QLineEdit* text3_ = nullptr;
  QPushButton* command1_ = nullptr;
  QPushButton* command4_ = nullptr;
  QLabel* label1_ = nullptr;
};

}  // namespace tavrio::app
