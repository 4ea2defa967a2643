#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tavrio::automation::engine {

// What a cell's style says. Only the number format for now; fonts, fills, borders and alignment
// join it later, each taking part in Key() so that equal styles still share one id.
struct CellStyle {
  std::string number_format = "General";

  std::string Key() const { return number_format; }
  friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

// The distinct styles of one workbook. Id 0 is the default style and always exists, so a cell
// without a format needs no entry of its own.
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
