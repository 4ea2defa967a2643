#include "automation/engine_host.h"

#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"

namespace tavrio::automation {
namespace {

class EngineInstance final : public PrivateApplication {
 public:
  explicit EngineInstance(Engine& engine) : engine_(engine) {}
  void SetVisible(bool visible) override { engine_.SetVisible(visible); }

 private:
  Engine& engine_;
};

}  // namespace

EngineHost::EngineHost() = default;
EngineHost::~EngineHost() = default;

SpreadsheetApplication& EngineHost::GlobalContext() { return engine(); }

std::unique_ptr<PrivateApplication> EngineHost::CreatePrivateInstance() {
  return std::make_unique<EngineInstance>(engine());
}

Engine& EngineHost::engine() {
  if (!engine_) {
    engine_ = std::make_unique<Engine>(&readers::OpenWorkbookFile, &writers::SaveWorkbook);
  }
  return *engine_;
}

}  // namespace tavrio::automation
