#pragma once

// Files saved by a real spreadsheet application. A Python script (openpyxl) writes the source
// workbooks; LibreOffice converts them to .xls, .ods, .csv (UTF-8 and GB18030) and HTML.
// LibreOffice starts slowly, so each format is one invocation over all sources, and the results are
// kept in the build folder under a key made from the script: every later test process reuses them.

#include <string>

namespace tavrio::automation::readers::testing {

// The folder holding the converted files, or empty when LibreOffice or openpyxl is missing or
// the conversion failed (the caller skips). Files:
//   values.xlsx  the source: sheets "明细", "隐藏" (hidden), "空表", "第四"
//   values.xls   Excel 97-2003, all sheets
//   values.csv   first sheet, UTF-8;  values-gb18030.csv  first sheet, GB18030
//   values.html  all sheets as HTML tables
//   values.ods   OpenDocument spreadsheet, all sheets
//   formats.xls  sheet "数据": column A holds numbers (and a text, a formula) in the number
//                formats of the FORMATS table of office_fixtures.cpp, one per row
//   chart.xls    sheet "销售": A1:B13 months and amounts (month * 100.5), with a bar chart of
//                them drawn on the sheet
const std::string& OfficeFixtureDir();

// What a test without the fixtures says it lacks.
inline constexpr char kOfficeFixtureReaders[] = "LibreOffice and python3-openpyxl";

}  // namespace tavrio::automation::readers::testing
