#pragma once

// How the fields of a text table (CSV, tab-separated text, an HTML table) become cells.
//
// A field becomes a number only when a person would not mind the change:
// - a plain decimal: an optional '-', digits without a superfluous leading zero, an optional
//   fraction ("12", "-2.5", "0.75"); spaces around it are allowed;
// - with at most 15 significant digits, the most a spreadsheet keeps: anything longer would not
//   read back as written;
// - and, when it has no fraction, at most 10 digits: longer whole numbers are phone numbers
//   (13800138000), ID card and bank card numbers, which must keep every digit.
// So "007", "0012", "+86", "1e5", "1,234", "12.", "13800138000" and "110101199003070012" stay
// text. "2024-01-15" and "2024-01-15 06:30:00" become dates with the formats "yyyy-mm-dd" and
// "yyyy-mm-dd hh:mm:ss", which show them as written. TRUE, FALSE and percentages stay text.
// A field written as ="…" (a common way to force text in exported CSV) is the text inside.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

// The styles every text table's cells use: General, the date and the date-time format.
const std::vector<StyleInfo>& TextCellStyles();

// Hands the fields of one sheet to a CellSink by the rule above, refusing what no sheet holds.
class TextCellWriter {
 public:
  explicit TextCellWriter(CellSink& sink) : sink_(sink) {}

  // `row` and `column` are 1-based. An empty field makes no cell; `keep_text` skips the rule.
  // Throws ReadFault past 1,048,576 rows or 16,384 columns, or for a text longer than 32,767
  // characters (a stray quote in a CSV file can swallow the rest of the file into one field).
  void Field(std::uint64_t row, std::uint64_t column, std::string_view text,
             bool keep_text = false);
  // A number given apart from its shown text; the same limits apply.
  void Number(std::uint64_t row, std::uint64_t column, double value);

 private:
  static void CheckPlace(std::uint64_t row, std::uint64_t column);

  CellSink& sink_;
};

// The sheet name a desktop spreadsheet application gives a text file it opens: the file name
// without its extension, with the characters a sheet name cannot hold replaced by '_' and cut
// to 31 characters.
std::string SheetNameForFile(const std::string& path);

}  // namespace tavrio::automation::readers
