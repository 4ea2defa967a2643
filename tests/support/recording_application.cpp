#include "tests/support/recording_application.h"

#include <algorithm>
#include <utility>
#include <variant>

namespace tavrio::testing {
namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string BoolText(bool value) { return value ? "true" : "false"; }

std::string RowText(const automation::RowArgument& row) {
  if (const auto* number = std::get_if<std::int16_t>(&row)) return std::to_string(*number);
  return Quote(std::get<std::string>(row));
}

std::string SheetText(const automation::SheetSelector& sheet) {
  if (const auto* position = std::get_if<std::int16_t>(&sheet)) return std::to_string(*position);
  return Quote(std::get<std::string>(sheet));
}

std::string LastPathPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

template <typename T>
T TakeOr(std::deque<T>& queue, const T& fallback) {
  if (queue.empty()) return fallback;
  T value = std::move(queue.front());
  queue.pop_front();
  return value;
}

class RecordingPrivateApplication : public automation::PrivateApplication {
 public:
  explicit RecordingPrivateApplication(CallLog& log) : log_(log) {}
  ~RecordingPrivateApplication() override { log_.RecordQuietly("Private.Release()"); }
  void SetVisible(bool visible) override {
    log_.Record("Private.SetVisible(" + BoolText(visible) + ")");
  }

 private:
  CallLog& log_;
};

}  // namespace

std::string OperationOf(const std::string& call) { return call.substr(0, call.find('(')); }

void CallLog::Record(std::string call) {
  calls_.push_back(std::move(call));
  const std::string operation = OperationOf(calls_.back());
  std::optional<std::size_t> due;
  for (std::size_t i = 0; i < failures_.size(); ++i) {
    PlannedFailure& planned = failures_[i];
    const bool hit = planned.call_number
                         ? *planned.call_number == calls_.size()
                         : planned.operation == operation && --planned.calls_to_go == 0;
    if (hit && !due) due = i;
  }
  if (!due) return;
  Error error = failures_[*due].error;
  failures_.erase(failures_.begin() + static_cast<std::ptrdiff_t>(*due));
  throw error;
}

void CallLog::RecordQuietly(std::string call) { calls_.push_back(std::move(call)); }

void CallLog::FailAtCall(std::size_t n, Error error) {
  failures_.push_back({n, "", 0, std::move(error)});
}

void CallLog::FailAt(const std::string& operation, int occurrence, Error error) {
  failures_.push_back({std::nullopt, operation, occurrence, std::move(error)});
}

std::vector<std::string> CallLog::Sequence() const {
  std::vector<std::string> sequence;
  for (const std::string& call : calls_) {
    if (call == "GlobalContext()") continue;
    if (call.starts_with("Form.") && !call.starts_with("Form.ShowSummary(")) continue;
    sequence.push_back(call);
  }
  return sequence;
}

RecordingApplication::RecordingApplication(CallLog* log)
    : own_log_(log ? nullptr : std::make_unique<CallLog>()), log_(log ? log : own_log_.get()) {}

void RecordingApplication::ScriptWorkbookName(const std::string& path, const std::string& name) {
  names_by_path_[path] = name;
}

void RecordingApplication::ScriptCellValues(std::vector<automation::CellValue> values) {
  cell_values_.assign(values.begin(), values.end());
}

void RecordingApplication::ScriptLastUsedRows(std::vector<std::int32_t> rows) {
  last_used_rows_.assign(rows.begin(), rows.end());
}

automation::SpreadsheetApplication& RecordingApplication::GlobalContext() {
  log_->Record("GlobalContext()");
  return *this;
}

std::unique_ptr<automation::PrivateApplication> RecordingApplication::CreatePrivateInstance() {
  log_->Record("CreatePrivateInstance()");
  return std::make_unique<RecordingPrivateApplication>(*log_);
}

void RecordingApplication::SetScreenUpdating(bool on) {
  log_->Record("SetScreenUpdating(" + BoolText(on) + ")");
}

