#include "app/window_shot.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace tavrio::app {

std::optional<QString> ShotOutput(int argc, char* argv[]) {
  if (argc == 2) return QString::fromLocal8Bit(argv[1]);
  std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
  return std::nullopt;
}

void SaveShotWhenSettled(QWidget& window, const QString& output) {
  // Painting settles a moment after the window is exposed; a short pause lets fonts load.
  QTimer::singleShot(800, &window, [&window, output] {
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    const bool saved = shot.save(output, "PNG");
    if (!saved) std::fprintf(stderr, "cannot save %s\n", output.toLocal8Bit().constData());
    QApplication::exit(saved ? 0 : 1);
  });
}

}  // namespace tavrio::app
