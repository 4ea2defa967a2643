// Array formulas as LibreOffice saves them to .xlsx and .xls: each on its range's top-left cell
// with the range's extent, the range's other cells plain values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/array_fixtures.h"
#include "tests/support/independent_readers.h"

namespace tavrio::automation::readers::testing {
namespace {

struct ArrayCell {
  std::string cell;
  std::string formula;
  std::uint32_t rows;
  std::uint16_t columns;
  double result;
};

class ArrayFilesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ArrayFilesTest, EachArrayComesOnItsTopLeftCellWithItsRange) {
  TAVRIO_SKIP_WITHOUT(tavrio::testing::Soffice(), "LibreOffice");
  ASSERT_FALSE(tavrio::testing::ArrayFixtureDir().empty());
  RecordingSink sink;
  OpenWorkbookFile(tavrio::testing::ArrayFixtureDir() + "/一月" + GetParam())->ReadSheet(0, sink);
  const std::vector<ArrayCell> expected = {
      {"C2", "A2:A4*B2:B4", 3, 1, 7.5},
      {"C3", "", 0, 0, 6},
      {"C4", "", 0, 0, 9.5},
      {"D2", "SUM(A2:A4*B2:B4)", 1, 1, 23},
      {"A5", "TRANSPOSE(A2:A3)", 1, 2, 3},
      {"B5", "", 0, 0, 5},
  };
  for (const ArrayCell& c : expected) {
    SCOPED_TRACE(c.cell);
    const RecordedCell& cell = sink.At(c.cell);
    EXPECT_EQ(cell.formula, c.formula);
    EXPECT_EQ(cell.array_rows, c.rows);
    EXPECT_EQ(cell.array_columns, c.columns);
    EXPECT_EQ(cell.kind, Kind::kNumber);
    EXPECT_DOUBLE_EQ(cell.number, c.result);
  }
}

INSTANTIATE_TEST_SUITE_P(SavedByLibreOffice, ArrayFilesTest, ::testing::Values(".xlsx", ".xls"),
                         [](const auto& info) { return std::string(info.param).substr(1); });

}  // namespace
}  // namespace tavrio::automation::readers::testing
