#include "app/sheets/sheet_window.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "app/sheets/sheet_model.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"
#include "sheet_window_fixture.h"
#include "tests/support/independent_readers.h"

namespace tavrio::app::sheets::testing {
namespace {

using automation::CellValue;

QString Shown(SheetWindow* window, int row, int column) {
  const SheetModel* model = window->model();
  return model->data(model->index(row - 1, column - 1), Qt::DisplayRole).toString();
}

std::string PathIn(const QTemporaryDir& folder, const char* name) {
  return (std::filesystem::path(folder.path().toStdString()) / name).string();
}

TEST_F(SheetWindowTest, TheMergedWorkbooksWindowShowsItsRows) {
  Merge();
  SheetWindow* window = WindowOf("工作簿1");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("工作簿1 - Tavrio"));
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 3 行"));
  ASSERT_EQ(window->tabs()->count(), 1);
  EXPECT_EQ(window->tabs()->tabText(0), QStringLiteral("Sheet1"));
  EXPECT_EQ(Shown(window, 1, 1), QStringLiteral("姓名"));
  EXPECT_EQ(Shown(window, 2, 2), QStringLiteral("2024-03-31"));
  EXPECT_EQ(Shown(window, 2, 3), QStringLiteral("1,234.50"));
  EXPECT_EQ(Shown(window, 3, 3), QStringLiteral("12.5%"));
  EXPECT_EQ(Shown(window, 3, 4), QStringLiteral("FALSE"));
  EXPECT_EQ(window->view()->model()->headerData(3, Qt::Horizontal).toString(), "D");
}

TEST_F(SheetWindowTest, FormulasStoredWithoutResultsShowWhatTheyCalculate) {
  Merge("/data/公式.xlsx");
  SheetWindow* window = WindowOf("工作簿1");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Shown(window, 2, 3), QStringLiteral("7.5"));
  EXPECT_EQ(Shown(window, 3, 3), QStringLiteral("5"));
  EXPECT_EQ(Shown(window, 4, 3), QStringLiteral("#NAME?"));
  EXPECT_EQ(window->StatusText(),
            QStringLiteral("共 4 行　1 个公式无法计算（显示原有结果或错误值）"));
}

TEST_F(SheetWindowTest, SaveAsWritesAWorkbookThatReadsBackWithTheSameValues) {
  Merge();
  QTemporaryDir folder;
  const std::string path = PathIn(folder, "合并结果.xlsx");
  dialogs_.save_paths = {path};
  WindowOf("工作簿1")->save_as_action()->trigger();

  ASSERT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front().description();
  ASSERT_EQ(dialogs_.suggested_paths.size(), 1u);
  EXPECT_EQ(std::filesystem::path(dialogs_.suggested_paths[0]).filename().string(), "工作簿1.xlsx");
  SheetWindow* window = WindowOf("合并结果.xlsx");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("合并结果.xlsx - Tavrio"));
  EXPECT_FALSE(engine_->HasUnsavedChanges("合并结果.xlsx"));

  automation::Engine reader(&automation::readers::OpenWorkbookFile,
                            &automation::writers::SaveWorkbook);
  reader.OpenWorkbook(path);
  const std::tuple<std::int16_t, int, CellValue> cells[] = {{1, 1, std::string("姓名")},
                                                            {2, 1, std::string("张三")},
                                                            {2, 2, 45382.0},
                                                            {2, 3, 1234.5},
                                                            {2, 4, true},
                                                            {3, 3, 0.125},
                                                            {3, 4, false}};
  for (const auto& [row, column, value] : cells) {
    SCOPED_TRACE(std::to_string(row) + "," + std::to_string(column));
    EXPECT_EQ(reader.GetCellValue(row, column), value);
  }
  EXPECT_EQ(reader.ActiveSheetLastUsedRow(), 3);
}

