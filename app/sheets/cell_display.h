#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "automation/engine/cell.h"
#include "automation/engine/workbook.h"

namespace tavrio::app::sheets {

// Where a value sits in its cell when nothing else is said: numbers (dates too) to the right,
// text to the left, truth values and errors centred, as desktop spreadsheet applications do.
enum class CellAlignment { kLeft, kRight, kCenter };

struct CellDisplay {
  std::string text;
  CellAlignment alignment = CellAlignment::kLeft;
  std::optional<std::uint32_t> color;  // 0xRRGGBB from the number format, if it names one
};

// What the grid shows for `cell` of `workbook`: numbers through their style's number format,
// text exactly as stored, each in the colour its number format names, TRUE / FALSE, errors as
// spelled ("#N/A"), nothing for a blank. A formula's cell holds its last value and shows it the
// same way.
CellDisplay DisplayCell(const automation::engine::Workbook& workbook,
                        const automation::engine::Cell& cell);

}  // namespace tavrio::app::sheets
