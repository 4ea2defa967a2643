// The calls the sheet windows use: reading a sheet without moving the active window, checking a
// save's target before anything is asked or written, and a save in three steps.

#include <gtest/gtest.h>

#include <filesystem>

#include "automation/engine/engine.h"
#include "error_of.h"
#include "fake_files.h"
#include "automation/writers/save_workbook.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation {
namespace {

using testing::ErrorOf;
using testing::FakeFiles;
using testing::GridSheet;

// Notes the saves it is told of.
class SaveNotes : public EngineObserver {
 public:
  void WorkbookSaved(const engine::Workbook& workbook) override {
    saved.push_back(workbook.name());
  }
  std::vector<std::string> saved;
};

class EngineWindowCallsTest : public ::testing::Test {
 protected:
  EngineWindowCallsTest() {
    files_.Add("/data/两页.xlsx", {{GridSheet("一", 2, 2), GridSheet("二", 5, 3)}});
    files_.Add("/data/b.xlsx", {{GridSheet("Data", 2, 2)}});
    engine_.OpenWorkbook("/data/两页.xlsx");
    engine_.OpenWorkbook("/data/b.xlsx");
  }

  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

TEST_F(EngineWindowCallsTest, LoadSheetReadsItOnceAndLeavesTheActiveWindowAndSheet) {
  const engine::Sheet& sheet = engine_.LoadSheet("两页.xlsx", 1);
  EXPECT_TRUE(sheet.loaded());
  EXPECT_EQ(sheet.LastUsedRow(), 5u);
  engine_.LoadSheet("两页.xlsx", 1);
  EXPECT_EQ(files_.Reads("/data/两页.xlsx", 1), 1);
  EXPECT_EQ(files_.Reads("/data/两页.xlsx", 0), 0);
  EXPECT_EQ(engine_.ActiveWorkbookName(), "b.xlsx");
  EXPECT_EQ(engine_.FindWorkbook("两页.xlsx")->active_sheet(), 0u);
}

TEST_F(EngineWindowCallsTest, SetActiveSheetChangesOnlyThatWorkbooksSheet) {
  engine_.SetActiveSheet("两页.xlsx", 1);
  EXPECT_EQ(engine_.FindWorkbook("两页.xlsx")->active_sheet(), 1u);
  EXPECT_EQ(engine_.ActiveWorkbookName(), "b.xlsx");
}

TEST_F(EngineWindowCallsTest, LoadSheetRefusesWhatIsNotThere) {
  EXPECT_EQ(ErrorOf([&] { engine_.LoadSheet("无.xlsx", 0); }).number(), 9);
  const Error past = ErrorOf([&] { engine_.LoadSheet("两页.xlsx", 2); });
  EXPECT_EQ(past.number(), 9);
  EXPECT_EQ(past.description(), "下标越界：文件“/data/两页.xlsx”中没有第 3 个工作表（共 2 个）。");
}

TEST_F(EngineWindowCallsTest, OpenedFilesAreSourcesUntilSavedElsewhere) {
  engine_.AddWorkbook();
  EXPECT_TRUE(engine_.IsOpenedSource("两页.xlsx"));
  EXPECT_FALSE(engine_.IsOpenedSource("工作簿1"));
  EXPECT_FALSE(engine_.IsOpenedSource("无.xlsx"));

  tavrio::testing::TempFolder folder;
  const std::string copy = folder.File("副本.xlsx");
  engine_.SaveWorkbookAs("两页.xlsx", copy);
  EXPECT_FALSE(engine_.IsOpenedSource("副本.xlsx"));
}

TEST_F(EngineWindowCallsTest, CheckSaveTargetRefusesAsTheSaveWouldWithoutWriting) {
  engine_.AddWorkbook();
  const struct {
    const char* path;
    const char* refusal;
  } cases[] = {
      {"/data/b.xlsx", "无法保存到文件“/data/b.xlsx”：这是打开过的源文件，源文件从不改写。"},
      {"/elsewhere/两页.xlsx",
       "无法保存到文件“/elsewhere/两页.xlsx”：已经打开了同名的工作簿“两页.xlsx”。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const Error error = ErrorOf([&] { engine_.CheckSaveTarget("工作簿1", c.path); });
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(), c.refusal);
    EXPECT_EQ(ErrorOf([&] { engine_.SaveWorkbookAs("工作簿1", c.path); }).description(), c.refusal);
  }
  EXPECT_NO_THROW(engine_.CheckSaveTarget("工作簿1", "/elsewhere/新.xlsx"));
  EXPECT_FALSE(std::filesystem::exists("/elsewhere/新.xlsx"));
}

TEST_F(EngineWindowCallsTest, ASaveInStepsRenamesOnlyWhenFinished) {
  SaveNotes notes;
  engine_.SetObserver(&notes);
  tavrio::testing::TempFolder folder;
  const std::string path = folder.File("存.xlsx");

  const engine::Workbook& workbook = engine_.PrepareSave("两页.xlsx", path);
  EXPECT_TRUE(workbook.SheetAt(0).loaded());
  EXPECT_TRUE(workbook.SheetAt(1).loaded());
  engine_.WriteWorkbook(workbook, path);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(workbook.name(), "两页.xlsx");
  EXPECT_TRUE(notes.saved.empty());

  engine_.FinishSave("两页.xlsx", path);
  EXPECT_EQ(workbook.name(), "存.xlsx");
  EXPECT_EQ(notes.saved, std::vector<std::string>{"存.xlsx"});
  EXPECT_FALSE(engine_.HasUnsavedChanges("存.xlsx"));
  engine_.SetObserver(nullptr);
}

}  // namespace
}  // namespace tavrio::automation
