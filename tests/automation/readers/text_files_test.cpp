// CSV and tab-separated text: encodings, the field grammar, which fields become numbers, and
// every reason such a file is refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/engine.h"
#include "automation/readers/text_encoding.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

namespace {

// Writes `bytes` as `name`, opens it and reads its first sheet.
struct ReadBack {
  std::unique_ptr<WorkbookReader> reader;
  RecordingSink sink;
};

ReadBack Read(const TempFolder& dir, const std::string& name, const std::string& bytes) {
  std::string path = dir.File(name);
  WriteFile(path, bytes);
  ReadBack result;
  result.reader = OpenWorkbookFile(path);
  result.reader->ReadSheet(0, result.sink);
  return result;
}

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    return error.description();
  }
  return "no error";
}

// `text` with a byte order mark, little- or big-endian.
std::string Utf16(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes.push_back(big_endian ? high : low);
    bytes.push_back(big_endian ? low : high);
  }
  return bytes;
}

struct Utf8Case {
  std::string name;
  std::string bytes;
  bool valid;
};

TEST(TextEncodingTest, Utf8IsValidatedStrictly) {
  const std::vector<Utf8Case> cases = {
      {"ascii", "abc", true},
      {"two, three and four bytes", "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", true},
      {"highest code point", "\xF4\x8F\xBF\xBF", true},
      {"overlong two bytes", "\xC0\xAF", false},
      {"overlong three bytes", "\xE0\x80\xAF", false},
      {"overlong four bytes", "\xF0\x80\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"lead byte F5", "\xF5\x80\x80\x80", false},
      {"cut sequence", "\xE4\xB8", false},
      {"stray continuation", "a\x80", false},
      {"lead without continuation",
       "\xE4"
       "ab",
       false},
  };
  for (const Utf8Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsValidUtf8(c.bytes), c.valid);
  }
}

struct EncodingCase {
  std::string name;
  std::string bytes;
  std::string a1;
};

TEST(TextFilesTest, EncodingsAreTriedUtf8FirstThenGb18030) {
  const std::vector<EncodingCase> cases = {
      {"UTF-8", "中文,1\n", "中文"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF中文,1\n", "中文"},
      // These bytes are also valid GB18030 ("涓枃"): only trying UTF-8 first reads them right.
      {"UTF-8 that GB18030 would also take", "\xE4\xB8\xAD\xE6\x96\x87,1\n", "中文"},
      {"GBK", "\xCE\xC4\xB1\xBE,1\n", "文本"},
      {"GB18030 four-byte", "\x81\x30\x81\x30,1\n", "\xC2\x80"},
      {"overlong UTF-8 falls to GB18030", "\xC0\xAF,1\n", "蜡"},
      {"UTF-16LE with BOM", Utf16(u"中文,1\n", false), "中文"},
      {"UTF-16BE with BOM", Utf16(u"中文,1\n", true), "中文"},
  };
  TempFolder dir;
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReadBack result = Read(dir, "encoded.csv", c.bytes);
    EXPECT_EQ(result.sink.At("A1").text, c.a1);
    EXPECT_EQ(result.sink.At("B1").number, 1);
  }
}

struct FieldCase {
  std::string field;  // as written in the CSV file
  Kind kind;
  double number;
  std::string text;  // the text, or the number format of a number
};

