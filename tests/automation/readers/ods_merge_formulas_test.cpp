// Formulas of .ods workbooks through a whole merge: two copies of a LibreOffice-saved workbook
// merged by tavrio-merge into an .xlsx file, which LibreOffice then calculates afresh.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/automation/readers/ods_formula_fixtures.h"
#include "tests/support/csv_grid.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

namespace fs = std::filesystem;
using tavrio::testing::CsvField;
using tavrio::testing::CsvGrid;

// The running total's column, =SUM($A$2:A<row>).
constexpr std::size_t kTotal = 3;

// What =SUM($A$2:A<row>) gives on merged row `row` (1-based): column A holds 1 to 10 on rows 1
// to 10 (the first file's rows 2 to 11), then 2 to 10 on rows 11 to 19 (the second file's rows
// 3 to 11). On row 1 the range is A1:A2.
std::string MergedTotal(int row) {
  if (row == 1) return "3";
  if (row <= 10) return std::to_string(row * (row + 1) / 2 - 1);
  const int last = row - 9;
  return std::to_string(54 + last * (last + 1) / 2 - 1);
}

TEST(OdsMergeFormulasTest, RecalculatedMergeKeepsValuesWithFormulasMovedBothWays) {
  const std::string& dir = OdsFormulaFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kOdsFormulaFixtureReaders);
  tavrio::testing::TempFolder folder;
  for (const char* name : {"一月.ods", "二月.ods"}) {
    fs::copy_file(dir + "/formulas.ods", folder.File(name));
  }
  const std::string merged = folder.File("合并.xlsx");
  // From row 2: the first file's rows move up one row, the second's down eight.
  ASSERT_TRUE(tavrio::testing::RunQuietly("'" TAVRIO_MERGE_PROGRAM "' --start-row 2 -o '" + merged +
                                          "' '" + folder.File("一月.ods") + "' '" +
                                          folder.File("二月.ods") + "'"));
  const CsvGrid source = tavrio::testing::ReadCsvGrid(dir + "/csv/formulas.csv");
  const CsvGrid office = tavrio::testing::RecalculatedGrid(merged, folder.path());
  ASSERT_EQ(source.size(), 11u);
  ASSERT_EQ(office.size(), 19u);
  for (int row = 1; row <= 19; ++row) {
    SCOPED_TRACE("merged row " + std::to_string(row));
    const std::size_t source_row = row <= 10 ? row + 1 : row - 8;
    const std::size_t at = static_cast<std::size_t>(row) - 1;
    // Every other column reads its own row only: the same values as in the source.
    for (std::size_t column = 0; column < source[0].size(); ++column) {
      const std::string want =
          column == kTotal ? MergedTotal(row) : CsvField(source, source_row - 1, column);
      EXPECT_EQ(CsvField(office, at, column), want) << "column " << column;
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
