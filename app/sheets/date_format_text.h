#pragma once

#include <string>

#include "automation/engine/number_format_code.h"

namespace tavrio::app::sheets {

using automation::engine::FormatSection;
using automation::engine::FormatToken;
using automation::engine::TokenKind;

// A serial day number shown through a date or time section (see FormatNumber).
std::string FormatDate(double serial, const FormatSection& section);

}  // namespace tavrio::app::sheets
