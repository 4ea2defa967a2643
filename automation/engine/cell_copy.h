#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automation/engine/sheet.h"
#include "automation/engine/workbook.h"

namespace tavrio::automation::engine {

// Copies the cells of `range` on `from` (a sheet of `source`) to `to` (a sheet of `target`), the
// range's top-left cell landing at (row, column): values and styles; what stood in the target
// rectangle is replaced, blank source cells leave blanks. Merged ranges lying wholly inside the
// block move with it (the target's merged ranges the block lands on are dropped), and a block
// of whole rows brings its rows' heights. Formulas move their relative references by the
// distance the block moves (see ShiftFormula). An array formula lying wholly inside the block
// moves with it, range and all; one the block cuts through lands as its values, and one of the
// target the block lands on part of becomes its values. `from` and `to` may be one sheet, even
// overlapping. The caller has checked that the rectangle fits on the sheet.
//
// Texts and styles move to the target workbook's pool and table once per distinct id, not once
// per cell, so the cost of a large paste is one pass over its cells.
void CopyCells(const Workbook& source, const Sheet& from, const CellRange& range, Workbook& target,
               Sheet& to, std::uint32_t row, std::uint32_t column);

// Where the columns of a block of whole rows land when they do not all move together, and what
// is added to each row.
struct ColumnPlan {
  // The target column of source column c at [c - 1]; 0 drops the column's cells. Columns past
  // the end keep their number. An empty plan keeps every column where it was.
  std::vector<std::uint32_t> target;
  // When given, every copied row that holds a value gets this text as its last cell, at
  // `trailing_column`, in the default style.
  std::optional<std::string> trailing_text;
  std::uint32_t trailing_column = 0;
};

// What CopyPlannedRows could not carry over as it was.
struct PlannedCopyResult {
  // Formulas whose references could not be moved with certainty, or array formulas that could
  // not land whole while columns moved: their cells keep their last values. The first such
  // cell's place in the target, for a note to the user.
  std::size_t formulas_kept_as_values = 0;
  std::uint32_t first_value_row = 0;
  std::uint32_t first_value_column = 0;
  // Rows whose data reaches `trailing_column`, so that no trailing text was added to them.
  std::size_t rows_without_room = 0;
};

// As CopyCells for the whole rows `first_row..last_row` of `from` landing at `row` of `to`, with
// their cells placed by `plan`. Formulas move as in CopyCells when the plan moves no column;
// otherwise each reference follows the cell it pointed at (MoveFormulaColumns), and where that
// cannot be known for certain the cell keeps its value without its formula (calculate the
// source sheet first, CalculateSheet, for a value the file did not store). A merged range goes
// along only while its columns stay side by side; so does an array formula, whose formula
// must follow its columns too: otherwise it lands as its values, counted with the formulas
// above. `from` and `to` must be different sheets.
PlannedCopyResult CopyPlannedRows(const Workbook& source, const Sheet& from,
                                  std::uint32_t first_row, std::uint32_t last_row, Workbook& target,
                                  Sheet& to, std::uint32_t row, const ColumnPlan& plan);

}  // namespace tavrio::automation::engine
