#include "automation/engine_host.h"

#include <thread>

#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"

namespace tavrio::automation {
namespace {

// Reading a sheet keeps two threads busy already (one inflates, one parses), and reading ahead
// adds a third. On two cores that made the merge slower, not faster: the many set's merge
// (200 files of 2000 rows, tavrio-bench-merge, runs raised above the other builds on the
// machine, taking turns, medians of 7) took 0.40 s without it, 0.59 s with it and 0.57 s
// reading only the next file ahead, at about the same CPU time (0.60 s); the page faults
// tripled (6,400 -> 17,000 to 20,000), the source workbooks no longer following each other
// in the same memory. So it is left to machines with a core for each; there it is not
// measured yet.
constexpr unsigned kReadAheadFromThreads = 4;

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
    engine_->SetReadAhead(std::thread::hardware_concurrency() >= kReadAheadFromThreads);
  }
  return *engine_;
}

}  // namespace tavrio::automation
