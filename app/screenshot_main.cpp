// Saves a picture of the window as it first shows, for the README. Kept out of the program
// itself: it starts the window in the current folder, waits until the window system has drawn
// it, grabs it from the screen and exits.

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "automation/engine/engine_host.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  tavrio::app::SetUpApplication(application);
  tavrio::automation::EngineHost host;
  tavrio::app::DialogMessageBoxes boxes;
  tavrio::app::Form1 form(host, boxes, QDir::currentPath().toStdString());
  form.show();
  const QString output = QString::fromLocal8Bit(argv[1]);
  int status = 1;
  // Painting settles a moment after the window is exposed; a short pause lets fonts load.
  QTimer::singleShot(800, &form, [&] {
    const QPixmap shot = form.screen()->grabWindow(form.winId());
    status = shot.save(output, "PNG") ? 0 : 1;
    if (status != 0) std::fprintf(stderr, "cannot save %s\n", argv[1]);
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}
