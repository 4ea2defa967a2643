#pragma once

#include <cstdint>

#include "automation/engine/sheet.h"
#include "automation/engine/workbook.h"

namespace tavrio::automation::engine {

// Copies the cells of `range` on `from` (a sheet of `source`) to `to` (a sheet of `target`), the
// range's top-left cell landing at (row, column): values and styles; what stood in the target
// rectangle is replaced, blank source cells leave blanks. Merged ranges lying wholly inside the
// block move with it (the target's merged ranges the block lands on are dropped), and a block
// of whole rows brings its rows' heights. Formulas move their relative references by the
// distance the block moves (see ShiftFormula). `from` and `to` may be one sheet, even
// overlapping. The caller has checked that the rectangle fits on the sheet.
//
// Texts and styles move to the target workbook's pool and table once per distinct id, not once
// per cell, so the cost of a large paste is one pass over its cells.
void CopyCells(const Workbook& source, const Sheet& from, const CellRange& range, Workbook& target,
               Sheet& to, std::uint32_t row, std::uint32_t column);

}  // namespace tavrio::automation::engine
