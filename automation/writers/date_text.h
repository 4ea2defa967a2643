#pragma once

#include <optional>
#include <string>

#include "automation/engine/number_format.h"

namespace tavrio::automation::writers {

// A serial date number (1900 date system) as text in ISO form, fixed whatever the format code
// says in detail: "2024-03-31" for a date format, "08:30:00" for a time format (time of day),
// "2024-03-31 08:30:00" for both; seconds rounded to the nearest. Serial 60 is the 1900-02-29
// that the 1900 date system counts. Empty for values no date can show (negative, past 9999).
std::optional<std::string> SerialDateText(double serial, engine::NumberFormatKind kind);

}  // namespace tavrio::automation::writers
