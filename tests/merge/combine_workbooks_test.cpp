#include "merge/combine_workbooks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/recording_application.h"

namespace tavrio::merge {
namespace {

using automation::CellValue;
using testing::CallLog;
using ::testing::ElementsAreArray;
using testing::FakeMergeControls;
using testing::RecordingApplication;
using Calls = std::vector<std::string>;

Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The calls for the first selected file. `sheet` and `cell_row` as the log spells them.
Calls FirstFile(const std::string& path, const std::string& sheet, const std::string& cell_row,
                const std::string& rows, bool placeholder = false, bool create_private = false) {
  const std::string name = path.substr(path.rfind('/') + 1);
  Calls calls = {"OpenWorkbook(" + path + ")"};
  if (create_private) calls.push_back("CreatePrivateInstance()");
  calls = calls + Calls{"Private.SetVisible(true)", "ActiveWorkbookName()",
                        "SelectSheet(" + sheet + ")", "GetCellValue(" + cell_row + ",1)"};
  if (placeholder) calls.push_back("SetCellText(" + cell_row + ",1,\"aaa\")");
  return calls + Calls{"SelectRows(" + rows + ")",
                       "ExtendSelectionToLastUsedRow()",
                       "CopySelection()",
                       "AddWorkbook()",
                       "PasteIntoActiveSheet()",
                       "ActiveWorkbookName()",
                       "ActivateWindow(" + name + ")",
                       "SetCutCopyMode(false)",
                       "CloseActiveWindow()"};
}

Calls LaterFile(const std::string& path, const std::string& sheet, const std::string& rows,
                std::int32_t append_row, const std::string& merged = "工作簿1") {
  const std::string name = path.substr(path.rfind('/') + 1);
  return {"OpenWorkbook(" + path + ")",
          "Private.SetVisible(true)",
          "ActiveWorkbookName()",
          "SelectSheet(" + sheet + ")",
          "SelectRows(" + rows + ")",
          "ExtendSelectionToLastUsedRow()",
          "CopySelection()",
          "ActivateWindow(" + merged + ")",
          "ActiveSheetLastUsedRow()",
          "SelectCell(" + std::to_string(append_row) + ",1)",
          "PasteIntoActiveSheet()",
          "ActivateWindow(" + name + ")",
          "SetCutCopyMode(false)",
          "CloseActiveWindow()"};
}

Calls Ending(int merged_files, bool private_created = true) {
  Calls calls = {"SetScreenUpdating(true)", "Form.ShowSummary(已完成，共合并文件" +
                                                std::to_string(merged_files) + "个文件！)"};
  if (private_created) calls.push_back("Private.Release()");
  return calls;
}

const Calls kStart = {"SetScreenUpdating(false)"};

// One merge run against the recording double, with the sheet chosen by position "1" unless a
// test says otherwise.
class CombineWorkbooksTest : public ::testing::Test {
 protected:
  CombineWorkbooksTest() {
    controls.option3 = false;
    controls.option4 = true;
  }

  std::optional<Error> Run() {
    try {
      CombineWorkbooks(controls, app);
    } catch (const Error& error) {
      return error;
    }
    return std::nullopt;
  }

  void RunExpectingSuccess() {
    std::optional<Error> error = Run();
    ASSERT_FALSE(error) << FormatError(*error);
  }

  void ExpectFailure(const std::optional<Error>& error, int number, const std::string& text) {
    ASSERT_TRUE(error.has_value()) << "the run succeeded";
    EXPECT_EQ(error->number(), number);
    EXPECT_EQ(error->description(), text);
    EXPECT_TRUE(controls.summaries.empty());
  }

  Calls Sequence() const { return log.Sequence(); }

