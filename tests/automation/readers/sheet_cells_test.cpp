// What ReadSheet hands over for each kind of cell XML, read through OpenWorkbookFile from
// packages built in the test.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;

namespace {

struct Expected {
  std::string reference;
  Kind kind;
  double number = 0;
  std::string text = {};
  bool boolean = false;
  std::uint32_t style = 0;
};

struct CellCase {
  std::string name;
  std::string rows;
  std::vector<Expected> cells;  // every cell the sheet must yield, no more
  std::string shared_items = {};
  bool date1904 = false;
};

Expected Num(std::string ref, double value, std::uint32_t style = 0) {
  return {std::move(ref), Kind::kNumber, value, {}, false, style};
}
Expected Txt(std::string ref, std::string text, std::uint32_t style = 0) {
  return {std::move(ref), Kind::kText, 0, std::move(text), false, style};
}
Expected Bool(std::string ref, bool value) {
  return {std::move(ref), Kind::kBoolean, 0, {}, value};
}
Expected Err(std::string ref, std::string text) {
  return {std::move(ref), Kind::kError, 0, std::move(text)};
}
Expected Blank(std::string ref, std::uint32_t style) {
  return {std::move(ref), Kind::kBlank, 0, {}, false, style};
}

const std::vector<CellCase>& CellCases() {
  static const std::vector<CellCase> cases = {
      {"Numbers",
       R"(<row r="1"><c r="A1"><v>1.5</v></c><c r="B1" t="n"><v>-2E-3</v></c>)"
       R"(<c r="C1"><v>0.1</v></c><c r="D1" s="2"><v>12345678901234567890</v></c></row>)",
       {Num("A1", 1.5), Num("B1", -0.002), Num("C1", 0.1), Num("D1", 12345678901234567890.0, 2)}},
      {"SharedStringsPlainRichAndPhonetic",
       R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>)"
       R"(<c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>0</v></c></row>)",
       {Txt("A1", "纯文本"), Txt("B1", "粗体normal"), Txt("C1", "漢字"), Txt("D1", "纯文本")},
       "<si><t>纯文本</t></si><si><r><rPr><b/></rPr><t>粗体</t></r><r><t>normal</t></r></si>"
       "<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>かんじ</t></rPh><phoneticPr fontId=\"1\"/></si>"},
      {"InlineStringsWithRuns",
       R"(<row r="2"><c r="A2" t="inlineStr"><is><t>007</t></is></c>)"
       R"(<c r="B2" t="inlineStr"><is><r><t>a</t></r><r><rPr><i/></rPr><t xml:space="preserve"> b</t></r>)"
       R"(<rPh><t>x</t></rPh></is></c><c r="C2" t="inlineStr"><is><t xml:space="preserve"> </t></is></c></row>)",
       {Txt("A2", "007"), Txt("B2", "a b"), Txt("C2", " ")}},
      {"FormulaResultsKeepTheCachedValue",
       R"(<row r="1"><c r="A1" t="str"><f>B1&amp;"x"</f><v>ab</v></c><c r="B1"><f>1+1</f><v>2</v></c>)"
       R"(<c r="C1" t="e"><f>1/0</f><v>#DIV/0!</v></c><c r="D1" t="b"><f>TRUE()</f><v>1</v></c></row>)",
       {Txt("A1", "ab"), Num("B1", 2), Err("C1", "#DIV/0!"), Bool("D1", true)}},
      {"BooleansAndErrors",
       R"(<row r="1"><c r="A1" t="b"><v>0</v></c><c r="B1" t="b"><v>true</v></c>)"
       R"(<c r="C1" t="e"><v>#N/A</v></c><c r="D1" t="e"><v>#REF!</v></c></row>)",
       {Bool("A1", false), Bool("B1", true), Err("C1", "#N/A"), Err("D1", "#REF!")}},
      {"IsoDatesIn1900System",
       R"(<row r="1"><c r="A1" t="d" s="1"><v>2024-01-15</v></c><c r="B1" t="d"><v>1900-01-01</v></c>)"
       R"(<c r="C1" t="d"><v>1900-02-28</v></c><c r="D1" t="d"><v>1900-03-01</v></c>)"
       R"(<c r="E1" t="d"><v>2024-01-15T18:00:00</v></c><c r="F1" t="d"><v>06:00:00</v></c></row>)",
       {Num("A1", 45306, 1), Num("B1", 1), Num("C1", 59), Num("D1", 61), Num("E1", 45306.75),
        Num("F1", 0.25)}},
      {"IsoDatesIn1904System",
       R"(<row r="1"><c r="A1" t="d"><v>1904-01-02</v></c><c r="B1" t="d"><v>2024-01-15</v></c></row>)",
       {Num("A1", 1), Num("B1", 43844)},
       "",
       true},
      {"CellsAndRowsWithoutReferencesFollowThePreviousOnes",
       R"(<row r="3"><c><v>1</v></c><c r="D3"><v>2</v></c><c><v>3</v></c></row>)"
       R"(<row><c><v>4</v></c></row><row r="7"><c r="B7"><v>5</v></c></row>)",
       {Num("A3", 1), Num("D3", 2), Num("E3", 3), Num("A4", 4), Num("B7", 5)}},
      {"StyledEmptyCellsAreBlankUnstyledOnesAreNothing",
       R"(<row r="1" s="1" customFormat="1"><c r="A1" s="1"/><c r="B1"/><c r="C1" s="2" t="s"/>)"
       R"(<c r="D1" s="0"><v></v></c><c r="E1" s="2" t="inlineStr"/></row><row r="2"/>)",
       {Blank("A1", 1), Blank("C1", 2), Blank("E1", 2)}},
      {"XmlAndUnderscoreEscapes",
       R"(<row r="1"><c r="A1" t="inlineStr"><is><t>a&amp;b&lt;&#x4E2D;_x000D__x0041_</t></is></c>)"
       R"(<c r="B1" t="inlineStr"><is><t>_xD83D__xDE00_ _x005F_x0041_</t></is></c>)"
       R"(<c r="C1" t="str"><v>tab_x0009_end</v></c></row>)",
       {Txt("A1", "a&b<中\rA"), Txt("B1", "\xF0\x9F\x98\x80 _x0041_"), Txt("C1", "tab\tend")}},
      {"CdataMayHoldWhatLooksLikeTags",
       R"(<row r="1"><c r="A1" t="inlineStr"><is><t><![CDATA[</row></sheetData><x>]]></t></is></c>)"
       R"(<c r="B1" t="inlineStr"><is><t>a<![CDATA[<b>]]>c</t></is></c></row>)"
       R"(<!-- </row> --><row r="2"><c r="A2"><v>2</v></c></row>)",
       {Txt("A1", "</row></sheetData><x>"), Txt("B1", "a<b>c"), Num("A2", 2)}},
      {"AnEmptyStyleAttributeIsTheDefaultStyle",  // written so by some programs
       R"(<row r="1"><c r="A1" s=""><v>5</v></c><c r="B1" s="" t="inlineStr"><is><t>x</t></is></c>)"
       R"(<c r="C1" s=""/></row>)",
       {Num("A1", 5), Txt("B1", "x")}},
      {"TheLastCellOfASheet",
       R"(<row r="1048576"><c r="XFD1048576"><v>9</v></c></row>)",
       {Num("XFD1048576", 9)}},
      {"QuotedGreaterThanInAttributes",
       R"(<row r="1" x=">"><c r="A1" y='</row>'><v>1</v></c></row>)",
       {Num("A1", 1)}},
  };
  return cases;
}

