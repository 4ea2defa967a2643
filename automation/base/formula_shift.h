#pragma once

// Moving a formula's references as a spreadsheet application does when it copies the formula.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavrio::automation {

// The formula (its text without the leading '=') as it reads `rows` rows lower and `columns`
// columns further right: relative rows and columns of every reference move, the parts marked
// absolute with '$' stay. Both ends of a range move (A1:B2, whole rows 2:5, whole columns A:C);
// a reference into another sheet ('Sheet 2'!A1, [1]Data!A1) keeps its sheet's name and moves
// like any other. A reference moved past the sheet's edge (row 1 or 1,048,576, column A or XFD)
// becomes #REF!, the whole range with it. Texts in quotes, function names, defined names,
// numbers and error values are left as they are.
std::string ShiftFormula(std::string_view formula, std::int64_t rows, std::int64_t columns);

// The formula after its sheet's columns were rearranged and its block moved `rows` rows: the
// cell in column c went to column `columns[c - 1]`, so every reference's column, relative or
// absolute, follows the cell it pointed at; rows move as in ShiftFormula. Empty when where a
// reference should point cannot be known for certain: its column has no place (0 or past the
// end of `columns`), a range's columns no longer lie side by side in their order, or it points
// into another sheet, whose cells did not move.
std::optional<std::string> MoveFormulaColumns(std::string_view formula, std::int64_t rows,
                                              std::span<const std::uint32_t> columns);

}  // namespace tavrio::automation
