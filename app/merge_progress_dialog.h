#pragma once

// What the window shows while a merge runs: the busy cursor from the start and, once the run has
// taken longer than a moment, a progress dialog (file i of N, its name, the rows merged so far)
// whose 取消 stops the run after the file it is merging.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <string>

#include "merge/merge_progress.h"

class QProgressDialog;
class QWidget;

namespace tavrio::app {

class MergeProgressDialog : public merge::MergeProgress {
 public:
  // The dialog shows once the run has taken `delay_ms`; the busy cursor shows at once, until the
  // object goes.
  MergeProgressDialog(QWidget* parent, int delay_ms);
  ~MergeProgressDialog() override;
  MergeProgressDialog(const MergeProgressDialog&) = delete;
  MergeProgressDialog& operator=(const MergeProgressDialog&) = delete;

  void FileStarting(int file, int files, const std::string& name,
                    std::int32_t merged_rows) override;
  void MergedWorkbookCreated(const std::string& name) override { merged_name_ = name; }
  bool StopRequested() override;

  // The file being merged (1-based, 0 before the first) and its name.
  int file() const { return file_; }
  const std::string& file_name() const { return file_name_; }
  // Empty until the first file's rows were pasted into a new workbook.
  const std::string& merged_name() const { return merged_name_; }
  // Whether the user pressed 取消 and the run has stopped for it.
  bool stopped() const { return stopped_; }

  // The run is over but for its summary: the dialog goes and the cursor is the usual one again.
  void Finish();

  // "正在合并第 2 个文件（共 3 个）：b.xlsx" and "已合并 41 行" on the line below.
  static QString LabelText(int file, int files, const std::string& name, std::int32_t rows);

 private:
  void ShowIfSlow();
  // Lets the dialog paint and its 取消 be clicked; anything else the user does waits until the
  // run ends, since the run reads the window's controls as it goes.
  void LetTheDialogRespond();

  QWidget* parent_;
  int delay_ms_;
  QElapsedTimer clock_;
  QPointer<QProgressDialog> dialog_;
  QString label_;
  int files_ = 0;
  int file_ = 0;
  std::string file_name_;
  std::string merged_name_;
  bool stopped_ = false;
  bool busy_cursor_ = true;
};

}  // namespace tavrio::app
