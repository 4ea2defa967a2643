#pragma once

// What the merge run reads from the window, and the one thing it shows there. The window
// implements it over its controls; the batch mode over its command-line flags. Each value is
// read at the moment the merge run needs it, so a read may fail (throw tavrio::Error) at
// exactly that step.

#include <cstdint>
#include <optional>
#include <string>

namespace tavrio::merge {

class MergeControls {
 public:
  virtual ~MergeControls() = default;

  // The option buttons: Option1 start at row 1, Option2 start row typed in Text1,
  // Option3 sheet by the name in Text2, Option4 sheet by the position in Text3.
  virtual bool Option1() = 0;
  virtual bool Option2() = 0;
  virtual bool Option3() = 0;
  virtual bool Option4() = 0;

  // The text boxes, exactly as typed.
  virtual std::string Text1() = 0;
  virtual std::string Text2() = 0;
  virtual std::string Text3() = 0;

  // The file list: its folder, entry count, entries (bare names) and their selection.
  virtual std::string FilePath() = 0;
  virtual std::int16_t FileListCount() = 0;
  virtual std::string FileName(std::int16_t index) = 0;
  virtual bool FileSelected(std::int16_t index) = 0;

  // Shows the summary message and returns once the user has dismissed it.
  virtual void ShowSummary(const std::string& message) = 0;

  // An entry of the file list, with what the merge run joins into its path.
  struct ListedFile {
    std::int16_t index;
    std::string folder;
    std::string name;
  };

  // Not one of the run's reads: the first selected entry after `index` (-1 for the first
  // selected entry of all), with what FilePath and FileName will answer for it, so that the
  // application can read that file ahead. Nothing when no entry follows or when these controls
  // cannot tell without a read that shows or changes anything (the default). A wrong answer
  // costs time, never correctness. Never throws.
  virtual std::optional<ListedFile> PeekNextSelectedFile(std::int16_t /*index*/) {
    return std::nullopt;
  }

  // Added to the "no such sheet" failure when the sheet was chosen by the name `name`: what the
  // user can do about it. Empty (nothing added) unless the controls know better.
  virtual std::string SheetNameAdvice(const std::string& /*name*/) { return {}; }
};

}  // namespace tavrio::merge
