#pragma once

#include <string>

#include "automation/engine/save_report.h"

class QWidget;

namespace tavrio::automation {
class Engine;
}

namespace tavrio::app::sheets {

// Saves an engine workbook while its windows stay responsive to repaint. Sheets not read yet are
// read first, on the calling thread (Engine::PrepareSave); then the file is written on a worker
// thread while this thread only paints (user input is held back and an application-modal
// progress dialog blocks every other window). During the write both threads only read the
// workbook and nobody drives the engine; only after the worker is joined does the workbook take
// the file's name (Engine::FinishSave). The file is on disk before this returns. Throws
// tavrio::Error, and reports what the format could not carry, as Engine::SaveWorkbookAs does.
automation::engine::SaveReport SaveWithProgress(QWidget* parent, automation::Engine& engine,
                                                const std::string& workbook_name,
                                                const std::string& path);

// Whether a save is running: the engine must not be driven until it ends.
bool SaveRunning();

}  // namespace tavrio::app::sheets
