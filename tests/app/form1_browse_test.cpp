// Drive -> folder -> file chaining, and browsing failures that leave the lists in place.

#include <QDir>

#include "tests/app/form1_test_fixture.h"

namespace tavrio::app {
namespace {

class Form1Browse : public Form1Test {
 protected:
  int RowOf(const char* folder) const {
    const QList<QListWidgetItem*> found = Dir1()->findItems(folder, Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << folder;
    return found.isEmpty() ? -1 : Dir1()->row(found.front());
  }
};
using Names = std::vector<std::string>;

const Names kTestFolderFiles = {"销售_二月.xlsx", "销售_三月.xlsx", "销售_一月.xlsx"};

TEST_F(Form1Browse, StartsOnTheStartFolderAndItsDrive) {
  Start();
  EXPECT_EQ(Drive1()->currentText().toStdString(), "测试盘");
  EXPECT_EQ(Dir1()->Path(), folder_.path());
  EXPECT_EQ(File1()->Path(), folder_.path());
  EXPECT_EQ(FileEntries(), kTestFolderFiles);
}

TEST_F(Form1Browse, ChoosingADriveMovesTheFolderListThenTheFileList) {
  Start();
  SelectFiles({0, 1});

  Drive1()->setCurrentIndex(Drive1()->findText("别的盘"));

  EXPECT_EQ(Dir1()->Path(), folder_.File("other"));
  EXPECT_EQ(File1()->Path(), folder_.File("other"));
  EXPECT_EQ(FileEntries(), (Names{"别处.xlsx"}));
  EXPECT_TRUE(File1()->selectedItems().isEmpty());
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Form1Browse, OpeningAFolderMovesTheFileListThere) {
  Start();
  form_->show();
  DoubleClickEntry(Dir1(), RowOf("子文件夹"));

  EXPECT_EQ(Dir1()->Path(), folder_.File("子文件夹"));
  EXPECT_EQ(File1()->Path(), folder_.File("子文件夹"));
  EXPECT_EQ(FileEntries(), (Names{"内部.xlsx"}));
  EXPECT_EQ(Drive1()->currentText().toStdString(), "测试盘");
}

TEST_F(Form1Browse, ADriveThatIsGoneIsReportedAndEveryListStaysWhereItWas) {
  Start();
  SelectFiles({2});

  Drive1()->setCurrentIndex(Drive1()->findText("已拔出的U盘"));

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].error_number, 76);
  EXPECT_EQ(boxes_.shown[0].text,
            "运行时错误 '76':\n\n无法打开文件夹“" + folder_.File("usb") + "”：路径未找到");
  EXPECT_EQ(Drive1()->currentText().toStdString(), "测试盘");
  EXPECT_EQ(Dir1()->Path(), folder_.path());
  EXPECT_EQ(File1()->Path(), folder_.path());
  EXPECT_EQ(FileEntries(), kTestFolderFiles);
  EXPECT_TRUE(File1()->Selected(2));
}

TEST_F(Form1Browse, AFolderThatVanishedIsReportedAndTheListsStay) {
  Start();
  form_->show();
  std::filesystem::remove_all(folder_.File("子文件夹"));

  DoubleClickEntry(Dir1(), RowOf("子文件夹"));

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].error_number, 76);
  EXPECT_EQ(Dir1()->Path(), folder_.path());
  EXPECT_EQ(FileEntries(), kTestFolderFiles);
}

TEST_F(Form1Browse, AStartFolderThatCannotBeReadFallsBackToTheHomeFolder) {
  Start(folder_.File("没有这个文件夹"));
  EXPECT_EQ(Dir1()->Path(), QDir::homePath().toStdString());
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Form1Browse, TheMergeReadsTheFileListAsItStands) {
  Start();
  SelectFiles({0, 2});
  merge::MergeControls& controls = *form_;
  EXPECT_EQ(controls.FilePath(), folder_.path());
  EXPECT_EQ(controls.FileListCount(), 3);
  EXPECT_EQ(controls.FileName(1), "销售_三月.xlsx");
  EXPECT_TRUE(controls.FileSelected(0));
  EXPECT_FALSE(controls.FileSelected(1));
  EXPECT_TRUE(controls.FileSelected(2));
}

}  // namespace
}  // namespace tavrio::app
