// OpenDocument spreadsheets: one saved by LibreOffice, read beside the .xlsx it was made from,
// and crafted ones for what LibreOffice writes rarely or a hostile file might: long runs of
// repeated rows and cells, every kind of value, damaged parts.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/engine.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/office_fixtures.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/engine_merge_step.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;

namespace {

std::string Fixture(const char* name) {
  const std::string& dir = OfficeFixtureDir();
  return dir.empty() ? std::string() : dir + "/" + name;
}

// The cells of sheet `index` as "A1 kind value [format]" lines.
std::vector<std::string> Dump(WorkbookReader& reader, std::size_t index) {
  RecordingSink sink;
  reader.ReadSheet(index, sink);
  std::vector<std::string> lines;
  for (const auto& [at, cell] : sink.cells()) {
    std::string line = "R" + std::to_string(at.first) + "C" + std::to_string(at.second) + " ";
    switch (cell.kind) {
      case Kind::kNumber: {
        char number[64];
        std::snprintf(number, sizeof number, "%.15g", cell.number);
        line += std::string("number ") + number;
        break;
      }
      case Kind::kText:
        line += "text " + cell.text;
        break;
      case Kind::kBoolean:
        line += cell.boolean ? "boolean TRUE" : "boolean FALSE";
        break;
      case Kind::kError:
        line += "error " + cell.text;
        break;
      case Kind::kBlank:
        continue;
    }
    lines.push_back(line);
  }
  return lines;
}

TEST(OdsFilesTest, LibreOfficeOdsHoldsTheValuesOfItsXlsxSource) {
  const std::string ods = Fixture("values.ods");
  TAVRIO_SKIP_WITHOUT(!ods.empty(), kOfficeFixtureReaders);
  auto from_ods = OpenWorkbookFile(ods);
  auto from_xlsx = OpenWorkbookFile(Fixture("values.xlsx"));
  std::vector<std::string> expected = Dump(*from_xlsx, 0);
  // LibreOffice keeps a boolean as the formula =TRUE() with the number 1 as its result.
  auto boolean = std::find(expected.begin(), expected.end(), "R6C2 boolean TRUE");
  ASSERT_NE(boolean, expected.end());
  *boolean = "R6C2 number 1";
  // openpyxl saved the formulas of row 6 without results; LibreOffice calculated them.
  for (const char* line : {"R6C1 number 24", "R6C3 text abcd", "R6C4 error #DIV/0!"}) {
    expected.push_back(line);
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> actual = Dump(*from_ods, 0);
  std::sort(actual.begin(), actual.end());
  std::vector<std::string> missing, extra;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                      std::back_inserter(missing));
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  EXPECT_TRUE(missing.empty() && extra.empty()) << "missing: " << ::testing::PrintToString(missing)
                                                << "\nextra: " << ::testing::PrintToString(extra);
}

TEST(OdsFilesTest, DatesAndTimesKeepADateOrTimeFormat) {
  const std::string ods = Fixture("values.ods");
  TAVRIO_SKIP_WITHOUT(!ods.empty(), kOfficeFixtureReaders);
  auto reader = OpenWorkbookFile(ods);
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  const std::vector<std::pair<std::string, std::string>> formats = {
      {"C2", "yyyy-mm-dd"},          {"D2", "hh:mm:ss"},  {"E2", "yyyy-mm-dd hh:mm:ss"},
      {"A7", "yyyy-mm-dd hh:mm:ss"}, {"B7", "[h]:mm:ss"}, {"B2", "General"}};
  for (const auto& [reference, format] : formats) {
    SCOPED_TRACE(reference);
    EXPECT_EQ(reader->Styles().at(sink.At(reference).style).number_format, format);
  }
}

TEST(OdsFilesTest, SheetsInWorkbookOrderWithTheHiddenOne) {
  const std::string ods = Fixture("values.ods");
  TAVRIO_SKIP_WITHOUT(!ods.empty(), kOfficeFixtureReaders);
  auto reader = OpenWorkbookFile(ods);
  const std::vector<std::tuple<std::string, bool>> expected = {
      {"明细", false}, {"隐藏", true}, {"空表", false}, {"第四", false}};
  ASSERT_EQ(reader->Sheets().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reader->Sheets()[i].name, std::get<0>(expected[i]));
    EXPECT_EQ(reader->Sheets()[i].hidden, std::get<1>(expected[i]));
  }
  EXPECT_EQ(Dump(*reader, 1), std::vector<std::string>{"R2C2 text 藏"});
  EXPECT_TRUE(Dump(*reader, 2).empty());
  EXPECT_EQ(Dump(*reader, 3), std::vector<std::string>{"R3C3 number 4"});
}