void RecordingApplication::OpenWorkbook(const std::string& path) {
  log_->Record("OpenWorkbook(" + path + ")");
  auto scripted = names_by_path_.find(path);
  active_name_ = scripted != names_by_path_.end() ? scripted->second : LastPathPart(path);
}

std::string RecordingApplication::ActiveWorkbookName() {
  log_->Record("ActiveWorkbookName()");
  return active_name_;
}

void RecordingApplication::SelectSheet(const automation::SheetSelector& sheet) {
  log_->Record("SelectSheet(" + SheetText(sheet) + ")");
}

automation::CellValue RecordingApplication::GetCellValue(const automation::RowArgument& row,
                                                         int column) {
  log_->Record("GetCellValue(" + RowText(row) + "," + std::to_string(column) + ")");
  return TakeOr(cell_values_, default_cell_value);
}

void RecordingApplication::SetCellText(const automation::RowArgument& row, int column,
                                       const std::string& text) {
  log_->Record("SetCellText(" + RowText(row) + "," + std::to_string(column) + "," + Quote(text) +
               ")");
}

void RecordingApplication::SelectRows(const std::string& rows) {
  log_->Record("SelectRows(" + rows + ")");
}

void RecordingApplication::ExtendSelectionToLastUsedRow() {
  log_->Record("ExtendSelectionToLastUsedRow()");
}

void RecordingApplication::CopySelection() { log_->Record("CopySelection()"); }

void RecordingApplication::AddWorkbook() {
  log_->Record("AddWorkbook()");
  active_name_ = "工作簿" + std::to_string(++added_workbooks_);
}

void RecordingApplication::PasteIntoActiveSheet() { log_->Record("PasteIntoActiveSheet()"); }

void RecordingApplication::ActivateWindow(const std::string& name) {
  log_->Record("ActivateWindow(" + name + ")");
  active_name_ = name;
}

void RecordingApplication::SetCutCopyMode(bool on) {
  log_->Record("SetCutCopyMode(" + BoolText(on) + ")");
}

void RecordingApplication::CloseActiveWindow() {
  log_->Record("CloseActiveWindow()");
  active_name_.clear();
}

std::int32_t RecordingApplication::ActiveSheetLastUsedRow() {
  log_->Record("ActiveSheetLastUsedRow()");
  return TakeOr(last_used_rows_, default_last_used_row);
}

void RecordingApplication::SelectCell(std::int32_t row, int column) {
  log_->Record("SelectCell(" + std::to_string(row) + "," + std::to_string(column) + ")");
}

void FakeMergeControls::Select(const std::vector<std::string>& names) {
  for (const std::string& name : names) entries.push_back({name, true});
}

void FakeMergeControls::Log(std::string call) {
  if (log_) log_->Record("Form." + std::move(call));
}

bool FakeMergeControls::Option1() {
  Log("Option1()");
  return option1;
}

bool FakeMergeControls::Option2() {
  Log("Option2()");
  return option2;
}

bool FakeMergeControls::Option3() {
  Log("Option3()");
  return option3;
}

bool FakeMergeControls::Option4() {
  Log("Option4()");
  return option4;
}

std::string FakeMergeControls::Text1() {
  Log("Text1()");
  return text1;
}

std::string FakeMergeControls::Text2() {
  Log("Text2()");
  return text2;
}

std::string FakeMergeControls::Text3() {
  Log("Text3()");
  return text3;
}

std::string FakeMergeControls::FilePath() {
  Log("FilePath()");
  return path;
}

std::int16_t FakeMergeControls::FileListCount() {
  Log("FileListCount()");
  return static_cast<std::int16_t>(entries.size());
}

std::string FakeMergeControls::FileName(std::int16_t index) {
  Log("FileName(" + std::to_string(index) + ")");
  return entries.at(index).name;
}

bool FakeMergeControls::FileSelected(std::int16_t index) {
  Log("FileSelected(" + std::to_string(index) + ")");
  return entries.at(index).selected;
}

void FakeMergeControls::ShowSummary(const std::string& message) {
  Log("ShowSummary(" + message + ")");
  summaries.push_back(message);
}

}  // namespace tavrio::testing
