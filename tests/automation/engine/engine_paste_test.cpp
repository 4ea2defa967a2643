// Selecting, copying and pasting blocks of rows, as a merge does.

#include <gtest/gtest.h>

#include "automation/engine/engine.h"
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

class EnginePasteTest : public ::testing::Test {
 protected:
  EnginePasteTest() {
    files_.Add("/in/a.xlsx", {{GridSheet("Sheet1", 4, 3)}});
    files_.Add("/in/b.xlsx", {{GridSheet("Sheet1", 3, 3)}});
  }

  // Copies rows `rows` down to the last used row of the active sheet.
  void CopyBlock(const std::string& rows) {
    engine_.SelectRows(rows);
    engine_.ExtendSelectionToLastUsedRow();
    engine_.CopySelection();
  }
  CellValue Value(std::int32_t row, int column) {
    return engine_.GetCellValue(std::to_string(row), column);
  }
  static CellValue Text(const std::string& text) { return CellValue(text); }

  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

TEST_F(EnginePasteTest, MergeSequenceStacksBlocksUnderEachOther) {
  engine_.OpenWorkbook("/in/a.xlsx");
  CopyBlock("1:1");
  engine_.AddWorkbook();
  engine_.PasteIntoActiveSheet();
  const std::string merged = engine_.ActiveWorkbookName();
  engine_.ActivateWindow("a.xlsx");
  engine_.SetCutCopyMode(false);
  engine_.CloseActiveWindow();

  engine_.OpenWorkbook("/in/b.xlsx");
  CopyBlock("2:2");
  engine_.ActivateWindow(merged);
  engine_.SelectCell(engine_.ActiveSheetLastUsedRow() + 1, 1);
  engine_.PasteIntoActiveSheet();
  engine_.ActivateWindow("b.xlsx");
  engine_.SetCutCopyMode(false);
  engine_.CloseActiveWindow();

  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"工作簿1"});
  EXPECT_EQ(engine_.ActiveWorkbookName(), "工作簿1");
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 6);
  EXPECT_EQ(Value(1, 1), Text("r1c1"));
  EXPECT_EQ(Value(4, 2), CellValue(8.0));
  EXPECT_EQ(Value(5, 1), Text("r2c1"));  // b's row 2
  EXPECT_EQ(Value(6, 3), Text("r3c3"));
  EXPECT_EQ(Value(6, 2), CellValue(6.0));
  EXPECT_TRUE(engine_.HasUnsavedChanges("工作簿1"));
}

TEST_F(EnginePasteTest, CopyIsTakenAtPasteTimeAndSurvivesOnlyWhileItsWorkbookIsOpen) {
  engine_.OpenWorkbook("/in/a.xlsx");
  CopyBlock("3:3");
  engine_.AddWorkbook();
  engine_.PasteIntoActiveSheet();
  engine_.SelectCell(10, 1);
  engine_.PasteIntoActiveSheet();  // copy mode stays on after a paste
  EXPECT_EQ(Value(2, 1), Text("r4c1"));
  EXPECT_EQ(Value(11, 1), Text("r4c1"));
  engine_.ActivateWindow("a.xlsx");
  engine_.CloseActiveWindow();
  const Error error = ErrorOf([&] { engine_.PasteIntoActiveSheet(); });
  EXPECT_EQ(error.number(), 1004);
  EXPECT_EQ(error.description(), "无法粘贴：没有复制任何内容。");
}

TEST_F(EnginePasteTest, CopyModeOffOrACellEditForgetsTheBlock) {
  for (const bool edit : {false, true}) {
    SCOPED_TRACE(edit ? "edit" : "copy mode off");
    Engine engine(files_.Factory(), &writers::SaveWorkbook);
    engine.OpenWorkbook("/in/a.xlsx");
    engine.SelectRows("1:2");
    engine.CopySelection();
    if (edit) {
      engine.SetCellText(std::int16_t{1}, 1, "x");
    } else {
      engine.SetCutCopyMode(true);  // switching it on holds nothing new
      engine.SetCutCopyMode(false);
    }
    engine.AddWorkbook();
    EXPECT_EQ(ErrorOf([&] { engine.PasteIntoActiveSheet(); }).description(),
              "无法粘贴：没有复制任何内容。");
    EXPECT_EQ(engine.ActiveSheetLastUsedRow(), 0);
  }
}

TEST_F(EnginePasteTest, PasteWithNothingEverCopiedFails) {
  engine_.AddWorkbook();
  EXPECT_EQ(ErrorOf([&] { engine_.PasteIntoActiveSheet(); }).number(), 1004);
}

