#pragma once

// A merge's leftovers as the windows see them: an engine with fake source files, a window
// manager over it, and the dialogs answered by the test.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/sheets/sheet_window.h"
#include "app/sheets/sheet_window_manager.h"
#include "fake_dialogs.h"
#include "fake_workbooks.h"

namespace tavrio::app::sheets::testing {

// Two source workbooks: 源.xlsx (one sheet: a header and two rows of mixed values) and
// 两页.xlsx (sheets 一 and 二, of 2 and 5 rows); 公式.xlsx, formulas stored without results.
const FakeFiles& SourceFiles();

class SheetWindowTest : public ::testing::Test {
 protected:
  SheetWindowTest();
  ~SheetWindowTest() override;

  // What a merge of `source` leaves: 工作簿1 holding its rows, unsaved, the source closed.
  // Screen updating is switched off around it as the merge run does.
  void Merge(const std::string& source = "/data/源.xlsx");
  SheetWindow* WindowOf(const std::string& name) { return manager_->WindowOf(name); }

  std::unique_ptr<automation::Engine> engine_ = EngineOver(SourceFiles());
  FakeDialogs dialogs_;
  std::unique_ptr<SheetWindowManager> manager_;
};

}  // namespace tavrio::app::sheets::testing
