#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::engine {

// What a cell's style says: number format, font, fill, borders and alignment, as the readers
// describe it.
using CellStyle = readers::StyleInfo;

// The distinct styles of one workbook. Id 0 is the default style and always exists, so a cell
// without a format needs no entry of its own. Equal styles share one id, whichever workbook
// they came from, so a merged workbook declares each look once however many sources had it.
class StyleTable {
 public:
  StyleTable();

  std::uint32_t Intern(const CellStyle& style);
  const CellStyle& Get(std::uint32_t id) const { return styles_[id]; }
  // Whether numbers in this style show a calendar date (see IsDateFormat).
  bool ShowsDate(std::uint32_t id) const { return shows_date_[id]; }
  std::size_t size() const { return styles_.size(); }

 private:
  std::vector<CellStyle> styles_;
  std::vector<bool> shows_date_;
  std::unordered_map<std::string, std::uint32_t> ids_;
};

}  // namespace tavrio::automation::engine
