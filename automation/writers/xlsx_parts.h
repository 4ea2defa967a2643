#pragma once

// The fixed parts of an .xlsx package around its sheets.

#include <string>

#include "automation/engine/workbook.h"

namespace tavrio::automation::writers {

std::string ContentTypesXml(std::size_t sheet_count);
std::string PackageRelationshipsXml();
// Sheets in order with their hidden state, the active one as the selected tab.
std::string WorkbookXml(const engine::Workbook& workbook);
std::string WorkbookRelationshipsXml(std::size_t sheet_count);
// One cell format per style of the workbook's style table, at the style's id, so a cell's
// style id is its s attribute.
std::string StylesXml(const engine::StyleTable& styles);

inline std::string SheetPartName(std::size_t index) {
  return "xl/worksheets/sheet" + std::to_string(index + 1) + ".xml";
}

}  // namespace tavrio::automation::writers
