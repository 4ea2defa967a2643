#pragma once

// Decoding of the small texts inside sheet XML: numbers, ISO 8601 dates and
// the _xHHHH_ escapes that spreadsheet applications use for characters XML cannot hold.
// None of these allocate unless a text really holds an escape.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/base/ascii.h"

namespace tavrio::automation::readers {

// Exactly `width` ASCII digits at `at` of `text` (no sign), as the fixed fields of a date hold
// them; false when the text is shorter or any of them is not a digit.
bool ParseDigits(std::string_view text, std::size_t at, std::size_t width, int& value);

// A plain decimal number as spreadsheet XML holds it; false for anything else, including
// infinities and NaN, which no cell can hold. Inline: the sheet reader calls it for every number.
inline bool ParseNumber(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || !(IsAsciiDigit(text.front()) || text.front() == '-' || text.front() == '.')) {
    return false;
  }
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// "2024-01-15", "2024-01-15T10:30:00.5", "10:30:00" (time only) to a serial number in the
// 1900 (counting its fictitious 1900-02-29) or 1904 date system. False when malformed or before
// the system's first day.
bool ParseIsoDate(std::string_view text, bool date1904, double& serial);

// Decodes _xHHHH_ escapes (UTF-16 code units, surrogate pairs joined) into UTF-8. Returns `text`
// itself when it holds none, else a view of `scratch`.
std::string_view DecodeEscapes(std::string_view text, std::string& scratch);

}  // namespace tavrio::automation::readers
