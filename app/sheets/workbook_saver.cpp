#include "app/sheets/workbook_saver.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <atomic>
#include <exception>
#include <thread>

#include "automation/base/error.h"
#include "automation/engine/engine.h"

namespace tavrio::app::sheets {
namespace {

// How long a save may take before its progress shows: shorter saves never flash a dialog.
constexpr int kProgressDelayMs = 400;

std::atomic<int> saves_running{0};

}  // namespace

bool SaveRunning() { return saves_running.load() > 0; }

automation::engine::SaveReport SaveWithProgress(QWidget* parent, automation::Engine& engine,
                                                const std::string& workbook_name,
                                                const std::string& path) {
  // From here until FinishSave the workbook does not change: the worker writes it while this
  // thread only paints it, and neither drives the engine.
  const automation::engine::Workbook& workbook = engine.PrepareSave(workbook_name, path);
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
      report = engine.WriteWorkbook(workbook, path);
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
  engine.FinishSave(workbook_name, path);
  return report;
}

}  // namespace tavrio::app::sheets