TEST(TextFilesTest, NumbersBecomeNumbersAndTextAPersonWouldKeepStaysText) {
  const std::vector<FieldCase> cases = {
      {"12", Kind::kNumber, 12, "General"},
      {"-2.5", Kind::kNumber, -2.5, "General"},
      {"0", Kind::kNumber, 0, "General"},
      {"0.75", Kind::kNumber, 0.75, "General"},
      {"1.50", Kind::kNumber, 1.5, "General"},
      {" 42 ", Kind::kNumber, 42, "General"},
      {"9999999999", Kind::kNumber, 9999999999, "General"},
      {"12345678901.25", Kind::kNumber, 12345678901.25, "General"},
      {"123456789012.345", Kind::kNumber, 123456789012.345, "General"},
      {"2024-01-15", Kind::kNumber, 45306, "yyyy-mm-dd"},
      {"2024-01-15 06:00:00", Kind::kNumber, 45306.25, "yyyy-mm-dd hh:mm:ss"},
      {"007", Kind::kText, 0, "007"},
      {"00.5", Kind::kText, 0, "00.5"},
      {"-0", Kind::kText, 0, "-0"},
      {"13800138000", Kind::kText, 0, "13800138000"},
      {"110101199003070012", Kind::kText, 0, "110101199003070012"},
      {"6222021234567890123", Kind::kText, 0, "6222021234567890123"},
      {"1234567890123.4567", Kind::kText, 0, "1234567890123.4567"},
      {"+8613800138000", Kind::kText, 0, "+8613800138000"},
      {"1e5", Kind::kText, 0, "1e5"},
      {"12.", Kind::kText, 0, "12."},
      {".5", Kind::kText, 0, ".5"},
      {"\"1,234\"", Kind::kText, 0, "1,234"},
      {"50%", Kind::kText, 0, "50%"},
      {"TRUE", Kind::kText, 0, "TRUE"},
      {"2024-1-5", Kind::kText, 0, "2024-1-5"},
      {"2024-02-30", Kind::kText, 0, "2024-02-30"},
      {"=\"0012\"", Kind::kText, 0, "0012"},
      {"\"=\"\"12\"\"\"", Kind::kText, 0, "12"},
  };
  TempFolder dir;
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.field);
    ReadBack result = Read(dir, "fields.csv", "x," + c.field + "\n");
    const RecordedCell& cell = result.sink.At("B1");
    ASSERT_EQ(cell.kind, c.kind);
    if (c.kind == Kind::kText) {
      EXPECT_EQ(cell.text, c.text);
    } else {
      EXPECT_DOUBLE_EQ(cell.number, c.number);
      EXPECT_EQ(result.reader->Styles().at(cell.style).number_format, c.text);
    }
  }
}

TEST(TextFilesTest, QuotedFieldsFollowRfc4180) {
  TempFolder dir;
  ReadBack result = Read(dir, "quoted.csv",
                         "名称,说明\r\n"
                         "\"苹果, 红\",\"他说\"\"好\"\"\"\r\n"
                         "\"两行\r\n文本\",\"ab\"cd\r\n"
                         "\n"
                         "a\"b,,last,\r"
                         "\"\",x\n");
  const std::vector<std::pair<std::string, std::string>> cells = {
      {"A1", "名称"},       {"B1", "说明"},         {"A2", "苹果, 红"},
      {"B2", "他说\"好\""}, {"A3", "两行\r\n文本"}, {"B3", "abcd"},
      {"A5", "a\"b"},       {"C5", "last"},         {"B6", "x"}};
  for (const auto& [reference, text] : cells) {
    SCOPED_TRACE(reference);
    EXPECT_EQ(result.sink.At(reference).text, text);
  }
  EXPECT_EQ(result.sink.cells().size(), cells.size());
}

struct TabCase {
  std::string name;
  std::string file_name;
  std::string bytes;
};

TEST(TextFilesTest, TabSeparatedTextIsReadWhateverItsName) {
  const std::vector<TabCase> cases = {
      {"tab text named .xls", "export.xls", "编号\t金额\n007\t12.5\n"},
      {"Unicode text (UTF-16LE)", "unicode.xls", Utf16(u"编号\t金额\r\n007\t12.5\r\n", false)},
      {"tabs in a .csv without commas", "tabs.csv", "编号\t金额\r\n007\t12.5\r\n"},
  };
  TempFolder dir;
  for (const TabCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReadBack result = Read(dir, c.file_name, c.bytes);
    EXPECT_EQ(result.sink.At("A1").text, "编号");
    EXPECT_EQ(result.sink.At("B1").text, "金额");
    EXPECT_EQ(result.sink.At("A2").text, "007");
    EXPECT_EQ(result.sink.At("B2").number, 12.5);
  }
}

TEST(TextFilesTest, ATitleLineMayPrecedeTabSeparatedRows) {
  TempFolder dir;
  ReadBack result = Read(dir, "report.xls", "销售报表\n编号\t金额\n007\t12.5\n");
  EXPECT_EQ(result.sink.At("A1").text, "销售报表");
  EXPECT_EQ(result.sink.At("B2").text, "金额");
  EXPECT_EQ(result.sink.At("B3").number, 12.5);
}

TEST(TextFilesTest, AFieldStartingWithAnAngleBracketIsNotAPage) {
  TempFolder dir;
  ReadBack result = Read(dir, "limits.csv", "<100,>200\n1,2\n");
  EXPECT_EQ(result.sink.At("A1").text, "<100");
  EXPECT_EQ(result.sink.At("B2").number, 2);
}

