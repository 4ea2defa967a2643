#include "bench/harness/step_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;

class CheckStepResultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(saved_) << "PK";
    std::ofstream{empty_};  // an empty file, not a missing one
  }

  testing::TempFolder temp_;
  fs::path folder_ = temp_.path();
  fs::path saved_ = folder_ / "saved.xlsx";
  fs::path empty_ = folder_ / "empty.xlsx";
  const DataSet set_{"many", 3, 10, 12};  // 31 merged rows
};

TEST_F(CheckStepResultTest, AcceptsOnlyTheWholeWork) {
  struct Case {
    Step step;
    std::string output;
    fs::path file;
    std::string problem;
  };
  const fs::path missing = folder_ / "missing.xlsx";
  const std::vector<Case> cases = {
      {Step::kFloor, "inflated 3 parts of 3 workbooks: 1.0 MiB of XML\n", "", ""},
      {Step::kFloor, "inflated 6 parts of 3 workbooks: 1.0 MiB of XML\n", "", ""},
      {Step::kFloor, "inflated 2 parts of 3 workbooks\n", "", "inflated 2 parts of 3 workbooks"},
      {Step::kFloor, "", "", "inflated 0 parts of 3 workbooks"},
      {Step::kEngineMerge, "已完成，共合并文件3个文件！ merged rows: 31\n", "", ""},
      {Step::kEngineMerge, "已完成，共合并文件3个文件！ merged rows: 21\n", "",
       "merged 21 rows, expected 31"},
      {Step::kEngineMerge, "已完成，共合并文件3个文件！\n", "", "printed no row count"},
      {Step::kBatchMerge, "已完成\n", saved_, ""},
      {Step::kBatchMerge, "已完成\n", empty_, "saved no workbook"},
      {Step::kBatchMerge, "已完成\n", missing, "saved no workbook"},
      {Step::kTailMerge, "", saved_, ""},
      {Step::kTailMerge, "", missing, "saved no workbook"},
      {Step::kOpenpyxl, "merged 31 rows of 3 workbooks\n", saved_, ""},
      {Step::kOpenpyxl, "merged 31 rows of 3 workbooks\n", missing, "saved no workbook"},
      {Step::kOpenpyxl, "merged 30 rows of 3 workbooks\n", saved_, "merged 30 rows, expected 31"},
      {Step::kSave, "已完成 merged rows: 31 save wall 0.500 cpu 0.900\n", saved_, ""},
      {Step::kSave, "已完成 merged rows: 31\n", saved_, "printed no save time"},
      {Step::kSave, "已完成 merged rows: 30 save wall 0.500 cpu 0.900\n", saved_,
       "merged 30 rows, expected 31"},
      {Step::kSave, "已完成 merged rows: 31 save wall 0.500 cpu 0.900\n", missing,
       "saved no workbook"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output + " " + c.file.string());
    EXPECT_EQ(CheckStepResult(c.step, set_, c.output, c.file), c.problem);
  }
}

TEST(KeepSaveTimingTest, TheSavesOwnTimesReplaceTheWholeRunsAndOnlyThen) {
  Measurement run;
  run.seconds = 3;
  run.cpu_seconds = 4;
  run.output = "已完成 merged rows: 31 save wall 0.500 cpu 0.900\n";
  KeepSaveTiming(run);
  EXPECT_EQ(run.seconds, 0.5);
  EXPECT_EQ(run.cpu_seconds, 0.9);

  run.output = "已完成 merged rows: 31\n";
  KeepSaveTiming(run);
  EXPECT_EQ(run.seconds, 0.5) << "a run that printed no save time keeps its own";
}

TEST(ExpectedMergedRowsTest, KeepsOneHeaderAndEveryDataRow) {
  EXPECT_EQ(ExpectedMergedRows({"many", 200, 2000, 12}), 400001);
  EXPECT_EQ(ExpectedMergedRows({"million", 25, 40000, 12}), 1000001);
  EXPECT_EQ(ExpectedMergedRows({"one", 1, 0, 1}), 1);
}

}  // namespace
}  // namespace tavrio::bench
