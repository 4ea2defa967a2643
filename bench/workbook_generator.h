#pragma once

// Makes workbooks to merge: deterministic mixed content (Chinese and ASCII text, whole and
// fractional numbers, dates shown with a date format) under a header row, for benchmarks,
// tests and a newcomer's first merge.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrio::bench {

struct GeneratedSet {
  int files = 1;
  int rows = 100;    // data rows under the header row
  int columns = 12;  // at least 1
  std::uint64_t seed = 1;
  std::string prefix = "book";
  // Texts written inline in each cell rather than in the workbook's shared-strings table.
  // Excel, LibreOffice and openpyxl all write the table, so it is the default; inline strings
  // are what writers that stream rows (libxlsxwriter's constant-memory mode) produce.
  bool inline_strings = false;
  // The look of a workbook kept by hand: a bold, filled, bordered header row with a custom
  // height and a merged cell, fonts, fills and borders on the data, several number formats
  // (dates, times, money, percentages), a formula column with cached results and a few rows
  // of a height of their own. The values are those of the plain workbook except in the formula
  // column, so a formatted set costs a reader the same texts and numbers plus the styles.
  bool formatted = false;
  // Whether a formatted set's formulas carry the results a spreadsheet application saved (and
  // the file reads as that application saved it), or carry 0 and ask the opening application
  // to calculate them, as libxlsxwriter and other programs write them.
  bool stored_results = true;
};

// Writes `set.files` workbooks into `folder` (created if missing), named prefix_0001.xlsx, ...,
// so that name order is generation order. Each has one sheet "Sheet1": a header row, then
// `set.rows` data rows. The same set and seed always give the same cell values, whichever way
// the texts are stored. Each file is written under a hidden temporary name and renamed when
// complete. Throws tavrio::Error.
std::vector<std::filesystem::path> GenerateWorkbooks(const GeneratedSet& set,
                                                     const std::filesystem::path& folder);

// Writes four small sales workbooks (销售_2024年01月.xlsx ... 04月), about twenty rows each under a
// header row on "Sheet1", plus a notes sheet, for trying a merge at once. Throws tavrio::Error.
std::vector<std::filesystem::path> GenerateSamples(const std::filesystem::path& folder);

}  // namespace tavrio::bench
