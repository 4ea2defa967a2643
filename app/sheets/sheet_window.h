#pragma once

#include <QMainWindow>
#include <functional>
#include <string>

class QAction;
class QLabel;
class QTabBar;
class QTableView;

namespace tavrio::automation {
class Engine;
namespace engine {
class Workbook;
}
}  // namespace tavrio::automation

namespace tavrio::app::sheets {

class SheetDialogs;
class SheetModel;

// The window of one engine workbook: its active sheet as a grid, the sheet tabs below it, the
// row count in the status line, and a File menu to save and close it. Closing the window closes
// the workbook in the engine, after asking whether to save unsaved changes.
//
// A source file the engine opened (left open by a merge that failed on it) is never written:
// its title says it is a source opened read-only and its menu offers only 另存为. A workbook
// marked incomplete says so in its title and status line, and its first save asks whether an
// incomplete workbook is really meant.
class SheetWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Shows nothing of the workbook until the first Refresh.
  SheetWindow(automation::Engine& engine, const automation::engine::Workbook& workbook,
              SheetDialogs& dialogs);
  ~SheetWindow() override;

  const automation::engine::Workbook* workbook() const { return workbook_; }
  // Re-reads the title, the tabs and the grid from the workbook.
  void Refresh();
  // The workbook is gone: show nothing more of it, close without asking.
  void Detach();
  // The merge that made this workbook stopped early, for `reason` ("合并在第 3
  // 个文件“c.xlsx”处停止").
  void MarkIncomplete(const QString& reason);

  QAction* save_action() const { return save_; }
  QAction* save_as_action() const { return save_as_; }
  QAction* close_action() const { return close_; }
  QTableView* view() const { return view_; }
  QTabBar* tabs() const { return tabs_; }
  SheetModel* model() const { return model_; }
  QString StatusText() const;

  // 另存为: asks for a path and saves there. False when the user cancelled or it failed (the
  // failure has been shown).
  bool SaveAs();
  // 保存: a workbook never saved gets 另存为, any other is saved to its own file.
  bool Save();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateMenu();
  void RefreshTabs();
  void ShowSheet(int tab);
  void FitGridToView();
  bool SaveTo(const std::string& path);
  bool ConfirmIncompleteSave();
  QString Title() const;
  // Ctrl+End: the last used cell, not the empty rows the grid shows past it.
  void GoToLastUsedCell();
  bool CloseWorkbook();
  // Runs an engine operation started by the user; a failure is shown and returns false.
  bool Attempt(const std::function<void()>& operation);

  automation::Engine& engine_;
  const automation::engine::Workbook* workbook_;
  SheetDialogs& dialogs_;
  SheetModel* model_;
  QTableView* view_;
  QTabBar* tabs_;
  QLabel* status_;
  QAction* save_ = nullptr;
  QAction* save_as_ = nullptr;
  QAction* close_ = nullptr;
  QString incomplete_;
  bool incomplete_save_confirmed_ = false;
};

}  // namespace tavrio::app::sheets
