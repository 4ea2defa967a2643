#include "automation/engine/sheet_loader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "automation/engine/sheet.h"
#include "automation/engine/string_pool.h"
#include "automation/engine/style_table.h"

namespace tavrio::automation::engine {
namespace {

using readers::SinkCell;
using Kind = SinkCell::Kind;

SinkCell At(std::uint32_t row, std::uint16_t column, Kind kind, double number = 0,
            std::string_view text = {}, std::string_view formula = {}) {
  return SinkCell{row, column, kind, 0, 0, number, text, formula};
}

// A sheet loaded from batches of cells, either whole (as readers of .xlsx hand rows) or cell by
// cell (the path every other reader takes), printed cell by cell with its formulas.
std::string Loaded(const std::vector<std::vector<SinkCell>>& batches, bool whole) {
  Sheet sheet("Sheet1", false, false);
  StringPool strings;
  StyleTable styles;
  CellStyle date;
  date.number_format = "yyyy-mm-dd";
  const std::vector<std::uint32_t> style_ids{0, styles.Intern(date)};
  SheetLoader loader(sheet, strings, styles, style_ids, /*from_1904=*/true,
                     /*trusted_results=*/true, "book.xlsx");
  for (const std::vector<SinkCell>& batch : batches) {
    if (whole) {
      loader.Cells(batch);
    } else {
      for (const SinkCell& cell : batch) loader.Put(cell);
    }
  }
  sheet.FinishLoading();
  std::ostringstream out;
  for (const Row& row : sheet.rows()) {
    for (const Cell& cell : row.Cells()) {
      out << row.number << "," << cell.column << ":" << static_cast<int>(cell.type) << " s"
          << cell.style;
      if (cell.HasString()) out << " " << strings.Get(cell.string_id);
      if (cell.type == CellType::kNumber) out << " " << cell.number;
      if (cell.type == CellType::kBoolean) out << " " << cell.boolean;
      if ((cell.flags & kHasFormula) != 0) out << " =" << *sheet.FormulaAt(row.number, cell.column);
      out << ";";
    }
  }
  return out.str();
}

// Whole rows are stored straight away when they come in order; cells handed one at a time, or
// in any other order, wait to be sorted out, and both must leave the same sheet.
TEST(SheetLoaderTest, WholeRowsLoadAsTheirCellsOneByOneDo) {
  SinkCell date = At(2, 3, Kind::kNumber, 100);
  date.style = 1;  // shown as a date, so it moves to the 1900 system
  const std::vector<std::vector<std::vector<SinkCell>>> cases = {
      {{At(1, 1, Kind::kText, 0, "a"), At(1, 2, Kind::kNumber, 2.5, {}, "A1*2")},
       {At(2, 1, Kind::kBoolean, 1), At(2, 2, Kind::kError, 0, "#N/A"), date},
       {At(4, 2, Kind::kBlank), At(4, 5, Kind::kSharedText, 0, "shared")}},
      // rows backwards
      {{At(5, 1, Kind::kNumber, 5)}, {At(3, 1, Kind::kNumber, 3)}, {At(4, 1, Kind::kNumber, 4)}},
      // columns backwards within a row, and one cell twice: the later one stays
      {{At(1, 3, Kind::kNumber, 3), At(1, 1, Kind::kNumber, 1), At(1, 3, Kind::kNumber, 33)}},
      // a cell of another row among a row's cells, and a row continued in a later batch
      {{At(2, 1, Kind::kNumber, 1), At(7, 1, Kind::kNumber, 7), At(2, 2, Kind::kNumber, 2)},
       {At(7, 2, Kind::kText, 0, "x", "B7")}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const std::string cell_by_cell = Loaded(cases[i], /*whole=*/false);
    EXPECT_FALSE(cell_by_cell.empty());
    EXPECT_EQ(Loaded(cases[i], /*whole=*/true), cell_by_cell);
  }
  EXPECT_EQ(Loaded(cases[0], true),
            "1,1:2 s0 a;1,2:1 s0 2.5 =A1*2;2,1:3 s0 1;2,2:4 s0 #N/A;2,3:1 s1 1562;"
            "4,2:0 s0;4,5:2 s0 shared;");
}

}  // namespace
}  // namespace tavrio::automation::engine
