#pragma once

// Workbook files that exist only in memory, handed to an Engine through its reader factory, so
// that tests can give cells any value and number format.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::app::sheets::testing {

struct FakeCell {
  std::uint32_t row;
  std::uint16_t column;
  automation::CellValue value;
  std::string number_format = "General";
  std::string formula = {};  // without '='; the value is then its stored result (none: monostate)
};

struct FakeSheet {
  std::string name;
  std::vector<FakeCell> cells;
  bool hidden = false;
};

using FakeFiles = std::map<std::string, std::vector<FakeSheet>>;

// An engine whose files are `files` (by path); any other path fails to open with 1004. The map
// must outlive the engine.
std::unique_ptr<automation::Engine> EngineOver(const FakeFiles& files);

}  // namespace tavrio::app::sheets::testing
