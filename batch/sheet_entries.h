#pragma once

#include <vector>

#include "batch/input_files.h"

namespace tavrio::batch {

// --all-sheets: each file becomes one entry per visible sheet, in the workbook's order, files
// in their order. Reads only each workbook's list of sheets. Throws tavrio::Error naming the
// file when it cannot be read or shows no sheet, and when the entries are more than one merge
// run can count (32,766).
// `files` holds each file once per entry, `sheets` the entry's sheet.
struct SheetEntries {
  std::vector<InputFile> files;
  std::vector<SheetEntry> sheets;
};
SheetEntries VisibleSheetEntries(const std::vector<InputFile>& files);

}  // namespace tavrio::batch
