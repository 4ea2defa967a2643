#include "merge/combine_workbooks.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "automation/base/error.h"
#include "merge/conversions.h"
#include "merge/start_row.h"
#include "merge/summary.h"

namespace tavrio::merge {
namespace {

using automation::CellValue;
using automation::RowArgument;
using automation::SheetSelector;
using automation::SpreadsheetApplication;

// The directory separator of this platform. The folder and the name are joined as they are: a
// folder that already ends in one (the root) gives a doubled separator, which the file system
// reads as a single one.
constexpr char kPathSeparator[] = "/";

// How many files after the next one a run announces: two, so that the application still has
// one to read while the run, waiting at an open, reads another itself (see WorkbookReadAhead).
constexpr std::size_t kFilesAnnouncedAfterNext = 2;

// Whether the first file's header cell gets the placeholder: an empty cell or a text of length
// zero, never a number, a boolean or an error value (an error value is content, not a blank).
bool IsEmptyText(const CellValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return true;
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr && text->empty();
}

// The box the sheet position is typed in, as its option is captioned.
constexpr char kPositionBox[] = "工作表(sheet)序号";

// A conversion failure of the typed sheet position, naming the box and what was typed after the
// number's own leading text, as the start row's failures do.
Error PositionError(const Error& error, const std::string& typed) {
  if (error.number() == error_number::kTypeMismatch) {
    return Error(error.number(),
                 error.description() + "：“" + typed + "”不是" + kPositionBox + "。");
  }
  if (error.number() == error_number::kOverflow) {
    return Error(error.number(), error.description() + "：" + kPositionBox + "“" + typed +
                                     "”超出 -32768 到 32767 的范围。");
  }
  return error;
}

template <typename Convert>
std::int16_t SheetPosition(Convert convert, const std::string& typed) {
  try {
    return convert(typed);
  } catch (const Error& error) {
    throw PositionError(error, typed);
  }
}

class MergeRun {
 public:
  MergeRun(MergeControls& controls, automation::ApplicationHost& host, MergeProgress* progress)
      : controls_(controls), host_(host), progress_(progress) {}
  MergeRun(const MergeRun&) = delete;
  MergeRun& operator=(const MergeRun&) = delete;
  // A run that announced files leaves nothing reading behind, whether it ended before the file
  // it announced (failed or stopped) or after the last.
  ~MergeRun() {
    if (announced_) app_->CancelExpectedOpen();
  }

  void Run() {
    App().SetScreenUpdating(false);
    ReadOptions();
    ExpectFirstFile();
    const std::int32_t bound = std::int32_t{controls_.FileListCount()} - 1;
    const int files = progress_ ? CountSelected(bound) : 0;
    for (std::int32_t index = 0; index <= bound; ++index) {
      const auto list_index = static_cast<std::int16_t>(index);
      if (!controls_.FileSelected(list_index)) continue;
      if (progress_) {
        if (!IsFirstFile() && progress_->StopRequested()) return StopEarly();
        progress_->FileStarting(counter_, files, controls_.FileName(list_index), merged_rows_);
      }
      MergeFile(list_index);
      counter_ = CheckedIncrement(counter_);
    }
    App().SetScreenUpdating(true);
    controls_.ShowSummary(SummaryText(std::int32_t{counter_} - 1));
  }

 private:
  // The application is asked for before every use: the first ask starts it, and a start that
  // fails ends the run at the step that needed it.
  SpreadsheetApplication& App() {
    app_ = &host_.GlobalContext();
    return *app_;
  }

  bool IsFirstFile() const { return counter_ == 1; }

  int CountSelected(std::int32_t bound) {
    int selected = 0;
    for (std::int32_t index = 0; index <= bound; ++index) {
      if (controls_.FileSelected(static_cast<std::int16_t>(index))) ++selected;
    }
    return selected;
  }

  // A stop asked for between files: what was merged stays, and the windows show again.
  void StopEarly() { App().SetScreenUpdating(true); }

  // Only a watched run reads the merged workbook back: the plain run's calls stay the bare
  // sequence of opens, copies and pastes.
  void NoteMergedRows() {
    if (progress_) merged_rows_ = App().ActiveSheetLastUsedRow();
  }

  // What is read here of the sheet is kept only to announce the first file: the sheet is read
  // again for every file.
  void ReadOptions() {
    if (controls_.Option1()) start_row_ = std::int16_t{1};
    if (controls_.Option2()) start_row_ = controls_.Text1();
    if (controls_.Option3()) first_sheet_ = controls_.Text2();
    if (controls_.Option4()) {
      // A check too: a position that cannot be converted fails before any workbook is opened.
      const std::string typed = controls_.Text3();
      const std::int16_t later = SheetPosition(RoundToInt16, typed);
      if (!first_sheet_) KeepFirstPosition(typed, later);
    }
  }

  // The first file's sheet is the position rounded down, every later file's the nearest.
  void KeepFirstPosition(const std::string& typed, std::int16_t later) {
    try {
      const std::int16_t first = FloorToInt16(typed);
      first_sheet_ = first;
      same_sheet_after_first_ = first == later;
    } catch (const Error&) {
      // The first file's own choice of its sheet fails with this, at its step.
    }
  }

  // Tells the application, before the first open, which file comes first and the ones after
  // it that will be asked for the same sheet, so that the first file is not read alone.
  void ExpectFirstFile() {
    if (!first_sheet_) return;
    const std::optional<MergeControls::ListedFile> first = controls_.PeekNextSelectedFile(-1);
    if (!first) return;
    const std::vector<std::string> then =
        same_sheet_after_first_ ? FilesAfter(first->index) : std::vector<std::string>();
    app_->ExpectOpen(PathOf(*first), *first_sheet_, then);
    announced_ = true;
  }

