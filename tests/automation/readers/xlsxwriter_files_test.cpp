// Workbooks written by libxlsxwriter in the test, read back through OpenWorkbookFile.

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <memory>
#include <string>

#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;

namespace {

struct WorkbookCloser {
  void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookCloser>;

lxw_format* NumberFormat(lxw_workbook* workbook, const char* code) {
  lxw_format* format = workbook_add_format(workbook);
  format_set_num_format(format, code);
  return format;
}

// Writes one of each value kind into "数据", between a visible first sheet and a hidden last one.
void WriteValues(const std::string& path, bool constant_memory) {
  lxw_workbook_options options{};
  options.constant_memory = constant_memory ? LXW_TRUE : LXW_FALSE;
  Workbook workbook(workbook_new_opt(path.c_str(), &options));
  lxw_workbook* wb = workbook.get();
  worksheet_write_string(workbook_add_worksheet(wb, "封面"), 0, 0, "first", nullptr);
  lxw_worksheet* sheet = workbook_add_worksheet(wb, "数据");
  lxw_worksheet* hidden = workbook_add_worksheet(wb, "Hidden");
  worksheet_hide(hidden);
  worksheet_write_number(hidden, 0, 0, 42, nullptr);

  lxw_format* date = NumberFormat(wb, "yyyy-mm-dd");
  lxw_format* percent = NumberFormat(wb, "0.00%");
  lxw_format* text = NumberFormat(wb, "@");
  lxw_format* bold = workbook_add_format(wb);
  format_set_bold(bold);

  worksheet_write_string(sheet, 0, 0, "名称", bold);
  worksheet_write_number(sheet, 0, 1, 1.0 / 3.0, nullptr);
  worksheet_write_boolean(sheet, 0, 2, 1, nullptr);
  worksheet_write_string(sheet, 0, 3, "00123", text);
  lxw_datetime when = {2024, 2, 29, 12, 0, 0};
  worksheet_write_datetime(sheet, 1, 0, &when, date);
  worksheet_write_number(sheet, 1, 1, 0.125, percent);
  worksheet_write_formula_num(sheet, 1, 2, "=B2*2", nullptr, 0.25);
  worksheet_write_formula_str(sheet, 1, 3, "=A1&\"x\"", nullptr, "名称x");
  worksheet_write_blank(sheet, 2, 0, bold);
  worksheet_write_string(sheet, 2, 1, "line1\nline2 & <tag>", nullptr);
  worksheet_write_string(sheet, 2, 2, std::string(32767, 'z').c_str(), nullptr);
  worksheet_write_number(sheet, 3, 3, -1e300, nullptr);
  if (!constant_memory) {
    lxw_format* italic = workbook_add_format(wb);
    format_set_italic(italic);
    lxw_rich_string_tuple first = {bold, const_cast<char*>("粗")};
    lxw_rich_string_tuple second = {italic, const_cast<char*>("斜")};
    lxw_rich_string_tuple* runs[] = {&first, &second, nullptr};
    worksheet_write_rich_string(sheet, 3, 0, runs, nullptr);
  }
  ASSERT_EQ(workbook_close(workbook.release()), LXW_NO_ERROR);
}

class XlsxWriterFilesTest : public ::testing::TestWithParam<bool> {};

TEST_P(XlsxWriterFilesTest, ReadsEveryValueKindSheetAndFormat) {
  const bool constant_memory = GetParam();
  TempFolder dir;
  std::string path = dir.File("values.xlsx");
  WriteValues(path, constant_memory);
  auto reader = OpenWorkbookFile(path);

  const auto& sheets = reader->Sheets();
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[0].name, "封面");
  EXPECT_EQ(sheets[1].name, "数据");
  EXPECT_EQ(sheets[2].name, "Hidden");
  EXPECT_FALSE(sheets[0].hidden);
  EXPECT_TRUE(sheets[2].hidden);
  EXPECT_FALSE(reader->Uses1904DateSystem());

  RecordingSink sink;
  reader->ReadSheet(1, sink);
  const auto& styles = reader->Styles();
  auto format_of = [&](const std::string& ref) {
    return styles.at(sink.At(ref).style).number_format;
  };
  EXPECT_EQ(sink.At("A1").text, "名称");
  EXPECT_EQ(sink.At("B1").number, 1.0 / 3.0);
  EXPECT_TRUE(sink.At("C1").boolean);
  EXPECT_EQ(sink.At("D1").text, "00123");
  EXPECT_EQ(format_of("D1"), "@");
  EXPECT_EQ(sink.At("A2").number, 45351.5);
  EXPECT_EQ(format_of("A2"), "yyyy-mm-dd");
  EXPECT_EQ(sink.At("B2").number, 0.125);
  EXPECT_EQ(format_of("B2"), "0.00%");
  EXPECT_EQ(sink.At("C2").number, 0.25);
  EXPECT_EQ(sink.At("D2").kind, Kind::kText);
  EXPECT_EQ(sink.At("D2").text, "名称x");
  EXPECT_EQ(sink.At("A3").kind, Kind::kBlank);
  EXPECT_NE(sink.At("A3").style, 0u);
  EXPECT_EQ(sink.At("B3").text, "line1\nline2 & <tag>");
  EXPECT_EQ(sink.At("C3").text, std::string(32767, 'z'));
  EXPECT_EQ(sink.At("D4").number, -1e300);
  EXPECT_EQ(format_of("D4"), "General");
  if (!constant_memory) {
    EXPECT_EQ(sink.At("A4").text, "粗斜");
  }

  RecordingSink first, hidden;
  reader->ReadSheet(0, first);
  reader->ReadSheet(2, hidden);
  EXPECT_EQ(first.At("A1").text, "first");
  EXPECT_EQ(hidden.At("A1").number, 42);
}

// Constant-memory mode writes inline strings instead of shared ones.
INSTANTIATE_TEST_SUITE_P(SharedAndInlineStrings, XlsxWriterFilesTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "ConstantMemory" : "Standard";
                         });

TEST(XlsxWriterFilesTest, ASheetCanBeReadAgain) {
  TempFolder dir;
  std::string path = dir.File("twice.xlsx");
  WriteValues(path, false);
  auto reader = OpenWorkbookFile(path);
  RecordingSink once, twice;
  reader->ReadSheet(1, once);
  reader->ReadSheet(1, twice);
  EXPECT_EQ(once.cells().size(), twice.cells().size());
  EXPECT_EQ(twice.At("A1").text, "名称");
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
