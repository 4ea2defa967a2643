// Real files through the whole engine: source workbooks written by other programs, opened with
// the file readers, merged with the calls a merge run makes, saved, and read back by openpyxl.

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "../engine/fake_files.h"
#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/support/engine_merge_step.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

using testing::Hex;
using testing::PythonFloatHex;

// A source workbook written by libxlsxwriter; freed unwritten unless Close() is called.
class SourceWorkbook {
 public:
  explicit SourceWorkbook(const std::string& path) : workbook_(workbook_new(path.c_str())) {}
  SourceWorkbook(const SourceWorkbook&) = delete;
  SourceWorkbook& operator=(const SourceWorkbook&) = delete;
  ~SourceWorkbook() {
    if (workbook_ != nullptr) lxw_workbook_free(workbook_);
  }
  lxw_workbook* get() { return workbook_; }
  lxw_format* Format(const char* code) {
    lxw_format* format = workbook_add_format(workbook_);
    format_set_num_format(format, code);
    return format;
  }
  void Close() {
    ASSERT_EQ(workbook_close(workbook_), LXW_NO_ERROR);
    workbook_ = nullptr;
  }

 private:
  lxw_workbook* workbook_;
};

std::string Number(const std::string& ref, double value, const std::string& format = "General") {
  return ref + " n " + PythonFloatHex(value) + " " + Hex(format);
}
std::string Text(const std::string& ref, const std::string& text) {
  return ref + " s " + Hex(text) + " " + Hex("General");
}
std::string Boolean(const std::string& ref, bool value) {
  return ref + " b " + (value ? "1" : "0") + " " + Hex("General");
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl"); }

  // Writes 一月.xlsx and 二月.xlsx with libxlsxwriter: a hidden sheet first, then 数据.
  void WriteMonth(const std::string& name, int month) {
    SourceWorkbook source(folder_.File(name));
    lxw_worksheet* notes = workbook_add_worksheet(source.get(), "说明");
    worksheet_write_string(notes, 0, 0, "not merged", nullptr);
    worksheet_hide(notes);
    lxw_worksheet* data = workbook_add_worksheet(source.get(), "数据");
    worksheet_activate(data);
    const char* header[] = {"编号", "金额", "日期", "时间", "标志", "备注"};
    for (int column = 0; column < 6; ++column) {
      worksheet_write_string(data, 0, column, header[column], nullptr);
    }
    lxw_format* date = source.Format("yyyy-mm-dd");
    lxw_format* date_time = source.Format("yyyy-mm-dd hh:mm");
    lxw_format* percent = source.Format("0.00%");
    worksheet_write_string(data, 1, 0, month == 1 ? "007" : "0100", nullptr);
    // libxlsxwriter prints 16 significant digits: enough for these two, not for 0.1 + 0.2.
    worksheet_write_number(data, 1, 1, month == 1 ? 1.0 / 3.0 : 1e-300, nullptr);
    worksheet_write_number(data, 1, 2, 45292 + month, date);
    worksheet_write_number(data, 1, 3, 45292.75, date_time);
    worksheet_write_boolean(data, 1, 4, month == 1, nullptr);
    worksheet_write_string(data, 1, 5, long_text_.c_str(), nullptr);
    worksheet_write_string(data, 2, 0, "0012", nullptr);
    worksheet_write_number(data, 2, 1, 0.125, percent);
    worksheet_write_string(data, 2, 5, "两行\n文本", nullptr);
    source.Close();
  }

  // Writes 三月.xlsx with openpyxl: the 1904 date system and error values, which libxlsxwriter
  // cannot write.
  void WriteMarch() {
    const std::string script =
        "import openpyxl, sys\n"
        "from openpyxl.utils.datetime import CALENDAR_MAC_1904\n"
        "wb = openpyxl.Workbook()\n"
        "wb.epoch = CALENDAR_MAC_1904\n"
        "ws = wb.active\n"
        "ws.title = '数据'\n"
        "ws.append(['编号', '金额'])\n"
        "ws['A2'] = '#N/A'\n"
        "ws['B2'] = 0\n"
        "ws['B2'].number_format = 'yyyy-mm-dd'\n"
        "ws['C2'] = '#DIV/0!'\n"

        "wb.save(sys.argv[1])\n";
    const std::string script_path = folder_.File("march.py");
    {
      FILE* file = std::fopen(script_path.c_str(), "w");
      std::fputs(script.c_str(), file);
      std::fclose(file);
    }
    ASSERT_TRUE(testing::RunCommand(*testing::PythonWithOpenpyxl() + " '" + script_path + "' '" +
                                    folder_.File("三月.xlsx") + "'"));
  }

  // The calls a merge run makes for one file.
  void MergeFile(const std::string& name, bool first) {
    testing::MergeSheet(engine_, folder_.File(name), "数据", first, merged_);
  }

  testing::TempFolder folder_;
  Engine engine_{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  std::string merged_;
  std::string long_text_ = "首" + std::string(32765, 'z') + "尾";
};

TEST_F(EndToEndTest, MergedAndSavedWorkbookHoldsEveryValueOfTheSources) {
  WriteMonth("一月.xlsx", 1);
  WriteMonth("二月.xlsx", 2);
  WriteMarch();
  MergeFile("一月.xlsx", true);
  MergeFile("二月.xlsx", false);
  MergeFile("三月.xlsx", false);
  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"工作簿1"});
  const std::string saved = folder_.File("合并.xlsx");
  engine_.SaveWorkbookAs(merged_, saved);

  const std::vector<std::string> expected = {
      "sheet " + Hex("Sheet1") + " visible active",
      Text("A1", "编号"),
      Text("B1", "金额"),
      Text("C1", "日期"),
      Text("D1", "时间"),
      Text("E1", "标志"),
      Text("F1", "备注"),
      Text("A2", "007"),
      Number("B2", 1.0 / 3.0),
      Number("C2", 45293, "yyyy-mm-dd"),
      Number("D2", 45292.75, "yyyy-mm-dd hh:mm"),
      Boolean("E2", true),
      Text("F2", long_text_),
      Text("A3", "0012"),
      Number("B3", 0.125, "0.00%"),
      Text("F3", "两行\n文本"),
      Text("A4", "0100"),
      Number("B4", 1e-300),
      Number("C4", 45294, "yyyy-mm-dd"),
      Number("D4", 45292.75, "yyyy-mm-dd hh:mm"),
      Boolean("E4", false),
      Text("F4", long_text_),
      Text("A5", "0012"),
      Number("B5", 0.125, "0.00%"),
      Text("F5", "两行\n文本"),
      "A6 e #N/A " + Hex("General"),
      Number("B6", 1462, "yyyy-mm-dd"),
      "C6 e #DIV/0! " + Hex("General"),
  };
  testing::ExpectSameLines(testing::DumpXlsx(saved), expected);
  // The sources are untouched and were never saved over.
  EXPECT_EQ(folder_.Entries(), (std::vector<std::string>{"march.py", "一月.xlsx", "三月.xlsx",
                                                         "二月.xlsx", "合并.xlsx"}));
}

