#pragma once

// Array formulas as a sheet holds them: the range each fills, its formula on the range's
// top-left cell, its other cells holding its results as plain values.

#include <span>
#include <vector>

#include "automation/engine/formula_table.h"
#include "automation/engine/sheet.h"

namespace tavrio::automation::engine {

// Which of `arrays` (ordered by top-left cell, row then column) can stand as array formulas
// among `formulas` (ordered likewise): one whose top-left cell holds a formula, whose range holds
// no other formula, and which overlaps no array before it. A file can say anything; a saved
// workbook with two arrays over one cell, or a formula inside an array, is one spreadsheet
// applications call damaged. One pass over both, whatever the arrays' sizes.
std::vector<bool> UsableArrays(std::span<const CellRange> arrays,
                               std::span<const FormulaRef> formulas);

// Row-major order of top-left cells.
inline bool ArrayBefore(const CellRange& a, const CellRange& b) {
  return a.first_row != b.first_row ? a.first_row < b.first_row : a.first_column < b.first_column;
}

}  // namespace tavrio::automation::engine
