// Binary workbooks of every generation, made record by record for what no application at hand
// writes: Excel 2.x to 4.0 single-sheet files, Excel 5.0/95 workbooks in several code pages,
// BIFF8 strings broken across CONTINUE records, formula results of every kind.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/crafted_biff_files.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/biff_builder.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

using namespace tavrio::testing::biff;
using tavrio::testing::BiffBof;
using tavrio::testing::BiffEof;
using tavrio::testing::BiffRecord;
using tavrio::testing::BiffWorkbookStream;
using tavrio::testing::CompoundFileBytes;
using tavrio::testing::TempFolder;
using tavrio::testing::U16;
using tavrio::testing::U32;
using tavrio::testing::U8;
using tavrio::testing::WriteFile;

struct Opened {
  std::unique_ptr<WorkbookReader> reader;
  RecordingSink sink;
};

// Writes `bytes` as `name` in `dir`, opens it and reads its first sheet.
std::unique_ptr<Opened> OpenAndRead(const TempFolder& dir, const std::string& name,
                                    const std::string& bytes) {
  const std::string path = dir.File(name);
  WriteFile(path, bytes);
  auto opened = std::make_unique<Opened>();
  opened->reader = OpenWorkbookFile(path);
  opened->reader->ReadSheet(0, opened->sink);
  return opened;
}

struct CodePageCase {
  std::string name;
  std::string globals;     // CODEPAGE record or none
  std::string sheet_name;  // bytes in the code page
  std::string label;       // bytes in the code page
  std::string expected_sheet_name;
  std::string expected_label;
};

TEST(BiffGenerationsTest, Biff5TextReadsInItsCodePage) {
  const std::vector<CodePageCase> cases = {
      {"no CODEPAGE record: Windows-1252", "", "D\xE9j\xE0", "caf\xE9 \x80", "Déjà", "café €"},
      {"1252", CodePage(1252), "D\xE9j\xE0", "\x93q\x94", "Déjà", "“q”"},
      {"Mac Roman", CodePage(10000), "\x8A\x80", "caf\x8E \xDB", "äÄ", "café €"},
      {"Mac Roman by its Apple number", CodePage(32768), "\x8A", "\xA5", "ä", "•"},
      {"GBK", CodePage(936), "\xCA\xFD\xBE\xDD", "\xD6\xD0\xCE\xC4", "数据", "中文"},
      {"Big5", CodePage(950), "\xB8\xEA\xAE\xC6", "\xA4\xA4\xA4\xE5", "資料", "中文"},
      {"Cyrillic", CodePage(1251), "\xCB\xE8\xF1\xF2", "\xCF\xF0\xE8\xE2\xE5\xF2", "Лист",
       "Привет"},
  };
  TempFolder dir;
  for (const CodePageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string stream =
        BiffWorkbookStream(5, c.globals, {{c.sheet_name, Label5(0, 0, 0, c.label)}});
    auto opened = OpenAndRead(dir, "old.xls", CompoundFileBytes({{"Book", stream}}));
    EXPECT_EQ(opened->reader->Sheets().at(0).name, c.expected_sheet_name);
    EXPECT_EQ(opened->sink.At("A1").text, c.expected_label);
  }
}

// Names in a compound file compare without regard to case, as Excel finds them.
TEST(BiffGenerationsTest, TheWorkbookStreamIsFoundWhateverItsCase) {
  TempFolder dir;
  for (const auto& [stream_name, generation] :
       std::vector<std::pair<std::string, int>>{{"BOOK", 5}, {"book", 5}, {"WORKBOOK", 8}}) {
    SCOPED_TRACE(stream_name);
    const std::string stream = BiffWorkbookStream(generation, "", {{"S", Number(0, 0, 0, 42)}});
    auto opened = OpenAndRead(dir, "case.xls", CompoundFileBytes({{stream_name, stream}}));
    EXPECT_EQ(opened->sink.At("A1").number, 42);
  }
}

// Some programs save the workbook stream without a compound file around it.
TEST(BiffGenerationsTest, AWorkbookStreamOnItsOwn) {
  TempFolder dir;
  for (int generation : {5, 8}) {
    SCOPED_TRACE(generation);
    auto opened = OpenAndRead(dir, "export.xls",
                              BiffWorkbookStream(generation, "", {{"Data", Number(0, 0, 0, 3)}}));
    EXPECT_EQ(opened->reader->Sheets().at(0).name, "Data");
    EXPECT_EQ(opened->sink.At("A1").number, 3);
  }
}

