#pragma once

// The command line of tavrio-merge. The flags carry what the window's controls carry, as typed.

#include <optional>
#include <string>
#include <vector>

namespace tavrio::batch {

struct BatchOptions {
  bool help = false;
  // Absent: start at row 1 (默认从第一行开始); given: the typed text (选择合并起始行).
  std::optional<std::string> start_row;
  // A sheet by name, or by the position text as typed into the position box; neither: "1".
  std::optional<std::string> sheet_name;
  std::optional<std::string> sheet_index;
  std::string output;
  // Workbook files, merged in this order, or exactly one folder.
  std::vector<std::string> inputs;
};

// Reads the arguments after the program name. "--" ends the flags, so that a file whose name
// starts with "-" can be given. Fails with tavrio::Error naming the flag at fault: an unknown
// flag, a flag without its value, a flag given twice, both --sheet-name and --sheet-index, no -o,
// or no input. --help needs nothing else.
BatchOptions ParseArguments(const std::vector<std::string>& arguments);

// The text --help prints.
const char* UsageText();

}  // namespace tavrio::batch
