// What a new user met in the sheet windows: a source left open by a failed merge, an incomplete
// merged workbook, saving over files, colours of number formats and Ctrl+End.

#include <QAction>
#include <QFile>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/sheets/message_lines.h"
#include "app/sheets/sheet_model.h"
#include "sheet_window_fixture.h"

namespace tavrio::app::sheets::testing {
namespace {

std::string PathIn(const QTemporaryDir& folder, const char* name) {
  return (std::filesystem::path(folder.path().toStdString()) / name).string();
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(SheetWindowTest, ASourceLeftOpenSaysItIsReadOnlyAndOffersOnlySaveAs) {
  Merge();
  engine_->OpenWorkbook("/data/两页.xlsx");  // as a merge that failed on it leaves it
  SheetWindow* source = WindowOf("两页.xlsx");
  ASSERT_NE(source, nullptr);
  source->Refresh();
  EXPECT_EQ(source->windowTitle(), QStringLiteral("两页.xlsx（源文件，只读打开） - Tavrio"));
  EXPECT_FALSE(source->save_action()->isVisible());
  EXPECT_TRUE(source->save_as_action()->isVisible());
  // Ctrl+S where it still reaches the window asks for a new path instead of failing.
  EXPECT_FALSE(source->Save());
  EXPECT_EQ(dialogs_.suggested_paths.size(), 1u);
  EXPECT_TRUE(dialogs_.errors.empty());

  SheetWindow* merged = WindowOf("工作簿1");
  EXPECT_TRUE(merged->save_action()->isVisible());
  EXPECT_EQ(merged->windowTitle(), QStringLiteral("工作簿1 - Tavrio"));
}

TEST_F(SheetWindowTest, SavingOntoASourceIsRefusedBeforeAnyQuestionAboutReplacing) {
  Merge();
  dialogs_.save_paths = {"/data/源.xlsx"};
  EXPECT_FALSE(WindowOf("工作簿1")->SaveAs());
  EXPECT_TRUE(dialogs_.asked_to_replace.empty());
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_EQ(dialogs_.errors[0].description(),
            "无法保存到文件“/data/源.xlsx”：这是打开过的源文件，源文件从不改写。");
}

TEST_F(SheetWindowTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
  Merge();
  QTemporaryDir folder;
  const std::string path = PathIn(folder, "已有.xlsx");
  std::ofstream(path) << "keep me";
  for (bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replace" : "keep");
    dialogs_.replace = replace;
    dialogs_.save_paths = {path};
    const bool saved = WindowOf(replace ? "工作簿1" : "工作簿1")->SaveAs();
    EXPECT_EQ(saved, replace);
    EXPECT_EQ(dialogs_.asked_to_replace.back(), path);
    EXPECT_EQ(Contents(path) == "keep me", !replace);
  }
  EXPECT_NE(WindowOf("已有.xlsx"), nullptr);
}

TEST_F(SheetWindowTest, AnIncompleteWorkbookSaysSoAndItsFirstSaveAsksOnce) {
  Merge();
  manager_->MarkIncomplete("工作簿1", "合并在第 3 个文件“c.xlsx”处停止");
  SheetWindow* window = WindowOf("工作簿1");
  EXPECT_EQ(window->windowTitle(),
            QStringLiteral("工作簿1（未完成：合并在第 3 个文件“c.xlsx”处停止） - Tavrio"));
  EXPECT_EQ(window->StatusText(),
            QStringLiteral("共 3 行　未完成：合并在第 3 个文件“c.xlsx”处停止"));

  QTemporaryDir folder;
  const std::string first = PathIn(folder, "一.xlsx");
  dialogs_.save_incomplete = false;
  dialogs_.save_paths = {first};
  EXPECT_FALSE(window->SaveAs());
  EXPECT_FALSE(std::filesystem::exists(first));

  dialogs_.save_incomplete = true;
  dialogs_.save_paths = {first, PathIn(folder, "二.xlsx")};
  EXPECT_TRUE(window->SaveAs());
  window = WindowOf("一.xlsx");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->SaveAs());
  EXPECT_EQ(dialogs_.asked_incomplete,
            (std::vector<std::string>{"工作簿1：合并在第 3 个文件“c.xlsx”处停止",
                                      "工作簿1：合并在第 3 个文件“c.xlsx”处停止"}));
  // Still incomplete after saving: the file holds what the window shows.
  EXPECT_TRUE(WindowOf("二.xlsx")->windowTitle().contains(QStringLiteral("未完成")));
}

TEST_F(SheetWindowTest, CtrlEndGoesToTheLastUsedCell) {
  Merge();
  SheetWindow* window = WindowOf("工作簿1");
  window->view()->setFocus();
  QTest::keyClick(window->view(), Qt::Key_End, Qt::ControlModifier);
  const QModelIndex current = window->view()->currentIndex();
  EXPECT_EQ(current.row(), 2);
  EXPECT_EQ(current.column(), 3);
}

TEST_F(SheetWindowTest, SwitchingTabsReadsTheSheetWithoutChangingTheActiveWindow) {
  Merge();
  engine_->OpenWorkbook("/data/两页.xlsx");
  engine_->ActivateWindow("工作簿1");
  SheetWindow* window = WindowOf("两页.xlsx");
  window->tabs()->setCurrentIndex(1);
  EXPECT_EQ(engine_->ActiveWorkbookName(), "工作簿1");
  EXPECT_EQ(engine_->FindWorkbook("两页.xlsx")->active_sheet(), 1u);
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 5 行"));
}

const FakeFiles& ColouredFiles() {
  static const FakeFiles files = {
      {"/data/颜色.xlsx",
       {{"Sheet1",
         {{1, 1, 5.0, "[Red]0.00;[蓝色]-0.00;[Color10]0"},
          {2, 1, -5.0, "[Red]0.00;[蓝色]-0.00;[Color10]0"},
          {3, 1, 0.0, "[Red]0.00;[蓝色]-0.00;[Color10]0"},
          {4, 1, 5.0, "0.00;[红色]-0.00"},
          {5, 1, std::string("文字"), "0;0;0;[Magenta]@"},
          {6, 1, 5.0, "[Color57]0"}}}}},
  };
  return files;
}

TEST(SheetModelColour, ANumberFormatsColourColoursTheValue) {
  const auto engine = EngineOver(ColouredFiles());
  engine->OpenWorkbook("/data/颜色.xlsx");
  engine->ActiveSheetLastUsedRow();
  SheetModel model;
  model.Show(engine->FindWorkbook("颜色.xlsx"), 0);
  const struct {
    int row;
    QVariant color;
  } cases[] = {{1, QColor(0xFF0000)}, {2, QColor(0x0000FF)}, {3, QColor(0x008000)},
               {4, QVariant()},       {5, QColor(0xFF00FF)}, {6, QVariant()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(model.data(model.index(c.row - 1, 0), Qt::ForegroundRole), c.color);
  }
}

TEST(MessageLines, BreaksOnlyBetweenPhrases) {
  const struct {
    const char* text;
    int width;
    const char* expected;
  } cases[] = {
      {"下标越界：文件“/d/a.xlsx”中没有第 3 个工作表（共 2 个）。", 30,
       "下标越界：\n文件“/d/a.xlsx”中没有第 3 个工作表（共 2 个）。"},
      {"下标越界：没有第 3 个工作表（共 2 个），请检查。", 20,
       "下标越界：\n没有第 3 个工作表（共 2 个），\n请检查。"},
      {"短句，不换行。", 64, "短句，不换行。"},
      {"第一行\n第二行：很长很长很长很长的说明，再说一句。", 20,
       "第一行\n第二行：\n很长很长很长很长的说明，\n再说一句。"},
      {"“甲，乙，丙，丁，戊，己，庚”不拆开。", 10, "“甲，乙，丙，丁，戊，己，庚”不拆开。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(BreakBetweenPhrases(c.text, c.width), c.expected);
  }
}

}  // namespace
}  // namespace tavrio::app::sheets::testing
