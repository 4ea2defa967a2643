// The conversions of typed option texts. Besides surviving any text, they must agree with each
// other: a text that converts to an integer converts to the double it rounds from, and a
// double printed by FormatDouble reads back as a number.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "automation/error.h"
#include "fuzz/fuzz_support.h"
#include "merge/conversions.h"

namespace {

using tavrio::fuzz::Finding;

void CheckIntegers(std::string_view text, double value) {
  try {
    std::int16_t floor = tavrio::merge::FloorToInt16(text);
    if (floor != std::floor(value)) Finding("FloorToInt16 disagrees with TextToDouble");
  } catch (const tavrio::Error& error) {
    if (error.number() != tavrio::error_number::kOverflow) Finding("floor failed as a non-number");
    if (std::floor(value) >= -32768 && std::floor(value) <= 32767) Finding("floor overflowed");
  }
  try {
    std::int16_t rounded = tavrio::merge::RoundToInt16(text);
    if (std::fabs(rounded - value) > 0.5) Finding("RoundToInt16 is more than a half away");
    if (std::fabs(rounded - value) == 0.5 && rounded % 2 != 0) Finding("a tie not to even");
  } catch (const tavrio::Error& error) {
    if (error.number() != tavrio::error_number::kOverflow) Finding("round failed as a non-number");
    if (value >= -32768.5 && value <= 32767.5) Finding("round overflowed inside the range");
  }
}

void CheckFormatted(double value) {
  std::string text = tavrio::merge::FormatDouble(value);
  double again = 0;
  try {
    again = tavrio::merge::TextToDouble(text);
  } catch (const tavrio::Error&) {
    Finding("FormatDouble wrote a text that does not read back: " + text);
  }
  if (value != 0 && std::fabs(again - value) > std::fabs(value) * 1e-14) {
    Finding("FormatDouble lost more than 15 digits: " + text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = tavrio::fuzz::AsText(data, size);
  double value = 0;
  try {
    value = tavrio::merge::TextToDouble(text);
  } catch (const tavrio::Error& error) {
    if (error.number() != tavrio::error_number::kTypeMismatch &&
        error.number() != tavrio::error_number::kOverflow) {
      Finding("TextToDouble failed with another error");
    }
    for (auto convert : {tavrio::merge::FloorToInt16, tavrio::merge::RoundToInt16}) {
      try {
        convert(text);
        Finding("an integer from a text that is no number");
      } catch (const tavrio::Error& again) {
        if (again.number() != error.number()) Finding("the integer fails differently");
      }
    }
    return 0;
  }
  if (!std::isfinite(value)) Finding("TextToDouble returned a non-finite number");
  CheckIntegers(text, value);
  CheckFormatted(value);
  if (size >= sizeof(double)) {
    double raw = 0;
    std::memcpy(&raw, data, sizeof raw);
    if (std::isfinite(raw)) CheckFormatted(raw);
  }
  return 0;
}
