#pragma once

// .ods workbooks full of formulas, saved by LibreOffice headless from an .xlsx file openpyxl
// wrote. Made once per build folder and key (see office_fixtures.h for why).

#include <string>

namespace tavrio::automation::readers::testing {

// The folder holding them, or empty when LibreOffice or openpyxl is missing or the conversion
// failed (the caller skips). Files:
//   formulas.xlsx  the source: sheet "数据" with a header row, then rows 2 to 11 whose formulas
//                  read their own row only but D: A the numbers 1 to 10, B A*1.5, C =A*2+B,
//                  D =SUM($A$2:A<row>), E a text of IF and TEXT, F _xlfn.CONCAT, G _xlfn.IFS,
//                  H _xlfn.STDEV.S, I a union and an intersection, J an inline array; sheet
//                  "公式" with one formula of the FORMULAS table of ods_formula_fixtures.cpp
//                  per row in column A, the row's number in column B; sheets "Sheet2",
//                  "Q1 销售", "It's", "Jan", "Feb", "Mar" with numbers the formulas read;
//                  sheet "函数" calling every function of the .xls function table and the
//                  "_xlfn." ones, one per row in column A
//   formulas.tsv   each formula as openpyxl reads it back from formulas.xlsx: sheet, cell,
//                  formula without '=', tab-separated, one per line
//   formulas.ods   the source as LibreOffice saves it as OpenDocument
//   csv/formulas.csv  the first sheet of formulas.ods as LibreOffice shows it
const std::string& OdsFormulaFixtureDir();

inline constexpr char kOdsFormulaFixtureReaders[] = "LibreOffice and python3-openpyxl";

}  // namespace tavrio::automation::readers::testing
