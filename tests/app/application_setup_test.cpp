#include "app/application_setup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QLocale>

namespace tavrio::app {
namespace {

TEST(ApplicationSetup, ForcesTheChineseLocaleVersionAndACjkFontWhateverTheEnvironmentSays) {
  const QLocale before = QLocale();
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // a user's own setting

  SetUpApplication(*qApp);

  EXPECT_EQ(QLocale().name().toStdString(), "zh_CN");
  EXPECT_EQ(QLocale().toString(1234.5, 'f', 1).toStdString(), "1,234.5");
  EXPECT_EQ(QApplication::applicationName().toStdString(), "Tavrio");
  EXPECT_EQ(QApplication::applicationVersion().toStdString(), "1.0.0.0");
  EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
  EXPECT_FALSE(QApplication::windowIcon().isNull());
  // The platform's own dialog texts, such as a message box's OK button, come in Chinese.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK").toStdString(), "确定");
  if (QFontDatabase::families().contains("Noto Sans CJK SC")) {
    EXPECT_EQ(QFontInfo(QApplication::font()).family().toStdString(), "Noto Sans CJK SC");
  }
  QLocale::setDefault(before);
}

}  // namespace
}  // namespace tavrio::app
