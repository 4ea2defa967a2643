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

void RecordingSink::Cells(std::span<const SinkCell> cells) {
  for (const SinkCell& in : cells) {
    RecordedCell cell;
    cell.style = in.style;
    cell.formula = std::string(in.formula);
    cell.array_rows = in.array_rows;
    cell.array_columns = in.array_columns;
    switch (in.kind) {
      case SinkCell::Kind::kNumber:
        cell.kind = Kind::kNumber;
        cell.number = in.number;
        break;
      case SinkCell::Kind::kText:
      case SinkCell::Kind::kSharedText:
        cell.kind = Kind::kText;
        cell.text = std::string(in.text);
        break;
      case SinkCell::Kind::kBoolean:
        cell.kind = Kind::kBoolean;
        cell.boolean = in.number != 0;
        break;
      case SinkCell::Kind::kError:
        cell.kind = Kind::kError;
        cell.text = std::string(in.text);
        break;
      case SinkCell::Kind::kBlank:
        cell.kind = Kind::kBlank;
        break;
    }
    if (!cells_.emplace(std::make_pair(in.row, in.column), std::move(cell)).second) {
      ADD_FAILURE() << "cell handed over twice: row " << in.row << " column " << in.column;
    }
  }
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
