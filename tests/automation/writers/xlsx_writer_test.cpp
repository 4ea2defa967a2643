// Saved .xlsx files read back by an independent reader (openpyxl), cell by cell.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "../engine/fake_files.h"
#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "automation/writers/workbook_writer.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

using testing::FakeCell;
using testing::FakeFiles;
using testing::FakeSheet;
using testing::FakeWorkbook;
using testing::Hex;
using testing::PythonFloatHex;

std::string Line(const std::string& ref, const CellValue& value, const std::string& format) {
  const std::string fmt = " " + Hex(format);
  if (const auto* number = std::get_if<double>(&value)) {
    return ref + " n " + PythonFloatHex(*number) + fmt;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return ref + " s " + (text->empty() ? "-" : Hex(*text)) + fmt;
  }
  if (const auto* boolean = std::get_if<bool>(&value)) {
    return ref + " b " + (*boolean ? "1" : "0") + fmt;
  }
  return ref + " e " + std::get<CellErrorValue>(value).text + fmt;
}

class XlsxWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl"); }

  testing::TempFolder folder_;
  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

TEST_F(XlsxWriterTest, EveryValueReadsBackExactlyWithItsFormat) {
  const std::string long_text = "长" + std::string(32765, 'x') + "尾";
  const std::vector<std::string> formats = {"General", "yyyy-mm-dd", "hh:mm:ss", "0.00%",
                                            "yyyy\"年\"m\"月\"d\"日\" h:mm"};
  const std::vector<std::pair<FakeCell, std::string>> cells = {
      {{1, 1, std::string("编号")}, "A1"},
      {{1, 2, std::string("007")}, "B1"},
      {{2, 1, 0.1 + 0.2}, "A2"},
      {{2, 2, 1.0 / 3.0}, "B2"},
      {{2, 3, std::numeric_limits<double>::denorm_min()}, "C2"},
      {{2, 4, 1.7976931348623157e308}, "D2"},
      {{2, 5, 123456789012345678.0}, "E2"},
      {{3, 1, 45292.0, 1}, "A3"},
      {{3, 2, 0.75, 2}, "B3"},
      {{3, 3, 0.125, 3}, "C3"},
      {{3, 4, 45292.5, 4}, "D3"},
      {{4, 1, true}, "A4"},
      {{4, 2, false}, "B4"},
      {{4, 3, CellErrorValue{"#N/A"}}, "C4"},
      {{4, 4, CellErrorValue{"#DIV/0!"}}, "D4"},
      {{4, 5, CellErrorValue{"#REF!"}}, "E4"},
      {{5, 1, long_text}, "A5"},
      {{6, 1, std::string("  blanks kept  ")}, "A6"},
      {{6, 2, std::string("two\nlines\r\nand CR")}, "B6"},
      {{6, 3, std::string("<&>\"'")}, "C6"},
      {{6, 4, std::string("_x0041_ stays")}, "D6"},
      {{6, 5, std::string("bell\x07")}, "E6"},
      {{7, 16384, std::string("far corner")}, "XFD7"},
  };
  FakeSheet sheet("数据");
  for (const auto& [cell, ref] : cells) sheet.cells.push_back(cell);
  FakeWorkbook workbook{{sheet, FakeSheet("隐藏", {{1, 1, 1.0}}, true)}, formats};
  files_.Add("/in/source.xlsx", workbook);
  engine_.OpenWorkbook("/in/source.xlsx");
  const std::string saved = folder_.File("合并.xlsx");
  engine_.SaveWorkbookAs("source.xlsx", saved);

  std::vector<std::string> expected = {"sheet " + Hex("数据") + " visible active"};
  for (const auto& [cell, ref] : cells)
    expected.push_back(Line(ref, cell.value, formats[cell.style]));
  // openpyxl shows the _xHHHH_ escapes that spreadsheet applications decode (XML 1.0 cannot
  // carry a control character, and a literal "_x0041_" must not turn into "A" there).
  expected[21] = Line("D6", std::string("_x005F_x0041_ stays"), "General");
  expected[22] = Line("E6", std::string("bell_x0007_"), "General");
  expected.push_back("sheet " + Hex("隐藏") + " hidden -");
  expected.push_back(Line("A1", 1.0, "General"));
  testing::ExpectSameLines(testing::DumpXlsx(saved), expected);
}

