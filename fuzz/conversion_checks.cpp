// Checks of the typed-number conversions: besides surviving any text, they must agree with
// each other. A text that converts to an integer converts to the double it rounds from, and a
// double printed by FormatDouble reads back as the same number to 15 digits.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "automation/base/error.h"
#include "fuzz/input_checks.h"
#include "merge/conversions.h"

namespace tavrio::fuzz {
namespace {

std::string CheckIntegers(std::string_view text, double value) {
  try {
    std::int16_t floor = merge::FloorToInt16(text);
    if (floor != std::floor(value)) return "FloorToInt16 disagrees with TextToDouble";
  } catch (const Error& error) {
    if (error.number() != error_number::kOverflow) return "FloorToInt16 fails a number";
    if (std::floor(value) >= -32768 && std::floor(value) <= 32767) return "floor overflowed";
  }
  try {
    std::int16_t rounded = merge::RoundToInt16(text);
    if (std::fabs(rounded - value) > 0.5) return "RoundToInt16 is more than a half away";
    if (std::fabs(rounded - value) == 0.5 && rounded % 2 != 0) return "a tie not to even";
  } catch (const Error& error) {
    if (error.number() != error_number::kOverflow) return "RoundToInt16 fails a number";
    if (value > -32768.5 && value < 32767.5) return "RoundToInt16 overflowed inside the range";
  }
  return {};
}

std::string CheckFormatted(double value) {
  std::string text = merge::FormatDouble(value);
  double again = 0;
  try {
    again = merge::TextToDouble(text);
  } catch (const Error&) {
    return "FormatDouble wrote \"" + text + "\", which does not read back";
  }
  if (std::fabs(again - value) > std::fabs(value) * 1e-14) {
    return "FormatDouble lost more than 15 digits: \"" + text + "\"";
  }
  return {};
}

}  // namespace

std::string CheckConversions(std::string_view input) {
  double value = 0;
  try {
    value = merge::TextToDouble(input);
  } catch (const Error& error) {
    if (error.number() != error_number::kTypeMismatch &&
        error.number() != error_number::kOverflow) {
      return "TextToDouble failed with error " + std::to_string(error.number());
    }
    for (auto convert : {merge::FloorToInt16, merge::RoundToInt16}) {
      try {
        convert(input);
        return "an integer from a text that is no number";
      } catch (const Error& again) {
        if (again.number() != error.number()) return "the integer conversion fails otherwise";
      }
    }
    return {};
  }
  if (!std::isfinite(value)) return "TextToDouble returned a number that is not finite";
  if (std::string found = CheckIntegers(input, value); !found.empty()) return found;
  if (std::string found = CheckFormatted(value); !found.empty()) return found;
  if (input.size() >= sizeof(double)) {
    double raw = 0;
    std::memcpy(&raw, input.data(), sizeof raw);
    if (std::isfinite(raw)) return CheckFormatted(raw);
  }
  return {};
}

}  // namespace tavrio::fuzz
