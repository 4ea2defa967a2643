// Workbooks, windows and sheets: opening, naming, activating, closing.

#include <gtest/gtest.h>

#include "automation/engine/engine.h"
#include "automation/engine_host.h"
#include "automation/writers/save_workbook.h"
#include "error_of.h"
#include "fake_files.h"

namespace tavrio::automation {
namespace {

using testing::ErrorOf;
using testing::FakeFiles;
using testing::FakeSheet;
using testing::FakeWorkbook;
using testing::GridSheet;

class EngineWorkbooksTest : public ::testing::Test {
 protected:
  EngineWorkbooksTest() {
    files_.Add("/data/销售_一月.xlsx", {{GridSheet("Sheet1", 3, 2), GridSheet("明细", 2, 2)}});
    files_.Add("/data/b.xlsx", {{GridSheet("Data", 2, 2)}});
    files_.Add("/other/b.xlsx", {{GridSheet("Data", 2, 2)}});
    FakeWorkbook hidden_first;
    hidden_first.sheets = {GridSheet("Hidden", 1, 1), GridSheet("Shown", 1, 1)};
    hidden_first.sheets[0].hidden = true;
    files_.Add("/data/hidden.xlsx", hidden_first);
  }

  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

TEST_F(EngineWorkbooksTest, OpenedWorkbookIsActiveAndNamedAfterItsFile) {
  engine_.OpenWorkbook("/data/销售_一月.xlsx");
  EXPECT_EQ(engine_.ActiveWorkbookName(), "销售_一月.xlsx");
  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"销售_一月.xlsx"});
}

TEST_F(EngineWorkbooksTest, OpeningAnOpenFileActivatesItWithoutReadingItAgain) {
  engine_.OpenWorkbook("/data/销售_一月.xlsx");
  engine_.OpenWorkbook("/data/b.xlsx");
  engine_.OpenWorkbook("/data//./销售_一月.xlsx");
  EXPECT_EQ(engine_.ActiveWorkbookName(), "销售_一月.xlsx");
  EXPECT_EQ(files_.Opens("/data/销售_一月.xlsx"), 1);
  EXPECT_EQ(engine_.WorkbookNames(), (std::vector<std::string>{"销售_一月.xlsx", "b.xlsx"}));
}

TEST_F(EngineWorkbooksTest, TwoFilesOfOneNameCannotBeOpenAtOnce) {
  engine_.OpenWorkbook("/data/b.xlsx");
  const Error error = ErrorOf([&] { engine_.OpenWorkbook("/other/b.xlsx"); });
  EXPECT_EQ(error.number(), 1004);
  EXPECT_EQ(error.description(),
            "无法打开文件“/other/b.xlsx”：已经打开了同名的工作簿“b.xlsx”（文件“/data/b.xlsx”），"
            "不能同时打开两个同名的工作簿。");
  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"b.xlsx"});
}

TEST_F(EngineWorkbooksTest, ReaderFailureOpensNothing) {
  const Error error = ErrorOf([&] { engine_.OpenWorkbook("/data/missing.xlsx"); });
  EXPECT_EQ(error.description(), "无法打开文件“/data/missing.xlsx”：文件不存在。");
  EXPECT_TRUE(engine_.WorkbookNames().empty());
  EXPECT_EQ(ErrorOf([&] { engine_.ActiveWorkbookName(); }).number(), 91);
}

TEST_F(EngineWorkbooksTest, NewWorkbooksAreNumberedPerEngine) {
  engine_.AddWorkbook();
  engine_.AddWorkbook();
  EXPECT_EQ(engine_.ActiveWorkbookName(), "工作簿2");
  engine_.CloseActiveWindow();
  engine_.AddWorkbook();
  EXPECT_EQ(engine_.WorkbookNames(), (std::vector<std::string>{"工作簿1", "工作簿3"}));
  Engine other(files_.Factory(), &writers::SaveWorkbook);
  other.AddWorkbook();
  EXPECT_EQ(other.ActiveWorkbookName(), "工作簿1");
}

TEST_F(EngineWorkbooksTest, NewWorkbookHasOneEmptySheetWithA1Active) {
  engine_.AddWorkbook();
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 0);
  engine_.SelectSheet(std::string("sheet1"));
  EXPECT_EQ(ErrorOf([&] { engine_.SelectSheet(std::int16_t{2}); }).description(),
            "下标越界：工作簿“工作簿1”中没有第 2 个工作表（共 1 个）。");
  EXPECT_FALSE(engine_.HasUnsavedChanges("工作簿1"));
}

TEST_F(EngineWorkbooksTest, WindowsAreFoundByNameIgnoringCase) {
  engine_.OpenWorkbook("/data/b.xlsx");
  engine_.AddWorkbook();
  engine_.ActivateWindow("B.XLSX");
  EXPECT_EQ(engine_.ActiveWorkbookName(), "b.xlsx");
  const Error error = ErrorOf([&] { engine_.ActivateWindow("c.xlsx"); });
  EXPECT_EQ(error.number(), 9);
  EXPECT_EQ(error.description(), "下标越界：没有名为“c.xlsx”的窗口。");
  EXPECT_EQ(engine_.ActiveWorkbookName(), "b.xlsx");
}

