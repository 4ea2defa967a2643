#pragma once

#include <string>

#include "automation/engine/save_report.h"

class QWidget;

namespace tavrio::automation {
class Engine;
}

namespace tavrio::app::sheets {

// Saves an engine workbook while its windows stay responsive to repaint. The writing runs on a
// worker thread; meanwhile the user-interface thread only paints (every other window is blocked
// by an application-modal progress dialog), so the engine is never driven from two threads.
// Sheets not read yet are read first, on the calling thread, so that painting never meets a
// workbook that is still growing. Throws tavrio::Error, and reports, as Engine::SaveWorkbookAs.
automation::engine::SaveReport SaveWithProgress(QWidget* parent, automation::Engine& engine,
                                                const std::string& workbook_name,
                                                const std::string& path);

// Whether a save is running: the engine must not be driven until it ends.
bool SaveRunning();

}  // namespace tavrio::app::sheets
