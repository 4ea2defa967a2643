#pragma once

// Turning typed text into numbers the way users of desktop spreadsheet macros expect, and the
// checked 16- and 32-bit arithmetic the merge run counts with.
//
// Accepted number forms: blanks (space, tab) around an optional sign, digits with at most one
// decimal point (".5" and "5." included), and an optional exponent ("1e3", "2.5E-1"). Not
// accepted: digit grouping ("1,000"), locale decimal commas, hexadecimal, "inf", "nan", full-width
// digits, and the empty text. Grouping is refused because "2,5" means 2.5 in many locales and
// 25 in others, and a sheet position or row must never be guessed.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrio::merge {

// The number a typed text stands for. Fails with 类型不匹配 (13) for a text that is not a number,
// and with 溢出 (6) for one too large for a double.
double TextToDouble(std::string_view text);

// The text read as a number, rounded to the nearest integer with ties to even (2.5 gives 2,
// 3.5 gives 4). Fails with 13 for a non-number and 6 outside -32768..32767.
std::int16_t RoundToInt16(std::string_view text);

// The text read as a number and rounded down (2.7 gives 2, -0.5 gives -1). Fails with 13 for a
// non-number and 6 outside -32768..32767.
std::int16_t FloorToInt16(std::string_view text);

// A double in the shortest form the macro platform prints it: up to 15 significant digits, no
// trailing zeros, an exponent only for very large or very small magnitudes ("6", "3.5", "1E+15").
std::string FormatDouble(double value);

// value + 1, failing with 溢出 (6) instead of wrapping.
std::int16_t CheckedIncrement(std::int16_t value);
std::int32_t CheckedIncrement(std::int32_t value);

}  // namespace tavrio::merge
