#pragma once

#include <string>

#include "automation/engine/engine.h"

namespace tavrio::automation::testing {

// The calls a merge run makes for one file, on its sheet `sheet` (a name or a 1-based position):
// the first file from row 1 into a new workbook, whose name goes into `merged`; every later one
// from row 2, appended below.
void MergeSheet(Engine& engine, const std::string& path, const SheetSelector& sheet, bool first,
                std::string& merged);

}  // namespace tavrio::automation::testing
