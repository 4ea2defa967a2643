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

  // What the window has no control for; each is off unless given.
  // The title of a column, after the data's last one, naming each row's source.
  std::optional<std::string> source_column;
  // Columns matched by the texts of the start row instead of by position.
  bool match_headers = false;
  // Every visible sheet of each workbook, instead of the one chosen.
  bool all_sheets = false;
  // A folder's subfolders are merged too.
  bool recursive = false;
  // An .xlsx output goes on to a new sheet when one is full.
  bool overflow_sheets = false;
  // Reports what would be merged and writes nothing.
  bool dry_run = false;

  // Whether the merge needs more than the window's merge run on its own gives.
  bool Extended() const {
    return source_column || match_headers || all_sheets || overflow_sheets || dry_run;
  }
};

// Reads the arguments after the program name. "--" ends the flags, so that a file whose name
// starts with "-" can be given. Fails with tavrio::Error naming the flag at fault: an unknown
// flag, a flag without its value, a flag given twice, both --sheet-name and --sheet-index, no -o
// (except with --dry-run), an empty --source-column title, --all-sheets with a sheet chosen, or
// no input. --help needs nothing else.
BatchOptions ParseArguments(const std::vector<std::string>& arguments);

// The text --help prints.
const char* UsageText();

}  // namespace tavrio::batch
