// The active sheet saved as CSV: exact bytes.

#include <gtest/gtest.h>

#include "../engine/fake_files.h"
#include "automation/engine/engine.h"
#include "automation/writers/date_text.h"
#include "automation/writers/save_workbook.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

using testing::FakeFiles;
using testing::FakeSheet;
using testing::FakeWorkbook;

TEST(CsvWriterTest, WritesTheActiveSheetQuotedAsRfc4180SaysWithABom) {
  testing::TempFolder folder;
  FakeFiles files;
  files.Add("/in/data.xlsx", {{FakeSheet("Other", {{1, 1, std::string("not written")}}),
                               FakeSheet("Sheet1", {{1, 1, std::string("编号")},
                                                    {1, 2, std::string("a,b")},
                                                    {1, 3, std::string("say \"hi\"")},
                                                    {1, 4, std::string("two\nlines")},
                                                    {2, 1, std::string("007")},
                                                    {2, 2, 0.1 + 0.2},
                                                    {2, 3, 1e21},
                                                    {2, 4, -2.5},
                                                    {3, 2, true},
                                                    {3, 3, CellErrorValue{"#N/A"}},
                                                    {3, 4, std::string(" padded ")},
                                                    {5, 1, 45292.0, 1},
                                                    {5, 2, 0.75, 2},
                                                    {5, 3, 45292.5, 3},
                                                    {5, 4, 0.25, 4},
                                                    {6, 6, std::monostate{}, 1}})},
                              {"General", "yyyy-mm-dd", "h:mm", "m/d/yy h:mm", "0.00%"}});
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.OpenWorkbook("/in/data.xlsx");
  engine.SelectSheet(std::int16_t{2});
  const std::string saved = folder.File("out.CSV");
  engine.SaveWorkbookAs("data.xlsx", saved);
  EXPECT_EQ(testing::ReadFile(saved),
            "\xEF\xBB\xBF"
            "编号,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\"\r\n"
            "007,0.30000000000000004,1e+21,-2.5\r\n"
            ",TRUE,#N/A,\" padded \"\r\n"
            ",,,\r\n"
            "2024-01-01,18:00:00,2024-01-01 12:00:00,0.25\r\n");
  EXPECT_EQ(engine.WorkbookNames(), std::vector<std::string>{"out.CSV"});
}

// Regression: 600000 was written "6e+05", the shortest text, which scripts read as a float.
TEST(CsvWriterTest, WritesNumbersInPlainDigitsUnlessVeryLargeOrSmall) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {600000, "600000"},        {-1200, "-1200"},
      {1e14, "100000000000000"}, {123456.789, "123456.789"},
      {0.00001, "0.00001"},      {0, "0"},
      {1e15, "1e+15"},           {1.5e-7, "1.5e-07"},
      {-2.5e300, "-2.5e+300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    testing::TempFolder folder;
    FakeFiles files;
    files.Add("/in/n.xlsx", {{FakeSheet("Sheet1", {{1, 1, c.value}})}});
    Engine engine(files.Factory(), &writers::SaveWorkbook);
    engine.OpenWorkbook("/in/n.xlsx");
    engine.SaveWorkbookAs("n.xlsx", folder.File("n.csv"));
    EXPECT_EQ(testing::ReadFile(folder.File("n.csv")),
              std::string("\xEF\xBB\xBF") + c.text + "\r\n");
  }
}

TEST(CsvWriterTest, ContinuedSheetsRunToTheGridsLastRowBeforeTheNext) {
  testing::TempFolder folder;
  FakeFiles files;
  files.Add("/in/two.xlsx", {{FakeSheet("Sheet1", {{1, 1, std::string("头")}, {1, 2, 1.0}}),
                              FakeSheet("Sheet1 (2)", {{2, 1, std::string("尾")}})}});
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.OpenWorkbook("/in/two.xlsx");
  const std::string path = folder.File("all.csv");
  writers::SaveContinuedSheetsAsCsv(engine.PrepareSave("two.xlsx", path), path);
  std::string expected = "\xEF\xBB\xBF头,1\r\n";
  // The rest of the first sheet, blank; the second sheet's blank row 1; then its row 2, where
  // the last sheet ends.
  for (int row = 2; row <= 1048576 + 1; ++row) expected += ",\r\n";
  expected += "尾,\r\n";
  EXPECT_EQ(testing::ReadFile(folder.File("all.csv")), expected);
}