class SheetCellsTest : public ::testing::TestWithParam<CellCase> {};

TEST_P(SheetCellsTest, YieldsExactlyTheExpectedCells) {
  const CellCase& c = GetParam();
  TempFolder dir;
  std::string path = dir.File("cells.xlsx");
  WritePackage(path, WorkbookParts({{"Sheet1", SheetXml(c.rows)}}, c.shared_items, c.date1904));
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.cells().size(), c.cells.size());
  for (const Expected& expected : c.cells) {
    SCOPED_TRACE(expected.reference);
    ASSERT_TRUE(sink.Has(expected.reference));
    const RecordedCell& cell = sink.At(expected.reference);
    EXPECT_EQ(cell.kind, expected.kind);
    EXPECT_EQ(cell.number, expected.number);
    EXPECT_EQ(cell.text, expected.text);
    EXPECT_EQ(cell.boolean, expected.boolean);
    EXPECT_EQ(cell.style, expected.style);
  }
}

INSTANTIATE_TEST_SUITE_P(Cells, SheetCellsTest, ::testing::ValuesIn(CellCases()),
                         [](const auto& info) { return info.param.name; });

// A formula and a sheet name are escaped as a cell's text is (the writer escapes them so): their
// _xHHHH_ forms are decoded, in formulas of number cells and of text cells alike.
TEST(SheetCellsTest, FormulasAndSheetNamesDecodeEscapesAsTextsDo) {
  TempFolder dir;
  const std::string path = dir.File("escaped.xlsx");
  WritePackage(path,
               WorkbookParts({{"表_x0001__x005F_x0041_",
                               SheetXml(R"(<row r="1"><c r="A1"><f>LEN("_xFFFE__x005F_x0041_")</f>)"
                                        R"(<v>8</v></c><c r="B1" t="str"><f>"a_x0009_"&amp;"b"</f>)"
                                        R"(<v>a_x0009_b</v></c></row>)")}}));
  auto reader = OpenWorkbookFile(path);
  EXPECT_EQ(reader->Sheets().at(0).name, "表\x01_x0041_");
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").formula, "LEN(\"\xEF\xBF\xBE_x0041_\")");
  EXPECT_EQ(sink.At("A1").number, 8);
  EXPECT_EQ(sink.At("B1").formula, "\"a\t\"&\"b\"");
  EXPECT_EQ(sink.At("B1").text, "a\tb");
}

