#include "app/sheets/sheet_window_manager.h"

#include <QThread>

#include "app/sheets/sheet_window.h"
#include "automation/engine/engine.h"

namespace tavrio::app::sheets {

using automation::engine::Workbook;

SheetWindowManager::SheetWindowManager(automation::Engine& engine, SheetDialogs& dialogs)
    : engine_(engine), dialogs_(dialogs) {
  engine_.SetObserver(this);
}

SheetWindowManager::~SheetWindowManager() {
  engine_.SetObserver(nullptr);
  for (auto& [workbook, window] : windows_) delete window;
}

SheetWindow* SheetWindowManager::WindowOf(const std::string& name) const {
  for (const auto& [workbook, window] : windows_) {
    if (workbook->name() == name) return window;
  }
  return nullptr;
}

std::vector<SheetWindow*> SheetWindowManager::Windows() const {
  std::vector<SheetWindow*> windows;
  for (const auto& [workbook, window] : windows_) windows.push_back(window);
  return windows;
}

void SheetWindowManager::MarkIncomplete(const std::string& name, const std::string& reason) {
  if (SheetWindow* window = WindowOf(name)) window->MarkIncomplete(QString::fromStdString(reason));
}

void SheetWindowManager::WorkbookOpened(const Workbook& workbook) {
  auto* window = new SheetWindow(engine_, workbook, dialogs_);
  windows_[&workbook] = window;
  if (!engine_.ScreenUpdating()) window->setUpdatesEnabled(false);
  if (Showing()) {
    window->Refresh();
    window->show();
  }
}

void SheetWindowManager::WorkbookClosing(const Workbook& workbook) {
  const auto found = windows_.find(&workbook);
  if (found == windows_.end()) return;
  SheetWindow* window = found->second;
  windows_.erase(found);
  window->Detach();
  // A shown window is closed, not just hidden, so that the program ends with its last window.
  if (window->isVisible()) window->close();
  window->deleteLater();
}

void SheetWindowManager::WorkbookSaved(const Workbook& workbook) {
  // Saving runs on a worker thread; the window follows on its own thread once it is done.
  QMetaObject::invokeMethod(
      this, [this, saved = &workbook] { RefreshWindowOf(saved); }, Qt::AutoConnection);
}

void SheetWindowManager::ActiveChanged() { RefreshWindowOf(engine_.ActiveWorkbook()); }

void SheetWindowManager::CellsChanged(const Workbook& workbook) { RefreshWindowOf(&workbook); }

void SheetWindowManager::VisibleChanged(bool visible) {
  if (visible) {
    ShowAll();
    return;
  }
  for (auto& [workbook, window] : windows_) window->hide();
}

void SheetWindowManager::ScreenUpdatingChanged(bool on) {
  for (auto& [workbook, window] : windows_) window->setUpdatesEnabled(on);
  if (on) ShowAll();
}

bool SheetWindowManager::Showing() const { return engine_.Visible() && engine_.ScreenUpdating(); }

void SheetWindowManager::ShowAll() {
  if (!Showing()) return;
  // Refreshing may drive the engine and so change what is open; work on a copy.
  for (SheetWindow* window : Windows()) {
    window->Refresh();
    window->show();
  }
}

void SheetWindowManager::RefreshWindowOf(const Workbook* workbook) {
  if (!engine_.ScreenUpdating()) return;  // everything is refreshed when it comes back on
  const auto found = windows_.find(workbook);
  if (found != windows_.end()) found->second->Refresh();
}

}  // namespace tavrio::app::sheets