// Every class of code point XML 1.0 cannot hold, as a workbook from the wild writes it (shared
// and inline strings, a formula's string literal, in _xHHHH_ form), merged and saved: a
// U+FFFE written as it stood once made the saved file unreadable while the save reported
// success. The project's readers hand a lone surrogate over as U+FFFD; the rest comes back as
// the source held it, in openpyxl (decoding the escapes) and in LibreOffice.
TEST_F(EndToEndTest, EveryEscapeClassSurvivesTheMergeInOpenpyxlAndLibreOffice) {
  using readers::testing::SheetXml;
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"_xFFFE_ and _xFFFF_", "\xEF\xBF\xBE and \xEF\xBF\xBF"},
      {"ctl_x0001__x001F_end",
       "ctl\x01\x1F"
       "end"},
      {"cr_x000D_lf", "cr\rlf"},
      {"_x005F_x0041_ typed", "_x0041_ typed"},
      {"pair _xD83D__xDE00_", "pair \xF0\x9F\x98\x80"},
      {"lone _xD800_", "lone \xEF\xBF\xBD"},
      {"&lt;tab&gt;\t&amp;", "<tab>\t&"},
  };
  std::string shared;
  std::string rows = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>编号</t></is></c></row>";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    shared += "<si><t xml:space=\"preserve\">" + texts[i].first + "</t></si>";
    const std::string row = std::to_string(i + 2);
    rows += "<row r=\"" + row + "\"><c r=\"A" + row + "\" t=\"s\"><v>" + std::to_string(i) +
            "</v></c><c r=\"B" + row + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" +
            texts[i].first + "</t></is></c></row>";
  }
  rows +=
      "<row r=\"9\"><c r=\"A9\" t=\"str\"><f>\"_xFFFE_\"&amp;\"x\"</f><v>_xFFFE_x</v></c></row>";
  readers::testing::WritePackage(
      folder_.File("wild.xlsx"),
      readers::testing::WorkbookParts({{"数据", SheetXml(rows)}}, shared));
  MergeFile("wild.xlsx", true);
  const std::string saved = folder_.File("wild_out.xlsx");
  const engine::SaveReport report = engine_.SaveWorkbookAs(merged_, saved);
  EXPECT_EQ(engine::SaveWarning(report), "");

  std::vector<std::string> lines = {"file 0", "sheet " + Hex("Sheet1") + " visible",
                                    "1 1 s " + Hex("编号") + " - " + Hex("General")};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (int column : {1, 2}) {
      lines.push_back(std::to_string(i + 2) + " " + std::to_string(column) + " s " +
                      Hex(texts[i].second) + " - " + Hex("General"));
    }
  }
  lines.push_back("9 1 s " + Hex("\xEF\xBF\xBEx") + " " + Hex("\"\xEF\xBF\xBE\"&\"x\"") + " " +
                  Hex("General"));
  const auto dumped = testing::RunCommand(*testing::PythonWithOpenpyxl() + " " + TAVRIO_DUMP_CELLS +
                                          " '" + saved + "'");
  ASSERT_TRUE(dumped.has_value()) << "openpyxl could not read the saved file";
  std::vector<std::string> found;
  std::istringstream stream(*dumped);
  for (std::string line; std::getline(stream, line);) found.push_back(line);
  testing::ExpectSameLines(found, lines);

  TAVRIO_SKIP_WITHOUT(testing::Soffice(), "LibreOffice");
  const std::string soffice = *testing::Soffice();
  const std::string profile = "file://" + (std::filesystem::path(folder_.path()) / "profile").string();
  ASSERT_TRUE(testing::RunCommand(
      "cd '" + folder_.path() + "' && '" + soffice + "' -env:UserInstallation=" + profile +
      " --headless --convert-to csv:\"Text - txt - csv (StarCalc)\":44,34,76 " +
      "wild_out.xlsx >/dev/null 2>&1"))
      << "soffice failed to convert the saved file";
  std::string csv = "编号,\n";
  for (const auto& [escaped, text] : texts) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos;
    const std::string field = quote ? "\"" + text + "\"" : text;
    csv += field + "," + field + "\n";
  }
  // LibreOffice recalculates on opening and takes a formula's text as it stands, without
  // decoding its escapes as the file format says and openpyxl's unescape does above.
  csv += "_xFFFE_x,\n";
  EXPECT_EQ(Hex(testing::ReadFile(folder_.File("wild_out.csv"))), Hex(csv));
}

