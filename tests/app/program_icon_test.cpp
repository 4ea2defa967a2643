#include "app/program_icon.h"

#include <gtest/gtest.h>

namespace tavrio::app {
namespace {

// Share of pixels that are not fully transparent: the picture must fill the square well at
// every size, not shrink to a dot or vanish at 16 pixels.
double CoveredShare(const QImage& image) {
  int covered = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) covered += qAlpha(image.pixel(x, y)) > 0;
  }
  return static_cast<double>(covered) / (image.width() * image.height());
}

TEST(ProgramIcon, IsDrawnAtEverySizeADesktopAsksFor) {
  const QIcon icon = ProgramIcon();
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = DrawProgramIcon(size);
    EXPECT_EQ(image.size(), QSize(size, size));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_GT(CoveredShare(image), 0.4);
    EXPECT_LT(CoveredShare(image), 0.95);
  }
}

}  // namespace
}  // namespace tavrio::app
