// HTML pages of tables, as business systems save them under an ".xls" name, and text tables
// saved by LibreOffice.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/office_fixtures.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

namespace {

struct Expected {
  std::string reference;
  Kind kind;
  std::string text;  // text, or the number as written
};

void ExpectCells(const RecordingSink& sink, const std::vector<Expected>& cells) {
  for (const Expected& e : cells) {
    SCOPED_TRACE(e.reference);
    ASSERT_TRUE(sink.Has(e.reference));
    const RecordedCell& cell = sink.At(e.reference);
    ASSERT_EQ(cell.kind, e.kind);
    if (e.kind == Kind::kNumber) {
      EXPECT_DOUBLE_EQ(cell.number, std::stod(e.text));
    } else {
      EXPECT_EQ(cell.text, e.text);
    }
  }
  EXPECT_EQ(sink.cells().size(), cells.size());
}

std::unique_ptr<WorkbookReader> Open(const TempFolder& dir, const std::string& name,
                                     const std::string& bytes) {
  std::string path = dir.File(name);
  WriteFile(path, bytes);
  return OpenWorkbookFile(path);
}

struct PageCase {
  std::string name;
  std::string html;
  std::vector<Expected> cells;
};

TEST(HtmlFilesTest, CellsOfATable) {
  const std::vector<PageCase> cases = {
      {"well-formed with header cells",
       "<html><body><table><thead><tr><th>编号</th><th>金额</th></tr></thead>"
       "<tbody><tr><td>007</td><td>12.5</td></tr></tbody></table></body></html>",
       {{"A1", Kind::kText, "编号"},
        {"B1", Kind::kText, "金额"},
        {"A2", Kind::kText, "007"},
        {"B2", Kind::kNumber, "12.5"}}},
      {"unclosed cells and rows, upper case",
       "<TABLE><TR><TD>a<TD>b<TR><TD>1<TD>2</TABLE>",
       {{"A1", Kind::kText, "a"},
        {"B1", Kind::kText, "b"},
        {"A2", Kind::kNumber, "1"},
        {"B2", Kind::kNumber, "2"}}},
      {"entities and whitespace",
       "<table><tr><td>  A&amp;B &lt;c&gt; &quot;d&quot;\n  e </td><td>&#20013;&#x6587;</td>"
       "<td>&nbsp;</td><td>&unknown; &amp</td><td>x<br>y <br/> z</td></tr></table>",
       {{"A1", Kind::kText, "A&B <c> \"d\" e"},
        {"B1", Kind::kText, "中文"},
        {"D1", Kind::kText, "&unknown; &amp"},
        {"E1", Kind::kText, "x\ny\nz"}}},
      {"colspan and rowspan keep columns aligned",
       "<table><tr><td colspan=2>标题</td><td rowspan=\"2\">备注</td><td>d</td></tr>"
       "<tr><td>a</td><td>b</td><td>c</td></tr><tr><td>1</td><td>2</td><td>3</td><td>4</td>"
       "</tr></table>",
       {{"A1", Kind::kText, "标题"},
        {"C1", Kind::kText, "备注"},
        {"D1", Kind::kText, "d"},
        {"A2", Kind::kText, "a"},
        {"B2", Kind::kText, "b"},
        {"D2", Kind::kText, "c"},
        {"A3", Kind::kNumber, "1"},
        {"B3", Kind::kNumber, "2"},
        {"C3", Kind::kNumber, "3"},
        {"D3", Kind::kNumber, "4"}}},
      {"comments, scripts and styles are skipped",
       "<!--[if gte mso 9]><xml><table><tr><td>no</td></tr></table></xml><![endif]-->"
       "<style>td { x: '<td>' }</style><script>var s = '<table><td>no';</script>"
       "<table><tr><td>yes<!-- </td> --></td><td><b>bold</b> <font>text</font></td></tr>"
       "</table>",
       {{"A1", Kind::kText, "yes"}, {"B1", Kind::kText, "bold text"}}},
      {"cells marked as text by the exporting application",
       "<table><tr><td x:str>0012</td><td style=\"mso-number-format:'\\@'\">13</td>"
       "<td x:num=\"0.5\">50%</td><td>14</td></tr></table>",
       {{"A1", Kind::kText, "0012"},
        {"B1", Kind::kText, "13"},
        {"C1", Kind::kNumber, "0.5"},
        {"D1", Kind::kNumber, "14"}}},
      {"attributes holding '>'",
       "<table><tr><td title=\"a>b\" class='x>y'>v</td></tr></table>",
       {{"A1", Kind::kText, "v"}}},
  };
  TempFolder dir;
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto reader = Open(dir, "page.xls", c.html);
    ASSERT_EQ(reader->Sheets().size(), 1u);
    EXPECT_EQ(reader->Sheets()[0].name, "表1");
    RecordingSink sink;
    reader->ReadSheet(0, sink);
    ExpectCells(sink, c.cells);
  }
}

