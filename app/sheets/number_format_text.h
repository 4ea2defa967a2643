#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrio::app::sheets {

// What a cell holding `value` shows under the number format `code`, as a desktop spreadsheet
// application in a Chinese locale shows it in a wide enough column:
// - up to four sections (positive; negative; zero; text); a negative number in the second
//   section loses its minus sign, as the section spells its own;
// - "General": whole numbers as they are, others with up to 11 characters, very large or very
//   small ones in scientific notation ("1.23457E+11");
// - digits 0 # ?, the decimal point, thousands separators, trailing commas (division by 1000),
//   percent, scientific notation, quoted and escaped literals, currency tags;
// - dates and times from serial day numbers in the 1900 date system (serial 60 is the
//   1900-02-29 that system counts); a date format with a value no date can show (negative, or
//   past 9999-12-31) shows "########", as a spreadsheet application does.
std::string FormatNumber(double value, std::string_view code);

// The colour (0xRRGGBB) the section that shows `value` gives it, as in "[Red]-0.00" or
// "0;[红色]-0"; none when that section names no colour. Text takes the fourth section's colour.
std::optional<std::uint32_t> NumberColor(double value, std::string_view code);
std::optional<std::uint32_t> TextColor(std::string_view code);

}  // namespace tavrio::app::sheets
