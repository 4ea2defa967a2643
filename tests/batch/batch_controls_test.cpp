#include "batch/batch_controls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "merge/combine_workbooks.h"
#include "tests/support/recording_application.h"

namespace tavrio::batch {
namespace {

using ::testing::ElementsAreArray;

// The calls that show what the merge run made of the flags.
std::vector<std::string> Telling(const std::vector<std::string>& calls) {
  std::vector<std::string> telling;
  for (const std::string& call : calls) {
    if (call.starts_with("OpenWorkbook") || call.starts_with("SelectSheet") ||
        call.starts_with("GetCellValue") || call.starts_with("SelectRows")) {
      telling.push_back(call);
    }
  }
  return telling;
}

BatchOptions Flags(std::optional<std::string> start_row, std::optional<std::string> sheet_name,
                   std::optional<std::string> sheet_index) {
  BatchOptions options;
  options.start_row = std::move(start_row);
  options.sheet_name = std::move(sheet_name);
  options.sheet_index = std::move(sheet_index);
  return options;
}

TEST(BatchControlsTest, FlagsSteerTheMergeRunAsTheWindowsControlsDo) {
  const std::vector<InputFile> files = {{"/d", "b.xlsx"}, {"/e/f", "a.xlsx"}};
  const struct {
    std::string name;
    BatchOptions options;
    std::vector<std::string> calls;
  } cases[] = {
      {"defaults: row 1, first sheet",
       {},
       {"OpenWorkbook(/d/b.xlsx)", "SelectSheet(1)", "GetCellValue(1,1)", "SelectRows(1:1)",
        "OpenWorkbook(/e/f/a.xlsx)", "SelectSheet(1)", "SelectRows(2:2)"}},
      {"typed start row",
       Flags("3", {}, {}),
       {"OpenWorkbook(/d/b.xlsx)", "SelectSheet(1)", "GetCellValue(\"3\",1)", "SelectRows(3:3)",
        "OpenWorkbook(/e/f/a.xlsx)", "SelectSheet(1)", "SelectRows(4:4)"}},
      {"sheet by name",
       Flags({}, "数据", {}),
       {"OpenWorkbook(/d/b.xlsx)", "SelectSheet(\"数据\")", "GetCellValue(1,1)", "SelectRows(1:1)",
        "OpenWorkbook(/e/f/a.xlsx)", "SelectSheet(\"数据\")", "SelectRows(2:2)"}},
      {"sheet position with a fraction",
       Flags({}, {}, "2.7"),
       {"OpenWorkbook(/d/b.xlsx)", "SelectSheet(2)", "GetCellValue(1,1)", "SelectRows(1:1)",
        "OpenWorkbook(/e/f/a.xlsx)", "SelectSheet(3)", "SelectRows(2:2)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::RecordingApplication app;
    BatchControls controls(c.options, files);
    merge::CombineWorkbooks(controls, app);
    EXPECT_THAT(Telling(app.log().calls()), ElementsAreArray(c.calls));
    EXPECT_EQ(controls.summary(), "已完成，共合并文件2个文件！");
  }
}

TEST(BatchControlsTest, ReportsProgressAsEachFilesTurnComes) {
  std::vector<std::string> reports;
  BatchControls controls(
      {}, {{"/d", "a.xlsx"}, {"/d", "b.xlsx"}, {"/d", "c.xlsx"}},
      [&](int index, int count, const std::string& name) {
        reports.push_back(std::to_string(index + 1) + "/" + std::to_string(count) + " " + name);
      });
  testing::RecordingApplication app;
  merge::CombineWorkbooks(controls, app);
  EXPECT_THAT(reports, ElementsAreArray({"1/3 a.xlsx", "2/3 b.xlsx", "3/3 c.xlsx"}));
}

// What the run announces to the engine as the next file: the next input in its own folder,
// without moving the folder FilePath answers or reporting progress.
TEST(BatchControlsTest, PeekTellsTheNextInputAndChangesNothing) {
  int reports = 0;
  const auto count = [&](int, int, const std::string&) { ++reports; };
  BatchControls controls({}, {{"/d", "b.xlsx"}, {"/e/f", "a.xlsx"}}, count);
  EXPECT_EQ(controls.FileName(0), "b.xlsx");
  const auto next = controls.PeekNextSelectedFile(0);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->index, 1);
  EXPECT_EQ(next->folder, "/e/f");
  EXPECT_EQ(next->name, "a.xlsx");
  EXPECT_EQ(controls.FilePath(), "/d");
  EXPECT_FALSE(controls.PeekNextSelectedFile(1)) << "nothing follows the last input";
  EXPECT_EQ(reports, 0);

  // --all-sheets: the next entry is mostly the same file again, on a sheet the run chooses.
  BatchControls sheets({}, {{"/d", "b.xlsx"}, {"/d", "b.xlsx"}}, nullptr,
                       {{1, "一月"}, {2, "二月"}});
  EXPECT_FALSE(sheets.PeekNextSelectedFile(0));
}

TEST(BatchControlsTest, NoSummaryBeforeTheRunHasEnded) {
  testing::RecordingApplication app;
  app.log().FailAtFirst("CloseActiveWindow", Error(1004, "x"));
  BatchControls controls({}, {{"/d", "a.xlsx"}});
  EXPECT_THROW(merge::CombineWorkbooks(controls, app), Error);
  EXPECT_EQ(controls.summary(), "");
}

}  // namespace
}  // namespace tavrio::batch