TEST_F(SheetWindowTest, SavedDatesKeepTheirFormatForOtherReaders) {
  const auto python_path = tavrio::testing::PythonWithOpenpyxl();
  TAVRIO_SKIP_WITHOUT(python_path, "python3-openpyxl");
  Merge();
  QTemporaryDir folder;
  const std::string path = PathIn(folder, "日期.xlsx");
  dialogs_.save_paths = {path};
  WindowOf("工作簿1")->save_as_action()->trigger();
  QProcess python;
  python.start(QString::fromStdString(*python_path),
               {"-c",
                "import sys, openpyxl\n"
                "c = openpyxl.load_workbook(sys.argv[1]).active['B2']\n"
                "print(c.number_format, c.value.date())",
                QString::fromStdString(path)});
  ASSERT_TRUE(python.waitForFinished());
  EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
            QStringLiteral("yyyy-mm-dd 2024-03-31"))
      << python.readAllStandardError().toStdString();
}

TEST_F(SheetWindowTest, SaveAsCsvWritesTheSheetAsUtf8WithBom) {
  Merge();
  QTemporaryDir folder;
  const std::string path = PathIn(folder, "合并.csv");
  dialogs_.save_paths = {path};
  WindowOf("工作簿1")->save_as_action()->trigger();
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray content = file.readAll();
  EXPECT_TRUE(content.startsWith("\xEF\xBB\xBF"));
  EXPECT_TRUE(content.contains(QStringLiteral("姓名,日期,金额,已付").toUtf8()))
      << content.toStdString();
}

// A text the file cannot carry exactly (a lone surrogate in a CSV) is saved with U+FFFD, and
// the window says so once the save is done; the .xlsx escapes it and has nothing to say.
TEST_F(SheetWindowTest, ASaveThatReplacedCharactersShowsAWarningAfterSaving) {
  Merge();
  engine_->ActivateWindow("工作簿1");
  engine_->SetCellText(std::int16_t{4}, 1, "王\xED\xA0\x80五");
  QTemporaryDir folder;
  const std::string csv = PathIn(folder, "合并.csv");
  const std::string xlsx = PathIn(folder, "合并.xlsx");
  dialogs_.save_paths = {csv, xlsx};
  ASSERT_TRUE(WindowOf("工作簿1")->SaveAs());
  ASSERT_EQ(dialogs_.warnings.size(), 1u);
  EXPECT_EQ(dialogs_.warnings[0], "文件“" + csv +
                                      "”已保存，但其中 1 处文本含有无法保存的字符（孤立的代理项"
                                      "或无效的 UTF-8 字节），已替换为“\xEF\xBF\xBD”。");
  ASSERT_TRUE(WindowOf("合并.csv")->SaveAs());
  EXPECT_EQ(dialogs_.warnings.size(), 1u);
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(SheetWindowTest, CtrlSAsksForAPathOnlyWhileTheWorkbookWasNeverSaved) {
  Merge();
  QTemporaryDir folder;
  const std::string path = PathIn(folder, "a.xlsx");
  dialogs_.save_paths = {path};
  SheetWindow* window = WindowOf("工作簿1");
  QApplication::setActiveWindow(window);
  QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dialogs_.suggested_paths.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(path));

  engine_->ActivateWindow("a.xlsx");
  engine_->SetCellText(std::int16_t{4}, 1, "王五");
  std::filesystem::remove(path);
  QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dialogs_.suggested_paths.size(), 1u);  // not asked again
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_FALSE(engine_->HasUnsavedChanges("a.xlsx"));
}

