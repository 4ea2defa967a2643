// Workbooks saved by other programs: openpyxl (Python) and LibreOffice, where installed.

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <filesystem>
#include <string>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::RunQuietly;
using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

namespace {

// Runs a Python script with the workbook's path as its argument.
void RunPython(const TempFolder& dir, const std::string& script, const std::string& path) {
  std::string file = dir.File("make.py");
  WriteFile(file, script);
  ASSERT_TRUE(RunQuietly(*tavrio::testing::PythonWithOpenpyxl() + " " + file + " " + path));
}

const char kOpenpyxlScript[] = R"(
import sys, datetime
from openpyxl import Workbook
from openpyxl.utils.datetime import CALENDAR_MAC_1904
wb = Workbook()
wb.epoch = CALENDAR_MAC_1904
ws = wb.active
ws.title = "明细"
ws.append(["文本", 1.25, True, datetime.datetime(2024, 1, 15, 6, 0)])
ws["A3"] = "=1/0"
ws["B3"] = "0012"
ws["C3"].number_format = "0.000"
ws["C3"] = 3.14159
ws["XFD1048576"] = "corner"
hidden = wb.create_sheet("隐藏")
hidden.sheet_state = "hidden"
very = wb.create_sheet("VeryHidden")
very.sheet_state = "veryHidden"
wb.create_sheet("Last")
wb.move_sheet("Last", offset=-3)
wb.save(sys.argv[1])
)";

TEST(ThirdPartyFilesTest, OpenpyxlWorkbookIn1904DateSystem) {
  TAVRIO_SKIP_WITHOUT(tavrio::testing::PythonWithOpenpyxl(), "python3-openpyxl");
  TempFolder dir;
  std::string path = dir.File("openpyxl.xlsx");
  RunPython(dir, kOpenpyxlScript, path);
  auto reader = OpenWorkbookFile(path);
  EXPECT_TRUE(reader->Uses1904DateSystem());
  const auto& sheets = reader->Sheets();
  ASSERT_EQ(sheets.size(), 4u);
  const std::string names[] = {"Last", "明细", "隐藏", "VeryHidden"};
  const bool hidden[] = {false, false, true, true};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(sheets[i].name, names[i]);
    EXPECT_EQ(sheets[i].hidden, hidden[i]);
  }
  RecordingSink sink;
  reader->ReadSheet(1, sink);
  EXPECT_EQ(sink.At("A1").text, "文本");
  EXPECT_EQ(sink.At("B1").number, 1.25);
  EXPECT_TRUE(sink.At("C1").boolean);
  // 2024-01-15 06:00 counted from 1904-01-01.
  EXPECT_DOUBLE_EQ(sink.At("D1").number, 43844.25);
  EXPECT_NE(reader->Styles().at(sink.At("D1").style).number_format, "General");
  EXPECT_EQ(sink.At("B3").text, "0012");
  EXPECT_EQ(reader->Styles().at(sink.At("C3").style).number_format, "0.000");
  EXPECT_EQ(sink.At("XFD1048576").text, "corner");
}

// Converts `source` with LibreOffice into `format` ("xlsx", "xls") inside `dir`.
std::string Convert(const TempFolder& dir, const std::string& source, const std::string& format) {
  std::string out_dir = dir.File("converted");
  std::filesystem::create_directories(out_dir);
  std::string command = "HOME=" + dir.path() + " " + *tavrio::testing::Soffice() +
                        " --headless --norestore --convert-to " + format + " --outdir " + out_dir +
                        " " + source;
  if (!RunQuietly(command)) return {};
  std::string stem = std::filesystem::path(source).stem().string();
  std::string result = out_dir + "/" + stem + "." + format;
  return std::filesystem::exists(result) ? result : std::string();
}

std::string WriteSource(const TempFolder& dir) {
  std::string path = dir.File("source.xlsx");
  lxw_workbook* wb = workbook_new(path.c_str());
  lxw_worksheet* first = workbook_add_worksheet(wb, "第一");
  lxw_worksheet* second = workbook_add_worksheet(wb, "Second");
  worksheet_hide(second);
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "yyyy-mm-dd");
  worksheet_write_string(first, 0, 0, "中文", nullptr);
  worksheet_write_number(first, 0, 1, 2.5, nullptr);
  lxw_datetime when = {2023, 12, 31, 0, 0, 0};
  worksheet_write_datetime(first, 1, 0, &when, date);
  worksheet_write_boolean(first, 1, 1, 0, nullptr);
  worksheet_write_string(second, 4, 2, "hidden text", nullptr);
  workbook_close(wb);
  return path;
}

TEST(ThirdPartyFilesTest, LibreOfficeWorkbook) {
  TAVRIO_SKIP_WITHOUT(tavrio::testing::Soffice(), "LibreOffice");
  TempFolder dir;
  std::string converted = Convert(dir, WriteSource(dir), "xlsx");
  ASSERT_FALSE(converted.empty()) << "LibreOffice could not convert";
  auto reader = OpenWorkbookFile(converted);
  ASSERT_EQ(reader->Sheets().size(), 2u);
  EXPECT_EQ(reader->Sheets()[0].name, "第一");
  EXPECT_TRUE(reader->Sheets()[1].hidden);
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").text, "中文");
  EXPECT_EQ(sink.At("B1").number, 2.5);
  EXPECT_EQ(sink.At("A2").number, 45291);
  EXPECT_EQ(reader->Styles().at(sink.At("A2").style).number_format, "yyyy\\-mm\\-dd");
  EXPECT_FALSE(sink.At("B2").boolean);
  RecordingSink hidden;
  reader->ReadSheet(1, hidden);
  EXPECT_EQ(hidden.At("C5").text, "hidden text");
}

TEST(ThirdPartyFilesTest, LibreOfficeXls) {
  TAVRIO_SKIP_WITHOUT(tavrio::testing::Soffice(), "LibreOffice");
  TempFolder dir;
  std::string converted = Convert(dir, WriteSource(dir), "xls");
  ASSERT_FALSE(converted.empty()) << "LibreOffice could not convert";
  auto reader = OpenWorkbookFile(converted);
  ASSERT_EQ(reader->Sheets().size(), 2u);
  EXPECT_EQ(reader->Sheets()[0].name, "第一");
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").text, "中文");
  EXPECT_EQ(sink.At("A2").number, 45291);
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
