// Plays what a user sees around a merge on a real X server, for the README's pictures, for the
// test suite, and to time the window of a large merge. Kept out of the program. It starts the
// tool's window in the current folder, selects every file there and merges by sheet position 1.
//
//   tavrio-window-scenes pictures PROGRESS.png INCOMPLETE.png
//       shows the progress dialog at once, grabs it, presses 取消 on it, then grabs the merged
//       workbook's window, which must say that it is incomplete.
//   tavrio-window-scenes timing
//       merges everything, then prints the time from the end of the merge to the merged
//       workbook's grid first drawn, and from Ctrl+End to its last row drawn.
// Exits non-zero when what the user should see is not there.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/sheets/sheet_dialogs.h"
#include "app/sheets/sheet_model.h"
#include "app/sheets/sheet_window.h"
#include "app/sheets/sheet_window_manager.h"
#include "automation/base/error.h"
#include "automation/engine_host.h"
#include "selection/file_list.h"

namespace {

using tavrio::app::sheets::SheetWindow;
using tavrio::app::sheets::SheetWindowManager;

// Passes everything on to the window manager, noting when screen updating comes back on: the
// moment the merge run has pasted its last block.
class TimedObserver : public tavrio::automation::EngineObserver {
 public:
  TimedObserver(SheetWindowManager& manager, QElapsedTimer& clock)
      : manager_(manager), clock_(clock) {}
  void WorkbookOpened(const tavrio::automation::engine::Workbook& w) override {
    manager_.WorkbookOpened(w);
  }
  void WorkbookClosing(const tavrio::automation::engine::Workbook& w) override {
    manager_.WorkbookClosing(w);
  }
  void WorkbookSaved(const tavrio::automation::engine::Workbook& w) override {
    manager_.WorkbookSaved(w);
  }
  void ActiveChanged() override { manager_.ActiveChanged(); }
  void CellsChanged(const tavrio::automation::engine::Workbook& w) override {
    manager_.CellsChanged(w);
  }
  void VisibleChanged(bool visible) override { manager_.VisibleChanged(visible); }
  void ScreenUpdatingChanged(bool on) override {
    if (on) merge_end_ms = clock_.elapsed();
    manager_.ScreenUpdatingChanged(on);
  }
  qint64 merge_end_ms = -1;

 private:
  SheetWindowManager& manager_;
  QElapsedTimer& clock_;
};

// Notes when a widget has finished painting: a zero timer posted from its paint event fires
// once the paint is done.
class PaintWatch : public QObject {
 public:
  PaintWatch(QWidget* widget, QElapsedTimer& clock) : clock_(clock) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !pending_) {
      pending_ = true;
      QTimer::singleShot(0, this, [this] {
        pending_ = false;
        last_painted_ms = clock_.elapsed();
      });
    }
    return false;
  }
  qint64 last_painted_ms = -1;

 private:
  QElapsedTimer& clock_;
  bool pending_ = false;
};

