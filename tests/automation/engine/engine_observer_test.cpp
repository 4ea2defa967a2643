// What the engine tells whoever shows its windows.

#include "automation/engine/engine_observer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "error_of.h"
#include "fake_files.h"

namespace tavrio::automation {
namespace {

class RecordingObserver final : public EngineObserver {
 public:
  void WorkbookOpened(const engine::Workbook& workbook) override {
    events.push_back("opened " + workbook.name());
  }
  void WorkbookClosing(const engine::Workbook& workbook) override {
    events.push_back("closing " + workbook.name());
  }
  void WorkbookSaved(const engine::Workbook& workbook) override {
    events.push_back("saved " + workbook.name());
  }
  void ActiveChanged() override { events.push_back("active"); }
  void CellsChanged(const engine::Workbook& workbook) override {
    events.push_back("cells " + workbook.name());
  }
  void VisibleChanged(bool visible) override {
    events.push_back(std::string("visible ") + (visible ? "on" : "off"));
  }
  void ScreenUpdatingChanged(bool on) override {
    events.push_back(std::string("updating ") + (on ? "on" : "off"));
  }

  std::vector<std::string> events;
};

TEST(EngineObserverTest, HearsEveryStepOfAMerge) {
  testing::FakeFiles files;
  files.Add("/in/a.xlsx", {{testing::GridSheet("Sheet1", 2, 2)}});
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  RecordingObserver observer;
  engine.SetObserver(&observer);
  engine.SetScreenUpdating(false);
  engine.OpenWorkbook("/in/a.xlsx");
  engine.SetVisible(true);
  engine.SelectSheet(std::int16_t{1});
  engine.SelectRows("1:1");
  engine.ExtendSelectionToLastUsedRow();
  engine.CopySelection();
  engine.AddWorkbook();
  engine.PasteIntoActiveSheet();
  engine.ActivateWindow("a.xlsx");
  engine.ActivateWindow("a.xlsx");  // already active: nothing to tell
  engine.SetCutCopyMode(false);
  engine.CloseActiveWindow();
  engine.SetScreenUpdating(true);
  EXPECT_EQ(observer.events,
            (std::vector<std::string>{"updating off", "active", "opened a.xlsx", "visible on",
                                      "active", "active", "opened 工作簿1", "cells 工作簿1",
                                      "active", "closing a.xlsx", "active", "updating on"}));
}

TEST(EngineObserverTest, FailedStepsTellNothing) {
  testing::FakeFiles files;
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  RecordingObserver observer;
  engine.SetObserver(&observer);
  testing::ErrorOf([&] { engine.OpenWorkbook("/in/missing.xlsx"); });
  engine.AddWorkbook();
  observer.events.clear();
  testing::ErrorOf([&] { engine.PasteIntoActiveSheet(); });
  testing::ErrorOf([&] { engine.ActivateWindow("nothing"); });
  testing::ErrorOf([&] { engine.SelectSheet(std::string("nothing")); });
  EXPECT_TRUE(observer.events.empty());
  engine.SetObserver(nullptr);
  engine.SetCellText(std::int16_t{1}, 1, "x");
  EXPECT_TRUE(observer.events.empty());
}

}  // namespace
}  // namespace tavrio::automation
