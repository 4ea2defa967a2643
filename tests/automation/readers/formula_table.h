#pragma once

// Formulas by sheet and cell: what openpyxl read from a source workbook (a fixture's
// formulas.tsv) and what a reader hands over from the file LibreOffice saved from it.

#include <map>
#include <string>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers::testing {

// cell ("B7") -> formula without '='
using SheetFormulas = std::map<std::string, std::string>;
// sheet name -> its formulas
using FormulaTable = std::map<std::string, SheetFormulas>;

// A formulas.tsv: sheet, cell, formula, tab-separated, one per line.
FormulaTable ReadFormulaTsv(const std::string& path);

// The formulas `reader` hands over with the cells of sheet `index`.
SheetFormulas ReaderFormulas(WorkbookReader& reader, std::size_t index);

}  // namespace tavrio::automation::readers::testing
