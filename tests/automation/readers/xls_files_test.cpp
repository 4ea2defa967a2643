// Excel 97-2003 workbooks saved by LibreOffice, and .xls files that are damaged or encrypted.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/office_fixtures.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/automation/readers/temp_dir.h"

namespace tavrio::automation::readers::testing {
namespace {

std::string FixtureXls() {
  const std::string& dir = OfficeFixtureDir();
  return dir.empty() ? std::string() : dir + "/values.xls";
}

std::string OpenError(const std::string& path) {
  try {
    OpenWorkbookFile(path);
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    return error.description();
  }
  return "opened";
}

struct ExpectedCell {
  std::string reference;
  Kind kind;
  double number;
  std::string text;  // the text, or the number format of a number
};

TEST(XlsFilesTest, LibreOfficeWorkbookValues) {
  std::string path = FixtureXls();
  if (path.empty()) GTEST_SKIP() << "LibreOffice or openpyxl is missing";
  auto reader = OpenWorkbookFile(path);
  EXPECT_FALSE(reader->Uses1904DateSystem());
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  const std::vector<ExpectedCell> cells = {
      {"A1", Kind::kText, 0, "名称"},
      {"A2", Kind::kText, 0, "苹果, 红"},
      {"B2", Kind::kNumber, 12, "General"},
      {"C2", Kind::kNumber, 45291, "yyyy-mm-dd"},
      {"D2", Kind::kNumber, (10 * 3600 + 30 * 60 + 15) / 86400.0, "hh:mm:ss"},
      {"E2", Kind::kNumber, 45306.25, "yyyy-mm-dd hh:mm:ss"},
      {"F2", Kind::kText, 0, "007"},
      {"G2", Kind::kText, 0, "13800138000"},
      {"H2", Kind::kText, 0, "110101199003070012"},
      {"A3", Kind::kText, 0, "说\"好\""},
      {"B3", Kind::kNumber, -2.5, "General"},
      // The first day after the fictitious 1900-02-29 that the 1900 date system counts.
      {"C3", Kind::kNumber, 61, "yyyy-mm-dd"},
      {"E3", Kind::kNumber, 36585 + 86399 / 86400.0, "yyyy-mm-dd hh:mm:ss"},
      {"A4", Kind::kText, 0, "两行\n文本"},
      {"B4", Kind::kNumber, 1e300, "General"},
      // freexl drops these; the reader finds them in the sheet's own records.
      {"A6", Kind::kNumber, 24, "General"},
      {"B6", Kind::kBoolean, 1, ""},
      {"C6", Kind::kText, 0, "abcd"},
      {"D6", Kind::kError, 0, "#DIV/0!"},
      // freexl would hand these over as "2024-01-15", "12:00:00" and "1900-01-01".
      {"A7", Kind::kNumber, 45306.75, "yyyy-mm-dd"},
      {"B7", Kind::kNumber, 1.5, "hh:mm:ss"},
      {"C7", Kind::kNumber, 0, "yyyy-mm-dd"},
  };
  for (const ExpectedCell& expected : cells) {
    SCOPED_TRACE(expected.reference);
    const RecordedCell& cell = sink.At(expected.reference);
    ASSERT_EQ(cell.kind, expected.kind);
    if (expected.kind == Kind::kText || expected.kind == Kind::kError) {
      EXPECT_EQ(cell.text, expected.text);
    } else if (expected.kind == Kind::kBoolean) {
      EXPECT_EQ(cell.boolean, expected.number != 0);
    } else {
      EXPECT_NEAR(cell.number, expected.number, 1e-9 * std::max(1.0, expected.number));
      EXPECT_EQ(reader->Styles().at(cell.style).number_format, expected.text);
    }
  }
  EXPECT_FALSE(sink.Has("C4"));
}

TEST(XlsFilesTest, SheetsInWorkbookOrder) {
  std::string path = FixtureXls();
  if (path.empty()) GTEST_SKIP() << "LibreOffice or openpyxl is missing";
  auto reader = OpenWorkbookFile(path);
  const std::vector<SheetInfo> expected = {
      {"明细", false}, {"隐藏", true}, {"空表", false}, {"第四", false}};
  ASSERT_EQ(reader->Sheets().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reader->Sheets()[i].name, expected[i].name);
    EXPECT_EQ(reader->Sheets()[i].hidden, expected[i].hidden);
  }
  RecordingSink hidden, empty, fourth;
  reader->ReadSheet(1, hidden);
  reader->ReadSheet(2, empty);
  reader->ReadSheet(3, fourth);
  EXPECT_EQ(hidden.At("B2").text, "藏");
  EXPECT_TRUE(empty.cells().empty());
  EXPECT_EQ(fourth.At("C3").number, 4);
  EXPECT_EQ(fourth.cells().size(), 1u);
}

TEST(XlsFilesTest, AskingForASheetPastTheLastNamesItsPosition) {
  std::string path = FixtureXls();
  if (path.empty()) GTEST_SKIP() << "LibreOffice or openpyxl is missing";
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  try {
    reader->ReadSheet(4, sink);
    FAIL() << "read";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(), "无法读取文件“" + path + "”中的工作表“#5”：没有这个工作表。");
  }
}

TEST(XlsFilesTest, TheEngineSelectsSheetsByNameAndPosition) {
  std::string path = FixtureXls();
  if (path.empty()) GTEST_SKIP() << "LibreOffice or openpyxl is missing";
  Engine engine;
  engine.OpenWorkbook(path);
  engine.SelectSheet(std::string("第四"));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{3}, 3), CellValue(4.0));
  engine.SelectSheet(std::int16_t{1});
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 1), CellValue(std::string("苹果, 红")));
  EXPECT_EQ(engine.GetCellValue(std::int16_t{2}, 3), CellValue(45291.0));
}

// Damages a copy of the LibreOffice workbook; each case says how.
struct DamageCase {
  std::string name;
  std::function<std::string(std::string)> damage;
  std::string reason;
};

// Turns the first record of `type` in the workbook stream into a FILEPASS record (RC4
// encryption), as an application saving with a password would have written it.
std::string MarkEncrypted(std::string bytes) {
  const std::string write_access("\x5C\x00\x70\x00", 4);
  std::size_t at = bytes.find(write_access);
  if (at == std::string::npos) return {};
  bytes[at] = '\x2F';
  bytes[at + 4] = '\x01';
  bytes[at + 5] = '\x00';
  return bytes;
}

TEST(XlsFilesTest, DamagedAndEncryptedFilesAreRefused) {
  std::string source = FixtureXls();
  if (source.empty()) GTEST_SKIP() << "LibreOffice or openpyxl is missing";
  const std::string bytes = ReadFile(source);
  const std::vector<DamageCase> cases = {
      {"encrypted", MarkEncrypted, "文件受密码保护，请先取消密码再合并"},
      {"truncated", [](std::string b) { return b.substr(0, 3000); },
       "文件已损坏：复合文档结构无效"},
      {"header only", [](std::string b) { return b.substr(0, 512); },
       "文件已损坏：复合文档结构无效"},
  };
  TempDir dir;
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.name + ".xls");
    std::string damaged = c.damage(bytes);
    ASSERT_FALSE(damaged.empty());
    WriteFile(path, damaged);
    EXPECT_EQ(OpenError(path), "无法打开文件“" + path + "”：" + c.reason + "。");
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
