#include "tests/automation/readers/formula_table.h"

#include <fstream>

#include "automation/base/cell_address.h"
#include "tests/automation/readers/recording_sink.h"

namespace tavrio::automation::readers::testing {

FormulaTable ReadFormulaTsv(const std::string& path) {
  FormulaTable table;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    table[line.substr(0, tab1)][line.substr(tab1 + 1, tab2 - tab1 - 1)] = line.substr(tab2 + 1);
  }
  return table;
}

SheetFormulas ReaderFormulas(WorkbookReader& reader, std::size_t index) {
  RecordingSink sink;
  reader.ReadSheet(index, sink);
  SheetFormulas formulas;
  for (const auto& [at, cell] : sink.cells()) {
    if (!cell.formula.empty()) formulas[CellReference(at.first, at.second)] = cell.formula;
  }
  return formulas;
}

}  // namespace tavrio::automation::readers::testing