TEST(SheetCellsTest, ElementsUnderANamespacePrefixAreRead) {
  TempFolder dir;
  std::string path = dir.File("prefixed.xlsx");
  std::string xml =
      "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<x:sheetData><x:row r=\"1\"><x:c r=\"A1\" t=\"inlineStr\"><x:is><x:t>前缀</x:t></x:is>"
      "</x:c><x:c r=\"B1\"><x:v>3</x:v></x:c></x:row></x:sheetData></x:worksheet>";
  WritePackage(path, WorkbookParts({{"Sheet1", xml}}));
  RecordingSink sink;
  OpenWorkbookFile(path)->ReadSheet(0, sink);
  ASSERT_EQ(sink.cells().size(), 2u);
  EXPECT_EQ(sink.At("A1").text, "前缀");
  EXPECT_EQ(sink.At("B1").number, 3);
}

// Records which cells came as shared texts and under which index; the texts are recorded as
// any other.
class SharedIndexSink : public RecordingSink {
 public:
  void Cells(std::span<const SinkCell> cells) override {
    for (const SinkCell& cell : cells) {
      if (cell.kind == SinkCell::Kind::kSharedText) {
        indexes[{cell.row, cell.column}] = cell.shared_index;
      }
    }
    RecordingSink::Cells(cells);
  }
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::uint32_t> indexes;
};

TEST(SheetCellsTest, SharedTextsComeWithTheirIndexAndInlineTextsWithout) {
  TempFolder dir;
  std::string path = dir.File("shared.xlsx");
  const std::string rows =
      R"(<row r="1"><c r="A1" t="s"><v>1</v></c><c r="B1" t="s"><v>0</v></c>)"
      R"(<c r="C1" t="inlineStr"><is><t>乙</t></is></c><c r="D1" t="str"><v>乙</v></c></row>)"
      R"(<row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2" t="s"><v>2</v></c></row>)";
  WritePackage(path, WorkbookParts({{"Sheet1", SheetXml(rows)}},
                                   "<si><t>甲</t></si><si><t>乙</t></si><si><t>甲</t></si>"));
  SharedIndexSink sink;
  OpenWorkbookFile(path)->ReadSheet(0, sink);
  const std::map<std::pair<std::uint32_t, std::uint16_t>, std::uint32_t> expected = {
      {{1, 1}, 1}, {{1, 2}, 0}, {{2, 1}, 1}, {{2, 2}, 2}};
  EXPECT_EQ(sink.indexes, expected);
  EXPECT_EQ(sink.At("A1").text, "乙");
  EXPECT_EQ(sink.At("B2").text, "甲");  // an equal text under another index stays apart
  EXPECT_EQ(sink.At("C1").text, "乙");
  EXPECT_EQ(sink.At("D1").text, "乙");
}

