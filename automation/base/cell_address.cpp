#include "automation/base/cell_address.h"

#include "automation/base/ascii.h"
#include "automation/base/sheet_limits.h"

namespace tavrio::automation {

void AppendColumnLetters(std::uint32_t column, std::string& out) {
  char letters[8];
  std::size_t count = 0;
  for (; column > 0; column = (column - 1) / 26) {
    letters[count++] = static_cast<char>('A' + (column - 1) % 26);
  }
  while (count > 0) out += letters[--count];
}

std::string ColumnLetters(std::uint32_t column) {
  std::string letters;
  AppendColumnLetters(column, letters);
  return letters;
}

std::string CellReference(std::uint32_t row, std::uint32_t column) {
  return ColumnLetters(column) + std::to_string(row);
}

bool ParseCellRange(std::string_view text, CellRangeReference& range) {
  const std::size_t colon = text.find(':');
  CellRangeReference parsed;
  if (ParseCellReference(text.substr(0, colon), parsed.first_row, parsed.first_column) !=
      ReferenceStatus::kValid) {
    return false;
  }
  if (colon == std::string_view::npos) {
    parsed.last_row = parsed.first_row;
    parsed.last_column = parsed.first_column;
  } else if (ParseCellReference(text.substr(colon + 1), parsed.last_row, parsed.last_column) !=
             ReferenceStatus::kValid) {
    return false;
  }
  range = parsed;
  return true;
}

}  // namespace tavrio::automation