bool Save(QWidget* widget, const char* path) {
  const QPixmap shot = widget->screen()->grabWindow(widget->winId());
  if (shot.save(QString::fromLocal8Bit(path), "PNG")) return true;
  std::fprintf(stderr, "cannot save %s\n", path);
  return false;
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void ChooseEverything(tavrio::app::Form1& form) {
  form.findChild<QRadioButton*>("Option4")->click();
  form.findChild<QLineEdit*>("Text3")->setText("1");
  form.findChild<tavrio::selection::FileList*>()->selectAll();
}

void Merge(tavrio::app::Form1& form, tavrio::app::TerminalMessageBoxes& boxes) {
  try {
    form.CombineWorkbooks();
  } catch (const tavrio::Error& error) {
    boxes.ReportError(&form, error);
  }
}

int Pictures(tavrio::app::Form1& form, tavrio::app::TerminalMessageBoxes& boxes,
             SheetWindowManager& windows, const char* progress_path, const char* incomplete_path) {
  form.SetProgressDelay(0);
  bool dialog_saved = false;
  // Runs inside the merge, as soon as it lets its dialog respond.
  QTimer::singleShot(0, &form, [&] {
    auto* dialog = form.findChild<QProgressDialog*>("MergeProgress");
    if (dialog == nullptr || !dialog->isVisible()) return;
    dialog->move(form.geometry().center() - dialog->rect().center());
    Wait(800);  // the window system draws it and fonts load
    dialog_saved = Save(dialog, progress_path);
    dialog->cancel();
  });
  Merge(form, boxes);
  if (!dialog_saved) {
    std::fprintf(stderr, "the progress dialog did not show\n");
    return 1;
  }
  SheetWindow* window = windows.WindowOf("工作簿1");
  if (window == nullptr || !window->isVisible() ||
      !window->windowTitle().contains(QStringLiteral("未完成"))) {
    std::fprintf(stderr, "no window of an incomplete 工作簿1\n");
    return 1;
  }
  window->move(40, 30);
  window->raise();
  Wait(800);
  return Save(window, incomplete_path) ? 0 : 1;
}

int Timing(tavrio::app::Form1& form, tavrio::app::TerminalMessageBoxes& boxes,
           SheetWindowManager& windows, tavrio::automation::Engine& engine) {
  QElapsedTimer clock;
  clock.start();
  TimedObserver observer(windows, clock);
  engine.SetObserver(&observer);
  const qint64 started = clock.elapsed();
  Merge(form, boxes);
  const qint64 returned = clock.elapsed();
  SheetWindow* window = windows.WindowOf("工作簿1");
  engine.SetObserver(&windows);
  if (window == nullptr || observer.merge_end_ms < 0) {
    std::fprintf(stderr, "no merged workbook window\n");
    return 1;
  }
  // The window was shown when screen updating came back on; no event has been handled since,
  // so its first paint is still to come.
  auto watch = std::make_unique<PaintWatch>(window->view()->viewport(), clock);
  QApplication::processEvents();
  while (watch->last_painted_ms < 0 && clock.elapsed() - returned < 30000) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  const qint64 first_drawn = watch->last_painted_ms;
  const int rows = static_cast<int>(window->model()->LastUsedRow());

  window->activateWindow();
  window->view()->setFocus();
  const qint64 key_at = clock.elapsed();
  watch->last_painted_ms = -1;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QApplication::sendEvent(window->view(), &press);
  while (watch->last_painted_ms < 0 && clock.elapsed() - key_at < 30000) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  const qint64 last_drawn = watch->last_painted_ms;
  const bool at_last_row = window->view()->currentIndex().row() == rows - 1 &&
                           window->view()->rowAt(window->view()->viewport()->height() / 2) > 0;
  std::printf("merged rows: %d\n", rows);
  std::printf("merge run: %lld ms\n", static_cast<long long>(observer.merge_end_ms - started));
  std::printf("merge end -> window drawn: %lld ms\n",
              static_cast<long long>(first_drawn - observer.merge_end_ms));
  std::printf("Ctrl+End -> last row drawn: %lld ms\n", static_cast<long long>(last_drawn - key_at));
  if (first_drawn < 0 || last_drawn < 0 || !at_last_row) {
    std::fprintf(stderr, "the window was not drawn at its last row\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!((mode == "pictures" && argc == 4) || (mode == "timing" && argc == 2))) {
    std::fprintf(stderr, "usage: %s pictures PROGRESS.png INCOMPLETE.png | timing\n", argv[0]);
    return 2;
  }
  tavrio::app::SetUpApplication(application);
  tavrio::automation::EngineHost host;
  tavrio::app::sheets::DesktopSheetDialogs sheet_dialogs;
  SheetWindowManager sheet_windows(host.engine(), sheet_dialogs);
  tavrio::app::TerminalMessageBoxes boxes;
  tavrio::app::Form1 form(host, boxes, QDir::currentPath().toStdString());
  form.SetIncompleteMergeHandler([&](const std::string& workbook, const std::string& reason) {
    sheet_windows.MarkIncomplete(workbook, reason);
  });
  form.show();
  int status = 1;
  QTimer::singleShot(300, &form, [&] {
    ChooseEverything(form);
    status = mode == "pictures" ? Pictures(form, boxes, sheet_windows, argv[2], argv[3])
                                : Timing(form, boxes, sheet_windows, host.engine());
    QApplication::exit(status);
  });
  QApplication::exec();
  return status;
}
