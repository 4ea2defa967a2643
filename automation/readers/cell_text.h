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

namespace number_text {

// The powers of ten a double holds exactly: 10^22 is the last below 2^53 * 2^22.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The decimal `text` holds when its digits make an integer of at most 2^53 scaled by a power
// of ten from 10^-22 to 10^22: both are doubles exactly, so one IEEE multiplication or
// division rounds the result correctly, to the very double from_chars gives (Clinger's
// observation). Only "-? digits (. digits)? ([eE] [+-]? digits)?" is read; false for any other
// spelling or size, which from_chars then reads. Every number cell passes here: on the
// benchmark's million set this takes ~95 instructions a number where from_chars took ~190
// (`valgrind --tool=callgrind build-bench/bench/harness/tavrio-bench-merge` on two of its files).
inline bool ExactShortDecimal(const char* p, const char* const end, double& value) {
  const bool negative = p < end && *p == '-';
  p += negative;
  // More than 19 digits may wrap around; they are refused below, before the value is used.
  std::uint64_t digits = 0;
  int scale = 0;  // the power of ten the digits are multiplied by
  const char* const integer = p;
  while (p < end && IsAsciiDigit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
  if (p == integer) return false;
  std::ptrdiff_t count = p - integer;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && IsAsciiDigit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    if (p == fraction) return false;
    count += p - fraction;
    scale = -static_cast<int>(p - fraction);
  }
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negative_exponent = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char* const exponent_digits = p;
    int exponent = 0;
    for (; p < end && IsAsciiDigit(*p) && p - exponent_digits < 4; ++p) {
      exponent = exponent * 10 + (*p - '0');
    }
    if (p == exponent_digits) return false;
    scale += negative_exponent ? -exponent : exponent;
  }
  if (p != end || count > 19 || digits > (std::uint64_t{1} << 53) || scale < -22 || scale > 22) {
    return false;
  }
  double result = static_cast<double>(digits);
  result = scale < 0 ? result / kExactPowersOfTen[-scale] : result * kExactPowersOfTen[scale];
  value = negative ? -result : result;
  return true;
}

}  // namespace number_text

// A plain decimal number as spreadsheet XML holds it; false for anything else, including
// infinities and NaN, which no cell can hold. Inline: the sheet reader calls it for every number.
inline bool ParseNumber(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || !(IsAsciiDigit(text.front()) || text.front() == '-' || text.front() == '.')) {
    return false;
  }
  const char* const end = text.data() + text.size();
  if (number_text::ExactShortDecimal(text.data(), end, value)) return true;
  auto [stop, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && stop == end && std::isfinite(value);
}

// "2024-01-15", "2024-01-15T10:30:00.5", "10:30:00" (time only) to a serial number in the
// 1900 (counting its fictitious 1900-02-29) or 1904 date system. False when malformed or before
// the system's first day.
bool ParseIsoDate(std::string_view text, bool date1904, double& serial);

// Decodes _xHHHH_ escapes (UTF-16 code units, surrogate pairs joined) into UTF-8. Returns `text`
// itself when it holds none, else a view of `scratch`.
std::string_view DecodeEscapes(std::string_view text, std::string& scratch);

}  // namespace tavrio::automation::readers
