#include "app/sheets/cell_display.h"

#include "app/sheets/number_format_text.h"

namespace tavrio::app::sheets {

using automation::engine::CellType;

CellDisplay DisplayCell(const automation::engine::Workbook& workbook,
                        const automation::engine::Cell& cell) {
  switch (cell.type) {
    case CellType::kNumber: {
      const std::string& code = workbook.styles().Get(cell.style).number_format;
      return {FormatNumber(cell.number, code), CellAlignment::kRight,
              NumberColor(cell.number, code)};
    }
    case CellType::kText:
      return {std::string(workbook.strings().Get(cell.string_id)), CellAlignment::kLeft,
              TextColor(workbook.styles().Get(cell.style).number_format)};
    case CellType::kBoolean:
      return {cell.boolean ? "TRUE" : "FALSE", CellAlignment::kCenter, std::nullopt};
    case CellType::kError:
      return {std::string(workbook.strings().Get(cell.string_id)), CellAlignment::kCenter,
              std::nullopt};
    case CellType::kBlank:
      break;
  }
  return {};
}

}  // namespace tavrio::app::sheets
