#include "bench/harness/data_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/temp_folder.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;

// A stand-in for the workbook generator: it takes the same flags, writes empty .xlsx files
// named by --prefix, and counts its runs, noting the formatted ones. The file "mode" in its
// folder makes it misbehave.
constexpr const char* kFakeGenerator = R"(#!/bin/sh
here=$(dirname "$0")
echo run >> "$here/runs"
mode=$(cat "$here/mode" 2>/dev/null)
while [ $# -gt 0 ]; do
  case "$1" in
    --formatted) echo formatted >> "$here/formatted"; shift; continue ;;
    --unstored-results) echo unstored >> "$here/unstored"; shift; continue ;;
    --files) files=$2 ;; --out) out=$2 ;; --prefix) prefix=$2 ;;
  esac
  shift 2
done
[ "$mode" = fail ] && { echo "disk full" >&2; exit 3; }
[ "$mode" = short ] && files=$((files - 1))
i=1
while [ $i -le $files ]; do : > "$out/${prefix}$(printf %03d $i).xlsx"; i=$((i + 1)); done
)";

class EnsureDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_ / "tool");
    generator_ = folder_ / "tool" / "generate";
    std::ofstream(generator_) << kFakeGenerator;
    fs::permissions(generator_, fs::perms::owner_all);
  }
  int Runs(const char* log = "runs") const {
    std::ifstream in(folder_ / "tool" / log);
    std::string line;
    int runs = 0;
    while (std::getline(in, line)) ++runs;
    return runs;
  }
  void SetMode(const std::string& mode) { std::ofstream(folder_ / "tool" / "mode") << mode; }
  std::vector<fs::path> Ensure(const DataSet& set) {
    return EnsureDataSet(set, folder_ / "data", generator_.string());
  }
  std::string Failure(const DataSet& set) {
    try {
      Ensure(set);
    } catch (const Error& error) {
      return error.description();
    }
    return "no error";
  }

  testing::TempFolder temp_;
  fs::path folder_ = temp_.path();
  fs::path generator_;
  const DataSet set_{"many", 3, 10, 4};
};

TEST_F(EnsureDataSetTest, GeneratesOnceThenReusesTheWorkbooksInNameOrder) {
  const std::vector<fs::path> first = Ensure(set_);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0], DataSetFolder(set_, folder_ / "data") / "many-001.xlsx");
  EXPECT_EQ(first[2].filename(), "many-003.xlsx");
  EXPECT_EQ(Ensure(set_), first);
  EXPECT_EQ(Runs(), 1);
}

TEST_F(EnsureDataSetTest, EachShapeHasItsOwnFolder) {
  EXPECT_EQ(DataSetFolder(set_, "root"), fs::path("root") / "many-3x10x4");
  Ensure(set_);
  const DataSet wider{"many", 3, 10, 5};
  EXPECT_EQ(Ensure(wider)[0].parent_path().filename(), "many-3x10x5");
  EXPECT_EQ(Runs(), 2);
}

TEST_F(EnsureDataSetTest, AFormattedSetIsGeneratedFormattedIntoAFolderOfItsOwn) {
  Ensure(set_);
  DataSet formatted = set_;
  formatted.name = "many-formatted";
  formatted.formatted = true;
  EXPECT_EQ(Ensure(formatted)[0].parent_path().filename(), "many-formatted-3x10x4");
  EXPECT_EQ(Runs(), 2);
  EXPECT_EQ(Runs("formatted"), 1);
  // A plain set's folder is never taken for a formatted one of the same name and shape.
  const fs::path plain_folder = DataSetFolder(set_, folder_ / "data");
  fs::rename(plain_folder, folder_ / "plain");
  fs::remove_all(DataSetFolder(formatted, folder_ / "data"));
  fs::rename(folder_ / "plain", DataSetFolder(formatted, folder_ / "data"));
  Ensure(formatted);
  EXPECT_EQ(Runs("formatted"), 2);
}

TEST_F(EnsureDataSetTest, AnUncalculatedSetIsGeneratedWithoutResultsIntoAFolderOfItsOwn) {
  DataSet formatted = set_;
  formatted.name = "many-formatted";
  formatted.formatted = true;
  DataSet uncalculated = formatted;
  uncalculated.name = "many-uncalculated";
  uncalculated.stored_results = false;
  Ensure(formatted);
  EXPECT_EQ(Ensure(uncalculated)[0].parent_path().filename(), "many-uncalculated-3x10x4");
  EXPECT_EQ(Runs("formatted"), 2);
  EXPECT_EQ(Runs("unstored"), 1);
  // Formatted workbooks with results are never taken for ones without.
  fs::remove_all(DataSetFolder(formatted, folder_ / "data"));
  fs::rename(DataSetFolder(uncalculated, folder_ / "data"),
             DataSetFolder(formatted, folder_ / "data"));
  Ensure(formatted);
  EXPECT_EQ(Runs("unstored"), 1);
  EXPECT_EQ(Runs(), 3);
}

