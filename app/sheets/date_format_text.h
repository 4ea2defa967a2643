#pragma once

#include <string>

#include "app/sheets/format_code.h"

namespace tavrio::app::sheets {

// A serial day number shown through a date or time section (see FormatNumber).
std::string FormatDate(double serial, const FormatSection& section);

}  // namespace tavrio::app::sheets
