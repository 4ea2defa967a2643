#pragma once

// Array formulas saved by a real spreadsheet application: LibreOffice converts two flat
// OpenDocument files holding matrix formulas to .xlsx and .xls, calculating their results as it
// saves. The files are made once and kept under the build folder for every later test process.

#include <string>

namespace tavrio::testing {

// The source rows of one file: 数量 and 单价 in rows 2 to 4 (row 1 their headers).
struct ArraySourceRows {
  double quantity[3];
  double price[3];
};
// 一月 and 二月: different numbers, so that a formula not moved with its rows shows it.
inline constexpr ArraySourceRows kArrayJanuary{{3, 5, 2}, {2.5, 1.2, 4.75}};
inline constexpr ArraySourceRows kArrayFebruary{{7, 1, 4}, {0.5, 8, 2.25}};

// The folder holding 一月.xlsx, 一月.xls, 二月.xlsx and 二月.xls, each with one sheet 数据:
//   A1:D1  数量, 单价, 金额, 合计
//   A2:B4  the numbers above
//   C2:C4  {=A2:A4*B2:B4}
//   D2     {=SUM(A2:A4*B2:B4)}
//   A5:B5  {=TRANSPOSE(A2:A3)}
// Empty when LibreOffice is missing or failed (the caller skips).
const std::string& ArrayFixtureDir();

}  // namespace tavrio::testing