TEST_F(EndToEndTest, ASavedWorkbookOpensAgainInTheEngineWithEveryDoubleExact) {
  // Neither libxlsxwriter nor openpyxl writes a double that needs 17 digits, so these come from
  // an in-memory source; the engine's own file reader reads the saved file back.
  testing::FakeFiles fakes;
  fakes.Add("/memory/exact.xlsx",
            {{testing::FakeSheet("数据", {{1, 1, 0.1 + 0.2},
                                          {1, 2, std::numeric_limits<double>::denorm_min()},
                                          {1, 3, -1.0 / 3.0},
                                          {1, 4, std::string("两行\r\n文本")},
                                          {1, 5, std::string("bell\x07 _x0041_")},
                                          {2, 1, long_text_}})}});
  auto fake = fakes.Factory();
  Engine engine(
      [&](const std::string& path) {
        return path.starts_with("/memory/") ? fake(path) : readers::OpenWorkbookFile(path);
      },
      &writers::SaveWorkbook);
  engine.OpenWorkbook("/memory/exact.xlsx");
  const std::string saved = folder_.File("again.xlsx");
  engine.SaveWorkbookAs("exact.xlsx", saved);
  engine.CloseActiveWindow();
  engine.OpenWorkbook(saved);
  EXPECT_EQ(engine.ActiveWorkbookName(), "again.xlsx");
  EXPECT_EQ(engine.GetCellValue(std::int16_t{1}, 1), CellValue(0.1 + 0.2));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{1}, 2),
            CellValue(std::numeric_limits<double>::denorm_min()));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{1}, 3), CellValue(-1.0 / 3.0));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{1}, 4), CellValue(std::string("两行\r\n文本")));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{1}, 5), CellValue(std::string("bell\x07 _x0041_")));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 1), CellValue(long_text_));
}

}  // namespace
}  // namespace tavrio::automation
