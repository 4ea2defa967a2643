// What a paste carries besides values and styles: formulas, row heights and merged cells.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "automation/base/sheet_limits.h"
#include "automation/engine/cell_copy.h"
#include "automation/engine/workbook.h"

namespace tavrio::automation::engine {
namespace {

std::vector<std::string> Formulas(const Sheet& sheet) {
  std::vector<std::string> found;
  for (const FormulaRef& f : sheet.formulas()) {
    const Cell* cell = sheet.FindCell(f.row, f.column);
    const bool flagged = cell != nullptr && (cell->flags & kHasFormula) != 0;
    found.push_back(std::to_string(f.row) + "," + std::to_string(f.column) + " " +
                    std::string(f.text) + (flagged ? "" : " (unflagged)"));
  }
  return found;
}

std::vector<std::string> Heights(const Sheet& sheet) {
  std::vector<std::string> found;
  for (const RowHeight& h : sheet.row_heights()) {
    found.push_back(std::to_string(h.row) + "=" + std::to_string(static_cast<int>(h.points)));
  }
  return found;
}

std::vector<std::string> Merges(const Sheet& sheet) {
  std::vector<std::string> found;
  for (const CellRange& m : sheet.merged_cells()) {
    found.push_back(std::to_string(m.first_row) + "," + std::to_string(m.first_column) + ":" +
                    std::to_string(m.last_row) + "," + std::to_string(m.last_column));
  }
  std::sort(found.begin(), found.end());
  return found;
}

class PasteExtrasTest : public ::testing::Test {
 protected:
  PasteExtrasTest() {
    // Rows 1-5 of a source: numbers in A, formulas in B, heights on 2 and 5, three merges.
    Sheet& sheet = source_.SheetAt(0);
    for (std::uint32_t row = 1; row <= 5; ++row) {
      sheet.SetCell(row, Cell::Number(1, row, 0));
      Cell formula = Cell::Number(2, row * 2, 0);
      formula.flags = kHasFormula;
      sheet.SetCell(row, formula);
      sheet.LoadFormula(CellFormula{row, 2, "A" + std::to_string(row) + "*2+$A$1"});
    }
    sheet.LoadRowHeight({2, 30});
    sheet.LoadRowHeight({5, 40});
    sheet.ReplaceMergedCells(CellRange{1, 5, 1, kMaxColumns},
                             {CellRange{2, 3, 3, 4}, CellRange{4, 6, 3, 3}, CellRange{1, 1, 1, 2}});
    // The target has a merge and a formula where the block lands, and a height further down.
    Sheet& to = target_.SheetAt(0);
    Cell old = Cell::Number(2, 0, 0);
    old.flags = kHasFormula;
    to.SetCell(11, old);
    to.ReplaceFormulas(CellRange{11, 11, 2, 2}, {CellFormula{11, 2, "Z99"}});
    to.ReplaceMergedCells(CellRange{10, 10, 5, 6}, {CellRange{10, 10, 5, 6}});
    to.ReplaceRowHeights(20, 20, {RowHeight{20, 50}});
  }

