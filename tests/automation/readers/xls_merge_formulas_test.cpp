// Formulas of .xls workbooks through a whole merge: two LibreOffice-saved workbooks merged by
// tavrio-merge into an .xlsx file, which LibreOffice then calculates afresh.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/automation/readers/biff_fixtures.h"
#include "tests/support/csv_grid.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

namespace fs = std::filesystem;
using tavrio::testing::CsvField;
using tavrio::testing::CsvGrid;
using tavrio::testing::ReadCsvGrid;

TEST(XlsMergeFormulasTest, RecalculatedMergeKeepsValuesAndMovesTheSecondFilesFormulas) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  tavrio::testing::TempFolder folder;
  for (const char* name : {"一月.xls", "二月.xls"}) {
    fs::copy_file(dir + "/formulas.xls", folder.File(name));
  }
  const std::string merged = folder.File("合并.xlsx");
  ASSERT_TRUE(tavrio::testing::RunQuietly("'" TAVRIO_MERGE_PROGRAM "' --start-row 1 -o '" + merged +
                                          "' '" + folder.File("一月.xls") + "' '" +
                                          folder.File("二月.xls") + "'"));
  // The first sheet as LibreOffice read it from the .xls file.
  const CsvGrid source = ReadCsvGrid(dir + "/csv/formulas.csv");
  const CsvGrid office = tavrio::testing::RecalculatedGrid(merged, folder.path());
  const std::size_t rows = source.size();
  ASSERT_EQ(rows, 70u);
  // The second file's first row is its header, which the merge leaves out: its row r lands
  // on row rows + r - 1.
  ASSERT_EQ(office.size(), 2 * rows - 1);
  for (std::size_t row = 0; row < 10; ++row) {
    const int r = static_cast<int>(row) + 1;
    SCOPED_TRACE("row " + std::to_string(r));
    // Columns A and B hold numbers, D =A*2+B of its own row: the same in both copies.
    for (std::size_t column : {0, 1, 3, 5}) {
      EXPECT_EQ(CsvField(office, row, column), CsvField(source, row, column)) << column;
      if (row > 0 && column != 5) {
        EXPECT_EQ(CsvField(office, rows + row - 1, column), CsvField(source, row, column))
            << column;
      }
    }
    // F is =SUM($A$1:A<row>): moved down with the second file, it adds the first file's
    // column A (1 to 10) to the second's rows 2 to r.
    if (row > 0) {
      EXPECT_EQ(CsvField(office, rows + row - 1, 5), std::to_string(55 + r * (r + 1) / 2 - 1));
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
