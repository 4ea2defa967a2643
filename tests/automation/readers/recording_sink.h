#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers::testing {

enum class Kind { kNumber, kText, kBoolean, kError, kBlank };

struct RecordedCell {
  Kind kind = Kind::kBlank;
  double number = 0;
  std::string text;  // text, or the error value
  bool boolean = false;
  std::uint32_t style = 0;
  std::string formula;           // empty when the cell has none
  std::uint32_t array_rows = 0;  // an array formula's extent, see SinkCell
  std::uint16_t array_columns = 0;
};

// Keeps every cell a reader hands over, by (row, column), and fails on a cell handed twice.
class RecordingSink : public CellSink {
 public:
  void Cells(std::span<const SinkCell> cells) override;
  void RowHeight(std::uint32_t row, double points) override { heights_[row] = points; }
  void MergedCells(std::uint32_t first_row, std::uint16_t first_column, std::uint32_t last_row,
                   std::uint16_t last_column) override {
    merged_.push_back({first_row, first_column, last_row, last_column});
  }

  const std::map<std::pair<std::uint32_t, std::uint16_t>, RecordedCell>& cells() const {
    return cells_;
  }
  // The cell at an "A1" reference; fails the test when absent.
  const RecordedCell& At(const std::string& reference) const;
  bool Has(const std::string& reference) const;
  // The row heights handed over, by row.
  const std::map<std::uint32_t, double>& heights() const { return heights_; }
  // The merged ranges handed over, in order: first row, first column, last row, last column.
  const std::vector<std::vector<std::uint32_t>>& merged() const { return merged_; }

 private:
  std::map<std::pair<std::uint32_t, std::uint16_t>, RecordedCell> cells_;
  std::map<std::uint32_t, double> heights_;
  std::vector<std::vector<std::uint32_t>> merged_;
};

// A cell a test expects at `reference`; for a number, `text` is its number format.
struct ExpectedCell {
  std::string reference;
  Kind kind;
  double number;
  std::string text;
};

// Checks every expected cell in `sink`: its kind, its text or value, and for a number the format
// `styles` gives it. Numbers match within `relative_error` of their size (at least of 1), or, when
// it is 0, to the last few bits as EXPECT_DOUBLE_EQ does.
void ExpectCells(const RecordingSink& sink, const std::vector<StyleInfo>& styles,
                 const std::vector<ExpectedCell>& cells, double relative_error = 0);

}  // namespace tavrio::automation::readers::testing
