#pragma once

#include <QPoint>

class QListWidget;
class QWidget;

namespace tavrio::testing {

// A double-click as a window system delivers it: press, release, press, double-click, release.
void DoubleClickAt(QWidget* widget, QPoint position);

// Double-clicks entry `row` of `list`, scrolled into view first.
void DoubleClickEntry(QListWidget* list, int row);

}  // namespace tavrio::testing
