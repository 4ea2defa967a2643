#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tavrio::bench {

struct BenchOptions {
  bool help = false;
  bool quick = false;                  // scaled-down sets, for a smoke run
  std::vector<std::string> set_names;  // in the order given; empty means every set
  int repeat = 1;                      // runs of each step; the median time is reported
  std::filesystem::path data_root = "bench-data";
  bool python = true;         // false skips the openpyxl comparison
  bool formatted = false;     // the chosen sets' formatted twins instead of the plain ones
  bool uncalculated = false;  // their twins whose formulas carry no results
};

// Reads the command line (without the program name). Throws tavrio::Error naming the flag
// that is unknown, lacks its value or has a value out of range.
BenchOptions ParseOptions(const std::vector<std::string>& args);

// The text --help prints.
std::string Usage();

}  // namespace tavrio::bench