// A CSV has no escapes and needs none: control characters and non-characters go out as they
// are. What UTF-8 cannot hold (a surrogate on its own, bytes that are no UTF-8) becomes U+FFFD,
// and the save says how many cells that happened to rather than passing over it.
TEST(CsvWriterTest, TextsGoOutByteForByteAndWhatUtf8CannotHoldIsCounted) {
  testing::TempFolder folder;
  FakeFiles files;
  files.Add("/in/broken.xlsx",
            {{FakeSheet("Sheet1", {{1, 1, std::string("a\x01\x1F\tb")},
                                   {1, 2, std::string("\xEF\xBF\xBE\xEF\xBF\xBF_x0041_")},
                                   {1, 3, std::string("lone \xED\xA0\x80 high")},
                                   {2, 1, std::string("broken \xFF\xC0\x80")},
                                   {2, 2, std::string("\xED\xA0\xBD\xED\xB8\x80 pair")},
                                   {2, 3, std::string("\xF0\x9F\x98\x80 编号")}})}});
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.OpenWorkbook("/in/broken.xlsx");
  const std::string saved = folder.File("out.csv");
  const engine::SaveReport report = engine.SaveWorkbookAs("broken.xlsx", saved);
  EXPECT_EQ(testing::ReadFile(saved),
            "\xEF\xBB\xBF"
            "a\x01\x1F\tb,\xEF\xBF\xBE\xEF\xBF\xBF_x0041_,lone \xEF\xBF\xBD high\r\n"
            "broken \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD,\xF0\x9F\x98\x80 pair,\xF0\x9F\x98\x80 "
            "编号\r\n");
  EXPECT_EQ(report.replaced_texts, 2u);
  EXPECT_EQ(engine::SaveWarning(report),
            "文件“" + saved +
                "”已保存，但其中 2 处文本含有无法保存的字符（孤立的代理项或无效的 UTF-8 "
                "字节），已替换为“\xEF\xBF\xBD”。");
}

TEST(CsvWriterTest, AnEmptySheetIsJustTheBom) {
  testing::TempFolder folder;
  Engine engine(FakeFiles().Factory(), &writers::SaveWorkbook);
  engine.AddWorkbook();
  engine.SaveWorkbookAs("工作簿1", folder.File("empty.csv"));
  EXPECT_EQ(testing::ReadFile(folder.File("empty.csv")), "\xEF\xBB\xBF");
}

TEST(SerialDateTextTest, ShowsDatesOfThe1900DateSystem) {
  const engine::NumberFormatKind date{true, false}, time{false, true}, both{true, true};
  struct Case {
    double serial;
    engine::NumberFormatKind kind;
    const char* text;  // nullptr: no date can show it
  };
  const Case cases[] = {
      {1, date, "1900-01-01"},
      {59, date, "1900-02-28"},
      {60, date, "1900-02-29"},
      {61, date, "1900-03-01"},
      {0, date, "1900-01-00"},
      {45292, date, "2024-01-01"},
      {45351.999, date, "2024-02-29"},
      {2958465, date, "9999-12-31"},
      {0.5, time, "12:00:00"},
      {1.75, time, "18:00:00"},
      {45292.99999999, both, "2024-01-02 00:00:00"},
      {45292.0000057, both, "2024-01-01 00:00:00"},
      {-1, date, nullptr},
      {2958466, date, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    const auto text = writers::SerialDateText(c.serial, c.kind);
    if (c.text == nullptr) {
      EXPECT_FALSE(text.has_value());
    } else {
      EXPECT_EQ(text.value_or("(none)"), c.text);
    }
  }
}

}  // namespace
}  // namespace tavrio::automation
