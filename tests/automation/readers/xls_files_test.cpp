// Excel 97-2003 workbooks saved by LibreOffice, and .xls files that are damaged or encrypted.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/engine.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"
#include "tests/automation/readers/office_fixtures.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/engine_merge_step.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::automation::testing::MergeSheet;
using tavrio::testing::ReadFile;
using tavrio::testing::RunQuietly;
using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

namespace {

std::string FixtureXls() {
  const std::string& dir = OfficeFixtureDir();
  return dir.empty() ? std::string() : dir + "/values.xls";
}

std::string OpenError(const std::string& path) {
  try {
    OpenWorkbookFile(path);
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    return error.description();
  }
  return "opened";
}

TEST(XlsFilesTest, LibreOfficeWorkbookValues) {
  std::string path = FixtureXls();
  TAVRIO_SKIP_WITHOUT(!path.empty(), kOfficeFixtureReaders);
  auto reader = OpenWorkbookFile(path);
  EXPECT_FALSE(reader->Uses1904DateSystem());
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  const std::vector<ExpectedCell> cells = {
      {"A1", Kind::kText, 0, "名称"},
      {"A2", Kind::kText, 0, "苹果, 红"},
      {"B2", Kind::kNumber, 12, "General"},
      // The number formats as LibreOffice saved them.
      {"C2", Kind::kNumber, 45291, "yyyy\\-mm\\-dd"},
      {"D2", Kind::kNumber, (10 * 3600 + 30 * 60 + 15) / 86400.0, "h:mm:ss"},
      {"E2", Kind::kNumber, 45306.25, "yyyy\\-mm\\-dd\\ h:mm:ss"},
      {"F2", Kind::kText, 0, "007"},
      {"G2", Kind::kText, 0, "13800138000"},
      {"H2", Kind::kText, 0, "110101199003070012"},
      {"A3", Kind::kText, 0, "说\"好\""},
      {"B3", Kind::kNumber, -2.5, "General"},
      // The first day after the fictitious 1900-02-29 that the 1900 date system counts.
      {"C3", Kind::kNumber, 61, "yyyy\\-mm\\-dd"},
      {"E3", Kind::kNumber, 36585 + 86399 / 86400.0, "yyyy\\-mm\\-dd\\ h:mm:ss"},
      {"A4", Kind::kText, 0, "两行\n文本"},
      {"B4", Kind::kNumber, 1e300, "General"},
      // Formula results: a number, a boolean, a text (in a STRING record), an error.
      {"A6", Kind::kNumber, 24, "General"},
      {"B6", Kind::kBoolean, 1, ""},
      {"C6", Kind::kText, 0, "abcd"},
      {"D6", Kind::kError, 0, "#DIV/0!"},
      // Dates keep their stored number, the time of a date and the days of a time included.
      {"A7", Kind::kNumber, 45306.75, "yyyy\\-mm\\-dd"},
      {"B7", Kind::kNumber, 1.5, "hh:mm:ss"},
      {"C7", Kind::kNumber, 0, "yyyy\\-mm\\-dd"},
  };
  ExpectCells(sink, reader->Styles(), cells, 1e-9);
  EXPECT_FALSE(sink.Has("C4"));
}

TEST(XlsFilesTest, SheetsInWorkbookOrder) {
  std::string path = FixtureXls();
  TAVRIO_SKIP_WITHOUT(!path.empty(), kOfficeFixtureReaders);
  auto reader = OpenWorkbookFile(path);
  const std::vector<SheetInfo> expected = {
      {"明细", false}, {"隐藏", true}, {"空表", false}, {"第四", false}};
  ASSERT_EQ(reader->Sheets().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reader->Sheets()[i].name, expected[i].name);
    EXPECT_EQ(reader->Sheets()[i].hidden, expected[i].hidden);
  }
  RecordingSink hidden, empty, fourth;
  reader->ReadSheet(1, hidden);
  reader->ReadSheet(2, empty);
  reader->ReadSheet(3, fourth);
  EXPECT_EQ(hidden.At("B2").text, "藏");
  EXPECT_TRUE(empty.cells().empty());
  EXPECT_EQ(fourth.At("C3").number, 4);
  EXPECT_EQ(fourth.cells().size(), 1u);
}