TEST_F(SheetWindowTest, CancellingTheSaveDialogSavesNothing) {
  Merge();
  dialogs_.save_paths = {""};
  EXPECT_FALSE(WindowOf("工作簿1")->SaveAs());
  EXPECT_TRUE(engine_->HasUnsavedChanges("工作簿1"));
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(SheetWindowTest, ASaveTheEngineRefusesIsShownAndTheWorkbookStaysUnsaved) {
  Merge();
  dialogs_.save_paths = {"/data/源.xlsx"};
  EXPECT_FALSE(WindowOf("工作簿1")->SaveAs());
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_EQ(dialogs_.errors[0].number(), 1004);
  EXPECT_EQ(dialogs_.errors[0].description(),
            "无法保存到文件“/data/源.xlsx”：这是打开过的源文件，源文件从不改写。");
  EXPECT_TRUE(engine_->HasUnsavedChanges("工作簿1"));
  EXPECT_EQ(WindowOf("工作簿1")->windowTitle(), QStringLiteral("工作簿1 - Tavrio"));
}

struct CloseCase {
  const char* name;
  SaveChangesAnswer answer;
  const char* save_as;  // nullptr: no answer; "" a cancelled dialog; "/" a folder that fails
  bool closes;
  bool file_written;
  std::size_t errors;
};

class ClosePromptTest : public SheetWindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosePromptTest, TheAnswerDecidesWhetherTheWindowCloses) {
  const CloseCase& c = GetParam();
  Merge();
  QTemporaryDir folder;
  const std::string path = PathIn(folder, "关闭时保存.xlsx");
  dialogs_.save_changes = c.answer;
  if (c.save_as != nullptr) {
    dialogs_.save_paths = {std::string(c.save_as) == "/" ? folder.path().toStdString()
                           : *c.save_as == '\0'          ? std::string()
                                                         : path};
  }
  SheetWindow* window = WindowOf("工作簿1");
  window->close();
  QApplication::processEvents();

  EXPECT_EQ(dialogs_.asked_to_save, std::vector<std::string>{"工作簿1"});
  EXPECT_EQ(engine_->WorkbookNames().empty(), c.closes);
  EXPECT_EQ(manager_->Windows().empty(), c.closes);
  if (!c.closes) {
    EXPECT_TRUE(window->isVisible());
  }
  EXPECT_EQ(std::filesystem::exists(path), c.file_written);
  EXPECT_EQ(dialogs_.errors.size(), c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ClosePromptTest,
    ::testing::Values(CloseCase{"Cancel", SaveChangesAnswer::kCancel, nullptr, false, false, 0},
                      CloseCase{"DontSave", SaveChangesAnswer::kDontSave, nullptr, true, false, 0},
                      CloseCase{"Save", SaveChangesAnswer::kSave, "path", true, true, 0},
                      CloseCase{"SaveCancelled", SaveChangesAnswer::kSave, "", false, false, 0},
                      CloseCase{"SaveFails", SaveChangesAnswer::kSave, "/", false, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SheetWindowTest, AWorkbookWithoutChangesClosesWithoutAsking) {
  Merge();
  QTemporaryDir folder;
  dialogs_.save_paths = {PathIn(folder, "b.xlsx")};
  SheetWindow* window = WindowOf("工作簿1");
  ASSERT_TRUE(window->SaveAs());
  window->close_action()->trigger();
  EXPECT_TRUE(dialogs_.asked_to_save.empty());
  EXPECT_TRUE(engine_->WorkbookNames().empty());
}

TEST_F(SheetWindowTest, SheetTabsSwitchTheActiveSheet) {
  engine_->SetVisible(true);
  engine_->OpenWorkbook("/data/两页.xlsx");
  SheetWindow* window = WindowOf("两页.xlsx");
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->tabs()->count(), 2);
  EXPECT_EQ(window->tabs()->tabText(1), QStringLiteral("二"));
  EXPECT_EQ(Shown(window, 2, 1), QStringLiteral("乙"));  // the first sheet, read on showing
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 2 行"));

  window->tabs()->setCurrentIndex(1);
  EXPECT_EQ(engine_->ActiveWorkbook()->active_sheet(), 1u);
  EXPECT_EQ(Shown(window, 1, 1), QStringLiteral("丙"));
  EXPECT_EQ(Shown(window, 5, 2), QStringLiteral("7"));
  EXPECT_EQ(window->StatusText(), QStringLiteral("共 5 行"));
}

}  // namespace
}  // namespace tavrio::app::sheets::testing
