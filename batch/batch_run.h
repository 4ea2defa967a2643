#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tavrio::batch {

// Exit codes of tavrio-merge.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the merge or the save failed
inline constexpr int kExitUsage = 2;    // the command line is wrong

// The whole batch merge: reads the arguments, merges the inputs with the same merge run as the
// window on the embedded engine, saves the merged workbook to the output path and writes the
// summary to `out`. On failure writes the error to `err` and leaves no output file. With
// `show_progress`, keeps one line on `err` updated with the file being merged.
int RunBatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
             bool show_progress);

}  // namespace tavrio::batch
