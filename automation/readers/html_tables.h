#pragma once

// The tables of an HTML page, as business systems export them under an ".xls" name. The parser
// is tolerant, as browsers are: it needs no well-formed markup, closes cells and rows that are
// left open, skips comments, scripts and styles, and decodes character references. Each
// <table>, nested ones included, is one table, in the order the tables begin; a nested table's
// text does not go into the cell around it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

struct HtmlCell {
  std::uint32_t row = 0;  // 1-based within its table
  std::uint32_t column = 0;
  // Whitespace collapsed as a browser shows it; <br> becomes a line break.
  std::string text;
  // Marked as text by the exporting application (x:str, or mso-number-format "@").
  bool keep_text = false;
  // The value an application gave in x:num, which may differ from the shown text ("50%").
  std::optional<double> number;
};

struct HtmlTable {
  std::vector<HtmlCell> cells;  // non-empty cells only; rowspan and colspan leave gaps
};

// Throws ReadFault when a table needs more columns than a sheet holds.
std::vector<HtmlTable> ParseHtmlTables(std::string_view html);

// The charset a page declares in a <meta> tag within its first 4 KiB, or empty.
std::string DeclaredHtmlCharset(std::string_view html);

}  // namespace tavrio::automation::readers
