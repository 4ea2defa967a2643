// The window's controls: names, kinds, containers, captions and their place from twips.

#include "app/twips.h"
#include "tests/app/form1_test_fixture.h"

namespace tavrio::app {
namespace {

TEST(TwipsToPixels, FifteenTwipsAPixelAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(12165, 96), 811);
  EXPECT_EQ(TwipsToPixels(6630, 96), 442);
  EXPECT_EQ(TwipsToPixels(255, 96), 17);
  EXPECT_EQ(TwipsToPixels(15, 96), 1);
  EXPECT_EQ(TwipsToPixels(12165, 144), 1217);  // 1216.5 rounds up
  EXPECT_EQ(TwipsToPixels(1440, 120), 120);
  EXPECT_EQ(TwipsToPixels(0, 192), 0);
}

struct PlacedControl {
  const char* name;
  const char* container;
  const char* caption;  // nullptr: the control has none
  QRect pixels_at_96_dpi;
};

std::string CaptionOf(const QWidget* control) {
  if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
    return frame->title().toStdString();
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
    return button->text().toStdString();
  }
  if (const auto* box = qobject_cast<const QLineEdit*>(control)) return box->text().toStdString();
  return {};
}

class Form1Layout : public Form1Test, public ::testing::WithParamInterface<PlacedControl> {};

TEST_P(Form1Layout, ControlSitsInItsContainerWithItsCaptionAndGeometry) {
  Start();
  const PlacedControl& expected = GetParam();
  const QWidget* control = Control<QWidget>(expected.name);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->parentWidget()->objectName().toStdString(), expected.container);
  if (expected.caption != nullptr) {
    EXPECT_EQ(CaptionOf(control), expected.caption);
  }
  if (form_->logicalDpiX() != 96 || form_->logicalDpiY() != 96) {
    GTEST_SKIP() << "the pixel sizes below are for a 96 dpi screen";
  }
  EXPECT_EQ(control->geometry(), expected.pixels_at_96_dpi);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Form1Layout,
    ::testing::Values(
        PlacedControl{"Frame3", "Form1", "选择需要合并的文件", QRect(16, 16, 585, 401)},
        PlacedControl{"Drive1", "Frame3", nullptr, QRect(16, 24, 153, 20)},
        PlacedControl{"Dir1", "Frame3", nullptr, QRect(16, 56, 145, 328)},
        PlacedControl{"File1", "Frame3", nullptr, QRect(168, 56, 153, 330)},
        PlacedControl{"Command2", "Frame3", ">>>>", QRect(328, 104, 57, 33)},
        PlacedControl{"Command3", "Frame3", "<<<<", QRect(328, 192, 57, 33)},
        PlacedControl{"Command6", "Frame3", "全删", QRect(328, 272, 57, 33)},
        PlacedControl{"List1", "Frame3", nullptr, QRect(392, 56, 177, 328)},
        PlacedControl{"Frame2", "Form1", "选择从第几行开始合并", QRect(616, 16, 177, 105)},
        PlacedControl{"Option1", "Frame2", "默认从第一行开始", QRect(8, 24, 177, 25)},
        PlacedControl{"Option2", "Frame2", "选择合并起始行", QRect(8, 48, 161, 25)},
        PlacedControl{"Text1", "Frame2", "1", QRect(8, 72, 153, 25)},
        PlacedControl{"Frame1", "Form1", "选择合并的工作表(sheet)", QRect(616, 136, 177, 137)},
        PlacedControl{"Option3", "Frame1", "工作表(sheet)名称", QRect(8, 24, 177, 17)},
        PlacedControl{"Text2", "Frame1", "请输入工作表名称", QRect(8, 48, 153, 25)},
        PlacedControl{"Option4", "Frame1", "工作表(sheet)序号", QRect(8, 80, 177, 25)},
        PlacedControl{"Text3", "Frame1", "1", QRect(8, 104, 153, 25)},
        PlacedControl{"Command1", "Form1", "Tavrio", QRect(616, 288, 177, 49)},
        PlacedControl{"Command4", "Form1", "EXIT", QRect(616, 352, 177, 49)},
        PlacedControl{"Label1", "Form1", nullptr, QRect(16, 424, 777, 17)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, ClientAreaIs811By442At96DpiAndResizingMovesNothing) {
  Start();
  if (form_->logicalDpiX() != 96 || form_->logicalDpiY() != 96) GTEST_SKIP() << "not 96 dpi";
  EXPECT_EQ(form_->size(), QSize(811, 442));
  form_->show();
  const QRect command1 = Button("Command1")->geometry();
  const QRect list1 = List1()->geometry();
  form_->resize(1200, 900);
  EXPECT_EQ(Button("Command1")->geometry(), command1);
  EXPECT_EQ(List1()->geometry(), list1);
  form_->resize(300, 200);
  EXPECT_EQ(Button("Command1")->geometry(), command1);
}

TEST_F(Form1Test, TheCreditLineIsOneLineOfPlainTextThatFitsTheLabel) {
  Start();
  const auto* label = Control<QLabel>("Label1");
  EXPECT_FALSE(label->text().isEmpty());
  EXPECT_FALSE(label->wordWrap());
  EXPECT_FALSE(label->text().contains('\n'));
  EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
}

TEST_F(Form1Test, EveryButtonAnswersEnterAndNoneIsTheDefault) {
  Start();
  for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Command6"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Button(name)->autoDefault());
    EXPECT_FALSE(Button(name)->isDefault());
  }
}

TEST_F(Form1Test, ListsUseExtendedSelectionAndTheSideListIsUnsorted) {
  Start();
  EXPECT_EQ(File1()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(List1()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_FALSE(List1()->isSortingEnabled());
}

}  // namespace
}  // namespace tavrio::app
