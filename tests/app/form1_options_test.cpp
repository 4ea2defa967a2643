// The state Form_Load leaves, the option buttons' enabling rules and the keyboard focus.

#include <QApplication>
#include <QTest>

#include "tests/app/form1_test_fixture.h"

namespace tavrio::app {
namespace {

using Form1Options = Form1Test;

TEST_F(Form1Options, FormLoadLeavesTheStartingState) {
  Start();
  EXPECT_EQ(form_->windowTitle().toStdString(), "Tavrio小工具");
  EXPECT_TRUE(Option("Option1")->isChecked());
  EXPECT_FALSE(Option("Option2")->isChecked());
  EXPECT_TRUE(Option("Option3")->isChecked());
  EXPECT_FALSE(Option("Option4")->isChecked());
  EXPECT_FALSE(Text("Text1")->isEnabled());
  EXPECT_TRUE(Text("Text2")->isEnabled());
  EXPECT_FALSE(Text("Text3")->isEnabled());
  EXPECT_EQ(Text("Text1")->text().toStdString(), "1");
  EXPECT_EQ(Text("Text2")->text().toStdString(), "请输入工作表名称");
  EXPECT_EQ(Text("Text3")->text().toStdString(), "1");
  EXPECT_EQ(List1()->count(), 0);
  EXPECT_TRUE(File1()->selectedItems().isEmpty());
  EXPECT_TRUE(boxes_.shown.empty());
}

struct ClickCase {
  const char* label;
  std::vector<const char*> clicks;
  std::vector<const char*> on;  // the option buttons on afterwards
  bool text1_enabled;
  bool text2_enabled;
  bool text3_enabled;
};

class Form1OptionClicks : public Form1Test, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Form1OptionClicks, EnableExactlyTheTextBoxOfTheOptionThatIsOn) {
  Start();
  form_->show();
  for (const char* name : GetParam().clicks) Click(Option(name));
  for (const char* name : {"Option1", "Option2", "Option3", "Option4"}) {
    const bool expected_on =
        std::find_if(GetParam().on.begin(), GetParam().on.end(), [name](const char* on) {
          return std::string(on) == name;
        }) != GetParam().on.end();
    EXPECT_EQ(Option(name)->isChecked(), expected_on) << name;
  }
  EXPECT_EQ(Text("Text1")->isEnabled(), GetParam().text1_enabled);
  EXPECT_EQ(Text("Text2")->isEnabled(), GetParam().text2_enabled);
  EXPECT_EQ(Text("Text3")->isEnabled(), GetParam().text3_enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, Form1OptionClicks,
    ::testing::Values(ClickCase{"Option2", {"Option2"}, {"Option2", "Option3"}, true, true, false},
                      ClickCase{"Option2ThenOption1",
                                {"Option2", "Option1"},
                                {"Option1", "Option3"},
                                false,
                                true,
                                false},
                      ClickCase{"Option4", {"Option4"}, {"Option1", "Option4"}, false, false, true},
                      ClickCase{"Option4ThenOption3",
                                {"Option4", "Option3"},
                                {"Option1", "Option3"},
                                false,
                                true,
                                false},
                      ClickCase{"BothGroupsAreIndependent",
                                {"Option2", "Option4"},
                                {"Option2", "Option4"},
                                true,
                                false,
                                true},
                      ClickCase{"ClickingTheOptionThatIsOn",
                                {"Option1", "Option3"},
                                {"Option1", "Option3"},
                                false,
                                true,
                                false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Form1Options, ADisabledBoxKeepsItsTextAndShowsItAgain) {
  Start();
  form_->show();
  Click(Option("Option2"));
  Text("Text1")->setText("5");
  Click(Option("Option1"));
  EXPECT_FALSE(Text("Text1")->isEnabled());
  EXPECT_EQ(Text("Text1")->text().toStdString(), "5");
  Click(Option("Option2"));
  EXPECT_TRUE(Text("Text1")->isEnabled());
  EXPECT_EQ(Text("Text1")->text().toStdString(), "5");
}

std::vector<std::string> TabStops(int count) {
  std::vector<std::string> stops;
  for (int i = 0; i < count; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    stops.push_back(QApplication::focusWidget()->objectName().toStdString());
  }
  return stops;
}

TEST_F(Form1Options, FocusStartsOnCommand1AndTabSkipsDisabledBoxesAndOptionsThatAreOff) {
  Start();
  form_->show();
  QApplication::setActiveWindow(form_.get());
  ASSERT_EQ(QApplication::focusWidget(), Button("Command1"));

  EXPECT_EQ(TabStops(13),
            (std::vector<std::string>{"Option3", "Text2", "Option1", "Drive1", "List1", "Command2",
                                      "Command3", "Command4", "File1", "Dir1", "Command6",
                                      "Command1", "Option3"}));
}

TEST_F(Form1Options, TabReachesTheBoxesThatTheOptionsEnabled) {
  Start();
  form_->show();
  QApplication::setActiveWindow(form_.get());
  Click(Option("Option2"));
  Click(Option("Option4"));
  Button("Command1")->setFocus();

  EXPECT_EQ(TabStops(6),
            (std::vector<std::string>{"Option4", "Text3", "Option2", "Text1", "Drive1", "List1"}));
}

}  // namespace
}  // namespace tavrio::app
