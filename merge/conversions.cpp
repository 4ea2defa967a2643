#include "merge/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "automation/base/ascii.h"
#include "automation/base/error.h"

namespace tavrio::merge {
namespace {

using automation::AsciiUppercase;
using automation::IsAsciiDigit;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Length of the run of digits at the start of `text`.
std::size_t DigitRun(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && IsAsciiDigit(text[n])) ++n;
  return n;
}

// True when `text` (already trimmed) is exactly: [sign] digits [. digits] [e [sign] digits],
// with at least one digit in the mantissa.
bool IsPlainNumber(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  std::size_t mantissa_digits = DigitRun(text.substr(pos));
  pos += mantissa_digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    std::size_t fraction_digits = DigitRun(text.substr(pos));
    pos += fraction_digits;
    mantissa_digits += fraction_digits;
  }
  if (mantissa_digits == 0) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    std::size_t exponent_digits = DigitRun(text.substr(pos));
    if (exponent_digits == 0) return false;
    pos += exponent_digits;
  }
  return pos == text.size();
}

std::int16_t ToInt16(double whole) {
  if (whole < std::numeric_limits<std::int16_t>::min() ||
      whole > std::numeric_limits<std::int16_t>::max()) {
    throw Overflow();
  }
  return static_cast<std::int16_t>(whole);
}

// Whether a plain number that a double cannot hold is too small rather than too large: its
// first significant digit stands below the decimal point once the exponent is applied.
bool BelowSmallestDouble(std::string_view number) {
  const std::size_t exponent_mark = number.find_first_of("eE");
  std::int64_t exponent = 0;
  if (exponent_mark != std::string_view::npos) {
    std::string_view digits = number.substr(exponent_mark + 1);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '+' || negative)) digits.remove_prefix(1);
    // A longer exponent than this is beyond any double either way; its sign alone decides.
    digits = digits.substr(0, 9);
    std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
    if (negative) exponent = -exponent;
  }
  const std::string_view mantissa = number.substr(0, exponent_mark);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first_significant = mantissa.find_first_not_of("0.");
  if (first_significant == std::string_view::npos) return true;
  const auto position = first_significant < point
                            ? static_cast<std::int64_t>(point - first_significant) - 1
                            : -static_cast<std::int64_t>(first_significant - point);
  return position + exponent < 0;
}

}  // namespace

double TextToDouble(std::string_view text) {
  std::string_view trimmed = TrimBlanks(text);
  if (!IsPlainNumber(trimmed)) throw TypeMismatch();
  // from_chars reads "." as the decimal mark whatever the process locale says (a window toolkit
  // sets it from the user's environment, and under de_DE strtod would read "2.7" as 2).
  const bool negative = trimmed.front() == '-';
  if (trimmed.front() == '+' || negative) trimmed.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (!BelowSmallestDouble(trimmed)) throw Overflow();
    value = 0;  // too small to hold: zero, as typing it into a cell gives
  }
  return negative ? -value : value;
}

std::int16_t RoundToInt16(std::string_view text) {
  double value = TextToDouble(text);
  // nearbyint rounds in the current rounding mode, which is to nearest with ties to even unless
  // someone changed it; do the tie-breaking ourselves so that no caller can change the answer.
  double lower = std::floor(value);
  double fraction = value - lower;
  double rounded = lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) rounded = lower + 1.0;
  return ToInt16(rounded);
}

std::int16_t FloorToInt16(std::string_view text) { return ToInt16(std::floor(TextToDouble(text))); }

std::string FormatDouble(double value) {
  if (value == 0.0) return "0";  // never "-0"
  // The general form with 15 digits drops trailing zeros and writes the exponent as "e+15" /
  // "e-05", as printf's %G does, but never with the locale's decimal mark.
  char buffer[40];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
  std::string text(buffer, end);
  for (char& c : text) c = AsciiUppercase(c);
  return text;
}

std::int16_t CheckedIncrement(std::int16_t value) {
  if (value == std::numeric_limits<std::int16_t>::max()) throw Overflow();
  return static_cast<std::int16_t>(value + 1);
}

std::int32_t CheckedIncrement(std::int32_t value) {
  if (value == std::numeric_limits<std::int32_t>::max()) throw Overflow();
  return value + 1;
}

}  // namespace tavrio::merge
