#include "app/application_setup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

#include "app/program_icon.h"

namespace tavrio::app {

void SetUpApplication(QApplication& application) {
  QApplication::setApplicationName("Tavrio");
  QApplication::setApplicationVersion("1.0.0.0");
  QGuiApplication::setDesktopFileName("tavrio");
  QApplication::setQuitOnLastWindowClosed(true);
  QApplication::setWindowIcon(ProgramIcon());

  const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
  QLocale::setDefault(chinese);
  auto* translator = new QTranslator(&application);
  if (translator->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  }

  if (QStyle* style = QStyleFactory::create("Fusion")) QApplication::setStyle(style);
  QFont font("Noto Sans CJK SC");
  font.setPointSize(9);
  QApplication::setFont(font);
}

}  // namespace tavrio::app
