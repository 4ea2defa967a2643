#pragma once

#include <QObject>
#include <map>
#include <string>
#include <vector>

#include "automation/engine/engine_observer.h"

namespace tavrio::automation {
class Engine;
}

namespace tavrio::app::sheets {

class SheetDialogs;
class SheetWindow;

// Gives every workbook of the engine a window, and shows those windows while the engine is
// visible and its screen updating is on. While screen updating is off nothing repaints, and a
// workbook opened and closed meanwhile never shows a window; when it comes back on, the windows
// still open are refreshed and shown.
//
// The windows are top-level windows of their own: they outlive the tool's main window, and a
// window not shown never keeps the program running.
class SheetWindowManager : public QObject, public automation::EngineObserver {
  Q_OBJECT

 public:
  // Observes `engine` until destroyed; both `engine` and `dialogs` must outlive the manager.
  SheetWindowManager(automation::Engine& engine, SheetDialogs& dialogs);
  ~SheetWindowManager() override;

  // The window of the open workbook named `name` (case as the engine has it), or nullptr.
  SheetWindow* WindowOf(const std::string& name) const;
  std::vector<SheetWindow*> Windows() const;
  // Marks the window of the workbook `name` as holding an incomplete merge; nothing when no such
  // workbook is open.
  void MarkIncomplete(const std::string& name, const std::string& reason);

  void WorkbookOpened(const automation::engine::Workbook& workbook) override;
  void WorkbookClosing(const automation::engine::Workbook& workbook) override;
  void WorkbookSaved(const automation::engine::Workbook& workbook) override;
  void ActiveChanged() override;
  void CellsChanged(const automation::engine::Workbook& workbook) override;
  void VisibleChanged(bool visible) override;
  void ScreenUpdatingChanged(bool on) override;

 private:
  bool Showing() const;
  void ShowAll();
  void RefreshWindowOf(const automation::engine::Workbook* workbook);

  automation::Engine& engine_;
  SheetDialogs& dialogs_;
  std::map<const automation::engine::Workbook*, SheetWindow*> windows_;
};

}  // namespace tavrio::app::sheets
