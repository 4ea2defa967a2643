// Tavrio: starts the window in the folder it was started from. The program reads no command
// line of its own (Qt's own options, such as -platform, still apply).

#include <QApplication>
#include <QDir>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/sheets/sheet_dialogs.h"
#include "app/sheets/sheet_window_manager.h"
#include "automation/engine_host.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  tavrio::app::SetUpApplication(application);
  // Declared before the window so that it outlives it: the spreadsheet windows a merge leaves
  // open stay after the tool's window has closed, until the user closes them too.
  tavrio::automation::EngineHost host;
  tavrio::app::sheets::DesktopSheetDialogs sheet_dialogs;
  tavrio::app::sheets::SheetWindowManager sheet_windows(host.engine(), sheet_dialogs);
  tavrio::app::DialogMessageBoxes boxes;
  tavrio::app::Form1 form(host, boxes, QDir::currentPath().toStdString());
  form.SetIncompleteMergeHandler(
      [&sheet_windows](const std::string& workbook, const std::string& reason) {
        sheet_windows.MarkIncomplete(workbook, reason);
      });
  form.show();
  return QApplication::exec();
}
