#pragma once

#include <cstddef>
#include <string>

namespace tavrio::automation::engine {

// What a save that succeeded could not keep exactly. The file is written all the same; the
// caller shows the warning beside its success.
struct SaveReport {
  std::string path;
  // Cells whose text held something the file cannot carry (a surrogate on its own in a CSV,
  // bytes that are no UTF-8 in any format); each such character was written as U+FFFD.
  std::size_t replaced_texts = 0;
  // Sheets whose names a spreadsheet application would refuse (empty, too long, holding one of
  // []:*?/\, repeated), saved under a name changed just enough.
  std::size_t renamed_sheets = 0;
};

// The warning for `report` in Chinese, naming the file; empty when everything was kept.
std::string SaveWarning(const SaveReport& report);

}  // namespace tavrio::automation::engine