TEST(OdsFilesTest, TheEngineSelectsOdsSheetsByNameAndPosition) {
  const std::string ods = Fixture("values.ods");
  TAVRIO_SKIP_WITHOUT(!ods.empty(), kOfficeFixtureReaders);
  Engine engine{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  engine.OpenWorkbook(ods);
  engine.SelectSheet(std::string("第四"));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{3}, 3), CellValue(4.0));
  engine.SelectSheet(std::int16_t{1});
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 1), CellValue(std::string("苹果, 红")));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 3), CellValue(45291.0));
}

// The .ods pasted under its own .xlsx source, as a merge run does: each data row arrives with
// the values it had in the source, but for the formulas openpyxl left without results and the
// boolean LibreOffice keeps as the number 1.
TEST(OdsFilesTest, AMergeOfTheOdsUnderItsXlsxSourceRepeatsTheSourceRows) {
  const std::string ods = Fixture("values.ods");
  TAVRIO_SKIP_WITHOUT(!ods.empty(), kOfficeFixtureReaders);
  Engine engine{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  std::string merged;
  for (const std::string& path : {Fixture("values.xlsx"), ods}) {
    automation::testing::MergeSheet(engine, path, "明细", merged.empty(), merged);
  }
  engine.ActivateWindow(merged);
  ASSERT_EQ(engine.ActiveSheetLastUsedRow(), 13);
  for (std::int16_t row = 2; row <= 7; ++row) {
    for (int column = 1; column <= 8; ++column) {
      if (row == 6) continue;
      SCOPED_TRACE("row " + std::to_string(row) + " column " + std::to_string(column));
      const CellValue from_ods = engine.GetCellValue(static_cast<std::int16_t>(row + 6), column);
      const CellValue from_xlsx = engine.GetCellValue(row, column);
      // openpyxl writes 16 significant digits, so a time may differ from the exact double in
      // its last bit.
      if (std::holds_alternative<double>(from_ods) && std::holds_alternative<double>(from_xlsx)) {
        const double expected = std::get<double>(from_xlsx);
        EXPECT_NEAR(std::get<double>(from_ods), expected, 1e-15 * std::max(1.0, expected));
      } else {
        EXPECT_EQ(from_ods, from_xlsx);
      }
    }
  }
  EXPECT_EQ(engine.GetCellValue(std::int16_t{12}, 1), CellValue(24.0));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{12}, 3), CellValue(std::string("abcd")));
}

constexpr char kHead[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
    R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
    R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
    R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
    R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0">
<office:automatic-styles><style:style style:name="ta1" style:family="table">)"
    R"(<style:table-properties table:display="true"/></style:style>)"
    R"(<style:style style:name="ta2" style:family="table">)"
    R"(<style:table-properties table:display="false"/></style:style></office:automatic-styles>
<office:body><office:spreadsheet>)";
constexpr char kTail[] = "</office:spreadsheet></office:body></office:document-content>";

std::string Table(const std::string& name, const std::string& rows,
                  const std::string& style = "ta1") {
  return "<table:table table:name=\"" + name + "\" table:style-name=\"" + style + "\">" +
         "<table:table-column table:number-columns-repeated=\"1024\"/>" + rows + "</table:table>";
}

std::string WriteOds(
    const TempFolder& dir, const std::string& name, const std::string& content,
    const std::string& mimetype = "application/vnd.oasis.opendocument.spreadsheet") {
  const std::string path = dir.File(name);
  ZipWriter zip(path);
  zip.Add("mimetype", mimetype, 0);
  zip.Add("content.xml", content);
  zip.Close();
  return path;
}

std::string Cell(const std::string& attributes, const std::string& inner = "") {
  return "<table:table-cell " + attributes + ">" + inner + "</table:table-cell>";
}

