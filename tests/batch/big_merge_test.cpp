// A merge larger than one sheet: 2,000,000 rows from four generated workbooks, to .csv and to
// .xlsx with --overflow-sheets, read back row by row with openpyxl. Takes a few minutes, so it
// runs only when asked for: ctest -C big -L big.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "bench/workbook_generator.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::batch {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class BigMergeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new testing::TempFolder;
    bench::GeneratedSet set;
    set.files = 4;
    set.rows = 500000;
    set.columns = 8;
    set.seed = 16;
    *sources_ = bench::GenerateWorkbooks(set, fs::path(folder_->path()) / "in");
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  int Run(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    return RunBatch(arguments, out, err, false);
  }

  // Every merged row against its source with openpyxl (check_big_merge.py).
  void ExpectEveryRow(const fs::path& merged) {
    const auto python = testing::PythonWithOpenpyxl();
    TAVRIO_SKIP_WITHOUT(python, "python3-openpyxl");
    std::string command =
        Quoted(*python) + " " + Quoted(TAVRIO_CHECK_BIG_MERGE) + " " + Quoted(merged.string());
    for (const fs::path& source : *sources_) command += " " + Quoted(source.string());
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  }

  fs::path Output(const std::string& name) const { return fs::path(folder_->path()) / name; }
  std::string Input() const { return (fs::path(folder_->path()) / "in").string(); }

  static testing::TempFolder* folder_;
  static std::vector<fs::path>* sources_;
  std::ostringstream out;
  std::ostringstream err;
};

testing::TempFolder* BigMergeTest::folder_ = nullptr;
std::vector<fs::path>* BigMergeTest::sources_ = new std::vector<fs::path>;

TEST_F(BigMergeTest, CsvTakesEveryRow) {
  const fs::path merged = Output("两百万.csv");
  ASSERT_EQ(Run({"-o", merged.string(), Input()}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件4个文件！\n");
  ExpectEveryRow(merged);
  fs::remove(merged);
}

TEST_F(BigMergeTest, OverflowSheetsContinueOnNewSheetsUnderTheHeader) {
  const fs::path merged = Output("两百万.xlsx");
  ASSERT_EQ(Run({"--overflow-sheets", "-o", merged.string(), Input()}), kExitSuccess) << err.str();
  ExpectEveryRow(merged);
  fs::remove(merged);
}

TEST_F(BigMergeTest, WithoutOverflowSheetsAnXlsxStopsWithTheClearErrorAndNoFile) {
  const fs::path merged = Output("满.xlsx");
  for (const bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "through the batch mode's own paste" : "through the engine's paste");
    std::vector<std::string> arguments = {"-o", merged.string(), Input()};
    if (extended) arguments.insert(arguments.begin(), {"--source-column", "来源"});
    EXPECT_EQ(Run(arguments), kExitFailure);
    const std::string expected_start =
        "运行时错误 '1004':\n\n无法粘贴到工作簿“工作簿1”的工作表“Sheet1”：复制的 ";
    EXPECT_EQ(err.str().rfind(expected_start, 0), 0u) << err.str();
    EXPECT_NE(err.str().find("超出工作表的最后一行 (1048576)"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(merged));
  }
}

}  // namespace
}  // namespace tavrio::batch
