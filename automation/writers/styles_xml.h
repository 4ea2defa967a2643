#pragma once

// The styles part of a saved .xlsx.

#include <string>

#include "automation/engine/style_table.h"

namespace tavrio::automation::writers {

// One cell format per style of the table, at the style's id, so a cell's style id is its s
// attribute. Number formats, fonts, fills and borders are each declared once and shared by the
// cell formats that use them. A font without name or size takes Calibri 11, the default font.
// Adds to `replaced` the number format codes that had bytes replaced (xml_text.h).
std::string StylesXml(const engine::StyleTable& styles, std::size_t& replaced);

}  // namespace tavrio::automation::writers
