#include "automation/readers/ods_rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "automation/base/sheet_limits.h"
#include "automation/readers/ods_values.h"
#include "automation/readers/open_formula.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

// A repeat count as written, saturating instead of overflowing; absent or unreadable is 1.
std::uint64_t Repeat(pugi::xml_node node, std::string_view name) {
  const char* text = AttributeValue(node, name);
  if (text == nullptr) return 1;
  std::uint64_t value = 0;
  const char* end = text + std::strlen(text);
  auto [stop, ec] = std::from_chars(text, end, value);
  if (ec == std::errc::result_out_of_range) return UINT64_MAX;
  return ec == std::errc() && stop == end && value > 0 ? value : 1;
}

struct CellRun {
  std::uint64_t column;
  std::uint64_t count;
  OdsValue value;
  std::uint64_t rows_spanned;
  std::uint64_t columns_spanned;
  std::string formula;  // A1 text; empty for none
  bool typed = false;   // the cell states its value's type, so a formula's result is known
};

// The cell's formula as A1 text; empty when it has none, or one whose A1 text is not certain,
// or an array formula (which keeps its results, as the .xlsx path keeps them). The same text
// serves every cell a repeat produces: OpenDocument repeats a cell's content as it is written.
std::string CellFormula(pugi::xml_node cell) {
  const char* formula = AttributeValue(cell, "table:formula");
  if (formula == nullptr || AttributeValue(cell, "table:number-matrix-columns-spanned") ||
      AttributeValue(cell, "table:number-matrix-rows-spanned")) {
    return {};
  }
  return TranslateOpenFormula(formula).value_or(std::string());
}

std::string Count(std::uint64_t n) { return std::to_string(n); }

SinkCell Converted(const CellRun& run, std::uint32_t row, std::uint16_t column) {
  const OdsValue& v = run.value;
  switch (v.kind) {
    case OdsValue::kNumber:
      return SinkCell::Number(row, column, v.number, v.style);
    case OdsValue::kText:
      return SinkCell::Text(row, column, v.text, kOdsGeneral);
    case OdsValue::kBoolean:
      return SinkCell::Boolean(row, column, v.number != 0, kOdsGeneral);
    case OdsValue::kError:
      return SinkCell::Error(row, column, v.text, kOdsGeneral);
    case OdsValue::kNone:
      break;
  }
  // Only a formula cell gets here: an empty text is its result, no type says it kept none.
  return run.typed ? SinkCell::Text(row, column, {}, kOdsGeneral)
                   : SinkCell::Blank(row, column, kOdsGeneral);
}

void Emit(const CellRun& run, std::uint32_t row, std::uint16_t column, CellSink& sink) {
  SinkCell cell = Converted(run, row, column);
  cell.formula = run.formula;
  sink.Put(cell);
}

void EmitMerge(const CellRun& run, std::uint32_t row, std::uint16_t column, CellSink& sink) {
  if (run.rows_spanned * run.columns_spanned < 2) return;
  const std::uint64_t last_row = std::min<std::uint64_t>(row + run.rows_spanned - 1, kMaxRows);
  const std::uint64_t last_column =
      std::min<std::uint64_t>(column + run.columns_spanned - 1, kMaxColumns);
  sink.MergedCells(row, column, static_cast<std::uint32_t>(last_row),
                   static_cast<std::uint16_t>(last_column));
}

}  // namespace

std::vector<StyleInfo> OdsStyles() {
  std::vector<StyleInfo> styles(kOdsStyleCount);
  styles[kOdsDate] = StyleInfo("yyyy-mm-dd");
  styles[kOdsDateTime] = StyleInfo("yyyy-mm-dd hh:mm:ss");
  styles[kOdsTime] = StyleInfo("hh:mm:ss");
  styles[kOdsDuration] = StyleInfo("[h]:mm:ss");
  styles[kOdsPercent] = StyleInfo("0%");
  styles[kOdsPercentDecimals] = StyleInfo("0.00%");
  return styles;
}

void OdsRowReader::Row(std::string_view xml, std::string_view part) {
  pugi::xml_document document;
  CheckParseResult(
      document.load_buffer(xml.data(), xml.size(), kXmlParseFlags | pugi::parse_ws_pcdata,
                           pugi::encoding_utf8),
      part, 0);
  const pugi::xml_node row = document.document_element();
  const std::uint64_t rows = Repeat(row, "table:number-rows-repeated");
  const std::uint64_t first_row = next_row_;
  // Rows past the edge can only be empty, so the count need not grow past it.
  next_row_ += std::min<std::uint64_t>(rows, kMaxRows + 1);

  std::vector<CellRun> runs;
  std::uint64_t column = 1;
  for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
    if (!IsNamed(cell, "table-cell") && !IsNamed(cell, "covered-table-cell")) continue;
    const std::uint64_t count = Repeat(cell, "table:number-columns-repeated");
    OdsValue value = ReadOdsValue(cell, first_row, column);
    std::string formula = CellFormula(cell);
    if (value.kind != OdsValue::kNone || !formula.empty()) {
      if (first_row > kMaxRows || (rows > 1 && first_row + rows - 1 > kMaxRows)) {
        throw ReadFault(rows > 1 ? "第 " + Count(first_row) + " 行的数据重复 " + Count(rows) +
                                       " 次，超出了工作表的 1,048,576 行"
                                 : "第 " + Count(first_row) + " 行超出了工作表的 1,048,576 行");
      }
      if (column > kMaxColumns || (count > 1 && column + count - 1 > kMaxColumns)) {
        throw ReadFault(count > 1 ? "第 " + Count(first_row) + " 行第 " + Count(column) +
                                        " 列的单元格重复 " + Count(count) +
                                        " 次，超出了工作表的 16,384 列"
                                  : "第 " + Count(first_row) + " 行第 " + Count(column) +
                                        " 列超出了工作表的 16,384 列");
      }
      // Spans are clamped to the sheet here, so that adding them to a position cannot wrap.
      runs.push_back(
          {column, count, std::move(value),
           std::min<std::uint64_t>(Repeat(cell, "table:number-rows-spanned"), kMaxRows),
           std::min<std::uint64_t>(Repeat(cell, "table:number-columns-spanned"), kMaxColumns),
           std::move(formula), AttributeValue(cell, "office:value-type") != nullptr});
    }
    column += std::min<std::uint64_t>(count, kMaxColumns + 1);
  }
  if (runs.empty()) return;

  std::uint64_t cells = 0;
  for (const CellRun& run : runs) cells += run.count;
  repeated_cells_ += cells * rows - runs.size();
  if (repeated_cells_ > kMaxRepeatedOdsCells) {
    throw ReadFault("重复的单元格超过 16,000,000 个，超出了本程序的限制");
  }
  for (std::uint64_t r = first_row; r < first_row + rows; ++r) {
    for (const CellRun& run : runs) {
      for (std::uint64_t c = run.column; c < run.column + run.count; ++c) {
        const auto row_number = static_cast<std::uint32_t>(r);
        const auto column_number = static_cast<std::uint16_t>(c);
        Emit(run, row_number, column_number, sink_);
        EmitMerge(run, row_number, column_number, sink_);
      }
    }
  }
}

}  // namespace tavrio::automation::readers
