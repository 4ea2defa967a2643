#pragma once

// Streams one worksheet part into a CellSink. The inflated XML arrives in chunks; only the rows
// not yet complete are kept between chunks, so memory is bounded by the longest row, never by
// the sheet. Complete runs of rows go to pugixml as fragments; everything outside <sheetData>
// is only scanned (for declarations and nesting), not kept.

#include <cstdint>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "automation/readers/shared_strings.h"
#include "automation/readers/workbook_reader.h"
#include "automation/readers/xml_scanner.h"

namespace tavrio::automation::readers {

struct SheetContext {
  std::string_view part;
  const SharedStrings* strings = nullptr;  // may be null when the workbook has none
  std::size_t style_count = 1;
  bool date1904 = false;
};

class SheetParser {
 public:
  SheetParser(const SheetContext& context, CellSink& sink);

  // Hands over the next chunk of the part. Throws ReadFault for a damaged or refused sheet.
  void Feed(std::string_view chunk);
  // Declares the part complete; throws ReadFault when it ended inside an element.
  void Finish();

 private:
  struct Tracker;
  friend struct Tracker;

  void Compact();
  void ParseRows(std::size_t begin, std::size_t end);
  void Row(pugi::xml_node row);
  void Cell(pugi::xml_node cell, std::uint32_t row, std::uint16_t& column);
  void Value(pugi::xml_node cell, std::string_view type, std::uint32_t row,
             std::uint16_t column, std::uint32_t style);
  std::string_view ValueText(pugi::xml_node cell);
  [[noreturn]] void CellFault(std::uint32_t row, std::uint16_t column, std::string_view why);

  SheetContext context_;
  CellSink& sink_;
  XmlScanner scanner_;
  std::string buffer_;
  std::uint64_t buffer_offset_ = 0;  // where buffer_[0] sits in the part
  std::size_t scan_pos_ = 0;
  bool in_sheet_data_ = false;
  bool sheet_data_done_ = false;
  int sheet_data_depth_ = 0;
  std::size_t rows_begin_ = 0;
  std::size_t rows_end_ = 0;
  std::uint32_t last_row_ = 0;
  pugi::xml_document fragment_;
  std::string text_;
  std::string scratch_;
};

// Parses a whole worksheet part held in memory, as ReadSheet does with the inflated stream.
void ParseSheetXml(std::string_view xml, const SheetContext& context, CellSink& sink);

}  // namespace tavrio::automation::readers
