#include "tests/automation/readers/recording_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace tavrio::automation::readers::testing {
namespace {

std::pair<std::uint32_t, std::uint16_t> Decode(const std::string& reference) {
  std::size_t i = 0;
  unsigned column = 0;
  while (i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z') {
    column = column * 26 + (reference[i++] - 'A' + 1);
  }
  return {static_cast<std::uint32_t>(std::stoul(reference.substr(i))),
          static_cast<std::uint16_t>(column)};
}

}  // namespace

void RecordingSink::Put(std::uint32_t row, std::uint16_t column, RecordedCell cell) {
  if (formula_row_ == row && formula_column_ == column) cell.formula = formula_;
  formula_row_ = 0;
  if (!cells_.emplace(std::make_pair(row, column), std::move(cell)).second) {
    ADD_FAILURE() << "cell handed over twice: row " << row << " column " << column;
  }
}

void RecordingSink::Formula(std::uint32_t row, std::uint16_t column, std::string_view formula) {
  formula_row_ = row;
  formula_column_ = column;
  formula_.assign(formula);
}

void RecordingSink::Number(std::uint32_t row, std::uint16_t column, double value,
                           std::uint32_t style) {
  Put(row, column, {Kind::kNumber, value, {}, false, style, {}});
}

void RecordingSink::Text(std::uint32_t row, std::uint16_t column, std::string_view text,
                         std::uint32_t style) {
  Put(row, column, {Kind::kText, 0, std::string(text), false, style, {}});
}

void RecordingSink::Boolean(std::uint32_t row, std::uint16_t column, bool value,
                            std::uint32_t style) {
  Put(row, column, {Kind::kBoolean, 0, {}, value, style, {}});
}

void RecordingSink::ErrorValue(std::uint32_t row, std::uint16_t column, std::string_view text,
                               std::uint32_t style) {
  Put(row, column, {Kind::kError, 0, std::string(text), false, style, {}});
}

void RecordingSink::Blank(std::uint32_t row, std::uint16_t column, std::uint32_t style) {
  Put(row, column, {Kind::kBlank, 0, {}, false, style, {}});
}

const RecordedCell& RecordingSink::At(const std::string& reference) const {
  auto found = cells_.find(Decode(reference));
  if (found == cells_.end()) throw std::out_of_range("no cell at " + reference);
  return found->second;
}

bool RecordingSink::Has(const std::string& reference) const {
  return cells_.count(Decode(reference)) != 0;
}

void ExpectCells(const RecordingSink& sink, const std::vector<StyleInfo>& styles,
                 const std::vector<ExpectedCell>& cells, double relative_error) {
  for (const ExpectedCell& expected : cells) {
    SCOPED_TRACE(expected.reference);
    const RecordedCell& cell = sink.At(expected.reference);
    ASSERT_EQ(cell.kind, expected.kind);
    if (expected.kind == Kind::kText || expected.kind == Kind::kError) {
      EXPECT_EQ(cell.text, expected.text);
    } else if (expected.kind == Kind::kBoolean) {
      EXPECT_EQ(cell.boolean, expected.number != 0);
    } else {
      if (relative_error == 0) {
        EXPECT_DOUBLE_EQ(cell.number, expected.number);
      } else {
        EXPECT_NEAR(cell.number, expected.number, relative_error * std::max(1.0, expected.number));
      }
      EXPECT_EQ(styles.at(cell.style).number_format, expected.text);
    }
  }
}

}  // namespace tavrio::automation::readers::testing