  CallLog log;
  RecordingApplication app{&log};
  FakeMergeControls controls{&log};
};

TEST_F(CombineWorkbooksTest, CallOrderForOneTwoAndThreeFiles) {
  const Calls first = FirstFile("/d/a.xlsx", "1", "1", "1:1", false, true);
  const Calls expected[] = {
      kStart + first + Ending(1),
      kStart + first + LaterFile("/d/b.xlsx", "1", "2:2", 6) + Ending(2),
      kStart + first + LaterFile("/d/b.xlsx", "1", "2:2", 6) +
          LaterFile("/d/c.xlsx", "1", "2:2", 6) + Ending(3),
  };
  const std::vector<std::string> names = {"a.xlsx", "b.xlsx", "c.xlsx"};
  for (int files = 1; files <= 3; ++files) {
    SCOPED_TRACE(std::to_string(files) + " files");
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    run_controls.option3 = false;
    run_controls.option4 = true;
    run_controls.Select({names.begin(), names.begin() + files});
    CombineWorkbooks(run_controls, run_app);
    EXPECT_THAT(run_log.Sequence(), ElementsAreArray(expected[files - 1]));
  }
}

TEST_F(CombineWorkbooksTest, AppendsEachBlockBelowTheLastUsedRowOfTheMergedSheet) {
  controls.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
  app.ScriptLastUsedRows({0, 41});
  RunExpectingSuccess();
  EXPECT_THAT(Sequence(),
              ElementsAreArray(kStart + FirstFile("/d/a.xlsx", "1", "1", "1:1", false, true) +
                               LaterFile("/d/b.xlsx", "1", "2:2", 1) +
                               LaterFile("/d/c.xlsx", "1", "2:2", 42) + Ending(3)));
}

TEST_F(CombineWorkbooksTest, AppendRowPastTheLargest32BitRowOverflows) {
  controls.Select({"a.xlsx", "b.xlsx"});
  app.ScriptLastUsedRows({std::numeric_limits<std::int32_t>::max()});
  ExpectFailure(Run(), 6, "溢出");
  Calls later = LaterFile("/d/b.xlsx", "1", "2:2", 0);
  later.resize(9);  // up to and including ActiveSheetLastUsedRow()
  EXPECT_THAT(Sequence(),
              ElementsAreArray(kStart + FirstFile("/d/a.xlsx", "1", "1", "1:1", false, true) +
                               later + Calls{"Private.Release()"}));
}

TEST_F(CombineWorkbooksTest, OnlySelectedEntriesAreMergedAndTheFirstSelectedIsFirst) {
  controls.entries = {{"a.xlsx", false}, {"b.xlsx", false}, {"c.xlsx", true},
                      {"d.xlsx", false}, {"e.xlsx", false}, {"f.xlsx", true}};
  RunExpectingSuccess();
  EXPECT_THAT(Sequence(),
              ElementsAreArray(kStart + FirstFile("/d/c.xlsx", "1", "1", "1:1", false, true) +
                               LaterFile("/d/f.xlsx", "1", "2:2", 6) + Ending(2)));
}

TEST_F(CombineWorkbooksTest, NothingSelectedOpensNothingAndReportsZero) {
  const std::vector<std::vector<FakeMergeControls::Entry>> lists = {
      {}, {{"a.xlsx", false}}, {{"a.xlsx", false}, {"b.xlsx", false}}};
  for (const auto& entries : lists) {
    SCOPED_TRACE(std::to_string(entries.size()) + " entries");
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    run_controls.entries = entries;
    CombineWorkbooks(run_controls, run_app);
    EXPECT_THAT(run_log.Sequence(), ElementsAreArray(kStart + Ending(0, false)));
    EXPECT_THAT(run_controls.summaries, ElementsAreArray({"已完成，共合并文件0个文件！"}));
  }
}

struct StartRowCase {
  std::string name;
  bool typed;
  std::string text1;
  std::string cell_row;  // as the log spells the row given to GetCellValue
  std::string first_rows;
  std::string later_rows;  // empty: the second file fails with a type mismatch
};

class StartRowOptionTest : public CombineWorkbooksTest,
                           public ::testing::WithParamInterface<StartRowCase> {};

TEST_P(StartRowOptionTest, FirstFileFromTheStartRowLaterFilesFromTheRowBelow) {
  const StartRowCase& c = GetParam();
  controls.option1 = !c.typed;
  controls.option2 = c.typed;
  controls.text1 = c.text1;
  controls.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
  const Calls first = kStart + FirstFile("/d/a.xlsx", "1", c.cell_row, c.first_rows, false, true);
  if (c.later_rows.empty()) {
    ExpectFailure(Run(), 13, "类型不匹配：“" + c.text1 + "”不是行号。");
    Calls opened = LaterFile("/d/b.xlsx", "1", "", 0);
    opened.resize(4);  // open, visible, name, sheet: the rows argument is never formed
    EXPECT_THAT(Sequence(), ElementsAreArray(first + opened + Calls{"Private.Release()"}));
    return;
  }
  RunExpectingSuccess();
  EXPECT_THAT(Sequence(),
              ElementsAreArray(first + LaterFile("/d/b.xlsx", "1", c.later_rows, 6) +
                               LaterFile("/d/c.xlsx", "1", c.later_rows, 6) + Ending(3)));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartRowOptionTest,
    ::testing::Values(StartRowCase{"RowOneWhateverText1Holds", false, "abc", "1", "1:1", "2:2"},
                      StartRowCase{"TypedOneIsText", true, "1", "\"1\"", "1:1", "2:2"},
                      StartRowCase{"TypedThree", true, "3", "\"3\"", "3:3", "4:4"},
                      StartRowCase{"TypedWithBlanks", true, " 5 ", "\" 5 \"", " 5 : 5 ", "6:6"},
                      StartRowCase{"TypedFraction", true, "2.5", "\"2.5\"", "2.5:2.5", "3.5:3.5"},
                      StartRowCase{"TypedNotANumber", true, "abc", "\"abc\"", "abc:abc", ""},
                      StartRowCase{"TypedEmpty", true, "", "\"\"", ":", ""}),
    [](const auto& info) { return info.param.name; });

struct SheetCase {
  std::string text3;
  std::string first_sheet;
  std::string later_sheet;
  friend void PrintTo(const SheetCase& c, std::ostream* os) { *os << "Text3 " << c.text3; }
};

class SheetByPositionTest : public CombineWorkbooksTest,
                            public ::testing::WithParamInterface<SheetCase> {};

TEST_P(SheetByPositionTest, FirstFileFloorsLaterFilesRoundToEven) {
  controls.text3 = GetParam().text3;
  controls.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
  RunExpectingSuccess();
  const std::string first = GetParam().first_sheet;
  const std::string later = GetParam().later_sheet;
  EXPECT_THAT(Sequence(),
              ElementsAreArray(kStart + FirstFile("/d/a.xlsx", first, "1", "1:1", false, true) +
                               LaterFile("/d/b.xlsx", later, "2:2", 6) +
                               LaterFile("/d/c.xlsx", later, "2:2", 6) + Ending(3)));
}

INSTANTIATE_TEST_SUITE_P(Positions, SheetByPositionTest,
                         ::testing::Values(SheetCase{"1", "1", "1"}, SheetCase{"2.7", "2", "3"},
                                           SheetCase{"2.5", "2", "2"}, SheetCase{"3.5", "3", "4"},
                                           SheetCase{" 2 ", "2", "2"},
                                           SheetCase{"-0.5", "-1", "0"}));

TEST_F(CombineWorkbooksTest, SheetByNameIsReadAfreshForEveryFileAndThePositionIsNeverRead) {
  controls.option3 = true;
  controls.option4 = false;
  controls.text2 = "数据";
  controls.text3 = "abc";
  controls.Select({"a.xlsx", "b.xlsx"});
  RunExpectingSuccess();
  EXPECT_THAT(Sequence(), ElementsAreArray(
                              kStart + FirstFile("/d/a.xlsx", "\"数据\"", "1", "1:1", false, true) +
                              LaterFile("/d/b.xlsx", "\"数据\"", "2:2", 6) + Ending(2)));
  EXPECT_EQ(std::count(log.calls().begin(), log.calls().end(), "Form.Text2()"), 3);
  EXPECT_EQ(std::count(log.calls().begin(), log.calls().end(), "Form.Text3()"), 0);
}

TEST_F(CombineWorkbooksTest, ReadsEachControlWhenTheRunNeedsIt) {
  controls.option1 = false;
  controls.option2 = true;
  controls.text1 = "2";
  controls.Select({"a.xlsx", "b.xlsx"});
  RunExpectingSuccess();
  Calls reads;
  for (const std::string& call : log.calls()) {
    if (call.starts_with("Form.") || call.starts_with("OpenWorkbook") ||
        call.starts_with("SelectSheet")) {
      reads.push_back(call);
    }
  }
  EXPECT_THAT(reads, ElementsAreArray(Calls{"Form.Option1()",
                                            "Form.Option2()",
                                            "Form.Text1()",
                                            "Form.Option3()",
                                            "Form.Option4()",
                                            "Form.Text3()",
                                            "Form.FileListCount()",
                                            "Form.FileSelected(0)",
                                            "Form.FilePath()",
                                            "Form.FileName(0)",
                                            "OpenWorkbook(/d/a.xlsx)",
                                            "Form.Option3()",
                                            "Form.Text3()",
                                            "SelectSheet(1)",
                                            "Form.FileSelected(1)",
                                            "Form.FilePath()",
                                            "Form.FileName(1)",
                                            "OpenWorkbook(/d/b.xlsx)",
                                            "Form.Option3()",
                                            "Form.Text3()",
                                            "SelectSheet(1)",
                                            "Form.ShowSummary(已完成，共合并文件2个文件！)"}));
}

struct PreCheckCase {
  std::string text3;
  int number;
  std::string description;
  friend void PrintTo(const PreCheckCase& c, std::ostream* os) { *os << "Text3 " << c.text3; }
};

class PreCheckTest : public CombineWorkbooksTest,
                     public ::testing::WithParamInterface<PreCheckCase> {};

TEST_P(PreCheckTest, BadPositionFailsBeforeAnyFileIsOpened) {
  for (int selected : {0, 2}) {
    SCOPED_TRACE(std::to_string(selected) + " selected");
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    run_controls.option3 = false;
    run_controls.option4 = true;
    run_controls.text3 = GetParam().text3;
    if (selected) run_controls.Select({"a.xlsx", "b.xlsx"});
    try {
      CombineWorkbooks(run_controls, run_app);
      ADD_FAILURE() << "the run succeeded";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), GetParam().number);
      EXPECT_EQ(error.description(), GetParam().description);
    }
    // Screen updating stays off: nothing after the failure runs.
    EXPECT_THAT(run_log.Sequence(), ElementsAreArray(kStart));
    EXPECT_TRUE(run_controls.summaries.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PreCheckTest,
    ::testing::Values(
        PreCheckCase{"abc", 13, "类型不匹配：“abc”不是工作表(sheet)序号。"},
        PreCheckCase{"", 13, "类型不匹配：“”不是工作表(sheet)序号。"},
        PreCheckCase{"1,5", 13, "类型不匹配：“1,5”不是工作表(sheet)序号。"},
        PreCheckCase{"40000", 6, "溢出：工作表(sheet)序号“40000”超出 -32768 到 32767 的范围。"},
        PreCheckCase{"32767.5", 6, "溢出：工作表(sheet)序号“32767.5”超出 -32768 到 32767 的范围。"},
        PreCheckCase{"-32769", 6, "溢出：工作表(sheet)序号“-32769”超出 -32768 到 32767 的范围。"}));

TEST_F(CombineWorkbooksTest, PositionThatRoundsIntoRangeButFloorsOutOfItFailsAtTheFirstFile) {
  controls.text3 = "-32768.5";
  controls.Select({"a.xlsx"});
  ExpectFailure(Run(), 6, "溢出：工作表(sheet)序号“-32768.5”超出 -32768 到 32767 的范围。");
  EXPECT_THAT(Sequence(),
              ElementsAreArray(kStart + Calls{"OpenWorkbook(/d/a.xlsx)", "CreatePrivateInstance()",
                                              "Private.SetVisible(true)", "ActiveWorkbookName()",
                                              "Private.Release()"}));
}

TEST_F(CombineWorkbooksTest, PlaceholderOnlyForAnEmptyFirstHeaderCell) {
  const struct {
    std::string name;
    CellValue value;
    bool placeholder;
  } cases[] = {
      {"empty cell", std::monostate{}, true},
      {"empty text", std::string(), true},
      {"blank text", std::string(" "), false},
      {"text", std::string("姓名"), false},
      {"zero", 0.0, false},
      {"false", false, false},
      {"error value", automation::CellErrorValue{"#N/A"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    run_controls.option1 = false;
    run_controls.option2 = true;
    run_controls.text1 = "3";
    run_controls.option3 = false;
    run_controls.option4 = true;
    run_controls.Select({"a.xlsx", "b.xlsx"});
    // The later file's header cell is empty too; it is never looked at.
    run_app.ScriptCellValues({c.value, std::monostate{}});
    run_app.default_cell_value = std::monostate{};
    CombineWorkbooks(run_controls, run_app);
    EXPECT_THAT(
        run_log.Sequence(),
        ElementsAreArray(kStart + FirstFile("/d/a.xlsx", "1", "\"3\"", "3:3", c.placeholder, true) +
                         LaterFile("/d/b.xlsx", "1", "4:4", 6) + Ending(2)));
  }
}

TEST_F(CombineWorkbooksTest, SourcePathJoinsFolderAndNameAsTheyAre) {
  const struct {
    std::string folder;
    std::string name;
    std::string path;
  } cases[] = {
      {"/d", "a.xlsx", "/d/a.xlsx"},
      {"/", "a.xlsx", "//a.xlsx"},
      {"/数据/2024", "销售 一月.xlsx", "/数据/2024/销售 一月.xlsx"},
      {"/d/", "a.xlsx", "/d//a.xlsx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    run_controls.path = c.folder;
    run_controls.Select({c.name});
    run_controls.option3 = false;
    run_controls.option4 = true;
    CombineWorkbooks(run_controls, run_app);
    EXPECT_EQ(run_log.Sequence().at(1), "OpenWorkbook(" + c.path + ")");
  }
}

TEST_F(CombineWorkbooksTest, AsksTheHostForTheApplicationBeforeEveryUse) {
  controls.Select({"a.xlsx", "b.xlsx"});
  RunExpectingSuccess();
  const Calls& calls = log.calls();
  int uses = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const std::string& call = calls[i];
    if (call == "GlobalContext()" || call.starts_with("Form.") || call.starts_with("Private.") ||
        call == "CreatePrivateInstance()") {
      continue;
    }
    ++uses;
    ASSERT_GT(i, 0u);
    EXPECT_EQ(calls[i - 1], "GlobalContext()") << "before " << call;
  }
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "GlobalContext()"), uses);
}

TEST_F(CombineWorkbooksTest, ApplicationThatCannotStartFailsTheRunAtOnce) {
  controls.Select({"a.xlsx"});
  log.FailAtFirst("GlobalContext", Error(429, "无法启动电子表格程序"));
  ExpectFailure(Run(), 429, "无法启动电子表格程序");
  EXPECT_THAT(log.calls(), ElementsAreArray(Calls{"GlobalContext()"}));
}

// Fails the run at every single call of a three-file run in turn, and checks that the run
// stopped right there: no later call, nothing undone, no summary, the private instance released.
TEST_F(CombineWorkbooksTest, FailureAtAnyCallStopsTheRunThere) {
  auto setup = [](FakeMergeControls& c, RecordingApplication& a) {
    c.option3 = false;
    c.option4 = true;
    c.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
    a.ScriptCellValues({std::monostate{}});  // so that the placeholder is written too
  };
  setup(controls, app);
  RunExpectingSuccess();
  const Calls complete = log.calls();
  ASSERT_EQ(complete.back(), "Private.Release()");
  for (std::size_t n = 1; n < complete.size(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n) + ": " + complete[n - 1]);
    CallLog run_log;
    RecordingApplication run_app(&run_log);
    FakeMergeControls run_controls(&run_log);
    setup(run_controls, run_app);
    run_log.FailAtCall(n, Error(1004, "应用程序定义或对象定义错误"));
    try {
      CombineWorkbooks(run_controls, run_app);
      ADD_FAILURE() << "the run succeeded";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 1004);
      EXPECT_EQ(error.description(), "应用程序定义或对象定义错误");
    }
    Calls expected(complete.begin(), complete.begin() + n);
    const bool created = std::find(expected.begin(), expected.end() - 1,
                                   "CreatePrivateInstance()") != expected.end() - 1;
    if (created) expected.push_back("Private.Release()");
    EXPECT_THAT(run_log.calls(), ElementsAreArray(expected));
    EXPECT_TRUE(run_controls.summaries.empty());
  }
}

