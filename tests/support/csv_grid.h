#pragma once

// A CSV file (as LibreOffice saves one) read as rows of fields, to compare a saved workbook's
// values cell by cell.

#include <string>
#include <vector>

namespace tavrio::testing {

using CsvGrid = std::vector<std::vector<std::string>>;

// Comma-separated rows; a field in double quotes may hold commas and doubled quotes. Empty when
// the file cannot be read.
CsvGrid ReadCsvGrid(const std::string& path);

// The field at 0-based `row` and `column`, or "(none)" past the grid's end.
std::string CsvField(const CsvGrid& grid, std::size_t row, std::size_t column);

// `xlsx`'s first sheet as LibreOffice shows it once it has calculated every formula anew,
// whatever results the file keeps (see RecalculatedCsv); fails the test and is empty when
// LibreOffice failed.
CsvGrid RecalculatedGrid(const std::string& xlsx, const std::string& work_dir);

}  // namespace tavrio::testing
