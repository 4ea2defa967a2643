#pragma once

// Workbooks of every BIFF generation made record by record, each holding a few cells of every
// kind, for tests that hand them to this project's reader and to another.

#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {

struct CraftedBiffFile {
  std::string name;   // a file name ending in ".xls"
  std::string bytes;  // the whole file
};

// Excel 2.x, 3.0 and 4.0 single-sheet files. Each holds A1 2.5 in format "0.00", B1 7, A2
// "café", B2 TRUE and A3 a formula whose result is 9.
std::vector<CraftedBiffFile> BareBiffFiles();

// The bare files above and Excel 5.0/95 and 97-2003 workbooks: text in Mac Roman and GBK,
// shared strings broken across CONTINUE records, a capitalised stream name, formula results of
// every kind.
std::vector<CraftedBiffFile> CraftedBiffFiles();

// A BIFF5 and a BIFF8 workbook whose A1 has a look of its own: a font of the fifth FONT record,
// a fill, four different borders, an alignment.
std::vector<CraftedBiffFile> CraftedLookFiles();

}  // namespace tavrio::automation::readers::testing
