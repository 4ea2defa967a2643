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

ReferenceStatus ParseCellReference(std::string_view text, std::uint32_t& row,
                                   std::uint32_t& column) {
  std::size_t i = 0;
  std::uint32_t letters_value = 0;
  for (; i < text.size() && IsAsciiLetter(text[i]); ++i) {
    if (i == 3) return ReferenceStatus::kOutOfRange;
    letters_value = letters_value * 26 + (AsciiUppercase(text[i]) - 'A' + 1);
  }
  if (i == 0 || i == text.size()) return ReferenceStatus::kMalformed;
  std::uint64_t number = 0;
  for (std::size_t j = i; j < text.size(); ++j) {
    if (!IsAsciiDigit(text[j])) return ReferenceStatus::kMalformed;
    if (j - i >= 8) return ReferenceStatus::kOutOfRange;
    number = number * 10 + (text[j] - '0');
  }
  if (number == 0) return ReferenceStatus::kMalformed;
  if (number > kMaxRows || letters_value > kMaxColumns) return ReferenceStatus::kOutOfRange;
  row = static_cast<std::uint32_t>(number);
  column = letters_value;
  return ReferenceStatus::kValid;
}

}  // namespace tavrio::automation
