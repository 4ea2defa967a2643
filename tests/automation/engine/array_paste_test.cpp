// Array formulas on a sheet: which a loaded sheet keeps, and how pastes carry them, whole or as
// their values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/base/sheet_limits.h"
#include "automation/engine/cell_copy.h"
#include "automation/engine/workbook.h"

namespace tavrio::automation::engine {
namespace {

std::string Place(std::uint32_t row, std::uint32_t column) {
  return std::to_string(row) + "," + std::to_string(column);
}

// Each array as "top-left:bottom-right formula", then every other formula as "place formula",
// marked where the cell lost its formula flag or kept one without a formula.
std::vector<std::string> Described(const Sheet& sheet) {
  std::vector<std::string> found;
  for (const CellRange& array : sheet.array_formulas()) {
    const std::string_view* text = sheet.FormulaAt(array.first_row, array.first_column);
    found.push_back("{" + Place(array.first_row, array.first_column) + ":" +
                    Place(array.last_row, array.last_column) + " " +
                    (text ? std::string(*text) : "(none)") + "}");
  }
  for (const FormulaRef& f : sheet.formulas()) {
    if (sheet.ArrayFormulaAt(f.row, f.column) != nullptr) continue;
    const Cell* cell = sheet.FindCell(f.row, f.column);
    const bool flagged = cell != nullptr && (cell->flags & kHasFormula) != 0;
    found.push_back(Place(f.row, f.column) + " " + std::string(f.text) +
                    (flagged ? "" : " (unflagged)"));
  }
  for (const Row& row : sheet.rows()) {
    for (const Cell& cell : row.Cells()) {
      if ((cell.flags & kHasFormula) != 0 && sheet.FormulaAt(row.number, cell.column) == nullptr) {
        found.push_back(Place(row.number, cell.column) + " flagged without a formula");
      }
    }
  }
  return found;
}

double NumberAt(const Sheet& sheet, std::uint32_t row, std::uint32_t column) {
  const Cell* cell = sheet.FindCell(row, column);
  return cell != nullptr && cell->type == CellType::kNumber ? cell->number : -1;
}

// An array formula as a reader leaves it: its top-left cell with the formula, every cell of
// the range with a result (row-major from `first`).
void PutArray(Sheet& sheet, const CellRange& range, const std::string& text, double first) {
  double value = first;
  for (std::uint32_t row = range.first_row; row <= range.last_row; ++row) {
    for (std::uint32_t column = range.first_column; column <= range.last_column; ++column) {
      Cell cell = Cell::Number(static_cast<std::uint16_t>(column), value++, 0);
      if (row == range.first_row && column == range.first_column) cell.flags = kHasFormula;
      sheet.LoadRow(row, {&cell, 1});
    }
  }
  sheet.LoadFormula(range.first_row, range.first_column, text);
  sheet.LoadArrayFormula(range);
}

void PutFormula(Sheet& sheet, std::uint32_t row, std::uint32_t column, const std::string& text) {
  Cell cell = Cell::Number(static_cast<std::uint16_t>(column), 0, 0);
  cell.flags = kHasFormula;
  sheet.LoadRow(row, {&cell, 1});
  sheet.LoadFormula(row, column, text);
}

// A file may say anything; what a saved workbook could not hold becomes values on loading.
TEST(ArrayLoadingTest, OnlyArraysAWorkbookCanHoldAreKept) {
  struct Case {
    const char* name;
    std::vector<std::pair<CellRange, std::string>> arrays;
    std::vector<std::pair<std::pair<std::uint32_t, std::uint32_t>, std::string>> formulas;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"side by side and one below the other",
       {{CellRange{2, 4, 2, 2}, "A2:A4*2"},
        {CellRange{2, 3, 3, 4}, "A2:B3"},
        {CellRange{5, 5, 2, 3}, "A1:B1"}},
       {{{6, 2}, "B5+1"}},
       {"{2,2:4,2 A2:A4*2}", "{2,3:3,4 A2:B3}", "{5,2:5,3 A1:B1}", "6,2 B5+1"}},
      {"overlapping: the one whose top-left cell comes later becomes values",
       {{CellRange{2, 4, 2, 3}, "X"}, {CellRange{1, 3, 3, 3}, "Y"}},
       {},
       {"{1,3:3,3 Y}"}},
      {"overlapping an earlier one that ended above",
       {{CellRange{1, 2, 1, 3}, "X"}, {CellRange{3, 3, 2, 2}, "Y"}, {CellRange{4, 4, 1, 2}, "Z"}},
       {},
       {"{1,1:2,3 X}", "{3,2:3,2 Y}", "{4,1:4,2 Z}"}},
      {"a formula inside an array",
       {{CellRange{2, 4, 2, 2}, "A2:A4*2"}},
       {{{3, 2}, "A3"}},
       {"3,2 A3"}},
      {"one long array and many below its side",
       {{CellRange{1, 100, 1, 1}, "L"},
        {CellRange{50, 50, 2, 2}, "M"},
        {CellRange{100, 101, 1, 2}, "N"}},
       {},
       {"{1,1:100,1 L}", "{50,2:50,2 M}"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sheet sheet("Sheet1", false, false);
    for (const auto& [range, text] : c.arrays) PutArray(sheet, range, text, 1);
    for (const auto& [place, text] : c.formulas) PutFormula(sheet, place.first, place.second, text);
    sheet.FinishLoading();
    EXPECT_EQ(Described(sheet), c.expected);
  }
}

TEST(ArrayLoadingTest, AnArrayWhoseCellHoldsNoFormulaIsNone) {
  Sheet sheet("Sheet1", false, false);
  sheet.LoadArrayFormula(CellRange{1, 2, 1, 1});
  sheet.FinishLoading();
  EXPECT_TRUE(sheet.array_formulas().empty());
}

class ArrayPasteTest : public ::testing::Test {
 protected:
  // Rows 1-6: numbers in A; B2:B4 {=A2:A4*2}; C1:D2 {=A1:A2*{1,10}}; E5 {=SUM(A1:A5)};
  // F5:F6 {=A5:A6} reaching the block's last row; G3 an ordinary formula.
  ArrayPasteTest() {
    Sheet& sheet = source_.SheetAt(0);
    for (std::uint32_t row = 1; row <= 6; ++row) {
      const Cell cell = Cell::Number(1, row, 0);
      sheet.LoadRow(row, {&cell, 1});
    }
    PutArray(sheet, CellRange{2, 4, 2, 2}, "A2:A4*2", 4);
    PutArray(sheet, CellRange{1, 2, 3, 4}, "A1:A2*{1,10}", 1);
    PutArray(sheet, CellRange{5, 5, 5, 5}, "SUM(A1:A5)", 15);
    PutArray(sheet, CellRange{5, 6, 6, 6}, "A5:A6", 5);
    PutFormula(sheet, 3, 7, "A3+1");
    sheet.FinishLoading();
  }

  const Sheet& Source() const { return source_.SheetAt(0); }
  Sheet& Target() { return target_.SheetAt(0); }

  Workbook source_{"a"};
  Workbook target_{"b"};
};

TEST_F(ArrayPasteTest, WholeRowsMoveEachArrayWithItsRangeAndFormula) {
  CopyCells(source_, Source(), CellRange{1, 6, 1, kMaxColumns}, target_, Target(), 11, 1);
  EXPECT_EQ(
      Described(Target()),
      (std::vector<std::string>{"{11,3:12,4 A11:A12*{1,10}}", "{12,2:14,2 A12:A14*2}",
                                "{15,5:15,5 SUM(A11:A15)}", "{15,6:16,6 A15:A16}", "13,7 A13+1"}));
  EXPECT_EQ(NumberAt(Target(), 14, 2), 6);
}

// The merge pastes from its start row down: an array the start row falls inside, or that
// reaches past the block, cannot land whole, and its cells land as the values they hold.
TEST_F(ArrayPasteTest, ABlockCuttingThroughAnArrayLandsItsCellsAsValues) {
  struct Case {
    const char* name;
    CellRange range;
    std::uint32_t row, column;
    std::vector<std::string> expected;
    std::pair<std::uint32_t, std::uint32_t> value_at;  // a cut array's top-left, landed
    double value;
  };
  const std::vector<Case> cases = {
      {"start row inside an array",
       CellRange{3, 6, 1, kMaxColumns},
       21,
       1,
       {"{23,5:23,5 SUM(A19:A23)}", "{23,6:24,6 A23:A24}", "21,7 A21+1"},
       {21, 2},
       5},
      {"block ending inside an array",
       CellRange{1, 5, 1, kMaxColumns},
       21,
       1,
       {"{21,3:22,4 A21:A22*{1,10}}", "{22,2:24,2 A22:A24*2}", "{25,5:25,5 SUM(A21:A25)}",
        "23,7 A23+1"},
       {25, 6},
       5},
      {"rectangle leaving an array's column out",
       CellRange{1, 6, 2, 3},
       1,
       10,
       {"{2,10:4,10 I2:I4*2}"},
       {1, 11},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Workbook target("t");
    CopyCells(source_, Source(), c.range, target, target.SheetAt(0), c.row, c.column);
    EXPECT_EQ(Described(target.SheetAt(0)), c.expected);
    EXPECT_EQ(NumberAt(target.SheetAt(0), c.value_at.first, c.value_at.second), c.value);
  }
}

TEST_F(ArrayPasteTest, APasteOverPartOfAnArrayTurnsTheRestIntoValues) {
  Sheet& sheet = source_.SheetAt(0);
  CopyCells(source_, sheet, CellRange{6, 6, 1, 1}, source_, sheet, 3, 2);
  EXPECT_EQ(Described(sheet),
            (std::vector<std::string>{"{1,3:2,4 A1:A2*{1,10}}", "{5,5:5,5 SUM(A1:A5)}",
                                      "{5,6:6,6 A5:A6}", "3,7 A3+1"}));
  EXPECT_EQ(NumberAt(sheet, 2, 2), 4);
  EXPECT_EQ(NumberAt(sheet, 3, 2), 6);
}

TEST_F(ArrayPasteTest, WritingIntoAnArrayTurnsItIntoValues) {
  Sheet& sheet = source_.SheetAt(0);
  sheet.SetCell(2, Cell::Number(4, 99, 0));
  sheet.SetCell(5, Cell::Number(5, 98, 0));
  EXPECT_EQ(Described(sheet),
            (std::vector<std::string>{"{2,2:4,2 A2:A4*2}", "{5,6:6,6 A5:A6}", "3,7 A3+1"}));
  EXPECT_EQ(NumberAt(sheet, 1, 3), 1);
}

// Pasting by header: an array goes along where its columns stay side by side in their order,
// its formula following them; elsewhere its cells land as values and are counted.
TEST_F(ArrayPasteTest, ColumnsMovedByHeaderKeepOnlyArraysWhoseColumnsStayTogether) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> target;
    std::vector<std::string> expected;
    std::size_t kept_as_values;
  };
  const std::vector<Case> cases = {
      {"every column one to the right",
       {2, 3, 4, 5, 6, 7, 8},
       {"{1,4:2,5 B1:B2*{1,10}}", "{2,3:4,3 B2:B4*2}", "{5,6:5,6 SUM(B1:B5)}", "{5,7:6,7 B5:B6}",
        "3,8 B3+1"},
       0},
      {"C and D apart",
       {1, 2, 3, 5, 4, 6, 7},
       {"{2,2:4,2 A2:A4*2}", "{5,4:5,4 SUM(A1:A5)}", "{5,6:6,6 A5:A6}", "3,7 A3+1"},
       1},
      {"D dropped",
       {1, 2, 3, 0, 5, 6, 7},
       {"{2,2:4,2 A2:A4*2}", "{5,5:5,5 SUM(A1:A5)}", "{5,6:6,6 A5:A6}", "3,7 A3+1"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Workbook target("t");
    ColumnPlan plan;
    plan.target = c.target;
    const PlannedCopyResult result =
        CopyPlannedRows(source_, Source(), 1, 6, target, target.SheetAt(0), 1, plan);
    EXPECT_EQ(Described(target.SheetAt(0)), c.expected);
    EXPECT_EQ(result.formulas_kept_as_values, c.kept_as_values);
  }
}

TEST_F(ArrayPasteTest, ColumnsMovedByHeaderLeaveAnArrayAboveTheStartRowAsValues) {
  Workbook target("t");
  ColumnPlan plan;
  plan.target = {1, 2, 3, 5, 4, 6, 7};
  const PlannedCopyResult result =
      CopyPlannedRows(source_, Source(), 2, 6, target, target.SheetAt(0), 10, plan);
  // C1:D2 starts above the block: its second row lands as values, with no formula to count.
  EXPECT_EQ(Described(target.SheetAt(0)),
            (std::vector<std::string>{"{10,2:12,2 A10:A12*2}", "{13,4:13,4 SUM(A9:A13)}",
                                      "{13,6:14,6 A13:A14}", "11,7 A11+1"}));
  EXPECT_EQ(result.formulas_kept_as_values, 0u);
  EXPECT_EQ(NumberAt(target.SheetAt(0), 10, 5), 4);
}

}  // namespace
}  // namespace tavrio::automation::engine
