#pragma once

// What a merge run tells whoever watches it, and the one thing it asks back: whether to stop.
// The window implements it with a progress dialog; the batch mode passes none.

#include <cstdint>
#include <string>

namespace tavrio::merge {

class MergeProgress {
 public:
  virtual ~MergeProgress() = default;

  // Before the `file`-th selected file (1-based) of `files` is opened. `merged_rows` is the last
  // used row of the merged workbook so far (0 before the first file). A throw ends the run here,
  // as any failure of the run does.
  virtual void FileStarting(int file, int files, const std::string& name,
                            std::int32_t merged_rows) = 0;
  // The merged workbook was created (by the first file's paste) under this name.
  virtual void MergedWorkbookCreated(const std::string& name) = 0;
  // Asked between files, never during one: true ends the run before the next file is opened,
  // with screen updating back on and no summary shown.
  virtual bool StopRequested() = 0;
};

}  // namespace tavrio::merge
