#include "tests/selection/user_input.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>

namespace tavrio::testing {

void DoubleClickAt(QWidget* widget, QPoint position) {
  QTest::mousePress(widget, Qt::LeftButton, {}, position);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, position);
  QTest::mousePress(widget, Qt::LeftButton, {}, position);
  QMouseEvent double_click(QEvent::MouseButtonDblClick, position, widget->mapToGlobal(position),
                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &double_click);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, position);
}

void DoubleClickEntry(QListWidget* list, int row) {
  list->scrollToItem(list->item(row));
  DoubleClickAt(list->viewport(), list->visualItemRect(list->item(row)).center());
}

}  // namespace tavrio::testing
