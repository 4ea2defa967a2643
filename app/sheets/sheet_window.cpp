#include "app/sheets/sheet_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <filesystem>
#include <new>

#include "app/sheets/sheet_dialogs.h"
#include "app/sheets/sheet_model.h"
#include "app/sheets/workbook_saver.h"
#include "automation/base/error.h"
#include "automation/engine/engine.h"

namespace tavrio::app::sheets {
namespace {

using error_number::kOutOfMemory;

// Where 另存为 starts: beside the workbook's own file, or in the current folder for a new
// workbook, named after the workbook.
std::string SuggestedPath(const automation::engine::Workbook& workbook) {
  std::filesystem::path path =
      workbook.path().empty()
          ? std::filesystem::path(QDir::currentPath().toStdString()) / workbook.name()
          : std::filesystem::path(workbook.path());
  path.replace_extension(".xlsx");
  return path.string();
}

}  // namespace

SheetWindow::SheetWindow(automation::Engine& engine, const automation::engine::Workbook& workbook,
                         SheetDialogs& dialogs)
    : engine_(engine),
      workbook_(&workbook),
      dialogs_(dialogs),
      model_(new SheetModel(this)),
      view_(new QTableView),
      tabs_(new QTabBar),
      status_(new QLabel) {
  view_->setModel(model_);
  view_->setWordWrap(false);
  view_->setCornerButtonEnabled(false);
  // Fixed sizes keep the headers from measuring a million sections.
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  view_->horizontalHeader()->setDefaultSectionSize(96);
  view_->viewport()->installEventFilter(this);
  view_->installEventFilter(this);
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setDrawBase(false);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view_, 1);
  layout->addWidget(tabs_, 0, Qt::AlignLeft);
  setCentralWidget(central);
  statusBar()->addWidget(status_, 1);
  CreateMenu();
  resize(960, 640);

  connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { ShowSheet(tab); });
  setWindowTitle(Title());
}

SheetWindow::~SheetWindow() = default;

void SheetWindow::CreateMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
  save_ = file->addAction(QStringLiteral("保存(&S)"), this, [this] { Save(); });
  save_->setShortcut(QKeySequence::Save);
  save_as_ = file->addAction(QStringLiteral("另存为(&A)…"), this, [this] { SaveAs(); });
  save_as_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  file->addSeparator();
  close_ = file->addAction(QStringLiteral("关闭(&C)"), this, [this] { close(); });
  close_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
}

void SheetWindow::Refresh() {
  if (workbook_ == nullptr) return;
  const bool source = engine_.IsOpenedSource(workbook_->name());
  save_->setVisible(!source);
  save_->setEnabled(!source);
  setWindowTitle(Title());
  RefreshTabs();
  const std::size_t sheet = workbook_->active_sheet();
  QString problem;
  try {
    engine_.LoadSheet(workbook_->name(), sheet);
  } catch (const Error& error) {
    problem = QString::fromStdString(error.description());
  }
  model_->Show(workbook_, sheet);
  QString status =
      problem.isEmpty() ? QStringLiteral("共 %1 行").arg(model_->LastUsedRow()) : problem;
  const std::size_t uncalculated = workbook_->SheetAt(sheet).uncalculated_formulas();
  if (problem.isEmpty() && uncalculated > 0) {
    // Those cells show their stored result or an error; the user should know which to check.
    status += QStringLiteral("　%1 个公式无法计算（显示原有结果或错误值）").arg(uncalculated);
  }
  if (!incomplete_.isEmpty()) status += QStringLiteral("　未完成：") + incomplete_;
  status_->setText(status);
  FitGridToView();
}

QString SheetWindow::Title() const {
  if (workbook_ == nullptr) return windowTitle();
  QString title = QString::fromStdString(workbook_->name());
  if (engine_.IsOpenedSource(workbook_->name())) title += QStringLiteral("（源文件，只读打开）");
  if (!incomplete_.isEmpty()) title += QStringLiteral("（未完成：") + incomplete_ + "）";
  return title + QStringLiteral(" - Tavrio");
}

void SheetWindow::MarkIncomplete(const QString& reason) {
  incomplete_ = reason;
  incomplete_save_confirmed_ = false;
  Refresh();
}

void SheetWindow::RefreshTabs() {
  const QSignalBlocker blocker(tabs_);
  while (tabs_->count() > 0) tabs_->removeTab(0);
  for (std::size_t i = 0; i < workbook_->SheetCount(); ++i) {
    const automation::engine::Sheet& sheet = workbook_->SheetAt(i);
    if (sheet.hidden()) continue;
    const int tab = tabs_->addTab(QString::fromStdString(sheet.name()));
    tabs_->setTabData(tab, static_cast<qulonglong>(i));
    if (i == workbook_->active_sheet()) tabs_->setCurrentIndex(tab);
  }
}

