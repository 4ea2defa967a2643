#pragma once

// The fixed parts of an .xlsx package around its sheets.

#include <string>

#include "automation/engine/workbook.h"

namespace tavrio::automation::writers {

std::string ContentTypesXml(std::size_t sheet_count);
std::string PackageRelationshipsXml();
// Sheets in order with their hidden state and the names of SavedSheetNames, the active one as
// the selected tab. Adds to `replaced` the names that had bytes replaced (xml_text.h), and to
// `renamed` the names a spreadsheet application would refuse, which were changed.
std::string WorkbookXml(const engine::Workbook& workbook, std::size_t& replaced,
                        std::size_t& renamed);
std::string WorkbookRelationshipsXml(std::size_t sheet_count);

inline std::string SheetPartName(std::size_t index) {
  return "xl/worksheets/sheet" + std::to_string(index + 1) + ".xml";
}

}  // namespace tavrio::automation::writers
