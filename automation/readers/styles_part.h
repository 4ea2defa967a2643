#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "automation/readers/theme_part.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

// The number format code of a built-in format id, as a Chinese (PRC) spreadsheet application
// shows it; empty for an id with no built-in format.
std::string_view BuiltInNumberFormat(unsigned id);

// Parses a styles part held in memory into the cell styles (cellXfs), in order, each with its
// number format, font, fill, borders and alignment; never empty. A font, fill or border id that
// names no entry gives the default look rather than an error. Colours given by `theme` index,
// or by index into a palette the part redefines, come resolved to ARGB with their tint applied;
// entries of the standard palette stay indexed. Throws ReadFault.
std::vector<StyleInfo> ParseStylesPart(std::string xml, std::string_view part,
                                       const ThemeColors& theme = DefaultThemeColors());

}  // namespace tavrio::automation::readers
