#pragma once

// The start row as the merge run carries it (the 16-bit number 1, or the start row exactly as
// typed) and the row references made from it.

#include <string>

#include "automation/spreadsheet_application.h"

namespace tavrio::merge {

// The start row in text form: the number in decimal digits, a typed text unchanged.
std::string RowText(const automation::RowArgument& start_row);

// The row below the start row, in text form. A number gives number + 1; a typed text is read as a
// number first (" 5" gives "6", "2.5" gives "3.5"). Fails with 类型不匹配 (13) for a typed text
// that is not a number, with 溢出 (6) when a 16-bit number has no successor.
std::string NextRowText(const automation::RowArgument& start_row);

// The whole-rows reference for one row, "R:R".
std::string RowsArgument(const std::string& row_text);

}  // namespace tavrio::merge
