#pragma once

class QApplication;

namespace tavrio::app {

// What the program sets before its window is built, whatever the user's environment says: its
// name and version, the Chinese (PRC) locale (numbers, collation, the platform's own dialog
// texts), a font that has the Chinese glyphs, and one widget style, so that the fixed layout
// looks the same on every desktop.
void SetUpApplication(QApplication& application);

}  // namespace tavrio::app
