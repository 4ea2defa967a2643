#pragma once

#include <string>

#include "automation/engine/workbook.h"

namespace tavrio::automation::writers {

// Saves `workbook` (all sheets loaded) at `path`: a path ending in .csv, in any case, gets the
// active sheet as CSV; any other gets .xlsx. The file is written under a temporary name in the
// target folder and renamed over `path` only when complete. Throws tavrio::Error naming `path`
// and saying why; no file is left behind then, and an existing file at `path` is untouched.
void SaveWorkbook(const engine::Workbook& workbook, const std::string& path);

// As SaveWorkbook for a .csv path, but with every sheet as one table (MakeContinuedCsvWriter).
void SaveContinuedSheetsAsCsv(const engine::Workbook& workbook, const std::string& path);

}  // namespace tavrio::automation::writers
