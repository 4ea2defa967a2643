#pragma once

// Cell addresses in the A1 style every spreadsheet file and message uses.

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/base/sheet_limits.h"

namespace tavrio::automation {

// Appends the letters of a column: 1 "A", 26 "Z", 27 "AA", 16,384 "XFD". Nothing for 0.
void AppendColumnLetters(std::uint32_t column, std::string& out);
std::string ColumnLetters(std::uint32_t column);

// "B7" for row 7, column 2.
std::string CellReference(std::uint32_t row, std::uint32_t column);

enum class ReferenceStatus { kValid, kMalformed, kOutOfRange };

// Reads "B7" (letters in either case, then digits; no '$'). kOutOfRange for rows past 1,048,576
// or columns past XFD; `row` and `column` are set only when kValid. Inline: the sheet reader
// calls it for every cell.
inline ReferenceStatus ParseCellReference(std::string_view text, std::uint32_t& row,
                                          std::uint32_t& column) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* p = begin;
  std::uint32_t letters_value = 0;
  for (; p < end; ++p) {
    // Setting bit 5 lowers an ASCII letter and maps no other byte into 'a'..'z'.
    const unsigned letter = (static_cast<unsigned char>(*p) | 0x20u) - 'a';
    if (letter >= 26) break;
    if (p - begin == 3) return ReferenceStatus::kOutOfRange;
    letters_value = letters_value * 26 + letter + 1;
  }
  if (p == begin || p == end) return ReferenceStatus::kMalformed;
  // Eight digits at most; a ninth is out of range if it is a digit, malformed if not.
  const char* const last = end - p > 8 ? p + 8 : end;
  std::uint32_t number = 0;
  for (; p < last; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
    if (digit > 9) return ReferenceStatus::kMalformed;
    number = number * 10 + digit;
  }
  if (p < end) {
    const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
    return digit > 9 ? ReferenceStatus::kMalformed : ReferenceStatus::kOutOfRange;
  }
  if (number == 0) return ReferenceStatus::kMalformed;
  if (number > kMaxRows || letters_value > kMaxColumns) return ReferenceStatus::kOutOfRange;
  row = static_cast<std::uint32_t>(number);
  column = letters_value;
  return ReferenceStatus::kValid;
}

// A range as a file writes it: "B2:C7", or "B7" for that one cell. Its ends as written, not put
// in order ("C7:B2" gives first C7); false when either end is not a kValid reference.
struct CellRangeReference {
  std::uint32_t first_row = 0, first_column = 0;
  std::uint32_t last_row = 0, last_column = 0;
};
bool ParseCellRange(std::string_view text, CellRangeReference& range);

}  // namespace tavrio::automation
