#pragma once

// .xls workbooks LibreOffice saved from a workbook openpyxl wrote, full of formulas: one plain,
// one encrypted with the default password ("VelvetSweatshop", which Excel opens without
// asking) and one with another password. Made once per build folder and key (see
// office_fixtures.h for why), by LibreOffice headless through its Python bridge.

#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {

// The folder holding them, or empty when LibreOffice, its Python bridge or openpyxl is missing
// or the conversion failed (the caller skips). Files:
//   formulas.xlsx        the source: sheets "数据" (formulas in columns C, D, F, G), "Sheet2",
//                        "Q1 销售", "Jan", "Mar", "函数" (every function of fixed argument
//                        count, one per row in column A); the defined name 税率
//   formulas.tsv         each formula as openpyxl reads it back from formulas.xlsx:
//                        sheet, cell, formula without '=', tab-separated, one per line
//   formulas.xls         Excel 97-2003
//   default-password.xls the same, encrypted with the default password
//   other-password.xls   the same, encrypted with the password "geheim"
//   xor.xls              formulas.xls with its workbook stream obfuscated (XOR) under the
//                        default password, which LibreOffice cannot write; xor.xls.clear is
//                        that stream before the obfuscation, FILEPASS record included
//   csv/formulas.csv, csv/xor.csv  the first sheet of formulas.xls and xor.xls as LibreOffice
//                        reads them
const std::string& BiffFixtureDir();

inline constexpr char kBiffFixtureReaders[] =
    "LibreOffice with its Python bridge, python3-openpyxl and python3-olefile";

}  // namespace tavrio::automation::readers::testing