  Workbook source_{"a"};
  Workbook target_{"b"};
};

TEST_F(PasteExtrasTest, WholeRowsBringFormulasMovedHeightsAndTheMergesInside) {
  CopyCells(source_, source_.SheetAt(0), CellRange{2, 4, 1, kMaxColumns}, target_,
            target_.SheetAt(0), 10, 1);
  const Sheet& to = target_.SheetAt(0);
  EXPECT_EQ(Formulas(to),
            (std::vector<std::string>{"10,2 A10*2+$A$1", "11,2 A11*2+$A$1", "12,2 A12*2+$A$1"}));
  EXPECT_EQ(Heights(to), (std::vector<std::string>{"10=30", "20=50"}));
  // 2-3 × C-D moves to 10-11; 4-6 × C is cut by the block's end and stays behind; the target's
  // own merge under the block is gone.
  EXPECT_EQ(Merges(to), (std::vector<std::string>{"10,3:11,4"}));
}

TEST_F(PasteExtrasTest, ARectangleMovesColumnsTooButLeavesRowHeights) {
  CopyCells(source_, source_.SheetAt(0), CellRange{3, 4, 2, 4}, target_, target_.SheetAt(0), 1, 5);
  const Sheet& to = target_.SheetAt(0);
  EXPECT_EQ(Formulas(to), (std::vector<std::string>{"1,5 D1*2+$A$1", "2,5 D2*2+$A$1", "11,2 Z99"}));
  EXPECT_EQ(Heights(to), (std::vector<std::string>{"20=50"}));
  EXPECT_EQ(Merges(to), (std::vector<std::string>{"10,5:10,6"}));
}

// Replacing the formulas of a rectangle keeps every other formula, in row and column order,
// wherever the rectangle lies among them.
TEST(ReplaceFormulasTest, OnlyTheRectangleChangesWhereverItLies) {
  struct Case {
    const char* name;
    CellRange range;
    std::vector<CellFormula> formulas;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"middle columns",
       CellRange{2, 3, 2, 2},
       {CellFormula{3, 2, "N"}},
       {"1,1 a", "1,2 b", "2,1 c", "2,3 e", "3,1 f", "3,2 N", "4,2 h"}},
      {"whole rows, nothing new", CellRange{2, 3, 1, kMaxColumns}, {}, {"1,1 a", "1,2 b", "4,2 h"}},
      {"rows below the last",
       CellRange{6, 7, 1, kMaxColumns},
       {CellFormula{6, 1, "X"}, CellFormula{7, 3, "Y"}},
       {"1,1 a", "1,2 b", "2,1 c", "2,2 d", "2,3 e", "3,1 f", "4,2 h", "6,1 X", "7,3 Y"}},
      {"above the first",
       CellRange{1, 1, 3, 3},
       {CellFormula{1, 3, "Z"}},
       {"1,1 a", "1,2 b", "1,3 Z", "2,1 c", "2,2 d", "2,3 e", "3,1 f", "4,2 h"}},
      {"rows without formulas",
       CellRange{5, 5, 1, 1},
       {},
       {"1,1 a", "1,2 b", "2,1 c", "2,2 d", "2,3 e", "3,1 f", "4,2 h"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sheet sheet("Sheet1", false, false);
    for (const auto& [row, column, text] : std::vector<CellFormula>{{1, 1, "a"},
                                                                    {1, 2, "b"},
                                                                    {2, 1, "c"},
                                                                    {2, 2, "d"},
                                                                    {2, 3, "e"},
                                                                    {3, 1, "f"},
                                                                    {4, 2, "h"}}) {
      sheet.LoadFormula(CellFormula{row, column, text});
    }
    sheet.FinishLoading();
    sheet.ReplaceFormulas(c.range, c.formulas);
    std::vector<std::string> formulas;
    for (const FormulaRef& f : sheet.formulas()) {
      formulas.push_back(std::to_string(f.row) + "," + std::to_string(f.column) + " " +
                         std::string(f.text));
    }
    EXPECT_EQ(formulas, c.expected);
  }
}

TEST_F(PasteExtrasTest, ABlockPastedOntoItselfMovesFromWhatItWas) {
  Sheet& sheet = source_.SheetAt(0);
  CopyCells(source_, sheet, CellRange{1, 5, 1, kMaxColumns}, source_, sheet, 3, 1);
  EXPECT_EQ(Formulas(sheet), (std::vector<std::string>{
                                 "1,2 A1*2+$A$1", "2,2 A2*2+$A$1", "3,2 A3*2+$A$1", "4,2 A4*2+$A$1",
                                 "5,2 A5*2+$A$1", "6,2 A6*2+$A$1", "7,2 A7*2+$A$1"}));
  EXPECT_EQ(Heights(sheet), (std::vector<std::string>{"2=30", "4=30", "7=40"}));
  // Row 1's merge is above the block's landing place and stays; the two the block lands on go.
  EXPECT_EQ(Merges(sheet), (std::vector<std::string>{"1,1:1,2", "3,1:3,2", "4,3:5,4"}));
}

TEST_F(PasteExtrasTest, AFormulaWithoutAResultStillCountsAsUsed) {
  Sheet& sheet = source_.SheetAt(0);
  Cell formula = Cell::Blank(1, 0);
  formula.flags = kHasFormula;
  sheet.SetCell(9, formula);
  sheet.LoadFormula(CellFormula{9, 1, "A8"});
  sheet.SetCell(10, Cell::Blank(1, 3));
  EXPECT_EQ(sheet.LastUsedRow(), 9u);
}

TEST_F(PasteExtrasTest, WritingOverAFormulaCellDropsItsFormula) {
  Sheet& sheet = source_.SheetAt(0);
  sheet.SetCell(3, Cell::Number(2, 7, 0));
  EXPECT_EQ(sheet.FormulaAt(3, 2), nullptr);
  EXPECT_NE(sheet.FormulaAt(4, 2), nullptr);
}

}  // namespace
}  // namespace tavrio::automation::engine