TEST(HtmlFilesTest, EachTableIsASheetInTheOrderTheyBegin) {
  TempFolder dir;
  auto reader = Open(dir, "tables.xls",
                     "<h1>报表</h1><table><tr><td>外<table><tr><td>内</td></tr></table>层</td>"
                     "</tr></table><p>说明</p><table><tr><td>第三</td></tr></table>");
  ASSERT_EQ(reader->Sheets().size(), 3u);
  const std::vector<std::string> texts = {"外层", "内", "第三"};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reader->Sheets()[i].name, "表" + std::to_string(i + 1));
    RecordingSink sink;
    reader->ReadSheet(i, sink);
    ExpectCells(sink, {{"A1", Kind::kText, texts[i]}});
  }
}

struct CharsetCase {
  std::string name;
  std::string bytes;
};

TEST(HtmlFilesTest, TheDeclaredOrDetectedEncodingIsUsed) {
  const std::string gbk_cell = "<table><tr><td>\xCE\xC4\xB1\xBE</td></tr></table>";
  const std::vector<CharsetCase> cases = {
      {"gb2312 declared",
       "<html><head><meta http-equiv=\"Content-Type\" "
       "content=\"text/html; charset=gb2312\"></head>" +
           gbk_cell},
      {"charset attribute", "<meta charset='GBK'>" + gbk_cell},
      {"nothing declared, not UTF-8", "<html>" + gbk_cell},
      {"UTF-8 declared", "<meta charset=\"utf-8\"><table><tr><td>文本</td></tr></table>"},
      {"byte order mark", "\xEF\xBB\xBF<table><tr><td>文本</td></tr></table>"},
  };
  TempFolder dir;
  for (const CharsetCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto reader = Open(dir, "encoded.xls", c.bytes);
    RecordingSink sink;
    reader->ReadSheet(0, sink);
    EXPECT_EQ(sink.At("A1").text, "文本");
  }
}

TEST(HtmlFilesTest, AnUnknownDeclaredEncodingIsRefused) {
  TempFolder dir;
  std::string path = dir.File("odd.xls");
  WriteFile(path, "<meta charset=\"x-klingon\"><table><tr><td>a</td></tr></table>");
  try {
    OpenWorkbookFile(path);
    FAIL() << "opened";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(),
              "无法打开文件“" + path + "”：文件声明的字符编码“x-klingon”无法识别。");
  }
}

// The first sheet of the LibreOffice workbook, as its CSV and HTML exports show it.
const std::vector<Expected>& ExportedCells() {
  static const std::vector<Expected> cells = {
      {"A1", Kind::kText, "名称"},         {"A2", Kind::kText, "苹果, 红"},
      {"B2", Kind::kNumber, "12"},         {"C2", Kind::kNumber, "45291"},
      {"D2", Kind::kText, "10:30:15"},     {"F2", Kind::kText, "007"},
      {"G2", Kind::kText, "13800138000"},  {"H2", Kind::kText, "110101199003070012"},
      {"A3", Kind::kText, "说\"好\""},     {"B3", Kind::kNumber, "-2.5"},
      {"G3", Kind::kText, "021-12345678"},
  };
  return cells;
}

TEST(HtmlFilesTest, LibreOfficeExports) {
  const std::string& fixtures = OfficeFixtureDir();
  TAVRIO_SKIP_WITHOUT(!fixtures.empty(), kOfficeFixtureReaders);
  TempFolder dir;
  // Business systems name such exports ".xls"; the content decides how they are read.
  std::filesystem::copy_file(fixtures + "/values.html", dir.File("网页导出.xls"));
  const std::vector<std::pair<std::string, std::string>> files = {
      {fixtures + "/values.csv", "values"},
      {fixtures + "/values-gb18030.csv", "values-gb18030"},
      {dir.File("网页导出.xls"), "表1"},
  };
  for (const auto& [path, sheet] : files) {
    SCOPED_TRACE(path);
    auto reader = OpenWorkbookFile(path);
    EXPECT_EQ(reader->Sheets()[0].name, sheet);
    RecordingSink sink;
    reader->ReadSheet(0, sink);
    for (const Expected& e : ExportedCells()) {
      SCOPED_TRACE(e.reference);
      const RecordedCell& cell = sink.At(e.reference);
      ASSERT_EQ(cell.kind, e.kind);
      if (e.kind == Kind::kNumber) {
        EXPECT_DOUBLE_EQ(cell.number, std::stod(e.text));
      } else {
        EXPECT_EQ(cell.text, e.text);
      }
    }
    EXPECT_EQ(sink.At("A4").text, "两行\n文本");
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