TEST(SheetCellsTest, RowsSpanningManyChunksAreAllRead) {
  // Long texts and many rows make the sheet far larger than one inflated chunk, so rows are
  // cut at chunk borders and must be carried over whole.
  // Varied text, so that the part compresses like real data.
  auto long_text = [](int row) {
    std::string text;
    for (unsigned i = 0, x = static_cast<unsigned>(row); i < 5000; ++i) {
      x = x * 1103515245 + 12345;
      text.push_back(static_cast<char>('a' + (x >> 16) % 26));
    }
    return text;
  };
  std::string rows;
  for (int r = 1; r <= 3000; ++r) {
    std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n +
            "\" t=\"inlineStr\"><is><t>" + long_text(r) + "</t></is></c></row>";
  }
  TempFolder dir;
  std::string path = dir.File("long.xlsx");
  WritePackage(path, WorkbookParts({{"Sheet1", SheetXml(rows)}}));
  RecordingSink sink;
  OpenWorkbookFile(path)->ReadSheet(0, sink);
  ASSERT_EQ(sink.cells().size(), 6000u);
  for (int r : {1, 52, 1999, 3000}) {
    SCOPED_TRACE(r);
    EXPECT_EQ(sink.At("A" + std::to_string(r)).number, r);
    EXPECT_EQ(sink.At("B" + std::to_string(r)).text, long_text(r));
  }
}

struct SheetFaultCase {
  std::string name;
  std::string xml;     // the whole worksheet part
  std::string reason;  // after 无法读取文件“…”中的工作表“Sheet1”：
  std::string shared_items = {};
};

std::string Rows(const std::string& rows) { return SheetXml(rows); }

std::string Nested(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<x>";
    close += "</x>";
  }
  return Rows("<row r=\"1\"><c r=\"A1\">" + open + close + "</c></row>");
}

std::string ManyCellsWithoutReferences(int count) {
  std::string cells;
  for (int i = 0; i < count; ++i) cells += "<c><v>" + std::to_string(i * 7919 % 10007) + "</v></c>";
  return Rows("<row r=\"1\">" + cells + "</row>");
}

