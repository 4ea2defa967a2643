#pragma once

// Cell addresses in the A1 style every spreadsheet file and message uses.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrio::automation {

// Appends the letters of a column: 1 "A", 26 "Z", 27 "AA", 16,384 "XFD". Nothing for 0.
void AppendColumnLetters(std::uint32_t column, std::string& out);
std::string ColumnLetters(std::uint32_t column);

// "B7" for row 7, column 2.
std::string CellReference(std::uint32_t row, std::uint32_t column);

enum class ReferenceStatus { kValid, kMalformed, kOutOfRange };

// Reads "B7" (letters in either case, then digits; no '$'). kOutOfRange for rows past 1,048,576
// or columns past XFD; `row` and `column` are set only when kValid.
ReferenceStatus ParseCellReference(std::string_view text, std::uint32_t& row,
                                   std::uint32_t& column);

}  // namespace tavrio::automation
