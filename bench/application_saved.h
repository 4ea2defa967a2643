#pragma once

#include <filesystem>

namespace tavrio::bench {

// Rewrites the .xlsx package at `path` so that it reads as a spreadsheet application saved it:
// libxlsxwriter asks the opening application to recalculate every formula (calcPr
// fullCalcOnLoad), which an application that calculated them never does. Only xl/workbook.xml
// changes; every other part is copied as it is stored, without inflating it. Throws
// tavrio::Error naming the file.
void MarkResultsAsCalculated(const std::filesystem::path& path);

}  // namespace tavrio::bench