TEST(XlsFilesTest, AskingForASheetPastTheLastNamesItsPosition) {
  std::string path = FixtureXls();
  TAVRIO_SKIP_WITHOUT(!path.empty(), kOfficeFixtureReaders);
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  try {
    reader->ReadSheet(4, sink);
    FAIL() << "read";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(), "无法读取文件“" + path + "”中的工作表“#5”：没有这个工作表。");
  }
}

TEST(XlsFilesTest, TheEngineSelectsSheetsByNameAndPosition) {
  std::string path = FixtureXls();
  TAVRIO_SKIP_WITHOUT(!path.empty(), kOfficeFixtureReaders);
  Engine engine{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  engine.OpenWorkbook(path);
  engine.SelectSheet(std::string("第四"));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{3}, 3), CellValue(4.0));
  engine.SelectSheet(std::int16_t{1});
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 1), CellValue(std::string("苹果, 红")));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 3), CellValue(45291.0));
}

// A chart drawn on the data sheet brings a drawing and a chart substream of its own into the
// sheet's records; the cells around them are all there.
TEST(XlsFilesTest, ASheetWithAChartReadsWhole) {
  const std::string& dir = OfficeFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kOfficeFixtureReaders);
  const std::string path = dir + "/chart.xls";
  // A BIFF8 BOF record opening a chart substream: the chart is really in the file.
  ASSERT_NE(ReadFile(path).find(std::string("\x09\x08\x10\x00\x00\x06\x20\x00", 8)),
            std::string::npos);
  auto reader = OpenWorkbookFile(path);
  ASSERT_EQ(reader->Sheets().size(), 1u);
  EXPECT_EQ(reader->Sheets()[0].name, "销售");
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").text, "月份");
  EXPECT_EQ(sink.At("B1").text, "金额");
  for (int month = 1; month <= 12; ++month) {
    SCOPED_TRACE(month);
    EXPECT_EQ(sink.At("A" + std::to_string(month + 1)).text, std::to_string(month) + "月");
    EXPECT_EQ(sink.At("B" + std::to_string(month + 1)).number, month * 100.5);
  }
  EXPECT_EQ(sink.cells().size(), 26u);
}

// Damages a copy of the LibreOffice workbook; each case says how.
struct DamageCase {
  std::string name;
  std::function<std::string(std::string)> damage;
  std::string reason;
};

// Turns the WRITEACCESS record of the workbook stream into a FILEPASS record (RC4
// encryption) of `version`, its salt and verifier the user name's spaces: as an application
// saving with a password other than the default would have written it.
std::string MarkEncrypted(std::string bytes, char version) {
  const std::string write_access("\x5C\x00\x70\x00", 4);
  std::size_t at = bytes.find(write_access);
  if (at == std::string::npos) return {};
  bytes[at] = '\x2F';
  bytes.replace(at + 4, 6, std::string{'\x01', '\x00', version, '\x00', version, '\x00'});
  return bytes;
}

TEST(XlsFilesTest, DamagedAndEncryptedFilesAreRefused) {
  std::string source = FixtureXls();
  TAVRIO_SKIP_WITHOUT(!source.empty(), kOfficeFixtureReaders);
  const std::string bytes = ReadFile(source);
  const std::vector<DamageCase> cases = {
      {"encrypted", [](std::string b) { return MarkEncrypted(std::move(b), 1); },
       "文件受密码保护，请先取消密码再合并"},
      {"encrypted in an unknown way", [](std::string b) { return MarkEncrypted(std::move(b), 9); },
       "文件的加密方式不受支持，请先取消密码再合并"},
      {"truncated", [](std::string b) { return b.substr(0, 3000); },
       "文件已损坏：复合文档结构无效"},
      {"header only", [](std::string b) { return b.substr(0, 512); },
       "文件已损坏：复合文档结构无效"},
  };
  TempFolder dir;
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.name + ".xls");
    std::string damaged = c.damage(bytes);
    ASSERT_FALSE(damaged.empty());
    WriteFile(path, damaged);
    EXPECT_EQ(OpenError(path), "无法打开文件“" + path + "”：" + c.reason + "。");
  }
}

struct FormattedCell {
  std::string value;  // as openpyxl prints it after the merge
  std::string format;
};