// Excel 5.0/95 files: booleans stay booleans, a date-time keeps its time of day, and formulas
// keep their last results of every kind.
TEST(BiffGenerationsTest, Biff5ValuesKeepTheirKinds) {
  const std::string globals = Format5(164, "yyyy-mm-dd hh:mm:ss") + Xf5(0) + Xf5(164) + Xf5(14);
  const std::string cells =
      BoolErr(0, 0, 0, 1, false) + BoolErr(0, 1, 0, 0, false) + BoolErr(0, 2, 0, 0x07, true) +
      BoolErr(0, 3, 0, 0x2A, true) + Number(1, 0, 1, 45306.75) + Rk(1, 1, 2, 45306 << 2 | 2) +
      Formula(2, 0, 0, NumberResult(3.5), 5) + Formula(2, 1, 0, StringResult(), 5) +
      String5("abc") + Formula(2, 2, 0, BooleanResult(true), 5) +
      Formula(2, 3, 0, ErrorResult(0x17), 5) + Formula(2, 4, 1, StringResult(), 5) + String5("") +
      MulRk(3, 0, {{0, 1 << 2 | 2}, {0, 0x405EC001}}) + Blank(3, 5, 1);
  TempFolder dir;
  auto opened =
      OpenAndRead(dir, "excel95.xls",
                  CompoundFileBytes({{"Book", BiffWorkbookStream(5, globals, {{"S", cells}})}}));
  const std::vector<ExpectedCell> expected = {
      {"A1", Kind::kBoolean, 1, ""},
      {"B1", Kind::kBoolean, 0, ""},
      {"C1", Kind::kError, 0, "#DIV/0!"},
      {"D1", Kind::kError, 0, "#N/A"},
      {"A2", Kind::kNumber, 45306.75, "yyyy-mm-dd hh:mm:ss"},
      {"B2", Kind::kNumber, 45306, "yyyy/m/d"},
      {"A3", Kind::kNumber, 3.5, "General"},
      {"B3", Kind::kText, 0, "abc"},
      {"C3", Kind::kBoolean, 1, ""},
      {"D3", Kind::kError, 0, "#REF!"},
      {"E3", Kind::kBlank, 0, "yyyy-mm-dd hh:mm:ss"},
      {"A4", Kind::kNumber, 1, "General"},
      {"B4", Kind::kNumber, 1.23, "General"},
      {"F4", Kind::kBlank, 0, "yyyy-mm-dd hh:mm:ss"},
  };
  ExpectCells(opened->sink, opened->reader->Styles(), expected);
  EXPECT_EQ(opened->sink.cells().size(), expected.size());
  EXPECT_FALSE(opened->reader->Uses1904DateSystem());
}

TEST(BiffGenerationsTest, The1904DateSystemIsKept) {
  TempFolder dir;
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    const std::string stream =
        BiffWorkbookStream(8, BiffRecord(0x0022, U16(mode)), {{"S", Number(0, 0, 0, 1)}});
    auto opened = OpenAndRead(dir, "dates.xls", CompoundFileBytes({{"Workbook", stream}}));
    EXPECT_EQ(opened->reader->Uses1904DateSystem(), mode == 1);
  }
}

// The shared string table of BIFF8, broken over CONTINUE records where a writer fills one: in
// the middle of a string's characters (which restate their width), between a string's header
// and its characters, and through the formatting runs and phonetic data that follow them.
TEST(BiffGenerationsTest, SharedStringsBrokenAcrossContinueRecords) {
  const std::string sst =
      BiffRecord(0x00FC, U32(6) + U32(6) + U16(0) + U8(0) +     // ""
                             U16(5) + U8(0) + "plain" +         // "plain"
                             U16(4) + U8(1) + Utf16("中文")) +  // "中文" ...
      BiffRecord(0x003C, U8(0) + "ab" +                         // ... "ab", now 8-bit
                             U16(3) + U8(0x0C) + U16(1) + U32(6) + "xyz" + U16(0)) +
      BiffRecord(0x003C, U16(1) + "phonet" +     // runs, phonetic data
                             U16(2) + U8(1)) +   // header alone
      BiffRecord(0x003C, U8(1) + Utf16("é!")) +  // its characters
      BiffRecord(0x003C, U16(3) + U8(0) + "end");
  std::string cells;
  for (std::uint16_t i = 0; i < 6; ++i) cells += LabelSst(0, i, 0, i);
  TempFolder dir;
  auto opened =
      OpenAndRead(dir, "sst.xls",
                  CompoundFileBytes({{"Workbook", BiffWorkbookStream(8, sst, {{"S", cells}})}}));
  const std::vector<std::string> expected = {"", "plain", "中文ab", "xyz", "é!", "end"};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::string reference = std::string(1, static_cast<char>('A' + i)) + "1";
    SCOPED_TRACE(reference);
    EXPECT_EQ(opened->sink.At(reference).kind, Kind::kText);
    EXPECT_EQ(opened->sink.At(reference).text, expected[i]);
  }
}

