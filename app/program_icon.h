#pragma once

#include <QIcon>
#include <QImage>

namespace tavrio::app {

// The program's icon: two workbook pages, one behind the other, whose rows flow along an arrow
// into one page in front. Drawn in code so that every size is sharp.
QImage DrawProgramIcon(int size);

// The icon at the sizes desktops ask for (16 to 256 pixels).
QIcon ProgramIcon();

}  // namespace tavrio::app
