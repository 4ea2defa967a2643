#pragma once

// A test double of the spreadsheet application, its host and its private instance, plus a fake of
// the window's merge controls. Every call is written to one shared log as readable text, in the
// order it was made ("OpenWorkbook(/d/a.xlsx)", "SelectSheet(2)", "SelectRows(3:3)"), and any
// call can be made to fail with a chosen tavrio::Error.
//
// Spelling of the log: texts that could be mistaken for numbers are quoted (SelectSheet("2") is
// a sheet name, SelectSheet(2) a position; GetCellValue("3",1) a typed row, GetCellValue(3,1) a
// number); paths, row references and window names are written bare. Calls on the private
// instance start with "Private.", reads of the merge controls with "Form.", and the host's
// calls are "GlobalContext()" and "CreatePrivateInstance()".

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/base/error.h"
#include "automation/spreadsheet_application.h"
#include "merge/merge_controls.h"

namespace tavrio::testing {

class CallLog {
 public:
  // Logs the call, then throws the error planned for it, if any: a failing call is in the log.
  void Record(std::string call);
  // Logs without ever throwing, for calls that cannot fail (a release).
  void RecordQuietly(std::string call);

  // Fails the n-th logged call (1-based, counting every call in the log).
  void FailAtCall(std::size_t n, Error error);
  // Fails the `occurrence`-th call (1-based, counted from now on) of an operation, named as in
  // the log without its arguments ("OpenWorkbook", "Private.SetVisible", "Form.Text3").
  void FailAt(const std::string& operation, int occurrence, Error error);
  void FailAtFirst(const std::string& operation, Error error) {
    FailAt(operation, 1, std::move(error));
  }

  const std::vector<std::string>& calls() const { return calls_; }
  // The log without the host's GlobalContext() calls and without reads of the merge controls:
  // what the application and the private instance were told to do, and the summary shown.
  std::vector<std::string> Sequence() const;

 private:
  struct PlannedFailure {
    std::optional<std::size_t> call_number;
    std::string operation;
    int calls_to_go;
    Error error;
  };
  std::vector<std::string> calls_;
  std::vector<PlannedFailure> failures_;
};

// The operation name of a logged call: the text before its "(".
std::string OperationOf(const std::string& call);

class RecordingApplication : public automation::ApplicationHost,
                             public automation::SpreadsheetApplication {
 public:
  // Logs into its own log, or into `log` when given (to share it with FakeMergeControls).
  explicit RecordingApplication(CallLog* log = nullptr);

  CallLog& log() { return *log_; }

  // Scripted answers. The active workbook's name follows a small model: an opened file's name is
  // the one scripted for its path or else the last part of the path, a new workbook is
  // 工作簿1, 工作簿2, ..., and ActivateWindow makes the named workbook active.
  void ScriptWorkbookName(const std::string& path, const std::string& name);
  // Values returned by GetCellValue in turn; once used up, `default_cell_value`.
  void ScriptCellValues(std::vector<automation::CellValue> values);
  automation::CellValue default_cell_value = std::string("标题");
  // Values returned by ActiveSheetLastUsedRow in turn; once used up, `default_last_used_row`.
  void ScriptLastUsedRows(std::vector<std::int32_t> rows);
  std::int32_t default_last_used_row = 5;

  // ApplicationHost
  automation::SpreadsheetApplication& GlobalContext() override;
  std::unique_ptr<automation::PrivateApplication> CreatePrivateInstance() override;

  // SpreadsheetApplication
  void SetScreenUpdating(bool on) override;
  void OpenWorkbook(const std::string& path) override;
  std::string ActiveWorkbookName() override;
  void SelectSheet(const automation::SheetSelector& sheet) override;
  automation::CellValue GetCellValue(const automation::RowArgument& row, int column) override;
  void SetCellText(const automation::RowArgument& row, int column,
                   const std::string& text) override;
  void SelectRows(const std::string& rows) override;
  void ExtendSelectionToLastUsedRow() override;
  void CopySelection() override;
  void AddWorkbook() override;
  void PasteIntoActiveSheet() override;
  void ActivateWindow(const std::string& name) override;
  void SetCutCopyMode(bool on) override;
  void CloseActiveWindow() override;
  std::int32_t ActiveSheetLastUsedRow() override;
  void SelectCell(std::int32_t row, int column) override;

 private:
  std::unique_ptr<CallLog> own_log_;
  CallLog* log_;
  std::map<std::string, std::string> names_by_path_;
  std::deque<automation::CellValue> cell_values_;
  std::deque<std::int32_t> last_used_rows_;
  std::string active_name_;
  int added_workbooks_ = 0;
};

// The merge controls as plain fields, in the state the window starts in, with a folder "/d".
class FakeMergeControls : public merge::MergeControls {
 public:
  struct Entry {
    std::string name;
    bool selected;
  };

  // Logs reads and the summary into `log` when given; keeps only the summaries otherwise.
  explicit FakeMergeControls(CallLog* log = nullptr) : log_(log) {}

  bool option1 = true;
  bool option2 = false;
  bool option3 = true;
  bool option4 = false;
  std::string text1 = "1";
  std::string text2 = "请输入工作表名称";
  std::string text3 = "1";
  std::string path = "/d";
  std::vector<Entry> entries;
  std::vector<std::string> summaries;
  // What SheetNameAdvice answers, whatever the name.
  std::string sheet_name_advice;

  // Adds selected entries with these names.
  void Select(const std::vector<std::string>& names);

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
  void ShowSummary(const std::string& message) override;
  std::string SheetNameAdvice(const std::string&) override { return sheet_name_advice; }

 private:
  void Log(std::string call);
  CallLog* log_;
};

}  // namespace tavrio::testing
