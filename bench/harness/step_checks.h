#pragma once

// What each step must have produced, so that a program that exits 0 after skipping work is not
// timed as a fast one.

#include <filesystem>
#include <string>

#include "bench/harness/data_set.h"
#include "bench/harness/report.h"

namespace tavrio::bench {

// Rows a merge of a generated set yields: each workbook holds a header row above `rows` data
// rows, and only the first workbook's header is kept.
long ExpectedMergedRows(const DataSet& set);

// Empty when the step's printed summary (`output`) and its file (`merged_file`, for the steps
// that save one) show the whole work done; otherwise what is wrong, to show in the table.
std::string CheckStepResult(Step step, const DataSet& set, const std::string& output,
                            const std::filesystem::path& merged_file);

// The save step prints its own timing (tavrio-bench-merge --save): the run's wall and CPU time
// become those of the save alone. A run that printed none is left as it is, and
// CheckStepResult then reports it.
void KeepSaveTiming(Measurement& run);

}  // namespace tavrio::bench