TEST(TextFilesTest, TheSheetIsNamedAfterTheFile) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"销售 2024.csv", "销售 2024"},
      {"a[1]*?.csv", "a_1___"},
      {"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三.csv",
       "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一"},
  };
  TempFolder dir;
  for (const auto& [file_name, sheet] : cases) {
    SCOPED_TRACE(file_name);
    ReadBack result = Read(dir, file_name, "1\n");
    ASSERT_EQ(result.reader->Sheets().size(), 1u);
    EXPECT_EQ(result.reader->Sheets()[0].name, sheet);
  }
}

struct RefusalCase {
  std::string name;
  std::string file_name;
  std::string bytes;
  std::string reason;
  bool at_open;  // refused when opening, else when reading the sheet
};

TEST(TextFilesTest, RefusalsSayWhatTheFileIs) {
  const std::string long_field(32768, 'x');
  const std::string many_columns(16384, ',');
  const std::vector<RefusalCase> cases = {
      {"binary", "junk.xls", std::string("\x01\x02\x03\x00 data", 9), "不是工作簿文件", true},
      {"plain text", "notes.xls", "只是一段说明\n第二行\n", "这是文本文件，不是工作簿", true},
      {"comma text under another name", "data.xls", "a,b\n1,2\n",
       "这是以逗号分隔的文本文件（CSV），请将扩展名改为 .csv 后再合并", true},
      {"Excel 2003 XML", "report.xls",
       "<?xml version=\"1.0\"?>\n<Workbook "
       "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"></Workbook>",
       "这是 XML 电子表格 2003 格式（.xml），暂不支持此格式", true},
      {"other XML", "data.xls", "<?xml version=\"1.0\"?><root/>", "这是 XML 文件，不是工作簿",
       true},
      {"HTML without a table", "page.xls", "<html><body><p>无数据</p></body></html>",
       "这是网页文件（HTML），其中没有表格", true},
      {"neither UTF-8 nor GB18030", "bad.csv", "a,\x80\n",
       "无法识别文件的字符编码：既不是 UTF-8，也不是 GB18030（GBK）", true},
      {"broken UTF-8 after a BOM", "bom.csv",
       "\xEF\xBB\xBF"
       "a,\xC0\xAF\n",
       "文件已损坏：内容不是有效的 UTF-8 文本", true},
      {"unclosed quote", "open.csv", "a,b\n1,\"never\nclosed\n",
       "从第 2 行开始的带引号字段没有结束引号", false},
      {"text too long for a cell", "long.csv", "a," + long_field + "\n",
       "第 1 行第 2 列的文本超过一个单元格的上限 32767 个字符", false},
      {"too many columns", "wide.csv", many_columns + "x\n",
       "第 1 行的列数超过一个工作表的上限 16384 列", false},
  };
  TempFolder dir;
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.file_name);
    WriteFile(path, c.bytes);
    std::string expected = c.at_open ? "无法打开文件“" + path + "”：" + c.reason + "。"
                                     : "无法读取文件“" + path + "”中的工作表“" +
                                           std::filesystem::path(path).stem().string() + "”：" +
                                           c.reason + "。";
    EXPECT_EQ(ErrorText([&path] {
                RecordingSink sink;
                OpenWorkbookFile(path)->ReadSheet(0, sink);
              }),
              expected);
  }
}

TEST(TextFilesTest, RowsPastTheSheetsLastRowAreRefused) {
  TempFolder dir;
  std::string path = dir.File("tall.csv");
  WriteFile(path, std::string(1048576, '\n') + "x\n");
  EXPECT_EQ(ErrorText([&path] {
              RecordingSink sink;
              OpenWorkbookFile(path)->ReadSheet(0, sink);
            }),
            "无法读取文件“" + path + "”中的工作表“tall”：行数超过一个工作表的上限 1048576 行。");
}

TEST(TextFilesTest, TheEngineOpensACsvFile) {
  TempFolder dir;
  std::string path = dir.File("明细.csv");
  WriteFile(path, "\xEF\xBB\xBF编号,金额\n007,12.5\n");
  Engine engine{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  engine.OpenWorkbook(path);
  engine.SelectSheet(std::string("明细"));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 1), CellValue(std::string("007")));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 2), CellValue(12.5));
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