// A formula's text result comes in the STRING record after it, past any SHRFMLA or ARRAY
// record of a range the formula starts, and a long one goes on in CONTINUE records.
TEST(BiffGenerationsTest, Biff8FormulaResults) {
  const std::string shared_range = U16(0) + U16(1) + U8(0) + U8(0);
  const std::string cells =
      Formula(0, 0, 0, StringResult(), 8, PtgExp(0, 0)) +
      BiffRecord(0x04BC, shared_range + U8(0) + U8(2) + U16(3) + std::string("\x1E\x01\x00", 3)) +
      BiffRecord(0x0207, U16(6) + U8(1) + Utf16("长文")) + BiffRecord(0x003C, U8(0) + "text") +
      Formula(1, 0, 0, StringResult(), 8, PtgExp(0, 0)) + String8("second") +
      Formula(2, 0, 0, BooleanResult(false), 8) + Formula(3, 0, 0, ErrorResult(0x24), 8) +
      Formula(4, 0, 0, EmptyResult(), 8) + Formula(5, 0, 0, NumberResult(-0.25), 8) +
      Formula(6, 0, 0, StringResult(), 8);  // a text result whose STRING record is missing
  TempFolder dir;
  auto opened =
      OpenAndRead(dir, "formulas.xls",
                  CompoundFileBytes({{"Workbook", BiffWorkbookStream(8, "", {{"S", cells}})}}));
  const std::vector<ExpectedCell> expected = {
      {"A1", Kind::kText, 0, "长文text"}, {"A2", Kind::kText, 0, "second"},
      {"A3", Kind::kBoolean, 0, ""},      {"A4", Kind::kError, 0, "#NUM!"},
      {"A5", Kind::kBlank, 0, "General"}, {"A6", Kind::kNumber, -0.25, "General"},
      {"A7", Kind::kBlank, 0, "General"},
  };
  ExpectCells(opened->sink, opened->reader->Styles(), expected);
}

// Excel 2.x, 3.0 and 4.0 saved one sheet per file, its records on their own, named after the
// file.
TEST(BiffGenerationsTest, SingleSheetFilesOfExcel2To4) {
  TempFolder dir;
  for (const CraftedBiffFile& file : BareBiffFiles()) {
    SCOPED_TRACE(file.name);
    auto opened = OpenAndRead(dir, "老报表.xls", file.bytes);
    ASSERT_EQ(opened->reader->Sheets().size(), 1u);
    EXPECT_EQ(opened->reader->Sheets()[0].name, "老报表");
    const std::vector<ExpectedCell> expected = {
        {"A1", Kind::kNumber, 2.5, "0.00"},  {"B1", Kind::kNumber, 7, "General"},
        {"A2", Kind::kText, 0, "café"},      {"B2", Kind::kBoolean, 1, ""},
        {"A3", Kind::kNumber, 9, "General"},
    };
    ExpectCells(opened->sink, opened->reader->Styles(), expected);
  }
}

// What a workbook lists as its sheets: hidden ones flagged, a chart sheet without cells, a
// Visual Basic module (no sheet to the user) left out. Charts, drawings and objects inside a
// worksheet are stepped over.
TEST(BiffGenerationsTest, SheetsChartsAndDrawings) {
  const std::string drawing = BiffRecord(0x00EC, std::string(40, '\x0F')) +
                              BiffRecord(0x005D, std::string(26, '\0')) +
                              BiffRecord(0x003C, std::string(30, '\x01'));
  const std::string embedded_chart =
      BiffBof(8, 0x0020) + BiffRecord(0x1001, U16(1)) + Number(0, 0, 0, 666) + BiffEof();
  const std::string with_chart =
      Number(0, 0, 0, 1) + drawing + embedded_chart + drawing + Number(1, 0, 0, 2);
  const std::string stream = BiffWorkbookStream(8, "",
                                                {{"数据", with_chart},
                                                 {"Hidden", Number(0, 0, 0, 3), 1},
                                                 {"VeryHidden", Number(0, 0, 0, 4), 2},
                                                 {"Module1", "", 0, 6},
                                                 {"图表", BiffRecord(0x1001, U16(1)), 0, 2}});
  TempFolder dir;
  auto opened = OpenAndRead(dir, "chart.xls", CompoundFileBytes({{"Workbook", stream}}));
  const std::vector<SheetInfo> expected = {
      {"数据", false}, {"Hidden", true}, {"VeryHidden", true}, {"图表", false}};
  ASSERT_EQ(opened->reader->Sheets().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(opened->reader->Sheets()[i].name, expected[i].name);
    EXPECT_EQ(opened->reader->Sheets()[i].hidden, expected[i].hidden);
  }
  EXPECT_EQ(opened->sink.cells().size(), 2u);
  EXPECT_EQ(opened->sink.At("A2").number, 2);
  RecordingSink very_hidden, chart;
  opened->reader->ReadSheet(2, very_hidden);
  opened->reader->ReadSheet(3, chart);
  EXPECT_EQ(very_hidden.At("A1").number, 4);
  EXPECT_TRUE(chart.cells().empty());
}

