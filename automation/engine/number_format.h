#pragma once

#include <string_view>

namespace tavrio::automation::engine {

// What a number format code shows of a serial date number.
struct NumberFormatKind {
  bool date = false;  // a calendar date: a year, a day or a month name
  bool time = false;  // a time of day or elapsed hours, minutes, seconds
};

// Reads the tokens of a format code the way spreadsheet applications do: quoted literals, escaped
// characters, colours and conditions in brackets are skipped ("[h]" still counts as hours). A
// lone "m" is a month unless hours or seconds stand in the same code, where it means minutes.
NumberFormatKind ClassifyNumberFormat(std::string_view code);

}  // namespace tavrio::automation::engine