// A name from another format (a CSV's file name, say) may be one a spreadsheet application
// refuses, and then the whole file with it; such a name is changed just enough, valid names
// keep theirs (the first of equal ones winning), and the save says how many were changed.
TEST_F(XlsxWriterTest, SheetNamesASpreadsheetApplicationWouldRefuseAreChangedJustEnough) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"数据", "数据"},
      {"", "Sheet2 (2)"},
      {"x[1]:y*?/\\", "x_1__y____"},
      {"'引号'", "引号"},
      {"Data", "Data"},
      {"DATA", "DATA (2)"},
      {"History", "History (2)"},
      {"0123456789012345678901234567890123", "0123456789012345678901234567890"},
      {"Sheet2", "Sheet2"},
      {"tab\there\nand _x0041_", "tab\there\nand _x005F_x0041_"},
  };
  FakeWorkbook workbook;
  std::vector<std::string> expected;
  for (const auto& [name, saved] : names) {
    workbook.sheets.emplace_back(name, std::vector<FakeCell>{{1, 1, 1.0}});
    expected.push_back("sheet " + Hex(saved) + " visible " + (expected.empty() ? "active" : "-"));
    expected.push_back(Line("A1", 1.0, "General"));
  }
  files_.Add("/in/names.xlsx", workbook);
  engine_.OpenWorkbook("/in/names.xlsx");
  const std::string saved = folder_.File("names.xlsx");
  const engine::SaveReport report = engine_.SaveWorkbookAs("names.xlsx", saved);
  testing::ExpectSameLines(testing::DumpXlsx(saved), expected);
  EXPECT_EQ(report.renamed_sheets, 6u);
  EXPECT_EQ(report.replaced_texts, 0u);
  EXPECT_EQ(engine::SaveWarning(report),
            "文件“" + saved +
                "”已保存，但其中 6 个工作表的名称不合规则（为空、超过 31 个字符、含有 []:*?/\\ "
                "、以单引号开头或结尾、为 History 或与其他工作表重名），已改名保存。");
}

// Bytes that are no UTF-8 cannot be carried by any escape; they become U+FFFD, in every part,
// and each text it happened to is counted.
TEST_F(XlsxWriterTest, BytesThatAreNoUtf8BecomeTheReplacementCharacterAndAreCounted) {
  files_.Add("/in/bytes.xlsx", {{FakeSheet("Sheet\xFF", {{1, 1,
                                                          std::string("a\xC0\x80"
                                                                      "b")},
                                                         {1, 2, std::string("fine")},
                                                         {1, 3, 2.0, 1}})},
                                {"General", "0.00\xFE"}});
  engine_.OpenWorkbook("/in/bytes.xlsx");
  const std::string saved = folder_.File("bytes.xlsx");
  const engine::SaveReport report = engine_.SaveWorkbookAs("bytes.xlsx", saved);
  testing::ExpectSameLines(
      testing::DumpXlsx(saved),
      {"sheet " + Hex("Sheet\xEF\xBF\xBD") + " visible active",
       Line("A1",
            std::string("a\xEF\xBF\xBD\xEF\xBF\xBD"
                        "b"),
            "General"),
       Line("B1", std::string("fine"), "General"), Line("C1", 2.0, "0.00\xEF\xBF\xBD")});
  EXPECT_EQ(report.replaced_texts, 3u);
  EXPECT_EQ(report.renamed_sheets, 0u);
}