TEST(BiffGenerationsTest, RowHeightsTheUserSetAndMergedCells) {
  auto row = [](std::uint16_t number, std::uint16_t twips, std::uint16_t flags) {
    return BiffRecord(0x0208, U16(number) + U16(0) + U16(1) + U16(twips) + U16(0) + U16(0) +
                                  U16(flags) + U16(0x0F));
  };
  const std::string merged =
      BiffRecord(0x00E5, U16(3) + U16(0) + U16(1) + U16(0) + U16(1) +  // A1:B2
                             U16(4) + U16(4) + U16(2) + U16(2) +       // C5 alone: no merge
                             U16(5) + U16(9) + U16(3) + U16(3));       // D6:D10
  const std::string cells = row(0, 600, 0x40) + row(1, 300, 0x00) + row(2, 20 * 409 + 20, 0x40) +
                            Number(0, 0, 0, 1) + Number(1, 0, 0, 2) + merged;
  TempFolder dir;
  auto opened =
      OpenAndRead(dir, "rows.xls",
                  CompoundFileBytes({{"Workbook", BiffWorkbookStream(8, "", {{"S", cells}})}}));
  EXPECT_EQ(opened->sink.heights(), (std::map<std::uint32_t, double>{{1, 30}}));
  const std::vector<std::vector<std::uint32_t>> expected = {{1, 1, 2, 2}, {6, 4, 10, 4}};
  EXPECT_EQ(opened->sink.merged(), expected);
}

// An XF's font, fill, borders and alignment, with a colour of a redefined palette given as
// RGB and one of the standard palette kept by its index.
TEST(BiffGenerationsTest, CellFormatsCarryTheirLook) {
  std::string fonts;
  for (int i = 0; i < 4; ++i) fonts += Font8("Arial", 200, 400, 0x7FFF, 0, 0);
  fonts += Font8("宋体", 280, 700, 10, 0x02, 1);  // the fifth record is font number 5
  const std::string palette =
      BiffRecord(0x0092, U16(3) + U32(0) + U32(0) + "\x12\x34\x56\x00");  // entry 10 redefined
  // Centred, wrapped, top; thin left border in colour 12, medium bottom; solid fill in 10.
  const std::string xf =
      Xf8(5, 0x0A, 0x02 | 0x08, 1 | (2 << 12) | (12 << 16), (64 << 7) | (1u << 26), 10 | (65 << 7));
  const std::string globals = fonts + palette + Xf8(0, 0, 0x20, 0, 0, 64 | (65 << 7)) + xf;
  TempFolder dir;
  auto opened =
      OpenAndRead(dir, "look.xls",
                  CompoundFileBytes(
                      {{"Workbook", BiffWorkbookStream(8, globals, {{"S", Number(0, 0, 1, 1)}})}}));
  const StyleInfo& style = opened->reader->Styles().at(opened->sink.At("A1").style);
  EXPECT_EQ(style.number_format, "0.00%");
  EXPECT_EQ(style.font.name, "宋体");
  EXPECT_EQ(style.font.size, 14);
  EXPECT_TRUE(style.font.bold);
  EXPECT_TRUE(style.font.italic);
  EXPECT_EQ(style.font.underline, "single");
  EXPECT_EQ(style.font.color.rgb, "FF123456");
  EXPECT_EQ(style.fill.pattern, "solid");
  EXPECT_EQ(style.fill.foreground.rgb, "FF123456");
  EXPECT_EQ(style.border.left.style, "thin");
  EXPECT_EQ(style.border.left.color.indexed, 12);
  EXPECT_EQ(style.border.bottom.style, "medium");
  EXPECT_FALSE(style.border.bottom.color.IsSet());
  EXPECT_EQ(style.border.top.style, "");
  EXPECT_EQ(style.alignment.horizontal, "center");
  EXPECT_EQ(style.alignment.vertical, "top");
  EXPECT_TRUE(style.alignment.wrap);
}

