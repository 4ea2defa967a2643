#include "merge/conversions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "automation/error.h"

namespace tavrio::merge {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Length of the run of digits at the start of `text`.
std::size_t DigitRun(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && IsDigit(text[n])) ++n;
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

}  // namespace

double TextToDouble(std::string_view text) {
  std::string_view trimmed = TrimBlanks(text);
  if (!IsPlainNumber(trimmed)) throw TypeMismatch();
  // strtod needs a terminated string and follows the C locale here, whose decimal mark is ".".
  std::string digits(trimmed);
  double value = std::strtod(digits.c_str(), nullptr);
  if (!std::isfinite(value)) throw Overflow();
  return value;
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
  // %G already drops trailing zeros and writes the exponent as "E+15" / "E-05".
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
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
