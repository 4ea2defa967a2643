#pragma once

// The cells of an OpenDocument spreadsheet's rows. A row element arrives whole, as the content
// stream cuts it out, and its cells go to a CellSink. Repeated rows and cells are expanded, but
// only as far as they hold values: the trailing empty run that fills a table out to the sheet's
// edge produces nothing, while a repeated value that would run past the edge is refused.

#include <cstdint>
#include <string_view>
#include <vector>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

// Indexes into the styles an OdsReader declares; the file's own cell styles are not read.
enum OdsStyle : std::uint32_t {
  kOdsGeneral,
  kOdsDate,
  kOdsDateTime,
  kOdsTime,
  kOdsDuration,  // a time of a day or more
  kOdsPercent,
  kOdsPercentDecimals,
  kOdsStyleCount
};

// The number formats of OdsStyle, in order.
std::vector<StyleInfo> OdsStyles();

// Cells produced by repetition beyond those written out, per sheet: enough for any table a
// person made, and far below what would exhaust memory.
inline constexpr std::uint64_t kMaxRepeatedOdsCells = 16'000'000;

class OdsRowReader {
 public:
  explicit OdsRowReader(CellSink& sink) : sink_(sink) {}

  // One <table:table-row> element, self-closing or with its cells. `part` names the part in
  // messages. Throws ReadFault for a row that breaks the sheet's limits or is not well-formed.
  void Row(std::string_view xml, std::string_view part);

 private:
  std::uint64_t next_row_ = 1;  // 1-based row the next row element starts at
  std::uint64_t repeated_cells_ = 0;
  CellSink& sink_;
};

}  // namespace tavrio::automation::readers