// As many rows as a BIFF8 sheet holds, in a stream far past the mini stream's cutoff, so that
// it is read from the compound file's own sectors, hundreds of them.
TEST(BiffGenerationsTest, EveryRowOfAFullSheet) {
  const std::string sst =
      BiffRecord(0x00FC, U32(2) + U32(2) + tavrio::testing::Biff8String("偶", 2) +
                             tavrio::testing::Biff8String("odd", 2));
  std::string cells;
  for (std::uint32_t row = 0; row < 65536; ++row) {
    const auto r = static_cast<std::uint16_t>(row);
    cells += Number(r, 0, 0, row * 0.5) + LabelSst(r, 1, 0, row % 2) + Rk(r, 2, 0, row << 2 | 2);
  }
  TempFolder dir;
  auto opened =
      OpenAndRead(dir, "full.xls",
                  CompoundFileBytes({{"Workbook", BiffWorkbookStream(8, sst, {{"S", cells}})}}));
  ASSERT_EQ(opened->sink.cells().size(), 3u * 65536);
  for (std::uint32_t row : {1u, 2u, 4097u, 65536u}) {
    SCOPED_TRACE(row);
    const std::string number = std::to_string(row);
    EXPECT_EQ(opened->sink.At("A" + number).number, (row - 1) * 0.5);
    EXPECT_EQ(opened->sink.At("B" + number).text, row % 2 == 1 ? "偶" : "odd");
    EXPECT_EQ(opened->sink.At("C" + number).number, row - 1);
  }
}

struct FaultCase {
  std::string name;
  std::string file;  // the file's bytes
  std::string reason;
  bool when_opened;  // else when the sheet is read
};

TEST(BiffGenerationsTest, DamageAndWhatCannotBeReadAreNamed) {
  auto book = [](int generation, const std::string& globals, const std::string& cells) {
    return CompoundFileBytes({{generation == 8 ? "Workbook" : "Book",
                               BiffWorkbookStream(generation, globals, {{"表一", cells}})}});
  };
  const std::vector<FaultCase> cases = {
      {"a shared string past the table", book(8, "", LabelSst(0, 0, 0, 0)),
       "文件已损坏：工作簿数据无效", false},
      {"a cell past the last column", book(8, "", Number(0, 20000, 0, 1)),
       "超出限制：第 1 行的单元格超出工作表范围（最多 16384 列）", false},
      {"a number no sheet can hold", book(8, "", Number(2, 1, 0, std::nan(""))),
       "文件已损坏：单元格 B3 的数值无效", false},
      {"an RK value that is infinite", book(8, "", Rk(0, 3, 0, 0x7FF00000)),
       "文件已损坏：单元格 D1 的数值无效", false},
      {"a formula result that is infinite",
       book(8, "", Formula(0, 0, 0, NumberResult(-HUGE_VAL), 8)),
       "文件已损坏：单元格 A1 的数值无效", false},
      {"a cell record cut short", book(8, "", BiffRecord(0x0203, U16(0) + U16(0))),
       "文件已损坏：工作簿数据无效", false},
      {"a code page nobody knows", book(5, CodePage(12345), ""), "工作簿使用了不支持的代码页 12345",
       true},
      {"an Excel 4.0 workbook of several sheets",
       BiffBof(4, 0x0100) + BiffRecord(0x008F, std::string(10, '\0')) + BiffEof(),
       "这是 Excel 4.0 多工作表工作簿，暂不支持此格式，请先另存为 .xls 或 .xlsx", true},
      {"a sheet said to start past the stream",
       CompoundFileBytes(
           {{"Workbook",
             BiffBof(8, 5) +
                 BiffRecord(0x0085, U32(99999) + U16(0) + tavrio::testing::Biff8String("S", 1)) +
                 BiffEof()}}),
       "文件已损坏：工作簿数据无效", true},
      {"no BOF record first", CompoundFileBytes({{"Workbook", Number(0, 0, 0, 1) + BiffEof()}}),
       "文件已损坏：工作簿数据无效", true},
  };
  TempFolder dir;
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("bad.xls");
    WriteFile(path, c.file);
    try {
      auto reader = OpenWorkbookFile(path);
      ASSERT_FALSE(c.when_opened) << "opened";
      RecordingSink sink;
      reader->ReadSheet(0, sink);
      ADD_FAILURE() << "read";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 1004);
      EXPECT_EQ(error.description(),
                c.when_opened ? "无法打开文件“" + path + "”：" + c.reason + "。"
                              : "无法读取文件“" + path + "”中的工作表“表一”：" + c.reason + "。");
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
