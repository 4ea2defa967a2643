#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace tavrio::app {
namespace {

// The picture is laid out on a 32 x 32 grid and scaled to the size asked for.
constexpr double kGrid = 32.0;

const QColor kPageEdge(0x2e, 0x6b, 0x3c);
const QColor kHeader(0x3f, 0x9a, 0x55);
const QColor kBackPage(0xd8, 0xee, 0xdc);
const QColor kArrow(0xf0, 0x8c, 0x1e);

void DrawPage(QPainter& painter, const QRectF& page, const QColor& fill, bool grid) {
  painter.setPen(QPen(kPageEdge, 1.2));
  painter.setBrush(fill);
  painter.drawRect(page);
  painter.fillRect(QRectF(page.left(), page.top(), page.width(), page.height() / 4), kHeader);
  if (!grid) return;
  painter.setPen(QPen(kPageEdge, 0.8));
  for (int row = 2; row < 4; ++row) {
    const double y = page.top() + page.height() * row / 4;
    painter.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
  }
  const double x = page.left() + page.width() / 3;
  painter.drawLine(QPointF(x, page.top() + page.height() / 4), QPointF(x, page.bottom()));
}

void DrawArrow(QPainter& painter) {
  QPainterPath arrow;
  arrow.moveTo(4, 20);
  arrow.lineTo(11, 20);
  arrow.lineTo(11, 16.5);
  arrow.lineTo(17, 22.5);
  arrow.lineTo(11, 28.5);
  arrow.lineTo(11, 25);
  arrow.lineTo(4, 25);
  arrow.closeSubpath();
  painter.setPen(QPen(QColor(0x9a, 0x50, 0x00), 1.0));
  painter.setBrush(kArrow);
  painter.drawPath(arrow);
}

}  // namespace

QImage DrawProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / kGrid, size / kGrid);
  DrawPage(painter, QRectF(2.5, 2.5, 14, 13), kBackPage, size >= 24);
  DrawPage(painter, QRectF(15.5, 9.5, 14, 20), Qt::white, true);
  DrawArrow(painter);
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
  }
  return icon;
}

}  // namespace tavrio::app
