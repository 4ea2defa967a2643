#pragma once

#include <string_view>

namespace tavrio::automation::engine {

// What a number format code shows of a serial date number.
struct NumberFormatKind {
  bool date = false;  // a calendar date: a year, a day or a month name
  bool time = false;  // a time of day or elapsed hours, minutes, seconds
};

// What the code's tokens (see ParseFormatCode) show, over all its sections: a year (y, e), month,
// day or weekday (aaa) makes it a date; hours, minutes, seconds, AM/PM or elapsed time ([h])
// make it a time. A lone "m" is a month unless hours or seconds stand beside it.
NumberFormatKind ClassifyNumberFormat(std::string_view code);

}  // namespace tavrio::automation::engine