TEST(OdsFilesTest, EveryKindOfValueAndText) {
  const std::string rows =
      "<table:table-row>" +
      Cell(R"(office:value-type="float" office:value="-1.5E+3")", "<text:p>-1500</text:p>") +
      Cell(R"(office:value-type="percentage" office:value="0.25")") +
      Cell(R"(office:value-type="percentage" office:value="0.125")") +
      Cell(R"(office:value-type="currency" office:currency="CNY" office:value="9.99")") +
      Cell(R"(office:value-type="date" office:date-value="2023-12-31")") +
      Cell(R"(office:value-type="date" office:date-value="2024-01-15T06:00:00.5")") +
      Cell(R"(office:value-type="date" office:date-value="1900-02-28")") +
      Cell(R"(office:value-type="date" office:date-value="1899-12-01")",
           "<text:p>1899/12/1</text:p>") +
      "</table:table-row><table:table-row>" +
      Cell(R"(office:value-type="time" office:time-value="PT10H30M15S")") +
      Cell(R"(office:value-type="time" office:time-value="PT36H00M00S")") +
      Cell(R"(office:value-type="time" office:time-value="-P1DT12H")") +
      Cell(R"(office:value-type="boolean" office:boolean-value="true")") +
      Cell(R"(office:value-type="boolean" office:boolean-value="false")") +
      Cell(R"(table:formula="of:=1/0" office:value-type="float" office:value="0" )"
           R"(calcext:value-type="error")",
           "<text:p>#DIV/0!</text:p>") +
      "</table:table-row><table:table-row>" +
      Cell(R"(office:value-type="string")",
           "<office:annotation><text:p>批注</text:p></office:annotation>"
           "<text:p>甲<text:s text:c=\"3\"/>乙<text:s/>&amp;<text:tab/>丙</text:p>"
           "<text:p><text:span text:style-name=\"T1\">粗</text:span>体<text:line-break/>"
           "<text:a xlink:href=\"x\">链接</text:a></text:p>") +
      Cell(R"(office:value-type="string" office:string-value="属性")", "<text:p>显示</text:p>") +
      Cell(R"(office:value-type="string")", "<text:p/>") + Cell("", "<text:p>无类型</text:p>") +
      "</table:table-row>";
  TempFolder dir;
  auto reader = OpenWorkbookFile(WriteOds(dir, "值.ods", kHead + Table("表", rows) + kTail));
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  const std::vector<ExpectedCell> cells = {
      {"A1", Kind::kNumber, -1500, "General"},
      {"B1", Kind::kNumber, 0.25, "0%"},
      {"C1", Kind::kNumber, 0.125, "0.00%"},
      {"D1", Kind::kNumber, 9.99, "General"},
      {"E1", Kind::kNumber, 45291, "yyyy-mm-dd"},
      {"F1", Kind::kNumber, 45306.25 + 0.5 / 86400, "yyyy-mm-dd hh:mm:ss"},
      {"G1", Kind::kNumber, 59, "yyyy-mm-dd"},
      {"H1", Kind::kText, 0, "1899/12/1"},
      {"A2", Kind::kNumber, (10 * 3600 + 30 * 60 + 15) / 86400.0, "hh:mm:ss"},
      {"B2", Kind::kNumber, 1.5, "[h]:mm:ss"},
      {"C2", Kind::kNumber, -1.5, "[h]:mm:ss"},
      {"D2", Kind::kBoolean, 1, ""},
      {"E2", Kind::kBoolean, 0, ""},
      {"F2", Kind::kError, 0, "#DIV/0!"},
      {"A3", Kind::kText, 0, "甲   乙 &\t丙\n粗体\n链接"},
      {"B3", Kind::kText, 0, "属性"},
      {"D3", Kind::kText, 0, "无类型"},
  };
  ExpectCells(sink, reader->Styles(), cells);
  EXPECT_FALSE(sink.Has("C3"));  // an empty string is no value
  EXPECT_EQ(sink.cells().size(), cells.size());
}