TEST_F(CombineWorkbooksTest, SheetMissingInALaterFileKeepsWhatWasMergedAndTheFileOpen) {
  controls.option3 = true;
  controls.option4 = false;
  controls.text2 = "数据";
  controls.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
  const Error missing(9, "文件“b.xlsx”中没有名为“数据”的工作表");
  log.FailAt("SelectSheet", 2, missing);
  std::optional<Error> error = Run();
  ASSERT_TRUE(error);
  EXPECT_EQ(FormatError(*error), FormatError(missing));
  Calls opened = LaterFile("/d/b.xlsx", "\"数据\"", "", 0);
  opened.resize(4);  // open, visible, name, the failing sheet selection
  EXPECT_THAT(Sequence(), ElementsAreArray(
                              kStart + FirstFile("/d/a.xlsx", "\"数据\"", "1", "1:1", false, true) +
                              opened + Calls{"Private.Release()"}));
}

TEST_F(CombineWorkbooksTest, OpenFailingAtTheSecondFileLeavesTheFirstBlockMerged) {
  controls.Select({"a.xlsx", "b.xlsx"});
  log.FailAt("OpenWorkbook", 2, Error(1004, "无法打开文件“/d/b.xlsx”：文件不存在"));
  ExpectFailure(Run(), 1004, "无法打开文件“/d/b.xlsx”：文件不存在");
  EXPECT_THAT(Sequence(),
              ElementsAreArray(kStart + FirstFile("/d/a.xlsx", "1", "1", "1:1", false, true) +
                               Calls{"OpenWorkbook(/d/b.xlsx)", "Private.Release()"}));
}

TEST_F(CombineWorkbooksTest, MergedFileCounterIs16Bit) {
  // 32766 files fit; the 32767th file's increment of the counter overflows after it was merged.
  for (int files : {32766, 32767}) {
    SCOPED_TRACE(std::to_string(files) + " files");
    RecordingApplication run_app;
    FakeMergeControls run_controls;
    run_controls.entries.assign(files, {"a.xlsx", true});
    try {
      CombineWorkbooks(run_controls, run_app);
      EXPECT_EQ(files, 32766);
      EXPECT_THAT(run_controls.summaries, ElementsAreArray({"已完成，共合并文件32766个文件！"}));
    } catch (const Error& error) {
      EXPECT_EQ(files, 32767);
      EXPECT_EQ(error.number(), 6);
      EXPECT_EQ(run_app.log().calls().back(), "Private.Release()");
      EXPECT_EQ(*(run_app.log().calls().end() - 2), "CloseActiveWindow()");
    }
  }
}

}  // namespace
}  // namespace tavrio::merge
