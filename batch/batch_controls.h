#pragma once

// The merge controls of the batch mode: the flags stand for the option buttons and text boxes,
// the input files for a file list in which every entry is selected.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/input_files.h"
#include "merge/merge_controls.h"

namespace tavrio::batch {

class BatchControls : public merge::MergeControls {
 public:
  // Called as each file's turn comes: its 0-based index, the number of files and its name
  // ("name / sheet" for an entry of one sheet).
  using ProgressCallback = std::function<void(int index, int count, const std::string& name)>;

  // `sheets`, when given, holds the sheet of each entry of `files` (--all-sheets).
  BatchControls(const BatchOptions& options, std::vector<InputFile> files,
                ProgressCallback progress = nullptr, std::vector<SheetEntry> sheets = {});

  bool Option1() override { return !start_row_; }
  bool Option2() override { return start_row_.has_value(); }
  bool Option3() override { return sheet_name_.has_value(); }
  bool Option4() override { return !sheet_name_; }
  std::string Text1() override { return start_row_.value_or("1"); }
  std::string Text2() override { return sheet_name_.value_or("请输入工作表名称"); }
  // An entry for one sheet (--all-sheets) asks for that sheet by its position.
  std::string Text3() override;

  // Each input has its own folder, and the merge run asks for the folder without an index:
  // the answer is the folder of the entry it last asked about (whether it is selected, which
  // the run always asks first, or its name).
  std::string FilePath() override;
  std::int16_t FileListCount() override;
  std::string FileName(std::int16_t index) override;
  bool FileSelected(std::int16_t index) override;
  // The next input; nothing with --all-sheets, whose next entry is mostly another sheet of
  // the same file, which the run chooses itself.
  std::optional<ListedFile> PeekNextSelectedFile(std::int16_t index) override;

  void ShowSummary(const std::string& message) override { summary_ = message; }
  // The summary the run ended with; empty until it has.
  const std::string& summary() const { return summary_; }

 private:
  std::optional<std::string> start_row_;
  std::optional<std::string> sheet_name_;
  std::string sheet_index_;
  std::vector<InputFile> files_;
  std::vector<SheetEntry> sheets_;
  ProgressCallback progress_;
  std::size_t current_ = 0;
  std::string summary_;
};

}  // namespace tavrio::batch
