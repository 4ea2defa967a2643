// A watched merge run: what it reports before each file, stopping between files when asked, and
// the advice added to a sheet name no workbook has.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "merge/combine_workbooks.h"
#include "tests/support/recording_application.h"

namespace tavrio::merge {
namespace {

using testing::CallLog;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeMergeControls;
using testing::RecordingApplication;
using Texts = std::vector<std::string>;

// Notes every report as text; asks to stop once `stop_after` files have started.
class NotedProgress : public MergeProgress {
 public:
  void FileStarting(int file, int files, const std::string& name,
                    std::int32_t merged_rows) override {
    notes.push_back(std::to_string(file) + "/" + std::to_string(files) + " " + name + " " +
                    std::to_string(merged_rows));
    ++started;
  }
  void MergedWorkbookCreated(const std::string& name) override {
    notes.push_back("created " + name);
  }
  bool StopRequested() override {
    ++asked;
    return stop_after > 0 && started >= stop_after;
  }

  Texts notes;
  int started = 0;
  int asked = 0;
  int stop_after = 0;
};

class MergeProgressTest : public ::testing::Test {
 protected:
  MergeProgressTest() {
    controls.option3 = false;
    controls.option4 = true;
    controls.entries = {{"a.xlsx", true}, {"skip.xlsx", false}, {"b.xlsx", true}, {"c.xlsx", true}};
  }

  std::optional<Error> Run() {
    try {
      CombineWorkbooks(controls, app, &progress);
    } catch (const Error& error) {
      return error;
    }
    return std::nullopt;
  }

  CallLog log;
  RecordingApplication app{&log};
  FakeMergeControls controls{&log};
  NotedProgress progress;
};

TEST_F(MergeProgressTest, ReportsEachSelectedFileWithTheRowsMergedBeforeIt) {
  // Last used rows: after the first paste 11, then the append row's count for b and after its
  // paste, then c's.
  app.ScriptLastUsedRows({11, 11, 30, 30, 52});
  ASSERT_FALSE(Run());
  EXPECT_THAT(progress.notes,
              ElementsAre("1/3 a.xlsx 0", "created 工作簿1", "2/3 b.xlsx 11", "3/3 c.xlsx 30"));
  EXPECT_EQ(controls.summaries, Texts{"已完成，共合并文件3个文件！"});
  // Never asked before the first file: a merge always merges at least one file.
  EXPECT_EQ(progress.asked, 2);
}

TEST_F(MergeProgressTest, AStopBetweenFilesKeepsWhatWasMergedAndSwitchesScreenUpdatingBackOn) {
  for (int stop_after : {1, 2}) {
    SCOPED_TRACE("stop after " + std::to_string(stop_after));
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    run_controls.option3 = false;
    run_controls.option4 = true;
    run_controls.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
    NotedProgress run_progress;
    run_progress.stop_after = stop_after;

    CombineWorkbooks(run_controls, run_app, &run_progress);

    EXPECT_EQ(run_progress.started, stop_after);
    const Texts sequence = run_log.Sequence();
    const auto opens = std::count_if(sequence.begin(), sequence.end(), [](const auto& call) {
      return testing::OperationOf(call) == "OpenWorkbook";
    });
    EXPECT_EQ(opens, stop_after);
    ASSERT_GE(sequence.size(), 2u);
    EXPECT_EQ(sequence[sequence.size() - 2], "SetScreenUpdating(true)");
    EXPECT_EQ(sequence.back(), "Private.Release()");
    EXPECT_TRUE(run_controls.summaries.empty());
  }
}

TEST_F(MergeProgressTest, AFailureAfterTheFirstFileLeavesTheMergedWorkbookReported) {
  log.FailAt("OpenWorkbook", 3, Error(1004, "无法打开文件“/d/c.xlsx”：文件不存在"));
  ASSERT_TRUE(Run());
  EXPECT_EQ(progress.notes.back(), "3/3 c.xlsx 5");
  EXPECT_THAT(progress.notes, ::testing::Contains("created 工作簿1"));
}

TEST_F(MergeProgressTest, AdviceIsAddedOnlyToASheetNameThatIsNotFound) {
  controls.option3 = true;
  controls.option4 = false;
  controls.sheet_name_advice = "请输入工作表的名称。";
  struct Case {
    const char* what;
    Error failure;
    std::string expected;
  } cases[] = {
      {"no such sheet", Error(9, "下标越界：文件“a.xlsx”中没有名为“请输入工作表名称”的工作表。"),
       "下标越界：文件“a.xlsx”中没有名为“请输入工作表名称”的工作表。\n请输入工作表的名称。"},
      {"another failure", Error(1004, "应用程序定义或对象定义错误"), "应用程序定义或对象定义错误"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    run_log.FailAtFirst("SelectSheet", c.failure);
    try {
      CombineWorkbooks(controls, run_app);
      ADD_FAILURE() << "the run succeeded";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), c.failure.number());
      EXPECT_EQ(error.description(), c.expected);
    }
  }
}

TEST_F(MergeProgressTest, APositionIsNeverGivenNameAdvice) {
  controls.sheet_name_advice = "请输入工作表的名称。";
  log.FailAtFirst("SelectSheet", Error(9, "下标越界：没有第 3 个工作表（共 2 个）。"));
  const std::optional<Error> error = Run();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->description(), "下标越界：没有第 3 个工作表（共 2 个）。");
}

}  // namespace
}  // namespace tavrio::merge
