// Saves a picture of the merged workbook's window, for the README. Kept out of the program: it
// starts the tool's window in the current folder, selects every file there, chooses sheet
// position 1, runs the merge as the merge button does, then grabs the window the merge left open
// and exits.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/sheets/sheet_dialogs.h"
#include "app/sheets/sheet_window.h"
#include "app/sheets/sheet_window_manager.h"
#include "app/window_shot.h"
#include "automation/base/error.h"
#include "automation/engine_host.h"
#include "selection/file_list.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const std::optional<QString> output = tavrio::app::ShotOutput(argc, argv);
  if (!output) return 2;
  tavrio::app::SetUpApplication(application);
  tavrio::automation::EngineHost host;
  tavrio::app::sheets::DesktopSheetDialogs sheet_dialogs;
  tavrio::app::sheets::SheetWindowManager sheet_windows(host.engine(), sheet_dialogs);
  tavrio::app::TerminalMessageBoxes boxes;
  tavrio::app::Form1 form(host, boxes, QDir::currentPath().toStdString());
  form.show();
  QTimer::singleShot(300, &form, [&] {
    // The samples keep their rows on the first sheet: merge by sheet position 1.
    form.findChild<QRadioButton*>("Option4")->click();
    form.findChild<QLineEdit*>("Text3")->setText("1");
    form.findChild<tavrio::selection::FileList*>()->selectAll();
    try {
      form.CombineWorkbooks();
    } catch (const tavrio::Error& error) {
      boxes.ReportError(&form, error);
      QApplication::exit(1);
      return;
    }
    const auto* merged = host.engine().ActiveWorkbook();
    tavrio::app::sheets::SheetWindow* window =
        merged ? sheet_windows.WindowOf(merged->name()) : nullptr;
    if (window == nullptr) {
      std::fprintf(stderr, "no merged workbook window\n");
      QApplication::exit(1);
      return;
    }
    window->move(40, 30);
    window->raise();
    tavrio::app::SaveShotWhenSettled(*window, *output);
  });
  return QApplication::exec();
}