// The sheet's XML is deflated in chunks on several threads; a one-thread save is the reference.
TEST_F(XlsxWriterTest, AParallelSaveReadsBackCellForCellAsAOneThreadSave) {
  unsigned threads = 0;
  Engine engine(files_.Factory(),
                [&threads](const engine::Workbook& workbook, const std::string& path) {
                  return writers::MakeXlsxWriter(threads)->Write(workbook, path);
                });
  // About 1.6 MB of sheet XML: a few chunks.
  files_.Add("/in/big.xlsx", {{testing::GridSheet("数据", 8000, 8),
                               FakeSheet("第二", {{1, 1, std::string("尾")}})}});
  engine.OpenWorkbook("/in/big.xlsx");
  const std::string one_thread = folder_.File("one.xlsx");
  engine.SaveWorkbookAs("big.xlsx", one_thread);
  threads = 3;
  const std::string parallel = folder_.File("parallel.xlsx");
  engine.SaveWorkbookAs("one.xlsx", parallel);
  const std::vector<std::string> expected = testing::DumpXlsx(one_thread);
  ASSERT_EQ(expected.size(), 2 + 8000 * 8 + 1u);
  testing::ExpectSameLines(testing::DumpXlsx(parallel), expected);
  EXPECT_TRUE(testing::ReadFile(parallel) == testing::ReadFile(one_thread))
      << "the file's bytes depend on the number of threads";
}

TEST_F(XlsxWriterTest, NonFiniteNumbersBecomeTheNumError) {
  FakeWorkbook workbook{{FakeSheet(
      "Sheet1", {{1, 1, std::nan("")}, {1, 2, std::numeric_limits<double>::infinity()}})}};
  files_.Add("/in/odd.xlsx", workbook);
  engine_.OpenWorkbook("/in/odd.xlsx");
  const std::string saved = folder_.File("odd.xlsx");
  engine_.SaveWorkbookAs("odd.xlsx", saved);
  EXPECT_EQ(
      testing::DumpXlsx(saved),
      (std::vector<std::string>{"sheet " + Hex("Sheet1") + " visible active",
                                "A1 e #NUM! " + Hex("General"), "B1 e #NUM! " + Hex("General")}));
}

TEST_F(XlsxWriterTest, ANewEmptyWorkbookSavesAsAnEmptySheet) {
  engine_.AddWorkbook();
  const std::string saved = folder_.File("empty.xlsx");
  engine_.SaveWorkbookAs("工作簿1", saved);
  EXPECT_EQ(testing::DumpXlsx(saved),
            std::vector<std::string>{"sheet " + Hex("Sheet1") + " visible active"});
}

TEST_F(XlsxWriterTest, OfficeSuiteConvertsTheSavedFileWithoutComplaint) {
  TAVRIO_SKIP_WITHOUT(testing::Soffice(), "LibreOffice");
  const std::string soffice = *testing::Soffice();
  files_.Add("/in/s.xlsx", {{FakeSheet("Sheet1", {{1, 1, std::string("编号")},
                                                  {1, 2, std::string("007")},
                                                  {2, 1, 0.1 + 0.2},
                                                  {2, 2, true},
                                                  {2, 3, CellErrorValue{"#N/A"}},
                                                  {3, 1, 45292.0, 1}})},
                            {"General", "yyyy-mm-dd"}});
  engine_.OpenWorkbook("/in/s.xlsx");
  const std::string saved = folder_.File("s_out.xlsx");
  engine_.SaveWorkbookAs("s.xlsx", saved);
  const std::string profile =
      "file://" + (std::filesystem::path(folder_.path()) / "profile").string();
  const auto output = testing::RunCommand(
      "cd '" + folder_.path() + "' && '" + soffice + "' -env:UserInstallation=" + profile +
      " --headless --convert-to csv:\"Text - txt - csv (StarCalc)\":44,34,76 s_out.xlsx "
      ">/dev/null 2>&1");
  ASSERT_TRUE(output.has_value()) << "soffice failed to convert the saved file";
  EXPECT_EQ(testing::ReadFile(folder_.File("s_out.csv")),
            "编号,007,\n0.3,TRUE,#N/A\n2024-01-01,,\n");
}

}  // namespace
}  // namespace tavrio::automation
