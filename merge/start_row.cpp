#include "merge/start_row.h"

#include <variant>

#include "merge/conversions.h"

namespace tavrio::merge {

std::string RowText(const automation::RowArgument& start_row) {
  if (const auto* number = std::get_if<std::int16_t>(&start_row)) return std::to_string(*number);
  return std::get<std::string>(start_row);
}

std::string NextRowText(const automation::RowArgument& start_row) {
  if (const auto* number = std::get_if<std::int16_t>(&start_row)) {
    return std::to_string(CheckedIncrement(*number));
  }
  return FormatDouble(TextToDouble(std::get<std::string>(start_row)) + 1.0);
}

std::string RowsArgument(const std::string& row_text) { return row_text + ":" + row_text; }

}  // namespace tavrio::merge
