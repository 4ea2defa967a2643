// Reading and writing cells of the active sheet, and what loading a sheet keeps.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "error_of.h"
#include "fake_files.h"

namespace tavrio::automation {
namespace {

using testing::ErrorOf;
using testing::FakeFiles;
using testing::FakeSheet;
using testing::FakeWorkbook;

class EngineCellsTest : public ::testing::Test {
 protected:
  void Open(FakeWorkbook workbook) {
    files_.Add("/data/values.xlsx", std::move(workbook));
    engine_.OpenWorkbook("/data/values.xlsx");
  }
  CellValue Value(std::int16_t row, int column) { return engine_.GetCellValue(row, column); }

  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

struct RowCase {
  const char* label;
  RowArgument row;
  int error;  // 0: reads the row
  const char* description;
};

class RowArgumentTest : public EngineCellsTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowArgumentTest, RowTextMustReadAsAWholeRowNumber) {
  Open({{FakeSheet{"Sheet1", {{3, 1, std::string("three")}, {1048576, 1, 1.0}}}}});
  const RowCase& param = GetParam();
  if (param.error == 0) {
    EXPECT_NE(engine_.GetCellValue(param.row, 1), CellValue());
    engine_.SetCellText(param.row, 2, "written");
    EXPECT_EQ(engine_.GetCellValue(param.row, 2), CellValue(std::string("written")));
    return;
  }
  for (const bool write : {false, true}) {
    SCOPED_TRACE(write ? "SetCellText" : "GetCellValue");
    const Error error = ErrorOf([&] {
      if (write) {
        engine_.SetCellText(param.row, 1, "x");
      } else {
        engine_.GetCellValue(param.row, 1);
      }
    });
    EXPECT_EQ(error.number(), param.error);
    EXPECT_EQ(error.description(), param.description);
  }
  EXPECT_FALSE(engine_.HasUnsavedChanges("values.xlsx"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RowArgumentTest,
    ::testing::Values(
        RowCase{"number", std::int16_t{3}, 0, ""}, RowCase{"text", std::string("3"), 0, ""},
        RowCase{"blanks_around", std::string(" 3 "), 0, ""},
        RowCase{"decimal_zero", std::string("3.0"), 0, ""},
        RowCase{"plus_sign", std::string("+3"), 0, ""},
        RowCase{"last_row", std::string("1048576"), 0, ""},
        RowCase{"fraction", std::string("2.5"), 13, "类型不匹配：“2.5”不是行号。"},
        RowCase{"word", std::string("abc"), 13, "类型不匹配：“abc”不是行号。"},
        RowCase{"empty", std::string(""), 13, "类型不匹配：“”不是行号。"},
        RowCase{"range", std::string("3:3"), 13, "类型不匹配：“3:3”不是行号。"},
        RowCase{"infinity", std::string("inf"), 13, "类型不匹配：“inf”不是行号。"},
        RowCase{"zero_number", std::int16_t{0}, 1004, "行号 0 超出工作表的范围（1 到 1048576）。"},
        RowCase{"negative_number", std::int16_t{-5}, 1004,
                "行号 -5 超出工作表的范围（1 到 1048576）。"},
        RowCase{"zero_text", std::string("0"), 1004, "行号 0 超出工作表的范围（1 到 1048576）。"},
        RowCase{"past_last_row", std::string("1048577"), 1004,
                "行号 1048577 超出工作表的范围（1 到 1048576）。"},
        RowCase{"huge", std::string("1e300"), 1004,
                "行号 1e300 超出工作表的范围（1 到 1048576）。"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(EngineCellsTest, ColumnsOutsideTheSheetAreRefused) {
  Open({{FakeSheet{"Sheet1", {}}}});
  for (const int column : {0, -1, 16385}) {
    SCOPED_TRACE(column);
    const Error error = ErrorOf([&] { engine_.GetCellValue(std::int16_t{1}, column); });
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(),
              "列号 " + std::to_string(column) + " 超出工作表的范围（1 到 16384）。");
  }
  EXPECT_EQ(Value(1, 16384), CellValue());
}

TEST_F(EngineCellsTest, ValuesAreKeptExactly) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double third = 1.0 / 3.0;
  const std::string long_text = std::string(32766, 'x') + "末";
  Open({{FakeSheet{"Sheet1",
                   {{1, 1, third},
                    {1, 2, tiny},
                    {1, 3, -0.0},
                    {1, 4, std::string("007")},
                    {1, 5, long_text},
                    {1, 6, true},
                    {1, 7, false},
                    {1, 8, CellErrorValue{"#N/A"}},
                    {1, 9, CellErrorValue{"#DIV/0!"}},
                    {1, 10, std::string("")},
                    {1, 11, std::monostate{}, 0}}}}});
  EXPECT_EQ(std::bit_cast<std::uint64_t>(std::get<double>(Value(1, 1))),
            std::bit_cast<std::uint64_t>(third));
  EXPECT_EQ(std::get<double>(Value(1, 2)), tiny);
  EXPECT_TRUE(std::signbit(std::get<double>(Value(1, 3))));
  EXPECT_EQ(Value(1, 4), CellValue(std::string("007")));
  EXPECT_EQ(Value(1, 5), CellValue(long_text));
  EXPECT_EQ(Value(1, 6), CellValue(true));
  EXPECT_EQ(Value(1, 7), CellValue(false));
  EXPECT_EQ(Value(1, 8), CellValue(CellErrorValue{"#N/A"}));
  EXPECT_EQ(Value(1, 9), CellValue(CellErrorValue{"#DIV/0!"}));
  EXPECT_EQ(Value(1, 10), CellValue(std::string("")));
  EXPECT_EQ(Value(1, 11), CellValue());
  EXPECT_EQ(Value(2, 1), CellValue());
}

TEST_F(EngineCellsTest, CellsMayArriveInAnyOrderAndTheLastAtOnePlaceWins) {
  Open({{FakeSheet{"Sheet1",
                   {{5, 2, 52.0},
                    {5, 1, 51.0},
                    {2, 3, std::string("first")},
                    {9, 1, 91.0},
                    {2, 3, std::string("second")},
                    {1, 1, 11.0}}}}});
  EXPECT_EQ(Value(5, 1), CellValue(51.0));
  EXPECT_EQ(Value(5, 2), CellValue(52.0));
  EXPECT_EQ(Value(2, 3), CellValue(std::string("second")));
  EXPECT_EQ(Value(1, 1), CellValue(11.0));
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 9);
}

TEST_F(EngineCellsTest, StyledBlanksAreNoValueForTheLastUsedRow) {
  Open({{FakeSheet{"Sheet1", {{3, 1, 1.0}, {7, 4, std::monostate{}}}}}});
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 3);
}

TEST_F(EngineCellsTest, SheetsAreReadOnlyWhenFirstUsed) {
  Open({{testing::GridSheet("A", 2, 2), testing::GridSheet("B", 2, 2)}});
  EXPECT_EQ(files_.Reads("/data/values.xlsx", 0), 0);
  engine_.SelectSheet(std::string("B"));
  engine_.SelectRows("1:1");
  EXPECT_EQ(files_.Reads("/data/values.xlsx", 1), 0);
  EXPECT_EQ(Value(2, 2), CellValue(4.0));
  Value(1, 1);
  engine_.ActiveSheetLastUsedRow();
  EXPECT_EQ(files_.Reads("/data/values.xlsx", 0), 0);
  EXPECT_EQ(files_.Reads("/data/values.xlsx", 1), 1);
}

TEST_F(EngineCellsTest, DatesOfA1904FileMoveToThe1900System) {
  FakeWorkbook workbook{{FakeSheet{"Sheet1",
                                   {{1, 1, 0.0, 1},       // 1904-01-01 as a date
                                    {1, 2, 0.5, 2},       // a time of day stays
                                    {1, 3, 100.0, 0}}}},  // a plain number stays
                        {"General", "yyyy-mm-dd", "h:mm"},
                        true};
  Open(workbook);
  EXPECT_EQ(Value(1, 1), CellValue(1462.0));
  EXPECT_EQ(Value(1, 2), CellValue(0.5));
  EXPECT_EQ(Value(1, 3), CellValue(100.0));
}

TEST_F(EngineCellsTest, SetCellTextKeepsTextExactlyAndMarksTheWorkbookChanged) {
  Open({{FakeSheet{"Sheet1", {{1, 1, 5.0}}}}});
  engine_.SetCellText(std::int16_t{1}, 1, "00123");
  engine_.SetCellText(std::string("4"), 3, "");
  EXPECT_EQ(Value(1, 1), CellValue(std::string("00123")));
  EXPECT_EQ(Value(4, 3), CellValue(std::string("")));
  EXPECT_TRUE(engine_.HasUnsavedChanges("values.xlsx"));
}

TEST_F(EngineCellsTest, TextLongerThanACellHoldsIsRefused) {
  Open({{FakeSheet{"Sheet1", {}}}});
  // 32,767 UTF-16 units fit; a character outside the BMP takes two of them.
  engine_.SetCellText(std::int16_t{1}, 1, std::string(32767, 'a'));
  const std::string too_long = std::string(32766, 'a') + "\xF0\x9F\x98\x80";
  const Error error = ErrorOf([&] { engine_.SetCellText(std::int16_t{1}, 2, too_long); });
  EXPECT_EQ(error.number(), 1004);
  EXPECT_EQ(error.description(),
            "文本过长：一个单元格最多容纳 32767 个字符，要写入的文本有 32768 个。");
  EXPECT_EQ(Value(1, 2), CellValue());
}

TEST_F(EngineCellsTest, AReaderFailureNamesTheFileAndLeavesTheSheetUnread) {
  FakeWorkbook workbook{{testing::GridSheet("Sheet1", 3, 3)}};
  workbook.sheets[0].failure =
      Error(1004, "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：数据已损坏。");
  Open(workbook);
  for (int attempt = 1; attempt <= 2; ++attempt) {
    const Error error = ErrorOf([&] { engine_.ActiveSheetLastUsedRow(); });
    EXPECT_EQ(error.description(), "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：数据已损坏。");
    EXPECT_EQ(files_.Reads("/data/values.xlsx", 0), attempt);
  }
}

TEST_F(EngineCellsTest, CellsOutsideTheGridOrWithUnknownStylesAreRefused) {
  struct Case {
    testing::FakeCell cell;
    const char* description;
  };
  const Case cases[] = {
      {{1048577, 1, 1.0},
       "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：单元格（第 1048577 行，第 1 列）超出工作表"
       "的范围（1048576 行，16384 列）。"},
      {{1, 16385, 1.0},
       "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：单元格（第 1 行，第 16385 列）超出工作表"
       "的范围（1048576 行，16384 列）。"},
      {{0, 1, 1.0},
       "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：单元格（第 0 行，第 1 列）超出工作表的范围"
       "（1048576 行，16384 列）。"},
      {{1048576, 2, 1.0, 0, "A1", 2, 1},
       "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：单元格（第 1048576 行，第 2 列）的数组公式"
       "超出工作表的范围（1048576 行，16384 列）。"},
      {{3, 16384, 1.0, 0, "A1", 1, 0xFFFF},
       "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：单元格（第 3 行，第 16384 列）的数组公式"
       "超出工作表的范围（1048576 行，16384 列）。"},
      {{2, 2, std::string("x"), 7},
       "无法读取文件“/data/values.xlsx”的工作表“Sheet1”：单元格（第 2 行，第 2 列）引用了不存在的"
       "样式 7。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    FakeFiles files;
    files.Add("/data/values.xlsx", {{FakeSheet{"Sheet1", {{1, 1, 1.0}, c.cell}}}});
    Engine engine(files.Factory(), &writers::SaveWorkbook);
    engine.OpenWorkbook("/data/values.xlsx");
    const Error error = ErrorOf([&] { engine.GetCellValue(std::int16_t{1}, 1); });
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(), c.description);
  }
}

}  // namespace
}  // namespace tavrio::automation
