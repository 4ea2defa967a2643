#pragma once

#include <memory>

#include "automation/engine/engine.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::automation {

// Reaches the one embedded engine of the process, reading files by their content and saving them
// as .xlsx or .csv. The engine is created on first use and lives
// as long as the host; every private instance handed out is a view of that same engine, so
// making one visible makes the engine's windows visible.
class EngineHost : public ApplicationHost {
 public:
  EngineHost();
  ~EngineHost() override;

  SpreadsheetApplication& GlobalContext() override;
  std::unique_ptr<PrivateApplication> CreatePrivateInstance() override;

  Engine& engine();
  bool HasEngine() const { return engine_ != nullptr; }

 private:
  std::unique_ptr<Engine> engine_;
};

}  // namespace tavrio::automation
