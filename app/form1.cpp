#include "app/form1.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/program_icon.h"
#include "app/twips.h"
#include "automation/base/error.h"
#include "selection/file_list.h"
#include "selection/folder_list.h"
#include "selection/side_list.h"

namespace tavrio::app {
namespace {

struct Twips {
  int left;
  int top;
  int width;
  int height;
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  // A plain window has no default button; this makes Enter click the focused button only.
  button->setAutoDefault(true);
  return button;
}

QRadioButton* MakeOption(QWidget* parent, const char* name, const char* caption) {
  auto* option = new QRadioButton(QString::fromUtf8(caption), parent);
  option->setObjectName(name);
  return option;
}

QLineEdit* MakeText(QWidget* parent, const char* name, const char* text) {
  auto* box = new QLineEdit(QString::fromUtf8(text), parent);
  box->setObjectName(name);
  return box;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption) {
  auto* frame = new QGroupBox(QString::fromUtf8(caption), parent);
  frame->setObjectName(name);
  return frame;
}

}  // namespace

Form1::Form1(automation::ApplicationHost& host, MessageBoxes& boxes,
             const std::string& start_folder, selection::DriveList::Provider drives,
             QWidget* parent)
    : QWidget(parent), host_(host), boxes_(boxes) {
  setObjectName("Form1");
  setWindowTitle(QString::fromUtf8("Tavrio小工具"));
  setWindowIcon(ProgramIcon());
  CreateControls(std::move(drives));
  PlaceControls();
  SetTabOrder();
  BrowseStartFolder(start_folder);
  ConnectHandlers();
  Form_Load();
  command1_->setFocus();
}

void Form1::CreateControls(selection::DriveList::Provider drives) {
  frame3_ = MakeFrame(this, "Frame3", "选择需要合并的文件");
  drive1_ = new selection::DriveList(std::move(drives), frame3_);
  drive1_->setObjectName("Drive1");
  dir1_ = new selection::FolderList(frame3_);
  dir1_->setObjectName("Dir1");
  file1_ = new selection::FileList(frame3_);
  file1_->setObjectName("File1");
  command2_ = MakeButton(frame3_, "Command2", ">>>>");
  command3_ = MakeButton(frame3_, "Command3", "<<<<");
  command6_ = MakeButton(frame3_, "Command6", "全删");
  list1_ = new selection::SideList(frame3_);
  list1_->setObjectName("List1");

  frame2_ = MakeFrame(this, "Frame2", "选择从第几行开始合并");
  option1_ = MakeOption(frame2_, "Option1", "默认从第一行开始");
  option2_ = MakeOption(frame2_, "Option2", "选择合并起始行");
  text1_ = MakeText(frame2_, "Text1", "1");

  frame1_ = MakeFrame(this, "Frame1", "选择合并的工作表(sheet)");
  option3_ = MakeOption(frame1_, "Option3", "工作表(sheet)名称");
  text2_ = MakeText(frame1_, "Text2", kText2InitialText);
  text2_->setEnabled(false);  // Form_Load enables it before the window first shows
  option4_ = MakeOption(frame1_, "Option4", "工作表(sheet)序号");
  text3_ = MakeText(frame1_, "Text3", "1");

  command1_ = MakeButton(this, "Command1", "Tavrio");
  command4_ = MakeButton(this, "Command4", "EXIT");
  label1_ = new QLabel(
      QString::fromUtf8("Tavrio小工具 1.0 —— 选中同一文件夹里的多个工作簿，一键把它们的数据行"
                        "合并成一个新工作簿"),
      this);
  label1_->setObjectName("Label1");
  label1_->setTextFormat(Qt::PlainText);
}

void Form1::PlaceControls() {
  const int dpi_x = logicalDpiX();
  const int dpi_y = logicalDpiY();
  const auto place = [dpi_x, dpi_y](QWidget* widget, Twips twips) {
    widget->setGeometry(TwipsToPixels(twips.left, dpi_x), TwipsToPixels(twips.top, dpi_y),
                        TwipsToPixels(twips.width, dpi_x), TwipsToPixels(twips.height, dpi_y));
  };
  resize(TwipsToPixels(12165, dpi_x), TwipsToPixels(6630, dpi_y));
  place(frame3_, {240, 240, 8775, 6015});
  place(drive1_, {240, 360, 2295, 300});
  place(dir1_, {240, 840, 2175, 4920});
  place(file1_, {2520, 840, 2295, 4950});
  place(command2_, {4920, 1560, 855, 495});
  place(command3_, {4920, 2880, 855, 495});
  place(command6_, {4920, 4080, 855, 495});
  place(list1_, {5880, 840, 2655, 4920});
  place(frame2_, {9240, 240, 2655, 1575});
  place(option1_, {120, 360, 2655, 375});
  place(option2_, {120, 720, 2415, 375});
  place(text1_, {120, 1080, 2295, 375});
  place(frame1_, {9240, 2040, 2655, 2055});
  place(option3_, {120, 360, 2655, 255});
  place(text2_, {120, 720, 2295, 375});
  place(option4_, {120, 1200, 2655, 375});
  place(text3_, {120, 1560, 2295, 375});
  place(command1_, {9240, 4320, 2655, 735});
  place(command4_, {9240, 5280, 2655, 735});
  place(label1_, {240, 6360, 11655, 255});
}

void Form1::SetTabOrder() {
  QWidget* const order[] = {command1_, option3_, option4_, text2_,   text3_,    option1_,
                            option2_,  text1_,   drive1_,  list1_,   command2_, command3_,
                            command4_, file1_,   dir1_,    command6_};
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
}

void Form1::BrowseStartFolder(const std::string& start_folder) {
  dir1_->SetChangeHandler([this] { Dir1_Change(); });
  // The window must open even when started in a folder that has gone or cannot be read.
  for (const std::string& folder :
       {start_folder, QDir::homePath().toStdString(), std::string("/")}) {
    try {
      dir1_->SetPath(folder);
      break;
    } catch (const Error&) {
    }
  }
  drive1_->ShowDriveOf(dir1_->Path());
}

}  // namespace tavrio::app
