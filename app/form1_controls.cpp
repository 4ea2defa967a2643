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

void Form1::ShowSummary(const std::string& message) {
  if (progress_) progress_->Finish();
  boxes_.Inform(this, QString::fromStdString(message));
}

}  // namespace tavrio::app
