#include "batch/batch_controls.h"

#include <utility>

namespace tavrio::batch {

BatchControls::BatchControls(const BatchOptions& options, std::vector<InputFile> files,
                             ProgressCallback progress, std::vector<SheetEntry> sheets)
    : start_row_(options.start_row),
      sheet_name_(options.sheet_name),
      sheet_index_(options.sheet_index.value_or("1")),
      files_(std::move(files)),
      sheets_(std::move(sheets)),
      progress_(std::move(progress)) {}

std::string BatchControls::Text3() {
  return sheets_.empty() ? sheet_index_ : std::to_string(sheets_.at(current_).position);
}

std::string BatchControls::FilePath() { return files_.at(current_).folder; }

std::int16_t BatchControls::FileListCount() {
  // ResolveInputs keeps the list within 16 bits.
  return static_cast<std::int16_t>(files_.size());
}

std::string BatchControls::FileName(std::int16_t index) {
  current_ = static_cast<std::size_t>(index);
  return files_.at(current_).name;
}

std::optional<merge::MergeControls::ListedFile> BatchControls::PeekNextSelectedFile(
    std::int16_t index) {
  const std::size_t next = static_cast<std::size_t>(index) + 1;
  if (!sheets_.empty() || next >= files_.size()) return std::nullopt;
  return ListedFile{static_cast<std::int16_t>(next), files_[next].folder, files_[next].name};
}

bool BatchControls::FileSelected(std::int16_t index) {
  current_ = static_cast<std::size_t>(index);
  if (progress_) {
    std::string name = files_.at(current_).name;
    if (!sheets_.empty()) name += " / " + sheets_.at(current_).name;
    progress_(index, static_cast<int>(files_.size()), name);
  }
  return true;
}

}  // namespace tavrio::batch