std::string Truncated() {
  std::string xml = Rows("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  return xml.substr(0, xml.find("</sheetData>"));
}

const std::vector<SheetFaultCase>& SheetFaultCases() {
  static const std::string kPart = "部件“xl/worksheets/sheet1.xml”";
  static const std::string kLimitRef = "”超出工作表范围（最多 1048576 行、16384 列）";
  static const std::vector<SheetFaultCase> cases = {
      {"RowPastTheLastRow", Rows(R"(<row r="1048577"><c r="A1048577"><v>1</v></c></row>)"),
       "超出限制：行号 1048577 超出工作表范围（最多 1048576 行）"},
      {"CellPastTheLastRow", Rows(R"(<row r="5"><c r="A1048577"><v>1</v></c></row>)"),
       "超出限制：单元格引用“A1048577" + kLimitRef},
      {"CellPastTheLastColumn", Rows(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"),
       "超出限制：单元格引用“XFE1" + kLimitRef},
      {"CellWithFourColumnLetters", Rows(R"(<row r="1"><c r="AAAA1"><v>1</v></c></row>)"),
       "超出限制：单元格引用“AAAA1" + kLimitRef},
      {"HugeRowNumberInAReference", Rows(R"(<row r="1"><c r="A99999999999"><v>1</v></c></row>)"),
       "超出限制：单元格引用“A99999999999" + kLimitRef},
      {"UnreferencedCellsPastTheLastColumn", ManyCellsWithoutReferences(16385),
       "超出限制：第 1 行的单元格超出工作表范围（最多 16384 列）"},
      {"MalformedReference", Rows(R"(<row r="1"><c r="1A"><v>1</v></c></row>)"),
       "文件已损坏：" + kPart + "中的单元格引用“1A”无效"},
      {"MalformedRowNumber", Rows(R"(<row r="x"><c><v>1</v></c></row>)"),
       "文件已损坏：" + kPart + "中的行号“x”无效"},
      {"SharedStringIndexOutOfRange", Rows(R"(<row r="2"><c r="B2" t="s"><v>2</v></c></row>)"),
       "文件已损坏：单元格 B2 引用的共享字符串编号 2 超出范围（共 2 个）",
       "<si><t>a</t></si><si><t>b</t></si>"},
      {"SharedStringWithoutATable", Rows(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"),
       "文件已损坏：单元格 A1 引用的共享字符串编号 0 超出范围（共 0 个）"},
      {"StyleIndexOutOfRange", Rows(R"(<row r="1"><c r="C1" s="3"><v>1</v></c></row>)"),
       "文件已损坏：单元格 C1 的样式编号 3 超出范围（共 3 个样式）"},
      // Twenty digits are read to the last: 2^64 wraps to nothing, and zeros in front count
      // for nothing.
      {"StyleIndexPastSixtyFourBits",
       Rows(R"(<row r="1"><c r="C1" s="18446744073709551616"><v>1</v></c></row>)"),
       "文件已损坏：单元格 C1 的样式编号“18446744073709551616”无效"},
      {"SharedStringIndexPastSixtyFourBits",
       Rows(R"(<row r="1"><c r="A1" t="s"><v>18446744073709551617</v></c></row>)"),
       "文件已损坏：单元格 A1 的共享字符串编号“18446744073709551617”无效",
       "<si><t>a</t></si>"},
      {"ZeroPaddedSharedStringIndexOutOfRange",
       Rows(R"(<row r="1"><c r="A1" t="s"><v>000000000000000000000002</v></c></row>)"),
       "文件已损坏：单元格 A1 引用的共享字符串编号 2 超出范围（共 2 个）",
       "<si><t>a</t></si><si><t>b</t></si>"},
      {"RowNumberPastSixtyFourBits",
       Rows(R"(<row r="99999999999999999999"><c><v>1</v></c></row>)"),
       "文件已损坏：" + kPart + "中的行号“99999999999999999999”无效"},
      {"MalformedNumber", Rows(R"(<row r="1"><c r="A1"><v>1,5</v></c></row>)"),
       "文件已损坏：单元格 A1 的数值“1,5”无效"},
      {"NotANumber", Rows(R"(<row r="1"><c r="A1"><v>nan</v></c></row>)"),
       "文件已损坏：单元格 A1 的数值“nan”无效"},
      {"MalformedBoolean", Rows(R"(<row r="1"><c r="A1" t="b"><v>2</v></c></row>)"),
       "文件已损坏：单元格 A1 的逻辑值“2”无效"},
      {"MalformedDate", Rows(R"(<row r="1"><c r="A1" t="d"><v>2023-02-29</v></c></row>)"),
       "文件已损坏：单元格 A1 的日期“2023-02-29”无效"},
      {"UnknownCellType", Rows(R"(<row r="1"><c r="A1" t="q"><v>1</v></c></row>)"),
       "文件已损坏：单元格 A1 的类型“q”无法识别"},
      {"DoctypeBeforeTheSheet",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE w [<!ENTITY a \"aaaaaaaa\">]><worksheet><sheetData/>"
       "</worksheet>",
       "超出限制：" + kPart + "含有 DOCTYPE 或 ENTITY 声明（位于第 23 字节），为安全起见拒绝读取"},
      {"EntityDeclarationAmongRows",
       "<worksheet><sheetData><!ENTITY a \"b\"><row r=\"1\"/></sheetData></worksheet>",
       "超出限制：" + kPart + "含有 DOCTYPE 或 ENTITY 声明（位于第 23 字节），为安全起见拒绝读取"},
      {"AbsurdNesting", Nested(300),
       "超出限制：" + kPart + "的 XML 嵌套超过 256 层（位于第 " +
           std::to_string(Nested(300).find("<x>") + 252 * 3 + 1) + " 字节）"},
      {"EndsInsideTheSheet", Truncated(),
       "文件已损坏：" + kPart + "不是有效的 XML：意外结束（位于第 " +
           std::to_string(Truncated().size() + 1) + " 字节）"},
      {"MismatchedTags",
       "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</c></v></row></sheetData></worksheet>",
       "文件已损坏：" + kPart + "不是有效的 XML：开始标签与结束标签不匹配（位于第 48 字节）"},
  };
  return cases;
}

class SheetFaultTest : public ::testing::TestWithParam<SheetFaultCase> {};

TEST_P(SheetFaultTest, IsRefusedNamingTheFileSheetAndReason) {
  const SheetFaultCase& c = GetParam();
  TempFolder dir;
  std::string path = dir.File("fault.xlsx");
  WritePackage(path, WorkbookParts({{"Sheet1", c.xml}}, c.shared_items));
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  try {
    reader->ReadSheet(0, sink);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(),
              "无法读取文件“" + path + "”中的工作表“Sheet1”：" + c.reason + "。");
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, SheetFaultTest, ::testing::ValuesIn(SheetFaultCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tavrio::automation::readers::testing