  // The paths of the kFilesAnnouncedAfterNext selected files after the entry `index`, or as
  // many as there are.
  std::vector<std::string> FilesAfter(std::int16_t index) {
    std::vector<std::string> files;
    std::optional<MergeControls::ListedFile> next;
    while (files.size() < kFilesAnnouncedAfterNext &&
           (next = controls_.PeekNextSelectedFile(index))) {
      files.push_back(PathOf(*next));
      index = next->index;
    }
    return files;
  }

  void MergeFile(std::int16_t index) {
    std::string path = controls_.FilePath();
    path += kPathSeparator;
    path += controls_.FileName(index);
    App().OpenWorkbook(path);
    if (!private_instance_) private_instance_ = host_.CreatePrivateInstance();
    private_instance_->SetVisible(true);
    const std::string source_name = App().ActiveWorkbookName();
    const SheetSelector sheet = ChooseSheet();
    SelectSourceSheet(sheet);
    ExpectNextFile(index, sheet);
    if (IsFirstFile()) {
      CopyFirstBlock(source_name);
    } else {
      AppendLaterBlock(source_name);
    }
  }

  SheetSelector ChooseSheet() {
    if (controls_.Option3()) return controls_.Text2();
    position_text_ = controls_.Text3();
    return IsFirstFile() ? SheetPosition(FloorToInt16, position_text_)
                         : SheetPosition(RoundToInt16, position_text_);
  }

  // Tells the application which file comes next, and the kFilesAnnouncedAfterNext after it, so
  // that it can read them while this one is pasted. The announcement is no step of the run: it
  // asks the controls nothing they log, reuses the application the sheet was just selected on,
  // and a next sheet that cannot be told in advance leaves the next file unannounced.
  void ExpectNextFile(std::int16_t index, const SheetSelector& sheet) {
    const std::optional<MergeControls::ListedFile> next = controls_.PeekNextSelectedFile(index);
    if (!next) return;
    SheetSelector next_sheet = sheet;
    if (IsFirstFile() && std::holds_alternative<std::int16_t>(sheet)) {
      try {
        next_sheet = RoundToInt16(position_text_);
      } catch (const Error&) {
        return;
      }
    }
    app_->ExpectOpen(PathOf(*next), next_sheet, FilesAfter(next->index));
    announced_ = true;
  }

  static std::string PathOf(const MergeControls::ListedFile& file) {
    return file.folder + kPathSeparator + file.name;
  }

  void SelectSourceSheet(const SheetSelector& sheet) {
    try {
      App().SelectSheet(sheet);
    } catch (const Error& error) {
      const auto* name = std::get_if<std::string>(&sheet);
      if (name == nullptr || error.number() != error_number::kSubscriptOutOfRange) throw;
      const std::string advice = controls_.SheetNameAdvice(*name);
      if (advice.empty()) throw;
      throw Error(error.number(), error.description() + "\n" + advice);
    }
  }

  void CopyFirstBlock(const std::string& source_name) {
    if (IsEmptyText(App().GetCellValue(start_row_, 1))) App().SetCellText(start_row_, 1, "aaa");
    SelectBlockFrom(RowText(start_row_));
    App().CopySelection();
    App().AddWorkbook();
    App().PasteIntoActiveSheet();
    merged_name_ = App().ActiveWorkbookName();
    if (progress_) progress_->MergedWorkbookCreated(merged_name_);
    NoteMergedRows();
    CloseSource(source_name);
  }

  void AppendLaterBlock(const std::string& source_name) {
    SelectBlockFrom(NextRow());
    App().CopySelection();
    App().ActivateWindow(merged_name_);
    const std::int32_t append_row = CheckedIncrement(App().ActiveSheetLastUsedRow());
    App().SelectCell(append_row, 1);
    App().PasteIntoActiveSheet();
    NoteMergedRows();
    CloseSource(source_name);
  }

  void SelectBlockFrom(const std::string& first_row) {
    App().SelectRows(RowsArgument(first_row));
    App().ExtendSelectionToLastUsedRow();
  }

  // The start row's successor; a typed start row that is not a number is named as the
  // application names a row it cannot read.
  std::string NextRow() const {
    try {
      return NextRowText(start_row_);
    } catch (const Error& error) {
      const auto* typed = std::get_if<std::string>(&start_row_);
      if (typed == nullptr || error.number() != error_number::kTypeMismatch) throw;
      throw Error(error.number(), error.description() + "：“" + *typed + "”不是行号。");
    }
  }

  void CloseSource(const std::string& source_name) {
    App().ActivateWindow(source_name);
    App().SetCutCopyMode(false);
    App().CloseActiveWindow();
  }

  MergeControls& controls_;
  automation::ApplicationHost& host_;
  MergeProgress* progress_;
  std::int32_t merged_rows_ = 0;
  // Neither start option on is a state the window never reaches; the row stays the number 0,
  // which the application refuses as a row.
  RowArgument start_row_ = std::int16_t{0};
  std::int16_t counter_ = 1;
  std::string merged_name_;
  std::unique_ptr<automation::PrivateApplication> private_instance_;
  SpreadsheetApplication* app_ = nullptr;  // the application the run last asked for
  std::string position_text_;              // the sheet position as last typed
  // The first file's sheet as the options read before any file said, when it could be told, and
  // whether every later file's is the same.
  std::optional<SheetSelector> first_sheet_;
  bool same_sheet_after_first_ = true;
  bool announced_ = false;                 // a file was announced to the application
};

}  // namespace

void CombineWorkbooks(MergeControls& controls, automation::ApplicationHost& host,
                      MergeProgress* progress) {
  MergeRun(controls, host, progress).Run();
}

}  // namespace tavrio::merge
