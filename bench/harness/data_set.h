#pragma once

// The workbooks the benchmark merges: made once by the project's workbook generator and kept in
// a folder of their own, so that later runs measure the merge and not the making.

#include <filesystem>
#include <string>
#include <vector>

namespace tavrio::bench {

struct DataSet {
  std::string name;  // also the name of its folder, with the sizes appended
  int files = 0;
  int rows = 0;
  int columns = 0;
  bool formatted = false;      // made with the generator's --formatted
  bool stored_results = true;  // false: and --unstored-results
};

// many: 200 files x 2,000 rows; million: 25 files x 40,000 rows, both 12 columns wide; then
// many-formatted and million-formatted, the same shapes with formatted workbooks whose formula
// column carries the results an application saved; then many-uncalculated and
// million-uncalculated, their twins whose formulas carry none (the engine calculates them).
// The quick sets have the same names and shapes scaled down, for a smoke run of a few seconds.
std::vector<DataSet> StandardSets(bool quick);

// Where a set's workbooks live under `root`: the name and the sizes, so that a change of size
// never reuses workbooks of another shape.
std::filesystem::path DataSetFolder(const DataSet& set, const std::filesystem::path& root);

// Returns the set's workbooks in name order. When the folder does not hold a complete set (no
// record of a finished generation with these sizes, or a workbook missing), the folder is
// emptied and `generator` is run to fill it again. Throws tavrio::Error when the generator
// cannot be run, fails, or leaves a number of workbooks other than the set's.
std::vector<std::filesystem::path> EnsureDataSet(const DataSet& set,
                                                 const std::filesystem::path& root,
                                                 const std::string& generator);

}  // namespace tavrio::bench
