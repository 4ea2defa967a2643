// What the merge run reads from Form1's controls, at the moment it asks.

#include <QLineEdit>
#include <QRadioButton>

#include "app/form1.h"
#include "app/merge_progress_dialog.h"
#include "app/message_boxes.h"
#include "selection/file_list.h"

namespace tavrio::app {

bool Form1::Option1() { return option1_->isChecked(); }
bool Form1::Option2() { return option2_->isChecked(); }
bool Form1::Option3() { return option3_->isChecked(); }
bool Form1::Option4() { return option4_->isChecked(); }

std::string Form1::Text1() { return text1_->text().toStdString(); }
std::string Form1::Text2() { return text2_->text().toStdString(); }
std::string Form1::Text3() { return text3_->text().toStdString(); }

std::string Form1::FilePath() { return file1_->Path(); }
std::int16_t Form1::FileListCount() { return file1_->ListCount(); }
std::string Form1::FileName(std::int16_t index) { return file1_->List(index); }
bool Form1::FileSelected(std::int16_t index) { return file1_->Selected(index); }

// File1 holds its entries still while a merge runs, so what it shows now is what the run reads
// when it gets there.
std::optional<merge::MergeControls::ListedFile> Form1::PeekNextSelectedFile(std::int16_t index) {
  const std::int16_t count = file1_->ListCount();
  for (int next = index + 1; next < count; ++next) {
    const auto entry = static_cast<std::int16_t>(next);
    if (file1_->Selected(entry)) return ListedFile{entry, file1_->Path(), file1_->List(entry)};
  }
  return std::nullopt;
}

void Form1::ShowSummary(const std::string& message) {
  if (progress_) progress_->Finish();
  boxes_.Inform(this, QString::fromStdString(message));
}

}  // namespace tavrio::app