TEST_F(EngineWorkbooksTest, ClosingActivatesTheMostRecentlyActiveOtherWindow) {
  engine_.OpenWorkbook("/data/销售_一月.xlsx");
  engine_.AddWorkbook();
  engine_.OpenWorkbook("/data/b.xlsx");
  engine_.ActivateWindow("销售_一月.xlsx");
  engine_.ActivateWindow("b.xlsx");
  engine_.CloseActiveWindow();
  EXPECT_EQ(engine_.ActiveWorkbookName(), "销售_一月.xlsx");
  engine_.CloseActiveWindow();
  EXPECT_EQ(engine_.ActiveWorkbookName(), "工作簿1");
  engine_.CloseActiveWindow();
  const Error error = ErrorOf([&] { engine_.CloseActiveWindow(); });
  EXPECT_EQ(error.number(), 91);
  EXPECT_EQ(error.description(), "对象变量或 With 块变量未设置：没有打开的工作簿。");
}

TEST_F(EngineWorkbooksTest, ClosingDiscardsChangesAndReopeningReadsTheFileAgain) {
  engine_.OpenWorkbook("/data/b.xlsx");
  engine_.SetCellText(std::int16_t{1}, 1, "changed");
  EXPECT_TRUE(engine_.HasUnsavedChanges("b.xlsx"));
  engine_.CloseActiveWindow();
  engine_.OpenWorkbook("/data/b.xlsx");
  EXPECT_EQ(engine_.GetCellValue(std::int16_t{1}, 1), CellValue(std::string("r1c1")));
  EXPECT_FALSE(engine_.HasUnsavedChanges("b.xlsx"));
}

struct SheetCase {
  const char* label;
  SheetSelector selector;
  const char* expected_first_cell;  // A1 of the chosen sheet; nullptr: no such sheet
  const char* error;
};

class SelectSheetTest : public EngineWorkbooksTest,
                        public ::testing::WithParamInterface<SheetCase> {};

TEST_P(SelectSheetTest, ChoosesByNameIgnoringCaseOrByPositionCountingHiddenSheets) {
  files_.Add("/data/sheets.xlsx", {{FakeSheet{"Sheet1", {{1, 1, std::string("first")}}},
                                    FakeSheet{"Ärger", {{1, 1, std::string("second")}}, true},
                                    FakeSheet{"明细", {{1, 1, std::string("third")}}}}});
  engine_.OpenWorkbook("/data/sheets.xlsx");
  const SheetCase& param = GetParam();
  if (param.expected_first_cell != nullptr) {
    engine_.SelectSheet(param.selector);
    EXPECT_EQ(engine_.GetCellValue(std::int16_t{1}, 1),
              CellValue(std::string(param.expected_first_cell)));
  } else {
    const Error error = ErrorOf([&] { engine_.SelectSheet(param.selector); });
    EXPECT_EQ(error.number(), 9);
    EXPECT_EQ(error.description(), param.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, SelectSheetTest,
    ::testing::Values(
        SheetCase{"name", std::string("Sheet1"), "first", nullptr},
        SheetCase{"name_other_case", std::string("SHEET1"), "first", nullptr},
        SheetCase{"non_ascii_case", std::string("äRGER"), "second", nullptr},
        SheetCase{"chinese", std::string("明细"), "third", nullptr},
        SheetCase{"hidden_counts", std::int16_t{2}, "second", nullptr},
        SheetCase{"last", std::int16_t{3}, "third", nullptr},
        SheetCase{"missing_name", std::string("Sheet2"), nullptr,
                  "下标越界：文件“/data/sheets.xlsx”中没有名为“Sheet2”的工作表。"},
        SheetCase{"name_with_blank", std::string("Sheet1 "), nullptr,
                  "下标越界：文件“/data/sheets.xlsx”中没有名为“Sheet1 ”的工作表。"},
        SheetCase{"zero", std::int16_t{0}, nullptr,
                  "下标越界：文件“/data/sheets.xlsx”中没有第 0 个工作表（共 3 个）。"},
        SheetCase{"negative", std::int16_t{-1}, nullptr,
                  "下标越界：文件“/data/sheets.xlsx”中没有第 -1 个工作表（共 3 个）。"},
        SheetCase{"past_end", std::int16_t{4}, nullptr,
                  "下标越界：文件“/data/sheets.xlsx”中没有第 4 个工作表（共 3 个）。"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(EngineWorkbooksTest, OpenedWorkbookStartsOnItsFirstVisibleSheet) {
  engine_.OpenWorkbook("/data/hidden.xlsx");
  EXPECT_EQ(engine_.GetCellValue(std::int16_t{1}, 1), CellValue(std::string("r1c1")));
  EXPECT_EQ(files_.Reads("/data/hidden.xlsx", 0), 0);
  EXPECT_EQ(files_.Reads("/data/hidden.xlsx", 1), 1);
}

TEST_F(EngineWorkbooksTest, FlagsFollowTheirSetters) {
  EXPECT_TRUE(engine_.ScreenUpdating());
  EXPECT_FALSE(engine_.Visible());
  engine_.SetScreenUpdating(false);
  engine_.SetVisible(true);
  EXPECT_FALSE(engine_.ScreenUpdating());
  EXPECT_TRUE(engine_.Visible());
}

TEST(EngineHostTest, CreatesOneEngineOnFirstUseAndInstancesShowIt) {
  EngineHost host;
  EXPECT_FALSE(host.HasEngine());
  SpreadsheetApplication& context = host.GlobalContext();
  EXPECT_TRUE(host.HasEngine());
  EXPECT_EQ(&context, &host.GlobalContext());
  EXPECT_EQ(&context, static_cast<SpreadsheetApplication*>(&host.engine()));
  auto instance = host.CreatePrivateInstance();
  instance->SetVisible(true);
  EXPECT_TRUE(host.engine().Visible());
}

}  // namespace
}  // namespace tavrio::automation