TEST_F(EnginePasteTest, BlockStartingBelowTheLastUsedRowIsEmpty) {
  engine_.OpenWorkbook("/in/a.xlsx");
  CopyBlock("9:9");
  engine_.AddWorkbook();
  engine_.SetCellText(std::int16_t{1}, 1, "kept");
  engine_.ActivateWindow("a.xlsx");
  CopyBlock("9:9");
  engine_.ActivateWindow("工作簿1");
  engine_.PasteIntoActiveSheet();
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 1);
  EXPECT_EQ(Value(1, 1), Text("kept"));
}

TEST_F(EnginePasteTest, WholeRowsReplaceTheTargetRowsIncludingTheirBlanks) {
  files_.Add("/in/gaps.xlsx", {{FakeSheet{"Sheet1", {{1, 1, 1.0}, {3, 2, 32.0}}}}});
  engine_.OpenWorkbook("/in/a.xlsx");
  engine_.SelectRows("1:4");
  engine_.CopySelection();
  engine_.AddWorkbook();
  engine_.PasteIntoActiveSheet();
  engine_.OpenWorkbook("/in/gaps.xlsx");
  CopyBlock("1:1");
  engine_.ActivateWindow("工作簿1");
  engine_.SelectCell(2, 1);
  engine_.PasteIntoActiveSheet();
  EXPECT_EQ(Value(1, 1), Text("r1c1"));
  EXPECT_EQ(Value(2, 1), CellValue(1.0));
  EXPECT_EQ(Value(2, 2), CellValue());  // a's r2c2 is replaced by the source's blank
  EXPECT_EQ(Value(3, 1), CellValue());
  EXPECT_EQ(Value(4, 2), CellValue(32.0));
  EXPECT_EQ(Value(5, 1), CellValue());
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 4);
}

TEST_F(EnginePasteTest, PastePastTheLastRowFailsAndPastesNothing) {
  engine_.OpenWorkbook("/in/a.xlsx");
  CopyBlock("1:1");  // four rows
  engine_.AddWorkbook();
  engine_.SelectCell(1048573, 1);
  engine_.PasteIntoActiveSheet();  // rows 1048573..1048576 just fit
  EXPECT_EQ(Value(1048576, 3), Text("r4c3"));
  engine_.SelectCell(1048574, 1);
  const Error error = ErrorOf([&] { engine_.PasteIntoActiveSheet(); });
  EXPECT_EQ(error.number(), 1004);
  EXPECT_EQ(
      error.description(),
      "无法粘贴到工作簿“工作簿1”的工作表“Sheet1”：复制的 4 行从第 1048574 行起粘贴会超出工作表"
      "的最后一行 (1048576)，未粘贴任何内容。");
  EXPECT_EQ(Value(1048574, 1), Text("r2c1"));
}

TEST_F(EnginePasteTest, WholeRowsPasteOnlyAtColumnA) {
  engine_.OpenWorkbook("/in/a.xlsx");
  CopyBlock("1:1");
  engine_.AddWorkbook();
  engine_.SelectCell(1, 2);
  const Error error = ErrorOf([&] { engine_.PasteIntoActiveSheet(); });
  EXPECT_EQ(error.description(),
            "无法粘贴到工作簿“工作簿1”的工作表“Sheet1”：复制的是整行，只能粘贴到 A 列。");
}

TEST_F(EnginePasteTest, SingleCellCopiesToTheActiveCellAndKeepsItsNeighbours) {
  engine_.OpenWorkbook("/in/a.xlsx");
  engine_.SelectCell(2, 3);
  engine_.CopySelection();
  engine_.SelectCell(4, 1);
  engine_.PasteIntoActiveSheet();
  EXPECT_EQ(Value(4, 1), Text("r2c3"));
  EXPECT_EQ(Value(4, 2), CellValue(8.0));
  EXPECT_EQ(Value(4, 3), Text("r4c3"));
  engine_.SelectCell(1, 16384);
  engine_.CopySelection();
  engine_.SelectCell(1, 16384);
  engine_.PasteIntoActiveSheet();
  engine_.SelectCell(1, 1);
  engine_.CopySelection();
  engine_.SelectCell(1, 16384);
  engine_.PasteIntoActiveSheet();
  EXPECT_EQ(Value(1, 16384), Text("r1c1"));
}

