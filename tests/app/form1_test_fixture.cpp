#include "tests/app/form1_test_fixture.h"

#include <QApplication>
#include <QCursor>
#include <QTest>

#include "tests/selection/user_input.h"

namespace tavrio::app {
namespace {

bool BusyCursorShowing() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::BusyCursor;
}

}  // namespace

void RecordingMessageBoxes::Inform(QWidget*, const QString& text) {
  shown.push_back({text.toStdString(), 0, BusyCursorShowing()});
}

void RecordingMessageBoxes::ReportError(QWidget*, const Error& error) {
  shown.push_back({FormatError(error), error.number(), BusyCursorShowing()});
}

Form1Test::Form1Test() {
  for (const char* name : {"销售_一月.xlsx", "销售_二月.xlsx", "销售_三月.xlsx", ".~lock.x#"}) {
    folder_.AddFile(name);
  }
  folder_.AddFile("other/别处.xlsx");
  folder_.AddFile("子文件夹/内部.xlsx");
}

void Form1Test::Start(const std::string& start_folder) {
  const std::string test_root = folder_.path();
  const std::string other = folder_.File("other");
  form_ = std::make_unique<Form1>(
      host_, boxes_, start_folder.empty() ? test_root : start_folder, [test_root, other] {
        return std::vector<selection::DriveEntry>{{"文件系统", "/"},
                                                  {"测试盘", test_root},
                                                  {"别的盘", other},
                                                  {"已拔出的U盘", test_root + "/usb"}};
      });
}

void Form1Test::Click(QWidget* control) const { QTest::mouseClick(control, Qt::LeftButton); }

void Form1Test::SelectFiles(const std::vector<int>& rows) const {
  File1()->clearSelection();
  for (int row : rows) File1()->item(row)->setSelected(true);
}

void Form1Test::DoubleClickEntry(QListWidget* list, int row) const {
  testing::DoubleClickEntry(list, row);
}

std::vector<std::string> Form1Test::FileEntries() const {
  std::vector<std::string> names;
  for (std::int16_t i = 0; i < File1()->ListCount(); ++i) names.push_back(File1()->List(i));
  return names;
}

std::vector<std::string> Form1Test::SideEntries() const {
  std::vector<std::string> names;
  for (int i = 0; i < List1()->count(); ++i)
    names.push_back(List1()->item(i)->text().toStdString());
  return names;
}

}  // namespace tavrio::app