// A formula comes as A1 text beside the result the file kept; one whose A1 text is not certain,
// and an array formula, keep their results alone.
TEST(OdsFilesTest, FormulasComeAsA1TextBesideTheirResults) {
  const std::string rows =
      "<table:table-row>" +
      Cell(R"x(table:formula="of:=[.B1]*2" office:value-type="float" office:value="4")x") +
      Cell(R"x(office:value-type="float" office:value="2")x") +
      Cell(R"x(table:formula="of:=CEILING([.B1];3)" office:value-type="float" office:value="3")x") +
      Cell(R"x(table:formula="of:=TRANSPOSE({1;2})" table:number-matrix-columns-spanned="2" )x"
           R"x(table:number-matrix-rows-spanned="1" office:value-type="float" office:value="1")x") +
      Cell(R"x(office:value-type="float" office:value="2")x") +
      "</table:table-row><table:table-row>" +
      Cell(R"x(table:formula="of:=&quot;&quot;" office:value-type="string" )x"
           R"x(office:string-value="")x") +
      Cell(R"x(table:formula="of:=[$'Q1 销售'.$A$1]&amp;&quot;元&quot;")x") +
      Cell(R"x(table:formula="of:=COM.MICROSOFT.IFS([.B1]&gt;1;TRUE();1;FALSE())" )x"
           R"x(office:value-type="boolean" office:boolean-value="true")x") +
      Cell(R"x(table:formula="of:=1/0" office:value-type="float" office:value="0" )x"
           R"x(calcext:value-type="error")x",
           "<text:p>#DIV/0!</text:p>") +
      "</table:table-row>" + R"x(<table:table-row table:number-rows-repeated="2">)x" +
      Cell(R"x(table:formula="of:=SUM([.$B$1:.B1])" table:number-columns-repeated="2" )x"
           R"x(office:value-type="float" office:value="2")x") +
      "</table:table-row>";
  TempFolder dir;
  auto reader = OpenWorkbookFile(WriteOds(dir, "公式.ods", kHead + Table("表", rows) + kTail));
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  ExpectCells(sink, reader->Styles(),
              {{"A1", Kind::kNumber, 4, "General"},
               {"C1", Kind::kNumber, 3, "General"},
               {"D1", Kind::kNumber, 1, "General"},
               {"A2", Kind::kText, 0, ""},
               {"B2", Kind::kBlank, 0, "General"},
               {"C2", Kind::kBoolean, 1, ""},
               {"D2", Kind::kError, 0, "#DIV/0!"}});
  const std::vector<std::pair<const char*, const char*>> formulas = {
      {"A1", "B1*2"},
      {"B1", ""},
      {"C1", ""},
      {"D1", ""},
      {"E1", ""},
      {"A2", "\"\""},
      {"B2", "'Q1 销售'!$A$1&\"元\""},
      {"C2", "_xlfn.IFS(B1>1,TRUE,1,FALSE)"},
      {"D2", "1/0"},
      // A repeat repeats the formula as written, not moved along.
      {"A3", "SUM($B$1:B1)"},
      {"B3", "SUM($B$1:B1)"},
      {"A4", "SUM($B$1:B1)"},
      {"B4", "SUM($B$1:B1)"},
  };
  for (const auto& [cell, formula] : formulas) {
    SCOPED_TRACE(cell);
    EXPECT_EQ(sink.At(cell).formula, formula);
  }
  EXPECT_EQ(sink.cells().size(), formulas.size());
}

