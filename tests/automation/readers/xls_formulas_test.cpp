// Formula cells of .xls workbooks made record by record: what reaches the sink is the formula
// the tokens spell, with what the workbook globals name, or no formula at all beside the
// cell's last result.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/biff_builder.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

using namespace tavrio::testing::biff;
using tavrio::testing::Biff8String;
using tavrio::testing::BiffRecord;
using tavrio::testing::BiffWorkbookStream;
using tavrio::testing::CompoundFileBytes;
using tavrio::testing::TempFolder;
using tavrio::testing::U16;
using tavrio::testing::U32;
using tavrio::testing::U8;
using tavrio::testing::WriteFile;

// A BIFF8 NAME record of a name defined for the whole workbook.
std::string Name(const std::string& utf8, std::uint16_t flags = 0) {
  const std::string text = Biff8String(utf8, 1);
  return BiffRecord(0x0018, U16(flags) + U8(0) + text.substr(0, 1) + U16(0) + U16(0) + U16(0) +
                                U32(0) + text.substr(1));
}

std::string Globals() {
  const std::string self_book = BiffRecord(0x01AE, U16(2) + U16(0x0401));
  const std::string other_book =
      BiffRecord(0x01AE, U16(1) + Biff8String("\x01other.xls", 2) + Biff8String("S", 2));
  // Entry 0: Sheet2 of this workbook; 1: a sheet of other.xls; 2: a deleted sheet.
  const std::string extern_sheet =
      BiffRecord(0x0017, U16(3) + U16(0) + U16(1) + U16(1) + U16(1) + U16(0) + U16(0) + U16(0) +
                             U16(0xFFFF) + U16(0xFFFF));
  // Name 2 is the built-in print area, stored as a one-character code.
  return self_book + other_book + extern_sheet + Name("税率") + Name("\x06", 0x0020);
}

std::string Ref3d(std::uint16_t ixti) { return U8(0x3A) + U16(ixti) + U16(0) + U16(0xC000); }
std::string PtgName(std::uint32_t index) { return U8(0x23) + U32(index); }

// A SHRFMLA record over rows `first` to `last` of column A: a reference one row up and one
// column right of each cell.
std::string SharedFormula(std::uint16_t first, std::uint16_t last) {
  const std::string tokens = U8(0x2C) + U16(0xFFFF) + U16(0xC001);
  return BiffRecord(0x04BC, U16(first) + U16(last) + U8(0) + U8(0) + U8(0) + U8(2) +
                                U16(static_cast<std::uint16_t>(tokens.size())) + tokens);
}

// An ARRAY record over rows `first` to `last` of column A.
std::string ArrayFormula(std::uint16_t first, std::uint16_t last, const std::string& tokens) {
  return BiffRecord(0x0221, U16(first) + U16(last) + U8(0) + U8(0) + U16(0) + U32(0) +
                                U16(static_cast<std::uint16_t>(tokens.size())) + tokens);
}

// B1:B2*2 as an array formula spells it: the area in the array class (PtgAreaA).
const std::string kArrayTokens =
    U8(0x65) + U16(0) + U16(1) + U16(0xC001) + U16(0xC001) + std::string("\x1E\x02\x00\x05", 4);

std::string Cells() {
  const auto at = [](std::uint16_t row, double result, const std::string& tokens) {
    return Formula(row, 0, 0, NumberResult(result), 8, tokens);
  };
  return at(0, 1, std::string("\x1E\x01\x00", 3)) + at(1, 2, Ref3d(0)) + at(2, 3, Ref3d(1)) +
         at(3, 4, Ref3d(2)) + at(4, 5, PtgName(1)) + at(5, 6, PtgName(2)) + at(6, 7, PtgName(9)) +
         at(7, 8, PtgExp(7, 0)) + SharedFormula(7, 8) + at(8, 9, PtgExp(7, 0)) +
         at(9, 10, PtgExp(9, 0)) + ArrayFormula(9, 9, std::string("\x1E\x05\x00", 3)) +
         at(10, 11, std::string("\xFF\x01", 2)) + at(11, 12, std::string("\x1E\x01", 2)) +
         at(12, 13, PtgExp(20, 0)) + at(13, 14, PtgExp(13, 0)) +
         ArrayFormula(13, 14, kArrayTokens) + at(14, 15, PtgExp(13, 0)) +
         at(15, 16, PtgExp(15, 0)) + ArrayFormula(15, 15, std::string("\xFF\x01", 2));
}

struct FormulaCase {
  std::string cell;
  std::string formula;  // empty: none, the result alone
  double result;
  std::uint32_t array_rows = 0;  // in column A alone
};

class XlsFormulasTest : public ::testing::TestWithParam<FormulaCase> {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    const std::string path = folder_->File("formulas.xls");
    WriteFile(
        path,
        CompoundFileBytes(
            {{"Workbook", BiffWorkbookStream(8, Globals(), {{"数据", Cells()}, {"Sheet2", ""}})}}));
    sink_ = new RecordingSink;
    OpenWorkbookFile(path)->ReadSheet(0, *sink_);
  }
  static void TearDownTestSuite() {
    delete sink_;
    delete folder_;
  }

  static TempFolder* folder_;
  static RecordingSink* sink_;
};

TempFolder* XlsFormulasTest::folder_ = nullptr;
RecordingSink* XlsFormulasTest::sink_ = nullptr;

TEST_P(XlsFormulasTest, CellCarriesItsFormulaOrNoneBesideItsResult) {
  const FormulaCase& c = GetParam();
  const RecordedCell& cell = sink_->At(c.cell);
  EXPECT_EQ(cell.kind, Kind::kNumber);
  EXPECT_EQ(cell.number, c.result);
  EXPECT_EQ(cell.formula, c.formula);
  EXPECT_EQ(cell.array_rows, c.array_rows);
  EXPECT_EQ(cell.array_columns, c.array_rows == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, XlsFormulasTest,
    ::testing::Values(FormulaCase{"A1", "1", 1}, FormulaCase{"A2", "Sheet2!A1", 2},
                      // A reference into another workbook, a deleted sheet.
                      FormulaCase{"A3", "", 3}, FormulaCase{"A4", "", 4},
                      FormulaCase{"A5", "税率", 5},
                      // A built-in name, a name no NAME record defines.
                      FormulaCase{"A6", "", 6}, FormulaCase{"A7", "", 7},
                      // A shared formula, moved to each of its cells.
                      FormulaCase{"A8", "B7", 8}, FormulaCase{"A9", "B8", 9},
                      // An array formula of one cell.
                      FormulaCase{"A10", "5", 10, 1},
                      // A token the decoder does not know, tokens cut short, a shared
                      // formula whose record is missing.
                      FormulaCase{"A11", "", 11}, FormulaCase{"A12", "", 12},
                      FormulaCase{"A13", "", 13},
                      // An array formula on its top-left cell, its other cell a value; one
                      // whose tokens cannot be read keeps its values.
                      FormulaCase{"A14", "B1:B2*2", 14, 2}, FormulaCase{"A15", "", 15},
                      FormulaCase{"A16", "", 16}),
    [](const auto& info) { return info.param.cell; });

}  // namespace
}  // namespace tavrio::automation::readers::testing
