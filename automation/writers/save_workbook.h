#pragma once

#include <string>

#include "automation/engine/save_report.h"
#include "automation/engine/workbook.h"

namespace tavrio::automation::writers {

// Saves `workbook` (all sheets loaded) at `path`: a path ending in .csv, in any case, gets the
// active sheet as CSV; any other gets .xlsx. The file is written under a temporary name in the
// target folder and renamed over `path` only when complete. Throws tavrio::Error naming `path`
// and saying why; no file is left behind then, and an existing file at `path` is untouched. On
// return the file's content and its name in the folder are flushed to the disk. The report
// counts the texts the format could not carry exactly.
engine::SaveReport SaveWorkbook(const engine::Workbook& workbook, const std::string& path);

// As SaveWorkbook for a .csv path, but with every sheet as one table (MakeContinuedCsvWriter).
engine::SaveReport SaveContinuedSheetsAsCsv(const engine::Workbook& workbook,
                                            const std::string& path);

}  // namespace tavrio::automation::writers
