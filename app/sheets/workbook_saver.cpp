#include "app/sheets/workbook_saver.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <atomic>
#include <exception>
#include <thread>

#include "automation/engine/engine.h"
#include "automation/error.h"

namespace tavrio::app::sheets {
namespace {

// How long a save may take before its progress shows: shorter saves never flash a dialog.
constexpr int kProgressDelayMs = 400;

std::atomic<int> saves_running{0};

// Reads every sheet not read yet through the engine's own operations, then puts the active
// workbook and sheet back as they were.
void ReadAllSheets(automation::Engine& engine, const std::string& workbook_name) {
  const automation::engine::Workbook* workbook = engine.FindWorkbook(workbook_name);
  if (workbook == nullptr) return;  // the engine's save reports it
  const automation::engine::Workbook* previous = engine.ActiveWorkbook();
  const std::string previous_name = previous ? previous->name() : std::string();
  const auto active_sheet = static_cast<std::int16_t>(workbook->active_sheet() + 1);
  bool switched = false;
  try {
    for (std::size_t i = 0; i < workbook->SheetCount(); ++i) {
      if (workbook->SheetAt(i).loaded()) continue;
      engine.ActivateWindow(workbook_name);
      switched = true;
      engine.SelectSheet(static_cast<std::int16_t>(i + 1));
      engine.ActiveSheetLastUsedRow();
    }
  } catch (...) {
    if (switched) {
      engine.SelectSheet(active_sheet);
      if (!previous_name.empty()) engine.ActivateWindow(previous_name);
    }
    throw;
  }
  if (!switched) return;
  engine.SelectSheet(active_sheet);
  if (!previous_name.empty()) engine.ActivateWindow(previous_name);
}

}  // namespace

bool SaveRunning() { return saves_running.load() > 0; }

automation::engine::SaveReport SaveWithProgress(QWidget* parent, automation::Engine& engine,
                                                const std::string& workbook_name,
                                                const std::string& path) {
  ReadAllSheets(engine, workbook_name);
  QProgressDialog progress(
      QStringLiteral("正在保存“%1”……").arg(QString::fromStdString(workbook_name)), QString(), 0, 0,
      parent);
  progress.setWindowTitle(QStringLiteral("Tavrio"));
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoClose(false);

  QEventLoop loop;
  std::exception_ptr failure;
  automation::engine::SaveReport report;
  ++saves_running;
  std::thread worker([&] {
    try {
      report = engine.SaveWorkbookAs(workbook_name, path);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Paint and timers only: no click may reach the engine while the worker uses it.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  --saves_running;
  progress.reset();
  if (failure) std::rethrow_exception(failure);
  return report;
}

}  // namespace tavrio::app::sheets