// Column A of formats.xls, row by row: each value with the number format LibreOffice saved.
const std::vector<FormattedCell>& FormattedCells() {
  static const std::vector<FormattedCell> cells = {
      {"0.256", "0%"},          {"0.256", "0.00%"},
      {"1234567.891", "#,##0"}, {"1234.5", "#,##0.00"},
      {"3.14159", "0.000"},     {"-1234.5", "\\¥#,##0.00;[RED]\"-¥\"#,##0.00"},
      {"00123", "@"},           {"12345", "0.00E+00"},
      {"=A4*2", "#,##0.00"},  // the formula, with its result 2469 beside it
      {"42", "General"},        {"7", "0.0"},
  };
  return cells;
}

TEST(XlsFilesTest, CellsKeepTheirNumberFormats) {
  const std::string& dir = OfficeFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kOfficeFixtureReaders);
  auto reader = OpenWorkbookFile(dir + "/formats.xls");
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  for (std::size_t i = 0; i < FormattedCells().size(); ++i) {
    const FormattedCell& expected = FormattedCells()[i];
    SCOPED_TRACE(expected.value);
    const RecordedCell& cell = sink.At("A" + std::to_string(i + 1));
    EXPECT_EQ(reader->Styles().at(cell.style).number_format, expected.format);
  }
  EXPECT_EQ(sink.At("A9").number, 2469);
  // Cells of one format share one style.
  EXPECT_EQ(sink.At("A4").style, sink.At("A9").style);
}

// A cell format may name a built-in format id, which has no FORMAT record: here the format of
// the first row's cell is turned from LibreOffice's own "0%" (id 165) into id 10 and id 3.
TEST(XlsFilesTest, BuiltInFormatIdsReadAsTheirCodes) {
  const std::string& dir = OfficeFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kOfficeFixtureReaders);
  const std::string bytes = ReadFile(dir + "/formats.xls");
  // An XF record (type 0x00E0, 20 bytes): font 0, then the format id 0x00A5.
  const std::string xf("\xE0\x00\x14\x00\x00\x00\xA5\x00", 8);
  ASSERT_EQ(bytes.find(xf), bytes.rfind(xf));
  const std::size_t at = bytes.find(xf);
  ASSERT_NE(at, std::string::npos);
  TempFolder out;
  for (const auto& [id, code] :
       std::vector<std::pair<char, std::string>>{{10, "0.00%"}, {3, "#,##0"}}) {
    SCOPED_TRACE(code);
    std::string changed = bytes;
    changed[at + 6] = id;
    const std::string path = out.File("builtin.xls");
    WriteFile(path, changed);
    auto reader = OpenWorkbookFile(path);
    RecordingSink sink;
    reader->ReadSheet(0, sink);
    EXPECT_EQ(reader->Styles().at(sink.At("A1").style).number_format, code);
    EXPECT_EQ(sink.At("A1").number, 0.256);
  }
}

// The merge copies the rows with their formats and saves them; openpyxl reads the saved file.
TEST(XlsFilesTest, NumberFormatsSurviveAMergeIntoAnXlsxFile) {
  const std::string& dir = OfficeFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kOfficeFixtureReaders);
  const std::string python = *tavrio::testing::PythonWithOpenpyxl();
  TempFolder out;
  Engine engine{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  std::string merged;
  MergeSheet(engine, dir + "/formats.xls", std::string("数据"), true, merged);
  const std::string saved = out.File("merged.xlsx");
  engine.SaveWorkbookAs(merged, saved);

  WriteFile(out.File("dump.py"),
            "import sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
            "with open(sys.argv[2], 'w', encoding='utf-8') as out:\n"
            "    for (cell,) in ws.iter_rows(min_col=1, max_col=1):\n"
            "        out.write('%s|%s\\n' % (cell.value, cell.number_format))\n");
  ASSERT_TRUE(
      RunQuietly(python + " " + out.File("dump.py") + " " + saved + " " + out.File("dump.txt")));
  std::string expected;
  for (const FormattedCell& cell : FormattedCells()) {
    expected += cell.value + "|" + cell.format + "\n";
  }
  EXPECT_EQ(ReadFile(out.File("dump.txt")), expected);
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
