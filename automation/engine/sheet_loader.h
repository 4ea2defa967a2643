#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "automation/base/sheet_limits.h"
#include "automation/engine/sheet.h"
#include "automation/engine/string_pool.h"
#include "automation/engine/style_table.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::engine {

// Takes the cells a reader hands over into a sheet: texts interned in the workbook's pool,
// the reader's style indexes translated to the workbook's style ids, and dates of a file in the
// 1904 date system moved to the 1900 system. A cell outside the sheet's grid or with an unknown
// style is refused with an error naming `file` and the sheet, whatever the reader let through.
// A formula is marked kCalculated when it came without a result, or with one `trusted_results`
// says no spreadsheet application computed. An array formula's range goes with its formula;
// one reaching past the grid is refused too.
class SheetLoader final : public readers::CellSink {
 public:
  SheetLoader(Sheet& sheet, StringPool& strings, const StyleTable& styles,
              const std::vector<std::uint32_t>& style_ids, bool from_1904, bool trusted_results,
              std::string file);

  void Cells(std::span<const readers::SinkCell> cells) override;
  void RowHeight(std::uint32_t row, double points) override;
  void MergedCells(std::uint32_t first_row, std::uint16_t first_column, std::uint32_t last_row,
                   std::uint16_t last_column) override;

 private:
  // The checks run for every cell and are inlined; the faults, which no sound file meets, not:
  // 44 M instructions less for two files of the benchmark's million set (`valgrind
  // --tool=callgrind build-bench/bench/harness/tavrio-bench-merge`) than out-of-line checks.
  std::uint32_t StyleId(std::uint32_t row, std::uint16_t column, std::uint32_t style) const;
  void CheckPlace(std::uint32_t row, std::uint32_t column) const;
  [[noreturn]] void PlaceFault(std::uint32_t row, std::uint32_t column) const;
  [[noreturn]] void StyleFault(std::uint32_t row, std::uint32_t column, std::uint32_t style) const;
  std::uint32_t SharedTextId(std::uint32_t index, std::string_view text);
  std::uint32_t NewSharedTextId(std::uint32_t index, std::string_view text);
  Cell Converted(const readers::SinkCell& cell);
  void LoadArray(const readers::SinkCell& cell);
  bool RowInSheet(std::uint32_t row) const { return row != 0 && row <= kMaxRows; }
  bool ColumnInSheet(std::uint32_t column) const { return column - 1 < kMaxColumns; }

  Sheet& sheet_;
  StringPool& strings_;
  const StyleTable& styles_;
  const std::vector<std::uint32_t>& style_ids_;
  bool from_1904_;
  bool trusted_results_;
  std::string file_;
  // The pool id of each shared text met so far, plus one (0: not yet interned). A sheet
  // repeats a few thousand texts over a million cells, so this lookup replaces hashing them.
  std::vector<std::uint32_t> shared_ids_;
  std::vector<Cell> row_;  // a row being handed to the sheet whole, reused from row to row
};

}  // namespace tavrio::automation::engine