TEST(OdsFilesTest, RepeatedRowsAndCellsExpandAsFarAsTheyHoldValues) {
  const std::string rows =
      R"(<table:table-row table:number-rows-repeated="2">)" +
      Cell(R"(table:number-columns-repeated="2")") +
      Cell(R"(office:value-type="float" office:value="7" table:number-columns-repeated="3")") +
      Cell(R"(table:number-columns-repeated="16379")") + "</table:table-row>" +
      R"(<table:table-row table:number-rows-repeated="3"/>)" +
      "<table:table-header-rows><table:table-row>" +
      Cell(R"(office:value-type="string" table:number-columns-spanned="2" )"
           R"(table:number-rows-spanned="2")",
           "<text:p>合并</text:p>") +
      "<table:covered-table-cell/>" +
      Cell(R"(office:value-type="float" office:value="8" )"
           R"(table:number-columns-spanned="99999999999999999999")") +
      "</table:table-row></table:table-header-rows>" +
      R"(<table:table-row table:number-rows-repeated="1048569">)" +
      Cell(R"(table:number-columns-repeated="16384")") + "</table:table-row>" +
      R"(<table:table-row table:number-rows-repeated="99999999999999999999">)" +
      Cell(R"(table:number-columns-repeated="99999999999999999999")") + "</table:table-row>";
  TempFolder dir;
  auto reader = OpenWorkbookFile(WriteOds(dir, "重复.ods", kHead + Table("表", rows) + kTail));
  const std::vector<std::string> expected = {"R1C3 number 7",  "R1C4 number 7", "R1C5 number 7",
                                             "R2C3 number 7",  "R2C4 number 7", "R2C5 number 7",
                                             "R6C1 text 合并", "R6C3 number 8"};
  EXPECT_EQ(Dump(*reader, 0), expected);
  // Merged ranges, clipped to the sheet's edge.
  struct MergeSink : RecordingSink {
    void MergedCells(std::uint32_t first_row, std::uint16_t first_column, std::uint32_t last_row,
                     std::uint16_t last_column) override {
      merges.push_back(std::to_string(first_row) + "," + std::to_string(first_column) + ":" +
                       std::to_string(last_row) + "," + std::to_string(last_column));
    }
    std::vector<std::string> merges;
  } sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.merges, (std::vector<std::string>{"6,1:7,2", "6,3:6,16384"}));
}

struct RefusedCase {
  const char* name;
  std::string rows;
  std::string reason;
};

TEST(OdsFilesTest, RowsAndCellsPastTheSheetsEdgeAreRefused) {
  const std::string seven = Cell(R"(office:value-type="float" office:value="7")");
  const std::vector<RefusedCase> cases = {
      {"a value repeated past the last column",
       "<table:table-row>" + Cell(R"(table:number-columns-repeated="16383")") +
           Cell(R"(office:value-type="float" office:value="7" table:number-columns-repeated="2")") +
           "</table:table-row>",
       "第 1 行第 16384 列的单元格重复 2 次，超出了工作表的 16,384 列"},
      {"a value after the last column",
       "<table:table-row>" + Cell(R"(table:number-columns-repeated="16384")") + seven +
           "</table:table-row>",
       "第 1 行第 16385 列超出了工作表的 16,384 列"},
      {"a row of values repeated past the last row",
       R"(<table:table-row table:number-rows-repeated="1048575"/>)"
       R"(<table:table-row table:number-rows-repeated="3">)" +
           seven + "</table:table-row>",
       "第 1048576 行的数据重复 3 次，超出了工作表的 1,048,576 行"},
      {"a row of values after the last row",
       R"(<table:table-row table:number-rows-repeated="1048576"/><table:table-row>)" + seven +
           "</table:table-row>",
       "第 1048577 行超出了工作表的 1,048,576 行"},
      {"more repeated cells than memory should hold",
       R"(<table:table-row table:number-rows-repeated="1048576">)" +
           Cell(R"(office:value-type="float" office:value="7" )"
                R"(table:number-columns-repeated="16384")") +
           "</table:table-row>",
       "重复的单元格超过 16,000,000 个，超出了本程序的限制"},
      {"a number that is none",
       "<table:table-row>" + Cell(R"(office:value-type="float" office:value="七")") +
           "</table:table-row>",
       "文件已损坏：第 1 行第 1 列的数值“七”无效"},
      {"a time that is none",
       "<table:table-row>" + seven + Cell(R"(office:value-type="time" office:time-value="10:30")") +
           "</table:table-row>",
       "文件已损坏：第 1 行第 2 列的时间“10:30”无效"},
  };
  TempFolder dir;
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteOds(dir, "拒绝.ods", kHead + Table("数据", c.rows) + kTail);
    auto reader = OpenWorkbookFile(path);
    RecordingSink sink;
    try {
      reader->ReadSheet(0, sink);
      ADD_FAILURE() << "read";
    } catch (const Error& error) {
      EXPECT_EQ(error.description(),
                "无法读取文件“" + path + "”中的工作表“数据”：" + c.reason + "。");
    }
  }
}

