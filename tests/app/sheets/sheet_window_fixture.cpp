#include "sheet_window_fixture.h"

#include <QApplication>
#include <filesystem>

namespace tavrio::app::sheets::testing {

const FakeFiles& SourceFiles() {
  static const FakeFiles files = {
      {"/data/源.xlsx",
       {{"Sheet1",
         {{1, 1, std::string("姓名")},
          {1, 2, std::string("日期")},
          {1, 3, std::string("金额")},
          {1, 4, std::string("已付")},
          {2, 1, std::string("张三")},
          {2, 2, 45382.0, "yyyy-mm-dd"},
          {2, 3, 1234.5, "#,##0.00"},
          {2, 4, true},
          {3, 1, std::string("李四")},
          {3, 2, 45383.0, "yyyy-mm-dd"},
          {3, 3, 0.125, "0.0%"},
          {3, 4, false}}}}},
      {"/data/两页.xlsx",
       {{"一", {{1, 1, std::string("甲")}, {2, 1, std::string("乙")}}},
        {"二", {{1, 1, std::string("丙")}, {5, 2, 7.0}}}}},
      // As a program writes it: no results stored; one function no library here computes.
      {"/data/公式.xlsx",
       {{"Sheet1",
         {{1, 1, std::string("数量")},
          {1, 2, std::string("单价")},
          {1, 3, std::string("金额")},
          {2, 1, 3.0},
          {2, 2, 2.5},
          {2, 3, {}, "General", "A2*B2"},
          {3, 1, 4.0},
          {3, 2, 1.25},
          {3, 3, {}, "General", "A3*B3"},
          {4, 3, {}, "General", "FOOBAR(C2)"}}}}},
  };
  return files;
}

SheetWindowTest::SheetWindowTest()
    : manager_(std::make_unique<SheetWindowManager>(*engine_, dialogs_)) {}

SheetWindowTest::~SheetWindowTest() {
  manager_.reset();
  QApplication::processEvents();  // windows the engine closed are deleted later
}

void SheetWindowTest::Merge(const std::string& source) {
  engine_->SetScreenUpdating(false);
  engine_->OpenWorkbook(source);
  engine_->SetVisible(true);
  engine_->SelectSheet(std::int16_t{1});
  engine_->SelectRows("1:1");
  engine_->ExtendSelectionToLastUsedRow();
  engine_->CopySelection();
  engine_->AddWorkbook();
  engine_->PasteIntoActiveSheet();
  engine_->ActivateWindow(std::filesystem::path(source).filename().string());
  engine_->SetCutCopyMode(false);
  engine_->CloseActiveWindow();
  engine_->SetScreenUpdating(true);
}

}  // namespace tavrio::app::sheets::testing
