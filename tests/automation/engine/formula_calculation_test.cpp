// Formulas a file kept no trusted result for, calculated by the engine before they are shown,
// read or saved; what cannot be calculated shows its stored result or an error, and is counted.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "fake_files.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation {
namespace {

using testing::FakeCell;
using testing::FakeFiles;
using testing::FakeSheet;
using testing::FakeWorkbook;

CellValue Error(const char* text) { return CellErrorValue{text}; }
CellValue Text(const char* text) { return std::string(text); }

class FormulaCalculationTest : public ::testing::Test {
 protected:
  // Opens a workbook of one sheet holding `cells` and shows it, as the window does.
  const engine::Sheet& Show(std::vector<FakeCell> cells, bool trusted = true) {
    FakeWorkbook workbook{{FakeSheet("Sheet1", std::move(cells))}};
    workbook.results_trusted = trusted;
    files_.Add("/in/book.xlsx", std::move(workbook));
    engine_.OpenWorkbook("/in/book.xlsx");
    return engine_.LoadSheet("book.xlsx", 0);
  }
  CellValue Value(std::int16_t row, int column) { return engine_.GetCellValue(row, column); }

  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

// Row 1 holds what the formulas read; the formula stands in G1 with no stored result.
std::vector<FakeCell> ReadRow(const std::string& formula, CellValue stored = {}) {
  return {{1, 1, 3.0},           {1, 2, 2.5},  {1, 3, Text("苹果")},
          {1, 4, Error("#N/A")}, {1, 5, true}, {1, 7, std::move(stored), 0, formula}};
}

struct OneFormula {
  const char* formula;
  CellValue shown;
  std::size_t uncalculated;
};

const OneFormula kOneFormula[] = {
    {"A1*B1", 7.5, 0},
    {"SUM(A1:B1)", 5.5, 0},
    {"AVERAGE(A1:B1)", 2.75, 0},
    {"IF(A1>2,\"多\",\"少\")", Text("多"), 0},
    {"A1>2", true, 0},
    {"E1", true, 0},
    {"E1*2", 2.0, 0},
    {"A1/0", Error("#DIV/0!"), 0},
    {"C1&\"x\"", Text("苹果x"), 0},
    {"CONCATENATE(C1,A1,B1)", Text("苹果32.5"), 0},
    // What the library lacks, computes otherwise, or cannot resolve:
    {"ROUND(B1,0)", Error("#NAME?"), 1},
    {"FOOBAR(A1)", Error("#NAME?"), 1},
    {"LEN(C1)", Error("#NAME?"), 1},              // it counts bytes
    {"C1&A1/7", Error("#NAME?"), 1},              // it would shorten 0.428571428571429
    {"SUM(A:A)", Error("#NAME?"), 1},             // it answers #REF!
    {"1+\"2\"", Error("#NAME?"), 1},              // it answers #NUM!
    {"IF(A1>2,1)", Error("#NAME?"), 1},           // it takes only three arguments
    {"IFERROR(A1/0,\"x\")", Error("#NAME?"), 1},  // lacking, it would pass #DIV/0! on
    {"[1]Sheet1!A1", Error("#REF!"), 1},          // another workbook
    {"缺少!A1", Error("#REF!"), 1},               // no such sheet
    {"D1+1", Error("#N/A"), 1},                   // an error the library cannot hold passes on
};

class OneFormulaTest : public FormulaCalculationTest,
                       public ::testing::WithParamInterface<OneFormula> {};

TEST_P(OneFormulaTest, ShowsWhatADesktopApplicationShowsOrIsCounted) {
  const OneFormula& c = GetParam();
  const engine::Sheet& sheet = Show(ReadRow(c.formula));
  EXPECT_EQ(Value(1, 7), c.shown);
  EXPECT_EQ(sheet.uncalculated_formulas(), c.uncalculated);
  EXPECT_EQ(*sheet.FormulaAt(1, 7), c.formula);  // the formula itself stays
}

INSTANTIATE_TEST_SUITE_P(Formulas, OneFormulaTest, ::testing::ValuesIn(kOneFormula));

struct Stored {
  const char* name;
  bool trusted;
  const char* formula;
  CellValue stored;
  CellValue shown;
  std::size_t uncalculated;
};

const Stored kStored[] = {
    // What a spreadsheet application saved is what the author saw, even where it disagrees.
    {"trusted_kept", true, "A1*B1", 99.0, 99.0, 0},
    {"trusted_missing", true, "A1*B1", {}, 7.5, 0},
    // A file that asks to be recalculated, or a program's, gets results calculated.
    {"untrusted_replaced", false, "A1*B1", 99.0, 7.5, 0},
    {"untrusted_zero_replaced", false, "A1*B1", 0.0, 7.5, 0},
    // What cannot be calculated keeps a result it has; a program's 0 is no result.
    {"uncalculable_keeps_result", false, "ROUND(B1,0)", 3.0, 3.0, 1},
    {"uncalculable_zero_is_none", false, "ROUND(B1,0)", 0.0, Error("#NAME?"), 1},
    {"uncalculable_trusted_missing", true, "ROUND(B1,0)", {}, Error("#NAME?"), 1},
};

class StoredResultTest : public FormulaCalculationTest,
                         public ::testing::WithParamInterface<Stored> {};

TEST_P(StoredResultTest, IsKeptOnlyWhereAnApplicationComputedIt) {
  const Stored& c = GetParam();
  const engine::Sheet& sheet = Show(ReadRow(c.formula, c.stored), c.trusted);
  EXPECT_EQ(Value(1, 7), c.shown);
  EXPECT_EQ(sheet.uncalculated_formulas(), c.uncalculated);
}

INSTANTIATE_TEST_SUITE_P(Formulas, StoredResultTest, ::testing::ValuesIn(kStored),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormulaCalculationTest, AFormulaReadingLaterOnesWaitsForThemAndCyclesAreCounted) {
  const engine::Sheet& sheet = Show({{2, 1, 1.0},
                                     {3, 1, 2.0},
                                     {4, 1, 3.0},
                                     {2, 2, {}, 0, "SUM(B3:B4)"},  // a total above its rows
                                     {3, 2, {}, 0, "A3*2"},
                                     {4, 2, {}, 0, "B3+A4"},
                                     {2, 3, {}, 0, "C3+1"},  // a cycle
                                     {3, 3, {}, 0, "C2+1"},
                                     {4, 3, {}, 0, "B2*10"},  // reads a total that waited
                                     {2, 4, {}, 0, "D3+1"},   // waits for one not calculable
                                     {3, 4, {}, 0, "FOOBAR()"}});
  EXPECT_EQ(Value(3, 2), CellValue(4.0));
  EXPECT_EQ(Value(4, 2), CellValue(7.0));
  EXPECT_EQ(Value(2, 2), CellValue(11.0));
  EXPECT_EQ(Value(4, 3), CellValue(110.0));
  EXPECT_EQ(Value(2, 3), Error("#REF!"));
  EXPECT_EQ(Value(3, 3), Error("#REF!"));
  // Not a cycle: once FOOBAR() shows #NAME?, the formula reading it shows the error passed
  // on, as a desktop application does; it is counted too, since the library's #NAME? cannot be
  // told from one it makes of what it cannot read.
  EXPECT_EQ(Value(2, 4), Error("#NAME?"));
  EXPECT_EQ(Value(3, 4), Error("#NAME?"));
  EXPECT_EQ(sheet.uncalculated_formulas(), 4u);
}

// The library's way of filling an array's range is not vouched for: an array due for
// calculation keeps the results it holds, and formulas reading its range read them.
TEST_F(FormulaCalculationTest, AnArrayFormulaKeepsItsResultsAndIsCounted) {
  const engine::Sheet& sheet = Show({{1, 1, 3.0},
                                     {2, 1, 4.0},
                                     {1, 2, 6.0, 0, "A1:A2*2", 2, 1},
                                     {2, 2, 8.0},
                                     {1, 3, {}, 0, "B2+1"},
                                     {4, 1, {}, 0, "SUM(A1:A2)", 1, 1}},
                                    false);
  EXPECT_EQ(Value(1, 2), CellValue(6.0));
  EXPECT_EQ(Value(2, 2), CellValue(8.0));
  EXPECT_EQ(Value(1, 3), CellValue(9.0));
  EXPECT_EQ(Value(4, 1), Error("#NAME?"));  // no result held
  EXPECT_EQ(sheet.uncalculated_formulas(), 2u);
}

TEST_F(FormulaCalculationTest, AFormulaReadsTheOtherSheetsOfItsWorkbookAsTheyStand) {
  FakeWorkbook workbook{{FakeSheet("Sheet1", {{1, 1, {}, 0, "其他!B2+'O''Brien'!A1*2"},
                                              {1, 2, {}, 0, "SUM(其他!B1:B3)"}}),
                         FakeSheet("其他", {{1, 2, 1.0}, {2, 2, 10.0}, {3, 2, 100.0}}),
                         FakeSheet("O'Brien", {{1, 1, 3.0}})}};
  files_.Add("/in/book.xlsx", std::move(workbook));
  engine_.OpenWorkbook("/in/book.xlsx");
  const engine::Sheet& sheet = engine_.LoadSheet("book.xlsx", 0);
  EXPECT_EQ(Value(1, 1), CellValue(16.0));
  EXPECT_EQ(Value(1, 2), CellValue(111.0));
  EXPECT_EQ(sheet.uncalculated_formulas(), 0u);
}

TEST_F(FormulaCalculationTest, ManyFormulasSpanningBatchesReadTheRowsAbove) {
  // A running balance over more rows than one batch of the library's model holds.
  std::vector<FakeCell> cells;
  const std::uint32_t rows = 70000;
  for (std::uint32_t row = 1; row <= rows; ++row) {
    cells.push_back({row, 1, 1.0});
    const std::string above = row == 1 ? "0" : "B" + std::to_string(row - 1);
    cells.push_back({row, 2, {}, 0, above + "+A" + std::to_string(row)});
  }
  const engine::Sheet& sheet = Show(std::move(cells));
  EXPECT_EQ(sheet.FindCell(rows, 2)->number, static_cast<double>(rows));
  EXPECT_EQ(sheet.FindCell(65537, 2)->number, 65537.0);
  EXPECT_EQ(sheet.uncalculated_formulas(), 0u);
}

class PastedFormulaTest : public FormulaCalculationTest {
 protected:
  PastedFormulaTest() {
    files_.Add("/in/一月.xlsx", Month(1.0, 2.0));
    files_.Add("/in/二月.xlsx", Month(5.0, 7.0));
  }
  // A header, two rows of 数量 and a 金额 formula with no stored result, and a total row that
  // reads the rows above it.
  static FakeWorkbook Month(double first, double second) {
    return {{FakeSheet("Sheet1", {{1, 1, Text("数量")},
                                  {1, 2, Text("金额")},
                                  {2, 1, first},
                                  {2, 2, {}, 0, "A2*10"},
                                  {3, 1, second},
                                  {3, 2, {}, 0, "A3*10"},
                                  {4, 2, {}, 0, "SUM(B2:B3)"}})}};
  }
  // Pastes rows `rows` of `path` at the merged sheet's row `at`, as a merge does.
  void PasteFrom(const std::string& path, const std::string& rows, std::int32_t at) {
    engine_.OpenWorkbook(path);
    engine_.SelectRows(rows);
    engine_.ExtendSelectionToLastUsedRow();
    engine_.CopySelection();
    if (engine_.WorkbookNames().size() == 1) {
      engine_.AddWorkbook();
    } else {
      engine_.ActivateWindow("工作簿1");
    }
    engine_.SelectCell(at, 1);
    engine_.PasteIntoActiveSheet();
    engine_.ActivateWindow(std::filesystem::path(path).filename().string());
    engine_.SetCutCopyMode(false);
    engine_.CloseActiveWindow();
  }
};

TEST_F(PastedFormulaTest, EachFormulaComputesFromTheRowItLandedOn) {
  PasteFrom("/in/一月.xlsx", "1:1", 1);
  PasteFrom("/in/二月.xlsx", "2:2", 5);
  const engine::Sheet& sheet = engine_.LoadSheet("工作簿1", 0);
  EXPECT_EQ(*sheet.FormulaAt(5, 2), "A5*10");
  EXPECT_EQ(Value(2, 2), CellValue(10.0));
  EXPECT_EQ(Value(4, 2), CellValue(30.0));
  EXPECT_EQ(Value(5, 2), CellValue(50.0));
  EXPECT_EQ(Value(7, 2), CellValue(120.0));
  EXPECT_EQ(sheet.uncalculated_formulas(), 0u);
}

TEST_F(PastedFormulaTest, APasteOverCellsAFormulaReadsCalculatesItAgain) {
  PasteFrom("/in/一月.xlsx", "1:1", 1);
  EXPECT_EQ(Value(4, 2), CellValue(30.0));
  // 二月's rows land over 一月's data rows: the total reads them now.
  PasteFrom("/in/二月.xlsx", "2:3", 2);
  EXPECT_EQ(Value(4, 2), CellValue(120.0));
}

TEST_F(PastedFormulaTest, SavingAsCsvWritesTheCalculatedResults) {
  PasteFrom("/in/一月.xlsx", "1:1", 1);
  PasteFrom("/in/二月.xlsx", "2:2", 5);
  tavrio::testing::TempFolder folder;
  const std::string path = folder.File("合并.csv");
  engine_.SaveWorkbookAs("工作簿1", path);
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "\xEF\xBB\xBF数量,金额\r\n1,10\r\n2,20\r\n,30\r\n5,50\r\n7,70\r\n,120\r\n");
}

}  // namespace
}  // namespace tavrio::automation