TEST(OdsFilesTest, SheetsAreListedWithTheirHiddenFlagAndReadOneByOne) {
  const std::string seven = Cell(R"(office:value-type="float" office:value="7")");
  const std::string content =
      kHead + Table("一", "<table:table-row>" + seven + "</table:table-row>") +
      Table("二 &amp; 三", "<table:table-row>" + seven + seven + "</table:table-row>", "ta2") +
      "<table:table table:name=\"空\"/>" + Table("四", "") + kTail;
  TempFolder dir;
  auto reader = OpenWorkbookFile(WriteOds(dir, "表.ods", content));
  const std::vector<std::tuple<std::string, bool>> expected = {
      {"一", false}, {"二 & 三", true}, {"空", false}, {"四", false}};
  ASSERT_EQ(reader->Sheets().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reader->Sheets()[i].name, std::get<0>(expected[i]));
    EXPECT_EQ(reader->Sheets()[i].hidden, std::get<1>(expected[i]));
  }
  EXPECT_EQ(Dump(*reader, 1), (std::vector<std::string>{"R1C1 number 7", "R1C2 number 7"}));
  EXPECT_EQ(Dump(*reader, 0), std::vector<std::string>{"R1C1 number 7"});
  EXPECT_TRUE(Dump(*reader, 2).empty());
  EXPECT_TRUE(Dump(*reader, 3).empty());
}

std::string OpenError(const std::string& path) {
  try {
    OpenWorkbookFile(path);
  } catch (const Error& error) {
    return error.description();
  }
  return "opened";
}

TEST(OdsFilesTest, DamagedPackagesAreRefusedSayingWhy) {
  TempFolder dir;
  const std::string rows = "<table:table-row><table:table-cell/></table:table-row>";
  struct Case {
    const char* name;
    std::string path;
    std::string reason;
  };
  const std::string no_content = dir.File("无内容.ods");
  {
    ZipWriter zip(no_content);
    zip.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", 0);
    zip.Close();
  }
  // Saved with a password: the manifest lists content.xml with how it is encrypted, and the
  // part's bytes are no XML.
  const std::string encrypted = dir.File("加密.ods");
  {
    ZipWriter zip(encrypted);
    zip.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", 0);
    zip.Add("content.xml", std::string("\x8f\x1a\xc3\x00garbled", 11), 0);
    zip.Add("META-INF/manifest.xml",
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:"
            "1.0\"><manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"application/"
            "vnd.oasis.opendocument.spreadsheet\"/><manifest:file-entry manifest:full-path=\""
            "content.xml\" manifest:media-type=\"text/xml\" manifest:size=\"2048\">"
            "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\" manifest:checksum=\"x\">"
            "<manifest:algorithm manifest:algorithm-name=\"Blowfish CFB\" "
            "manifest:initialisation-vector=\"x\"/></manifest:encryption-data>"
            "</manifest:file-entry></manifest:manifest>");
    zip.Close();
  }
  const std::vector<Case> cases = {
      {"no content part", no_content, "文件已损坏：缺少部件“content.xml”"},
      {"saved with a password", encrypted, "文件受密码保护，请先取消密码再合并"},
      {"content cut short", WriteOds(dir, "截断.ods", std::string(kHead) + "<table:table"),
       "文件已损坏：部件“content.xml”不是有效的 XML：意外结束（位于第 707 字节）"},
      {"no sheets", WriteOds(dir, "无表.ods", std::string(kHead) + kTail),
       "文件已损坏：其中没有工作表"},
      {"a document type declaration",
       WriteOds(dir, "声明.ods", "<!DOCTYPE x [<!ENTITY a \"b\">]>" + std::string(kTail)), ""},
      {"a text document",
       WriteOds(dir, "文字.odt", std::string(kHead) + Table("表", rows) + kTail,
                "application/vnd.oasis.opendocument.text"),
       "不是工作簿文件"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = OpenError(c.path);
    if (c.reason.empty()) {
      EXPECT_NE(message.find("无法打开文件“" + c.path + "”："), std::string::npos) << message;
    } else {
      EXPECT_EQ(message, "无法打开文件“" + c.path + "”：" + c.reason + "。");
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
