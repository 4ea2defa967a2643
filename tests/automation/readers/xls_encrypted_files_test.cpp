// .xls workbooks encrypted by LibreOffice (RC4) or obfuscated (XOR), opened through the reader
// as the merge opens them.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "automation/base/cell_address.h"
#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/biff_fixtures.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/independent_readers.h"

namespace tavrio::automation::readers::testing {
namespace {

// Every sheet's name and cells, as the reader hands them over.
struct ReadWorkbook {
  std::vector<std::string> names;
  std::vector<RecordingSink> sheets;
};

ReadWorkbook ReadAll(const std::string& path) {
  ReadWorkbook read;
  auto reader = OpenWorkbookFile(path);
  for (std::size_t i = 0; i < reader->Sheets().size(); ++i) {
    read.names.push_back(reader->Sheets()[i].name);
    read.sheets.emplace_back();
    reader->ReadSheet(i, read.sheets.back());
  }
  return read;
}

// "sheet!A1" of every formula whose result changes with each calculation (RAND, NOW): each
// file LibreOffice saved holds results of its own there.
std::set<std::string> VolatileCells(const std::string& tsv) {
  std::set<std::string> cells;
  std::ifstream in(tsv);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find("RAND(") == std::string::npos && line.find("NOW(") == std::string::npos) {
      continue;
    }
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    cells.insert(line.substr(0, tab1) + "!" + line.substr(tab1 + 1, tab2 - tab1 - 1));
  }
  return cells;
}

void ExpectSameCells(const ReadWorkbook& got, const ReadWorkbook& want,
                     const std::set<std::string>& volatile_cells) {
  ASSERT_EQ(got.names, want.names);
  for (std::size_t i = 0; i < want.sheets.size(); ++i) {
    SCOPED_TRACE(want.names[i]);
    const auto& cells = got.sheets[i].cells();
    ASSERT_EQ(cells.size(), want.sheets[i].cells().size());
    for (const auto& [at, cell] : want.sheets[i].cells()) {
      const std::string reference = want.names[i] + "!" + CellReference(at.first, at.second);
      SCOPED_TRACE(reference);
      const auto found = cells.find(at);
      ASSERT_NE(found, cells.end());
      EXPECT_EQ(found->second.kind, cell.kind);
      if (!volatile_cells.contains(reference)) {
        EXPECT_EQ(found->second.number, cell.number);
      }
      EXPECT_EQ(found->second.text, cell.text);
      EXPECT_EQ(found->second.boolean, cell.boolean);
      EXPECT_EQ(found->second.style, cell.style);
      EXPECT_EQ(found->second.formula, cell.formula);
    }
  }
}

class XlsEncryptedFilesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(XlsEncryptedFilesTest, DefaultPasswordReadsAsThePlainWorkbook) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  const ReadWorkbook plain = ReadAll(dir + "/formulas.xls");
  ASSERT_GE(plain.names.size(), 6u);
  ASSERT_GT(plain.sheets[0].cells().size(), 20u);
  const std::set<std::string> volatile_cells = VolatileCells(dir + "/formulas.tsv");
  ASSERT_EQ(volatile_cells.size(), 2u);
  ExpectSameCells(ReadAll(dir + "/" + GetParam()), plain, volatile_cells);
}

INSTANTIATE_TEST_SUITE_P(Schemes, XlsEncryptedFilesTest,
                         ::testing::Values("default-password.xls", "xor.xls"));

TEST(XlsEncryptedFilesTest, AnotherPasswordIsRefused) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  const std::string path = dir + "/other-password.xls";
  try {
    OpenWorkbookFile(path);
    ADD_FAILURE() << "opened";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(),
              "无法打开文件“" + path + "”：文件受密码保护，请先取消密码再合并。");
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