TEST_F(EnginePasteTest, OverlappingPasteWithinOneSheetUsesTheRowsAsTheyWere) {
  engine_.OpenWorkbook("/in/a.xlsx");
  engine_.SelectRows("1:3");
  engine_.CopySelection();
  engine_.SelectCell(2, 1);
  engine_.PasteIntoActiveSheet();
  EXPECT_EQ(Value(1, 1), Text("r1c1"));
  EXPECT_EQ(Value(2, 1), Text("r1c1"));
  EXPECT_EQ(Value(3, 1), Text("r2c1"));
  EXPECT_EQ(Value(4, 1), Text("r3c1"));
  // The block's own cells changed, so it is no longer held.
  EXPECT_EQ(ErrorOf([&] { engine_.PasteIntoActiveSheet(); }).number(), 1004);
}

TEST_F(EnginePasteTest, RowsArgumentMustNameRowsOfTheSheet) {
  engine_.OpenWorkbook("/in/a.xlsx");
  for (const char* rows :
       {"", "3.5:3.5", "a:a", "0:0", "1048577:1048577", "1:", ":2", " 3:3", "3:3:3", "-1:2"}) {
    SCOPED_TRACE(rows);
    const Error error = ErrorOf([&] { engine_.SelectRows(rows); });
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(),
              std::string("无法选择行“") + rows + "”：应为“行号:行号”，行号在 1 到 1048576 之间。");
  }
  engine_.SelectRows("3:2");  // either order, as desktop applications accept it
  engine_.CopySelection();
  engine_.AddWorkbook();
  engine_.PasteIntoActiveSheet();
  EXPECT_EQ(Value(1, 1), Text("r2c1"));
  EXPECT_EQ(Value(2, 1), Text("r3c1"));
  EXPECT_EQ(engine_.ActiveSheetLastUsedRow(), 2);
}

TEST_F(EnginePasteTest, SelectCellRefusesPlacesOutsideTheSheet) {
  engine_.AddWorkbook();
  EXPECT_EQ(ErrorOf([&] { engine_.SelectCell(0, 1); }).description(),
            "行号 0 超出工作表的范围（1 到 1048576）。");
  EXPECT_EQ(ErrorOf([&] { engine_.SelectCell(1048577, 1); }).number(), 1004);
  EXPECT_EQ(ErrorOf([&] { engine_.SelectCell(1, 0); }).description(),
            "列号 0 超出工作表的范围（1 到 16384）。");
}

TEST_F(EnginePasteTest, TextsAndStylesOfDifferentWorkbooksMeetInOneWorkbook) {
  FakeWorkbook first{
      {FakeSheet{
          "Sheet1",
          {{1, 1, 45000.0, 1}, {1, 2, std::string("共享")}, {1, 3, CellErrorValue{"#REF!"}, 2}}}},
      {"General", "yyyy-mm-dd", "0.00%"}};
  FakeWorkbook second{
      {FakeSheet{"Sheet1", {{1, 1, 0.25, 1}, {1, 2, std::string("共享")}, {1, 3, 45001.0, 2}}}},
      {"General", "0.00%", "yyyy-mm-dd"}};
  files_.Add("/in/first.xlsx", first);
  files_.Add("/in/second.xlsx", second);
  engine_.OpenWorkbook("/in/first.xlsx");
  CopyBlock("1:1");
  engine_.AddWorkbook();
  engine_.PasteIntoActiveSheet();
  engine_.OpenWorkbook("/in/second.xlsx");
  CopyBlock("1:1");
  engine_.ActivateWindow("工作簿1");
  engine_.SelectCell(2, 1);
  engine_.PasteIntoActiveSheet();
  const engine::Workbook* merged = engine_.FindWorkbook("工作簿1");
  ASSERT_NE(merged, nullptr);
  const engine::Sheet& sheet = merged->SheetAt(0);
  const auto format = [&](std::uint32_t row, std::uint32_t column) {
    return merged->styles().Get(sheet.FindCell(row, column)->style).number_format;
  };
  EXPECT_EQ(format(1, 1), "yyyy-mm-dd");
  EXPECT_EQ(format(1, 3), "0.00%");
  EXPECT_EQ(format(2, 1), "0.00%");
  EXPECT_EQ(format(2, 3), "yyyy-mm-dd");
  EXPECT_EQ(sheet.FindCell(1, 1)->style, sheet.FindCell(2, 3)->style);
  EXPECT_EQ(merged->styles().size(), 3u);
  EXPECT_EQ(Value(1, 3), CellValue(CellErrorValue{"#REF!"}));
  EXPECT_EQ(Value(2, 2), Text("共享"));
}

}  // namespace
}  // namespace tavrio::automation
