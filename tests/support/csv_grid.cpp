#include "tests/support/csv_grid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "tests/support/independent_readers.h"

namespace tavrio::testing {

CsvGrid ReadCsvGrid(const std::string& path) {
  CsvGrid grid;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> row(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
        row.back() += '"', ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (c == ',' && !quoted) {
        row.emplace_back();
      } else {
        row.back() += c;
      }
    }
    grid.push_back(row);
  }
  return grid;
}

std::string CsvField(const CsvGrid& grid, std::size_t row, std::size_t column) {
  if (row >= grid.size() || column >= grid[row].size()) return "(none)";
  return grid[row][column];
}

CsvGrid RecalculatedGrid(const std::string& xlsx, const std::string& work_dir) {
  const std::optional<std::string> csv = RecalculatedCsv(xlsx, work_dir);
  EXPECT_TRUE(csv.has_value()) << "LibreOffice could not recalculate " << xlsx;
  return csv ? ReadCsvGrid(*csv) : CsvGrid();
}

}  // namespace tavrio::testing
