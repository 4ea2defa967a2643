#pragma once

// What the tools that make the README's pictures share: reading their one argument, and grabbing
// a window from the screen once the window system has drawn it.

#include <QString>
#include <QWidget>
#include <optional>

namespace tavrio::app {

// The picture's path, the tool's one argument; nothing, after printing the usage, otherwise.
std::optional<QString> ShotOutput(int argc, char* argv[]);

// Grabs `window` once its painting has settled, saves it to `output` as PNG and ends the event
// loop with status 0, or 1 when the picture cannot be saved.
void SaveShotWhenSettled(QWidget& window, const QString& output);

}  // namespace tavrio::app
