// Writes the program icon as PNG files into a hicolor icon theme tree, for installing.

#include <QDir>
#include <QString>
#include <cstdio>

#include "app/program_icon.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s ICON_THEME_DIR\n", argv[0]);
    return 2;
  }
  const QString theme = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QString("%1/%2x%2/apps").arg(theme).arg(size);
    if (!QDir().mkpath(folder) ||
        !tavrio::app::DrawProgramIcon(size).save(folder + "/tavrio.png", "PNG")) {
      std::fprintf(stderr, "cannot write the %dx%d icon into %s\n", size, size, argv[1]);
      return 1;
    }
  }
  return 0;
}