void SheetWindow::Detach() {
  workbook_ = nullptr;
  model_->Detach();
}

QString SheetWindow::StatusText() const { return status_->text(); }

void SheetWindow::ShowSheet(int tab) {
  if (workbook_ == nullptr || tab < 0) return;
  const auto sheet = tabs_->tabData(tab).toULongLong();
  // The tab chosen is the workbook's active sheet, the one a .csv save writes.
  Attempt([&] { engine_.SetActiveSheet(workbook_->name(), static_cast<std::size_t>(sheet)); });
  Refresh();
}

void SheetWindow::GoToLastUsedCell() {
  const int row = std::max<int>(1, static_cast<int>(model_->LastUsedRow())) - 1;
  const int column = std::max<int>(1, static_cast<int>(model_->LastColumn())) - 1;
  const QModelIndex last = model_->index(row, column);
  view_->setCurrentIndex(last);
  view_->scrollTo(last);
}

void SheetWindow::FitGridToView() {
  const int row_height = std::max(1, view_->verticalHeader()->defaultSectionSize());
  const int column_width = std::max(1, view_->horizontalHeader()->defaultSectionSize());
  model_->SetMinimumSize(view_->viewport()->height() / row_height + 1,
                         view_->viewport()->width() / column_width + 1);
}

bool SheetWindow::eventFilter(QObject* watched, QEvent* event) {
  // The grid follows the viewport's own size, known only once the layout has placed it.
  if (watched == view_->viewport() && event->type() == QEvent::Resize) FitGridToView();
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_End && (key->modifiers() & Qt::ControlModifier)) {
      GoToLastUsedCell();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool SheetWindow::SaveAs() {
  if (workbook_ == nullptr) return false;
  const std::string path = dialogs_.AskSavePath(this, SuggestedPath(*workbook_));
  if (path.empty()) return false;
  // Refused first: asking whether to replace a file that will not be written misleads.
  if (!Attempt([&] { engine_.CheckSaveTarget(workbook_->name(), path); })) return false;
  std::error_code error;
  if (std::filesystem::exists(path, error) && !dialogs_.AskReplace(this, path)) return false;
  return SaveTo(path);
}

bool SheetWindow::Save() {
  if (workbook_ == nullptr) return false;
  if (workbook_->path().empty() || engine_.IsOpenedSource(workbook_->name())) return SaveAs();
  return SaveTo(workbook_->path());
}

bool SheetWindow::ConfirmIncompleteSave() {
  if (incomplete_.isEmpty() || incomplete_save_confirmed_) return true;
  incomplete_save_confirmed_ =
      dialogs_.AskSaveIncomplete(this, workbook_->name(), incomplete_.toStdString());
  return incomplete_save_confirmed_;
}

bool SheetWindow::SaveTo(const std::string& path) {
  if (!ConfirmIncompleteSave()) return false;
  const std::string name = workbook_->name();
  automation::engine::SaveReport report;
  const bool saved = Attempt([&] { report = SaveWithProgress(this, engine_, name, path); });
  Refresh();
  if (const std::string warning = automation::engine::SaveWarning(report); !warning.empty()) {
    dialogs_.ReportWarning(this, warning);
  }
  return saved;
}

void SheetWindow::closeEvent(QCloseEvent* event) {
  if (workbook_ == nullptr) return event->accept();
  if (SaveRunning()) return event->ignore();
  bool unsaved = false;
  if (!Attempt([&] { unsaved = engine_.HasUnsavedChanges(workbook_->name()); })) {
    return event->ignore();
  }
  if (unsaved) {
    switch (dialogs_.AskSaveChanges(this, workbook_->name())) {
      case SaveChangesAnswer::kCancel:
        return event->ignore();
      case SaveChangesAnswer::kSave:
        if (!SaveAs()) return event->ignore();
        break;
      case SaveChangesAnswer::kDontSave:
        break;
    }
  }
  if (!CloseWorkbook()) return event->ignore();
  event->accept();
}

bool SheetWindow::CloseWorkbook() {
  const std::string name = workbook_->name();
  return Attempt([&] {
    engine_.ActivateWindow(name);
    engine_.CloseActiveWindow();
  });
}

bool SheetWindow::Attempt(const std::function<void()>& operation) {
  try {
    operation();
    return true;
  } catch (const Error& error) {
    dialogs_.ReportError(this, error);
  } catch (const std::bad_alloc&) {
    dialogs_.ReportError(this, Error(kOutOfMemory, "内存不足"));
  }
  return false;
}

}  // namespace tavrio::app::sheets
