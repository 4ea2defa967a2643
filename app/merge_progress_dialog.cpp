#include "app/merge_progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>

#include "app/message_boxes.h"

namespace tavrio::app {

MergeProgressDialog::MergeProgressDialog(QWidget* parent, int delay_ms)
    : parent_(parent), delay_ms_(delay_ms) {
  clock_.start();
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

MergeProgressDialog::~MergeProgressDialog() { Finish(); }

void MergeProgressDialog::Finish() {
  delete dialog_;
  if (busy_cursor_) QApplication::restoreOverrideCursor();
  busy_cursor_ = false;
}

QString MergeProgressDialog::LabelText(int file, int files, const std::string& name,
                                       std::int32_t rows) {
  return QStringLiteral("正在合并第 %1 个文件（共 %2 个）：%3\n已合并 %4 行")
      .arg(file)
      .arg(files)
      .arg(QString::fromStdString(name))
      .arg(rows);
}

void MergeProgressDialog::FileStarting(int file, int files, const std::string& name,
                                       std::int32_t merged_rows) {
  file_ = file;
  files_ = files;
  file_name_ = name;
  label_ = LabelText(file, files, name, merged_rows);
  ShowIfSlow();
  if (dialog_) {
    dialog_->setLabelText(label_);
    dialog_->setValue(file - 1);
  }
  LetTheDialogRespond();
}

bool MergeProgressDialog::StopRequested() {
  ShowIfSlow();
  LetTheDialogRespond();
  stopped_ = dialog_ && dialog_->wasCanceled();
  return stopped_;
}

void MergeProgressDialog::ShowIfSlow() {
  if (dialog_ || clock_.elapsed() < delay_ms_) return;
  dialog_ = new QProgressDialog(label_, QStringLiteral("取消"), 0, files_, parent_);
  dialog_->setObjectName("MergeProgress");
  dialog_->setWindowTitle(QString::fromUtf8(kApplicationTitle));
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(0);
  dialog_->setValue(file_ > 0 ? file_ - 1 : 0);
  dialog_->show();
}

void MergeProgressDialog::LetTheDialogRespond() {
  // A modal dialog keeps every other window from input; without it no input may reach them.
  QApplication::processEvents(dialog_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tavrio::app