TEST_F(EnsureDataSetTest, RegeneratesAnIncompleteSet) {
  struct Damage {
    std::string name;
    void (*apply)(const fs::path& folder);
  };
  const std::vector<Damage> damages = {
      {"stamp removed", [](const fs::path& f) { fs::remove(f / "complete.txt"); }},
      {"stamp of other sizes", [](const fs::path& f) { std::ofstream(f / "complete.txt") << "1"; }},
      {"workbook removed", [](const fs::path& f) { fs::remove(f / "many-002.xlsx"); }},
      {"workbook added", [](const fs::path& f) { std::ofstream(f / "extra.xlsx"); }},
  };
  Ensure(set_);
  int expected_runs = 1;
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    damage.apply(DataSetFolder(set_, folder_ / "data"));
    EXPECT_EQ(Ensure(set_).size(), 3u);
    EXPECT_EQ(Runs(), ++expected_runs);
  }
}

TEST_F(EnsureDataSetTest, AFailingGeneratorIsReportedAndLeavesNoCompleteSet) {
  SetMode("fail");
  EXPECT_EQ(Failure(set_), "无法生成测试数据“many”：生成程序以代码 3 退出：disk full\n");
  SetMode("");
  EXPECT_EQ(Ensure(set_).size(), 3u);
  EXPECT_EQ(Runs(), 2);
}

TEST_F(EnsureDataSetTest, AGeneratorThatLeavesTooFewWorkbooksIsReported) {
  SetMode("short");
  EXPECT_EQ(Failure(set_), "无法生成测试数据“many”：应有 3 个工作簿，生成程序留下了 2 个");
  SetMode("");
  EXPECT_EQ(Ensure(set_).size(), 3u);
}

TEST_F(EnsureDataSetTest, AMissingGeneratorIsReported) {
  generator_ = folder_ / "tool" / "absent";
  EXPECT_EQ(Failure(set_), "无法启动程序“" + generator_.string() + "”：No such file or directory");
}

TEST(StandardSetsTest, FullSetsHaveTheBenchmarkShapesAndQuickOnesAreSmaller) {
  const std::vector<DataSet> full = StandardSets(false);
  ASSERT_EQ(full.size(), 6u);
  EXPECT_EQ(full[0].name, "many");
  EXPECT_EQ(full[0].files * full[0].rows, 400000);
  EXPECT_EQ(full[1].name, "million");
  EXPECT_EQ(full[1].files * full[1].rows, 1000000);
  const std::vector<DataSet> quick = StandardSets(true);
  ASSERT_EQ(quick.size(), full.size());
  for (std::size_t i = 0; i < quick.size(); ++i) {
    SCOPED_TRACE(quick[i].name);
    EXPECT_EQ(quick[i].name, full[i].name);
    EXPECT_EQ(quick[i].columns, 12);
    EXPECT_LT(quick[i].files * quick[i].rows, full[i].files * full[i].rows / 50);
  }
}

TEST(StandardSetsTest, EachPlainSetHasAFormattedAndAnUncalculatedTwinOfTheSameShape) {
  for (bool quick : {false, true}) {
    const std::vector<DataSet> sets = StandardSets(quick);
    ASSERT_EQ(sets.size(), 6u);
    for (std::size_t i = 0; i < 2; ++i) {
      SCOPED_TRACE(sets[i].name);
      EXPECT_FALSE(sets[i].formatted);
      EXPECT_TRUE(sets[i].stored_results);
      const DataSet& formatted = sets[i + 2];
      EXPECT_TRUE(formatted.formatted);
      EXPECT_TRUE(formatted.stored_results);
      EXPECT_EQ(formatted.name, sets[i].name + "-formatted");
      const DataSet& uncalculated = sets[i + 4];
      EXPECT_TRUE(uncalculated.formatted);
      EXPECT_FALSE(uncalculated.stored_results);
      EXPECT_EQ(uncalculated.name, sets[i].name + "-uncalculated");
      for (const DataSet* twin : {&formatted, &uncalculated}) {
        EXPECT_EQ(std::tie(twin->files, twin->rows, twin->columns),
                  std::tie(sets[i].files, sets[i].rows, sets[i].columns));
      }
    }
  }
}

}  // namespace
}  // namespace tavrio::bench
