// Saves a picture of the window as it first shows, for the README. Kept out of the program
// itself: it starts the window in the current folder, waits until the window system has drawn
// it, grabs it from the screen and exits.

#include <QApplication>
#include <QDir>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/window_shot.h"
#include "automation/engine_host.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const std::optional<QString> output = tavrio::app::ShotOutput(argc, argv);
  if (!output) return 2;
  tavrio::app::SetUpApplication(application);
  tavrio::automation::EngineHost host;
  tavrio::app::DialogMessageBoxes boxes;
  tavrio::app::Form1 form(host, boxes, QDir::currentPath().toStdString());
  form.show();
  tavrio::app::SaveShotWhenSettled(form, *output);
  return QApplication::exec();
}
